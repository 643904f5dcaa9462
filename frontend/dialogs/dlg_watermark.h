// "Watermark setting": the parameter text of the video filter "VWATERMARK"
// (which picture, its opacity and transparent colour, where it sits and when
// it shows) behind the settings interface of filter dialogs, with a preview of
// the picture on a frame of the output size. The settings can be saved to and
// loaded from a 320-byte "*.wam" file.
//
// The caller: SetSource with the output size, SetParams with the filter's
// text, Edit, and after S_OK GetParams twice (ReadSetupParams).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "frontend/dialogs/text_filter_setup.h"
#include "frontend/model/watermark_params.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/ui_dialog.h"

class CColourPickerXP;
class CHintEdit;
class CSpinButtonCtrl;
class CWatermarkPreviewCtrl;
class QSlider;
class QTimeEdit;

constexpr int IDD_WATERMARK = 141;
constexpr int IDC_WM_FILE = 1208;
constexpr int IDC_WM_BROWSE = 1209;
constexpr int IDC_WM_PREVIEW = 1028;
constexpr int IDC_WM_PICK = 1099;
constexpr int IDC_WM_TRANS_COLOUR = 1210;
constexpr int IDC_WM_ALPHA = 1163;
// Anchor radios: top row 1195-1197, middle 1198-1200, bottom 1201-1203.
constexpr int IDC_WM_ALIGN_TL = 1195;
constexpr int IDC_WM_ALIGN_BR = 1203;
constexpr int IDC_WM_CUSTOM_POS = 1147;
constexpr int IDC_WM_POSX = 1212, IDC_WM_POSY = 1043;
constexpr int IDC_WM_SPIN_X = 1155, IDC_WM_SPIN_Y = 1156;
constexpr int IDC_WM_LABEL_X = 1213, IDC_WM_LABEL_Y = 1214;
constexpr int IDC_WM_USE_START = 1183, IDC_WM_START = 1146;
constexpr int IDC_WM_USE_END = 1184, IDC_WM_END = 1148;
constexpr int IDC_WM_USE_FADE_IN = 1186, IDC_WM_FADE_IN = 1211, IDC_WM_FADE_IN_MS = 1167;
constexpr int IDC_WM_USE_FADE_OUT = 1188, IDC_WM_FADE_OUT = 1034, IDC_WM_FADE_OUT_MS = 1170;
constexpr int IDC_WM_SAVE = 1022;
constexpr int IDC_WM_LOAD = 1239;

// The radio ids by ALIGN - 1 (bottom, middle and top rows, left to right).
extern const int kWatermarkAlignIds[9];

// The colour picker's "no colour" value: no transparent colour.
constexpr uint32_t kNoTransparentColour = 0xFF000000u;

inline constexpr char kWatermarkHint[] = "<You can drag and drop image file or animate gif file here>";
inline constexpr char kWamSaveFailed[] = "Fail to save config file to disk";
inline constexpr char kWamOpenFailed[] = "Fail to open config file";

// The file dialog of "Save config..." (save true) and "Load config...": true
// with the chosen path. Tests replace it; null restores the desktop's.
using WamFileChooser = std::function<bool(QWidget* owner, bool save, std::string& path)>;
WamFileChooser SetWamFileChooser(WamFileChooser chooser);

class CDlgWatermark : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgWatermark(QWidget* parent = nullptr);
  ~CDlgWatermark() override;

  // The output frame the picture sits on; the aspect is kept, not used.
  HRESULT SetSource(int32_t frameWidth, int32_t frameHeight, double outputAspect);

  // S_OK when accepted (the 14-key text kept for GetParams), S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  // Loads every key of the text (up to its first NUL) with its default;
  // E_POINTER for null bytes of a non-zero length.
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

  const WatermarkParams& Params() const { return params_; }
  int FrameWidth() const { return frameWidth_; }
  int FrameHeight() const { return frameHeight_; }
  bool PictureLoaded() const { return pictureLoaded_; }
  int PictureWidth() const { return pictureWidth_; }
  int PictureHeight() const { return pictureHeight_; }
  // The anchor radio chosen: ALIGN - 1, -1 for none.
  int AlignIndex() const { return alignIndex_; }

  // Controls, for callers that type into them.
  CHintEdit* FileEdit() const { return fileEdit_; }
  CWatermarkPreviewCtrl* Preview() const { return preview_; }
  CColourPickerXP* Picker() const { return picker_; }
  QSlider* AlphaSlider() const { return alpha_; }
  QTimeEdit* TimeEdit(int id) const;
  CSpinButtonCtrl* Spin(int id) const;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  // The controls from the record, and the record from the controls (false,
  // with a message, when the picture path is too long for the record).
  void LoadControls();
  bool ReadControls(WatermarkParams& into);
  void LoadPicture();
  void Place();
  void ReadAlignRadios();
  void ShowAlignRadios();
  void EnablePosition(bool on);
  void EnableEnd(bool on);
  void SaveConfig();
  void LoadConfig();

  WatermarkParams params_;
  int frameWidth_ = 0, frameHeight_ = 0;
  double outputAspect_ = 0.0;
  bool pictureLoaded_ = false;
  int pictureWidth_ = 0, pictureHeight_ = 0;
  int alignIndex_ = 8;
  CHintEdit* fileEdit_ = nullptr;
  CWatermarkPreviewCtrl* preview_ = nullptr;
  CColourPickerXP* picker_ = nullptr;
  QSlider* alpha_ = nullptr;
};
