#include "engine/modules/filters/audio_resample_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "common/param_list.h"

namespace {

namespace fs = std::filesystem;

struct FilterDeleter {
  void operator()(IAudioFilter* f) const { f->Destroy(); }
};
using FilterPtr = std::unique_ptr<IAudioFilter, FilterDeleter>;

FilterPtr MakeResampler(const AudioFormat& in, int channels, int rate, int bits) {
  FilterPtr f(CResampleFilter::Create(nullptr));
  EXPECT_EQ(f->Init(&in), S_OK);
  CParamList params;
  params.SetInt("CHANNEL", channels);
  params.SetInt("SAMPLERATE", rate);
  params.SetInt("BITSPERSAMPLE", bits);
  EXPECT_EQ(f->SetParams(&params), S_OK);
  EXPECT_EQ(f->Start(), S_OK);
  return f;
}

// Feeds the input the way the filter host does: whole blocks of at most
// max(chunk limit, block) bytes, then the held rest, then empty calls until
// one writes nothing.
std::vector<uint8_t> Feed(IAudioFilter* f, const std::vector<uint8_t>& input, uint32_t block,
                          uint32_t outCapacity = 1152000) {
  const uint32_t limit = std::max<uint32_t>(f->GetMaxInputChunk(), block);
  std::vector<uint8_t> result, out(outCapacity);
  std::vector<uint8_t> in(input);
  auto call = [&](uint8_t* data, uint32_t length) {
    AudioBuffer a{length, data};
    AudioBuffer b{outCapacity, out.data()};
    EXPECT_EQ(f->Process(&a, &b), S_OK);
    EXPECT_LE(b.length, outCapacity);
    result.insert(result.end(), out.begin(), out.begin() + b.length);
    return b.length;
  };
  size_t pos = 0;
  while (in.size() - pos >= block) {
    const uint32_t n = static_cast<uint32_t>(std::min<size_t>(in.size() - pos, limit)) / block * block;
    call(in.data() + pos, n);
    pos += n;
  }
  call(in.data() + pos, static_cast<uint32_t>(in.size() - pos));
  for (int guard = 0; guard < 1000 && call(nullptr, 0) != 0; ++guard) {
  }
  return result;
}

template <typename T>
std::vector<uint8_t> Bytes(const std::vector<T>& v) {
  std::vector<uint8_t> b(v.size() * sizeof(T));
  std::memcpy(b.data(), v.data(), b.size());
  return b;
}

std::vector<int16_t> Samples16(const std::vector<uint8_t>& b) {
  std::vector<int16_t> v(b.size() / 2);
  std::memcpy(v.data(), b.data(), v.size() * 2);
  return v;
}

struct Wav {
  int rate = 0, channels = 0, bits = 0;
  std::vector<uint8_t> data;
};

Wav ReadWav(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Wav w;
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) || std::memcmp(file.data() + 8, "WAVE", 4)) return w;
  size_t pos = 12;
  while (pos + 8 <= file.size()) {
    uint32_t size;
    std::memcpy(&size, file.data() + pos + 4, 4);
    const uint8_t* body = file.data() + pos + 8;
    const size_t avail = std::min<size_t>(size, file.size() - pos - 8);
    if (!std::memcmp(file.data() + pos, "fmt ", 4) && avail >= 16) {
      uint16_t ch, bits;
      uint32_t rate;
      std::memcpy(&ch, body + 2, 2);
      std::memcpy(&rate, body + 4, 4);
      std::memcpy(&bits, body + 14, 2);
      w.channels = ch;
      w.rate = static_cast<int>(rate);
      w.bits = bits;
    } else if (!std::memcmp(file.data() + pos, "data", 4)) {
      w.data.assign(body, body + avail);
    }
    pos += 8 + size + (size & 1);
  }
  return w;
}

fs::path FixtureDir() {
  const fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "afilter";
  fs::create_directories(dir);
  return dir;
}

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// 60 s of a two-tone stereo signal at the rate, and sndfile-resample's
// conversion of it to the other rate at medium sinc quality.
void CompareWithSndfileResample(int fromRate, int toRate) {
  const fs::path dir = FixtureDir();
  const fs::path src = dir / ("tone_" + std::to_string(fromRate) + ".wav");
  const fs::path ref = dir / ("tone_" + std::to_string(fromRate) + "_to_" + std::to_string(toRate) + ".wav");
  ASSERT_TRUE(Shell("ffmpeg -nostdin -v error -y -f lavfi -i 'aevalsrc=0.4*sin(2*PI*440*t)|0.3*sin(2*PI*3001*t):s=" +
                    std::to_string(fromRate) + ":d=60' -c:a pcm_s16le '" + src.string() + "'"));
  ASSERT_TRUE(Shell("sndfile-resample -to " + std::to_string(toRate) + " -c 1 '" + src.string() + "' '" + ref.string() +
                    "' > /dev/null"));
  const Wav in = ReadWav(src), expected = ReadWav(ref);
  ASSERT_EQ(in.channels, 2);
  ASSERT_EQ(in.bits, 16);
  ASSERT_EQ(in.data.size(), static_cast<size_t>(fromRate) * 60 * 4);
  ASSERT_EQ(expected.rate, toRate);
  ASSERT_EQ(expected.bits, 16);

  auto f = MakeResampler({kAudioKindPcm, fromRate, 16, 2}, 0, toRate, 0);
  // 5,000-byte pieces: 1,250 frames, whose output is not a whole number of frames.
  const std::vector<int16_t> got = Samples16(Feed(f.get(), in.data, 5000));
  const std::vector<int16_t> want = Samples16(expected.data);

  const int64_t inFrames = static_cast<int64_t>(in.data.size() / 4);
  const int64_t exact = inFrames * toRate / fromRate;
  const int64_t gotFrames = static_cast<int64_t>(got.size() / 2);
  EXPECT_LE(std::abs(gotFrames - exact), 1) << "frames " << gotFrames << " for " << inFrames;
  EXPECT_LE(std::abs(gotFrames - static_cast<int64_t>(want.size() / 2)), 1);

  const size_t n = std::min(got.size(), want.size());
  size_t worst = 0, off = 0;
  for (size_t i = 0; i < n; ++i) {
    const size_t d = static_cast<size_t>(std::abs(got[i] - want[i]));
    if (d > 1) ++off;
    worst = std::max(worst, d);
  }
  EXPECT_EQ(off, 0u) << "samples differing by more than 1; worst " << worst;
}

TEST(ResampleFilter, Upsamples44100To48000LikeSndfileResample) { CompareWithSndfileResample(44100, 48000); }
TEST(ResampleFilter, Downsamples48000To44100LikeSndfileResample) { CompareWithSndfileResample(48000, 44100); }

TEST(ResampleFilter, EqualRates16To8BitsIsUnsignedWithoutConverter) {
  auto f = MakeResampler({kAudioKindPcm, 44100, 16, 2}, 0, 0, 8);
  AudioFormat out{};
  ASSERT_EQ(f->GetOutputFormat(&out), S_OK);
  EXPECT_EQ(out.bitsPerSample, 8);
  EXPECT_EQ(out.samplesPerSec, 44100);
  const std::vector<int16_t> in = {-32768, 32767, 0, -1, 256, -256};
  EXPECT_EQ(Feed(f.get(), Bytes(in), 4), (std::vector<uint8_t>{0, 255, 128, 127, 129, 127}));
}

TEST(ResampleFilter, EqualRatesChannelTable) {
  struct Case {
    int inCh, inBits, outCh, outBits;
    std::vector<uint8_t> in, out;
  };
  auto s16 = [](std::initializer_list<int16_t> v) { return Bytes(std::vector<int16_t>(v)); };
  const Case cases[] = {
      // Six 16-bit channels to stereo: L = sum of 0-2, R = sum of 3-5, saturated.
      {6, 16, 2, 16, s16({10000, 10000, 10000, 20000, 20000, -1}), s16({30000, 32767})},
      {6, 16, 2, 16, s16({-20000, -20000, 1, 1, 2, 3}), s16({-32768, 6})},
      {2, 16, 1, 16, s16({1000, 3001}), s16({2000})},
      {1, 16, 2, 16, s16({-7}), s16({-7, -7})},
      {2, 16, 6, 16, s16({1, 2}), s16({1, 2, 1, 1, 1, 1})},
      {3, 16, 2, 16, s16({1, 2, 3}), s16({1, 2})},
      // Down-mixing needs 16 bits at both ends; otherwise channel 0 is taken.
      {2, 8, 1, 8, {10, 250}, {10}},
      {2, 16, 1, 8, s16({256, 32767}), {129}},
      {6, 16, 2, 24, s16({1, 2, 3, 4, 5, 6}), {0, 1, 0, 0, 2, 0}},
  };
  for (const auto& c : cases) {
    auto f = MakeResampler({kAudioKindPcm, 32000, c.inBits, c.inCh}, c.outCh, 0, c.outBits);
    EXPECT_EQ(Feed(f.get(), c.in, static_cast<uint32_t>(c.inCh * c.inBits / 8)), c.out)
        << c.inCh << "x" << c.inBits << " -> " << c.outCh << "x" << c.outBits;
  }
}

TEST(ResampleFilter, RefusesFormatsAndSettingsItCannotConvert) {
  FilterPtr f(CResampleFilter::Create(nullptr));
  const AudioFormat bad[] = {{kAudioKindFloat, 44100, 32, 2},
                             {kAudioKindPcm, 44100, 20, 2},
                             {kAudioKindPcm, 44100, 16, 0},
                             {kAudioKindPcm, 0, 16, 2}};
  for (const auto& fmt : bad) EXPECT_EQ(f->Init(&fmt), E_FAIL);
  const AudioFormat good{kAudioKindPcm, 44100, 16, 2};
  ASSERT_EQ(f->Init(&good), S_OK);
  CParamList params;
  params.SetInt("BITSPERSAMPLE", 12);
  EXPECT_EQ(f->SetParams(&params), E_FAIL);
  AudioFormat out{};
  f->GetOutputFormat(&out);
  EXPECT_EQ(out.bitsPerSample, 16);
  EXPECT_EQ(f->GetMaxInputChunk(), 5000);
  EXPECT_EQ(f->GetBlockMultiplier(), 1);

  // A later Init resets the output to the input format.
  params.SetInt("BITSPERSAMPLE", 24);
  params.SetInt("SAMPLERATE", 48000);
  ASSERT_EQ(f->SetParams(&params), S_OK);
  ASSERT_EQ(f->Init(&good), S_OK);
  f->GetOutputFormat(&out);
  EXPECT_EQ(out.bitsPerSample, 16);
  EXPECT_EQ(out.samplesPerSec, 44100);

  // A ratio beyond the converter's range is refused at Start.
  params.SetInt("SAMPLERATE", 44100 * 300);
  ASSERT_EQ(f->SetParams(&params), S_OK);
  testing::internal::CaptureStdout();
  EXPECT_EQ(f->Start(), E_FAIL);
  testing::internal::GetCapturedStdout();
}

TEST(ResampleFilter, Upsamples8000MonoTo192000EightChannels) {
  auto f = MakeResampler({kAudioKindPcm, 8000, 16, 1}, 8, 192000, 16);
  ASSERT_EQ(f->Start(), S_OK);    // a second Start replaces the converter
  std::vector<int16_t> in(8000);  // one second
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * i / 8000.0));
  const std::vector<int16_t> out = Samples16(Feed(f.get(), Bytes(in), 320));
  ASSERT_EQ(out.size() % 8, 0u);
  EXPECT_LE(std::abs(static_cast<long>(out.size() / 8) - 192000), 1);
  for (size_t i = 0; i + 8 <= out.size(); i += 8)
    for (int c = 1; c < 8; ++c) ASSERT_EQ(out[i + c], out[i]) << "frame " << i / 8;
  const int16_t peak = *std::max_element(out.begin(), out.end());
  EXPECT_NEAR(peak, 8000, 100);
}

TEST(ResampleFilter, BufferTooSmallWritesNothingAndKeepsGoing) {
  auto f = MakeResampler({kAudioKindPcm, 44100, 16, 2}, 0, 48000, 0);
  std::vector<int16_t> in(2 * 4410, 1000);
  std::vector<uint8_t> out(100, 0xEE);
  AudioBuffer a{static_cast<uint32_t>(in.size() * 2), reinterpret_cast<uint8_t*>(in.data())};
  AudioBuffer b{static_cast<uint32_t>(out.size()), out.data()};
  testing::internal::CaptureStdout();
  EXPECT_EQ(f->Process(&a, &b), E_FAIL);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "audio buffer too small\n");
  EXPECT_EQ(b.length, 0u);
  EXPECT_EQ(out, std::vector<uint8_t>(100, 0xEE));

  // Exactly the computed size: every frame the converter makes is kept,
  // the few that do not fit come out in the next call.
  size_t total = 0;
  for (int i = 0; i < 10; ++i) {
    out.assign(4800 * 4, 0);
    b = {static_cast<uint32_t>(out.size()), out.data()};
    ASSERT_EQ(f->Process(&a, &b), S_OK);
    total += b.length / 4;
  }
  for (;;) {
    out.assign(4800 * 4, 0);
    AudioBuffer empty{0, nullptr};
    b = {static_cast<uint32_t>(out.size()), out.data()};
    ASSERT_EQ(f->Process(&empty, &b), S_OK);
    if (b.length == 0) break;
    total += b.length / 4;
  }
  EXPECT_LE(std::abs(static_cast<long>(total) - 48000), 1);
}

// A full-scale square wave makes the converter overshoot past -1 and +1: the
// 8- and 24-bit outputs must saturate like the 16-bit one, never wrap.
TEST(ResampleFilter, OvershootSaturatesAtBothEndsForEveryWidth) {
  std::vector<int16_t> in(44100);
  for (size_t i = 0; i < in.size(); ++i) in[i] = (i / 100) % 2 ? -32768 : 32767;
  auto run = [&](int bits) {
    auto f = MakeResampler({kAudioKindPcm, 44100, 16, 1}, 0, 48000, bits);
    return Feed(f.get(), Bytes(in), 3528);
  };
  const std::vector<int16_t> ref = Samples16(run(16));
  const std::vector<uint8_t> out8 = run(8), out24 = run(24), out32 = run(32);
  ASSERT_EQ(out8.size(), ref.size());
  ASSERT_EQ(out24.size(), ref.size() * 3);
  ASSERT_EQ(out32.size(), ref.size() * 4);
  EXPECT_EQ(*std::min_element(ref.begin(), ref.end()), -32768);
  EXPECT_EQ(*std::max_element(ref.begin(), ref.end()), 32767);
  for (size_t i = 0; i < ref.size(); ++i) {
    const int v8 = out8[i] - 128;
    const int32_t v24 =
        static_cast<int32_t>((out24[i * 3] << 8) | (out24[i * 3 + 1] << 16) | (out24[i * 3 + 2] << 24)) >> 8;
    int32_t v32;
    std::memcpy(&v32, out32.data() + i * 4, 4);
    ASSERT_LE(std::abs(v8 - (ref[i] >> 8)), 1) << "8-bit sample " << i;
    ASSERT_LE(std::abs((v24 >> 8) - ref[i]), 1) << "24-bit sample " << i;
    ASSERT_LE(std::abs((v32 >> 16) - ref[i]), 1) << "32-bit sample " << i;
  }
}

}  // namespace
