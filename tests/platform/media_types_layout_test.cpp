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
