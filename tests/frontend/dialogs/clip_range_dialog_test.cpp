// The clip range dialog over an injected frame renderer: loading a source into
// the slider and pickers, the frame jobs it asks for and when, the storing
// rules, the duration of the clipped task, the render gate (newest request of
// a slot wins, closing drops what waits), sources without video.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "frontend/controls/previews.h"
#include "frontend/controls/range_slider.h"
#include "frontend/controls/time_picker.h"
#include "frontend/dialogs/dlg_clip_range.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/clip_range.h"
#include "frontend/model/crop_resize.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "platform/win_types.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

std::string Video(int w, int h) {
  return "\"TYPE\"=0,\"STREAMID\"=480,\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', 'G', '2')) +
         ",\"WIDTH\"=" + std::to_string(w) + ",\"HEIGHT\"=" + std::to_string(h) + ",\"FRAMERATE\"=F25";
}

std::string Audio() {
  return "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=\"AC3A\",\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"BITSIZE\"=16";
}

std::unique_ptr<CTask> MakeClipTask(const std::vector<std::string>& tracks, double length,
                                    const std::string& path = "/media/in/clip.mpg") {
  std::string message;
  auto task = MakeTask(path, *Probe(tracks, length), Mp4Choice(), {}, message);
  EXPECT_TRUE(task) << message;
  return task;
}

// A second source for a task.
void AddSource(CTask& task, const std::string& path, const std::vector<std::string>& tracks, double length,
               int32_t clipStart = 0, int32_t clipEnd = 0) {
  auto source = std::make_unique<MediaInfo>();
  source->path = path;
  source->record = *Probe(tracks, length);
  for (size_t i = 0; i < tracks.size(); ++i) source->chosen[i] = 1;
  source->clipStart = clipStart;
  source->clipEnd = clipEnd;
  task.sources.push_back(std::move(source));
}

struct Render {
  int slot;
  int32_t seconds;
  int32_t frame;
  std::string source;
  int32_t stream;
  int32_t mode;
  bool operator==(const Render&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Render& r) {
  return os << "{slot " << r.slot << " at " << r.seconds << " frame " << r.frame << " " << r.source << "#" << r.stream
            << " mode " << r.mode << "}";
}

// Records the frame jobs and writes a grey frame whose level is the time, so
// a preview shows which render it loaded. hold: renders wait until released.
class FakeRenderer {
 public:
  explicit FakeRenderer(bool hold = false) : held_(hold) {
    SetFrameRenderer([this](WindowId, FrameJob& job) { return Run(job); });
  }
  ~FakeRenderer() {
    Release();
    EXPECT_TRUE(WaitForFrameRenderWorkers(10000));
    SetFrameRenderer(nullptr);
  }
  std::vector<Render> Renders() {
    std::lock_guard<std::mutex> lock(lock_);
    return renders_;
  }
  int Started() const { return started_; }
  void Release() {
    std::lock_guard<std::mutex> lock(lock_);
    held_ = false;
    changed_.notify_all();
  }
  void Hold() {
    std::lock_guard<std::mutex> lock(lock_);
    held_ = true;
  }

 private:
  bool Run(FrameJob& job) {
    ++started_;
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [this] { return !held_; });
    const std::string out = job.outputPath;
    const int slot = out.find("preview1.bmp") != std::string::npos   ? 1
                     : out.find("preview2.bmp") != std::string::npos ? 2
                                                                     : 0;
    renders_.push_back({slot, job.startSeconds, job.frameCount, job.sourcePath, job.stream, job.sourceMode});
    const uint32_t level = uint32_t(std::min(job.startSeconds, 255));
    return WriteSolidBitmap(out, level | level << 8 | level << 16, 320, 240);
  }

  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Render> renders_;
  std::atomic<int> started_{0};
  bool held_;
};

// The grey level a preview shows at its centre.
int ShownLevel(CFramePreviewCtrl* frame) {
  const QImage shot = frame->grab().toImage();
  return shot.pixelColor(frame->ShownRect().center()).red();
}

void Mouse(QWidget* w, QEvent::Type type, const QPoint& at) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

QPoint Centre(const QRect& r) {
  return QPoint((r.left() + r.left() + r.width()) / 2, (r.top() + r.top() + r.height()) / 2);
}

std::string Shown(CDlgClipRange& d, int id) { return d.Picker(id)->text().toStdString(); }

// Types a time into a picker as the user does (the dialog is told).
void TypeTime(CDlgClipRange& d, int id, int seconds) {
  d.Picker(id)->setTime(QTime(seconds / 3600, seconds % 3600 / 60, seconds % 60));
}

class ClipRangeDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.mode = 4;
    settings.preframe = 2;
    settings.presec = 20;
    settings.dataFolder = data.path();
  }
  TempDir data;
  ClipRangeSettings settings;
};

TEST_F(ClipRangeDialog, LoadsTheSourceAndRendersBothEnds) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Audio(), Video(320, 240)}, 99.95);
  task->sources[0]->clipStart = 10;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    EXPECT_EQ("Clip start & end time setting", d.windowTitle().toStdString());
    EXPECT_EQ(100, d.SourceLength());
    EXPECT_EQ("00:00:10", Shown(d, IDC_CLIP_START));
    EXPECT_EQ("00:01:40", Shown(d, IDC_CLIP_END));
    EXPECT_EQ("00:01:30", Shown(d, IDC_CLIP_TIME));
    EXPECT_DOUBLE_EQ(0.1, d.Slider()->Left());
    EXPECT_DOUBLE_EQ(1.0, d.Slider()->Right());
    EXPECT_EQ(task->GetOutputTitle(), d.ItemAs<QComboBox>(IDC_CLIP_SOURCE)->itemText(0).toStdString());
    // The template: the first chosen video track, the options, the first preview.
    const FrameJob& t = d.FrameTemplate();
    EXPECT_STREQ("/media/in/clip.mpg", t.sourcePath);
    EXPECT_EQ(1, t.stream);
    EXPECT_EQ(4, t.sourceMode);
    EXPECT_EQ(2, t.frameCount);
    EXPECT_EQ(20, t.startSeconds);
    EXPECT_EQ(d.FramePath(1), t.outputPath);
    EXPECT_EQ(task->job.inputs.count, t.inputs.count);
    // Both previews start on the blank frame of the source size, letterboxed.
    EXPECT_TRUE(d.Frame(1)->IsValid());
    EXPECT_EQ(2, d.Frame(1)->Mode());
    EXPECT_EQ(d.Frame(1)->width(), d.Geometry().outputWidth);
    EXPECT_EQ(320, d.Geometry().sourceWidth);
    EXPECT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 2 && ShownLevel(d.Frame(2)) == 100; }));
    EXPECT_TRUE(WaitUntil([&] { return ShownLevel(d.Frame(1)) == 10; }));
    SaveArtifact(d.grab().toImage(), "clip_range.png");
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  std::vector<Render> renders = renderer.Renders();
  std::sort(renders.begin(), renders.end(), [](const Render& a, const Render& b) { return a.slot < b.slot; });
  EXPECT_EQ((std::vector<Render>{{1, 10, 0, "/media/in/clip.mpg", 1, 4}, {2, 100, 0, "/media/in/clip.mpg", 1, 4}}),
            renders);
  EXPECT_EQ(10, task->sources[0]->clipStart) << "Cancel stores nothing";
  EXPECT_EQ(0, task->sources[0]->clipEnd);
}

TEST_F(ClipRangeDialog, DraggingRendersOnlyWhenTheDragEndsAndPickersRenderAtOnce) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Video(320, 240)}, 100);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    ASSERT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 2; }));
    CRangeSlider* s = d.Slider();
    const int t = s->ThumbLength(), track = s->TrackLength();
    ASSERT_GT(track, 100);
    // The right thumb from the end to about 0.7 in several moves.
    const QPoint from = Centre(s->RightThumbRect());
    Mouse(s, QEvent::MouseButtonPress, from);
    for (int x = from.x() - 5; x > 3 * t / 2 + track * 7 / 10; x -= 10) Mouse(s, QEvent::MouseMove, {x, from.y()});
    const int x = 3 * t / 2 + int(track * 0.705);
    Mouse(s, QEvent::MouseMove, {x, from.y()});
    Pump(300);
    EXPECT_EQ(2u, renderer.Renders().size()) << "nothing rendered while dragging";
    const int end = int(s->Right() * 100 + 0.1);
    EXPECT_EQ(70, end);
    EXPECT_EQ("00:01:10", Shown(d, IDC_CLIP_END));
    EXPECT_EQ("00:01:10", Shown(d, IDC_CLIP_TIME));
    Mouse(s, QEvent::MouseButtonRelease, {x, from.y()});
    ASSERT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 3; }));
    EXPECT_EQ(2, renderer.Renders()[2].slot);
    EXPECT_EQ(70, renderer.Renders()[2].seconds);
    EXPECT_TRUE(WaitUntil([&] { return ShownLevel(d.Frame(2)) == 70; }));

    // A picker moves the slider and renders at once.
    TypeTime(d, IDC_CLIP_START, 25);
    EXPECT_DOUBLE_EQ(0.25, s->Left());
    EXPECT_EQ("00:00:45", Shown(d, IDC_CLIP_TIME));
    ASSERT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 4; }));
    EXPECT_EQ((Render{1, 25, 0, "/media/in/clip.mpg", 0, 4}), renderer.Renders()[3]);
    TypeTime(d, IDC_CLIP_END, 90);
    EXPECT_DOUBLE_EQ(0.9, s->Right());
    ASSERT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 5; }));
    EXPECT_EQ(2, renderer.Renders()[4].slot);

    // A drag of the bar renders both ends when it ends.
    const QPoint bar = Centre(s->BarRect());
    Mouse(s, QEvent::MouseButtonPress, bar);
    Mouse(s, QEvent::MouseMove, {bar.x() - track / 10, bar.y()});
    Mouse(s, QEvent::MouseButtonRelease, {bar.x() - track / 10, bar.y()});
    ASSERT_TRUE(WaitUntil([&] { return renderer.Renders().size() == 7; }));
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  const MediaInfo& source = *task->sources[0];
  EXPECT_GT(source.clipStart, 10);
  EXPECT_LT(source.clipStart, 20);
  EXPECT_EQ(65, source.clipEnd - source.clipStart);
  EXPECT_EQ(65u, task->duration);
}

TEST_F(ClipRangeDialog, StoringTheRange) {
  struct Case {
    const char* what;
    int32_t start, end, length;
    int32_t wantStart, wantEnd;
  } cases[] = {
      {"an end at the source's length means to the end", 10, 100, 100, 10, 0},
      {"an end before the start", 30, 20, 100, 30, 31},
      {"an end before the start that reaches the length", 99, 5, 100, 99, 0},
      {"an end of 0", 5, 0, 100, 5, 0},
      {"an ordinary range", 2, 5, 10, 2, 5},
      {"an end equal to the start", 7, 7, 10, 7, 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MediaInfo source;
    StoreClipRange(source, c.start, c.end, c.length);
    EXPECT_EQ(c.wantStart, source.clipStart);
    EXPECT_EQ(c.wantEnd, source.clipEnd);
  }

  // Through the dialog: an end picker earlier than the start picker.
  FakeRenderer renderer;
  auto task = MakeClipTask({Video(320, 240)}, 60);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    TypeTime(d, IDC_CLIP_START, 40);
    TypeTime(d, IDC_CLIP_END, 30);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(40, task->sources[0]->clipStart);
  EXPECT_EQ(41, task->sources[0]->clipEnd);
  EXPECT_EQ(1u, task->duration);
}

TEST(ClipRangeRules, TypedTimesAndTheRangeOfASource) {
  struct Time {
    const char* text;
    int32_t want;  // -1: not a time
  } times[] = {
      {"00:00:00", 0},     {"01:02:03", 3723}, {"23:59:59", 86399}, {"1:2:3", 3723},
      {" 00:01:40 ", 100}, {"zz:99", -1},      {"00:09:09x", -1},   {"24:00:00", -1},
      {"00:60:00", -1},    {"00:00:60", -1},   {"00:01", -1},       {"", -1},
      {"001:00:00", -1},   {"-1:00:00", -1},   {"00::00", -1},      {"00:00:00:00", -1},
  };
  for (const Time& t : times) {
    int32_t seconds = -1;
    EXPECT_EQ(t.want >= 0, ParseClipTime(t.text, seconds)) << t.text;
    EXPECT_EQ(t.want, seconds) << t.text;
  }

  struct Range {
    int32_t start, end, length;
    const char* refusal;  // empty: stored
  } ranges[] = {
      {0, 100, 100, ""},
      {99, 100, 100, ""},
      {40, 30, 100, ""},  // an end before the start is the storing rule's
      {0, 1, 1, ""},
      {100, 100, 100, "The start time 00:01:40 is not before the end of the source (00:01:40)."},
      {549, 100, 100, "The start time 00:09:09 is not before the end of the source (00:01:40)."},
      {10, 101, 100, "The end time 00:01:41 is past the end of the source (00:01:40)."},
  };
  for (const Range& r : ranges)
    EXPECT_EQ(r.refusal, CheckClipRange(r.start, r.end, r.length)) << r.start << " " << r.end << " " << r.length;
}

TEST_F(ClipRangeDialog, OkRefusesWhatIsNotATimeOrLiesPastTheSourceAndStaysOpen) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Video(320, 240)}, 100);
  MessageBoxRecorder boxes;
  std::vector<std::string> seen;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    CTimePicker* start = d.Picker(IDC_CLIP_START);
    // Typed as the user types: the text stays as typed and is no time.
    start->selectAll();
    QTest::keyClicks(start, "zz:99");
    EXPECT_EQ("zz:99", Shown(d, IDC_CLIP_START));
    EXPECT_FALSE(start->IsTime());
    EXPECT_EQ(0, TimeControlToSeconds(start));
    d.OnCommand(IDOK, BN_CLICKED);
    EXPECT_TRUE(d.isVisible());
    // A time past the source.
    start->selectAll();
    QTest::keyClicks(start, "00:09:09");
    EXPECT_EQ(549, TimeControlToSeconds(start));
    d.OnCommand(IDOK, BN_CLICKED);
    // An end past the source.
    start->selectAll();
    QTest::keyClicks(start, "00:00:20");
    EXPECT_DOUBLE_EQ(0.2, d.Slider()->Left());
    d.Picker(IDC_CLIP_END)->selectAll();
    QTest::keyClicks(d.Picker(IDC_CLIP_END), "0:2:0");
    d.OnCommand(IDOK, BN_CLICKED);
    EXPECT_TRUE(d.isVisible());
    seen = boxes.Texts();
    for (const MessageBoxRequest& box : boxes.Shown()) EXPECT_EQ(MB_ICONEXCLAMATION, box.flags & MB_ICONMASK);
    d.Picker(IDC_CLIP_END)->selectAll();
    QTest::keyClicks(d.Picker(IDC_CLIP_END), "00:01:10");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ((std::vector<std::string>{
                "The start time \"zz:99\" is not a time.\nType hours, minutes and seconds as hh:mm:ss.",
                "The start time 00:09:09 is not before the end of the source (00:01:40).",
                "The end time 00:02:00 is past the end of the source (00:01:40).",
            }),
            seen);
  EXPECT_EQ(20, task->sources[0]->clipStart);
  EXPECT_EQ(70, task->sources[0]->clipEnd);
  EXPECT_EQ(50u, task->duration);
}

TEST(ClipRangeRules, SourceLengthAndClippedDuration) {
  struct Length {
    double probed;
    int32_t want;
  } lengths[] = {{0, 1}, {-3, 1}, {0.85, 1}, {0.95, 1}, {9.9, 10}, {99.95, 100}, {100.5, 100}, {1e300, 2147483647}};
  for (const Length& l : lengths) EXPECT_EQ(l.want, ClipSourceLength(l.probed)) << l.probed;

  struct Clip {
    int64_t length, start, end, want;
  } clips[] = {
      {100, 0, 0, 100},  {100, 0, 30, 30},   {100, 0, 300, 100},  {100, 10, 0, 90}, {100, 120, 0, -1},
      {100, 10, 40, 30}, {100, 10, 400, 90}, {100, 150, 400, -1}, {100, 100, 0, 0},
  };
  for (const Clip& c : clips)
    EXPECT_EQ(c.want, ClippedLength(c.length, c.start, c.end)) << c.length << " " << c.start << " " << c.end;

  // The longest clipped source; sources past their end do not count.
  auto task = MakeClipTask({Video(320, 240)}, 100.7);
  task->sources[0]->clipStart = 10;
  AddSource(*task, "/media/in/two.mpg", {Video(320, 240)}, 60);
  UpdateClipDuration(*task);
  EXPECT_EQ(90u, task->duration);
  task->sources[0]->clipStart = 200;
  task->sources[1]->clipStart = 100;
  UpdateClipDuration(*task);
  EXPECT_EQ(0u, task->duration);
  task->sources.clear();
  task->duration = 5;
  UpdateClipDuration(*task);
  EXPECT_EQ(0u, task->duration);
}

TEST_F(ClipRangeDialog, ASourceOfLengthZeroCountsOneSecond) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Video(320, 240)}, 0);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    EXPECT_EQ(1, d.SourceLength());
    EXPECT_EQ("00:00:01", Shown(d, IDC_CLIP_END));
    EXPECT_DOUBLE_EQ(1.0, d.Slider()->Right());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(0, task->sources[0]->clipEnd);
}

TEST_F(ClipRangeDialog, SourcesChangeInTheComboAndKeepTheirOwnRanges) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Video(320, 240)}, 100);
  AddSource(*task, "/media/in/two.mpg", {Video(320, 240)}, 60, 5, 50);
  AddSource(*task, "/media/in/sound.mp3", {Audio()}, 30);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    auto* combo = d.ItemAs<QComboBox>(IDC_CLIP_SOURCE);
    ASSERT_EQ(3, combo->count());
    EXPECT_EQ("/media/in/two.mpg", combo->itemText(1).toStdString());
    TypeTime(d, IDC_CLIP_START, 20);
    combo->setCurrentIndex(1);
    d.OnCommand(IDC_CLIP_SOURCE, CBN_SELCHANGE);
    EXPECT_EQ(1, d.CurrentSource());
    EXPECT_EQ(60, d.SourceLength());
    EXPECT_EQ("00:00:05", Shown(d, IDC_CLIP_START));
    EXPECT_EQ("00:00:50", Shown(d, IDC_CLIP_END));
    EXPECT_STREQ("/media/in/two.mpg", d.FrameTemplate().sourcePath);
    EXPECT_TRUE(WaitUntil([&] {
      for (const Render& r : renderer.Renders())
        if (r.source == "/media/in/two.mpg" && r.slot == 2 && r.seconds == 50) return true;
      return false;
    }));

    // A source without video shows the blank frame at both ends; no engine.
    const size_t before = renderer.Renders().size();
    combo->setCurrentIndex(2);
    d.OnCommand(IDC_CLIP_SOURCE, CBN_SELCHANGE);
    EXPECT_STREQ("", d.FrameTemplate().sourcePath);
    EXPECT_EQ(0, ShownLevel(d.Frame(1)));
    EXPECT_EQ(0, ShownLevel(d.Frame(2)));
    TypeTime(d, IDC_CLIP_END, 10);
    Pump(200);
    EXPECT_EQ(before, renderer.Renders().size());
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_EQ(20, task->sources[0]->clipStart);
  EXPECT_EQ(0, task->sources[0]->clipEnd);
  EXPECT_EQ(5, task->sources[1]->clipStart);
  EXPECT_EQ(50, task->sources[1]->clipEnd);
  EXPECT_EQ(10, task->sources[2]->clipEnd);
  EXPECT_EQ(80u, task->duration);
}

TEST_F(ClipRangeDialog, ATaskWithoutVideoShowsNoPictures) {
  FakeRenderer renderer;
  auto task = MakeClipTask({Audio()}, 100);
  ASSERT_FALSE(task->hasVideo);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    EXPECT_FALSE(d.Frame(1)->IsValid());
    TypeTime(d, IDC_CLIP_START, 10);
    Pump(200);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDOK, dlg.DoModal());
  EXPECT_TRUE(renderer.Renders().empty());
  EXPECT_FALSE(std::filesystem::exists(data.File("blank.bmp")));
  EXPECT_EQ(10, task->sources[0]->clipStart);
  EXPECT_EQ(90u, task->duration);
}

TEST_F(ClipRangeDialog, OnlyTheNewestRequestOfASlotRendersAndClosingDropsThoseWaiting) {
  FakeRenderer renderer(/*hold=*/true);
  auto task = MakeClipTask({Video(320, 240)}, 100);
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    // One of the two first renders runs and holds the engine; the other waits.
    ASSERT_TRUE(WaitUntil([&] { return renderer.Started() == 1 && d.Gate()->InFlight() == 2; }));
    for (int s : {30, 31, 32}) {
      TypeTime(d, IDC_CLIP_START, s);
      ASSERT_TRUE(WaitUntil([&] { return d.Gate()->InFlight() == 2 + (s - 29); }));
    }
    renderer.Release();
    ASSERT_TRUE(WaitUntil([&] { return d.Gate()->InFlight() == 0; }));
    std::vector<int> starts;
    for (const Render& r : renderer.Renders())
      if (r.slot == 1 && r.seconds != 0) starts.push_back(r.seconds);
    EXPECT_EQ(std::vector<int>{32}, starts) << "three quick changes render the last only";
    EXPECT_TRUE(WaitUntil([&] { return ShownLevel(d.Frame(1)) == 32; }));

    // Closing while one renders and another waits: the waiting one is dropped.
    renderer.Hold();
    const int before = renderer.Started();
    TypeTime(d, IDC_CLIP_START, 40);
    ASSERT_TRUE(WaitUntil([&] { return renderer.Started() == before + 1; }));
    TypeTime(d, IDC_CLIP_END, 60);
    ASSERT_TRUE(WaitUntil([&] { return d.Gate()->InFlight() == 2; }));
    std::thread release([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      renderer.Release();
    });
    d.OnCommand(IDCANCEL, BN_CLICKED);
    release.join();
    EXPECT_EQ(0, d.Gate()->InFlight());
  });
  CDlgClipRange dlg(*task, settings);
  EXPECT_EQ(IDCANCEL, dlg.DoModal());
  ASSERT_TRUE(WaitForFrameRenderWorkers(10000));
  bool rendered40 = false, rendered60 = false;
  for (const Render& r : renderer.Renders()) {
    rendered40 |= r.slot == 1 && r.seconds == 40;
    rendered60 |= r.slot == 2 && r.seconds == 60;
  }
  EXPECT_TRUE(rendered40) << "the running render finishes";
  EXPECT_FALSE(rendered60) << "the waiting one is dropped";
}

}  // namespace
