// The run loop against a real control block: stop, pause, seek and the mute
// cell, first with a scripted graph, then with the media graph and a reader
// thread delivering timed samples through the progress hook.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "engine/jobs/job_channel.h"
#include "engine/jobs/media_chains.h"
#include "engine/jobs/run_loop.h"
#include "engine/jobs/speaker_mute.h"
#include "plugin-api/media_module.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

template <class Pred>
bool WaitFor(Pred pred, std::chrono::milliseconds limit = 5000ms) {
  const auto until = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// Records the loop's calls; finishes when told.
class ScriptedGraph final : public IJobGraph {
 public:
  void Connect(IMediaModule*, uint32_t, IMediaModule*, uint32_t) override {}
  bool SetHook(IMediaModule*, uint32_t, SampleHook) override { return false; }
  bool FindConnection(IMediaModule*, uint32_t, IMediaModule**, uint32_t*, int) override { return false; }
  HRESULT Run() override { return Add("run"); }
  int32_t GetState() override { return finished.load() ? 1 : 0; }
  HRESULT Stop() override { return Add("stop"); }
  HRESULT Pause(int32_t pause) override { return Add(pause ? "pause" : "resume"); }
  HRESULT Seek(uint32_t low, int32_t high) override {
    return Add("seek:" + std::to_string((static_cast<int64_t>(high) << 32) | low));
  }
  HRESULT CloseWriters() override { return Add("close"); }
  void Release() override { Add("release"); }

  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  int CountOf(const std::string& call) {
    int n = 0;
    for (const std::string& c : Calls()) n += c == call;
    return n;
  }

  std::atomic<bool> finished{false};

 private:
  HRESULT Add(const std::string& call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    return S_OK;
  }
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

class RecordingMute final : public ISpeakerMute {
 public:
  bool SetMute(int32_t line, bool mute) override {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::to_string(line) + (mute ? ":mute" : ":unmute"));
    return true;
  }
  std::vector<std::string> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> calls_;
};

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    channel_ = OpenJobChannel("HWND_00ABCDEF_2");
    control_ = GetControlData(channel_);
    ASSERT_NE(nullptr, control_);
    for (size_t offset : ControlBlock::kHeaderWordsClearedOnCreate) BlockWord(control_, offset).store(0);
  }
  void TearDown() override {
    if (loop_.joinable()) {
      graph_.finished = true;
      loop_.join();
    }
    CloseJobChannel(channel_);
  }

  void Start(bool player) {
    loop_ = std::thread([this, player] { RunGraphLoop(graph_, control_, player); });
  }
  void Finish() {
    graph_.finished = true;
    loop_.join();
  }
  std::atomic_ref<int32_t> Word(size_t offset) { return BlockWord(control_, offset); }

  JobChannel* channel_ = nullptr;
  uint8_t* control_ = nullptr;
  ScriptedGraph graph_;
  std::thread loop_;
};

TEST_F(RunLoopTest, StopIsIssuedOnceAndTheLoopEndsWithTheWriters) {
  Start(false);
  Word(ControlBlock::kStopRequest).store(1);
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("stop") == 1; }));
  std::this_thread::sleep_for(3 * std::chrono::milliseconds(kControlPollMilliseconds));
  Word(ControlBlock::kStopRequest).store(1);
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(kControlPollMilliseconds));
  EXPECT_EQ(1, graph_.CountOf("stop"));
  const auto finishing = Clock::now();
  Finish();
  EXPECT_LT(Clock::now() - finishing, 1s);
  const auto calls = graph_.Calls();
  ASSERT_GE(calls.size(), 4u);
  EXPECT_EQ("run", calls.front());
  EXPECT_EQ("close", calls[calls.size() - 2]);
  EXPECT_EQ("release", calls.back());
}

TEST_F(RunLoopTest, PauseRepeatsWhileRequestedAndResumesOnce) {
  Start(false);
  Word(ControlBlock::kPauseRequest).store(1);
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("pause") >= 3; }));
  Word(ControlBlock::kPauseRequest).store(0);
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("resume") == 1; }));
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(kControlPollMilliseconds));
  EXPECT_EQ(1, graph_.CountOf("resume"));
  Finish();
}

TEST_F(RunLoopTest, SeekIsServedAndClearedAfterAPauseIsReleased) {
  const int64_t target = 0x123456789LL;
  WriteSeekTarget(control_, target);
  Word(ControlBlock::kPauseRequest).store(1);
  Word(ControlBlock::kSeekRequest).store(1);
  Start(false);
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("pause") >= 2; }));
  EXPECT_EQ(1, Word(ControlBlock::kSeekRequest).load());
  Word(ControlBlock::kPauseRequest).store(0);
  ASSERT_TRUE(WaitFor([&] { return Word(ControlBlock::kSeekRequest).load() == 0; }));
  Finish();
  const auto calls = graph_.Calls();
  auto resume = std::find(calls.begin(), calls.end(), "resume");
  auto seek = std::find(calls.begin(), calls.end(), "seek:" + std::to_string(target));
  ASSERT_NE(calls.end(), resume);
  ASSERT_NE(calls.end(), seek);
  EXPECT_LT(resume, seek);
  EXPECT_EQ(1, graph_.CountOf("seek:" + std::to_string(target)));
}

TEST_F(RunLoopTest, StopWhilePausedEndsThePause) {
  Start(false);
  Word(ControlBlock::kPauseRequest).store(1);
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("pause") >= 1; }));
  Word(ControlBlock::kStopRequest).store(1);  // the pause request stays set
  ASSERT_TRUE(WaitFor([&] { return graph_.CountOf("stop") == 1; }));
  const int pausesAtStop = graph_.CountOf("pause");
  std::this_thread::sleep_for(3 * std::chrono::milliseconds(kControlPollMilliseconds));
  Finish();
  const auto calls = graph_.Calls();
  auto stop = std::find(calls.begin(), calls.end(), "stop");
  ASSERT_NE(calls.begin(), stop);
  EXPECT_EQ("resume", *(stop - 1));
  EXPECT_EQ(pausesAtStop, graph_.CountOf("pause"));
}

TEST_F(RunLoopTest, NoControlBlockOnlyWaitsForTheWriters) {
  Word(ControlBlock::kStopRequest).store(1);
  loop_ = std::thread([this] { RunGraphLoop(graph_, nullptr, false); });
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(kControlPollMilliseconds));
  Finish();
  EXPECT_EQ((std::vector<std::string>{"run", "close", "release"}), graph_.Calls());
}

// The mute cell is process-wide, so both modes are checked in one test, "-m" first.
TEST_F(RunLoopTest, MuteCellIsPolledOnlyInThePreviewModes) {
  RecordingMute mute;
  SetSpeakerMuteTarget(&mute);
  Start(false);
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(kControlPollMilliseconds));
  Finish();
  EXPECT_FALSE(CSharedBlock::Exists(MuteCell::kName));
  EXPECT_TRUE(mute.Calls().empty());

  ScriptedGraph player;
  std::thread loop([&] { RunGraphLoop(player, control_, true); });
  // The first poll of a fresh cell (0) unmutes; then each change is applied once.
  ASSERT_TRUE(WaitFor([&] { return mute.Calls().size() == 1; }));
  EXPECT_TRUE(CSharedBlock::Exists(MuteCell::kName));
  MuteCell cell;
  ASSERT_TRUE(cell.Open());
  cell.Write(1);
  ASSERT_TRUE(WaitFor([&] { return mute.Calls().size() == 2; }));
  std::this_thread::sleep_for(2 * std::chrono::milliseconds(kControlPollMilliseconds));
  player.finished = true;
  loop.join();
  EXPECT_EQ((std::vector<std::string>{"0:unmute", "0:mute"}), mute.Calls());
  SetSpeakerMuteTarget(nullptr);
  // Closed at the end of the process, the last holder takes the cell with it.
  cell.Close();
  CloseMuteCell();
  for (const std::string& object : {BlockMappingName(MuteCell::kName), BlockMutexName(MuteCell::kName)})
    EXPECT_NE(access(("/dev/shm" + PosixShmName(object)).c_str(), F_OK), 0) << object;
}

TEST(SpeakerMute, LinesAndMissingTarget) {
  SetSpeakerMuteTarget(nullptr);
  EXPECT_FALSE(SetMixerMute(MIXER_LINE_SPEAKERS, 1));
  RecordingMute mute;
  SetSpeakerMuteTarget(&mute);
  EXPECT_TRUE(SetMixerMute(2, 1));
  EXPECT_TRUE(SetMixerMute(9, 0));  // unknown lines mean the speakers
  EXPECT_EQ((std::vector<std::string>{"2:mute", "0:unmute"}), mute.Calls());
  SetSpeakerMuteTarget(nullptr);
}

// ---- with the media graph ----

// Delivers a timed sample every 5 ms (40 ms apart in media time) until told
// to stop or out of samples, then the end of stream.
class TimedReader final : public CReaderModule {
 public:
  explicit TimedReader(int samples) : samples_(samples) {}
  ~TimedReader() override { Join(); }

  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override {
    thread_ = std::thread([this] {
      for (int i = 0; i < samples_ && !stop_.load(); ++i) {
        auto* sample = new CMediaSample(nullptr, nullptr, 0);
        sample->AddRef();
        REFERENCE_TIME start = static_cast<REFERENCE_TIME>(i) * 400000, end = start + 400000;
        sample->SetTime(&start, &end);
        Deliver(0, sample);
        std::this_thread::sleep_for(5ms);
      }
      Deliver(0, nullptr);
    });
    return S_OK;
  }
  HRESULT Stop() override {
    stop_ = true;
    return S_OK;
  }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override {
    Join();
    return S_OK;
  }
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return 1; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_FAIL; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return S_OK; }
  HRESULT GetInfo(int64_t*, CParamList*) override { return S_OK; }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_FAIL; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }

 private:
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  int samples_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class CountingWriter final : public CWriterModule {
 public:
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override { return S_OK; }
  uint32_t GetInputPinCount() override { return 1; }
  uint32_t GetOutputPinCount() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return S_OK; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample* sample) override {
    if (sample) {
      received++;
      sample->Release();
    } else {
      ended = true;
    }
    return S_OK;
  }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  int32_t GetState() override { return ended.load() ? WRITER_FINISHED : WRITER_RUNNING; }
  HRESULT SetOutput(const char*, const int32_t*) override { return S_OK; }
  HRESULT SetOutputOption(int32_t) override { return S_OK; }
  HRESULT CloseOutput() override {
    closed = true;
    return S_OK;
  }

  std::atomic<int> received{0};
  std::atomic<bool> ended{false};
  std::atomic<bool> closed{false};
};

class GraphLoopTest : public RunLoopTest {
 protected:
  void SetUp() override {
    RunLoopTest::SetUp();
    CMediaGraph::ResetProcessState();
    ResetProgressFrameCounter();
    SetCurrentJobChannel(channel_);
    reader_ = new TimedReader(100000);
    writer_ = new CountingWriter;
    writer_->AddRef();  // the test keeps one reference past the graph's release
    graph_.Connect(reader_, 0, writer_, 0);
    ASSERT_TRUE(graph_.SetHook(reader_, 0, VideoProgressHook));
  }
  void TearDown() override {
    SetCurrentJobChannel(nullptr);
    if (loop_.joinable()) loop_.join();
    writer_->Release();
    CMediaGraph::ResetProcessState();
    RunLoopTest::TearDown();
  }
  void StartLoop() {
    loop_ = std::thread([this] { RunGraphLoop(graph_, control_, false); });
  }

  CMediaJobGraph graph_;
  TimedReader* reader_ = nullptr;
  CountingWriter* writer_ = nullptr;
  std::thread loop_;
};

TEST_F(GraphLoopTest, PauseHoldsThePositionAndStopWhilePausedClosesTheOutput) {
  StartLoop();
  ASSERT_TRUE(WaitFor([&] { return Word(ControlBlock::kPosition).load() > 0; }));
  Word(ControlBlock::kPauseRequest).store(1);
  ASSERT_TRUE(WaitFor([&] { return CMediaGraph::IsPaused(); }));
  std::this_thread::sleep_for(300ms);  // a delivery in flight settles
  const int32_t held = Word(ControlBlock::kPosition).load();
  const int32_t frames = Word(ControlBlock::kFrames).load();
  std::this_thread::sleep_for(3 * std::chrono::milliseconds(kControlPollMilliseconds));
  EXPECT_EQ(held, Word(ControlBlock::kPosition).load());
  EXPECT_EQ(frames, Word(ControlBlock::kFrames).load());

  // Stop with the pause request still set: the graph drains and the loop ends.
  const auto stopping = Clock::now();
  Word(ControlBlock::kStopRequest).store(1);
  loop_.join();
  EXPECT_LT(Clock::now() - stopping, 2s);
  EXPECT_TRUE(writer_->ended.load());
  EXPECT_TRUE(writer_->closed.load());
}

TEST_F(GraphLoopTest, PositionMovesAgainAfterResume) {
  StartLoop();
  Word(ControlBlock::kPauseRequest).store(1);
  ASSERT_TRUE(WaitFor([&] { return CMediaGraph::IsPaused(); }));
  std::this_thread::sleep_for(300ms);
  const int32_t held = Word(ControlBlock::kPosition).load();
  Word(ControlBlock::kPauseRequest).store(0);
  EXPECT_TRUE(WaitFor([&] { return Word(ControlBlock::kPosition).load() > held; }));
  Word(ControlBlock::kStopRequest).store(1);
  loop_.join();
  EXPECT_TRUE(writer_->closed.load());
}

}  // namespace
