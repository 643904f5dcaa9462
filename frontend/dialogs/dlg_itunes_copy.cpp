#include "frontend/dialogs/dlg_itunes_copy.h"

#include <chrono>
#include <thread>

#include "frontend/model/file_copy.h"
#include "frontend/ui/message_box.h"

CDlgItunesCopy::CDlgItunesCopy()
    : CCopyProgressDialog(CopyProgressTemplate(IDD_COPY_PROGRESS)), factory_(CreateSystemMusicLibrary) {}

int64_t CDlgItunesCopy::ComputeTotal() const {
  int64_t total = 0;
  if (items_ != nullptr)
    for (const ConvertResult& r : *items_) total += r.size;
  return total;
}

void CDlgItunesCopy::Work() {
  std::unique_ptr<IMusicLibraryApp> app = factory_ ? factory_() : nullptr;
  if (!app) {
    PostCode(kLibraryMissing);
    return;
  }
  std::unique_ptr<IMusicLibraryPlaylist> playlist = app->GetLibraryPlaylist();
  if (!playlist) {
    PostCode(kLibraryUnreachable);
    return;
  }
  if (items_ != nullptr) {
    for (size_t i = 0; i < items_->size(); ++i) {
      BeforeItem(i);
      ConvertResult& item = (*items_)[i];
      PostStarting(item.outputFile);
      bool added = false, cancelled = false;
      if (!item.outputFile.empty()) {
        std::unique_ptr<IMusicLibraryOperation> op = playlist->AddFile(JoinFolder(source_, item.outputFile));
        if (op) {
          while (op->InProgress()) {
            if (cancel_.load() != 0) {
              cancelled = true;
              break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs_));
          }
          added = !cancelled;
        }
      }
      if (added) {
        item.copyStatus = 0;
        FinishItem(item.size);
        PostCode(kCopyProgressed);
      } else if (cancelled) {
        break;
      } else {
        item.copyStatus = 2;
      }
    }
  }
  // The pause lets the last percentage show; a cancel cuts it short.
  for (int waited = 0; waited < finishMs_ && cancel_.load() == 0; waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  PostCode(kCopyDone);
}

intptr_t CDlgItunesCopy::OnMessage(const UiMessage& message) {
  if (message.msg == kCopyProgressMessage &&
      (message.wParam == kLibraryMissing || message.wParam == kLibraryUnreachable)) {
    ShowMessageBox(this, message.wParam == kLibraryMissing ? kNoLibraryText : kNoPlaylistText, nullptr,
                   MB_ICONEXCLAMATION);
    EndDialog(IDCANCEL);
    return 0;
  }
  return CCopyProgressDialog::OnMessage(message);
}
