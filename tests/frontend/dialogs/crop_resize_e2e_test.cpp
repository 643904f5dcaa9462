// The crop, resize and pad dialog with the real engine: its preview is the
// frame the engine renders at the chosen time, and the "VRESIZE" text it
// writes gives the engine the size, bands and pads the dialog showed.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "frontend/controls/page_tab.h"
#include "frontend/controls/previews.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/frame_render_worker.h"
#include "frontend/model/engine_process.h"
#include "frontend/model/engine_session.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

// One decoded frame as rgb24 (the first at or after seconds, or frame n).
std::vector<uint8_t> Frame(const std::string& folder, const std::string& clip, const std::string& select) {
  const std::string out = folder + "/frame.rgb";
  fs::remove(out);
  if (!RunFfmpeg("-i " + ShellQuote(clip) + " -vf " + ShellQuote(select) + " -frames:v 1 -f rawvideo -pix_fmt rgb24 " +
                 ShellQuote(out)))
    return {};
  return ReadFileBytes(out);
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  return sum / double(a.size());
}

QColor PixelOf(const std::vector<uint8_t>& rgb, int width, int x, int y) {
  const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
  return QColor(rgb[at], rgb[at + 1], rgb[at + 2]);
}

class CropResizeEngine : public ::testing::Test {
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
  }
  void TearDown() override {
    EXPECT_TRUE(WaitForFrameRenderWorkers(15000));
    SetFrameRenderer(nullptr);
    SetEngineProgram("");
  }
  std::string folder_, data_;
};

TEST_F(CropResizeEngine, ThePreviewIsTheEnginesFrameAtTheChosenTime) {
  const std::string clip = folder_ + "/testsrc.avi";
  ASSERT_TRUE(RunFfmpeg("-f lavfi -i testsrc=size=320x240:rate=25 -t 4 -c:v mpeg4 -q:v 2 -g 1 " + ShellQuote(clip)));
  auto job = std::make_unique<FrameJob>();
  ASSERT_TRUE(SetJobText(job->sourcePath, clip));
  ASSERT_TRUE(SetJobText(job->outputPath, data_ + "/preview.bmp"));
  job->stream = 0;
  job->startSeconds = 2;

  CDlgCropResize d;
  ASSERT_EQ(S_OK, d.SetSource(320, 240, 1.0, 1.0, *job, data_));
  const std::string text = "\"SCALEMODE\"=5";
  ASSERT_EQ(S_OK, d.SetParams(text.c_str(), uint32_t(text.size() + 1)));
  bool frameShown = false;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    dlg.Tabs()->SetCurSel(0);
    dlg.Tabs()->SelectPage(0);
    CFramePreviewCtrl* preview = dlg.CropPage()->Preview();
    const auto showsFrame = [&] {
      const QImage shot = preview->grab().toImage();
      return preview->IsValid() && CountOtherThan(shot, preview->ShownRect(), QColor(Qt::black), 24) >
                                       preview->ShownRect().width() * preview->ShownRect().height() / 2;
    };
    EXPECT_FALSE(showsFrame()) << "the blank frame first";
    frameShown = WaitUntil(showsFrame);
    SaveArtifact(dlg.grab().toImage(), "engine_frame.png");
    dlg.OnCommand(IDCANCEL, BN_CLICKED);
  });
  EXPECT_EQ(S_FALSE, d.Edit(nullptr));
  EXPECT_TRUE(frameShown) << "the engine's frame never showed";

  // The frame shown is the clip's frame at 2 s, not its neighbours'.
  QImage shown(QString::fromStdString(data_ + "/preview.bmp"));
  ASSERT_EQ(QSize(320, 240), shown.size());
  shown = shown.convertToFormat(QImage::Format_RGB888);
  std::vector<uint8_t> rgb;
  for (int y = 0; y < 240; ++y) rgb.insert(rgb.end(), shown.constScanLine(y), shown.constScanLine(y) + 320 * 3);
  double best = 1e9;
  int bestSecond = -1;
  for (int second : {0, 1, 2, 3}) {
    const double diff = MeanDifference(rgb, Frame(folder_, clip, "select=eq(n\\," + std::to_string(second * 25) + ")"));
    if (diff < best) best = diff, bestSecond = second;
  }
  EXPECT_EQ(2, bestSecond);
  EXPECT_LT(best, 8.0);
}

TEST_F(CropResizeEngine, TheTextItWritesGivesTheEngineTheSizeBandsAndPadsShown) {
  SetFrameRenderer([](WindowId, FrameJob&) { return false; });
  // White with a red 16-pixel column on the left.
  const std::string source = folder_ + "/source.mpg";
  ASSERT_TRUE(
      RunFfmpeg("-f lavfi -i 'color=c=white:s=320x240:r=25:d=0.4,drawbox=x=0:y=0:w=16:h=240:color=red:t=fill,"
                "format=yuv420p' -c:v mpeg2video -q:v 2 " +
                ShellQuote(source)));
  auto job = std::make_unique<FrameJob>();
  CDlgCropResize d;
  ASSERT_EQ(S_OK, d.SetSource(320, 240, 1.0, 1.0, *job, data_));
  const std::string text = "\"WIDTH\"=0,\"HEIGHT\"=0,\"SCALEMODE\"=5";
  ASSERT_EQ(S_OK, d.SetParams(text.c_str(), uint32_t(text.size() + 1)));
  SetPadColourChooser([](QWidget*, uint32_t& colour) {
    colour = 0x00FF0000;  // blue
    return true;
  });
  QString width, height;
  ModalScript script;
  script.Then([&](UiDialog& dialog) {
    auto& dlg = static_cast<CDlgCropResize&>(dialog);
    dlg.CropPage()->ApplyBand(FrameSide::kLeft, 17);
    CDlgResizePadPage* pad = dlg.PadPage();
    pad->ApplyPad(FrameSide::kLeft, 32);
    pad->ApplyPad(FrameSide::kTop, 20);
    pad->OnCommand(IDC_PAD_COLOR, BN_CLICKED);
    width = pad->ItemText(IDC_PICTURE_WIDTH);
    height = pad->ItemText(IDC_PICTURE_HEIGHT);
    dlg.OnCommand(IDOK, BN_CLICKED);
  });
  ASSERT_EQ(S_OK, d.Edit(nullptr));
  SetPadColourChooser(nullptr);
  EXPECT_EQ("288", width);
  EXPECT_EQ("220", height);
  std::string bytes;
  ASSERT_EQ(S_OK, ReadSetupParams(d, bytes));
  const std::string resize(bytes.c_str());
  EXPECT_NE(std::string::npos, resize.find("\"LEFTBAND\"=16")) << resize;

  const std::string output = folder_ + "/out.avi";
  ASSERT_EQ("", WriteConvertJob(folder_, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec", "raw",
                                          "--raw-video", "YV12", "--vtag", "YV12", "--writer", "[FFM]AVI", "--vfilter",
                                          "VRESIZE=" + resize, "--filter-flags", "5"}));
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  int status = -1;
  const std::string probe = RunShell(
      "ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 " + ShellQuote(output),
      &status, false);
  ASSERT_EQ(0, status);
  EXPECT_EQ("320,240\n", probe);

  const std::vector<uint8_t> rgb = Frame(folder_, output, "select=eq(n\\,2)");
  ASSERT_EQ(size_t(320 * 240 * 3), rgb.size());
  const QColor blue(0, 0, 255), white(255, 255, 255);
  struct Point {
    int x, y;
    QColor want;
    const char* what;
  };
  const Point points[] = {
      {10, 120, blue, "left pad"},
      {28, 200, blue, "left pad's last columns"},
      {160, 8, blue, "top pad"},
      {160, 17, blue, "top pad's last rows"},
      {36, 120, white, "the red column cropped away"},
      {316, 236, white, "no right or bottom pad"},
      {200, 24, white, "picture's first rows"},
  };
  for (const Point& p : points)
    EXPECT_TRUE(Near(PixelOf(rgb, 320, p.x, p.y), p.want, 40))
        << p.what << " at " << p.x << "," << p.y << ": " << PixelOf(rgb, 320, p.x, p.y).name().toStdString();
  int reddish = 0;
  for (int y = 20; y < 240; ++y)
    for (int x = 32; x < 320; ++x) {
      const QColor c = PixelOf(rgb, 320, x, y);
      reddish += c.red() > 160 && c.green() < 120;
    }
  EXPECT_EQ(0, reddish);
  QImage picture(rgb.data(), 320, 240, 320 * 3, QImage::Format_RGB888);
  SaveArtifact(picture.copy(), "engine_output.png");
}

}  // namespace
