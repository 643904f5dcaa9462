#include "frontend/dialogs/dlg_convert_progress.h"

#include <QProgressBar>
#include <chrono>
#include <cstdio>

#include "common/control_block.h"
#include "frontend/dialogs/log_list.h"
#include "frontend/model/task_list.h"
#include "frontend/ui/qt_text.h"
#include "platform/result_text.h"

namespace {

constexpr int kProgressPollMs = 300;
constexpr int kLogPollMs = 1000;
constexpr int kStopLevel = 10;

const DialogTemplate kTemplate = {
    IDD_CONVERT_PROGRESS,
    "Processing...",
    300,
    209,
    {
        {CtrlKind::Text, IDC_STATIC, "Current file progress:", 7, 7, 90, 8},
        {CtrlKind::TextRight, IDC_PROGRESS_STATUS, "", 100, 7, 193, 8},
        {CtrlKind::Placeholder, IDC_PROGRESS_CURRENT, "", 7, 18, 286, 10},
        {CtrlKind::Text, IDC_STATIC, "Total progress:", 7, 34, 90, 8},
        {CtrlKind::TextRight, IDC_PROGRESS_TOTAL_STATUS, "", 100, 34, 193, 8},
        {CtrlKind::Placeholder, IDC_PROGRESS_TOTAL, "", 7, 45, 286, 10},
        {CtrlKind::Text, IDC_PROGRESS_TIME, "", 7, 60, 286, 8},
        {CtrlKind::Placeholder, IDC_PROGRESS_LOG, "", 7, 72, 286, 110},
        {CtrlKind::PushButton, IDC_PROGRESS_PAUSE, "&Pause", 189, 188, 50, 14},
        {CtrlKind::PushButton, IDC_PROGRESS_STOP, "&Stop", 243, 188, 50, 14},
    },
};

QProgressBar* MakeBar() {
  auto* bar = new QProgressBar;
  bar->setTextVisible(false);
  bar->setRange(0, 1);
  bar->setValue(0);
  return bar;
}

}  // namespace

CDlgConvertProgress::CDlgConvertProgress(QWidget* parent) : UiDialog(kTemplate, parent) { ring_.Open(); }

CDlgConvertProgress::~CDlgConvertProgress() {
  // A run cut short leaves no engine behind that nobody steers.
  EngineSession::Terminate(session_.get());
  EngineSession::Terminate(mergeSession_.get());
  ring_.Close();
}

int64_t CDlgConvertProgress::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

uint32_t CDlgConvertProgress::MergeWindow() {
  if (mergeWindow_ != 0) return mergeWindow_;
  if (auto* owner = dynamic_cast<MessageTarget*>(parentWidget())) mergeWindow_ = owner->Handle();
  // Its control block must not be the one of this dialog's tasks.
  while (mergeWindow_ == 0 || mergeWindow_ == Handle()) mergeWindow_ = NewToolWindowId();
  return mergeWindow_;
}

void CDlgConvertProgress::SetBar(QProgressBar* bar, int32_t upper, int32_t value) {
  if (bar->maximum() != upper) bar->setRange(0, upper);
  bar->setValue(value);
}

void CDlgConvertProgress::AddLogLine(const std::string& text) {
  LogEntry entry;
  GetLocalTime(&entry.time);
  entry.text = text;
  TheLogLines().Add(entry);
  if (logList_) logList_->Refresh();
}

void CDlgConvertProgress::FailTask(CTask& task, const std::string& why) {
  task.finished = true;
  task.resultCode = kTaskNotStartedCode;
  meter_.TaskEnded(task.duration);
  AddLogLine("Cannot convert \"" + task.GetSourceName() + "\": " + why);
}

int64_t CDlgConvertProgress::PrepareTasks() {
  int64_t total = 0;
  runnable_.assign(tasks ? tasks->size() : 0, false);
  if (!tasks) return 0;
  std::vector<std::pair<CTask*, std::string>> failed;
  for (size_t i = 0; i < tasks->size(); ++i) {
    CTask& task = (*tasks)[i];
    if (!task.checked) continue;
    total += task.duration;
    std::string message;
    if (!task.BuildJobSources(message) || !task.MakeOutputPath(outputNames, message))
      failed.emplace_back(&task, message);
    else
      runnable_[i] = true;
  }
  meter_.StartRun(NowMs(), total);
  for (auto& [task, why] : failed) FailTask(*task, why);
  return total;
}

bool CDlgConvertProgress::StartMergeEngine(CTask& first) {
  first.job.settings.passFlag = merge;
  std::string error;
  mergeSession_ = StartEngineMerge(MergeWindow(), *MakeMergeJob(first), &error);
  if (mergeSession_) {
    mergePid_ = EngineSession::GetProcessId(mergeSession_.get());
    return true;
  }
  AddLogLine("Cannot start the merge engine: " + error);
  return false;
}

bool CDlgConvertProgress::StartNextTask(size_t from) {
  for (size_t i = from; tasks && i < tasks->size(); ++i) {
    if (!runnable_[i]) continue;
    CTask& task = (*tasks)[i];
    if (merge && !mergeSession_ && !StartMergeEngine(task)) {
      // Without the merge engine no task of a merged run can write its output.
      for (size_t j = i; j < tasks->size(); ++j)
        if (runnable_[j]) FailTask((*tasks)[j], "the merge engine is not running");
      return false;
    }
    task.job.settings.passFlag = merge;
    task.job.settings.passReaderId = merge ? mergePid_ : 0;
    std::string error;
    session_ = StartEngineConvert(Handle(), task.job, &error);
    if (!session_) {
      FailTask(task, "the engine cannot be started (" + error + ")");
      continue;
    }
    position_ = i;
    current_ = &task;
    meter_.StartTask(NowMs(), task.duration);
    SetBar(currentBar_, meter_.CurrentUpper(), 0);
    return true;
  }
  return false;
}

void CDlgConvertProgress::AllTasksEnded() {
  if (merge && mergeSession_) {
    EngineSession::RequestStop(*mergeSession_);
    state_ = State::kMergeWaiting;
    EnableItem(IDC_PROGRESS_PAUSE, false);  // no task engine left to pause
    return;
  }
  EndRun();
}

void CDlgConvertProgress::EndRun() {
  KillTimer(kProgressTimerId);
  EndDialog(1);
}

bool CDlgConvertProgress::OnInitDialog() {
  currentBar_ = SubclassItem(IDC_PROGRESS_CURRENT, MakeBar());
  totalBar_ = SubclassItem(IDC_PROGRESS_TOTAL, MakeBar());
  firstLine_ = TheLogLines().size();
  logList_ = SubclassItem(IDC_PROGRESS_LOG, new CLogListCtrl(TheLogLines(), firstLine_));

  state_ = State::kRunning;
  PrepareTasks();
  SetBar(totalBar_, meter_.TotalUpper(), 0);
  SetTimer(kProgressTimerId, kProgressPollMs);
  SetTimer(kLogTimerId, kLogPollMs);
  if (!StartNextTask(0)) AllTasksEnded();
  return true;
}

bool CDlgConvertProgress::OnCommand(int id, int code) {
  switch (id) {
    case IDC_PROGRESS_PAUSE:
      OnPause();
      return true;
    case IDC_PROGRESS_STOP:
      OnStop();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}

void CDlgConvertProgress::OnTimer(int id) {
  switch (id) {
    case kProgressTimerId:
      OnProgressTimer();
      break;
    case kLogTimerId:
      OnLogTimer();
      break;
    case kStoppingTimerId:
      SetItemText(IDC_PROGRESS_STATUS, Qs(meter_.StoppingLine(NowMs(), mergeStopTimeoutMs)));
      break;
    default:
      break;
  }
}

void CDlgConvertProgress::TaskEnded(HRESULT code) {
  if (uint8_t* control = EngineSession::GetControl(session_.get())) {
    BlockWord(control, ControlBlock::kPosition).exchange(0);
    BlockWord(control, ControlBlock::kFrames).exchange(0);
  }
  session_.reset();
  meter_.TaskEnded(current_->duration);
  current_->finished = true;
  current_->resultCode = code;
  if (code != 0) AddLogLine("The conversion failed: " + ResultWithText(code));
  if (!StartNextTask(position_ + 1)) AllTasksEnded();
}

void CDlgConvertProgress::OnProgressTimer() {
  const int64_t now = NowMs();
  HRESULT code = 0;
  if (merge && mergeSession_ && EngineSession::GetExitCode(mergeSession_.get(), &code) != EngineExitState::kRunning) {
    // The merge engine's end is the end of the run, whatever else runs.
    if (state_ != State::kMergeWaiting && state_ != State::kMergeStopping)
      AddLogLine("The merge engine ended early: " + ResultWithText(code) + "; the run is over.");
    EngineSession::Terminate(session_.get());
    session_.reset();
    mergeSession_.reset();
    EndRun();
    return;
  }
  switch (state_) {
    case State::kMergeWaiting:
    case State::kPaused:
      return;
    case State::kStopping: {
      if (session_ && EngineSession::GetExitCode(session_.get(), &code) == EngineExitState::kRunning) {
        if (now - stopTickMs_ < taskStopTimeoutMs) return;
        EngineSession::Terminate(session_.get());
      }
      session_.reset();  // the stopped task gets no status
      if (merge && mergeSession_) {
        EngineSession::RequestStop(*mergeSession_);
        state_ = State::kMergeStopping;
      } else {
        EndRun();
      }
      return;
    }
    case State::kMergeStopping:
      if (now - stopTickMs_ < mergeStopTimeoutMs) return;
      EngineSession::Terminate(mergeSession_.get());
      mergeSession_.reset();
      EndRun();
      return;
    case State::kRunning:
      break;
  }
  if (!session_) return;
  const EngineExitState exit = EngineSession::GetExitCode(session_.get(), &code);
  if (exit == EngineExitState::kUnknown) {
    // Ended where its code cannot be told: a failure, never a wait without end.
    AddLogLine("The engine of \"" + current_->GetSourceName() + "\" ended without a result.");
    TaskEnded(kEngineSignalledCode);
    return;
  }
  if (exit == EngineExitState::kEnded) {
    TaskEnded(code);
    return;
  }
  uint8_t* control = EngineSession::GetControl(session_.get());
  const int32_t position = control ? BlockWord(control, ControlBlock::kPosition).load() : 0;
  const int32_t frames = control ? BlockWord(control, ControlBlock::kFrames).load() : 0;
  const ConvertProgressMeter::Reading reading = meter_.Read(now, position, frames);
  SetBar(currentBar_, meter_.CurrentUpper(), reading.current);
  SetBar(totalBar_, meter_.TotalUpper(), reading.total);
  if (reading.taskLine) SetItemText(IDC_PROGRESS_STATUS, Qs(*reading.taskLine));
  SetItemText(IDC_PROGRESS_TOTAL_STATUS, Qs(reading.totalLine));
}

void CDlgConvertProgress::OnLogTimer() {
  std::vector<LogEntry> entries;
  ring_.Drain(entries);
  for (const LogEntry& entry : entries) TheLogLines().Add(entry);
  if (logList_ && !entries.empty()) logList_->Refresh();
  SetItemText(IDC_PROGRESS_TIME, Qs(meter_.TimeLine(NowMs())));
}

void CDlgConvertProgress::OnPause() {
  if (!session_) return;
  if (state_ == State::kRunning) {
    SetItemText(IDC_PROGRESS_PAUSE, QStringLiteral("&Resume"));
    SetItemText(IDC_PROGRESS_STATUS, QStringLiteral("Convert paused"));
    SetItemText(IDC_PROGRESS_TOTAL_STATUS, QString());
    state_ = State::kPaused;
    EngineSession::Pause(*session_);
  } else if (state_ == State::kPaused) {
    meter_.Resume(NowMs());
    SetItemText(IDC_PROGRESS_PAUSE, QStringLiteral("&Pause"));
    SetItemText(IDC_PROGRESS_STATUS, QString());
    SetItemText(IDC_PROGRESS_TOTAL_STATUS, QString());
    EngineSession::Resume(*session_);
    state_ = State::kRunning;
  }
}

void CDlgConvertProgress::OnStop() {
  if (state_ == State::kStopping || state_ == State::kMergeStopping) return;
  EngineSession::SetValue(merge ? mergeSession_.get() : session_.get(), kStopLevel);
  if (state_ == State::kMergeWaiting) {
    if (mergeSession_) EngineSession::RequestStop(*mergeSession_);
    state_ = State::kMergeStopping;
  } else {
    if (session_) EngineSession::RequestStop(*session_);
    state_ = State::kStopping;
  }
  const int64_t now = NowMs();
  stopTickMs_ = now;
  meter_.Stopped(now);
  SetItemText(IDC_PROGRESS_STATUS, Qs(meter_.StoppingLine(now, mergeStopTimeoutMs)));
  SetTimer(kStoppingTimerId, 1000);
  SetItemText(IDC_PROGRESS_TOTAL_STATUS, QString());
  EnableItem(IDC_PROGRESS_STOP, false);
  EnableItem(IDC_PROGRESS_PAUSE, false);
}

void CDlgConvertProgress::OnDestroy() {
  // The lines the last engine wrote before it ended.
  OnLogTimer();
}
