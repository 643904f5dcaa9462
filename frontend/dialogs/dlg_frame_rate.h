// Frame rates of copied video: the list of tasks whose video is copied, each
// with the rate its source is read at (a standard rate, the source's own or a
// custom one), and the small dialog that asks for a custom rate.
#pragma once

#include <vector>

#include "frontend/ui/ui_dialog.h"

class CTask;
class QTreeWidget;

constexpr int IDD_FRAME_RATE_LIST = 174;
constexpr int IDC_FRAME_RATE_TASKS = 1001;
constexpr int IDC_FRAME_RATE_FILE = 1255;
constexpr int IDC_FRAME_RATE_VIDEO = 1020;
constexpr int IDC_FRAME_RATE_CHOICE = 1014;

constexpr int IDD_CUSTOM_FRAME_RATE = 179;
constexpr int IDC_CUSTOM_FRAME_RATE = 1255;

inline constexpr char kCustomFrameRateEntry[] = "Custom...";
inline constexpr char kFrameRateRangeMessage[] = "The input frame rate is too small or too large(<1 or >120).";

class CDlgCustomFrameRate : public UiDialog {
 public:
  explicit CDlgCustomFrameRate(QWidget* parent = nullptr);
  // After IDOK: the rate typed, 1..120.
  double rate = 0;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
};

class CDlgFrameRateList : public UiDialog {
 public:
  explicit CDlgFrameRateList(QWidget* parent = nullptr);
  // The tasks (not owned); their frame-rate records are written while the
  // dialog runs, and on OK those read at another rate than their source's
  // are forced.
  void SetTaskList(const std::vector<CTask*>& tasks) { tasks_ = tasks; }

  QTreeWidget* TaskRows() const { return rows_; }
  const CTask* CurrentTask() const { return current_; }
  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  void OnRowChanged();
  void OnRateChosen();
  void FillRates();
  void SetRowRate(const QString& text);

  std::vector<CTask*> tasks_;
  CTask* current_ = nullptr;
  int currentRow_ = -1;
  std::vector<double> rates_;  // the numbers of the rate list, "Custom..." last and not here
  QTreeWidget* rows_ = nullptr;
};
