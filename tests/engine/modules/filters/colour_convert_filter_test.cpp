#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/colour_convert_filter.h"
#include "engine/modules/filters/frame_layout.h"
#include "platform/win_types.h"

namespace fs = std::filesystem;

namespace {

fs::path FixtureDir() {
  fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "vfilter";
  fs::create_directories(dir);
  return dir;
}

std::vector<uint8_t> ReadAll(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

// Runs the ffmpeg CLI on one raw frame; returns its raw output.
std::vector<uint8_t> FfmpegConvert(const std::vector<uint8_t>& input, const char* inPixFmt, int w, int h,
                                   const std::string& chain, const std::string& tag) {
  const fs::path dir = FixtureDir();
  const fs::path in = dir / (tag + ".in.raw");
  const fs::path out = dir / (tag + ".out.raw");
  WriteAll(in, input);
  fs::remove(out);
  // One filter thread: a sliced scale differs from a whole-frame one where chroma is interpolated.
  const std::string cmd = "ffmpeg -v error -y -filter_threads 1 -f rawvideo -pix_fmt " + std::string(inPixFmt) +
                          " -s " + std::to_string(w) + "x" + std::to_string(h) + " -i '" + in.string() + "' -vf '" +
                          chain + "' -frames:v 1 -f rawvideo '" + out.string() + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
  return ReadAll(out);
}

std::vector<uint8_t> Noise(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = uint8_t(rng());
  return v;
}

constexpr size_t kGuard = 256;

// Runs the converter on one frame.
std::vector<uint8_t> Convert(int32_t inType, int32_t outType, int w, int h, const std::vector<uint8_t>& input) {
  IVideoFilter* filter = CColorConvertFilter::Create(nullptr);
  FrameFormat fmt{w, h, inType, {0, 0}, 1, 25};
  EXPECT_EQ(filter->SetFormat(&fmt), 0);
  EXPECT_EQ(static_cast<CColorConvertFilter*>(filter)->SetOutputColourType(outType), 0);
  FrameFormat outFmt{};
  filter->GetOutputFormat(&outFmt);
  EXPECT_EQ(outFmt.colourType, outType);
  EXPECT_EQ(outFmt.width, w);
  EXPECT_EQ(outFmt.height, h);
  EXPECT_EQ(filter->Start(), 0);

  FramePlanes in, out;
  EXPECT_TRUE(ComputeFramePlanes(inType, w, h, false, &in));
  EXPECT_TRUE(ComputeFramePlanes(outType, w, h, false, &out));
  EXPECT_EQ(size_t(FramePlanesSize(in)), input.size());
  // Guard bytes after both frames catch reads of garbage and writes past the end.
  const size_t outSize = size_t(FramePlanesSize(out));
  std::vector<uint8_t> src(input);
  src.resize(input.size() + kGuard, 0xEE);
  std::vector<uint8_t> dst(outSize + kGuard, 0xAA);
  SetPlanePointers(&in, src.data());
  SetPlanePointers(&out, dst.data());
  int64_t start = 1234;
  EXPECT_EQ(filter->Process(&start, &in, &out), 0);
  EXPECT_EQ(start, 1234);
  EXPECT_EQ(filter->Destroy(), 0);
  for (size_t i = outSize; i < dst.size(); ++i) {
    EXPECT_EQ(dst[i], 0xAA) << "written past the frame at byte " << i;
    if (dst[i] != 0xAA) break;
  }
  dst.resize(outSize);
  return dst;
}

struct Case {
  int32_t inType;
  const char* inPixFmt;
  int32_t outType;
  const char* chain;  // the CLI chain that does what the converter does
};

// RGB rows are stored bottom-up and YUV rows top-down: across the two
// families the converter flips, which the CLI chain does with vflip.
const Case kCases[] = {
    {kColourRgb24, "bgr24", kColourYuv420, "scale=flags=fast_bilinear,format=yuv420p,vflip"},
    {kColourYuv420, "yuv420p", kColourRgb24, "scale=flags=fast_bilinear,format=bgr24,vflip"},
    {kColourRgb32, "bgra", kColourYuv420, "scale=flags=fast_bilinear,format=yuv420p,vflip"},
    {kColourYuv420, "yuv420p", kColourRgb32, "scale=flags=fast_bilinear,format=bgra,vflip"},
    {kColourYuv420, "yuv420p", kColourYuy2, "scale=flags=fast_bilinear,format=yuyv422"},
    {kColourYuv420, "yuv420p", kColourUyvy, "scale=flags=fast_bilinear,format=uyvy422"},
    {kColourYuy2, "yuyv422", kColourYuv420, "scale=flags=fast_bilinear,format=yuv420p"},
    {kColourYuv420, "yuv420p", kColourRgb565, "scale=flags=fast_bilinear,format=rgb565le,vflip"},
    {kColourRgb24, "bgr24", kColourRgb32, "scale=flags=fast_bilinear,format=bgra"},
    {kColourRgb555, "rgb555le", kColourYuv420, "scale=flags=fast_bilinear,format=yuv420p,vflip"},
};

struct Dim {
  int w;
  int h;
};
const Dim kDims[] = {{64, 48}, {320, 240}, {33, 17}, {7, 5}, {6, 3}, {2, 2}, {1, 1}};

}  // namespace

TEST(ColourConvert, ByteIdenticalToFfmpegCli) {
  unsigned seed = 1;
  for (const Case& c : kCases) {
    for (const Dim& d : kDims) {
      SCOPED_TRACE(testing::Message() << c.inPixFmt << " -> type " << c.outType << " " << d.w << "x" << d.h);
      const std::vector<uint8_t> input = Noise(size_t(FrameSampleSize(c.inType, d.w, d.h)), seed++);
      const std::vector<uint8_t> ours = Convert(c.inType, c.outType, d.w, d.h, input);
      const std::string tag = std::string(c.inPixFmt) + "-" + std::to_string(c.outType) + "-" + std::to_string(d.w) +
                              "x" + std::to_string(d.h);
      const std::vector<uint8_t> cli = FfmpegConvert(input, c.inPixFmt, d.w, d.h, c.chain, tag);
      ASSERT_EQ(ours.size(), cli.size());
      size_t diff = 0;
      while (diff < ours.size() && ours[diff] == cli[diff]) ++diff;
      EXPECT_EQ(diff, ours.size()) << "first difference at byte " << diff;
    }
  }
}

TEST(ColourConvert, BottomUpRgbComesOutUpright) {
  // 4x4 RGB24, stored bottom-up: the first stored row is the picture's bottom.
  const int w = 4, h = 4;
  std::vector<uint8_t> rgb(size_t(w * h * 3), 0);
  for (int i = 0; i < w * 3; ++i) rgb[size_t(i)] = 255;
  const std::vector<uint8_t> yuv = Convert(kColourRgb24, kColourYuv420, w, h, rgb);
  for (int x = 0; x < w; ++x) {
    // Video range: white luma is 235, black 16.
    EXPECT_NEAR(yuv[size_t((h - 1) * w + x)], 235, 1) << "bottom row white";
    EXPECT_EQ(yuv[size_t(x)], 16) << "top row black";
  }
}

TEST(ColourConvert, SameTypeCopiesEveryPlane) {
  const int w = 9, h = 7;
  const std::vector<uint8_t> input = Noise(size_t(FrameSampleSize(kColourYuv420, w, h)), 99);
  EXPECT_EQ(Convert(kColourYuv420, kColourYuv420, w, h, input), input);
}

TEST(ColourConvert, ColorTypeOutsideTheOfferedRangeIsRefused) {
  IVideoFilter* filter = CColorConvertFilter::Create(nullptr);
  FrameFormat fmt{16, 16, kColourYuv420, {0, 0}, 1, 25};
  filter->SetFormat(&fmt);
  CParamList params;
  for (int32_t bad : {0, 9, 16, 17}) {
    params.SetInt("COLORTYPE", bad);
    EXPECT_EQ(filter->SetParams(&params), E_FAIL) << bad;
  }
  CParamList empty;
  EXPECT_EQ(filter->SetParams(&empty), E_FAIL);
  FrameFormat out{};
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.colourType, kColourYuv420);
  params.SetInt("COLORTYPE", kColourRgb565);
  EXPECT_EQ(filter->SetParams(&params), 0);
  filter->GetOutputFormat(&out);
  EXPECT_EQ(out.colourType, kColourRgb565);
  EXPECT_EQ(filter->IsInline(), 1);
  filter->Destroy();
}
