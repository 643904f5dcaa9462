// The subtitle dialog: edits the parameter text of the "VSUBTITLE" filter
// (subtitle file, text style, time shift and factor) behind the settings
// interface of filter dialogs.
#pragma once

#include <optional>
#include <string>

#include "frontend/dialogs/text_filter_setup.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/ui_dialog.h"

class CHintEdit;
class CColourPickerXP;
class QSlider;

constexpr int IDD_SUBTITLE = 145;
constexpr int IDC_SUB_FILE = 1255;
constexpr int IDC_SUB_BROWSE = 1098;
constexpr int IDC_SUB_FONT = 1099;
constexpr int IDC_SUB_CHARSET = 1014;
// Alignment radios: top row 1195-1197, middle 1198-1200, bottom 1201-1203.
constexpr int IDC_SUB_ALIGN_TL = 1195;
constexpr int IDC_SUB_ALIGN_BR = 1203;
constexpr int IDC_SUB_LEFT = 1205, IDC_SUB_RIGHT = 1046, IDC_SUB_TOP = 1049, IDC_SUB_BOTTOM = 1052;
constexpr int IDC_SUB_TEXT_COLOUR = 1192, IDC_SUB_BORDER_COLOUR = 1193, IDC_SUB_SHADOW_COLOUR = 1194;
constexpr int IDC_SUB_TEXT_ALPHA = 1206, IDC_SUB_BORDER_ALPHA = 1175, IDC_SUB_SHADOW_ALPHA = 1178;
constexpr int IDC_SUB_BORDER_WIDTH = 1207, IDC_SUB_SHADOW_DEPTH = 1061, IDC_SUB_SPACING = 1064;
constexpr int IDC_SUB_ANGLE = 1068, IDC_SUB_SCALE_X = 1073, IDC_SUB_SCALE_Y = 1078;
constexpr int IDC_SUB_DELAY = 1055, IDC_SUB_FACTOR = 1058;
// Spin buttons beside the number edits.
constexpr int IDC_SUB_SPIN_LEFT = 1155, IDC_SUB_SPIN_RIGHT = 1156, IDC_SUB_SPIN_TOP = 1157, IDC_SUB_SPIN_BOTTOM = 1158;
constexpr int IDC_SUB_SPIN_DELAY = 1159, IDC_SUB_SPIN_BORDER = 1160, IDC_SUB_SPIN_SHADOW = 1161;
constexpr int IDC_SUB_SPIN_SPACING = 1162, IDC_SUB_SPIN_ANGLE = 1166, IDC_SUB_SPIN_SCALE_X = 1168;
constexpr int IDC_SUB_SPIN_SCALE_Y = 1171;

// The radio ids in group order: index + 1 is the alignment code.
extern const int kSubtitleAlignIds[9];

class CDlgSubtitle : public UiDialog, public CTextFilterSetup {
 public:
  explicit CDlgSubtitle(QWidget* parent = nullptr);
  ~CDlgSubtitle() override;

  // S_OK when accepted (the new text kept for GetParams), S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  // Loads every key of the text (up to its first NUL) with its default;
  // E_POINTER for null bytes of a non-zero length.
  HRESULT SetParams(const void* bytes, uint32_t length) override;

  bool OnCommand(int id, int code) override;

  // The style the dialog shows and edits.
  const SubtitleParams& Params() const { return params_; }

  // Controls, for callers that type into them.
  CHintEdit* FileEdit() const { return fileEdit_; }
  CColourPickerXP* Picker(int id) const;
  QSlider* AlphaSlider(int id) const;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  void Browse();
  void ChooseSubtitleFont();
  void SelectCharSet(int32_t code);

  SubtitleParams params_;
  SubtitleParams work_;  // what the open dialog edits; params_ on OK
  CHintEdit* fileEdit_ = nullptr;
};
