#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "platform/win_types.h"
#include "plugins/vresize/vresize_filter.h"
#include "tests/engine/modules/filters/vfilter_test_util.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kGuard = 256;

fs::path FixtureDir() {
  fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "vresize";
  fs::create_directories(dir);
  return dir;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

std::string Dim(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }

bool RunFfmpeg(const std::string& args) {
  const std::string cmd = "ffmpeg -v error -y " + args;
  return std::system(cmd.c_str()) == 0;
}

// One real picture of the test source at the given size, as raw 4:2:0.
std::vector<uint8_t> TestFrame(int w, int h) {
  const fs::path out = FixtureDir() / ("src-" + Dim(w, h) + ".yuv");
  if (!fs::exists(out)) {
    EXPECT_TRUE(RunFfmpeg("-f lavfi -i testsrc2=size=352x288:rate=1 -vf scale=" + Dim(w, h) +
                          " -frames:v 1 -pix_fmt yuv420p -f rawvideo '" + out.string() + "'"));
  }
  return ReadAll(out);
}

// What the CLI makes of the same frame with crop, scale and pad.
std::vector<uint8_t> CliFrame(const std::vector<uint8_t>& input, int w, int h, const VResizeGeometry& g,
                              const std::string& tag) {
  const fs::path in = FixtureDir() / (tag + ".in.yuv");
  const fs::path out = FixtureDir() / (tag + ".cli.yuv");
  {
    std::ofstream f(in, std::ios::binary);
    f.write(reinterpret_cast<const char*>(input.data()), std::streamsize(input.size()));
  }
  std::string chain = "crop=" + std::to_string(g.cropW) + ":" + std::to_string(g.cropH) + ":" +
                      std::to_string(g.cropX) + ":" + std::to_string(g.cropY) + ":exact=1" +
                      ",scale=" + std::to_string(g.picW) + ":" + std::to_string(g.picH) + ":flags=bicubic";
  if (g.picW != g.frameWidth || g.picH != g.frameHeight)
    chain += ",pad=" + std::to_string(g.frameWidth) + ":" + std::to_string(g.frameHeight) + ":" +
             std::to_string(g.picX) + ":" + std::to_string(g.picY) + ":color=black";
  EXPECT_TRUE(RunFfmpeg("-f rawvideo -pix_fmt yuv420p -s " + Dim(w, h) + " -i '" + in.string() + "' -vf '" + chain +
                        "' -frames:v 1 -f rawvideo '" + out.string() + "'"))
      << chain;
  return ReadAll(out);
}

struct Result {
  FrameFormat format;
  std::vector<uint8_t> frame;
};

// Runs the filter on one frame with the parameter text; frames sit in
// buffers with guard bytes that must stay untouched.
Result RunFilter(const std::vector<uint8_t>& input, int w, int h, const char* text) {
  Result result{};
  IVideoFilter* filter = CVResizeFilter::Create(nullptr);
  FrameFormat fmt{w, h, kColourYuv420, {0, 0}, 1001, 30000};
  EXPECT_EQ(filter->SetFormat(&fmt), 0);
  CParamList params;
  params.ParseText(text);
  // 1 (in place) only for a text that leaves the frame as it is.
  const int32_t answer = filter->SetParams(&params);
  filter->GetOutputFormat(&result.format);
  EXPECT_TRUE(answer == 0 || (answer == 1 && result.format.width == w && result.format.height == h)) << text;
  EXPECT_EQ(result.format.colourType, kColourYuv420);
  EXPECT_EQ(result.format.durationNum, 1001u);
  EXPECT_EQ(result.format.durationDen, 30000u);
  EXPECT_EQ(filter->Start(), 0);

  FramePlanes in, out;
  EXPECT_TRUE(ComputeFramePlanes(kColourYuv420, w, h, false, &in));
  EXPECT_TRUE(ComputeFramePlanes(kColourYuv420, result.format.width, result.format.height, false, &out));
  std::vector<uint8_t> src(input);
  src.resize(input.size() + kGuard, 0xEE);
  const size_t outSize = size_t(FramePlanesSize(out));
  std::vector<uint8_t> dst(outSize + kGuard, 0xAA);
  SetPlanePointers(&in, src.data());
  SetPlanePointers(&out, dst.data());
  int64_t start = 5000;
  EXPECT_EQ(filter->Process(&start, &in, &out), 0);
  EXPECT_EQ(start, 5000);
  filter->Destroy();
  for (size_t i = outSize; i < dst.size(); ++i)
    if (dst[i] != 0xAA) {
      ADD_FAILURE() << "written past the frame at byte " << i;
      break;
    }
  dst.resize(outSize);
  result.frame = std::move(dst);
  return result;
}

std::string Text(int W, int H, int lb, int rb, int tb, int bb, int lp, int rp, int tp, int bp) {
  CParamList p;
  p.SetInt("WIDTH", W);
  p.SetInt("HEIGHT", H);
  p.SetInt("LEFTBAND", lb);
  p.SetInt("RIGHTBAND", rb);
  p.SetInt("TOPBAND", tb);
  p.SetInt("BOTTOMBAND", bb);
  p.SetInt("LEFTPAD", lp);
  p.SetInt("RIGHTPAD", rp);
  p.SetInt("TOPPAD", tp);
  p.SetInt("BOTTOMPAD", bp);
  p.SetInt("CRPAD", 0);
  p.SetInt("SCALEMODE", 5);
  char* t = p.ToText();
  std::string s(t);
  p.FreeText(t);
  return s;
}

struct Case {
  const char* name;
  int srcW, srcH;
  int W, H, lb, rb, tb, bb, lp, rp, tp, bp;
  // Expected frame and picture rectangle.
  int frameW, frameH, picX, picY, picW, picH;
  bool cli;  // the CLI's pad filter keeps odd pads and sizes only when rounded
};

const Case kCases[] = {
    {"identity", 64, 48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 64, 48, 0, 0, 64, 48, true},
    {"crop only", 64, 48, 0, 0, 8, 8, 4, 6, 0, 0, 0, 0, 48, 38, 0, 0, 48, 38, true},
    {"crop only, sizes kept as given", 64, 48, 48, 38, 8, 8, 4, 6, 0, 0, 0, 0, 48, 38, 0, 0, 48, 38, true},
    {"resize only", 64, 48, 160, 120, 0, 0, 0, 0, 0, 0, 0, 0, 160, 120, 0, 0, 160, 120, true},
    {"resize down", 176, 144, 88, 72, 0, 0, 0, 0, 0, 0, 0, 0, 88, 72, 0, 0, 88, 72, true},
    {"pad only", 64, 48, 0, 0, 0, 0, 0, 0, 8, 4, 10, 6, 76, 64, 8, 10, 64, 48, true},
    {"pad only into a given frame", 64, 48, 80, 64, 0, 0, 0, 0, 8, 8, 8, 8, 80, 64, 8, 8, 64, 48, true},
    {"crop, resize and pad", 352, 288, 320, 240, 8, 8, 8, 8, 0, 0, 20, 20, 320, 240, 0, 20, 320, 200, true},
    {"all three, all sides", 176, 144, 160, 120, 16, 8, 4, 12, 10, 6, 8, 12, 160, 120, 10, 8, 144, 100, true},
    {"zero width keeps the cropped width", 64, 48, 0, 96, 4, 4, 0, 0, 0, 0, 0, 0, 56, 96, 0, 0, 56, 96, true},
    {"zero height keeps the cropped height", 64, 48, 32, 0, 0, 0, 2, 6, 0, 0, 0, 0, 32, 40, 0, 0, 32, 40, true},
    {"odd source, mod-4 crop", 718, 478, 716, 476, 0, 2, 0, 2, 0, 0, 0, 0, 716, 476, 0, 0, 716, 476, true},
    {"odd source and odd crop", 33, 17, 0, 0, 3, 1, 1, 3, 0, 0, 0, 0, 29, 13, 0, 0, 29, 13, true},
    {"odd output size", 64, 48, 45, 31, 0, 0, 0, 0, 0, 0, 0, 0, 45, 31, 0, 0, 45, 31, true},
    {"odd pads", 32, 24, 0, 0, 0, 0, 0, 0, 3, 1, 5, 2, 36, 31, 3, 5, 32, 24, false},
    {"odd pads and scale", 33, 17, 41, 27, 1, 0, 0, 1, 3, 3, 1, 1, 41, 27, 3, 1, 35, 25, false},
    {"tiny", 3, 3, 0, 0, 1, 1, 1, 1, 1, 2, 2, 1, 4, 4, 1, 2, 1, 1, false},
};

uint8_t At(const Result& r, int plane, int x, int y) {
  const int w = r.format.width, h = r.format.height;
  const int cw = (w + 1) / 2, ch = (h + 1) / 2;
  if (plane == 0) return r.frame[size_t(y * w + x)];
  const size_t base = size_t(w * h) + (plane == 2 ? size_t(cw * ch) : 0);
  return r.frame[base + size_t(y * cw + x)];
}

}  // namespace

TEST(VResize, GeometryTableOnRealFrames) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string text = Text(c.W, c.H, c.lb, c.rb, c.tb, c.bb, c.lp, c.rp, c.tp, c.bp);
    const std::vector<uint8_t> input = TestFrame(c.srcW, c.srcH);
    ASSERT_EQ(input.size(), size_t(FrameSampleSize(kColourYuv420, c.srcW, c.srcH)));

    VResizeSettings s{c.W, c.H, c.lb, c.rb, c.tb, c.bb, c.lp, c.rp, c.tp, c.bp, true, 0, 5};
    VResizeGeometry g{};
    ASSERT_EQ(ComputeVResizeGeometry(s, c.srcW, c.srcH, &g), 0);
    EXPECT_EQ(g.frameWidth, c.frameW);
    EXPECT_EQ(g.frameHeight, c.frameH);
    EXPECT_EQ(g.picX, c.picX);
    EXPECT_EQ(g.picY, c.picY);
    EXPECT_EQ(g.picW, c.picW);
    EXPECT_EQ(g.picH, c.picH);

    const Result r = RunFilter(input, c.srcW, c.srcH, text.c_str());
    ASSERT_EQ(r.format.width, c.frameW);
    ASSERT_EQ(r.format.height, c.frameH);

    // Pads: black wherever the picture is not.
    int badPad = 0;
    for (int y = 0; y < c.frameH; ++y)
      for (int x = 0; x < c.frameW; ++x) {
        const bool inPic = x >= c.picX && x < c.picX + c.picW && y >= c.picY && y < c.picY + c.picH;
        if (!inPic && At(r, 0, x, y) != 16) ++badPad;
      }
    EXPECT_EQ(badPad, 0) << "luma pad pixels that are not black";
    const int cw = (c.frameW + 1) / 2, ch = (c.frameH + 1) / 2;
    const int cx0 = c.picX / 2, cy0 = c.picY / 2, cx1 = cx0 + (c.picW + 1) / 2, cy1 = cy0 + (c.picH + 1) / 2;
    int badChroma = 0;
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x)
        if ((x < cx0 || x >= cx1 || y < cy0 || y >= cy1) && (At(r, 1, x, y) != 128 || At(r, 2, x, y) != 128))
          ++badChroma;
    EXPECT_EQ(badChroma, 0) << "chroma pad samples that are not neutral";

    // The picture: what the CLI makes of the same crop, scale and pad.
    if (c.cli) {
      const std::vector<uint8_t> cli = CliFrame(input, c.srcW, c.srcH, g, "case" + std::to_string(&c - kCases));
      ASSERT_EQ(cli.size(), r.frame.size());
      size_t diff = 0;
      while (diff < cli.size() && cli[diff] == r.frame[diff]) ++diff;
      EXPECT_EQ(diff, cli.size()) << "first difference at byte " << diff;
    }
  }
}

TEST(VResize, CroppedPictureLandsInItsRectangle) {
  // A source whose bands are bright and whose kept part is dark grey: after
  // cropping nothing bright may remain, and the dark part fills the picture.
  const int w = 40, h = 30;
  std::vector<uint8_t> src(size_t(FrameSampleSize(kColourYuv420, w, h)), 128);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) src[size_t(y * w + x)] = (x >= 6 && x < 34 && y >= 4 && y < 24) ? 60 : 235;
  const Result r = RunFilter(src, w, h, Text(56, 40, 6, 6, 4, 6, 0, 0, 4, 6).c_str());
  ASSERT_EQ(r.format.width, 56);
  ASSERT_EQ(r.format.height, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 56; ++x) {
      const uint8_t v = At(r, 0, x, y);
      if (y < 4 || y >= 34)
        ASSERT_EQ(v, 16) << x << "," << y;
      else
        ASSERT_NEAR(v, 60, 1) << x << "," << y;
    }
}

TEST(VResize, PadColourFollowsCrpad) {
  const int w = 16, h = 16;
  std::vector<uint8_t> src(size_t(FrameSampleSize(kColourYuv420, w, h)), 128);
  CParamList p;
  p.SetInt("LEFTPAD", 4);
  p.SetInt("CRPAD", 0x0000FF);  // red as 0x00BBGGRR
  char* t = p.ToText();
  const Result red = RunFilter(src, w, h, t);
  p.FreeText(t);
  uint8_t yuv[3];
  PadColourToYuv(0x0000FF, yuv);
  EXPECT_EQ(yuv[0], 81);
  EXPECT_EQ(yuv[1], 90);
  EXPECT_EQ(yuv[2], 240);
  EXPECT_EQ(At(red, 0, 0, 0), 81);
  EXPECT_EQ(At(red, 1, 0, 0), 90);
  EXPECT_EQ(At(red, 2, 1, 7), 240);
  // Without CRPAD the pads are black.
  CParamList q;
  q.SetInt("LEFTPAD", 4);
  t = q.ToText();
  const Result plain = RunFilter(src, w, h, t);
  q.FreeText(t);
  EXPECT_EQ(At(plain, 0, 3, 15), 16);
  EXPECT_EQ(At(plain, 1, 1, 7), 128);
  PadColourToYuv(0xFFFFFF, yuv);
  EXPECT_EQ(yuv[0], 235);
  EXPECT_EQ(yuv[1], 128);
  EXPECT_EQ(yuv[2], 128);
}

TEST(VResize, RefusesGeometriesThatLeaveNoPicture) {
  IVideoFilter* filter = CVResizeFilter::Create(nullptr);
  FrameFormat fmt{64, 48, kColourYuv420, {0, 0}, 1, 25};
  ASSERT_EQ(filter->SetFormat(&fmt), 0);
  const std::string bad[] = {
      Text(0, 0, 32, 32, 0, 0, 0, 0, 0, 0),      // bands eat the width
      Text(0, 0, 0, 0, 40, 8, 0, 0, 0, 0),       // bands eat the height
      Text(64, 48, 0, 0, 0, 0, 40, 24, 0, 0),    // pads fill the frame
      Text(64, 48, 0, 0, 0, 0, 0, 0, 30, 30),    // pads wider than the frame
      Text(-2, 48, 0, 0, 0, 0, 0, 0, 0, 0),      // negative size
      Text(0, 0, -4, 0, 0, 0, 0, 0, 0, 0),       // negative band
      Text(0, 0, 0, 0, 0, 0, 0, -2, 0, 0),       // negative pad
      Text(100000, 48, 0, 0, 0, 0, 0, 0, 0, 0),  // absurd size
  };
  CParamList params;
  for (const std::string& text : bad) {
    params.ParseText(text.c_str());
    EXPECT_EQ(filter->SetParams(&params), E_INVALIDARG) << text;
  }
  // A refused text leaves the last good geometry in place.
  FrameFormat out{};
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.width, 64);
  EXPECT_EQ(out.height, 48);

  params.ParseText(Text(0, 0, 8, 8, 0, 0, 0, 0, 0, 0).c_str());
  EXPECT_EQ(filter->SetParams(&params), 0);
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.width, 48);
  // Formats the geometry cannot take, and colour types other than 4:2:0, are refused.
  FrameFormat narrow{16, 48, kColourYuv420, {0, 0}, 1, 25};
  EXPECT_EQ(filter->SetFormat(&narrow), 1);
  FrameFormat rgb{64, 48, kColourRgb24, {0, 0}, 1, 25};
  EXPECT_EQ(filter->SetFormat(&rgb), 1);
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.width, 48);
  EXPECT_EQ(out.colourType, kColourYuv420);
  EXPECT_EQ(filter->IsInline(), 1);
  filter->Destroy();
}

TEST(VResize, ParamsBeforeFormatApplyOnceTheFormatArrives) {
  IVideoFilter* filter = CVResizeFilter::Create(nullptr);
  CParamList params;
  params.ParseText(Text(320, 240, 8, 8, 8, 8, 0, 0, 20, 20).c_str());
  EXPECT_EQ(filter->SetParams(&params), 0);
  FrameFormat fmt{720, 576, kColourYuv420, {0, 0}, 1, 25};
  ASSERT_EQ(filter->SetFormat(&fmt), 0);
  FrameFormat out{};
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.width, 320);
  EXPECT_EQ(out.height, 240);
  filter->Destroy();
}

// Texts that keep size, crop and pads put the host in place: the sample goes
// on untouched, the bytes those of the scaling copy. Texts that only keep the
// size keep the copy.
TEST(VResize, TextsThatKeepTheFramePassSamplesThrough) {
  struct PassCase {
    const char* name;
    std::string text;
    bool inPlace;
  };
  const PassCase cases[] = {
      {"no keys", "", true},
      {"all zero", Text(0, 0, 0, 0, 0, 0, 0, 0, 0, 0), true},
      {"the source size", Text(96, 64, 0, 0, 0, 0, 0, 0, 0, 0), true},
      {"the source width only", Text(96, 0, 0, 0, 0, 0, 0, 0, 0, 0), true},
      {"crop and pad back to the size", Text(96, 64, 0, 0, 8, 8, 0, 0, 8, 8), false},
      {"pads inside the same frame", Text(96, 64, 0, 0, 0, 0, 4, 4, 0, 0), false},
      {"crop scaled back up", Text(96, 64, 4, 4, 0, 0, 0, 0, 0, 0), false},
  };
  const std::vector<uint8_t> source = TestFrame(96, 64);
  ASSERT_EQ(source.size(), size_t(96 * 64 * 3 / 2));
  for (const PassCase& c : cases) {
    SCOPED_TRACE(c.name);
    const vftest::FrameRun asked =
        vftest::RunFrame(&CVResizeFilter::Create, c.text.c_str(), kColourYuv420, 96, 64, source, 4000);
    const vftest::FrameRun copied = vftest::RunFrame(&CVResizeFilter::Create, c.text.c_str(), kColourYuv420, 96, 64,
                                                     source, 4000, vftest::Hosting::ForcedCopy);
    ASSERT_TRUE(asked.ok);
    ASSERT_TRUE(copied.ok);
    EXPECT_EQ(asked.inPlace, c.inPlace);
    EXPECT_EQ(asked.paramsResult, 0);
    EXPECT_EQ(asked.out, copied.out) << "in place and copied frames differ";
    if (c.inPlace) {
      EXPECT_EQ(asked.out, source);
    }
    EXPECT_TRUE(asked.timed);
    EXPECT_EQ(asked.start, 4000);
  }
}

// A host left in place by a keeping text, then given a text that changes
// the frame, drops the picture instead of writing through no buffer.
TEST(VResize, InPlaceFrameWithoutAnOutputIsRefusedOnceTheTextChanges) {
  IVideoFilter* filter = CVResizeFilter::Create(nullptr);
  FrameFormat fmt{64, 48, kColourYuv420, {0, 0}, 1, 25};
  ASSERT_EQ(filter->SetFormat(&fmt), 0);
  CParamList params;
  params.ParseText(Text(0, 0, 0, 0, 0, 0, 0, 0, 0, 0).c_str());
  EXPECT_EQ(filter->SetParams(&params), 1);
  FramePlanes in{}, out{};
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 64, 48, false, &in));
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 64, 48, false, &out));
  std::vector<uint8_t> frame(size_t(FramePlanesSize(in)), 77);
  SetPlanePointers(&in, frame.data());
  SetPlanePointers(&out, nullptr);
  int64_t t = 0;
  EXPECT_EQ(filter->Process(&t, &in, &out), 0);
  EXPECT_EQ(frame, std::vector<uint8_t>(frame.size(), 77));
  params.ParseText(Text(64, 48, 0, 0, 0, 0, 0, 0, 4, 4).c_str());
  EXPECT_EQ(filter->SetParams(&params), 0);
  EXPECT_EQ(filter->Process(&t, &in, &out), E_FAIL);
  EXPECT_EQ(frame, std::vector<uint8_t>(frame.size(), 77));
  filter->Destroy();
}
