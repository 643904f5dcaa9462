#include "engine/modules/filters/audio_volume_filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "common/param_list.h"

namespace {

struct FilterDeleter {
  void operator()(IAudioFilter* f) const { f->Destroy(); }
};
using FilterPtr = std::unique_ptr<IAudioFilter, FilterDeleter>;

FilterPtr MakeVolume(int percent) {
  FilterPtr f(CVolumeFilter::Create(nullptr));
  const AudioFormat fmt{kAudioKindPcm, 44100, 16, 2};
  EXPECT_EQ(f->Init(&fmt), S_OK);
  CParamList params;
  params.SetInt("VOL", percent);
  EXPECT_EQ(f->SetParams(&params), S_OK);
  return f;
}

std::vector<int16_t> Apply(IAudioFilter* f, const std::vector<int16_t>& in) {
  std::vector<int16_t> src = in, out(in.size(), 0x5555);
  AudioBuffer a{static_cast<uint32_t>(src.size() * 2), reinterpret_cast<uint8_t*>(src.data())};
  AudioBuffer b{static_cast<uint32_t>(out.size() * 2), reinterpret_cast<uint8_t*>(out.data())};
  EXPECT_EQ(f->Process(&a, &b), S_OK);
  EXPECT_EQ(b.length, a.length);
  return out;
}

TEST(VolumeFilter, GainTable) {
  struct Case {
    int percent;
    int32_t gain;
    std::vector<int16_t> in, out;
  };
  const Case cases[] = {
      {100, 256, {0, 1, -1, 12345, -32768, 32767}, {0, 1, -1, 12345, -32768, 32767}},
      {50, 128, {1000, -1000, -1001, 3, -3, 32767, -32768}, {500, -500, -500, 2, -1, 16384, -16384}},
      {300, 768, {100, -100, 20000, -20000, 32767, -32768}, {300, -300, 32767, -32768, 32767, -32768}},
      {0, 0, {32767, -32768, 5}, {0, 0, 0}},
      {33, 84, {1000}, {328}},  // 33 * 256 / 100 rounds towards zero
  };
  for (const auto& c : cases) {
    auto f = MakeVolume(c.percent);
    EXPECT_EQ(static_cast<CVolumeFilter*>(f.get())->Gain(), c.gain) << c.percent;
    EXPECT_EQ(Apply(f.get(), c.in), c.out) << "VOL " << c.percent;
  }
}

TEST(VolumeFilter, DefaultsAndHugeGainSaturate) {
  FilterPtr f(CVolumeFilter::Create(nullptr));
  EXPECT_EQ(static_cast<CVolumeFilter*>(f.get())->Gain(), 256);
  CParamList none;
  EXPECT_EQ(f->SetParams(&none), S_OK);
  EXPECT_EQ(static_cast<CVolumeFilter*>(f.get())->Gain(), 256);

  auto loud = MakeVolume(2000000000);  // gain near the 32-bit limit: no overflow
  EXPECT_EQ(Apply(loud.get(), {1, -1, 32767, -32768}), (std::vector<int16_t>{32767, -32768, 32767, -32768}));
}

TEST(VolumeFilter, AcceptsOnly16BitPcmAndKeepsTheFormat) {
  FilterPtr f(CVolumeFilter::Create(nullptr));
  const AudioFormat bad[] = {
      {kAudioKindPcm, 44100, 8, 2}, {kAudioKindPcm, 44100, 24, 2}, {kAudioKindFloat, 44100, 16, 2}};
  for (const auto& fmt : bad) EXPECT_EQ(f->Init(&fmt), E_FAIL);
  const AudioFormat good{kAudioKindPcm, 22050, 16, 6};
  ASSERT_EQ(f->Init(&good), S_OK);
  AudioFormat out{};
  ASSERT_EQ(f->GetOutputFormat(&out), S_OK);
  EXPECT_EQ(std::memcmp(&out, &good, sizeof out), 0);
  EXPECT_EQ(f->Start(), S_OK);
  EXPECT_EQ(f->GetMaxInputChunk(), 0);
  EXPECT_EQ(f->GetBlockMultiplier(), 1);
}

TEST(VolumeFilter, RefusesAnOutputBufferSmallerThanTheInput) {
  auto f = MakeVolume(50);
  std::vector<int16_t> in(8, 1000), out(4, 0x5555);
  AudioBuffer a{16, reinterpret_cast<uint8_t*>(in.data())};
  AudioBuffer b{8, reinterpret_cast<uint8_t*>(out.data())};
  testing::internal::CaptureStdout();
  EXPECT_EQ(f->Process(&a, &b), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "audio buffer too small\n");
  EXPECT_EQ(b.length, 0u);
  EXPECT_EQ(out, std::vector<int16_t>(4, 0x5555));
}

}  // namespace
