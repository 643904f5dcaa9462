// The previews against the engine: the watermark preview places the picture
// where a conversion with "VWATERMARK" puts it, and the frame preview (and the
// gallery's frame-preview entry) shows a frame trivox_free -b rendered.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/controls/previews.h"
#include "frontend/ui/draw_helpers.h"
#include "qt_test_util.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

bool Ffmpeg(const std::string& args) {
  int status = -1;
  RunShell("ffmpeg -v error -y " + args, &status);
  return status == 0;
}

// What a pixel shows: the watermark's white or dark grey, or neither.
enum class Seen { None, White, Dark, Other };

Seen OfLuma(int v) {
  if (v > 180) return Seen::White;
  if (v > 30 && v < 110) return Seen::Dark;
  if (v < 30) return Seen::None;  // the black source
  return Seen::Other;
}

Seen OfPreview(const QColor& c) {
  if (c == QColor(255, 255, 255)) return Seen::White;
  if (c == QColor(64, 64, 64)) return Seen::Dark;
  if (c == QColor(128, 128, 128)) return Seen::None;  // the preview's field
  return Seen::Other;
}

TEST(WatermarkPlacement, ThePreviewPutsThePictureWhereTheEngineDoes) {
  const std::string folder = MakeConvertFolder("fe_watermark_placement");
  const int W = 160, H = 120;
  const std::string source = folder + "/black.mpg";
  ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=black:s=160x120:r=25:d=0.2 -c:v mpeg2video -q:v 2 " + ShellQuote(source)));
  // Wider than the frame, so that the placement cuts it; dark lines every 7
  // columns and 5 rows show which part of it is where.
  QImage mark(170, 30, QImage::Format_RGB32);
  for (int y = 0; y < mark.height(); ++y)
    for (int x = 0; x < mark.width(); ++x)
      mark.setPixelColor(x, y, x % 7 == 0 || y % 5 == 0 ? QColor(64, 64, 64) : QColor(255, 255, 255));
  const std::string markPath = folder + "/mark.png";
  ASSERT_TRUE(mark.save(QString::fromStdString(markPath), "PNG"));

  struct Case {
    int align, x, y;
  };
  const Case cases[] = {{3, 0, 0}, {5, 0, 0}, {0, -10, 20}};
  for (const Case& c : cases) {
    const std::string name = "align" + std::to_string(c.align);
    SCOPED_TRACE(name);
    const std::string output = folder + "/" + name + ".avi";
    const std::string filter = "VWATERMARK=\"FILENAME\"=\"" + markPath + "\",\"ALIGN\"=" + std::to_string(c.align) +
                               ",\"POSX\"=" + std::to_string(c.x) + ",\"POSY\"=" + std::to_string(c.y);
    ASSERT_EQ("", WriteConvertJob(
                      folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec", "raw",
                               "--raw-video", "YV12", "--vtag", "YV12", "--writer", "[FFM]AVI", "--vfilter", filter}));
    const EngineRun run = RunEngine(folder, {"-m", "test"});
    ASSERT_EQ(0u, JobResult(run)) << run.output;
    const std::string grey = folder + "/" + name + ".gray";
    ASSERT_TRUE(Ffmpeg("-i " + ShellQuote(output) + " -vf 'select=eq(n\\,2)' -frames:v 1 -f rawvideo -pix_fmt gray " +
                       ShellQuote(grey)));
    const std::vector<uint8_t> luma = ReadFileBytes(grey);
    ASSERT_EQ(luma.size(), size_t(W * H));

    CWatermarkPreviewCtrl view;
    view.resize(400, 300);
    ASSERT_TRUE(view.LoadPicture(markPath, nullptr, nullptr));
    QPoint position;
    ASSERT_TRUE(view.PlaceByAlign(W, H, c.align, c.x, c.y, &position));
    const QRect frame = view.FrameRect();
    ASSERT_TRUE(view.rect().contains(frame)) << frame.x() << "," << frame.y();
    const QImage shot = view.grab().toImage();
    SaveArtifact(shot, name + "_preview.png");
    SaveArtifact(QImage(luma.data(), W, H, W, QImage::Format_Grayscale8).copy(), name + "_engine.png");

    // Inside the frame's outline the two must agree pixel for pixel.
    int picture = 0, differ = 0;
    std::string first;
    for (int y = 1; y < H - 1; ++y) {
      for (int x = 1; x < W - 1; ++x) {
        const Seen engine = OfLuma(luma[size_t(y * W + x)]);
        const Seen preview = OfPreview(shot.pixelColor(frame.topLeft() + QPoint(x, y)));
        picture += engine != Seen::None;
        if (engine != preview || engine == Seen::Other) {
          if (differ++ == 0) first = std::to_string(x) + "," + std::to_string(y);
        }
      }
    }
    EXPECT_GT(picture, 2000) << "the watermark shows in the engine's frame";
    EXPECT_EQ(differ, 0) << "first difference at frame pixel " << first;
  }
}

class EngineFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder("fe_engine_frame");
    const std::string clip = folder_ + "/testsrc.avi";
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc=size=720x576:rate=25 -t 1 -c:v mpeg4 -q:v 2 " + ShellQuote(clip)));
    bmp_ = folder_ + "/preview.bmp";
    const CommandRun job = RunStagedTool("trivox_job", {"write", "frame", folder_ + "/default_5.dat", "--source-path",
                                                        clip, "--stream", "0", "--frame-count", "0", "--output", bmp_});
    ASSERT_EQ(job.status, 0) << job.output;
    const EngineRun run = RunEngine(folder_, {"-b", "test"});
    ASSERT_EQ(JobResult(run), 0u) << run.output;
    ASSERT_TRUE(fs::is_regular_file(bmp_));
  }
  std::string folder_, bmp_;
};

TEST_F(EngineFrame, TheGalleryShowsTheFrameWithItsBands) {
  const std::string screenshot = std::string(VELMO_ARTIFACT_DIR) + "/gallery_frame_preview.png";
  fs::remove(screenshot);
  const CommandRun gallery = RunStagedTool(
      "velmo-gallery", {"frame-preview", "--frame", bmp_, "--bands", "8,8,0,0", "--screenshot", screenshot});
  ASSERT_EQ(gallery.status, 0) << gallery.output;
  EXPECT_NE(gallery.output.find("valid=1 shown=1,2,360,288\n"), std::string::npos) << gallery.output;
  const QImage shot(QString::fromStdString(screenshot));
  ASSERT_EQ(shot.size(), QSize(362, 292));
  // Bands of 8 source pixels are 4 shown pixels: outlines at columns 1 and 4,
  // 357 and 360; the picture between them.
  for (int y = 2; y < 290; ++y) {
    for (int x : {1, 4, 357, 360}) ASSERT_EQ(shot.pixelColor(x, y), QColor(Qt::black)) << x << "," << y;
  }
  EXPECT_GT(CountOtherThan(shot, QRect(5, 2, 352, 288), QColor(0x7A, 0x7A, 0x7A), 0), 300 * 280)
      << "the picture fills the rest";
  EXPECT_EQ(shot.pixelColor(100, 1), QColor(0x7A, 0x7A, 0x7A)) << "above the picture";

  // The same frame in process: the bands' hatch lies on the picture only on the pattern.
  FrameGeometry g;
  g.sourceWidth = g.outputWidth = 720;
  g.sourceHeight = g.outputHeight = 576;
  CFramePreviewCtrl view;
  view.resize(362, 292);
  ASSERT_TRUE(view.Open(bmp_, &g));
  const QImage plain = view.grab().toImage();
  int inverted = 0;
  for (int y = 3; y < 289; ++y) {
    for (int x : {2, 3}) {
      const QColor a = plain.pixelColor(x, y), b = shot.pixelColor(x, y);
      const QColor notXor(255 - a.red(), 255 - a.green(), a.blue());
      ASSERT_EQ(b, OnDiagCrossHatch(x, y) ? notXor : a) << x << "," << y;
      inverted += OnDiagCrossHatch(x, y);
    }
  }
  EXPECT_GT(inverted, 50);
}

TEST_F(EngineFrame, TheGalleryShowsOnlyTheBackgroundForAFrameThatDoesNotFit) {
  const CommandRun mismatch = RunStagedTool("velmo-gallery", {"frame-preview", "--frame", bmp_, "--source", "720x480"});
  EXPECT_EQ(mismatch.status, 1) << mismatch.output;
  EXPECT_NE(mismatch.output.find("valid=0 shown=0,0,0,0"), std::string::npos) << mismatch.output;
  const CommandRun missing = RunStagedTool("velmo-gallery", {"frame-preview", "--frame", folder_ + "/none.bmp"});
  EXPECT_EQ(missing.status, 1) << missing.output;
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"frame-preview"},
                                              {"frame-preview", "--frame", bmp_, "--bands", "8,8"},
                                              {"frame-preview", "--frame", bmp_, "--size", "0x10"},
                                              {"frame-preview", "--wat", "1"},
                                              {"no-such-entry"}}) {
    const CommandRun run = RunStagedTool("velmo-gallery", bad);
    EXPECT_EQ(run.status, 2) << bad.back() << ": " << run.output;
  }
  const CommandRun help = RunStagedTool("velmo-gallery", {"frame-preview", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--bands L,R,T,B"), std::string::npos);
}

}  // namespace
