#include <gtest/gtest.h>

#include <cstddef>

#include "platform/guid.h"
#include "platform/media_types.h"

TEST(MediaTypeLayout, FormatBlocksHaveTheirStoredSizes) {
  EXPECT_EQ(sizeof(WAVEFORMATEX), 18u);
  EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
  EXPECT_EQ(sizeof(VIDEOINFOHEADER), 88u);
  EXPECT_EQ(sizeof(VIDEOINFOHEADER2), 112u);
  EXPECT_EQ(offsetof(MPEG1VIDEOINFO, bSequenceHeader), 96u);
  EXPECT_EQ(offsetof(MPEG2VIDEOINFO, dwSequenceHeader), 132u);
}

TEST(MediaTypeLayout, FourccGuidCarriesItsCode) {
  const GUID yv12 = MEDIASUBTYPE_YV12;
  EXPECT_TRUE(IsFourccGuid(yv12));
  EXPECT_EQ(yv12.Data1, MakeFourcc('Y', 'V', '1', '2'));
  EXPECT_FALSE(IsFourccGuid(MEDIASUBTYPE_RGB24));
  EXPECT_NE(MEDIATYPE_Audio, MEDIATYPE_Video);
}

TEST(MediaTypeLayout, FieldOffsetsMatchTheStoredLayout) {
  EXPECT_EQ(offsetof(WAVEFORMATEX, nSamplesPerSec), 4u);
  EXPECT_EQ(offsetof(WAVEFORMATEX, cbSize), 16u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biCompression), 16u);
  EXPECT_EQ(offsetof(BITMAPINFOHEADER, biSizeImage), 20u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, AvgTimePerFrame), 40u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER, bmiHeader), 48u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER2, dwPictAspectRatioX), 56u);
  EXPECT_EQ(offsetof(VIDEOINFOHEADER2, bmiHeader), 72u);
  EXPECT_EQ(offsetof(MPEG1VIDEOINFO, cbSequenceHeader), 92u);
  EXPECT_EQ(offsetof(MPEG2VIDEOINFO, cbSequenceHeader), 116u);
  EXPECT_EQ(offsetof(MPEG2VIDEOINFO, dwFlags), 128u);
  EXPECT_EQ(offsetof(AM_MEDIA_TYPE, lSampleSize), 40u);
  EXPECT_EQ(offsetof(AM_MEDIA_TYPE, formattype), 44u);
  if (sizeof(void*) == 8) {
    EXPECT_EQ(offsetof(AM_MEDIA_TYPE, cbFormat), 72u);
    EXPECT_EQ(offsetof(AM_MEDIA_TYPE, pbFormat), 80u);
    EXPECT_EQ(sizeof(AM_MEDIA_TYPE), 88u);
  }
}

TEST(MediaTypeLayout, WellKnownGuidsHaveTheirValues) {
  EXPECT_EQ(MEDIATYPE_Video.Data1, 0x73646976u);  // "vids"
  EXPECT_EQ(MEDIATYPE_Audio.Data1, 0x73647561u);  // "auds"
  EXPECT_EQ(MEDIASUBTYPE_PCM, FourccGuid(1));
  EXPECT_EQ(FORMAT_WaveFormatEx.Data1, 0x05589F81u);
  EXPECT_EQ(FORMAT_VideoInfo2.Data1, 0xF72A76A0u);
  EXPECT_EQ(FORMAT_MPEG2Video.Data1, 0xE06D80E3u);
  EXPECT_NE(MEDIASUBTYPE_RGB32, MEDIASUBTYPE_ARGB32);
}
