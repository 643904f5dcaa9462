// "Advance settings": every visible option of one codec or filter description
// as a row of label, option combo and unit, the main keys under "Common
// settings" and the others under "Extra settings". Each accepted value is
// stored and the whole parameter list rebuilt against the LIMIT combinations.
//
// The caller gives the option and LIMIT lists (SetOptions), the parameter
// text (LoadParams) and, when it has them, the titles (SetTitles), runs the
// dialog, and after IDOK takes the parameter list (ParamText).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/param_list.h"
#include "frontend/model/profile_db.h"
#include "frontend/ui/ui_dialog.h"

class COptionCombo;
class QGroupBox;

constexpr int IDD_ADVANCE_SETTINGS = 120;

// Row geometry in client pixels.
struct AdvanceLayout {
  static constexpr int kRowPitch = 25;
  static constexpr int kFirstRowTop = 28;
  static constexpr int kLabelLeft = 20, kLabelRight = 120, kRowHeight = 20;
  static constexpr int kComboLeft = 140, kComboRight = 300, kDropHeight = 200;
  static constexpr int kUnitLeft = 310, kUnitRight = 350;
  static constexpr int kGroupLeft = 11, kGroupRight = 360;
  static constexpr int kOkLeft = 180, kCancelLeft = 280, kButtonWidth = 80, kButtonHeight = 25;
  static constexpr int kBottomMargin = 35;
};

class CDlgAdvanceSettings : public UiDialog {
 public:
  explicit CDlgAdvanceSettings(QWidget* parent = nullptr);
  ~CDlgAdvanceSettings() override;

  // Both lists are the description's and must outlive the dialog; without
  // both nothing is built.
  void SetOptions(const std::vector<OptionDesc>* options, const std::vector<std::string>* limits);
  // The window title and the caption of the second group (63 characters each).
  void SetTitles(const std::string& title, const std::string& secondTitle);
  // Fills the parameter list from a parameter text, every option fitted.
  void LoadParams(const std::string& text);

  CParamList& Params() { return params_; }
  std::string ParamText();

  // The generated combos in creation order, and one by its option's key.
  const std::vector<COptionCombo*>& Combos() const { return combos_; }
  COptionCombo* ComboFor(std::string_view key) const;
  // The group boxes built (null when absent).
  QGroupBox* CommonGroup() const { return commonGroup_; }
  QGroupBox* ExtraGroup() const { return extraGroup_; }
  // Where the rows end, in client pixels.
  int ContentEnd() const { return contentEnd_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnDestroy() override;

 private:
  void AddRow(const OptionDesc& option, int top);
  QGroupBox* AddGroup(const QString& title, int top, int bottom);
  bool OnValue(const OptionDesc& option, std::string& value, bool& takeBack, std::string& message);
  void ShowValues();

  const std::vector<OptionDesc>* options_ = nullptr;
  const std::vector<std::string>* limits_ = nullptr;
  bool hasTitles_ = false;
  std::string title_;
  std::string secondTitle_;
  CParamList params_;
  std::vector<QWidget*> generated_;
  std::vector<COptionCombo*> combos_;
  QGroupBox* commonGroup_ = nullptr;
  QGroupBox* extraGroup_ = nullptr;
  int contentEnd_ = 0;
};
