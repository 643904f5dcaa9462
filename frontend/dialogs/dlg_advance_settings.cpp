#include "frontend/dialogs/dlg_advance_settings.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "frontend/controls/option_combo.h"
#include "frontend/model/option_values.h"
#include "frontend/model/param_text.h"

namespace {

using L = AdvanceLayout;

const DialogTemplate kTemplate = {
    IDD_ADVANCE_SETTINGS,
    "Advance settings",
    213,
    62,
    {
        {CtrlKind::DefPushButton, IDOK, "OK", 103, 42, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 160, 42, 50, 14},
    },
};

constexpr size_t kTitleMax = 63;

// Wide enough for the rows and their group boxes, whatever the font.
constexpr int kMinClientWidth = L::kGroupRight + L::kGroupLeft;

std::string Cut(const std::string& text) { return text.size() > kTitleMax ? text.substr(0, kTitleMax) : text; }

bool Visible(const OptionDesc& option) { return option.visible != 0; }

}  // namespace

CDlgAdvanceSettings::CDlgAdvanceSettings(QWidget* parent) : UiDialog(kTemplate, parent) {}

CDlgAdvanceSettings::~CDlgAdvanceSettings() = default;

void CDlgAdvanceSettings::SetOptions(const std::vector<OptionDesc>* options, const std::vector<std::string>* limits) {
  options_ = options;
  limits_ = limits;
}

void CDlgAdvanceSettings::SetTitles(const std::string& title, const std::string& secondTitle) {
  title_ = Cut(title);
  secondTitle_ = Cut(secondTitle);
  hasTitles_ = true;
}

void CDlgAdvanceSettings::LoadParams(const std::string& text) {
  if (options_ == nullptr || limits_ == nullptr) return;
  RecomputeOptions(nullptr, *options_, *limits_, text, params_);
}

std::string CDlgAdvanceSettings::ParamText() { return ParamListText(params_); }

COptionCombo* CDlgAdvanceSettings::ComboFor(std::string_view key) const {
  for (COptionCombo* combo : combos_)
    if (combo->GetOptionName() == key) return combo;
  return nullptr;
}

bool CDlgAdvanceSettings::OnInitDialog() {
  if (options_ == nullptr || limits_ == nullptr) return true;
  if (hasTitles_) setWindowTitle(QString::fromStdString(title_));

  // Main keys first, then every other visible option.
  int common = 0;
  for (const OptionDesc& option : *options_) {
    if (!Visible(option) || !IsLinkedOptionKey(option.name)) continue;
    AddRow(option, L::kFirstRowTop + L::kRowPitch * common++);
  }
  int start = 20;
  contentEnd_ = 0;
  if (common > 0) {
    commonGroup_ = AddGroup(QStringLiteral("Common settings"), 11, L::kRowPitch * common + 31);
    start = L::kRowPitch * common + 51;
    contentEnd_ = L::kRowPitch * common + 41;
  }
  int extra = 0;
  for (const OptionDesc& option : *options_) {
    if (!Visible(option) || IsLinkedOptionKey(option.name)) continue;
    AddRow(option, start + L::kRowPitch * extra++);
  }
  if (extra > 0 || common == 0) contentEnd_ = start + L::kRowPitch * extra + 15;
  if (extra > 0 && common > 0) {
    QString title = hasTitles_ ? QString::fromStdString(secondTitle_) : QStringLiteral("Extra settings");
    extraGroup_ = AddGroup(title, start - 15, start + L::kRowPitch * extra + 5);
  }

  if (QWidget* ok = Item(IDOK)) ok->setGeometry(L::kOkLeft, contentEnd_, L::kButtonWidth, L::kButtonHeight);
  if (QWidget* cancel = Item(IDCANCEL))
    cancel->setGeometry(L::kCancelLeft, contentEnd_, L::kButtonWidth, L::kButtonHeight);
  ShowValues();
  Client()->setFixedSize(std::max(Client()->width(), kMinClientWidth), contentEnd_ + L::kBottomMargin);
  return true;
}

void CDlgAdvanceSettings::AddRow(const OptionDesc& option, int top) {
  auto* label = new QLabel(QString::fromStdString(option.displayName + ":"), Client());
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setGeometry(L::kLabelLeft, top, L::kLabelRight - L::kLabelLeft, L::kRowHeight);

  auto* combo = new COptionCombo(Client());
  combo->SetOption(option);
  combo->SetValidator([this](std::string& value, const OptionDesc& o, bool& takeBack, std::string& message) {
    return OnValue(o, value, takeBack, message);
  });
  combo->setGeometry(L::kComboLeft, top, L::kComboRight - L::kComboLeft, combo->sizeHint().height());
  const int itemHeight = std::max(1, combo->fontMetrics().height() + 4);
  combo->setMaxVisibleItems(std::max(1, (L::kDropHeight - 2) / itemHeight));

  auto* unit = new QLabel(QString::fromStdString(option.unit), Client());
  unit->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  unit->setGeometry(L::kUnitLeft, top, L::kUnitRight - L::kUnitLeft, L::kRowHeight);

  for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(combo), static_cast<QWidget*>(unit)}) {
    w->show();
    generated_.push_back(w);
  }
  combos_.push_back(combo);
}

QGroupBox* CDlgAdvanceSettings::AddGroup(const QString& title, int top, int bottom) {
  auto* group = new QGroupBox(title, Client());
  group->setGeometry(L::kGroupLeft, top, L::kGroupRight - L::kGroupLeft, bottom - top);
  group->lower();  // under the rows it frames
  group->show();
  generated_.push_back(group);
  return group;
}

bool CDlgAdvanceSettings::OnValue(const OptionDesc& option, std::string& value, bool& takeBack, std::string& message) {
  if (!ValidateOptionValue(value, option, takeBack, message)) return false;
  StoreOptionValue(params_, option, value);
  ChangedOption changed{option.name, ReadParamValue(params_, option.name.c_str())};
  const std::string current = ParamListText(params_);
  RecomputeOptions(&changed, *options_, *limits_, current, params_);
  ShowValues();
  return true;
}

void CDlgAdvanceSettings::ShowValues() {
  for (COptionCombo* combo : combos_) combo->SetValueText(FormatOptionValue(params_, combo->GetOptionName()));
}

void CDlgAdvanceSettings::OnOK() {
  // A value still being typed is checked before the dialog ends.
  QWidget* focus = focusWidget();
  for (COptionCombo* combo : combos_) {
    if (focus == nullptr || (focus != combo && !combo->isAncestorOf(focus))) continue;
    if (combo->lineEdit() != nullptr && combo->lineEdit()->isModified() && !combo->CommitEdit()) return;
  }
  EndDialog(IDOK);
}

void CDlgAdvanceSettings::OnDestroy() {
  combos_.clear();
  commonGroup_ = nullptr;
  extraGroup_ = nullptr;
  for (QWidget* w : generated_) delete w;
  generated_.clear();
}
