// The conversion progress dialog "Processing...": runs every checked task of
// a task list, one engine process after another (and, in a merged run, one
// merge engine that takes the streams of every task), showing the current
// and total progress, frames and speed, elapsed and remaining time and the
// engines' log lines, with Pause/Resume and Stop. It ends by itself: after
// the last task, after a stop, or when the merge engine ends.
//
// Each task that ran gets finished set and resultCode = its engine's code; a
// task whose job cannot be made or whose engine cannot start counts as ended
// with a failure code and a log line; a stopped task stays not finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "frontend/model/convert_progress.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/log_reader.h"
#include "frontend/model/output_names.h"
#include "frontend/ui/ui_dialog.h"

class CTask;
class CTaskList;
class CLogListCtrl;
class QProgressBar;

constexpr int IDD_CONVERT_PROGRESS = 123;
constexpr int IDC_PROGRESS_CURRENT = 1028;
constexpr int IDC_PROGRESS_TOTAL = 1032;
constexpr int IDC_PROGRESS_STATUS = 1138;
constexpr int IDC_PROGRESS_TOTAL_STATUS = 1140;
constexpr int IDC_PROGRESS_LOG = 1191;
constexpr int IDC_PROGRESS_TIME = 1237;
constexpr int IDC_PROGRESS_PAUSE = 1135;
constexpr int IDC_PROGRESS_STOP = 1024;

constexpr int kProgressTimerId = 3000;  // every 300 ms: engines, bars and status lines
constexpr int kLogTimerId = 3001;       // every 1000 ms: log lines and times
constexpr int kStoppingTimerId = 3002;  // every 1000 ms after Stop

// The code of a task whose job could not be made or whose engine did not start.
constexpr HRESULT kTaskNotStartedCode = E_FAIL;

class CDlgConvertProgress : public UiDialog {
 public:
  enum class State : int32_t {
    kRunning = 0,       // a task's engine runs
    kStopping = 1,      // Stop pressed, waiting for the task's engine
    kPaused = 2,        // the task's engine is paused
    kMergeWaiting = 3,  // every task ended, waiting for the merge engine
    kMergeStopping = 4  // waiting for the merge engine after a stop
  };

  // parent: the main window; in a merged run the merge engine is started for
  // its window (a window of its own when the parent has none).
  explicit CDlgConvertProgress(QWidget* parent = nullptr);
  ~CDlgConvertProgress() override;

  // In, set before DoModal: the tasks (not owned; the checked ones run), the
  // merged-run flag and the run's output names, whose folder the caller sets.
  CTaskList* tasks = nullptr;
  int32_t merge = 0;
  OutputNameList outputNames;
  // How long a stopped engine gets before it is killed.
  uint32_t taskStopTimeoutMs = 10000;
  uint32_t mergeStopTimeoutMs = 15000;

  State GetState() const { return state_; }
  // The task whose engine runs (or ran last); null before the first.
  const CTask* CurrentTask() const { return current_; }
  int32_t MergeProcessId() const { return mergePid_; }
  // The engine of the current task, and the merge engine; null when none.
  EngineSession* TaskSession() const { return session_.get(); }
  EngineSession* MergeSession() const { return mergeSession_.get(); }
  const ConvertProgressMeter& Meter() const { return meter_; }
  QProgressBar* CurrentBar() const { return currentBar_; }
  QProgressBar* TotalBar() const { return totalBar_; }
  CLogListCtrl* LogList() const { return logList_; }

  // "&Pause"/"&Resume" and "&Stop".
  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}  // Esc and the close box do nothing
  void OnTimer(int id) override;
  void OnDestroy() override;

 private:
  int64_t NowMs() const;
  void OnProgressTimer();
  void OnLogTimer();
  void OnPause();
  void OnStop();
  void EndRun();

  // Prepares the checked tasks; the total duration.
  int64_t PrepareTasks();
  // Starts the engine of the first task from `from` (in list order) that can
  // run; tasks that cannot count as failed. False when none is left.
  bool StartNextTask(size_t from);
  bool StartMergeEngine(CTask& first);
  // The task's engine ended with `code`.
  void TaskEnded(HRESULT code);
  void FailTask(CTask& task, const std::string& why);
  // After the last task: the merge engine is asked to finish, or the run ends.
  void AllTasksEnded();
  void AddLogLine(const std::string& text);
  void SetBar(QProgressBar* bar, int32_t upper, int32_t value);
  uint32_t MergeWindow();

  LogRingReader ring_;
  size_t firstLine_ = 0;  // the program's log lines from here on are this run's
  State state_ = State::kRunning;
  ConvertProgressMeter meter_;
  std::vector<bool> runnable_;  // per task of the list: checked and prepared
  size_t position_ = 0;         // the current task's index in the list
  CTask* current_ = nullptr;
  std::unique_ptr<EngineSession> session_;
  std::unique_ptr<EngineSession> mergeSession_;
  int32_t mergePid_ = 0;
  uint32_t mergeWindow_ = 0;
  int64_t stopTickMs_ = 0;

  QProgressBar* currentBar_ = nullptr;
  QProgressBar* totalBar_ = nullptr;
  CLogListCtrl* logList_ = nullptr;
};
