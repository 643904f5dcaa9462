#include "frontend/dialogs/dlg_convert_done.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QTreeWidget>

#include "frontend/dialogs/dlg_copy_file.h"
#include "frontend/dialogs/dlg_itunes_copy.h"
#include "frontend/dialogs/dlg_psp_transfer.h"
#include "frontend/model/file_copy.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/shell.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_CONVERT_DONE,
    "Information",
    260,
    170,
    {
        {CtrlKind::Placeholder, IDC_DONE_ICON, "", 7, 7, 21, 20},
        {CtrlKind::Text, IDC_STATIC, "Conversion is completed!", 34, 13, 219, 8},
        {CtrlKind::Placeholder, IDC_DONE_RESULTS, "", 7, 32, 246, 108},
        {CtrlKind::PushButton, IDC_DONE_COPY, "Copy to...", 7, 149, 70, 14},
        {CtrlKind::PushButton, IDC_DONE_OPEN_FOLDER, "Open folder...", 81, 149, 70, 14},
        {CtrlKind::DefPushButton, IDOK, "Close", 203, 149, 50, 14},
    },
};

// The caption of the follow-up button by transfer kind; null keeps the template's.
const char* CopyCaption(TransferKind kind) {
  switch (kind) {
    case TransferKind::kDvd:
      return "Burn to DVD...";
    case TransferKind::kSvcd:
      return "Burn to SVCD...";
    case TransferKind::kVcd:
      return "Burn to VCD...";
    case TransferKind::kPsp:
      return "Transfer to PSP...";
    case TransferKind::kItunes:
      return "Transfer to iTunes...";
    case TransferKind::kFolderCopy:
      break;
  }
  return nullptr;
}

}  // namespace

CDlgConvertDone::CDlgConvertDone(QWidget* parent) : UiDialog(kTemplate, parent) {
  rows_ = SubclassItem(IDC_DONE_RESULTS, new QTreeWidget);
  rows_->setRootIsDecorated(false);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rows_->header()->setSectionsMovable(true);
  SubclassItem(IDC_DONE_ICON, new QLabel);
}

void CDlgConvertDone::SetResults(std::vector<ConvertResult>* results, const TransferChoice& transfer,
                                 const std::string& folder, bool merged) {
  results_ = results;
  transfer_ = transfer;
  folder_ = folder;
  merged_ = merged;
}

bool CDlgConvertDone::OnInitDialog() {
  auto* icon = ItemAs<QLabel>(IDC_DONE_ICON);
  const int size = std::min(ItemRect(IDC_DONE_ICON).width(), ItemRect(IDC_DONE_ICON).height());
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(size, size));

  rows_->setColumnCount(2);
  rows_->setHeaderLabels({QStringLiteral("Source file"), QStringLiteral("Output file")});
  rows_->header()->resizeSection(0, 160);
  rows_->header()->resizeSection(1, 160);
  if (results_ != nullptr) {
    for (size_t i = 0; i < results_->size(); ++i) {
      const ConvertResult& r = (*results_)[i];
      auto* row = new QTreeWidgetItem(rows_);
      row->setText(0, QString::fromStdString(r.title));
      const std::string output = !r.success ? kFailedRowText : merged_ && i > 0 ? kMergedRowText : r.outputFile;
      row->setText(1, QString::fromStdString(output));
      row->setToolTip(0, row->text(0));
      row->setToolTip(1, row->text(1));
    }
  }
  if (const char* caption = CopyCaption(transfer_.kind)) SetItemText(IDC_DONE_COPY, QString::fromUtf8(caption));
  return true;
}

void CDlgConvertDone::OnCopy() {
  if (transfer_.kind == TransferKind::kPsp) {
    CDlgPspTransfer psp;
    psp.SetFiles(results_, folder_, transfer_.width, transfer_.height, transfer_.h264);
    if (followUps_.psp) followUps_.psp(psp);
    psp.DoModal();
    return;
  }
  if (transfer_.kind == TransferKind::kItunes) {
    if (results_ != nullptr) {
      for (ConvertResult& r : *results_) {
        r.copyStatus = 1;
        r.size = r.outputFile.empty() ? 0 : FileSize64(JoinFolder(folder_, r.outputFile));
      }
    }
    CDlgItunesCopy itunes;
    itunes.SetItems(results_, folder_);
    if (followUps_.itunes) followUps_.itunes(itunes);
    itunes.DoModal();
    return;
  }
  if (transfer_.kind == TransferKind::kDvd) ShowItem(IDC_DONE_COPY, false);
  CDlgCopyFile copy;
  copy.SetSource(folder_, results_);
  if (followUps_.copy) followUps_.copy(copy);
  copy.DoModal();
}

void CDlgConvertDone::OnOpenFolder() { OpenFolderWithShell(this, folder_); }

bool CDlgConvertDone::OnCommand(int id, int code) {
  switch (id) {
    case IDC_DONE_OPEN_FOLDER:
      OnOpenFolder();
      return true;
    case IDC_DONE_COPY:
      OnCopy();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}
