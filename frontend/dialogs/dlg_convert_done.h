// The completion dialog: each task of the run with its output file or its
// failure, the output folder to open, and the follow-up that takes the
// results further (its caption depends on the output format).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frontend/model/convert_now.h"
#include "frontend/ui/ui_dialog.h"

class CDlgCopyFile;
class CDlgItunesCopy;
class CDlgPspTransfer;
class QTreeWidget;

// Called with each follow-up window before it runs (tests set its inputs).
struct ConvertDoneFollowUps {
  std::function<void(CDlgCopyFile&)> copy;
  std::function<void(CDlgItunesCopy&)> itunes;
  std::function<void(CDlgPspTransfer&)> psp;
};

constexpr int IDD_CONVERT_DONE = 208;
constexpr int IDC_DONE_RESULTS = 1001;
constexpr int IDC_DONE_COPY = 1018;
constexpr int IDC_DONE_OPEN_FOLDER = 1258;
constexpr int IDC_DONE_ICON = 1259;

inline constexpr char kMergedRowText[] = "Merged to first output";
inline constexpr char kFailedRowText[] = "Conversion failed or cancelled";

class CDlgConvertDone : public UiDialog {
 public:
  explicit CDlgConvertDone(QWidget* parent = nullptr);

  // results: not owned, outlives the dialog; merged: the run merged every
  // task into the first output.
  void SetResults(std::vector<ConvertResult>* results, const TransferChoice& transfer, const std::string& folder,
                  bool merged);

  void SetFollowUps(ConvertDoneFollowUps followUps) { followUps_ = std::move(followUps); }

  QTreeWidget* ResultRows() const { return rows_; }
  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;

 private:
  void OnOpenFolder();
  void OnCopy();

  std::vector<ConvertResult>* results_ = nullptr;
  TransferChoice transfer_;
  std::string folder_;
  bool merged_ = false;
  QTreeWidget* rows_ = nullptr;
  ConvertDoneFollowUps followUps_;
};
