// The crop, resize and pad rules: bands and pads settled on a frame geometry,
// keep-ratio, the twelve-key "VRESIZE" text, the solid placeholder bitmap and
// the preview frame job of a task.
#include "frontend/model/crop_resize.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "frontend/model/task.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/file_bytes.h"

namespace fs = std::filesystem;

namespace {

FrameGeometry Geometry(int32_t sw = 720, int32_t sh = 576, int32_t ow = 720, int32_t oh = 576) {
  FrameGeometry g;
  g.sourceWidth = sw;
  g.sourceHeight = sh;
  g.outputWidth = ow;
  g.outputHeight = oh;
  return g;
}

struct Pads {
  int32_t left, right, top, bottom;
  bool operator==(const Pads&) const = default;
};
Pads PadsOf(const FrameGeometry& g) {
  return {g.layout.leftPad, g.layout.rightPad, g.layout.topPad, g.layout.bottomPad};
}
std::ostream& operator<<(std::ostream& os, const Pads& p) {
  return os << p.left << "," << p.right << "," << p.top << "," << p.bottom;
}

TEST(CropBand, SettlesEvenInsideTheSourceAndNeverNegative) {
  struct Case {
    const char* what;
    FrameSide side;
    int32_t opposite, value;
    bool even;
    int32_t want;
  };
  const Case cases[] = {
      {"odd lowered", FrameSide::kLeft, 0, 9, true, 8},
      {"odd kept without even", FrameSide::kLeft, 0, 9, false, 9},
      {"negative", FrameSide::kRight, 0, -4, true, 0},
      {"leaves 2 pixels", FrameSide::kLeft, 10, 719, true, 708},
      {"leaves 2 pixels down", FrameSide::kTop, 0, 576, true, 574},
      {"bottom beside top", FrameSide::kBottom, 100, 500, false, 474},
      {"opposite band takes all", FrameSide::kLeft, 719, 4, true, 0},
      {"huge", FrameSide::kBottom, 0, INT32_MAX, true, 574},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameGeometry g = Geometry();
    ScaleLayout& l = g.layout;
    int32_t* band[] = {&l.leftBand, &l.rightBand, &l.topBand, &l.bottomBand};
    int32_t* opposite[] = {&l.rightBand, &l.leftBand, &l.bottomBand, &l.topBand};
    *opposite[int(c.side)] = c.opposite;
    EXPECT_EQ(c.want, SetCropBand(g, c.side, c.value, c.even));
    EXPECT_EQ(c.want, *band[int(c.side)]);
    EXPECT_EQ(c.opposite, *opposite[int(c.side)]);
  }
}

TEST(PadRules, APadSettlesAndTheOtherAxisFollowsWithKeepRatio) {
  struct Case {
    const char* what;
    FrameGeometry g;
    FrameSide side;
    int32_t value;
    bool keep;
    Pads start, want;
    int axes;
  };
  FrameGeometry wide = Geometry(720, 288);  // a wide source in a 720x576 frame
  FrameGeometry cropped = Geometry();       // cropped to nothing across
  cropped.layout.leftBand = cropped.layout.rightBand = 360;
  const Case cases[] = {
      {"top, free", Geometry(), FrameSide::kTop, 101, false, {0, 0, 0, 0}, {0, 0, 100, 0}, kAxisDown},
      {"negative", Geometry(), FrameSide::kLeft, -6, false, {10, 10, 0, 0}, {0, 10, 0, 0}, kAxisAcross},
      {"leaves 2 pixels", Geometry(), FrameSide::kRight, 800, false, {100, 0, 0, 0}, {100, 618, 0, 0}, kAxisAcross},
      {"opposite pad takes all", Geometry(), FrameSide::kTop, 10, false, {0, 0, 0, 575}, {0, 0, 0, 575}, kAxisDown},
      // 720x476 picture: width 720 * 476 / 576 = 595 -> 596, centred.
      {"top, keep ratio", Geometry(), FrameSide::kTop, 100, true, {0, 0, 0, 0}, {62, 62, 100, 0}, kAxesBoth},
      // 620 wide: height 576 * 620 / 720 = 496, centred.
      {"left, keep ratio", Geometry(), FrameSide::kLeft, 100, true, {0, 0, 0, 0}, {100, 0, 40, 40}, kAxesBoth},
      // The full height would need 1440 columns: the picture fills the width and the top pad gives way.
      {"too wide gives way", wide, FrameSide::kTop, 0, true, {8, 8, 0, 0}, {0, 0, 288, 0}, kAxesBoth},
      {"nothing to keep", cropped, FrameSide::kTop, 100, true, {4, 4, 0, 0}, {4, 4, 100, 0}, kAxisDown},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameGeometry g = c.g;
    g.layout.leftPad = c.start.left;
    g.layout.rightPad = c.start.right;
    g.layout.topPad = c.start.top;
    g.layout.bottomPad = c.start.bottom;
    EXPECT_EQ(c.axes, SetPad(g, c.side, c.value, c.keep));
    EXPECT_EQ(c.want, PadsOf(g));
  }
}

TEST(PadRules, PictureSizeWithinTwoAndTheFrameMadeEven) {
  struct Case {
    const char* what;
    bool height, keep;
    int32_t value;
    Pads start, want;
  };
  const Case cases[] = {
      {"below 2", false, false, 1, {100, 20, 0, 0}, {100, 618, 0, 0}},
      {"above the frame", false, false, 800, {100, 20, 0, 0}, {0, 0, 0, 0}},
      {"odd", false, false, 601, {100, 20, 0, 0}, {100, 20, 0, 0}},
      {"room below the left pad", false, false, 650, {100, 20, 0, 0}, {70, 0, 0, 0}},
      {"height", true, false, 477, {0, 0, 30, 30}, {0, 0, 30, 70}},
      // 360 wide keeps 720x576: 288 high, centred.
      {"width, keep ratio", false, true, 360, {0, 0, 0, 0}, {0, 360, 144, 144}},
      {"height, keep ratio", true, true, 288, {0, 0, 0, 0}, {180, 180, 0, 288}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FrameGeometry g = Geometry();
    g.layout.leftPad = c.start.left;
    g.layout.rightPad = c.start.right;
    g.layout.topPad = c.start.top;
    g.layout.bottomPad = c.start.bottom;
    const int axes = c.height ? SetPictureHeight(g, c.value, c.keep) : SetPictureWidth(g, c.value, c.keep);
    EXPECT_EQ(c.keep ? kAxesBoth : (c.height ? kAxisDown : kAxisAcross), axes);
    EXPECT_EQ(c.want, PadsOf(g));
    EXPECT_EQ(0, PictureWidth(g) % 2);
    EXPECT_EQ(0, PictureHeight(g) % 2);
  }
  // A source cropped to nothing has no shape to keep: only the width changes.
  FrameGeometry g = Geometry();
  g.layout.topBand = 576;
  EXPECT_EQ(kAxisAcross, SetPictureWidth(g, 360, true));
  EXPECT_EQ((Pads{0, 360, 0, 0}), PadsOf(g));
}

TEST(PadRules, SliderSplitsThePadSumEvenly) {
  struct Case {
    bool across;
    int32_t position;
    Pads want;
  };
  const Case cases[] = {{true, 41, {40, 40, 6, 10}},
                        {true, 100, {80, 0, 6, 10}},
                        {true, -5, {0, 80, 6, 10}},
                        {false, 3, {30, 50, 2, 14}}};
  for (const Case& c : cases) {
    FrameGeometry g = Geometry();
    g.layout.leftPad = 30;
    g.layout.rightPad = 50;
    g.layout.topPad = 6;
    g.layout.bottomPad = 10;
    SplitPads(g, c.across, c.position);
    EXPECT_EQ(c.want, PadsOf(g)) << c.position;
  }
}

TEST(VResizeText, TwelveKeysInOrderAndLoadedBack) {
  FrameGeometry g = Geometry();
  g.outputWidth = 640;
  g.outputHeight = 480;
  g.layout = {8, 6, 4, 2, 10, 12, 14, 16, 0x00FF8000};
  const std::string text = VResizeText(g, kScaleBlackUpDown);
  EXPECT_EQ(
      "\"WIDTH\"=640,\"HEIGHT\"=480,\"LEFTBAND\"=8,\"RIGHTBAND\"=6,\"TOPBAND\"=4,\"BOTTOMBAND\"=2,"
      "\"LEFTPAD\"=10,\"RIGHTPAD\"=12,\"TOPPAD\"=14,\"BOTTOMPAD\"=16,\"CRPAD\"=16744448,\"SCALEMODE\"=3",
      text);

  FrameGeometry back = Geometry();
  int32_t mode = 0;
  LoadVResizeText(text, back, mode);
  EXPECT_EQ(kScaleBlackUpDown, mode);
  EXPECT_EQ(VResizeText(g, mode), VResizeText(back, mode));
}

TEST(VResizeText, LoadingFillsZeroSizesAndFitsBadValues) {
  struct Case {
    const char* text;
    int32_t mode, width, height;
    Pads pads;
    int32_t leftBand, rightBand;
  };
  const Case cases[] = {
      {"", kScaleManual, 720, 576, {0, 0, 0, 0}, 0, 0},
      {"\"WIDTH\"=0,\"HEIGHT\"=0,\"SCALEMODE\"=1,\"LEFTBAND\"=8", kScaleLetterbox, 720, 576, {0, 0, 0, 0}, 8, 0},
      {"\"WIDTH\"=-4,\"HEIGHT\"=240,\"LEFTPAD\"=-2,\"TOPPAD\"=300,\"SCALEMODE\"=9", 9, 720, 240, {0, 0, 238, 0}, 0, 0},
      // Bands that crop everything leave 2 pixels, the second band giving way.
      {"\"LEFTBAND\"=700,\"RIGHTBAND\"=700", kScaleManual, 720, 576, {0, 0, 0, 0}, 700, 18},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FrameGeometry g = Geometry(720, 576, 1, 1);
    int32_t mode = 0;
    LoadVResizeText(c.text, g, mode);
    EXPECT_EQ(c.mode, mode);
    EXPECT_EQ(c.width, g.outputWidth);
    EXPECT_EQ(c.height, g.outputHeight);
    EXPECT_EQ(c.pads, PadsOf(g));
    EXPECT_EQ(c.leftBand, g.layout.leftBand);
    EXPECT_EQ(c.rightBand, g.layout.rightBand);
    EXPECT_EQ(720, g.sourceWidth);
  }
}

TEST(SolidBitmap, HeaderAndPixelBytes) {
  TempDir dir;
  const std::string path = dir.File("blank.bmp");
  ASSERT_TRUE(WriteSolidBitmap(path, 0x00112233, 3, 2));
  const std::vector<uint8_t> bytes = ReadFileBytes(path);
  ASSERT_EQ(54u + 3 * 2 * 4, bytes.size());
  const auto u32 = [&bytes](size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  EXPECT_EQ('B', bytes[0]);
  EXPECT_EQ('M', bytes[1]);
  EXPECT_EQ(78u, u32(2));
  EXPECT_EQ(0u, u32(6));
  EXPECT_EQ(54u, u32(10));
  EXPECT_EQ(40u, u32(14));
  EXPECT_EQ(3u, u32(18));
  EXPECT_EQ(uint32_t(-2), u32(22));  // rows top-down
  EXPECT_EQ(1, bytes[26] | bytes[27] << 8);
  EXPECT_EQ(32, bytes[28] | bytes[29] << 8);
  for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(0u, u32(at)) << at;
  for (size_t at = 54; at < bytes.size(); at += 4) {
    EXPECT_EQ(0x11, bytes[at]);  // blue from bits 16-23
    EXPECT_EQ(0x22, bytes[at + 1]);
    EXPECT_EQ(0x33, bytes[at + 2]);
    EXPECT_EQ(0x00, bytes[at + 3]);
  }
}

TEST(SolidBitmap, BadSizesAndPathsWriteNothing) {
  TempDir dir;
  ASSERT_TRUE(WriteSolidBitmap(dir.File("empty.bmp"), 0, 0, 0));
  EXPECT_EQ(54u, fs::file_size(dir.File("empty.bmp")));
  EXPECT_FALSE(WriteSolidBitmap(dir.File("negative.bmp"), 0, -2, 4));
  EXPECT_FALSE(WriteSolidBitmap(dir.File("huge.bmp"), 0, 40000, 40000));  // over the 32-bit file size
  EXPECT_FALSE(WriteSolidBitmap(dir.File("no/folder/blank.bmp"), 0, 4, 4));
  // A file already there is replaced whole.
  ASSERT_TRUE(WriteSolidBitmap(dir.File("empty.bmp"), 0xFFFFFF, 2, 2));
  EXPECT_EQ(54u + 16, fs::file_size(dir.File("empty.bmp")));
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path())) names.push_back(e.path().filename().string());
  EXPECT_EQ(std::vector<std::string>{"empty.bmp"}, names) << "no temporary files left";
}

std::string Track(int type, int width = 0) {
  return "\"TYPE\"=" + std::to_string(type) + ",\"STREAMID\"=" + std::to_string(0x1E0 + type) +
         ",\"VFCC\"=" + std::to_string(MakeFourcc('M', 'P', 'G', '2')) + ",\"WIDTH\"=" + std::to_string(width) +
         ",\"HEIGHT\"=240,\"FRAMERATE\"=F25,\"SAMPLERATE\"=48000,\"CHANNEL\"=2";
}

TEST(PreviewJob, TheLastSourceWithAChosenVideoStreamAndTheOptionWords) {
  std::string message;
  auto task = MakeTask("/media/in/first.mpg", *Probe({Track(1), Track(0, 320)}), Mp4Choice(), {}, message);
  ASSERT_TRUE(task) << message;
  auto second = std::make_unique<MediaInfo>();
  second->path = "/media/in/second.mpg";
  second->record = *Probe({Track(1), Track(1), Track(0, 352), Track(0, 360)});
  second->chosen[0] = second->chosen[3] = 1;  // the first video stream is not chosen
  task->sources.push_back(std::move(second));
  auto audioOnly = std::make_unique<MediaInfo>();
  audioOnly->path = "/media/in/third.mpg";
  audioOnly->record = *Probe({Track(1)});
  audioOnly->chosen[0] = 1;
  task->sources.push_back(std::move(audioOnly));
  ASSERT_TRUE(task->BuildJobSources(message)) << message;

  auto job = std::make_unique<FrameJob>();
  ASSERT_TRUE(BuildPreviewJob(*task, {2, 7, 30}, "/data/preview.bmp", *job, &message)) << message;
  EXPECT_STREQ("/media/in/second.mpg", job->sourcePath);
  EXPECT_EQ(3, job->stream);
  EXPECT_EQ(2, job->sourceMode);
  EXPECT_EQ(7, job->frameCount);
  EXPECT_EQ(30, job->startSeconds);
  EXPECT_STREQ("/data/preview.bmp", job->outputPath);
  EXPECT_EQ(task->job.inputs.count, job->inputs.count);

  // No chosen video stream: an empty source path; an output path too long for the job: refused.
  task->sources[0]->chosen[1] = 0;
  task->sources[1]->chosen[3] = 0;
  ASSERT_TRUE(BuildPreviewJob(*task, {}, "/data/preview.bmp", *job, &message));
  EXPECT_STREQ("", job->sourcePath);
  EXPECT_FALSE(BuildPreviewJob(*task, {}, "/" + std::string(300, 'p'), *job, &message));
  EXPECT_NE(std::string::npos, message.find("too long")) << message;
}

}  // namespace
