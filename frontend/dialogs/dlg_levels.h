// The levels and tweak dialogs: the parameter texts of the video filters
// "VLEVELS" and "VTWEAK" edited behind the settings interface of filter
// dialogs. The caller: SetParams with the filter's text, Edit, and after
// S_OK GetParams twice (ReadSetupParams).
#pragma once

#include <memory>

#include "frontend/dialogs/text_filter_setup.h"
#include "frontend/model/levels_tweak.h"
#include "frontend/ui/ui_dialog.h"

class CSliderCtrl;
class CSpinButtonCtrl;

constexpr int IDD_LEVELS = 170;
constexpr int IDD_TWEAK = 171;

constexpr int IDC_ADJUST_PRESET = 1014;
constexpr int IDC_ADJUST_CORING = 1147;
constexpr int IDC_LEVELS_INPUT_MIN = 1247;
constexpr int IDC_LEVELS_INPUT_MAX = 1248;
constexpr int IDC_LEVELS_OUTPUT_MIN = 1249;
constexpr int IDC_LEVELS_OUTPUT_MAX = 1250;
constexpr int IDC_LEVELS_GAMMA = 1251;
constexpr int IDC_LEVELS_INPUT_MIN_SPIN = 1155;
constexpr int IDC_LEVELS_INPUT_MAX_SPIN = 1156;
constexpr int IDC_LEVELS_OUTPUT_MIN_SPIN = 1157;
constexpr int IDC_LEVELS_OUTPUT_MAX_SPIN = 1158;
constexpr int IDC_TWEAK_HUE = 1163;
constexpr int IDC_TWEAK_SATURATION = 1164;
constexpr int IDC_TWEAK_BRIGHTNESS = 1169;
constexpr int IDC_TWEAK_CONTRAST = 1172;
constexpr int IDC_TWEAK_RESET = 1098;

class CDlgLevels : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgLevels(QWidget* parent = nullptr);
  ~CDlgLevels() override;

  // S_OK when accepted (the six-key text kept), S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  // Loads every key of the text with its default; E_POINTER for null bytes
  // of a non-zero length.
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

  const LevelsParams& Params() const { return params_; }
  CSpinButtonCtrl* Spin(int id) const;
  // The list's selection, -1 for none.
  int PresetIndex() const;
  // A preset chosen in the list, as choosing it does.
  void ChoosePreset(int index);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  void ShowParams(const LevelsParams& params);

  LevelsParams params_;
};

class CDlgTweak : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgTweak(QWidget* parent = nullptr);
  ~CDlgTweak() override;

  // S_OK when accepted (the five-key text kept), S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  bool OnCommand(int id, int code) override;  // "&Reset"

  const TweakParams& Params() const { return params_; }
  CSliderCtrl* Slider(int id) const;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  TweakParams params_;
};

// The settings objects of "VLEVELS" and "VTWEAK" for a filter list.
std::unique_ptr<IFilterSetup> CreateLevelsSetup(QWidget* parent = nullptr);
std::unique_ptr<IFilterSetup> CreateTweakSetup(QWidget* parent = nullptr);
