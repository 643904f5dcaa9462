#include "frontend/dialogs/dlg_frame_rate.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <cmath>
#include <cstdlib>

#include "frontend/model/convert_now.h"
#include "frontend/model/media_info.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"

namespace {

const DialogTemplate kListTemplate = {
    IDD_FRAME_RATE_LIST,
    "Config file frame rate",
    320,
    200,
    {
        {CtrlKind::Placeholder, IDC_FRAME_RATE_TASKS, "", 7, 7, 306, 110},
        {CtrlKind::Text, IDC_STATIC, "File name:", 7, 125, 50, 8},
        {CtrlKind::Edit, IDC_FRAME_RATE_FILE, "", 60, 123, 253, 13, kCtrlReadOnly},
        {CtrlKind::Text, IDC_STATIC, "Video info:", 7, 143, 50, 8},
        {CtrlKind::Edit, IDC_FRAME_RATE_VIDEO, "", 60, 141, 253, 13, kCtrlReadOnly},
        {CtrlKind::Text, IDC_STATIC, "Frame rate:", 7, 161, 50, 8},
        {CtrlKind::ComboDropList, IDC_FRAME_RATE_CHOICE, "", 60, 159, 100, 100},
        {CtrlKind::DefPushButton, IDOK, "&OK", 209, 179, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "&Cancel", 263, 179, 50, 14},
    },
};

const DialogTemplate kCustomTemplate = {
    IDD_CUSTOM_FRAME_RATE,
    "Config frame rate",
    180,
    50,
    {
        {CtrlKind::Text, IDC_STATIC, "Input frame rate:", 7, 9, 60, 8},
        {CtrlKind::Edit, IDC_CUSTOM_FRAME_RATE, "", 70, 7, 103, 13},
        {CtrlKind::DefPushButton, IDOK, "OK", 69, 29, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 123, 29, 50, 14},
    },
};

QString RateText(double rate) { return Qs(FormatNumber(rate)); }

}  // namespace

// ---- the custom rate ----

CDlgCustomFrameRate::CDlgCustomFrameRate(QWidget* parent) : UiDialog(kCustomTemplate, parent) {}

bool CDlgCustomFrameRate::OnInitDialog() {
  SetItemText(IDC_CUSTOM_FRAME_RATE, QStringLiteral("29.97"));
  return true;
}

void CDlgCustomFrameRate::OnOK() {
  const double value = std::atof(ItemText(IDC_CUSTOM_FRAME_RATE).toStdString().c_str());
  if (!IsUsableFrameRate(value)) {
    ShowMessageBox(this, kFrameRateRangeMessage, nullptr, MB_OK);
    return;
  }
  rate = value;
  EndDialog(IDOK);
}

// ---- the list ----

CDlgFrameRateList::CDlgFrameRateList(QWidget* parent) : UiDialog(kListTemplate, parent) {
  rows_ = SubclassItem(IDC_FRAME_RATE_TASKS, new QTreeWidget);
  rows_->setRootIsDecorated(false);
  rows_->setSelectionMode(QAbstractItemView::SingleSelection);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  connect(rows_, &QTreeWidget::itemSelectionChanged, this, [this] { OnRowChanged(); });
}

bool CDlgFrameRateList::OnInitDialog() {
  rows_->setColumnCount(2);
  rows_->setHeaderLabels({QStringLiteral("File name"), QStringLiteral("Frame rate")});
  rows_->header()->resizeSection(0, 300);
  rows_->header()->resizeSection(1, 100);
  for (CTask* task : tasks_) {
    auto* row = new QTreeWidgetItem(rows_);
    row->setText(0, Qs(task->GetSourceName()));
    row->setText(1, RateText(SourceFrameRate(*task)) + QStringLiteral("fps"));
    InitFrameRateRecord(*task);
  }
  if (rows_->topLevelItemCount() > 0)
    rows_->setCurrentItem(rows_->topLevelItem(0));
  else
    OnRowChanged();
  return true;
}

void CDlgFrameRateList::OnRowChanged() {
  auto* choice = ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE);
  const QList<QTreeWidgetItem*> selected = rows_->selectedItems();
  const int index = selected.isEmpty() ? -1 : rows_->indexOfTopLevelItem(selected.front());
  if (index < 0 || index >= static_cast<int>(tasks_.size())) {
    current_ = nullptr;
    currentRow_ = -1;
    SetItemText(IDC_FRAME_RATE_FILE, QString());
    SetItemText(IDC_FRAME_RATE_VIDEO, QString());
    choice->clear();
    rates_.clear();
    EnableItem(IDC_FRAME_RATE_CHOICE, false);
    return;
  }
  current_ = tasks_[static_cast<size_t>(index)];
  currentRow_ = index;
  SetItemText(IDC_FRAME_RATE_FILE, Qs(current_->GetSourceName()));
  SetItemText(IDC_FRAME_RATE_VIDEO, Qs(SourceVideoText(*current_)));
  FillRates();
  EnableItem(IDC_FRAME_RATE_CHOICE, true);
}

void CDlgFrameRateList::FillRates() {
  auto* choice = ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE);
  choice->setUpdatesEnabled(false);
  choice->clear();
  rates_ = OfferedFrameRates(SourceFrameRate(*current_));
  for (double rate : rates_) choice->addItem(RateText(rate));
  choice->addItem(QString::fromUtf8(kCustomFrameRateEntry));
  choice->setCurrentIndex(FindFrameRate(rates_, RecordedFrameRate(*current_)));
  choice->setUpdatesEnabled(true);
}

void CDlgFrameRateList::SetRowRate(const QString& text) {
  if (QTreeWidgetItem* row = rows_->topLevelItem(currentRow_)) row->setText(1, text + QStringLiteral("fps"));
}

void CDlgFrameRateList::OnRateChosen() {
  auto* choice = ItemAs<QComboBox>(IDC_FRAME_RATE_CHOICE);
  const int index = choice->currentIndex();
  if (current_ == nullptr || index < 0) return;
  if (index < static_cast<int>(rates_.size())) {
    SetRecordedFrameRate(*current_, rates_[static_cast<size_t>(index)]);
    SetRowRate(choice->itemText(index));
    return;
  }
  CDlgCustomFrameRate custom(this);
  if (custom.DoModal() != IDOK) {
    choice->setCurrentIndex(FindFrameRate(rates_, RecordedFrameRate(*current_)));
    return;
  }
  int at = FindFrameRate(rates_, custom.rate);
  if (at < 0) {
    at = static_cast<int>(rates_.size());
    rates_.push_back(custom.rate);
    choice->insertItem(at, RateText(custom.rate));
  }
  choice->setCurrentIndex(at);
  SetRecordedFrameRate(*current_, custom.rate);
  SetRowRate(RateText(custom.rate));
}

bool CDlgFrameRateList::OnCommand(int id, int code) {
  if (id == IDC_FRAME_RATE_CHOICE) {
    if (code == CBN_SELCHANGE) OnRateChosen();
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgFrameRateList::OnOK() {
  ForceChangedFrameRates(tasks_);
  EndDialog(IDOK);
}
