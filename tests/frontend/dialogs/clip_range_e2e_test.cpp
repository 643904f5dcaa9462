// The clip range dialog with the real engine: dragging the thumbs renders the
// source's frames at the two times, and the range it stores makes the engine
// convert just that part of the source.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/controls/previews.h"
#include "frontend/controls/range_slider.h"
#include "frontend/controls/time_picker.h"
#include "frontend/dialogs/dlg_clip_range.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/engine_process.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/output_names.h"
#include "frontend/model/task.h"
#include "frontend/model/whole_file.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

// Frame n of a clip as rgb24.
std::vector<uint8_t> ClipFrame(const std::string& folder, const std::string& clip, int n) {
  const std::string out = folder + "/frame.rgb";
  fs::remove(out);
  if (!RunFfmpeg("-i " + ShellQuote(clip) + " -vf 'select=eq(n\\," + std::to_string(n) +
                 ")' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(out)))
    return {};
  return ReadFileBytes(out);
}

std::vector<uint8_t> BitmapRgb(const std::string& path) {
  QImage image(QString::fromStdString(path));
  if (image.isNull()) return {};
  image = image.convertToFormat(QImage::Format_RGB888);
  std::vector<uint8_t> rgb;
  for (int y = 0; y < image.height(); ++y)
    rgb.insert(rgb.end(), image.constScanLine(y), image.constScanLine(y) + image.width() * 3);
  return rgb;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / double(a.size());
}

// The second (at 25 frames a second) whose frame the picture is closest to.
int ClosestSecond(const std::string& folder, const std::string& clip, const std::vector<uint8_t>& picture,
                  double* difference) {
  int best = -1;
  *difference = 1e9;
  for (int second = 0; second < 10; ++second) {
    const double d = MeanDifference(picture, ClipFrame(folder, clip, second * 25));
    if (d < *difference) *difference = d, best = second;
  }
  return best;
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

// Drags a thumb so that its centre lands at x.
void DragThumb(CRangeSlider* s, const QRect& thumb, int x) {
  const QPoint from = Centre(thumb);
  Mouse(s, QEvent::MouseButtonPress, from);
  Mouse(s, QEvent::MouseMove, {(from.x() + x) / 2, from.y()});
  Mouse(s, QEvent::MouseMove, {x, from.y()});
  Mouse(s, QEvent::MouseButtonRelease, {x, from.y()});
}

class ClipRangeEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder(::testing::UnitTest::GetInstance()->current_test_info()->name(), {"vresize.so"});
    SetEngineProgram(folder_ + "/trivox_free");
    SetEngineOutputShown(false);
    // The engine renders the frames, given the time a slow (sanitizer, loaded) build needs.
    SetFrameRenderer([](WindowId window, FrameJob& job) {
      int64_t result = 0;
      return RunEngineBitmap(window, job, result, 120000);
    });
    data_ = folder_ + "/data";
    fs::create_directories(data_);
    fs::create_directories(folder_ + "/out");
    // Every frame a key frame: a cut lands on the frame asked for.
    clip_ = folder_ + "/testsrc.avi";
    ASSERT_TRUE(
        RunFfmpeg("-f lavfi -i testsrc=size=320x240:rate=25 -t 10 -c:v mpeg4 -q:v 2 -g 1 " + ShellQuote(clip_)));
    MediaInfoRecord record{};
    std::string error;
    ASSERT_TRUE(ProbeMedia(clip_, 0, record, kProbeTimeoutMs, &error)) << error;
    ASSERT_EQ(0, record.result);
    std::string message;
    task_ = MakeTask(clip_, record, Mp4Choice(), {}, message);
    ASSERT_TRUE(task_) << message;
    ASSERT_TRUE(task_->hasVideo);
    settings_.mode = 4;
    settings_.preframe = 2;
    settings_.presec = 20;
    settings_.dataFolder = data_;
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForFrameRenderWorkers(20000));
    SetFrameRenderer(nullptr);
    SetEngineProgram("");
  }
  std::string folder_, data_, clip_;
  std::unique_ptr<CTask> task_;
  ClipRangeSettings settings_;
};

TEST_F(ClipRangeEngine, TheThumbsShowTheFramesAtTheirTimesAndTheRangeConvertsToItsLength) {
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& d = static_cast<CDlgClipRange&>(dialog);
    ASSERT_EQ(10, d.SourceLength());
    CRangeSlider* s = d.Slider();
    const int t = s->ThumbLength(), track = s->TrackLength();
    ASSERT_GT(track, 100);
    // The left thumb to 2.5 s and the right one to 5.5 s of the 10.
    DragThumb(s, s->LeftThumbRect(), t / 2 + int(track * 0.25));
    DragThumb(s, s->RightThumbRect(), 3 * t / 2 + int(track * 0.55));
    EXPECT_EQ("00:00:02", d.Picker(IDC_CLIP_START)->text().toStdString());
    EXPECT_EQ("00:00:05", d.Picker(IDC_CLIP_END)->text().toStdString());
    EXPECT_EQ("00:00:03", d.Picker(IDC_CLIP_TIME)->text().toStdString());
    // Both renders done and shown.
    ASSERT_TRUE(WaitUntil([&] { return d.Gate()->InFlight() == 0; }, 40000));
    Pump(200);
    EXPECT_TRUE(d.Frame(1)->IsValid());
    EXPECT_TRUE(d.Frame(2)->IsValid());
    SaveArtifact(d.grab().toImage(), "clip_range_engine.png");
    d.OnCommand(IDOK, BN_CLICKED);
  });
  CDlgClipRange dlg(*task_, settings_);
  ASSERT_EQ(IDOK, dlg.DoModal());

  // The engine's frames at 2 s and at 5 s, and not the same picture.
  const std::vector<uint8_t> first = BitmapRgb(data_ + "/preview1.bmp");
  const std::vector<uint8_t> second = BitmapRgb(data_ + "/preview2.bmp");
  ASSERT_EQ(size_t(320 * 240 * 3), first.size());
  ASSERT_EQ(size_t(320 * 240 * 3), second.size());
  double difference = 0;
  EXPECT_EQ(2, ClosestSecond(folder_, clip_, first, &difference));
  EXPECT_LT(difference, 8.0);
  EXPECT_EQ(5, ClosestSecond(folder_, clip_, second, &difference));
  EXPECT_LT(difference, 8.0);
  EXPECT_GT(MeanDifference(first, second), 10.0);

  // The task keeps 2..5 and lasts 3 s; the engine converts just that.
  EXPECT_EQ(2, task_->sources[0]->clipStart);
  EXPECT_EQ(5, task_->sources[0]->clipEnd);
  EXPECT_EQ(3u, task_->duration);
  std::string message;
  ASSERT_TRUE(task_->BuildJobSources(message)) << message;
  EXPECT_EQ(2, task_->job.inputs.inputs[0].start);
  EXPECT_EQ(5, task_->job.inputs.inputs[0].stop);
  OutputNameList names;
  names.SetFolder(folder_ + "/out");
  ASSERT_TRUE(task_->MakeOutputPath(names, message)) << message;
  const std::vector<uint8_t> record = SerialiseRecord(task_->job);
  ASSERT_TRUE(WriteWholeFile(folder_ + "/default_0.dat", std::string(record.begin(), record.end())));
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  const std::string output = task_->job.output.path;
  int status = -1;
  const std::string duration =
      RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(output), &status, false);
  ASSERT_EQ(0, status) << duration;
  EXPECT_NEAR(3.0, std::atof(duration.c_str()), 0.05) << duration;
  // Its first frame is the source's frame at 2 s.
  const std::vector<uint8_t> opening = ClipFrame(folder_, output, 0);
  ASSERT_EQ(size_t(320 * 240 * 3), opening.size());
  EXPECT_EQ(2, ClosestSecond(folder_, clip_, opening, &difference));
}

}  // namespace
