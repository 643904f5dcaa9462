// The preview panel over a fake engine session whose control block lives in
// memory: the idle and playing looks, pause, the timer's position text and
// bar, seeks and their wait, stop and its escalation, the engine's own end,
// a player that does not start, task changes and removals, snapshots (size,
// orientation, refusals, names), mute; and the model's play job, bar
// arithmetic and snapshot pictures.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <thread>

#include "common/control_block.h"
#include "common/param_list.h"
#include "frontend/controls/image_button.h"
#include "frontend/dialogs/dlg_preview.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/preview_play.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/shell.h"
#include "platform/win_types.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::string Video(int w, int h, int pnan = 0, int pnad = 0) {
  std::string t = "\"TYPE\"=0,\"STREAMID\"=480,\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', 'G', '2')) +
                  ",\"WIDTH\"=" + std::to_string(w) + ",\"HEIGHT\"=" + std::to_string(h) + ",\"FRAMERATE\"=F25";
  if (pnan || pnad) t += ",\"PNAN\"=" + std::to_string(pnan) + ",\"PNAD\"=" + std::to_string(pnad);
  return t;
}
std::string Audio() {
  return "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=\"AC3A\",\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"BITSIZE\"=16";
}

// A task over two sources of 10.45 s, the first clipped.
std::unique_ptr<CTask> TwoSourceTask(const std::string& title = "clip", int pnan = 0, int pnad = 0) {
  std::string message;
  auto task = MakeTask("/media/in/" + title + ".mpg", *Probe({Video(720, 480, pnan, pnad), Audio()}, 10.45),
                       Mp4Choice(), {}, message);
  EXPECT_TRUE(task) << message;
  auto second = std::make_unique<MediaInfo>(*task->sources.front());
  second->path = "/media/in/second.mpg";
  second->record.length = 40;
  task->sources.push_back(std::move(second));
  task->sources.front()->clipStart = 2;
  task->sources.front()->clipEnd = 5;
  EXPECT_TRUE(task->BuildJobSources(message)) << message;
  return task;
}

// ---- the fake engine ----

struct FakeEngine {
  std::vector<uint8_t> control = std::vector<uint8_t>(ControlBlock::kSize, 0);
  bool failStart = false;
  int starts = 0;
  uint32_t window = 0;
  std::unique_ptr<ConvertJob> job;
  bool ended = false;
  bool exitOnStop = true;  // ends at the first poll after a stop request
  bool terminated = false;
  int32_t value = 0;
  std::vector<int32_t> pauses;
  std::vector<int64_t> seeks;
  Clock::time_point lastSeekAt;
  bool sessionAlive = false;

  int32_t Word(size_t offset) { return BlockWord(control.data(), offset).load(); }
  void SetWord(size_t offset, int32_t v) { BlockWord(control.data(), offset).store(v); }
};

class FakeSession final : public IPlayerSession {
 public:
  explicit FakeSession(FakeEngine& e) : e_(e) { e_.sessionAlive = true; }
  ~FakeSession() override { e_.sessionAlive = false; }
  uint8_t* Control() override { return e_.control.data(); }
  EngineExitState GetExitCode(HRESULT* code) override {
    if (e_.exitOnStop && e_.Word(ControlBlock::kStopRequest) != 0) e_.ended = true;
    if (!e_.ended) return EngineExitState::kRunning;
    *code = e_.terminated ? kEngineTerminatedCode : 0;
    return EngineExitState::kEnded;
  }
  bool Terminate() override {
    e_.terminated = e_.ended = true;
    return true;
  }
  int32_t GetResult() override { return e_.Word(ControlBlock::kReportedPosition); }
  void SetValue(int32_t v) override { e_.value = v; }
  void RequestStop() override { e_.SetWord(ControlBlock::kStopRequest, 1); }
  void SetPlayerPause(int32_t flag) override { e_.pauses.push_back(flag); }
  void PostSeek(int64_t time) override {
    e_.seeks.push_back(time);
    e_.lastSeekAt = Clock::now();
    WriteSeekTarget(e_.control.data(), time);
    e_.SetWord(ControlBlock::kSeekRequest, 1);
    e_.SetWord(ControlBlock::kSeekPending, 1);
  }

 private:
  FakeEngine& e_;
};

class FakeStarter final : public IPlayerStarter {
 public:
  explicit FakeStarter(FakeEngine& e) : e_(e) {}
  std::unique_ptr<IPlayerSession> Start(uint32_t window, ConvertJob& job, std::string& error) override {
    ++e_.starts;
    e_.window = window;
    e_.job = std::make_unique<ConvertJob>(job);
    if (e_.failStart) {
      error = "cannot start";
      return nullptr;
    }
    e_.ended = false;
    e_.terminated = false;
    std::fill(e_.control.begin(), e_.control.begin() + ControlBlock::kPixels, 0);
    return std::make_unique<FakeSession>(e_);
  }

 private:
  FakeEngine& e_;
};

class FolderAt final : public ISnapshotFolder {
 public:
  std::string folder;
  std::vector<std::string> written;
  std::string Read() override { return folder; }
  bool Write(const std::string& f) override {
    written.push_back(f);
    folder = f;
    return true;
  }
};

// ---- frames in the control block ----

// The picture a fixture shows, top-down: four quadrants of different grey,
// top-left the brightest, so flips and mirrors show.
int QuadrantLuma(int x, int y, int w, int h) {
  const bool top = y < h / 2, left = x < w / 2;
  return top ? (left ? 235 : 150) : (left ? 16 : 80);
}

void PutPlanarFrame(uint8_t* control, int w, int h) {
  BlockWord(control, ControlBlock::kFrameWidth).store(w);
  BlockWord(control, ControlBlock::kFrameHeight).store(h);
  BlockWord(control, ControlBlock::kFrameLayout).store(0);
  uint8_t* p = control + ControlBlock::kPixels;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p[size_t(y) * w + x] = uint8_t(QuadrantLuma(x, y, w, h));
  std::fill(p + size_t(w) * h, p + size_t(w) * h + 2 * size_t(w / 2) * (h / 2), uint8_t(128));
}

// Packed, bottom-up, bytes B, G, R: top-left quadrant red, the rest by luma.
void PutPackedFrame(uint8_t* control, int w, int h) {
  BlockWord(control, ControlBlock::kFrameWidth).store(w);
  BlockWord(control, ControlBlock::kFrameHeight).store(h);
  BlockWord(control, ControlBlock::kFrameLayout).store(1);
  uint8_t* p = control + ControlBlock::kPixels;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = p + size_t(h - 1 - y) * w * 3;
    for (int x = 0; x < w; ++x) {
      const bool red = y < h / 2 && x < w / 2;
      const int v = QuadrantLuma(x, y, w, h);
      row[x * 3 + 0] = red ? 0 : uint8_t(v);
      row[x * 3 + 1] = red ? 0 : uint8_t(v);
      row[x * 3 + 2] = red ? 255 : uint8_t(v);
    }
  }
}

// The mean grey of a quadrant's middle (row 0 = top) of a picture.
int QuadrantGrey(const QImage& image, bool top, bool left) {
  const int w = image.width(), h = image.height();
  const int cx = left ? w / 4 : 3 * w / 4, cy = top ? h / 4 : 3 * h / 4;
  return qGray(image.pixel(cx, cy));
}

// ---- the model ----

TEST(PreviewModel, PlayJobPlaysTheFirstSourceWholeIntoTheWindow) {
  auto chosen = TwoSourceTask();
  CTask preview;
  std::string message;
  ASSERT_TRUE(MakePlayerTask(*chosen, preview, 0x00AB0042, 256, 160, message)) << message;
  ASSERT_EQ(preview.sources.size(), 1u);
  EXPECT_EQ(preview.sources[0]->path, "/media/in/clip.mpg");
  EXPECT_EQ(preview.sources[0]->clipStart, 0);
  EXPECT_EQ(preview.sources[0]->clipEnd, 0);
  EXPECT_EQ(preview.duration, 10u);
  EXPECT_EQ(preview.job.inputs.count, 1);
  EXPECT_EQ(preview.job.inputs.inputs[0].start, 0);
  EXPECT_EQ(preview.job.inputs.inputs[0].stop, 0);
  const EncodeSettings& s = preview.job.settings;
  EXPECT_STREQ(s.writerTag, "PLAYER");
  EXPECT_STREQ(s.audioCodec, "RAW");
  EXPECT_STREQ(s.videoCodec, "RAW");
  EXPECT_EQ(s.sampleRate, 48000);
  EXPECT_EQ(s.channels, 2);
  // The filters work at the output's size and layout; the player scales to the window.
  EXPECT_EQ(s.width, chosen->outputVideo.width);
  EXPECT_EQ(s.height, chosen->outputVideo.height);
  auto resizeOf = [](const std::vector<FilterEntry>& filters) {
    for (const FilterEntry& e : filters)
      if (std::string(e.key) == "VRESIZE") return e.params;
    return std::string("none");
  };
  EXPECT_EQ(resizeOf(s.videoFilters), resizeOf(chosen->job.settings.videoFilters));
  EXPECT_EQ(s.passFlag, 0);
  EXPECT_EQ(uint32_t(s.rawAudioCode), MakeFourcc('P', 'C', 'M', 'A'));
  EXPECT_EQ(uint32_t(s.rawVideoCode), MakeFourcc('R', 'G', '2', '4'));
  CParamList writer;
  writer.ParseText(s.writerParams);
  EXPECT_EQ(writer.GetInt("HWND", 0), 0x00AB0042);
  EXPECT_EQ(writer.GetInt("WIDTH", 0), 256);
  EXPECT_EQ(writer.GetInt("HEIGHT", 0), 160);
  ASSERT_FALSE(s.videoFilters.empty());
  EXPECT_STREQ(s.videoFilters.front().key, "VCAPTURE");
  EXPECT_EQ(preview.job.frameRate.enabled, 0);
  // The chosen task is untouched.
  EXPECT_EQ(chosen->sources.size(), 2u);
  EXPECT_EQ(chosen->sources[0]->clipStart, 2);

  CTask empty;
  EXPECT_FALSE(MakePlayerTask(empty, preview, 1, 256, 160, message));
}

TEST(PreviewModel, BarPositionsSeekTargetsAndTimeText) {
  struct {
    int32_t ms;
    uint32_t duration;
    int32_t bar;
  } bars[] = {{0, 10, 0}, {1500, 10, 45}, {10000, 10, 300}, {3333, 10, 99}, {5000, 0, 0}, {7200000, 7200, 300}};
  for (const auto& c : bars) EXPECT_EQ(BarPositionForMs(c.ms, c.duration), c.bar) << c.ms << " " << c.duration;
  struct {
    int32_t bar;
    uint32_t duration;
    int64_t target;
  } seeks[] = {{0, 10, 0}, {300, 10, 100000000}, {100, 10, 33333333}, {150, 7200, 36000000000LL}, {200, 0, 0}};
  for (const auto& c : seeks) EXPECT_EQ(SeekTargetForBar(c.bar, c.duration), c.target) << c.bar;
  EXPECT_EQ(PositionText(0, "00:00:10"), "00:00:00/00:00:10");
  EXPECT_EQ(PositionText(3723999, "01:10:00"), "01:02:03/01:10:00");
}

TEST(PreviewModel, SnapshotPictureKeepsOrientationAndCorrectsTheHeight) {
  std::vector<uint8_t> control(ControlBlock::kSize, 0);
  SnapshotPicture pic;
  PutPlanarFrame(control.data(), 720, 480);
  ASSERT_TRUE(MakeSnapshotPicture(control.data(), 0.8889, pic));
  EXPECT_EQ(pic.width, 720);
  EXPECT_EQ(pic.height, 540);
  EXPECT_EQ(pic.rows.size(), size_t(720) * 540 * 3);
  // Bottom-up: the first row is the picture's bottom (dark left quadrant).
  EXPECT_LT(pic.rows[0], 20);
  EXPECT_GT(pic.rows[(size_t(539) * 720) * 3], 240);

  // Aspects that are not a positive number count as 1; heights are multiples of 4.
  struct {
    double aspect;
    int32_t height;
  } aspects[] = {{0.0, 480}, {-2.0, 480}, {std::nan(""), 480}, {1.0, 480}, {1.333, 360}, {0.9, 532}};
  for (const auto& c : aspects) {
    ASSERT_TRUE(MakeSnapshotPicture(control.data(), c.aspect, pic)) << c.aspect;
    EXPECT_EQ(pic.height, c.height) << c.aspect;
    EXPECT_EQ(pic.height % 4, 0);
  }

  // Refusals: sizes out of 1..1999, unknown layouts, frames the pixel area
  // cannot hold, heights that come to 0.
  struct {
    int32_t w, h, layout;
    double aspect;
  } refused[] = {{0, 480, 0, 1},   {720, 0, 0, 1},     {2000, 480, 0, 1}, {720, 2000, 1, 1},
                 {720, 480, 2, 1}, {1999, 1999, 1, 1}, {720, 3, 0, 1},    {720, 480, 0, 1000}};
  for (const auto& c : refused) {
    BlockWord(control.data(), ControlBlock::kFrameWidth).store(c.w);
    BlockWord(control.data(), ControlBlock::kFrameHeight).store(c.h);
    BlockWord(control.data(), ControlBlock::kFrameLayout).store(c.layout);
    EXPECT_FALSE(MakeSnapshotPicture(control.data(), c.aspect, pic)) << c.w << "x" << c.h << " " << c.layout;
  }
  // The largest packed frame that fits is taken.
  BlockWord(control.data(), ControlBlock::kFrameWidth).store(1920 * 4 / 3 > 1999 ? 1999 : 1920);
  BlockWord(control.data(), ControlBlock::kFrameHeight).store(1080);
  BlockWord(control.data(), ControlBlock::kFrameLayout).store(1);
  EXPECT_TRUE(MakeSnapshotPicture(control.data(), 1, pic));
}

TEST(PreviewModel, FrameLockAndSnapshotNames) {
  std::vector<uint8_t> control(ControlBlock::kSize, 0);
  ASSERT_TRUE(LockCapturedFrame(control.data(), 1, 0));
  EXPECT_FALSE(LockCapturedFrame(control.data(), 3, 1));
  UnlockCapturedFrame(control.data());
  EXPECT_EQ(BlockWord(control.data(), ControlBlock::kFrameLock).load(), 0);

  TempDir dir;
  std::tm t{};
  t.tm_year = 2026 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 9;
  t.tm_hour = 7;
  t.tm_min = 5;
  t.tm_sec = 3;
  const std::string first = SnapshotFilePath(dir.path(), t);
  EXPECT_EQ(first, dir.path() + "/SNAP-2026-12-09 07 05 03.jpg");
  Touch(first);
  const std::string second = SnapshotFilePath(dir.path(), t);
  EXPECT_EQ(second, dir.path() + "/SNAP-2026-12-09 07 05 03 (2).jpg");
  Touch(second);
  EXPECT_EQ(SnapshotFilePath(dir.path(), t), dir.path() + "/SNAP-2026-12-09 07 05 03 (3).jpg");
}

// ---- the panel ----

class PreviewPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    SetResourceFolder(std::string(TRIVOX_STAGE_DIR) + "/resource");
    folder.folder = snaps.path() + "/snapshots";
    dlg = std::make_unique<CDlgPreview>(nullptr, &starter, &folder);
    dlg->resize(320, 300);
    dlg->Create();
    ASSERT_TRUE(WaitUntil([&] { return dlg->isVisible(); }));
    task = TwoSourceTask();
  }
  void TearDown() override {
    if (dlg) dlg->DestroyWindow();
  }

  void Play() {
    dlg->SetTask(task.get());
    dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
    ASSERT_NE(dlg->Session(), nullptr) << dlg->LastError();
  }
  bool Enabled(int id) { return dlg->Item(id)->isEnabled(); }
  QString Tip(int id) { return dlg->Item(id)->toolTip(); }
  QString Time() { return dlg->ItemText(IDC_PREVIEW_TIME); }
  void Tick() { Pump(400); }
  void Seek(int position) {
    dlg->PositionBar()->SetPos(position);
    SendMessage(dlg->Handle(), WM_BAR_POSITION_DONE, IDC_PREVIEW_POSITION, position);
  }
  bool IdleLook() {
    return !Enabled(IDC_PREVIEW_STOP) && !Enabled(IDC_PREVIEW_SNAPSHOT) && !dlg->PositionBar()->IsEnabled() &&
           dlg->PositionBar()->GetPos() == 0 && Time().isEmpty() && Tip(IDC_PREVIEW_PLAY) == "Play";
  }

  FakeEngine engine;
  FakeStarter starter{engine};
  TempDir snaps;
  FolderAt folder;
  MessageBoxRecorder boxes;
  std::unique_ptr<CDlgPreview> dlg;
  std::unique_ptr<CTask> task;
};

TEST_F(PreviewPanel, IdleAtFirstAndNothingHappensWithoutATaskOrSession) {
  EXPECT_TRUE(IdleLook());
  EXPECT_FALSE(Enabled(IDC_PREVIEW_PLAY));
  EXPECT_EQ(dlg->ItemText(IDC_PREVIEW_TITLE), "Preview");
  EXPECT_EQ(Tip(IDC_PREVIEW_SNAPSHOT), "Take a snapshot");
  EXPECT_EQ(Tip(IDC_PREVIEW_SNAPSHOT_MENU), "Snapshot settings...");
  EXPECT_EQ(Tip(IDC_PREVIEW_STOP), "Stop");
  EXPECT_EQ(Tip(IDC_PREVIEW_MUTE), "Mute");
  for (int id : {IDC_PREVIEW_PLAY, IDC_PREVIEW_STOP, IDC_PREVIEW_SNAPSHOT}) dlg->OnCommand(id, BN_CLICKED);
  Seek(150);
  EXPECT_EQ(engine.starts, 0);
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_FALSE(fs::exists(folder.folder));
  // Enter and Esc leave the panel open.
  dlg->OnCommand(IDOK, BN_CLICKED);
  dlg->OnCommand(IDCANCEL, BN_CLICKED);
  EXPECT_TRUE(dlg->IsOpen());
  SaveArtifact(dlg->grab().toImage(), "idle.png");
}

TEST_F(PreviewPanel, PlayStartsTheEngineAndTheTimerFollowsItsPosition) {
  dlg->SetTask(task.get());
  EXPECT_TRUE(Enabled(IDC_PREVIEW_PLAY));
  EXPECT_EQ(dlg->ItemText(IDC_PREVIEW_TITLE), QString::fromStdString("Preview:" + task->GetOutputTitle()));
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  ASSERT_NE(dlg->Session(), nullptr);
  EXPECT_EQ(engine.starts, 1);
  EXPECT_EQ(engine.window, dlg->VideoWindow());
  EXPECT_NE(engine.window, 0u);
  EXPECT_STREQ(engine.job->settings.writerTag, "PLAYER");
  // Drawn into the video area at its size rounded down to multiples of 4.
  CParamList writer;
  writer.ParseText(engine.job->settings.writerParams);
  EXPECT_EQ(writer.GetInt("WIDTH", 0), dlg->Video()->width() / 4 * 4);
  EXPECT_EQ(writer.GetInt("HEIGHT", 0), dlg->Video()->height() / 4 * 4);
  EXPECT_EQ(engine.job->settings.width, task->outputVideo.width);
  EXPECT_EQ(dlg->PlayingTask(), task.get());
  EXPECT_TRUE(Enabled(IDC_PREVIEW_STOP));
  EXPECT_TRUE(Enabled(IDC_PREVIEW_SNAPSHOT));
  EXPECT_TRUE(dlg->PositionBar()->IsEnabled());
  EXPECT_EQ(Tip(IDC_PREVIEW_PLAY), "Pause");

  engine.SetWord(ControlBlock::kReportedPosition, 1500);
  Tick();
  EXPECT_EQ(Time(), "00:00:01/00:00:10");
  EXPECT_EQ(dlg->PositionBar()->GetPos(), 45);
  // The end mark and a pending seek leave text and bar alone.
  engine.SetWord(ControlBlock::kReportedPosition, kPlayerEndMark);
  Tick();
  EXPECT_EQ(Time(), "00:00:01/00:00:10");
  engine.SetWord(ControlBlock::kReportedPosition, 5000);
  engine.SetWord(ControlBlock::kSeekPending, 1);
  Tick();
  EXPECT_EQ(dlg->PositionBar()->GetPos(), 45);
  engine.SetWord(ControlBlock::kSeekPending, 0);
  Tick();
  EXPECT_EQ(Time(), "00:00:05/00:00:10");
  EXPECT_EQ(dlg->PositionBar()->GetPos(), 150);
  SaveArtifact(dlg->grab().toImage(), "playing.png");

  // The engine ends by itself: the timer sees it and the panel is idle.
  engine.ended = true;
  Tick();
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_FALSE(engine.sessionAlive);
  EXPECT_TRUE(IdleLook());
}

TEST_F(PreviewPanel, PauseTogglesThePlayerPauseWord) {
  Play();
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  EXPECT_TRUE(dlg->Paused());
  EXPECT_EQ(dlg->Button(IDC_PREVIEW_PLAY)->NormalPicture().isNull(), false);
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  EXPECT_FALSE(dlg->Paused());
  EXPECT_EQ(engine.pauses, (std::vector<int32_t>{1, 0}));
  EXPECT_EQ(engine.starts, 1);
  EXPECT_EQ(Tip(IDC_PREVIEW_PLAY), "Pause");
}

TEST_F(PreviewPanel, SeekPostsTheBarsTimeAfterWaitingForAPendingOne) {
  Play();
  Seek(100);
  ASSERT_EQ(engine.seeks.size(), 1u);
  EXPECT_EQ(engine.seeks[0], 33333333);
  EXPECT_EQ(ReadSeekTarget(engine.control.data()), 33333333);
  EXPECT_EQ(engine.Word(ControlBlock::kSeekRequest), 1);

  // The first is still pending: the next waits until the player clears it.
  std::thread player([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    engine.SetWord(ControlBlock::kSeekPending, 0);
  });
  const auto start = Clock::now();
  Seek(300);
  player.join();
  ASSERT_EQ(engine.seeks.size(), 2u);
  EXPECT_EQ(engine.seeks[1], 100000000);
  EXPECT_GE(engine.lastSeekAt - start, std::chrono::milliseconds(180));
  EXPECT_LT(engine.lastSeekAt - start, std::chrono::milliseconds(900));

  // Never cleared: the wait gives up after about a second and seeks anyway.
  const auto again = Clock::now();
  Seek(0);
  ASSERT_EQ(engine.seeks.size(), 3u);
  EXPECT_EQ(engine.seeks[2], 0);
  EXPECT_GE(engine.lastSeekAt - again, std::chrono::milliseconds(950));
  EXPECT_LT(engine.lastSeekAt - again, std::chrono::milliseconds(3000));
}

TEST_F(PreviewPanel, ASourceOfNoLengthKeepsTheBarAtTheStart) {
  task->sources.front()->record.length = 0;
  Play();
  engine.SetWord(ControlBlock::kReportedPosition, 4000);
  Tick();
  EXPECT_EQ(dlg->PositionBar()->GetPos(), 0);
  EXPECT_EQ(Time(), "00:00:04/00:00:00");
  Seek(200);
  ASSERT_EQ(engine.seeks.size(), 1u);
  EXPECT_EQ(engine.seeks[0], 0);
}

TEST_F(PreviewPanel, StopAsksThenTerminatesAnEngineThatStaysAfterHalfASecond) {
  Play();
  dlg->OnCommand(IDC_PREVIEW_STOP, BN_CLICKED);
  EXPECT_EQ(engine.value, 10);
  EXPECT_EQ(engine.Word(ControlBlock::kStopRequest), 1);
  EXPECT_FALSE(engine.terminated);
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_TRUE(IdleLook());

  engine.exitOnStop = false;
  Play();
  const auto start = Clock::now();
  dlg->OnCommand(IDC_PREVIEW_STOP, BN_CLICKED);
  const auto took = Clock::now() - start;
  EXPECT_TRUE(engine.terminated);
  EXPECT_GE(took, std::chrono::milliseconds(450));
  EXPECT_LT(took, std::chrono::milliseconds(3000));
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_FALSE(engine.sessionAlive);
  EXPECT_TRUE(IdleLook());
  // Play starts anew.
  engine.exitOnStop = true;
  Play();
  EXPECT_EQ(engine.starts, 3);
}

TEST_F(PreviewPanel, APlayerThatDoesNotStartLeavesThePanelIdle) {
  engine.failStart = true;
  dlg->SetTask(task.get());
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  EXPECT_EQ(engine.starts, 1);
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_EQ(dlg->LastError(), "cannot start");
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The preview cannot start.\ncannot start"});
  EXPECT_TRUE(IdleLook());
  EXPECT_TRUE(Enabled(IDC_PREVIEW_PLAY));
  engine.failStart = false;
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  EXPECT_NE(dlg->Session(), nullptr);
}

TEST_F(PreviewPanel, TaskChangesAndRemovals) {
  auto other = TwoSourceTask("other");
  Play();
  // Another task is chosen: playback goes on, with the new title.
  dlg->SetTask(other.get());
  EXPECT_NE(dlg->Session(), nullptr);
  EXPECT_EQ(dlg->ChosenTask(), other.get());
  EXPECT_EQ(dlg->PlayingTask(), task.get());
  // A task that does not play is removed: nothing stops.
  dlg->OnTaskRemoved(other.get());
  EXPECT_NE(dlg->Session(), nullptr);
  // The playing one is removed: stop.
  dlg->OnTaskRemoved(task.get());
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_TRUE(IdleLook());

  Play();
  dlg->SetTask(nullptr);
  EXPECT_EQ(dlg->Session(), nullptr);
  EXPECT_FALSE(Enabled(IDC_PREVIEW_PLAY));
  EXPECT_EQ(dlg->ItemText(IDC_PREVIEW_TITLE), "Preview");
  dlg->OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  EXPECT_EQ(engine.starts, 2);
}

TEST_F(PreviewPanel, ClosingThePanelEndsItsEngine) {
  Play();
  dlg->DestroyWindow();
  EXPECT_TRUE(engine.terminated);
  EXPECT_EQ(engine.Word(ControlBlock::kStopRequest), 1);
  EXPECT_FALSE(engine.sessionAlive);
  dlg.reset();
}

TEST_F(PreviewPanel, SnapshotWritesAJpegOfTheCorrectedSizeTheRightWayUp) {
  // Source pixels 8:9 (0.8889 wider than square): 720 x 480 becomes 720 x 540.
  task = TwoSourceTask("clip", 8, 9);
  Play();
  PutPlanarFrame(engine.control.data(), 720, 480);
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  const std::string first = dlg->LastSnapshot();
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(fs::path(first).parent_path(), fs::path(folder.folder));
  EXPECT_EQ(fs::path(first).filename().string().rfind("SNAP-", 0), 0u);
  QImage shot(QString::fromStdString(first));
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(shot.size(), QSize(720, 540));
  EXPECT_GT(QuadrantGrey(shot, true, true), 230);
  EXPECT_NEAR(QuadrantGrey(shot, true, false), 157, 12);
  EXPECT_LT(QuadrantGrey(shot, false, true), 15);
  EXPECT_NEAR(QuadrantGrey(shot, false, false), 75, 12);
  EXPECT_EQ(engine.Word(ControlBlock::kFrameLock), 0);

  // The packed layout: its rows are bottom-up, its bytes B, G, R.
  PutPackedFrame(engine.control.data(), 320, 240);
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  const std::string second = dlg->LastSnapshot();
  ASSERT_NE(second, first);  // the same second gets its own name
  QImage packed(QString::fromStdString(second));
  ASSERT_EQ(packed.size(), QSize(320, 268));
  EXPECT_TRUE(Near(packed.pixelColor(80, 67), QColor(255, 0, 0), 24)) << packed.pixelColor(80, 67).name().toStdString();
  EXPECT_LT(QuadrantGrey(packed, false, true), 30);
  SaveArtifact(shot, "snapshot_planar.png");
  SaveArtifact(packed, "snapshot_packed.png");
}

TEST_F(PreviewPanel, SnapshotRefusalsWriteNothing) {
  Play();
  // The capture filter holds the frame for longer than the two seconds of tries.
  PutPlanarFrame(engine.control.data(), 320, 240);
  engine.SetWord(ControlBlock::kFrameLock, 1);
  const auto start = Clock::now();
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
  EXPECT_EQ(engine.Word(ControlBlock::kFrameLock), 1);  // still the filter's
  engine.SetWord(ControlBlock::kFrameLock, 0);
  // No frame yet, then one too big for the pixel area.
  std::fill(engine.control.begin(), engine.control.begin() + ControlBlock::kPixels, 0);
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  engine.SetWord(ControlBlock::kFrameWidth, 1999);
  engine.SetWord(ControlBlock::kFrameHeight, 1999);
  engine.SetWord(ControlBlock::kFrameLayout, 1);
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  EXPECT_EQ(engine.Word(ControlBlock::kFrameLock), 0);
  EXPECT_TRUE(dlg->LastSnapshot().empty());
  EXPECT_TRUE(!fs::exists(folder.folder) || fs::is_empty(folder.folder));
}

TEST_F(PreviewPanel, MuteWritesTheMuteCellAndSwitchesTheButton) {
  MuteCell cell;
  ASSERT_TRUE(cell.Open());
  dlg->OnCommand(IDC_PREVIEW_MUTE, BN_CLICKED);
  EXPECT_TRUE(dlg->Muted());
  EXPECT_EQ(cell.Read(), 1);
  EXPECT_EQ(Tip(IDC_PREVIEW_MUTE), "Unmute");
  dlg->OnCommand(IDC_PREVIEW_MUTE, BN_CLICKED);
  EXPECT_FALSE(dlg->Muted());
  EXPECT_EQ(cell.Read(), 0);
  EXPECT_EQ(Tip(IDC_PREVIEW_MUTE), "Mute");
}

TEST_F(PreviewPanel, SnapshotFolderCommands) {
  ShellScript shell;
  dlg->OnCommand(ID_OPEN_SNAPSHOT_FOLDER, 0);
  EXPECT_EQ(shell.Opened(), std::vector<std::string>{folder.folder});
  shell.ChooseFolder(snaps.path() + "/elsewhere");
  dlg->OnCommand(ID_CHANGE_SNAPSHOT_FOLDER, 0);
  EXPECT_EQ(shell.FolderRequests(), std::vector<std::string>{snaps.path() + "/snapshots"});
  EXPECT_EQ(folder.written, std::vector<std::string>{snaps.path() + "/elsewhere"});
  shell.CancelFolder();
  dlg->OnCommand(ID_CHANGE_SNAPSHOT_FOLDER, 0);
  EXPECT_EQ(folder.written.size(), 1u);
}

TEST_F(PreviewPanel, SnapshotMenuOffersTheTwoFolderCommandsBelowItsButton) {
  ShellScript shell;
  std::vector<std::string> texts;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(WaitUntil([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr; }));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QWidget* button = dlg->Item(IDC_PREVIEW_SNAPSHOT_MENU);
    EXPECT_EQ(menu->geometry().topLeft(), button->mapToGlobal(QPoint(0, button->height())));
    for (QAction* a : menu->actions()) texts.push_back(a->text().toStdString());
    menu->actions().front()->trigger();
    menu->close();
  });
  dlg->OnCommand(IDC_PREVIEW_SNAPSHOT_MENU, BN_CLICKED);
  EXPECT_EQ(texts, (std::vector<std::string>{"Open snapshot folder...", "Change snapshot folder..."}));
  EXPECT_EQ(shell.Opened(), std::vector<std::string>{folder.folder});
}

TEST_F(PreviewPanel, FrameOutlinesAndTheButtonsSitInTheBandBelowTheVideo) {
  const QImage shot = dlg->Client()->grab().toImage();
  const QRect video = dlg->ItemRect(IDC_PREVIEW_VIDEO);
  const QColor outline(127, 157, 185);
  EXPECT_EQ(shot.pixelColor(video.left() - 1, video.center().y()), outline);
  EXPECT_EQ(shot.pixelColor(video.center().x(), video.top() - 1), outline);
  EXPECT_EQ(shot.pixelColor(video.center().x(), video.top() - 22), outline);  // the title band's top
  const QRect band(video.left() - 1, video.bottom() + 2, video.width() + 2, 40);
  for (int id : {IDC_PREVIEW_POSITION, IDC_PREVIEW_PLAY, IDC_PREVIEW_STOP, IDC_PREVIEW_SNAPSHOT,
                 IDC_PREVIEW_SNAPSHOT_MENU, IDC_PREVIEW_MUTE})
    EXPECT_TRUE(band.contains(dlg->ItemRect(id))) << id;
  SaveArtifact(shot, "frame.png");
}

}  // namespace
