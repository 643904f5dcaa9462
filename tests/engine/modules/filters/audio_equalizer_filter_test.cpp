// The equaliser against its own definition: identity at the neutral settings,
// a direct FIR of the designed filter, the band chain at 22,050 Hz, the channel
// limit, the flush at end of stream and output buffers smaller than a block.
#include "engine/modules/filters/audio_equalizer_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/param_list.h"

namespace {

using Settings = std::array<int, 11>;

constexpr Settings kNeutral = {31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31};

struct Filter {
  IAudioFilter* f;
  Filter(int rate, int channels, const Settings& settings) : f(CEqualizerFilter::Create(nullptr)) {
    AudioFormat format{kAudioKindPcm, rate, 16, channels};
    EXPECT_EQ(S_OK, f->Init(&format));
    SetParams(settings);
  }
  ~Filter() { f->Destroy(); }
  void SetParams(const Settings& settings) {
    CParamList params;
    for (int i = 0; i < 11; ++i) params.SetInt(("DB" + std::to_string(i)).c_str(), settings[size_t(i)]);
    EXPECT_EQ(S_OK, f->SetParams(&params));
  }
  auto* Eq() { return static_cast<CEqualizerFilter*>(f); }

  // Feeds the samples in pieces of `piece` frames with an output buffer of
  // `capacity` bytes (guarded), then drains with empty calls as the host does.
  std::vector<int16_t> Run(const std::vector<int16_t>& in, int channels, size_t piece, size_t capacity) {
    std::vector<int16_t> all;
    std::vector<uint8_t> buffer(capacity + 64, 0xA5);
    auto call = [&](const int16_t* data, size_t samples) {
      AudioBuffer a{uint32_t(samples * 2), reinterpret_cast<uint8_t*>(const_cast<int16_t*>(data))};
      AudioBuffer b{uint32_t(capacity), buffer.data()};
      EXPECT_EQ(S_OK, f->Process(&a, &b));
      EXPECT_LE(b.length, capacity);
      for (size_t i = capacity; i < buffer.size(); ++i) EXPECT_EQ(0xA5, buffer[i]) << "written past the buffer";
      const size_t got = b.length / 2;
      const size_t at = all.size();
      all.resize(at + got);
      if (got > 0) std::memcpy(all.data() + at, buffer.data(), got * 2);
      return b.length;
    };
    const size_t step = piece * size_t(channels);
    for (size_t i = 0; i < in.size(); i += step) call(in.data() + i, std::min(step, in.size() - i));
    int guard = 0;
    while (call(nullptr, 0) != 0 && ++guard < 100000) {
    }
    return all;
  }
};

std::vector<int16_t> Noise(size_t samples, double amplitude, unsigned seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> d(0.0, amplitude / 3);
  std::vector<int16_t> v(samples);
  for (auto& s : v) s = int16_t(std::clamp(std::lround(d(rng) * 32767), -32768L, 32767L));
  return v;
}

std::vector<int16_t> Sine(double hz, int rate, size_t frames, double amplitude) {
  std::vector<int16_t> v(frames);
  for (size_t i = 0; i < frames; ++i)
    v[i] = int16_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate)));
  return v;
}

int MaxDiff(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int m = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) m = std::max(m, std::abs(int(a[i]) - int(b[i])));
  return m;
}

double Rms(const std::vector<int16_t>& v, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += double(v[i]) * v[i];
  return std::sqrt(sum / double(to - from));
}

// The filter written out from its definition, in double: Kaiser-windowed
// stepwise response, band gains 10^((dB + preamp dB) / 15).
std::vector<double> ReferenceTaps(const Settings& s, double fs) {
  auto db = [](int v) { return v == 31 ? 0.0 : v < 31 ? 12 - 0.38 * v : 11.94 - 0.38 * v; };
  const double edges[10] = {60, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, fs};
  double g[10];
  for (int i = 0; i < 10; ++i) g[i] = std::pow(10.0, (db(s[size_t(i)]) + db(s[10])) / 15);
  auto lpf = [&](double f, int n) {
    const double x = 2 * M_PI * f * n / fs;
    return 2 * f / fs * (n == 0 ? 1.0 : std::sin(x) / x);
  };
  auto i0 = [](double x) {
    double sum = 1, fact = 1;
    for (int m = 1; m <= 15; ++m) {
      fact *= m;
      const double t = std::pow(x / 2, m) / fact;
      sum += t * t;
    }
    return sum;
  };
  const double beta = 0.1102 * (96.0 - 8.7);
  const int N = 8191;
  std::vector<double> taps(N);
  for (int j = 0; j < N; ++j) {
    const int n = j - 4095;
    double h = g[0] * lpf(edges[0], n);
    int e = 1;
    for (; e < 9 && edges[e] < fs / 2; ++e) h += g[e] * (lpf(edges[e], n) - lpf(edges[e - 1], n));
    h += g[e] * ((n == 0 ? 1.0 : 0.0) - lpf(edges[e - 1], n));
    const double w = i0(beta * std::sqrt(std::max(0.0, 1 - 4.0 * n * n / (double(N - 1) * (N - 1))))) / i0(beta);
    taps[size_t(j)] = w * h;
  }
  return taps;
}

// Output sample t = sum_j taps[j] x[t + 4095 - j], rounded and clipped like the filter's output.
std::vector<int16_t> DirectFir(const std::vector<int16_t>& x, const std::vector<double>& taps) {
  std::vector<int16_t> y(x.size());
  const long n = long(x.size());
  for (long t = 0; t < n; ++t) {
    double acc = 0;
    const long lo = std::max(0L, t + 4095 - n + 1);
    const long hi = std::min(8190L, t + 4095);
    for (long j = lo; j <= hi; ++j) acc += taps[size_t(j)] * x[size_t(t + 4095 - j)];
    y[size_t(t)] = int16_t(std::clamp(std::lround(acc), -32768L, 32767L));
  }
  return y;
}

TEST(Equalizer, SettingToDecibels) {
  EXPECT_DOUBLE_EQ(12.0, EqualizerBandGainDb(0));
  EXPECT_NEAR(0.6, EqualizerBandGainDb(30), 1e-9);
  EXPECT_DOUBLE_EQ(0.0, EqualizerBandGainDb(31));
  EXPECT_NEAR(-0.22, EqualizerBandGainDb(32), 1e-9);
  EXPECT_NEAR(-12.0, EqualizerBandGainDb(63), 1e-9);
}

TEST(Equalizer, FormatsAndSettings) {
  IAudioFilter* f = CEqualizerFilter::Create(nullptr);
  for (const AudioFormat& bad : {AudioFormat{kAudioKindPcm, 44100, 16, 9}, AudioFormat{kAudioKindPcm, 44100, 8, 2},
                                 AudioFormat{kAudioKindFloat, 44100, 32, 2}, AudioFormat{kAudioKindPcm, 44100, 16, 0}})
    EXPECT_EQ(E_FAIL, f->Init(&bad)) << bad.channels << " channels, " << bad.bitsPerSample << " bits";
  const AudioFormat eight{kAudioKindPcm, 48000, 16, 8};
  ASSERT_EQ(S_OK, f->Init(&eight));
  AudioFormat out{};
  ASSERT_EQ(S_OK, f->GetOutputFormat(&out));
  EXPECT_EQ(0, std::memcmp(&eight, &out, sizeof out));
  EXPECT_EQ(0, f->GetMaxInputChunk());
  EXPECT_EQ(1, f->GetBlockMultiplier());

  auto* eq = static_cast<CEqualizerFilter*>(f);
  CParamList params;
  params.ParseText("\"DB0\"=0,\"DB3\"=63,\"DB10\"=200,\"DB5\"=-4");
  ASSERT_EQ(S_OK, f->SetParams(&params));
  EXPECT_EQ(0, eq->Setting(0));
  EXPECT_EQ(31, eq->Setting(1));
  EXPECT_EQ(63, eq->Setting(3));
  EXPECT_EQ(0, eq->Setting(5));    // below the sliders' range
  EXPECT_EQ(63, eq->Setting(10));  // above it
  f->Destroy();
}

// Output as long as the input and equal to it, whatever the length and piece size.
TEST(Equalizer, NeutralSettingsGiveTheInputBack) {
  struct Case {
    size_t frames;
    int channels;
    size_t piece;
  };
  for (const Case c :
       {Case{0, 2, 1764}, Case{1, 2, 1764}, Case{4095, 1, 1000}, Case{4096, 2, 1764}, Case{8190, 1, 8190},
        Case{8191, 2, 1764}, Case{8192, 1, 7}, Case{40000, 2, 1764}, Case{50000, 8, 4410}}) {
    SCOPED_TRACE(testing::Message() << c.frames << " frames, " << c.channels << " channels");
    Filter f(44100, c.channels, kNeutral);
    const std::vector<int16_t> in = Noise(c.frames * size_t(c.channels), 0.5, unsigned(c.frames));
    const std::vector<int16_t> out = f.Run(in, c.channels, c.piece, 1152000);
    ASSERT_EQ(in.size(), out.size());
    EXPECT_LE(MaxDiff(in, out), 1);
  }
}

TEST(Equalizer, MatchesADirectFirOfItsFilter) {
  const Settings s = {0, 12, 25, 31, 40, 50, 63, 5, 31, 45, 36};
  constexpr int rate = 44100;
  const std::vector<int16_t> in = Noise(20000, 0.15, 3);
  Filter f(rate, 1, s);
  const std::vector<int16_t> out = f.Run(in, 1, 4410, 1152000);
  ASSERT_EQ(in.size(), out.size());
  const std::vector<int16_t> want = DirectFir(in, ReferenceTaps(s, rate));
  EXPECT_LE(MaxDiff(want, out), 2);
  EXPECT_GT(MaxDiff(in, out), 100);  // the settings do change the signal
}

// At 22,050 Hz band 8 (from 6 kHz) reaches half the rate: it covers the top,
// and bands 9 and 10 do nothing.
TEST(Equalizer, BandsAboveHalfTheRateCollapseInto6kTo12k) {
  constexpr int rate = 22050;
  const std::vector<int16_t> noise = Noise(30000, 0.3, 5);
  Settings high = kNeutral;
  high[8] = 0;
  high[9] = 63;
  Filter unused(rate, 1, high);
  const std::vector<int16_t> out = unused.Run(noise, 1, 882, 1152000);
  ASSERT_EQ(noise.size(), out.size());
  EXPECT_LE(MaxDiff(noise, out), 1);

  Settings band8 = kNeutral;
  band8[7] = 0;  // +12 dB -> x 10^(12/15)
  const std::vector<int16_t> tone = Sine(10000, rate, 30000, 0.1);
  Filter boosted(rate, 1, band8);
  const std::vector<int16_t> loud = boosted.Run(tone, 1, 882, 1152000);
  ASSERT_EQ(tone.size(), loud.size());
  EXPECT_NEAR(Rms(loud, 5000, 25000) / Rms(tone, 5000, 25000), std::pow(10.0, 12.0 / 15), 0.02);
}

// A preamplifier of +12 dB with neutral bands: every gain 6.31, loud input clips.
TEST(Equalizer, PreamplifierSaturatesAtTheSampleLimits) {
  Settings s = kNeutral;
  s[10] = 0;
  const std::vector<int16_t> tone = Sine(440, 44100, 20000, 0.5);
  Filter f(44100, 1, s);
  const std::vector<int16_t> out = f.Run(tone, 1, 1764, 1152000);
  ASSERT_EQ(tone.size(), out.size());
  EXPECT_EQ(32767, *std::max_element(out.begin(), out.end()));
  EXPECT_EQ(-32768, *std::min_element(out.begin(), out.end()));
  EXPECT_NEAR(double(out[100]), std::clamp(tone[100] * std::pow(10.0, 0.8), -32768.0, 32767.0), 3);
}

// Output buffers smaller than one block: nothing written past them, nothing lost.
TEST(Equalizer, SmallOutputBuffersKeepTheRestForLaterCalls) {
  const std::vector<int16_t> in = Noise(2 * 30000, 0.5, 8);
  Filter f(44100, 2, kNeutral);
  const std::vector<int16_t> out = f.Run(in, 2, 1764, 7056);
  ASSERT_EQ(in.size(), out.size());
  EXPECT_LE(MaxDiff(in, out), 1);
  EXPECT_EQ(0u, f.Eq()->PendingFrames());
}

TEST(Equalizer, FirstOutputAfterOneBlockAndSettingsFixedOnceAudioFlowed) {
  Filter f(44100, 1, kNeutral);
  std::vector<int16_t> in = Noise(8191, 0.5, 9);
  std::vector<uint8_t> buffer(1 << 16);
  AudioBuffer a{8190 * 2, reinterpret_cast<uint8_t*>(in.data())};
  AudioBuffer b{uint32_t(buffer.size()), buffer.data()};
  ASSERT_EQ(S_OK, f.f->Process(&a, &b));
  EXPECT_EQ(0u, b.length);

  Settings loud = kNeutral;
  loud[3] = 0;
  f.SetParams(loud);  // too late: the filter is designed
  AudioBuffer a2{2, reinterpret_cast<uint8_t*>(in.data() + 8190)};
  AudioBuffer b2{uint32_t(buffer.size()), buffer.data()};
  ASSERT_EQ(S_OK, f.f->Process(&a2, &b2));
  ASSERT_EQ(4096u * 2, b2.length);
  std::vector<int16_t> first(4096);
  std::memcpy(first.data(), buffer.data(), b2.length);
  EXPECT_LE(MaxDiff(std::vector<int16_t>(in.begin(), in.begin() + 4096), first), 1);
}

}  // namespace
