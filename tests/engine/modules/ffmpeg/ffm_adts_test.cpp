#include <gtest/gtest.h>

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "engine/modules/ffmpeg/ffm_adts.h"

namespace {

// One whole 100-byte ADTS frame without CRC: AAC-LC, 44,100 Hz, channel configuration 2 (or 1).
std::vector<uint8_t> AdtsFrame(bool mono) {
  std::vector<uint8_t> frame = {0xFF, 0xF1, 0x50, uint8_t(mono ? 0x40 : 0x80), 0x0C, 0x9F, 0xFC};
  frame.resize(100, 0x21);
  return frame;
}

}  // namespace

TEST(FfmAdts, SetsTheStreamsExtradataOnce) {
  AVCodecParameters* par = avcodec_parameters_alloc();
  ASSERT_NE(par, nullptr);
  const std::vector<uint8_t> stereo = AdtsFrame(false);
  EXPECT_EQ(StripAdtsHeader(stereo.data(), 100, par), 7);
  ASSERT_EQ(par->extradata_size, 2);
  EXPECT_EQ(par->extradata[0], 0x12);
  EXPECT_EQ(par->extradata[1], 0x10);
  const std::vector<uint8_t> mono = AdtsFrame(true);
  EXPECT_EQ(StripAdtsHeader(mono.data(), 100, par), 7);
  EXPECT_EQ(par->extradata[1], 0x10) << "kept from the first frame";
  // Not one whole frame: nothing to skip, nothing set.
  AVCodecParameters* other = avcodec_parameters_alloc();
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(StripAdtsHeader(stereo.data(), 99, other), 0);
  EXPECT_EQ(other->extradata_size, 0);
  EXPECT_EQ(StripAdtsHeader(stereo.data(), 100, nullptr), 7);
  avcodec_parameters_free(&other);
  avcodec_parameters_free(&par);
}
