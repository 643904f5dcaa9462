// The equaliser dialog: the parameter text of the audio filter "AEQ" edited
// on eleven vertical bitmap sliders (the preamplifier leftmost, then the ten
// bands), with presets and a read-out of the gain being dragged. The caller:
// SetParams with the filter's text, Edit, and after S_OK GetParams twice
// (ReadSetupParams).
#pragma once

#include <memory>

#include "frontend/dialogs/text_filter_setup.h"
#include "frontend/model/equalizer_params.h"
#include "frontend/ui/ui_dialog.h"

class CBitmapSlider;

constexpr int IDD_EQUALIZER = 169;
constexpr int IDC_EQ_PRESET = 1014;
constexpr int IDC_EQ_RESET = 1246;
constexpr int IDC_EQ_READOUT = 1138;
// The sliders of DB0 .. DB10.
extern const int kEqualizerSliderIds[kEqualizerSettings];
// The pictures of a band: its channel, its thumb and the thumb while dragged.
constexpr int IDB_EQ_CHANNEL = 172;
constexpr int IDB_EQ_THUMB = 173;
constexpr int IDB_EQ_THUMB_DRAGGED = 176;

class CDlgEqualizer : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgEqualizer(QWidget* parent = nullptr);
  ~CDlgEqualizer() override;

  // S_OK when accepted (DB0 .. DB10 kept), S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  // Loads DB0 .. DB10, each absent one at 31; E_POINTER for null bytes of a
  // non-zero length.
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  bool OnCommand(int id, int code) override;  // the presets, "Reset"

  const EqualizerSettings& Settings() const { return settings_; }
  // While open.
  CBitmapSlider* Slider(int index) const;
  int PresetIndex() const;
  void ChoosePreset(int index);

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  intptr_t OnMessage(const UiMessage& message) override;
  // Paints the scale on the client area.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  EqualizerSettings settings_{};
};

std::unique_ptr<IFilterSetup> CreateEqualizerSetup(QWidget* parent = nullptr);
