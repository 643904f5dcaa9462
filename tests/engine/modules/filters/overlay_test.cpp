// Overlay pictures: placement, clipping, blending, animation timing and the
// watermark filter with pictures read from files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/log_ring.h"
#include "common/param_list.h"
#include "engine/modules/ffmpeg/ffm_picture_loader.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/overlay_image.h"
#include "engine/modules/filters/watermark_filter.h"
#include "tests/engine/modules/filters/vfilter_test_util.h"
#include "tests/test_util/engine_process.h"
#include "tests/test_util/gif_file.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

using vftest::FrameRun;
using vftest::Hosting;
using vftest::MakeFrame;
using vftest::RunFrame;

fs::path Dir() {
  const fs::path d = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "overlay";
  fs::create_directories(d);
  return d;
}
std::string At(const char* name) { return (Dir() / name).string(); }

bool Ffmpeg(const std::string& args) { return RunCommand("ffmpeg -v error -y " + args + " 2>&1").status == 0; }

// A picture of one colour, or of the colours given per pixel (top-down, RGBA).
DecodedPicture Solid(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
  DecodedPicture p;
  p.width = w;
  p.height = h;
  for (int i = 0; i < w * h; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, a});
  return p;
}

// Log lines written since the last call.
std::vector<std::string> NewLogLines() {
  static CLogRing ring;
  if (!ring.IsOpen()) ring.Open(CLogRing::kName);
  std::vector<LogEntry> entries;
  ring.TakeEntries(entries);
  std::vector<std::string> lines;
  for (const LogEntry& e : entries) lines.push_back(e.text);
  return lines;
}

bool Logged(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

// ---- placement ----

TEST(Overlay, NineAlignPlacements) {
  // A 30 x 20 picture on a 101 x 81 frame, and a 140 x 100 one (larger than the frame both ways).
  struct Case {
    int align;
    OverlayPlacement small, large;
  };
  const Case cases[] = {
      {7, {0, 0, 0, 0, 30, 20}, {0, 0, 0, 0, 101, 81}},      {8, {35, 0, 0, 0, 30, 20}, {0, 0, 19, 0, 120, 81}},
      {9, {71, 0, 0, 0, 30, 20}, {0, 0, 39, 0, 140, 81}},    {4, {0, 30, 0, 0, 30, 20}, {0, 0, 0, 9, 101, 90}},
      {5, {35, 30, 0, 0, 30, 20}, {0, 0, 19, 9, 120, 90}},   {6, {71, 30, 0, 0, 30, 20}, {0, 0, 39, 9, 140, 90}},
      {1, {0, 61, 0, 0, 30, 20}, {0, 0, 0, 19, 101, 100}},   {2, {35, 61, 0, 0, 30, 20}, {0, 0, 19, 19, 120, 100}},
      {3, {71, 61, 0, 0, 30, 20}, {0, 0, 39, 19, 140, 100}},
  };
  auto same = [](const OverlayPlacement& a, const OverlayPlacement& b) {
    return a.dstX == b.dstX && a.dstY == b.dstY && a.srcX == b.srcX && a.srcY == b.srcY && a.srcEndX == b.srcEndX &&
           a.srcEndY == b.srcEndY;
  };
  auto text = [](const OverlayPlacement& p) {
    return std::to_string(p.dstX) + "," + std::to_string(p.dstY) + " src " + std::to_string(p.srcX) + "," +
           std::to_string(p.srcY) + "-" + std::to_string(p.srcEndX) + "," + std::to_string(p.srcEndY);
  };
  for (const Case& c : cases) {
    const OverlayPlacement s = PlaceOverlayByAlign(101, 81, c.align, 30, 20, 555, 555);
    const OverlayPlacement l = PlaceOverlayByAlign(101, 81, c.align, 140, 100, 555, 555);
    EXPECT_TRUE(same(s, c.small)) << "ALIGN " << c.align << ": " << text(s);
    EXPECT_TRUE(same(l, c.large)) << "ALIGN " << c.align << " large: " << text(l);
    // Whatever the placement, the visible part lies inside frame and picture.
    for (auto [p, w, h] : {std::tuple{s, 30, 20}, std::tuple{l, 140, 100}}) {
      EXPECT_LE(p.dstX + (p.srcEndX - p.srcX), 101);
      EXPECT_LE(p.dstY + (p.srcEndY - p.srcY), 81);
      EXPECT_LE(p.srcEndX, w);
      EXPECT_LE(p.srcEndY, h);
    }
  }
  // A picture wider than the frame at ALIGN 5 loses as much on both sides.
  const OverlayPlacement wide = PlaceOverlayByAlign(100, 80, 5, 140, 20, 0, 0);
  EXPECT_EQ(wide.srcX, 20);
  EXPECT_EQ(140 - wide.srcEndX, 20);
}

TEST(Overlay, CustomPositionsAreClippedToTheFrame) {
  struct Case {
    int align, x, y;
    OverlayPlacement want;
  };
  const Case cases[] = {
      {0, -10, 5, {0, 5, 10, 0, 30, 20}},       // from picture column 10 at frame column 0
      {0, 90, 70, {90, 70, 0, 0, 11, 11}},      // cut at the right and bottom edges
      {0, -5, -7, {0, 0, 5, 7, 30, 20}},        // cut at the left and top edges
      {0, 101, 0, {0, 0, 0, 0, 0, 0}},          // just right of the frame: nothing
      {0, -30, 0, {0, 0, 0, 0, 0, 0}},          // just left of it
      {0, 0, -20, {0, 0, 0, 0, 0, 0}},          // just above
      {10, 3, 4, {3, 4, 0, 0, 30, 20}},         // any code but 1..9 is a position
      {-1, 2147483647, 0, {0, 0, 0, 0, 0, 0}},  // no overflow at the far end
      {0, -2147483647, -2147483647, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const OverlayPlacement p = PlaceOverlayByAlign(101, 81, c.align, 30, 20, c.x, c.y);
    EXPECT_EQ(p.dstX, c.want.dstX) << c.x << "," << c.y;
    EXPECT_EQ(p.dstY, c.want.dstY) << c.x << "," << c.y;
    EXPECT_EQ(p.srcX, c.want.srcX) << c.x << "," << c.y;
    EXPECT_EQ(p.srcY, c.want.srcY) << c.x << "," << c.y;
    EXPECT_EQ(p.srcEndX, c.want.srcEndX) << c.x << "," << c.y;
    EXPECT_EQ(p.srcEndY, c.want.srcEndY) << c.x << "," << c.y;
  }
}

// ---- blending ----

TEST(Overlay, YuvBlendAtHalfLevelAndPictureLargerThanTheFrame) {
  for (auto [w, h] : {std::pair{8, 6}, std::pair{7, 5}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    // A 20 x 20 picture (larger than the frame) centred, its left half opaque, right half alpha 0.
    DecodedPicture pic = Solid(20, 20, 0, 0, 0);
    for (int r = 0; r < 20; ++r)
      for (int c = 10; c < 20; ++c) pic.rgba[size_t(r * 20 + c) * 4 + 3] = 0;
    COverlayImageList list;
    ASSERT_TRUE(BuildOverlayImages({pic}, &list, false, nullptr));
    list.place = PlaceOverlayByAlign(w, h, 5, 20, 20, 0, 0);
    list.level = 0.5;
    std::vector<uint8_t> frame = MakeFrame(kColourYuv420, w, h);
    std::fill(frame.begin(), frame.end(), 200);
    FramePlanes planes;
    ComputeFramePlanes(kColourYuv420, w, h, false, &planes);
    SetPlanePointers(&planes, frame.data());
    BlendOverlayYV12(&planes, list, 0);
    const OverlayImage& img = list.images[0];
    const uint8_t py = img.At(0, 0, 0), pu = img.At(1, 0, 0), pv = img.At(2, 0, 0);
    EXPECT_EQ(py, 16) << "black in studio range";
    // Frame column c shows picture column c + srcX: opaque below picture column 10.
    const int srcX = list.place.srcX;
    for (int r = 0; r < h; ++r)
      for (int c = 0; c < w; ++c) {
        const bool opaque = c + srcX < 10;
        ASSERT_EQ(frame[size_t(r * w + c)], opaque ? int(0.5 * py + 0.5 * 200) : 200) << r << "," << c;
      }
    // The picture is cut at the top by an odd 7 rows: each chroma sample is
    // blended once at most, the top left ones from opaque picture pixels.
    const int cw = ChromaSize(w), ch = ChromaSize(h);
    const uint8_t* u = frame.data() + w * h;
    const uint8_t* v = u + cw * ch;
    const int once[2] = {int(0.5 * pu + 0.5 * 200), int(0.5 * pv + 0.5 * 200)};
    for (int i = 0; i < 2; ++i) {
      const uint8_t* plane = i == 0 ? u : v;
      for (int k = 0; k < cw * ch; ++k) ASSERT_TRUE(plane[k] == 200 || plane[k] == once[i]) << i << ": " << k;
      for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c) EXPECT_EQ(plane[r * cw + c], once[i]) << i << ": " << r << "," << c;
      EXPECT_EQ(plane[cw - 1], 200) << "transparent part";
    }
  }
}

TEST(Overlay, Rgb24BlendLandsBottomUpInBlueGreenRedOrder) {
  // A 3 x 2 picture: top row red, green, blue; bottom row white; top left, 2 pixels in.
  DecodedPicture pic = Solid(3, 2, 255, 255, 255);
  const uint8_t top[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  for (int c = 0; c < 3; ++c) std::memcpy(&pic.rgba[size_t(c) * 4], top[c], 3);
  COverlayImageList list;
  ASSERT_TRUE(BuildOverlayImages({pic}, &list, true, nullptr));
  const int w = 7, h = 5;
  list.place = PlaceOverlayByAlign(w, h, 0, 3, 2, 2, 1);
  list.level = 1.0;
  std::vector<uint8_t> frame(size_t(3 * w * h), 9);
  FramePlanes planes;
  ComputeFramePlanes(kColourRgb24, w, h, false, &planes);
  SetPlanePointers(&planes, frame.data());
  BlendOverlayRGB24(&planes, list, 0);
  auto pixel = [&](int x, int y) {  // y from the top
    const uint8_t* p = &frame[size_t((h - 1 - y) * 3 * w + 3 * x)];
    return std::vector<int>{p[0], p[1], p[2]};
  };
  EXPECT_EQ(pixel(2, 1), (std::vector<int>{0, 0, 255})) << "red as B, G, R";
  EXPECT_EQ(pixel(3, 1), (std::vector<int>{0, 255, 0}));
  EXPECT_EQ(pixel(4, 1), (std::vector<int>{255, 0, 0}));
  EXPECT_EQ(pixel(2, 2), (std::vector<int>{255, 255, 255}));
  EXPECT_EQ(pixel(1, 1), (std::vector<int>{9, 9, 9}));
  EXPECT_EQ(pixel(2, 0), (std::vector<int>{9, 9, 9}));
  EXPECT_EQ(pixel(5, 1), (std::vector<int>{9, 9, 9}));
  EXPECT_EQ(pixel(2, 3), (std::vector<int>{9, 9, 9}));
  // Clipped at the frame's bottom right: only the picture's top left pixel shows.
  std::fill(frame.begin(), frame.end(), 9);
  list.place = PlaceOverlayByAlign(w, h, 0, 3, 2, w - 1, h - 1);
  BlendOverlayRGB24(&planes, list, 0);
  EXPECT_EQ(pixel(w - 1, h - 1), (std::vector<int>{0, 0, 255}));
  EXPECT_EQ(std::count(frame.begin(), frame.end(), 9), long(frame.size()) - 3);
}

TEST(Overlay, TransparentColourGivesAlphaZeroAndSizesMustAgree) {
  // 0x00BBGGRR of pure red.
  DecodedPicture pic = Solid(2, 1, 255, 0, 0);
  pic.rgba[4] = 254;  // the second pixel is almost red
  for (bool rgb : {true, false}) {
    COverlayImageList list;
    list.transparent = true;
    list.transColour = 0x0000FF;
    ASSERT_TRUE(BuildOverlayImages({pic}, &list, rgb, nullptr));
    EXPECT_EQ(list.images[0].At(3, 0, 0), 0);
    EXPECT_EQ(list.images[0].At(3, 0, 1), 255);
    list.transparent = false;
    ASSERT_TRUE(BuildOverlayImages({pic}, &list, rgb, nullptr));
    EXPECT_EQ(list.images[0].At(3, 0, 0), 255) << "only with the flag";
  }
  // Frames of an animation must all be the first one's size.
  COverlayImageList list;
  std::string reason;
  EXPECT_FALSE(BuildOverlayImages({Solid(4, 4, 1, 2, 3), Solid(4, 5, 1, 2, 3)}, &list, false, &reason));
  EXPECT_EQ(reason, "its frames differ in size");
  EXPECT_TRUE(list.images.empty());
}

// ---- fades and time span ----

TEST(Overlay, FadeTable) {
  struct Case {
    const char* params;
    double seconds;
    bool shows;
    double level;
  };
  const Case cases[] = {
      {"", 3.0, true, 1.0},
      {"\"ALPHA\"=F0.8", 3.0, true, 0.8},
      {"\"ALPHA\"=F5.0", 3.0, true, 1.0},  // limited to 1
      {"\"BSTART\"=1,\"STARTTIME\"=5,\"FADEIN\"=2000", 4.99, false, 0},
      {"\"BSTART\"=1,\"STARTTIME\"=5,\"FADEIN\"=2000", 5.0, true, 0.0},
      {"\"BSTART\"=1,\"STARTTIME\"=5,\"FADEIN\"=2000", 6.0, true, 0.5},
      {"\"BSTART\"=1,\"STARTTIME\"=5,\"FADEIN\"=2000,\"ALPHA\"=F0.6", 6.0, true, 0.3},
      {"\"BSTART\"=1,\"STARTTIME\"=5,\"FADEIN\"=2000", 7.0, true, 1.0},
      {"\"FADEIN\"=1000", 0.25, true, 0.25},  // without BSTART the fade starts at 0
      {"\"BEND\"=1,\"ENDTIME\"=10,\"FADEOUT\"=4000", 8.0, true, 0.5},
      {"\"BEND\"=1,\"ENDTIME\"=10,\"FADEOUT\"=4000", 5.0, true, 1.0},
      {"\"BEND\"=1,\"ENDTIME\"=10,\"FADEOUT\"=4000", 10.0, false, 0},
      {"\"ENDTIME\"=10,\"FADEOUT\"=4000", 8.0, true, 1.0},  // fade-out only with BEND
      // During the fade-in no fade-out is looked at.
      {"\"FADEIN\"=4000,\"BEND\"=1,\"ENDTIME\"=3,\"FADEOUT\"=3000", 2.0, true, 0.5},
      {"\"FADEIN\"=-4000", 1.0, true, 1.0},  // a negative fade is none
      {"\"FADEIN\"=1000", -1.0, true, 0.0},  // before time 0: never below 0
  };
  for (const Case& c : cases) {
    CParamList params;
    params.ParseText(c.params);
    WatermarkSettings s;
    s.Read(&params);
    const int64_t start = int64_t(c.seconds * 10000000 + (c.seconds < 0 ? -0.5 : 0.5));
    EXPECT_EQ(s.Shows(start), c.shows) << c.params << " at " << c.seconds;
    if (c.shows) {
      EXPECT_NEAR(s.LevelAt(start), c.level, 1e-9) << c.params << " at " << c.seconds;
    }
  }
}

// ---- pictures from files ----

class OverlayFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WriteFile(At("anim.gif"), MakeGif(4, 4, {{1, 10}, {2, 0}, {3, 5}}));
    ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=0x2050E0:s=6x4,format=rgb24 -frames:v 1 " + ShellQuote(At("blue.png"))));
    ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=0x2050E0:s=6x4 -frames:v 1 -q:v 2 " + ShellQuote(At("blue.jpg"))));
    ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=0x2050E0:s=6x4,format=bgr24 -frames:v 1 " + ShellQuote(At("blue.bmp"))));
    // Half-transparent red.
    ASSERT_TRUE(Ffmpeg("-f lavfi -i color=c=red@0.5:s=6x4,format=rgba -frames:v 1 " + ShellQuote(At("alpha.png"))));
  }
};

TEST_F(OverlayFiles, ReadsPngJpegBmpAndAlpha) {
  for (const char* name : {"blue.png", "blue.jpg", "blue.bmp"}) {
    std::vector<DecodedPicture> frames;
    std::string reason;
    ASSERT_EQ(LoadPictureFrames(At(name).c_str(), &frames, &reason), S_OK) << name << ": " << reason;
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].width, 6);
    EXPECT_EQ(frames[0].height, 4);
    const int tolerance = std::string(name).find("jpg") != std::string::npos ? 6 : 0;
    EXPECT_NEAR(frames[0].rgba[0], 0x20, tolerance) << name;
    EXPECT_NEAR(frames[0].rgba[1], 0x50, tolerance) << name;
    EXPECT_NEAR(frames[0].rgba[2], 0xE0, tolerance) << name;
    EXPECT_EQ(frames[0].rgba[3], 255) << name << ": no alpha channel reads as opaque";
  }
  std::vector<DecodedPicture> frames;
  ASSERT_EQ(LoadPictureFrames(At("alpha.png").c_str(), &frames, nullptr), S_OK);
  EXPECT_EQ(frames[0].rgba[0], 255);
  EXPECT_NEAR(frames[0].rgba[3], 128, 1);
}

TEST_F(OverlayFiles, AnimatedGifShowsEachFrameForItsDelay) {
  std::vector<DecodedPicture> frames;
  std::string reason;
  ASSERT_EQ(LoadPictureFrames(At("anim.gif").c_str(), &frames, &reason), S_OK) << reason;
  ASSERT_EQ(frames.size(), 3u);
  COverlayImageList list;
  ASSERT_TRUE(LoadOverlayImages(At("anim.gif").c_str(), &list, true, &reason)) << reason;
  ASSERT_EQ(list.images.size(), 3u);
  EXPECT_EQ(list.images[0].delay, 10);
  EXPECT_EQ(list.images[1].delay, 1) << "a frame without delay counts 1";
  EXPECT_EQ(list.images[2].delay, 5);
  EXPECT_EQ(list.totalDelay, 16);

  // Through the watermark on an RGB24 frame: the colour at the top left tells the frame.
  struct Case {
    double seconds;
    std::vector<int> bgr;
  };
  const Case cases[] = {
      {0.0, {0, 0, 255}},  {0.099, {0, 0, 255}}, {0.10, {0, 255, 0}}, {0.109, {0, 255, 0}},
      {0.11, {255, 0, 0}}, {1.1, {255, 0, 0}},   {1.12, {0, 0, 255}}, {0.16, {0, 0, 255}},
  };
  const std::string params = "\"FILENAME\"=\"" + At("anim.gif") + "\",\"ALIGN\"=7";
  for (const Case& c : cases) {
    std::vector<uint8_t> frame = MakeFrame(kColourRgb24, 8, 6);
    const int64_t start = int64_t(c.seconds * 10000000 + 0.5);
    FrameRun run = RunFrame(&CWatermarkFilter::Create, params.c_str(), kColourRgb24, 8, 6, frame, start);
    ASSERT_TRUE(run.ok);
    const uint8_t* topLeft = &run.out[size_t(5 * 8 * 3)];
    EXPECT_EQ((std::vector<int>{topLeft[0], topLeft[1], topLeft[2]}), c.bgr) << c.seconds << " s";
    EXPECT_EQ(run.out[size_t(5 * 8 * 3 + 4 * 3)], 0) << "right of the picture unchanged";
  }
}

TEST_F(OverlayFiles, WatermarkBlendsIntoBothHostModes) {
  const std::string params = "\"FILENAME\"=\"" + At("blue.png") + "\",\"ALPHA\"=F0.5,\"ALIGN\"=3";
  for (Hosting hosting : {Hosting::AsAsked, Hosting::ForcedCopy}) {
    for (auto [w, h] : {std::pair{16, 10}, std::pair{15, 9}}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
      std::vector<uint8_t> frame = MakeFrame(kColourYuv420, w, h);
      std::fill(frame.begin(), frame.end(), 100);
      FrameRun run = RunFrame(&CWatermarkFilter::Create, params.c_str(), kColourYuv420, w, h, frame, 0, hosting);
      ASSERT_TRUE(run.ok);
      EXPECT_EQ(run.inPlace, hosting == Hosting::AsAsked);
      // Bottom right 6 x 4 changed, the rest not.
      std::vector<DecodedPicture> pics;
      ASSERT_EQ(LoadPictureFrames(At("blue.png").c_str(), &pics, nullptr), S_OK);
      std::vector<uint8_t> py, pu, pv;
      ASSERT_EQ(SplitPictureYuv(pics[0], &py, &pu, &pv), S_OK);
      for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) {
          const bool inside = c >= w - 6 && r >= h - 4;
          ASSERT_EQ(run.out[size_t(r * w + c)], inside ? int(0.5 * py[0] + 50) : 100) << r << "," << c;
        }
    }
  }
}

TEST_F(OverlayFiles, BadPicturesDisableTheWatermark) {
  WriteFile(At("corrupt.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5, 6, 7, 8, 9});
  WriteFile(At("text.png"), {'h', 'e', 'l', 'l', 'o', '\n'});
  const std::vector<uint8_t> gif = MakeGif(4, 4, {{1, 10}});
  WriteFile(At("cut.gif"), std::vector<uint8_t>(gif.begin(), gif.begin() + 30));
  const std::string tooLong = "/" + std::string(300, 'a') + ".png";
  ASSERT_TRUE(Ffmpeg("-f lavfi -i color=s=16385x2,format=rgb24 -frames:v 1 " + ShellQuote(At("wide.png"))));
  struct Case {
    std::string file;
    const char* reason;
  };
  const Case cases[] = {
      {At("missing.png"), "cannot open it"},
      {At("corrupt.png"), ""},
      {At("text.png"), "not a PNG, JPEG, BMP or GIF"},
      {At("cut.gif"), ""},
      {Dir().string(), "not a file"},
      {tooLong, "longer than 259 bytes"},
      {At("wide.png"), "out of range (1 to 16384 a side)"},
  };
  NewLogLines();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file.substr(0, 80));
    std::vector<uint8_t> frame = MakeFrame(kColourYuv420, 8, 6);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i);
    const std::string params = "\"FILENAME\"=\"" + c.file + "\",\"ALIGN\"=7,\"NOSUCHKEY\"=3";
    FrameRun run = RunFrame(&CWatermarkFilter::Create, params.c_str(), kColourYuv420, 8, 6, frame);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.paramsResult, S_OK);
    EXPECT_TRUE(run.inPlace);
    EXPECT_EQ(run.out, frame) << "frames pass unchanged";
    const std::vector<std::string> lines = NewLogLines();
    EXPECT_TRUE(Logged(lines, "Watermark: cannot use the picture")) << "no log line";
    EXPECT_TRUE(Logged(lines, c.reason)) << (lines.empty() ? "" : lines.back());
  }
  // An empty file name is no watermark, and no complaint.
  std::vector<uint8_t> frame = MakeFrame(kColourYuv420, 8, 6);
  FrameRun run = RunFrame(&CWatermarkFilter::Create, "\"FILENAME\"=\"\"", kColourYuv420, 8, 6, frame);
  EXPECT_TRUE(run.ok);
  EXPECT_TRUE(NewLogLines().empty());
}

}  // namespace
