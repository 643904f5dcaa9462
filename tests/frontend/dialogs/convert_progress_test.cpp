// The progress dialog over the stand-in engine: tasks in list order with their
// codes, Stop and the kill after the stop time-out, pause and resume, merged
// runs and the merge engine's frame rate, durations of 0 and over 65,535 s,
// engines that do not start, empty runs, and the log list with damaged ring
// indexes and a flood of lines.
#include <signal.h>

#include <QAbstractButton>
#include <QProgressBar>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "common/control_block.h"
#include "common/job_records.h"
#include "frontend/dialogs/dlg_log.h"
#include "frontend/dialogs/log_list.h"
#include "frontend/ui/modal_script.h"
#include "progress_test_util.h"
#include "qt_test_util.h"
#include "tests/frontend/model/fake_engine_folder.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kTracks = {
    "\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F25",
    "\"TYPE\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"STREAMID\"=1",
};

using State = CDlgConvertProgress::State;

class ConvertProgress : public FakeEngineTest {
 protected:
  void SetUp() override {
    FakeEngineTest::SetUp();
    TheLogLines().Clear();
    out_ = folder_ + "/out";
    fs::create_directories(out_);
    journal_ = folder_ + "/journal.txt";
  }
  void TearDown() override {
    TheLogLines().Clear();
    FakeEngineTest::TearDown();
  }

  CTask& Add(const std::string& name, uint32_t seconds, bool checked = true,
             const std::vector<std::string>& tracks = kTracks) {
    std::string message;
    CTask* task =
        tasks_.AddTask("/media/" + name + ".mpg", *Probe(tracks, seconds), Mp4Choice(), TaskOptions{}, message);
    EXPECT_NE(nullptr, task) << message;
    task->duration = seconds;
    task->checked = checked;
    return *task;
  }
  void Prepare(CDlgConvertProgress& dlg, int32_t merge = 0) {
    dlg.tasks = &tasks_;
    dlg.merge = merge;
    dlg.outputNames.SetFolder(out_);
  }
  // The fake engine's journal: one line per engine run.
  std::vector<std::string> Journal() const {
    std::vector<std::string> lines;
    std::ifstream in(journal_);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  CTaskList tasks_;
  std::string out_;
  std::string journal_;
};

int32_t ControlWord(const CDlgConvertProgress& dlg, size_t offset) {
  uint8_t* control = EngineSession::GetControl(dlg.TaskSession());
  return control ? BlockWord(control, offset).load() : -1;
}

bool HasRow(const std::vector<std::string>& rows, const std::string& text) {
  for (const std::string& row : rows)
    if (row.find(text) != std::string::npos) return true;
  return false;
}

TEST_F(ConvertProgress, CheckedTasksRunInListOrderAndKeepTheirCodes) {
  Script("journal " + journal_ +
         "\n"
         "only-source a.mpg\n"
         "log Start converting media file \"/media/a.mpg\"...\n"
         "play 4000 25\n"  // long enough for a slow machine's dialog to show it running
         "only-source b.mpg\n"
         "log Conversion failed,the return code is 80040203.\n"
         "result 80040203\n"
         "all\n"
         "result 0\n");
  CTask& a = Add("a", 3);
  CTask& skipped = Add("c", 5, false);
  CTask& b = Add("b", 4);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  std::string statusLine, totalLine, timeLine;
  int totalUpper = 0;
  bool rowWhileRunning = false;
  const ProgressRun run = RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t) {
    if (d.CurrentTask() == &a && Text(d, IDC_PROGRESS_STATUS).find("frames") != std::string::npos) {
      statusLine = Text(d, IDC_PROGRESS_STATUS);
      totalLine = Text(d, IDC_PROGRESS_TOTAL_STATUS);
      totalUpper = d.TotalBar()->maximum();
    }
    if (!Text(d, IDC_PROGRESS_TIME).empty()) timeLine = Text(d, IDC_PROGRESS_TIME);
    if (HasRow(LogRows(d), "Start converting")) rowWhileRunning = true;
  });
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_TRUE(a.finished);
  EXPECT_EQ(0, a.resultCode);
  EXPECT_TRUE(b.finished);
  EXPECT_EQ(static_cast<int32_t>(0x80040203u), b.resultCode);
  EXPECT_FALSE(skipped.finished);
  EXPECT_EQ("Done", TaskStatusText(a));
  EXPECT_EQ("Failed(0x80040203)", TaskStatusText(b));
  EXPECT_EQ("", TaskStatusText(skipped));
  EXPECT_EQ(out_ + "/a.mp4", a.job.output.path);
  EXPECT_EQ(out_ + "/b.mp4", b.job.output.path);

  const std::vector<std::string> journal = Journal();
  ASSERT_EQ(2u, journal.size());
  EXPECT_EQ(0u, journal[0].find("mode=m source=/media/a.mpg pass=0 reader=0 "));
  EXPECT_EQ(0u, journal[1].find("mode=m source=/media/b.mpg pass=0 reader=0 "));

  EXPECT_TRUE(std::regex_match(statusLine, std::regex(R"(\d+%,00:00:0\d,\d+ frames, \d+ fps )"))) << statusLine;
  EXPECT_TRUE(std::regex_match(totalLine, std::regex(R"(\d+%,total 00:00:07,current 00:00:0\d)"))) << totalLine;
  EXPECT_EQ(7, totalUpper);
  EXPECT_TRUE(std::regex_match(timeLine, std::regex(R"(00:00:0\d Elapsed,(\d\d:\d\d:\d\d|--:--:--) Remaining)")))
      << timeLine;

  // The lines are shown while the run goes on and kept for the log window.
  EXPECT_TRUE(rowWhileRunning);
  const std::vector<std::string> rows = LogRows(dlg);
  ASSERT_EQ(3u, rows.size());
  EXPECT_TRUE(std::regex_match(
      rows[0], std::regex(R"(\d\d:\d\d:\d\d\.\d\d\d\|Start converting media file "/media/a.mpg"\.\.\.)")))
      << rows[0];
  // The engine's last line, and the dialog's own saying what the code means (in either order).
  EXPECT_TRUE(HasRow(rows, "|Conversion failed,the return code is 80040203.")) << rows[1] << rows[2];
  EXPECT_TRUE(HasRow(rows, "|The conversion failed: 80040203 (no writer with the job's tag)")) << rows[1] << rows[2];
  ASSERT_EQ(3u, TheLogLines().size());
  std::vector<std::string> shown;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& log = static_cast<CDlgLog&>(d);
    for (int r = 0; r < log.List()->RowCount(); ++r)
      shown.push_back((log.List()->Text(r, 0) + "|" + log.List()->Text(r, 1)).toStdString());
    d.EndDialog(IDOK);
  });
  CDlgLog log;
  EXPECT_EQ(IDOK, log.DoModal());
  EXPECT_EQ(rows, shown);
}

TEST(LogWindow, EmptyBeforeAnyConversion) {
  LogLines none;
  CDlgLog log(nullptr, &none);
  int rows = -1, columns = 0;
  QString header;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& dlg = static_cast<CDlgLog&>(d);
    rows = dlg.List()->RowCount();
    columns = dlg.List()->model()->columnCount();
    header = dlg.List()->model()->headerData(1, Qt::Horizontal).toString();
    QTest::keyClick(&d, Qt::Key_Return);  // "OK"
  });
  EXPECT_EQ(IDOK, log.DoModal());
  EXPECT_EQ(0, rows);
  EXPECT_EQ(2, columns);
  EXPECT_EQ(QStringLiteral("Info"), header);
  EXPECT_EQ(100, log.List()->columnWidth(0));
  EXPECT_EQ(300, log.List()->columnWidth(1));
}

TEST_F(ConvertProgress, StopEndsTheRunAndTheStoppedTaskGetsNoStatus) {
  Script("journal " + journal_ + "\nplay 60000 25\n");
  CTask& a = Add("a", 60);
  CTask& b = Add("b", 60);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  bool openAfterKeys = false, buttonsDisabled = false;
  std::string stopping;
  State stateAfterStop = State::kRunning;
  int64_t stopAt = -1;
  const ProgressRun run = RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t now) {
    if (stopAt >= 0 || Text(d, IDC_PROGRESS_STATUS).find("frames") == std::string::npos) return;
    QTest::keyClick(&d, Qt::Key_Escape);
    d.close();
    openAfterKeys = d.InModalLoop() && d.GetState() == State::kRunning;
    Click(d, IDC_PROGRESS_STOP);
    stopAt = now;
    stopping = Text(d, IDC_PROGRESS_STATUS);
    stateAfterStop = d.GetState();
    buttonsDisabled = !d.Item(IDC_PROGRESS_STOP)->isEnabled() && !d.Item(IDC_PROGRESS_PAUSE)->isEnabled();
    Click(d, IDC_PROGRESS_STOP);  // a second press is impossible
  });
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_TRUE(openAfterKeys);
  ASSERT_GE(stopAt, 0);
  EXPECT_EQ("Stopping...(wait about 15s to stop)", stopping);
  EXPECT_EQ(State::kStopping, stateAfterStop);
  EXPECT_TRUE(buttonsDisabled);
  EXPECT_LT(run.ms - stopAt, 3000);
  EXPECT_FALSE(a.finished);
  EXPECT_FALSE(b.finished);
  EXPECT_EQ(1u, Journal().size());  // the next task does not start
}

TEST_F(ConvertProgress, AnEngineThatIgnoresStopIsKilledAfterTheTimeOut) {
  Script("hang\n");
  CTask& a = Add("a", 10);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  dlg.taskStopTimeoutMs = 800;
  int64_t stopAt = -1;
  pid_t pid = 0;
  std::string stoppingLater;
  const ProgressRun run = RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t now) {
    if (stopAt < 0 && now >= 400) {
      pid = EngineSession::GetProcessId(d.TaskSession());
      Click(d, IDC_PROGRESS_STOP);
      stopAt = now;
    }
    if (stopAt >= 0 && now - stopAt > 500) stoppingLater = Text(d, IDC_PROGRESS_STATUS);
  });
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  ASSERT_GT(pid, 0);
  EXPECT_GE(run.ms - stopAt, 800);
  EXPECT_LT(run.ms - stopAt, 2500);
  EXPECT_EQ(-1, kill(pid, 0));  // killed and reaped
  EXPECT_EQ(ESRCH, errno);
  EXPECT_FALSE(a.finished);
  EXPECT_TRUE(stoppingLater.rfind("Stopping...(wait about 1", 0) == 0) << stoppingLater;
}

TEST_F(ConvertProgress, PauseHoldsTheEngineAndFpsAndRemainingTimeContinueRight) {
  Script("play 4000 25\n");
  CTask& a = Add("a", 10);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  int phase = 0;
  int64_t pausedAt = 0, resumedAt = 0;
  int32_t positionAtPause = 0, framesAtPause = 0, positionLater = 0, baseAfterResume = 0;
  std::string pauseText, pausedStatus, pausedTotal, resumeText, afterStatus, afterTime, timeBefore;
  double shareBefore = 0, shareAfter = 0;
  State pausedState = State::kRunning, resumedState = State::kPaused;
  RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t now) {
    if (phase == 0 && d.Meter().LastFrames() >= 25) {
      Click(d, IDC_PROGRESS_PAUSE);
      pausedAt = now;
      pauseText = Text(d, IDC_PROGRESS_PAUSE);
      pausedStatus = Text(d, IDC_PROGRESS_STATUS);
      pausedTotal = Text(d, IDC_PROGRESS_TOTAL_STATUS);
      pausedState = d.GetState();
      phase = 1;
    } else if (phase == 1 && now - pausedAt >= 200 && positionAtPause == 0) {
      positionAtPause = ControlWord(d, ControlBlock::kPosition);  // once the engine has seen the pause
      framesAtPause = d.Meter().LastFrames();
    } else if (phase == 1 && now - pausedAt >= 1700) {
      positionLater = ControlWord(d, ControlBlock::kPosition);
      Click(d, IDC_PROGRESS_PAUSE);
      resumedAt = now;
      resumeText = Text(d, IDC_PROGRESS_PAUSE);
      resumedState = d.GetState();
      baseAfterResume = d.Meter().FramesBase();
      phase = 2;
    } else if (phase == 2 && now - resumedAt >= 1200 && afterStatus.empty()) {
      // The first status line that counts frames made since the resume (the dialog's timer may
      // not have shown one yet).
      const std::string status = Text(d, IDC_PROGRESS_STATUS);
      std::smatch frames;
      if (!std::regex_search(status, frames, std::regex(R"(,(\d+) frames,)")) ||
          std::stoll(frames[1]) <= static_cast<long long>(framesAtPause))
        return;
      afterStatus = status;
      timeBefore = Text(d, IDC_PROGRESS_TIME);
      shareBefore = d.Meter().OverallPercent();
    } else if (phase == 2 && !afterStatus.empty()) {
      // The first time line after that: it was computed from a share between
      // the one seen at the previous check and the one seen now.
      if (Text(d, IDC_PROGRESS_TIME) == timeBefore) {
        shareBefore = d.Meter().OverallPercent();
        return;
      }
      afterTime = Text(d, IDC_PROGRESS_TIME);
      shareAfter = d.Meter().OverallPercent();
      phase = 3;
    }
  });
  ASSERT_EQ(3, phase);
  EXPECT_EQ("&Resume", pauseText);
  EXPECT_EQ("Convert paused", pausedStatus);
  EXPECT_EQ("", pausedTotal);
  EXPECT_EQ(State::kPaused, pausedState);
  EXPECT_GT(positionAtPause, 0);
  EXPECT_EQ(positionAtPause, positionLater);  // the engine stood still
  EXPECT_EQ("&Pause", resumeText);
  EXPECT_EQ(State::kRunning, resumedState);
  EXPECT_EQ(framesAtPause, baseAfterResume);

  std::smatch m;
  ASSERT_TRUE(std::regex_match(afterStatus, m, std::regex(R"(\d+%,00:00:0\d,(\d+) frames, (\d+) fps )")))
      << afterStatus;
  const int fps = std::stoi(m[2]);
  // 25 fps since the resume; about 50 when counted from frame 0 since the
  // resume, about 15 when counted from the task's start.
  EXPECT_GE(fps, 20) << afterStatus;
  EXPECT_LE(fps, 30) << afterStatus;
  // Elapsed time includes the pause; remaining time follows from the share done.
  ASSERT_TRUE(std::regex_match(afterTime, m, std::regex(R"(00:00:(\d\d) Elapsed,00:00:(\d\d) Remaining)")))
      << afterTime;
  const int elapsed = std::stoi(m[1]), remaining = std::stoi(m[2]);
  EXPECT_GE(elapsed, 3);
  ASSERT_GT(shareBefore, 0);
  // Shown seconds are whole: the true elapsed time lies in [elapsed, elapsed + 1).
  EXPECT_GE(remaining, static_cast<int>(elapsed * (100.0 / shareAfter - 1)) - 1) << afterTime << " " << shareAfter;
  EXPECT_LE(remaining, (elapsed + 1) * (100.0 / shareBefore - 1)) << afterTime << " " << shareBefore;
  EXPECT_TRUE(a.finished);
  EXPECT_EQ(0, a.resultCode);
}

TEST_F(ConvertProgress, MergedRunFeedsOneMergeEngineThatEndsTheRun) {
  Script("journal " + journal_ +
         "\n"
         "only-mode g\n"
         "wait-stop\n"
         "only-mode m\n"
         "play 300 25\n");
  CTask& a = Add("a", 2);
  CTask& b = Add("b", 2);
  CDlgConvertProgress dlg;
  Prepare(dlg, 1);
  State afterTasks = State::kRunning;
  bool pauseEnabled = true;
  const ProgressRun run = RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t) {
    if (d.GetState() == State::kMergeWaiting) {
      afterTasks = d.GetState();
      pauseEnabled = d.Item(IDC_PROGRESS_PAUSE)->isEnabled();
    }
  });
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_TRUE(a.finished);
  EXPECT_EQ(0, a.resultCode);
  EXPECT_TRUE(b.finished);
  EXPECT_EQ(0, b.resultCode);
  // The merge engine and the first task's engine start together: their lines come in either order.
  std::vector<std::string> journal = Journal();
  ASSERT_EQ(3u, journal.size());
  std::stable_partition(journal.begin(), journal.end(), [](const std::string& l) { return l.rfind("mode=g", 0) == 0; });
  const std::string merger = std::to_string(dlg.MergeProcessId());
  EXPECT_GT(dlg.MergeProcessId(), 0);
  EXPECT_EQ(0u, journal[0].find("mode=g source=/media/a.mpg pass=1 reader=0 pid=" + merger));
  EXPECT_EQ(0u, journal[1].find("mode=m source=/media/a.mpg pass=1 reader=" + merger + " "));
  EXPECT_EQ(0u, journal[2].find("mode=m source=/media/b.mpg pass=1 reader=" + merger + " "));
  // The tasks' engines have ended; the merge engine is asked to finish.
  EXPECT_EQ(State::kMergeWaiting, afterTasks);
  EXPECT_FALSE(pauseEnabled);
}

TEST_F(ConvertProgress, TheMergeEngineWritesAtTheFirstSourcesFrameRate) {
  // The choice leaves the rate to the source: the merge engine, which sees no
  // source, is told the first task's.
  const std::string report = folder_ + "/merge_report.txt";
  Script("only-mode g\nreport " + report + "\nwait-stop\nonly-mode m\nplay 300 25\n");
  CTask& a = Add("a", 2, true, {"\"TYPE\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F29.97", kTracks[1]});
  CTask& b = Add("b", 2);  // 25 fps
  CDlgConvertProgress dlg;
  Prepare(dlg, 1);
  const ProgressRun run = RunProgress(dlg, {});
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_EQ("Done", TaskStatusText(a));
  EXPECT_EQ("Done", TaskStatusText(b));

  std::ifstream in(report + ".job", std::ios::binary);
  const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  ConvertJob job;
  std::string reason;
  ASSERT_TRUE(ParseJobRecord(job, bytes, reason)) << reason;
  EXPECT_EQ(1001, job.settings.frameRateNum);
  EXPECT_EQ(30000, job.settings.frameRateDen);
  EXPECT_EQ(1, job.settings.passFlag);
  EXPECT_EQ(a.job.output.path, std::string(job.output.path));
  // The task keeps its choice.
  EXPECT_EQ(0, a.job.settings.frameRateNum);
  EXPECT_EQ(0, a.job.settings.frameRateDen);
}

TEST_F(ConvertProgress, AMergeEngineThatEndsEarlyEndsTheRunAndItsTask) {
  Script("only-mode g\ndelay 800\nresult 80040203\nonly-mode m\nhang\n");
  CTask& a = Add("a", 10);
  CTask& b = Add("b", 10);
  CDlgConvertProgress dlg;
  Prepare(dlg, 1);
  pid_t pid = 0;
  const ProgressRun run = RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t) {
    if (!pid) pid = EngineSession::GetProcessId(d.TaskSession());
  });
  EXPECT_EQ(1, run.result);
  EXPECT_FALSE(run.watchdog);
  EXPECT_LT(run.ms, 3000);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(-1, kill(pid, 0));
  EXPECT_FALSE(a.finished);
  EXPECT_FALSE(b.finished);
  EXPECT_TRUE(HasRow(LogRows(dlg), "The merge engine ended early: 80040203 (no writer with the job's tag)"));
}

TEST_F(ConvertProgress, ATaskOfDurationZeroCountsOneSecond) {
  Script("play 800 25\n");
  CTask& a = Add("a", 0);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  int currentUpper = 0, totalUpper = 0, currentValue = -1;
  std::string status;
  RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t) {
    if (!d.TaskSession()) return;
    currentUpper = d.CurrentBar()->maximum();
    totalUpper = d.TotalBar()->maximum();
    currentValue = std::max(currentValue, d.CurrentBar()->value());
    if (!Text(d, IDC_PROGRESS_STATUS).empty()) status = Text(d, IDC_PROGRESS_STATUS);
  });
  EXPECT_EQ(1, currentUpper);
  EXPECT_EQ(1, totalUpper);
  EXPECT_GE(currentValue, 0);
  EXPECT_LE(currentValue, 1);
  EXPECT_TRUE(std::regex_match(status, std::regex(R"((0|100)%,00:00:0[01],\d+ frames, \d+ fps )"))) << status;
  EXPECT_TRUE(a.finished);
}

TEST_F(ConvertProgress, DurationsOver65535SecondsKeepTheirBars) {
  Script("only-source a.mpg\nposition 70000000 1750000\ndelay 1500\n");
  CTask& a = Add("a", 100000);
  Add("b", 50000);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  int curMax = 0, curValue = 0, totalMax = 0, totalValue = 0;
  std::string status, total;
  RunProgress(dlg, [&](CDlgConvertProgress& d, int64_t) {
    if (d.CurrentTask() != &a || d.CurrentBar()->value() == 0) return;
    curMax = d.CurrentBar()->maximum();
    curValue = d.CurrentBar()->value();
    totalMax = d.TotalBar()->maximum();
    totalValue = d.TotalBar()->value();
    status = Text(d, IDC_PROGRESS_STATUS);
    total = Text(d, IDC_PROGRESS_TOTAL_STATUS);
  });
  EXPECT_EQ(100000, curMax);
  EXPECT_EQ(70000, curValue);
  EXPECT_EQ(150000, totalMax);
  EXPECT_EQ(70000, totalValue);
  EXPECT_EQ(0u, status.rfind("70%,19:26:40,1750000 frames, ", 0)) << status;
  EXPECT_EQ("47%,total 41:40:00,current 19:26:40", total);
}

TEST_F(ConvertProgress, AnEmptyRunEndsAtOnce) {
  Script("journal " + journal_ + "\nresult 0\n");
  CTask& unchecked = Add("a", 10, false);
  for (int32_t merge : {0, 1}) {
    SCOPED_TRACE(merge);
    CDlgConvertProgress dlg;
    Prepare(dlg, merge);
    const ProgressRun run = RunProgress(dlg, {});
    EXPECT_EQ(1, run.result);
    EXPECT_FALSE(run.loopStarted);
    EXPECT_LT(run.ms, 1000);
    EXPECT_EQ(nullptr, dlg.MergeSession());
  }
  EXPECT_TRUE(Journal().empty());  // not even a merge engine
  EXPECT_FALSE(unchecked.finished);
}

TEST_F(ConvertProgress, TasksWhoseEngineCannotStartFailWithALogLine) {
  SetEngineProgram(folder_ + "/no-such-engine");
  for (int32_t merge : {0, 1}) {
    SCOPED_TRACE(merge);
    tasks_.Clear();
    TheLogLines().Clear();
    CTask& a = Add("a", 10);
    CTask& b = Add("b", 10);
    CDlgConvertProgress dlg;
    Prepare(dlg, merge);
    const ProgressRun run = RunProgress(dlg, {});
    EXPECT_EQ(1, run.result);
    EXPECT_LT(run.ms, 2000);
    for (CTask* task : {&a, &b}) {
      EXPECT_TRUE(task->finished);
      EXPECT_EQ(kTaskNotStartedCode, task->resultCode);
      EXPECT_EQ("Failed(0x80004005)", TaskStatusText(*task));
    }
    const std::vector<std::string> rows = LogRows(dlg);
    if (merge) {
      ASSERT_EQ(3u, rows.size());
      EXPECT_NE(std::string::npos, rows[0].find("|Cannot start the merge engine: "));
      EXPECT_NE(std::string::npos, rows[1].find("|Cannot convert \"/media/a.mpg\": the merge engine is not running"));
    } else {
      ASSERT_EQ(2u, rows.size());
      EXPECT_NE(std::string::npos, rows[0].find("|Cannot convert \"/media/a.mpg\": the engine cannot be started ("));
      EXPECT_NE(std::string::npos, rows[1].find("|Cannot convert \"/media/b.mpg\": "));
    }
    EXPECT_EQ(rows.size(), TheLogLines().size());
  }
}

TEST_F(ConvertProgress, DamagedRingIndexesNeitherFreezeNorStopTheLog) {
  Script("log first\nlog second\nplay 1200 0\nlog third\n");
  CLogRing ring;
  ASSERT_TRUE(ring.Open(CLogRing::kName));
  const struct {
    int32_t read, write;
    bool firstKept;
  } cases[] = {{-1, 0, true}, {0, 600, false}, {0, 700, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.read) + "," + std::to_string(c.write));
    tasks_.Clear();
    TheLogLines().Clear();
    BlockWord(ring.View(), LogRingLayout::kReadIndex).store(c.read);
    BlockWord(ring.View(), LogRingLayout::kWriteIndex).store(c.write);
    CTask& a = Add("a", 2);
    CDlgConvertProgress dlg;
    Prepare(dlg);
    const ProgressRun run = RunProgress(dlg, {}, 10000);
    EXPECT_EQ(1, run.result);
    EXPECT_FALSE(run.watchdog);
    EXPECT_TRUE(a.finished);
    std::vector<std::string> texts;
    for (const std::string& row : LogRows(dlg)) texts.push_back(row.substr(row.find('|') + 1));
    std::vector<std::string> expected = {"second", "third"};
    if (c.firstKept) expected.insert(expected.begin(), "first");
    EXPECT_EQ(expected, texts);
  }
}

TEST_F(ConvertProgress, SixHundredLinesInOneSecondKeepTheWindowResponsive) {
  Script("logs 600 line\nplay 2200 25\n");
  CTask& a = Add("a", 3);
  CDlgConvertProgress dlg;
  Prepare(dlg);
  int64_t last = -1, worstGap = 0;
  RunProgress(dlg, [&](CDlgConvertProgress&, int64_t now) {
    if (last >= 0) worstGap = std::max(worstGap, now - last);
    last = now;
  });
  EXPECT_TRUE(a.finished);
  EXPECT_LT(worstGap, 1000);
  const std::vector<std::string> rows = LogRows(dlg);
  // The ring holds 512 lines: the writer went round and only the newest are left.
  ASSERT_GE(rows.size(), 88u);
  ASSERT_LE(rows.size(), 600u);
  int previous = 0;
  for (const std::string& row : rows) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(row, m, std::regex(R"(\|line (\d+)$)"))) << row;
    EXPECT_GT(std::stoi(m[1]), previous);
    previous = std::stoi(m[1]);
  }
  EXPECT_EQ(600, previous);
  EXPECT_EQ(rows.size(), TheLogLines().size());
}

}  // namespace
