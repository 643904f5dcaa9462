// Engine sessions against a stand-in engine: block names and contents, the
// shared control block, exit states, terminate, time-outs, probes, bad
// engines and leftovers of a crashed run.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "common/shared_block.h"
#include "frontend/model/engine_session.h"
#include "platform/process_liveness.h"
#include "tests/frontend/model/fake_engine_folder.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

class Session : public FakeEngineTest {
 protected:
  std::unique_ptr<ConvertJob> Job(const char* source = "/media/in put.mpg") {
    auto job = std::make_unique<ConvertJob>();
    job->inputs.count = 1;
    SetJobText(job->inputs.inputs[0].path, source);
    return job;
  }

  uint32_t window_ = NewToolWindowId();
};

TEST_F(Session, NullSessionsReadAsNoSession) {
  HRESULT code = 1234;
  EXPECT_EQ(EngineExitState::kUnknown, EngineSession::GetExitCode(nullptr, &code));
  EXPECT_EQ(1234, code);
  EXPECT_FALSE(EngineSession::Terminate(nullptr));
  EXPECT_EQ(0, EngineSession::GetProcessId(nullptr));
  EXPECT_EQ(nullptr, EngineSession::GetControl(nullptr));
  EXPECT_EQ(0, EngineSession::GetResult(nullptr));
  EngineSession::SetValue(nullptr, 10);
  EXPECT_FALSE(WaitEngine(nullptr, 10));
  std::unique_ptr<EngineSession> none;
  EngineSession::Close(none);
  EXPECT_EQ(nullptr, none);
}

TEST_F(Session, EngineGetsTheJobBlockAndItsRecord) {
  Script("report " + folder_ + "/report.txt\nresult 0\n");
  auto job = Job();
  std::string error;
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job, &error);
  ASSERT_TRUE(s) << error;
  char name[32];
  std::snprintf(name, sizeof(name), "HWND_%08X", window_);
  EXPECT_EQ(name, s->JobBlockName());
  EXPECT_TRUE(WaitEngine(s.get(), 10000));

  auto report = ReadReport(folder_ + "/report.txt");
  EXPECT_EQ("-m", report["arg1"]);
  EXPECT_EQ(name, report["arg2"]);
  EXPECT_EQ("3", report["result_fd"]);
  EXPECT_EQ("/dev/null", report["stdin"]);
  EXPECT_EQ("/dev/null", report["stdout"]);
  EXPECT_EQ("1", report["own_group"]);
  const std::vector<uint8_t> bytes = SerialiseRecord(*job);
  EXPECT_EQ(std::to_string(bytes.size()), report["job_size"]);
  EXPECT_EQ(bytes, FileBytes(folder_ + "/report.txt.job"));
}

TEST_F(Session, SecondSessionOfAWindowGetsASuffixAndSharesTheControlBlock) {
  Script("hang\n");
  auto job = Job();
  std::unique_ptr<EngineSession> first = StartEngineConvert(window_, *job);
  ASSERT_TRUE(first);
  BlockWord(EngineSession::GetControl(first.get()), ControlBlock::kPosition).store(4321);
  std::unique_ptr<EngineSession> second = StartEngineConvert(window_, *job);
  std::unique_ptr<EngineSession> third = StartEngineConvert(window_, *job);
  ASSERT_TRUE(second && third);
  EXPECT_EQ(first->JobBlockName() + "_0", second->JobBlockName());
  EXPECT_EQ(first->JobBlockName() + "_1", third->JobBlockName());
  // One block: what the first session wrote is there for the second, not cleared.
  EXPECT_EQ(4321, BlockWord(EngineSession::GetControl(second.get()), ControlBlock::kPosition).load());
  BlockWord(EngineSession::GetControl(third.get()), ControlBlock::kReportedPosition).store(-7);
  EXPECT_EQ(-7, EngineSession::GetResult(first.get()));

  // A name is free again once its session is closed.
  const std::string firstName = first->JobBlockName();
  EngineSession::Terminate(first.get());
  EngineSession::Close(first);
  std::unique_ptr<EngineSession> again = StartEngineConvert(window_, *job);
  ASSERT_TRUE(again);
  EXPECT_EQ(firstName, again->JobBlockName());
  for (EngineSession* s : {second.get(), third.get(), again.get()}) EngineSession::Terminate(s);
}

TEST_F(Session, EndedOnlyWhenTheProcessHasEnded) {
  struct Case {
    const char* script;
    uint32_t code;
  };
  const Case cases[] = {
      {"result 0", 0},
      {"result 80040203", 0x80040203u},
      {"result 103", 259},  // the code that reads "still active" elsewhere
      {"exit 7", 7},        // no result report: the exit status
      {"signal 11", 0xC0000005u},
      {"signal 8", 0xC0000094u},
      {"signal 6", 0xC0000409u},  // an abort is reported like a failed check
      {"signal 9", static_cast<uint32_t>(kEngineSignalledCode)},
  };
  auto job = Job();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Script(std::string("delay 200\n") + c.script + "\n");
    std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
    ASSERT_TRUE(s);
    HRESULT code = 12345;
    EXPECT_EQ(EngineExitState::kRunning, EngineSession::GetExitCode(s.get(), &code));
    EXPECT_EQ(12345, code);
    EXPECT_EQ(c.code == 0, WaitEngine(s.get(), 10000));
    EXPECT_EQ(EngineExitState::kEnded, EngineSession::GetExitCode(s.get(), &code));
    EXPECT_EQ(c.code, static_cast<uint32_t>(code));
    EXPECT_FALSE(EngineSession::Terminate(s.get()));  // nothing left to kill; the code stays
    EngineSession::GetExitCode(s.get(), &code);
    EXPECT_EQ(c.code, static_cast<uint32_t>(code));
  }
}

TEST_F(Session, TerminateEndsARunningEngineWithItsCode) {
  Script("hang\n");
  auto job = Job();
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
  ASSERT_TRUE(s);
  const int32_t pid = EngineSession::GetProcessId(s.get());
  EXPECT_GT(pid, 0);
  EXPECT_TRUE(EngineSession::Terminate(s.get()));
  EXPECT_FALSE(ProcessIsAlive(pid));
  HRESULT code = 0;
  EXPECT_EQ(EngineExitState::kEnded, EngineSession::GetExitCode(s.get(), &code));
  EXPECT_EQ(kEngineTerminatedCode, code);
  EXPECT_FALSE(EngineSession::Terminate(s.get()));
}

TEST_F(Session, EngineReadsTheControlWordsTheSessionWrites) {
  Script("report " + folder_ + "/before.txt\nwait-stop\n");
  auto job = Job();
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
  ASSERT_TRUE(s);
  uint8_t* ctl = EngineSession::GetControl(s.get());
  ASSERT_NE(nullptr, ctl);
  EngineSession::Pause(*s);
  EXPECT_EQ(1, BlockWord(ctl, ControlBlock::kPauseRequest).load());
  EngineSession::Resume(*s);
  EXPECT_EQ(0, BlockWord(ctl, ControlBlock::kPauseRequest).load());
  EngineSession::SetPlayerPause(*s, 5);
  EXPECT_EQ(1, BlockWord(ctl, ControlBlock::kHold).load());
  EngineSession::PostSeek(*s, 0x123456789LL);
  EXPECT_EQ(0x123456789LL, ReadSeekTarget(ctl));
  EXPECT_EQ(1, BlockWord(ctl, ControlBlock::kSeekRequest).load());
  EXPECT_EQ(1, BlockWord(ctl, ControlBlock::kSeekPending).load());

  // Stopping a task: the stop level, then the stop request; the fake ends
  // with the stop level it saw as its result.
  EngineSession::SetValue(s.get(), 10);
  EngineSession::RequestStop(*s);
  ASSERT_FALSE(WaitEngine(s.get(), 10000));
  HRESULT code = 0;
  EXPECT_EQ(EngineExitState::kEnded, EngineSession::GetExitCode(s.get(), &code));
  EXPECT_EQ(10, code);
}

TEST_F(Session, FrameRenderTakesTheResultWordAndTimesOut) {
  auto frame = std::make_unique<FrameJob>();
  int64_t result = 99;
  std::string error;
  Script("word20 -5\nresult 0\n");
  EXPECT_TRUE(RunEngineBitmap(window_, *frame, result, 10000, &error)) << error;
  EXPECT_EQ(-5, result);

  Script("word20 1500\nresult 80004001\n");
  EXPECT_FALSE(RunEngineBitmap(window_, *frame, result, 10000, &error));
  EXPECT_EQ(1500, result);
  EXPECT_NE(std::string::npos, error.find("80004001")) << error;

  // The time allowed leaves a slow machine the time to start the engine, which says it started.
  Script("report " + folder_ + "/hang.txt\nhang\n");
  const auto start = Clock::now();
  EXPECT_FALSE(RunEngineBitmap(window_, *frame, result, 5000, &error));
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(15));
  EXPECT_NE(std::string::npos, error.find("within 5000 ms")) << error;
  EXPECT_EQ("-b", ReadReport(folder_ + "/hang.txt")["arg1"]);
}

TEST_F(Session, ProbeResults) {
  struct Case {
    const char* script;
    bool done;
    uint32_t ret;
    int32_t tracks;
  };
  const Case cases[] = {
      {"probe-ret 0\nresult 0", true, 0, 2},
      {"probe-ret 80040012\nresult 0", true, 0x80040012u, 2},  // not recognised: the engine's RET
      {"probe-ret 0\nexit 3", false, 0x80040202u, 0},          // a failing engine
      {"result 0", false, 0x80040202u, 0},                     // an engine that wrote no record
      {"probe-ret 0\nsignal 11", false, 0x80040202u, 0},
      {"hang", false, 0x80040202u, 0},
  };
  auto record = std::make_unique<MediaInfoRecord>();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    Script(std::string(c.script) + "\n");
    // Every probe starts from what an earlier one left in the record.
    std::memset(static_cast<void*>(record.get()), 0x55, sizeof(*record));
    std::string error;
    // Only the hanging engine waits out its time; the others end it, however slow to start.
    const int timeoutMs = std::string(c.script) == "hang" ? 500 : 30000;
    EXPECT_EQ(c.done, ProbeMedia("/media/clip.mp4", 4, *record, timeoutMs, &error)) << error;
    EXPECT_EQ(c.ret, static_cast<uint32_t>(record->result));
    EXPECT_EQ(c.tracks, record->TrackCount());
    if (c.done) {
      EXPECT_EQ(12.5, record->length);
      EXPECT_STREQ("/media/clip.mp4", record->info);
      EXPECT_EQ("\"TYPE\"=1,\"STREAMID\"=1,\"SAMPLERATE\"=44100", record->Track(1));
    } else {
      EXPECT_FALSE(error.empty());
      EXPECT_EQ(0.0, record->length);
      EXPECT_EQ('\0', record->info[0]);
      EXPECT_EQ(0, record->tags.enabled);
    }
  }
}

TEST_F(Session, ProbeCommandLineCarriesAnyPath) {
  Script("report " + folder_ + "/report.txt\nprobe-ret 0\nresult 0\n");
  auto record = std::make_unique<MediaInfoRecord>();
  for (const std::string path : {"/m/with space.mp4", "/m/a,b,c.mp4", "/m/\"quoted\".mp4", "/m/new\nline.mp4",
                                 "\"/m/leading quote.mp4", "/m/ü-€.mp4"}) {
    SCOPED_TRACE(path);
    std::string error;
    ASSERT_TRUE(ProbeMedia(path, 2, *record, 10000, &error)) << error;
    EXPECT_EQ(path, std::string(record->info));
    auto report = ReadReport(folder_ + "/report.txt");
    EXPECT_EQ("-l", report["arg1"]);
    char block[32];
    std::snprintf(block, sizeof(block), ":PROC_%08X", static_cast<unsigned>(getpid()));
    EXPECT_EQ(block, report["arg2"]);
    EXPECT_EQ("2", report["arg4"]);
  }
}

TEST_F(Session, EngineThatCannotStart) {
  auto job = Job();
  WriteText(folder_ + "/not_executable", "#!/bin/sh\nexit 0\n");
  chmod((folder_ + "/not_executable").c_str(), 0644);
  fs::create_directories(folder_ + "/a_folder");
  WriteText(folder_ + "/not_a_program", "plain text\n");
  chmod((folder_ + "/not_a_program").c_str(), 0755);
  for (const std::string name : {"missing", "not_executable", "a_folder", "not_a_program"}) {
    SCOPED_TRACE(name);
    SetEngineProgram(folder_ + "/" + name);
    std::string error;
    std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job, &error);
    EXPECT_EQ(nullptr, s);
    EXPECT_NE(std::string::npos, error.find("cannot start the engine \"" + folder_ + "/" + name + "\"")) << error;
    // Nothing of the failed start is left behind.
    char jobName[32];
    std::snprintf(jobName, sizeof(jobName), "HWND_%08X", window_);
    EXPECT_FALSE(CSharedBlock::Exists(jobName));
    EXPECT_FALSE(CSharedBlock::Exists(ControlBlock::NameForWindow(window_)));

    auto record = std::make_unique<MediaInfoRecord>();
    record->trackCount = 3;
    EXPECT_FALSE(ProbeMedia("/media/clip.mp4", 0, *record, 1000, &error));
    EXPECT_EQ(0x80040202u, static_cast<uint32_t>(record->result));
    EXPECT_EQ(0, record->trackCount);
    int64_t result = 5;
    auto frame = std::make_unique<FrameJob>();
    EXPECT_FALSE(RunEngineBitmap(window_, *frame, result, 1000, &error));
    EXPECT_EQ(0, result);
  }
}

TEST_F(Session, LeftoversOfACrashedRunAreTakenOver) {
  // A process that made the window's blocks and died without closing them.
  {
    EngineProcess crashed;
    std::string error;
    char window[16];
    std::snprintf(window, sizeof(window), "%08X", window_);
    ASSERT_TRUE(crashed.Start({"--leave-blocks", window}, error)) << error;
    ASSERT_TRUE(crashed.WaitFor(10000));
  }
  char name[32];
  std::snprintf(name, sizeof(name), "HWND_%08X", window_);
  for (const std::string& block : {std::string(name), ControlBlock::NameForWindow(window_)})
    ASSERT_TRUE(fs::exists("/dev/shm" + PosixShmName(BlockMappingName(block)))) << block;
  Script("report " + folder_ + "/report.txt\nresult 0\n");
  auto job = Job();
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
  ASSERT_TRUE(s);
  EXPECT_EQ(name, s->JobBlockName());
  EXPECT_EQ(0, BlockWord(EngineSession::GetControl(s.get()), ControlBlock::kPosition).load());
  ASSERT_TRUE(WaitEngine(s.get(), 10000));
  EXPECT_EQ(std::to_string(SerialiseRecord(*job).size()), ReadReport(folder_ + "/report.txt")["job_size"]);
}

TEST_F(Session, ClosingASessionLeavesTheEngineRunning) {
  Script("hang\n");
  auto job = Job();
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
  ASSERT_TRUE(s);
  const int32_t pid = EngineSession::GetProcessId(s.get());
  EngineSession::Close(s);
  EXPECT_TRUE(ProcessIsAlive(pid));
  kill(pid, SIGKILL);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (ProcessIsAlive(pid) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(ProcessIsAlive(pid));
}

TEST_F(Session, EngineOutputOnRequest) {
  Script("report " + folder_ + "/report.txt\nresult 0\n");
  SetEngineOutputShown(true);
  auto job = Job();
  std::unique_ptr<EngineSession> s = StartEngineConvert(window_, *job);
  ASSERT_TRUE(s);
  ASSERT_TRUE(WaitEngine(s.get(), 10000));
  EXPECT_NE("/dev/null", ReadReport(folder_ + "/report.txt")["stdout"]);
}

TEST_F(Session, UnknownModeIsRefused) {
  auto job = Job();
  std::string error;
  EXPECT_EQ(nullptr, StartEngine(window_, 'x', *job, &error));
  EXPECT_NE(std::string::npos, error.find("unknown engine mode")) << error;
}

}  // namespace
