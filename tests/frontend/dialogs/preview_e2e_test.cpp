// The preview panel with the real engine, offscreen and with SDL's dummy audio
// driver: a 3-s clip plays in the video area and its picture changes, a seek
// to 2 s shows the clip's frame of that time, a snapshot is written, stop
// ends the engine. A screenshot taken mid-play is kept. A watermark shows in the
// panel as the converted file has it, at the panel's scale.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>

#include "frontend/dialogs/dlg_preview.h"
#include "frontend/model/engine_process.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/preview_play.h"
#include "frontend/model/task.h"
#include "frontend/model/watermark_params.h"
#include "frontend/ui/resources.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

// Under ThreadSanitizer FFmpeg's frame-threaded MPEG-4 decoding runs far below
// real time; MJPEG decodes on the calling thread and keeps the pace.
#if defined(__SANITIZE_THREAD__)
constexpr const char* kVideoCodec = "-c:v mjpeg -q:v 2";
#else
constexpr const char* kVideoCodec = "-c:v mpeg4 -q:v 2 -g 5";
#endif

class SnapshotsIn final : public ISnapshotFolder {
 public:
  std::string folder;
  std::string Read() override { return folder; }
  bool Write(const std::string& f) override {
    folder = f;
    return true;
  }
};

double MeanDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.isNull()) return 1e9;
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
    }
  return sum / (3.0 * a.width() * a.height());
}

class PreviewEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder(
        std::string("preview_") + ::testing::UnitTest::GetInstance()->current_test_info()->name(), {"vresize.so"});
    SetEngineProgram(folder_ + "/trivox_free");
    SetEngineOutputShown(false);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SetResourceFolder(std::string(TRIVOX_STAGE_DIR) + "/resource");
    snapshots_.folder = folder_ + "/snapshots";
    clip_ = folder_ + "/clip.avi";
    ASSERT_TRUE(
        RunFfmpeg("-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
                  "-t 3 " +
                  std::string(kVideoCodec) + " -c:a pcm_s16le " + ShellQuote(clip_)));
    MediaInfoRecord record{};
    std::string error;
    ASSERT_TRUE(ProbeMedia(clip_, 0, record, kProbeTimeoutMs, &error)) << error;
    task_ = MakeTask(clip_, record, Mp4Choice(), {}, error);
    ASSERT_TRUE(task_) << error;
  }
  void TearDown() override { SetEngineProgram(""); }

  // The clip's frame at seconds, scaled as the panel draws it.
  QImage ClipFrame(double seconds, QSize size) {
    const std::string out = folder_ + "/frame.png";
    fs::remove(out);
    char at[32];
    std::snprintf(at, sizeof at, "%.3f", seconds);
    if (!RunFfmpeg("-ss " + std::string(at) + " -i " + ShellQuote(clip_) + " -frames:v 1 -s " +
                   std::to_string(size.width()) + "x" + std::to_string(size.height()) + " " + ShellQuote(out)))
      return {};
    return QImage(QString::fromStdString(out)).convertToFormat(QImage::Format_RGB32);
  }

  std::string folder_, clip_;
  SnapshotsIn snapshots_;
  std::unique_ptr<CTask> task_;
};

TEST_F(PreviewEngine, PlaysSeeksSnapshotsAndStops) {
  CDlgPreview dlg(nullptr, nullptr, &snapshots_);
  dlg.Create();
  ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
  dlg.SetTask(task_.get());
  dlg.OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  ASSERT_NE(dlg.Session(), nullptr) << dlg.LastError();
  CPreviewVideo* video = dlg.Video();

  // Pictures come and change.
  ASSERT_TRUE(WaitUntil([&] { return video->FramesTaken() > 0; }, 10000));
  const QImage first = video->Frame();
  const int64_t firstTime = video->FrameTime();
  ASSERT_TRUE(WaitUntil([&] { return video->FrameTime() >= firstTime + 4000000; }, 5000));
  const QImage later = video->Frame();
  EXPECT_GT(MeanDifference(first, later), 1.0);
  SaveArtifact(dlg.grab().toImage(), "playing.png");
  EXPECT_FALSE(dlg.ItemText(IDC_PREVIEW_TIME).isEmpty());
  EXPECT_TRUE(dlg.ItemText(IDC_PREVIEW_TIME).endsWith("/00:00:03")) << dlg.ItemText(IDC_PREVIEW_TIME).toStdString();

  // A snapshot while playing: the frame's size (square pixels).
  dlg.OnCommand(IDC_PREVIEW_SNAPSHOT, BN_CLICKED);
  ASSERT_FALSE(dlg.LastSnapshot().empty());
  EXPECT_EQ(QImage(QString::fromStdString(dlg.LastSnapshot())).size(), QSize(320, 240));

  // Seek to 2 s (bar 200 of 300 over 3 s), from before 1.5 s.
  ASSERT_LT(video->FrameTime(), 15000000);
  dlg.PositionBar()->SetPos(200);
  const uint32_t before = video->FramesTaken();
  SendMessage(dlg.Handle(), WM_BAR_POSITION_DONE, IDC_PREVIEW_POSITION, 200);
  ASSERT_TRUE(WaitUntil([&] { return video->FramesTaken() > before && video->FrameTime() >= 19000000; }, 5000));
  const int64_t shownAt = video->FrameTime();
  const QImage shown = video->Frame();
  EXPECT_LE(shownAt, 24000000) << "the first frame after the seek came late";
  const QImage expected = ClipFrame(shownAt / 1e7, shown.size());
  const QImage start = ClipFrame(0.5, shown.size());
  const double toExpected = MeanDifference(shown, expected);
  EXPECT_LT(toExpected, 12.0);
  EXPECT_LT(toExpected, MeanDifference(shown, start));
  SaveArtifact(shown, "after_seek.png");
  SaveArtifact(expected, "clip_frame.png");

  dlg.OnCommand(IDC_PREVIEW_STOP, BN_CLICKED);
  EXPECT_EQ(dlg.Session(), nullptr);
  EXPECT_EQ(dlg.PositionBar()->GetPos(), 0);
  dlg.DestroyWindow();
}

TEST_F(PreviewEngine, TheClipPlaysToItsEndAndThePanelGoesIdle) {
  CDlgPreview dlg(nullptr, nullptr, &snapshots_);
  dlg.Create();
  dlg.SetTask(task_.get());
  dlg.OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  ASSERT_NE(dlg.Session(), nullptr) << dlg.LastError();
  ASSERT_TRUE(WaitUntil([&] { return dlg.Session() == nullptr; }, 20000));
  EXPECT_GT(dlg.Video()->FramesTaken(), 30u);
  EXPECT_TRUE(dlg.ItemText(IDC_PREVIEW_TIME).isEmpty());
  dlg.DestroyWindow();
}

// Where a picture is bright: the bounding box of its pixels above mid grey.
QRect BrightBox(const QImage& image) {
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) > 128) box |= QRect(x, y, 1, 1);
  return box;
}

TEST(PreviewWatermark, ThePanelShowsTheWatermarkAsTheOutputHasItAtThePanelsScale) {
  const std::string folder = MakeConvertFolder("preview_watermark", {"vresize.so"});
  SetEngineProgram(folder + "/trivox_free");
  SetEngineOutputShown(false);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  SetResourceFolder(std::string(TRIVOX_STAGE_DIR) + "/resource");
  // A still black 640 x 480 source, larger than the panel, and a white 160 x 60 mark.
  const std::string clip = folder + "/black.avi", mark = folder + "/mark.png";
  ASSERT_TRUE(
      RunFfmpeg("-f lavfi -i color=c=black:s=640x480:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 3 " +
                std::string(kVideoCodec) + " -c:a pcm_s16le " + ShellQuote(clip)));
  QImage white(160, 60, QImage::Format_RGB32);
  white.fill(Qt::white);
  ASSERT_TRUE(white.save(QString::fromStdString(mark), "PNG"));
  WatermarkParams wm;
  wm.fileName = mark;
  const std::string params = WatermarkParamText(wm);

  MediaInfoRecord record{};
  std::string error;
  ASSERT_TRUE(ProbeMedia(clip, 0, record, kProbeTimeoutMs, &error)) << error;
  std::unique_ptr<CTask> task = MakeTask(clip, record, Mp4Choice(), {}, error);
  ASSERT_TRUE(task) << error;
  ASSERT_NE(task->AddVideoFilter("VWATERMARK", params, kFilterDeletable), nullptr);
  ASSERT_EQ(task->outputVideo.width, 640);

  // The panel's picture.
  SnapshotsIn snapshots;
  snapshots.folder = folder + "/snapshots";
  CDlgPreview dlg(nullptr, nullptr, &snapshots);
  dlg.Create();
  dlg.SetTask(task.get());
  dlg.OnCommand(IDC_PREVIEW_PLAY, BN_CLICKED);
  ASSERT_NE(dlg.Session(), nullptr) << dlg.LastError();
  CPreviewVideo* video = dlg.Video();
  ASSERT_TRUE(WaitUntil([&] { return video->FramesTaken() > 2; }, 10000));
  const QImage shown = video->Frame().convertToFormat(QImage::Format_RGB32);
  dlg.OnCommand(IDC_PREVIEW_STOP, BN_CLICKED);
  dlg.DestroyWindow();
  SetEngineProgram("");
  ASSERT_FALSE(shown.isNull());
  ASSERT_LT(shown.width(), 640);

  // The same source and mark converted, its frame scaled to the panel's size.
  const std::string output = folder + "/converted.avi", scaled = folder + "/converted.png";
  error = WriteConvertJob(
      folder, {"--source", clip, "--output", output, "--acodec", "NONE", "--vcodec", "raw", "--raw-video", "YV12",
               "--vtag", "YV12", "--writer", "[FFM]AVI", "--vfilter", "VWATERMARK=" + params});
  ASSERT_TRUE(error.empty()) << error;
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(JobResult(run), 0u) << run.output;
  ASSERT_TRUE(RunFfmpeg("-i " + ShellQuote(output) + " -vf 'select=eq(n\\,2),scale=" + std::to_string(shown.width()) +
                        ":" + std::to_string(shown.height()) + "' -frames:v 1 " + ShellQuote(scaled)));
  const QImage expected = QImage(QString::fromStdString(scaled)).convertToFormat(QImage::Format_RGB32);
  SaveArtifact(shown, "watermark_panel.png");
  SaveArtifact(expected, "watermark_converted.png");

  const QRect seen = BrightBox(shown), wanted = BrightBox(expected);
  ASSERT_FALSE(wanted.isEmpty());
  EXPECT_LE(std::abs(seen.left() - wanted.left()), 2) << seen.left() << " vs " << wanted.left();
  EXPECT_LE(std::abs(seen.top() - wanted.top()), 2) << seen.top() << " vs " << wanted.top();
  EXPECT_LE(std::abs(seen.right() - wanted.right()), 2) << seen.right() << " vs " << wanted.right();
  EXPECT_LE(std::abs(seen.bottom() - wanted.bottom()), 2) << seen.bottom() << " vs " << wanted.bottom();
  EXPECT_LT(MeanDifference(shown, expected), 8.0);
}

}  // namespace
