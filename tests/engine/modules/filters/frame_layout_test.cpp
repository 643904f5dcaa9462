#include <gtest/gtest.h>

extern "C" {
#include <libavutil/imgutils.h>
}

#include "engine/modules/filters/frame_layout.h"

namespace {

struct Size {
  int w;
  int h;
};
const Size kSizes[] = {{720, 480}, {64, 48}, {33, 17}, {7, 5}, {5, 2}, {1, 1}, {2, 1}, {1, 3}};

// The layout FFmpeg itself uses for a tightly packed frame.
void ExpectSameAsFfmpeg(int32_t colourType, AVPixelFormat fmt, int w, int h) {
  SCOPED_TRACE(testing::Message() << "type " << colourType << " " << w << "x" << h);
  FramePlanes planes;
  ASSERT_TRUE(ComputeFramePlanes(colourType, w, h, false, &planes));
  int linesizes[4];
  ASSERT_GE(av_image_fill_linesizes(linesizes, fmt, w), 0);
  const int size = av_image_get_buffer_size(fmt, w, h, 1);
  EXPECT_EQ(FramePlanesSize(planes), size);
  EXPECT_EQ(FrameSampleSize(colourType, w, h), size);
  for (int i = 0; i < planes.planeCount; ++i) EXPECT_EQ(planes.pitch[i], linesizes[i]) << "plane " << i;
  // Planes follow one another with no gap, as in a raw file.
  uint8_t* data[4];
  int lines[4];
  static uint8_t base[1];
  av_image_fill_arrays(data, lines, base, fmt, w, h, 1);
  for (int i = 0; i < planes.planeCount; ++i) EXPECT_EQ(planes.offset[i], data[i] - base) << "plane " << i;
}

}  // namespace

TEST(FrameLayout, MatchesFfmpegForEvenOddAndTinySizes) {
  for (const Size& s : kSizes) {
    ExpectSameAsFfmpeg(kColourYuv420, AV_PIX_FMT_YUV420P, s.w, s.h);
    ExpectSameAsFfmpeg(kColourRgb24, AV_PIX_FMT_BGR24, s.w, s.h);
    ExpectSameAsFfmpeg(kColourRgb32, AV_PIX_FMT_BGRA, s.w, s.h);
    ExpectSameAsFfmpeg(kColourYuy2, AV_PIX_FMT_YUYV422, s.w, s.h);
    ExpectSameAsFfmpeg(kColourUyvy, AV_PIX_FMT_UYVY422, s.w, s.h);
    ExpectSameAsFfmpeg(kColourRgb565, AV_PIX_FMT_RGB565LE, s.w, s.h);
    ExpectSameAsFfmpeg(kColourRgb555, AV_PIX_FMT_RGB555LE, s.w, s.h);
    ExpectSameAsFfmpeg(kColourRgb8, AV_PIX_FMT_RGB8, s.w, s.h);
  }
}

TEST(FrameLayout, EvenSizesKeepTheClassicLayout) {
  FramePlanes p;
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 720, 480, false, &p));
  EXPECT_EQ(p.planeCount, 3);
  EXPECT_EQ(p.offset[1], 720 * 480);
  EXPECT_EQ(p.offset[2], 720 * 480 + 360 * 240);
  EXPECT_EQ(FramePlanesSize(p), (720 * 480 * 3) >> 1);
  ASSERT_TRUE(ComputeFramePlanes(kColourYuy2, 720, 480, false, &p));
  EXPECT_EQ(p.pitch[0], 1440);
}

TEST(FrameLayout, Yv12KeepsUInPlaneOneWithSwappedOffsets) {
  FramePlanes i420, yv12;
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 33, 17, false, &i420));
  ASSERT_TRUE(ComputeFramePlanes(kColourYuv420, 33, 17, true, &yv12));
  EXPECT_EQ(yv12.offset[1], i420.offset[2]);
  EXPECT_EQ(yv12.offset[2], i420.offset[1]);
  EXPECT_EQ(yv12.offset[2], 33 * 17);
  EXPECT_EQ(yv12.offset[1], 33 * 17 + 17 * 9);
  uint8_t buf[1];
  SetPlanePointers(&yv12, buf);
  EXPECT_EQ(yv12.pointer[1], buf + yv12.offset[1]);
  EXPECT_EQ(yv12.pointer[2], buf + yv12.offset[2]);
}

TEST(FrameLayout, PackedRgbRowsAreNotPaddedToFourBytes) {
  FramePlanes p;
  ASSERT_TRUE(ComputeFramePlanes(kColourRgb24, 5, 3, false, &p));
  EXPECT_EQ(p.pitch[0], 15);
  EXPECT_EQ(p.planeCount, 1);
  EXPECT_EQ(p.pitch[1], 0);
  uint8_t buf[1];
  SetPlanePointers(&p, buf);
  EXPECT_EQ(p.pointer[0], buf);
  EXPECT_EQ(p.pointer[1], nullptr);
  EXPECT_EQ(p.pointer[2], nullptr);
}

TEST(FrameLayout, RefusesUnknownTypesAndSizesOutOfRange) {
  FramePlanes p;
  EXPECT_FALSE(ComputeFramePlanes(9, 16, 16, false, &p));
  EXPECT_FALSE(ComputeFramePlanes(18, 16, 16, false, &p));
  EXPECT_FALSE(ComputeFramePlanes(kColourYuv420, 0, 16, false, &p));
  EXPECT_FALSE(ComputeFramePlanes(kColourYuv420, 16, -2, false, &p));
  EXPECT_FALSE(ComputeFramePlanes(kColourRgb32, kMaxFrameDimension + 1, 16, false, &p));
  EXPECT_EQ(FrameSampleSize(kColourRgb32, 16, 0), 0);
  // The largest accepted frame still has a 32-bit size.
  EXPECT_EQ(FrameSampleSize(kColourRgb32, kMaxFrameDimension, kMaxFrameDimension - 1),
            4 * kMaxFrameDimension * (kMaxFrameDimension - 1));
}

TEST(FrameLayout, YuvTypesAreTheTopDownOnes) {
  for (int32_t type = 9; type <= 18; ++type) {
    const bool yuv = type == kColourYuv420 || type == kColourYuy2 || type == kColourUyvy;
    EXPECT_EQ(IsYuvColourType(type), yuv) << type;
  }
}
