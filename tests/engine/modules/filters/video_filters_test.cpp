// The engine's own video filters run through the filter host on small known
// frames, in both host modes and at even and odd sizes.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "common/param_list.h"
#include "engine/graph/engine_control.h"
#include "engine/modules/filters/flip_grey_filters.h"
#include "engine/modules/filters/frame_filters.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/levels_tweak_filters.h"
#include "engine/modules/filters/watermark_filter.h"
#include "tests/engine/modules/filters/vfilter_test_util.h"

namespace {

using vftest::FrameRun;
using vftest::Hosting;
using vftest::MakeFrame;
using vftest::RunFrame;

struct Size {
  int w, h;
};
constexpr Size kSizes[] = {{8, 6}, {7, 5}};
constexpr Hosting kHostings[] = {Hosting::AsAsked, Hosting::ForcedCopy};

std::string Trace(Size s, Hosting hosting) {
  return std::to_string(s.w) + "x" + std::to_string(s.h) + (hosting == Hosting::AsAsked ? " in place" : " copying");
}

// Plane i of an I420 frame of the host's layout.
uint8_t* Plane(std::vector<uint8_t>& f, Size s, int i) {
  const size_t y = size_t(s.w) * s.h, c = size_t(ChromaSize(s.w)) * ChromaSize(s.h);
  return f.data() + (i == 0 ? 0 : i == 1 ? y : y + c);
}
size_t PlaneSize(Size s, int i) { return i == 0 ? size_t(s.w) * s.h : size_t(ChromaSize(s.w)) * ChromaSize(s.h); }

// Fills a plane with the values, over and over.
void Cycle(uint8_t* p, size_t n, const std::vector<int>& values) {
  for (size_t i = 0; i < n; ++i) p[i] = uint8_t(values[i % values.size()]);
}

// ---- levels ----

const std::vector<int> kLevelInputs = {0, 16, 64, 100, 101, 125, 127, 128, 200, 235, 240, 255};

TEST(VideoFilters, LevelsFollowTheirFormulas) {
  struct Case {
    const char* params;
    std::vector<int> luma, chroma;  // for kLevelInputs
  };
  const Case cases[] = {
      {"",
       {0, 16, 64, 100, 101, 125, 127, 128, 200, 235, 240, 255},
       {1, 17, 65, 101, 102, 126, 128, 128, 200, 235, 240, 255}},
      {"\"CORING\"=1",
       {16, 16, 64, 100, 101, 125, 127, 128, 200, 235, 235, 235},
       {16, 17, 65, 101, 102, 126, 128, 128, 200, 235, 240, 240}},
      {"\"SRCMIN\"=16,\"SRCMAX\"=235",
       {0, 0, 56, 98, 99, 127, 129, 130, 214, 255, 255, 255},
       {0, 0, 54, 96, 98, 126, 128, 128, 212, 253, 255, 255}},
      {"\"GAMMA\"=F2.0",
       {0, 64, 128, 160, 160, 179, 180, 181, 226, 245, 247, 255},
       {1, 17, 65, 101, 102, 126, 128, 128, 200, 235, 240, 255}},
      // Equal input limits divide by 1.
      {"\"SRCMIN\"=100,\"SRCMAX\"=100",
       {0, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255},
       {0, 0, 0, 0, 0, 0, 0, 128, 255, 255, 255, 255}},
      // "Invert the image".
      {"\"SRCMIN\"=0,\"SRCMAX\"=255,\"DSTMIN\"=255,\"DSTMAX\"=0,\"GAMMA\"=F1.0,\"CORING\"=1",
       {235, 235, 187, 151, 150, 126, 124, 123, 51, 16, 16, 16},
       {240, 240, 192, 156, 155, 131, 129, 128, 57, 22, 17, 16}},
      {"\"DSTMIN\"=16,\"DSTMAX\"=235,\"GAMMA\"=F0.5",
       {16, 17, 30, 50, 50, 69, 70, 71, 151, 202, 210, 235},
       {19, 33, 74, 105, 106, 126, 128, 128, 190, 220, 224, 237}},
      // Out of range values are limited to what the dialog allows (0..255, gamma 0.01..10).
      {"\"SRCMIN\"=-500,\"SRCMAX\"=9999,\"DSTMIN\"=-3,\"DSTMAX\"=300,\"GAMMA\"=F1.0",
       {0, 16, 64, 100, 101, 125, 127, 128, 200, 235, 240, 255},
       {1, 17, 65, 101, 102, 126, 128, 128, 200, 235, 240, 255}},
      {"\"GAMMA\"=F0.0,\"UNKNOWN\"=7", {}, {}},
  };
  for (const Case& c : cases) {
    for (Size s : kSizes) {
      for (Hosting hosting : kHostings) {
        SCOPED_TRACE(std::string(c.params) + ", " + Trace(s, hosting));
        std::vector<uint8_t> frame = MakeFrame(kColourYuv420, s.w, s.h);
        for (int i = 0; i < 3; ++i) Cycle(Plane(frame, s, i), PlaneSize(s, i), kLevelInputs);
        FrameRun run = RunFrame(&CLevelsFilter::Create, c.params, kColourYuv420, s.w, s.h, frame, 0, hosting);
        ASSERT_TRUE(run.ok);
        EXPECT_EQ(run.inPlace, hosting == Hosting::AsAsked);
        if (c.luma.empty()) continue;  // only that it runs
        for (int i = 0; i < 3; ++i) {
          const std::vector<int>& want = i == 0 ? c.luma : c.chroma;
          const uint8_t* p = Plane(run.out, s, i);
          for (size_t k = 0; k < PlaneSize(s, i); ++k)
            ASSERT_EQ(p[k], want[k % want.size()])
                << "plane " << i << " byte " << k << " from " << kLevelInputs[k % 12];
        }
      }
    }
  }
}

// ---- tweak ----

TEST(VideoFilters, TweakFollowsItsFormulas) {
  const std::vector<int> lumaIn = {0, 16, 100, 235, 250};
  const std::vector<int> uIn = {100, 128, 16, 0}, vIn = {200, 128, 240, 255};
  struct Case {
    const char* params;
    std::vector<int> luma, u, v;
  };
  const Case cases[] = {
      {"\"HUE\"=F0,\"SAT\"=F1,\"BRIGHT\"=F0,\"CONTRAST\"=F1",
       {0, 16, 100, 235, 250},
       {100, 128, 16, 0},
       {200, 128, 240, 255}},
      {"\"HUE\"=F0,\"SAT\"=F1,\"BRIGHT\"=F0,\"CONTRAST\"=F1,\"CORING\"=1",
       {16, 16, 100, 235, 235},
       {100, 128, 16, 16},
       {200, 128, 240, 240}},
      // Without CONTRAST and SAT (both 0 by default): flat luma, grey chroma.
      {"", {16, 16, 16, 16, 16}, {128, 128, 128, 128}, {128, 128, 128, 128}},
      {"\"HUE\"=F90,\"SAT\"=F1,\"CONTRAST\"=F1", {0, 16, 100, 235, 250}, {200, 128, 240, 255}, {156, 128, 240, 255}},
      {"\"SAT\"=F2,\"CONTRAST\"=F1", {0, 16, 100, 235, 250}, {72, 128, 0, 0}, {255, 128, 255, 255}},
      {"\"SAT\"=F1,\"BRIGHT\"=F20,\"CONTRAST\"=F1.5", {12, 36, 162, 255, 255}, {100, 128, 16, 0}, {200, 128, 240, 255}},
      {"\"HUE\"=F-45,\"SAT\"=F0.5,\"BRIGHT\"=F-10,\"CONTRAST\"=F0.8,\"CORING\"=1",
       {16, 16, 73, 181, 193},
       {93, 128, 49, 38},
       {144, 128, 128, 128}},
      // Limited to the dialog's ranges: SAT 1e9 acts as 10, CONTRAST -4 as 0.
      {"\"SAT\"=F1000000000,\"CONTRAST\"=F-4", {16, 16, 16, 16, 16}, {0, 128, 0, 0}, {255, 128, 255, 255}},
  };
  for (const Case& c : cases) {
    for (Size s : kSizes) {
      for (Hosting hosting : kHostings) {
        SCOPED_TRACE(std::string(c.params) + ", " + Trace(s, hosting));
        std::vector<uint8_t> frame = MakeFrame(kColourYuv420, s.w, s.h);
        Cycle(Plane(frame, s, 0), PlaneSize(s, 0), lumaIn);
        Cycle(Plane(frame, s, 1), PlaneSize(s, 1), uIn);
        Cycle(Plane(frame, s, 2), PlaneSize(s, 2), vIn);
        FrameRun run = RunFrame(&CTweakFilter::Create, c.params, kColourYuv420, s.w, s.h, frame, 0, hosting);
        ASSERT_TRUE(run.ok);
        const std::vector<int>* want[3] = {&c.luma, &c.u, &c.v};
        for (int i = 0; i < 3; ++i) {
          const uint8_t* p = Plane(run.out, s, i);
          for (size_t k = 0; k < PlaneSize(s, i); ++k)
            ASSERT_EQ(p[k], (*want[i])[k % want[i]->size()]) << "plane " << i << " byte " << k;
        }
      }
    }
  }
}

// ---- flips and grey scale ----

TEST(VideoFilters, FlipsAndGreyScaleWriteNewFrames) {
  struct Case {
    const char* name;
    VideoFilterFactory factory;
    // The output byte at (row, column) of plane i, from the input plane.
    uint8_t (*expect)(const uint8_t* in, int pitch, int rows, int plane, int row, int column);
  };
  const Case cases[] = {
      {"vertical", &CFlipVerticalFilter::Create,
       [](const uint8_t* in, int pitch, int rows, int, int r, int c) { return in[(rows - 1 - r) * pitch + c]; }},
      {"horizontal", &CFlipHorizontalFilter::Create,
       [](const uint8_t* in, int pitch, int, int, int r, int c) { return in[r * pitch + pitch - 1 - c]; }},
      {"grey", &CGreyscaleFilter::Create,
       [](const uint8_t* in, int pitch, int, int plane, int r, int c) {
         return plane == 0 ? in[r * pitch + c] : uint8_t(128);
       }},
  };
  for (const Case& c : cases) {
    for (Size s : kSizes) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(s.w) + "x" + std::to_string(s.h));
      std::vector<uint8_t> frame = MakeFrame(kColourYuv420, s.w, s.h);
      for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7 + 3);
      FrameRun run = RunFrame(c.factory, "", kColourYuv420, s.w, s.h, frame);
      ASSERT_TRUE(run.ok);
      EXPECT_FALSE(run.inPlace);
      for (int i = 0; i < 3; ++i) {
        const int pitch = i == 0 ? s.w : ChromaSize(s.w), rows = i == 0 ? s.h : ChromaSize(s.h);
        const uint8_t* in = Plane(frame, s, i);
        const uint8_t* out = Plane(run.out, s, i);
        for (int r = 0; r < rows; ++r)
          for (int col = 0; col < pitch; ++col)
            ASSERT_EQ(out[r * pitch + col], c.expect(in, pitch, rows, i, r, col))
                << "plane " << i << " (" << r << "," << col << ")";
      }
    }
  }
}

// ---- deinterlace ----

TEST(VideoFilters, DeinterlaceSmoothsCombingAndKeepsProgressiveRamps) {
  for (Size s : {Size{32, 24}, Size{37, 29}}) {
    for (Hosting hosting : kHostings) {
      SCOPED_TRACE(Trace(s, hosting));
      // Combing: even rows 200, odd rows 40, in every plane.
      std::vector<uint8_t> comb = MakeFrame(kColourYuv420, s.w, s.h);
      // A vertical ramp is what a progressive picture looks like to the filter.
      std::vector<uint8_t> ramp = comb;
      for (int i = 0; i < 3; ++i) {
        const int pitch = i == 0 ? s.w : ChromaSize(s.w), rows = i == 0 ? s.h : ChromaSize(s.h);
        for (int r = 0; r < rows; ++r) {
          std::memset(Plane(comb, s, i) + r * pitch, r % 2 == 0 ? 200 : 40, size_t(pitch));
          std::memset(Plane(ramp, s, i) + r * pitch, 20 + 5 * r, size_t(pitch));
        }
      }
      FrameRun combed = RunFrame(&CDeinterlaceFilter::Create, "", kColourYuv420, s.w, s.h, comb, 0, hosting);
      FrameRun ramped = RunFrame(&CDeinterlaceFilter::Create, "", kColourYuv420, s.w, s.h, ramp, 0, hosting);
      ASSERT_TRUE(combed.ok);
      ASSERT_TRUE(ramped.ok);
      // Rows away from the top and bottom edges, all columns of the luma plane.
      for (int r = 4; r < s.h - 4; ++r) {
        for (int c = 0; c < s.w; ++c) {
          ASSERT_EQ(Plane(combed.out, s, 0)[r * s.w + c], 200) << "(" << r << "," << c << ")";
          ASSERT_EQ(Plane(ramped.out, s, 0)[r * s.w + c], 20 + 5 * r) << "(" << r << "," << c << ")";
        }
      }
      // Chroma rows are filtered the same way, but for a last odd column the library leaves as it was.
      const int cw = ChromaSize(s.w);
      for (int r = 4; r < ChromaSize(s.h) - 4; ++r)
        for (int c = 0; c < s.w / 2; ++c) ASSERT_EQ(Plane(combed.out, s, 1)[r * cw + c], 200) << r << "," << c;
    }
  }
}

// ---- frame rate ----

TEST(VideoFilters, FrameRateRestampsEveryFrame) {
  // The defaults: 1001 / 24000 s a frame.
  EXPECT_EQ(CFrameRateFilter::FrameTime(0, 1001, 24000), 0);
  EXPECT_EQ(CFrameRateFilter::FrameTime(1, 1001, 24000), 417083);
  EXPECT_EQ(CFrameRateFilter::FrameTime(2, 1001, 24000), 834166);
  // Past the frame count whose product overflows 32 bits (a day of video).
  EXPECT_EQ(CFrameRateFilter::FrameTime(3000000, 1001, 24000), 1251250000000);
  EXPECT_EQ(CFrameRateFilter::FrameTime(7, 1, 25), 2800000);

  CParamList params;
  IVideoFilter* f = CFrameRateFilter::Create(&params);
  FrameFormat format{8, 6, kColourRgb24, {0, 0}, 1, 25};
  ASSERT_EQ(f->SetFormat(&format), 0) << "any colour type";
  params.ParseText("\"DSTFPSNUM\"=1,\"DSTFPSDEN\"=30");
  EXPECT_EQ(f->SetParams(&params), 1);
  FrameFormat out{};
  f->GetOutputFormat(&out);
  EXPECT_EQ(out.durationNum, 1u);
  EXPECT_EQ(out.durationDen, 30u);
  f->Start();
  std::vector<uint8_t> pixels(8 * 6 * 3);
  FramePlanes planes{};
  ComputeFramePlanes(kColourRgb24, 8, 6, false, &planes);
  SetPlanePointers(&planes, pixels.data());
  FramePlanes none{};
  for (int64_t n = 0; n < 3; ++n) {
    int64_t t = 99999999;  // whatever the frame carried
    EXPECT_EQ(f->Process(&t, &planes, &none), 0);
    EXPECT_EQ(t, n * 10000000 / 30);
  }
  f->Start();
  int64_t t = 5;
  f->Process(&t, &planes, &none);
  EXPECT_EQ(t, 0) << "Start begins the count again";
  // A rate that is not positive is refused.
  for (const char* bad : {"\"DSTFPSDEN\"=0", "\"DSTFPSNUM\"=-1001"}) {
    params.ParseText(bad);
    EXPECT_EQ(f->SetParams(&params), E_INVALIDARG) << bad;
  }
  f->Destroy();

  // Through the host: the new start and a stop 10,000 later.
  std::vector<uint8_t> frame = MakeFrame(kColourYuv420, 8, 6);
  FrameRun run = RunFrame(&CFrameRateFilter::Create, "", kColourYuv420, 8, 6, frame, 123456789);
  ASSERT_TRUE(run.ok);
  EXPECT_TRUE(run.timed);
  EXPECT_EQ(run.start, 0);
  EXPECT_EQ(run.stop, 10000);
  run = RunFrame(&CFrameRateFilter::Create, "\"DSTFPSDEN\"=0", kColourYuv420, 8, 6, frame);
  EXPECT_EQ(run.paramsResult, E_INVALIDARG);
}

// ---- capture ----

class CaptureFilter : public ::testing::Test {
 protected:
  void SetUp() override {
    Fill();
    SetEngineControlBlock(block_.data(), block_.size());
  }
  // Every byte 0xEE but the free frame lock.
  void Fill() {
    block_.assign(ControlBlock::kSize, 0xEE);
    SetWord(ControlBlock::kFrameLock, 0);
  }
  void TearDown() override { SetEngineControlBlock(nullptr, 0); }
  int32_t Word(size_t offset) {
    int32_t v;
    std::memcpy(&v, block_.data() + offset, 4);
    return v;
  }
  void SetWord(size_t offset, int32_t v) { std::memcpy(block_.data() + offset, &v, 4); }
  const uint8_t* Pixels() const { return block_.data() + ControlBlock::kPixels; }
  std::vector<uint8_t> block_;
};

TEST_F(CaptureFilter, CopiesFramesInTheLayoutTheFrontEndReads) {
  struct Case {
    int32_t type;
    Size size;
    int32_t layout;
  };
  const Case cases[] = {{kColourYuv420, {8, 6}, 0}, {kColourYuv420, {7, 5}, 0}, {kColourRgb24, {7, 5}, 1}};
  for (const Case& c : cases) {
    for (Hosting hosting : kHostings) {
      SCOPED_TRACE(std::to_string(c.type) + " " + Trace(c.size, hosting));
      Fill();
      const Size s = c.size;
      std::vector<uint8_t> frame = MakeFrame(c.type, s.w, s.h);
      for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 13 + 1);
      FrameRun run = RunFrame(&CCaptureFilter::Create, "", c.type, s.w, s.h, frame, 0, hosting);
      ASSERT_TRUE(run.ok);
      EXPECT_EQ(run.out, frame) << "the frame passes unchanged";
      EXPECT_EQ(Word(ControlBlock::kFrameWidth), s.w);
      EXPECT_EQ(Word(ControlBlock::kFrameHeight), s.h);
      EXPECT_EQ(Word(ControlBlock::kFrameLayout), c.layout);
      EXPECT_EQ(Word(ControlBlock::kFrameLock), 0) << "the lock is given back";
      std::vector<uint8_t> want;
      if (c.type == kColourRgb24) {
        want = frame;
      } else {
        // Y at w x h, then U and V at (w/2) x (h/2), out of planes of ((w+1)/2) x ((h+1)/2).
        want.assign(frame.begin(), frame.begin() + s.w * s.h);
        for (int i = 1; i < 3; ++i)
          for (int r = 0; r < s.h / 2; ++r)
            for (int col = 0; col < s.w / 2; ++col) want.push_back(Plane(frame, s, i)[r * ChromaSize(s.w) + col]);
      }
      EXPECT_EQ(std::vector<uint8_t>(Pixels(), Pixels() + want.size()), want);
      EXPECT_EQ(Pixels()[want.size()], 0xEE) << "nothing written past the frame";
    }
  }
}

TEST_F(CaptureFilter, SkipsHeldFramesFramesTooLargeAndWorksWithoutABlock) {
  std::vector<uint8_t> frame = MakeFrame(kColourYuv420, 8, 6);
  std::fill(frame.begin(), frame.end(), 0x11);

  // The front end holds the lock: nothing is copied, the lock stays as it was.
  SetWord(ControlBlock::kFrameLock, 1);
  FrameRun run = RunFrame(&CCaptureFilter::Create, "", kColourYuv420, 8, 6, frame);
  ASSERT_TRUE(run.ok);
  EXPECT_EQ(Pixels()[0], 0xEE);
  EXPECT_EQ(Word(ControlBlock::kFrameLock), 1);

  // Frames larger than the frame area: reported as no frame, never copied.
  SetWord(ControlBlock::kFrameLock, 0);
  for (Size s : {Size{3840, 2160}, Size{1921, 1441}}) {
    SCOPED_TRACE(std::to_string(s.w) + "x" + std::to_string(s.h));
    std::vector<uint8_t> big = MakeFrame(s.w == 3840 ? kColourYuv420 : kColourRgb24, s.w, s.h);
    std::fill(big.begin(), big.end(), 0x22);
    run = RunFrame(&CCaptureFilter::Create, "", s.w == 3840 ? kColourYuv420 : kColourRgb24, s.w, s.h, big);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.out, big);
    EXPECT_EQ(Word(ControlBlock::kFrameWidth), 0);
    EXPECT_EQ(Word(ControlBlock::kFrameHeight), 0);
    EXPECT_EQ(Pixels()[0], 0xEE);
  }
  // The largest frame that fits: 1920 x 1080 x 4 bytes of RGB24 is 1920 x 1440.
  std::vector<uint8_t> fits = MakeFrame(kColourRgb24, 1920, 1440);
  std::fill(fits.begin(), fits.end(), 0x33);
  run = RunFrame(&CCaptureFilter::Create, "", kColourRgb24, 1920, 1440, fits);
  EXPECT_EQ(Word(ControlBlock::kFrameWidth), 1920);
  EXPECT_EQ(Pixels()[ControlBlock::kPixelBytes - 1], 0x33);

  // A block too small for the layout counts as none, and so does no block.
  for (size_t size : {ControlBlock::kSize - 1, size_t(0)}) {
    Fill();
    SetEngineControlBlock(size ? block_.data() : nullptr, size);
    run = RunFrame(&CCaptureFilter::Create, "", kColourYuv420, 8, 6, frame);
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.out, frame);
    EXPECT_EQ(Word(ControlBlock::kFrameWidth), int32_t(0xEEEEEEEE));
  }
}

// ---- colour types ----

TEST(VideoFilters, EachFilterTakesItsColourTypes) {
  struct Case {
    const char* name;
    VideoFilterFactory factory;
    std::vector<int32_t> accepted;
  };
  const std::vector<int32_t> any = {9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
  const Case cases[] = {
      {"levels", &CLevelsFilter::Create, {10}},           {"tweak", &CTweakFilter::Create, {10}},
      {"deinterlace", &CDeinterlaceFilter::Create, {10}}, {"grey", &CGreyscaleFilter::Create, {10}},
      {"vflip", &CFlipVerticalFilter::Create, {10}},      {"hflip", &CFlipHorizontalFilter::Create, {10}},
      {"capture", &CCaptureFilter::Create, {10, 11}},     {"watermark", &CWatermarkFilter::Create, {10, 11}},
      {"frame rate", &CFrameRateFilter::Create, any},
  };
  for (const Case& c : cases) {
    CParamList params;
    IVideoFilter* f = c.factory(&params);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->IsInline(), 1);
    for (int32_t type = 9; type <= 18; ++type) {
      FrameFormat format{16, 16, type, {0, 0}, 1, 25};
      const bool takes = std::find(c.accepted.begin(), c.accepted.end(), type) != c.accepted.end();
      EXPECT_EQ(f->SetFormat(&format), takes ? 0 : 1) << c.name << " type " << type;
    }
    f->Destroy();
  }
}

}  // namespace
