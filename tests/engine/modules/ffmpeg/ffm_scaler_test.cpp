#include <gtest/gtest.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "engine/modules/ffmpeg/ffm_scaler.h"

TEST(FfmScaler, PixelFormatsOfTheColourTypes) {
  const struct {
    int32_t colourType;
    AVPixelFormat format;
  } cases[] = {
      {kColourYuv420, AV_PIX_FMT_YUV420P},
      {kColourRgb24, AV_PIX_FMT_BGR24},
      {kColourRgb32, AV_PIX_FMT_BGRA},
      {kColourYuy2, AV_PIX_FMT_YUYV422},
      {kColourUyvy, AV_PIX_FMT_UYVY422},
      {kColourRgb565, AV_PIX_FMT_RGB565LE},
      {kColourRgb555, AV_PIX_FMT_RGB555LE},
      {kColourRgb8, AV_PIX_FMT_RGB8},
      {9, AV_PIX_FMT_NONE},
      {18, AV_PIX_FMT_NONE},
      {0, AV_PIX_FMT_NONE},
  };
  for (const auto& c : cases) EXPECT_EQ(PixelFormatOfColourType(c.colourType), c.format) << c.colourType;
}

TEST(FfmScaler, OpensOnlyBetweenKnownColourTypes) {
  CFrameScaler scaler;
  EXPECT_EQ(scaler.Open(9, kColourRgb24, 16, 16), E_FAIL);
  EXPECT_FALSE(scaler.IsOpen());
  EXPECT_EQ(scaler.Open(kColourYuv420, 0, 16, 16), E_FAIL);
  ASSERT_EQ(scaler.Open(kColourYuv420, kColourRgb24, 16, 16), S_OK);
  EXPECT_TRUE(scaler.IsOpen());
  scaler.Close();
  EXPECT_FALSE(scaler.IsOpen());
}
