// The "Copy progress" window: a worker thread copies (or hands on) a list of
// files while the window shows the file being copied and the percentage.
// The worker reports with message 0x407: wParam 1 a file starts (its name
// as the payload), 2 progress changed, 0 done (ends the window). Cancel sets
// the cancel word and waits for the worker to report done.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frontend/model/convert_now.h"
#include "frontend/ui/ui_dialog.h"

class QProgressBar;

constexpr int IDD_COPY_PROGRESS = 210;
constexpr int IDC_COPY_BAR = 1028;
constexpr int IDC_COPY_PERCENT = 1065;
constexpr int IDC_COPY_FILE = 1257;
constexpr uint32_t kCopyProgressMessage = WM_USER + 7;

enum CopyProgressCode : uint64_t {
  kCopyDone = 0,
  kCopyFileStarts = 1,
  kCopyProgressed = 2,
};

class CCopyProgressDialog : public UiDialog {
 public:
  explicit CCopyProgressDialog(const DialogTemplate& tpl);
  ~CCopyProgressDialog() override;

  // Called on the worker thread before each item (its index); tests hold the
  // worker here to look at the window mid-copy.
  void SetBeforeItemHook(std::function<void(size_t)> hook) { beforeItem_ = std::move(hook); }

  int64_t TotalBytes() const;
  int Percent() const { return percent_; }
  QProgressBar* Bar() const { return bar_; }
  bool CancelRequested() const { return cancel_.load() != 0; }

 protected:
  bool OnInitDialog() override;
  // Enter does not close the window.
  void OnOK() override {}
  // Asks the worker to stop; the window stays until it reports done.
  void OnCancel() override { cancel_ = 1; }
  void OnDestroy() override;
  intptr_t OnMessage(const UiMessage& message) override;

  // The sum of the items' sizes.
  virtual int64_t ComputeTotal() const = 0;
  // The worker's loop; runs on its own thread and ends by calling PostDone.
  virtual void Work() = 0;

  // Worker helpers.
  void BeforeItem(size_t index);
  void PostStarting(const std::string& name);
  void SetCurrent(int64_t bytes);
  void FinishItem(int64_t size);
  void PostCode(uint64_t code, int64_t lParam = 0);

  std::atomic<int> cancel_{0};

 private:
  void JoinWorker();

  mutable std::mutex lock_;
  int64_t total_ = 0;
  int64_t current_ = 0;
  int64_t finished_ = 0;
  int percent_ = 0;
  WindowId window_ = 0;
  std::thread worker_;
  std::function<void(size_t)> beforeItem_;
  QProgressBar* bar_ = nullptr;
};

// Copies the results' output files from the source folder into the
// destination, each under a free name (MakeUniqueCopyName). Sets each
// result's copy status: 0 copied, 2 failed; a cancel leaves the rest at 1.
class CDlgFolderCopy : public CCopyProgressDialog {
 public:
  CDlgFolderCopy();

  // Not owned; they outlive the window.
  void SetItems(std::vector<ConvertResult>* items, const std::string& source, const std::string& destination) {
    items_ = items;
    source_ = source;
    destination_ = destination;
  }
  // Why each failed item failed, by index (empty for the others).
  const std::vector<std::string>& Errors() const { return errors_; }

 protected:
  int64_t ComputeTotal() const override;
  void Work() override;

 private:
  std::vector<ConvertResult>* items_ = nullptr;
  std::string source_;
  std::string destination_;
  std::vector<std::string> errors_;
};

// The template of the progress windows (the PSP copy uses its own id).
const DialogTemplate& CopyProgressTemplate(int id);
