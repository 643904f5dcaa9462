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
#include "tests/frontend/controls/watermark_check.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

TEST(WatermarkPlacement, ThePreviewPutsThePictureWhereTheEngineDoes) {
  using namespace watermark_check;
  const std::string folder = MakeConvertFolder("fe_watermark_placement");
  std::string source, markPath;
  ASSERT_TRUE(MakeSourceAndMark(folder, &source, &markPath));

  struct Case {
    int align, x, y;
  };
  const Case cases[] = {{3, 0, 0}, {5, 0, 0}, {0, -10, 20}};
  for (const Case& c : cases) {
    const std::string name = "align" + std::to_string(c.align);
    SCOPED_TRACE(name);
    const std::string params = "\"FILENAME\"=\"" + markPath + "\",\"ALIGN\"=" + std::to_string(c.align) +
                               ",\"POSX\"=" + std::to_string(c.x) + ",\"POSY\"=" + std::to_string(c.y);
    std::string error;
    const std::vector<uint8_t> luma = EngineFrameLuma(folder, name, source, params, &error);
    ASSERT_FALSE(luma.empty()) << error;

    CWatermarkPreviewCtrl view;
    view.resize(400, 300);
    ASSERT_TRUE(view.LoadPicture(markPath, nullptr, nullptr));
    QPoint position;
    ASSERT_TRUE(view.PlaceByAlign(kWidth, kHeight, c.align, c.x, c.y, &position));
    const QRect frame = view.FrameRect();
    ASSERT_TRUE(view.rect().contains(frame)) << frame.x() << "," << frame.y();
    const QImage shot = view.grab().toImage();
    SaveArtifact(shot, name + "_preview.png");
    SaveArtifact(QImage(luma.data(), kWidth, kHeight, kWidth, QImage::Format_Grayscale8).copy(), name + "_engine.png");

    const Comparison seen = Compare(luma, shot, frame);
    EXPECT_GT(seen.picture, 2000) << "the watermark shows in the engine's frame";
    EXPECT_EQ(seen.differ, 0) << "first difference at frame pixel " << seen.first;
  }
}

class EngineFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder("fe_engine_frame");
    const std::string clip = folder_ + "/testsrc.avi";
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=720x576:rate=25 -t 1 -c:v mpeg4 -q:v 2 " + ShellQuote(clip)));
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
