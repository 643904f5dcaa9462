#include "engine/modules/filters/audio_sample_convert.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace {

using audio::ConvertPcmSample;
using audio::FloatToPcm;
using audio::PcmToFloat;

void Put(uint8_t* p, int bits, int64_t v) {
  const auto u = static_cast<uint64_t>(v);
  for (int i = 0; i < bits / 8; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

int64_t Get(const uint8_t* p, int bits) {
  uint64_t u = 0;
  for (int i = 0; i < bits / 8; ++i) u |= static_cast<uint64_t>(p[i]) << (8 * i);
  if (bits == 8) return static_cast<int64_t>(u);  // unsigned
  const uint64_t sign = 1ull << (bits - 1);
  return static_cast<int64_t>((u ^ sign) - sign);
}

struct WidthCase {
  int srcBits;
  int64_t src;
  int dstBits;
  int64_t dst;
};

TEST(AudioSampleConvert, WidthsAtBothEndsOfTheirRange) {
  constexpr int64_t kMin32 = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax32 = std::numeric_limits<int32_t>::max();
  const WidthCase cases[] = {
      {8, 0, 16, -32768},
      {8, 255, 16, 32512},
      {8, 128, 16, 0},
      {8, 0, 24, -8388608},
      {8, 255, 24, 8323072},
      {8, 0, 32, kMin32},
      {8, 255, 32, 2130706432},
      {8, 0, 8, 0},
      {8, 255, 8, 255},
      {16, -32768, 8, 0},
      {16, 32767, 8, 255},
      {16, 0, 8, 128},
      {16, -1, 8, 127},
      {16, -32768, 24, -8388608},
      {16, 32767, 24, 8388352},
      {16, -32768, 32, kMin32},
      {16, 32767, 32, 2147418112},
      {16, -32768, 16, -32768},
      {16, 32767, 16, 32767},
      {24, -8388608, 8, 0},
      {24, 8388607, 8, 255},
      {24, -8388608, 16, -32768},
      {24, 8388607, 16, 32767},
      {24, -8388608, 32, kMin32},
      {24, 8388607, 32, 2147483392},
      {24, -8388608, 24, -8388608},
      {24, 8388607, 24, 8388607},
      {32, kMin32, 8, 0},
      {32, kMax32, 8, 255},
      {32, kMin32, 16, -32768},
      {32, kMax32, 16, 32767},
      {32, kMin32, 24, -8388608},
      {32, kMax32, 24, 8388607},
      {32, kMin32, 32, kMin32},
      {32, kMax32, 32, kMax32},
  };
  for (const auto& c : cases) {
    uint8_t src[4] = {}, dst[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    Put(src, c.srcBits, c.src);
    ConvertPcmSample(src, c.srcBits, dst, c.dstBits);
    EXPECT_EQ(Get(dst, c.dstBits), c.dst) << c.srcBits << " bits " << c.src << " -> " << c.dstBits << " bits";
    for (int i = c.dstBits / 8; i < 4; ++i) EXPECT_EQ(dst[i], 0xAA) << "wrote past the sample";
  }
}

TEST(AudioSampleConvert, FloatToPcmSaturatesAtBothEnds) {
  const float in[] = {-2.0f, -1.0f, -0.5f, 0.0f, 0.5f, 1.0f, 2.0f};
  struct Row {
    int bits;
    int64_t expected[7];
  };
  const Row rows[] = {
      {8, {0, 0, 64, 128, 192, 255, 255}},
      {16, {-32768, -32768, -16384, 0, 16384, 32767, 32767}},
      {24, {-8388608, -8388608, -4194304, 0, 4194304, 8388607, 8388607}},
      {32, {INT32_MIN, INT32_MIN, -1073741824, 0, 1073741824, INT32_MAX, INT32_MAX}},
  };
  for (const auto& r : rows) {
    uint8_t out[7 * 4];
    FloatToPcm(in, out, r.bits, 7);
    for (int i = 0; i < 7; ++i)
      EXPECT_EQ(Get(out + i * (r.bits / 8), r.bits), r.expected[i]) << r.bits << " bits, x=" << in[i];
  }
}

TEST(AudioSampleConvert, PcmToFloatAtBothEnds) {
  struct Row {
    int bits;
    int64_t lo, hi;
    float loF, hiF;
  };
  const Row rows[] = {
      {8, 0, 255, -1.0f, 127.0f / 128},
      {16, -32768, 32767, -1.0f, 32767.0f / 32768},
      {24, -8388608, 8388607, -1.0f, 8388607.0f / 8388608},
      {32, INT32_MIN, INT32_MAX, -1.0f, 1.0f},
  };
  for (const auto& r : rows) {
    uint8_t in[8];
    Put(in, r.bits, r.lo);
    Put(in + r.bits / 8, r.bits, r.hi);
    float out[2];
    PcmToFloat(in, r.bits, out, 2);
    EXPECT_FLOAT_EQ(out[0], r.loF) << r.bits;
    EXPECT_FLOAT_EQ(out[1], r.hiF) << r.bits;
  }
}

TEST(AudioSampleConvert, DownmixTable) {
  struct Case {
    int inCh, outCh;
    std::vector<int16_t> in, out;
  };
  const Case cases[] = {
      {2, 1, {1000, 3000}, {2000, 2000}},
      {2, 1, {-32768, -32768}, {-32768, -32768}},
      {2, 1, {-3, 0}, {-1, -1}},  // halving rounds towards zero
      {6, 1, {30000, 30000, 30000, 0, 0, 0}, {32767, 32767, 32767, 32767, 32767, 32767}},
      {6, 2, {10000, 10000, 10000, -1, -2, -3}, {30000, -6, 30000, -6, 30000, -6}},
      {6, 2, {20000, 20000, 0, -20000, -20000, 0}, {32767, -32768, 32767, -32768, 32767, -32768}},
      {4, 2, {1, 2, 3, 4}, {3, 7, 3, 7}},
      {3, 2, {1, 2, 3}, {1, 2, 3}},  // fewer than four channels: unchanged
      {2, 2, {5, 6}, {5, 6}},
      {1, 2, {7}, {7}},
  };
  for (const auto& c : cases) {
    std::vector<int16_t> frame = c.in;
    audio::DownmixFrame16(frame.data(), c.inCh, c.outCh);
    EXPECT_EQ(frame, c.out) << c.inCh << " -> " << c.outCh;
  }
}

}  // namespace
