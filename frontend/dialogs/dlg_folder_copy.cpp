#include "frontend/dialogs/dlg_folder_copy.h"

#include <QProgressBar>
#include <algorithm>
#include <map>
#include <memory>

#include "frontend/model/file_copy.h"

const DialogTemplate& CopyProgressTemplate(int id) {
  static std::map<int, DialogTemplate> templates;
  auto it = templates.find(id);
  if (it == templates.end()) {
    it = templates
             .emplace(id, DialogTemplate{id,
                                         "Copy progress",
                                         240,
                                         62,
                                         {
                                             {CtrlKind::Text, IDC_COPY_FILE, "", 7, 7, 226, 8},
                                             {CtrlKind::Placeholder, IDC_COPY_BAR, "", 7, 20, 192, 12},
                                             {CtrlKind::Text, IDC_COPY_PERCENT, "0%", 204, 22, 29, 8},
                                             {CtrlKind::PushButton, IDCANCEL, "Cancel", 183, 41, 50, 14},
                                         }})
             .first;
  }
  return it->second;
}

CCopyProgressDialog::CCopyProgressDialog(const DialogTemplate& tpl) : UiDialog(tpl) {
  bar_ = SubclassItem(IDC_COPY_BAR, new QProgressBar);
  bar_->setTextVisible(false);
}

CCopyProgressDialog::~CCopyProgressDialog() { JoinWorker(); }

void CCopyProgressDialog::JoinWorker() {
  if (!worker_.joinable()) return;
  cancel_ = 1;  // a window closed from outside must not wait on a long copy
  worker_.join();
}

int64_t CCopyProgressDialog::TotalBytes() const {
  std::lock_guard<std::mutex> hold(lock_);
  return total_;
}

bool CCopyProgressDialog::OnInitDialog() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    total_ = ComputeTotal();
    finished_ = 0;
    current_ = 0;
  }
  percent_ = 0;
  bar_->setRange(0, 100);
  bar_->setValue(0);
  cancel_ = 0;
  window_ = Handle();
  worker_ = std::thread([this] { Work(); });
  return true;
}

void CCopyProgressDialog::OnDestroy() { JoinWorker(); }

void CCopyProgressDialog::BeforeItem(size_t index) {
  if (beforeItem_) beforeItem_(index);
}

void CCopyProgressDialog::PostStarting(const std::string& name) {
  PostMessage(window_, kCopyProgressMessage, kCopyFileStarts, 0, std::make_shared<std::string>(name));
}

void CCopyProgressDialog::SetCurrent(int64_t bytes) {
  {
    std::lock_guard<std::mutex> hold(lock_);
    current_ = bytes;
  }
  PostMessage(window_, kCopyProgressMessage, kCopyProgressed);
}

void CCopyProgressDialog::FinishItem(int64_t size) {
  std::lock_guard<std::mutex> hold(lock_);
  finished_ += size;
  current_ = 0;
}

void CCopyProgressDialog::PostCode(uint64_t code, int64_t lParam) {
  PostMessage(window_, kCopyProgressMessage, code, lParam);
}

intptr_t CCopyProgressDialog::OnMessage(const UiMessage& message) {
  if (message.msg != kCopyProgressMessage) return UiDialog::OnMessage(message);
  switch (message.wParam) {
    case kCopyFileStarts:
      if (message.data)
        SetItemText(IDC_COPY_FILE, QStringLiteral("Copying file ") +
                                       QString::fromStdString(*static_cast<const std::string*>(message.data.get())));
      break;
    case kCopyProgressed: {
      int percent = 0;
      {
        std::lock_guard<std::mutex> hold(lock_);
        percent = CopyPercent(finished_, current_, total_);
      }
      percent_ = std::clamp(percent, 0, 100);
      bar_->setValue(percent_);
      SetItemText(IDC_COPY_PERCENT, QString::number(percent_) + "%");
      break;
    }
    case kCopyDone:
      if (message.lParam == 0) EndDialog(IDOK);
      break;
    default:
      break;
  }
  return 0;
}

CDlgFolderCopy::CDlgFolderCopy() : CCopyProgressDialog(CopyProgressTemplate(IDD_COPY_PROGRESS)) {}

int64_t CDlgFolderCopy::ComputeTotal() const {
  int64_t total = 0;
  if (items_ != nullptr)
    for (const ConvertResult& r : *items_) total += r.size;
  return total;
}

void CDlgFolderCopy::Work() {
  if (items_ != nullptr) {
    errors_.assign(items_->size(), {});
    for (size_t i = 0; i < items_->size(); ++i) {
      BeforeItem(i);
      ConvertResult& item = (*items_)[i];
      if (item.outputFile.empty()) {  // a failed conversion has no file
        item.copyStatus = 2;
        errors_[i] = "the conversion made no file";
        continue;
      }
      const std::string target = MakeUniqueCopyName(destination_, item.outputFile);
      PostStarting(item.outputFile);
      const CopyResult copied = CopyFileWithProgress(
          JoinFolder(source_, item.outputFile), target, [this](int64_t bytes) { SetCurrent(bytes); }, &cancel_);
      if (copied.outcome == CopyOutcome::kCopied) {
        item.copyStatus = 0;
        FinishItem(item.size);
      } else if (copied.outcome == CopyOutcome::kCancelled) {
        break;
      } else {
        item.copyStatus = 2;
        errors_[i] = copied.error;
      }
    }
  }
  PostCode(kCopyDone);
}
