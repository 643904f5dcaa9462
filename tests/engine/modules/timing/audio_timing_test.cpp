// Audio delay, normalise and the audio merger: samples in with their times,
// buffers out with their times, split over small output buffers where needed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/modules/timing/audio_delay.h"
#include "engine/modules/timing/audio_merger.h"
#include "engine/modules/timing/audio_normalize.h"
#include "tests/engine/modules/timing/timing_harness.h"

namespace {

constexpr REFERENCE_TIME kSecond = 10000000;

REFERENCE_TIME At(int64_t frames, int rate) { return frames * kSecond / rate; }

std::vector<uint8_t> Counting(size_t bytes, uint8_t seed = 0) {
  std::vector<uint8_t> v(bytes);
  for (size_t i = 0; i < bytes; ++i) v[i] = uint8_t(i * 13 + seed + i / 253);
  return v;
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes(values.size() * 2);
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

std::vector<int16_t> Values(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> v(bytes.size() / 2);
  std::memcpy(v.data(), bytes.data(), v.size() * 2);
  return v;
}

// Every delivered buffer's frames follow on from the previous one's.
void ExpectContiguous(const ModuleHarness& h, int rate, uint32_t frameBytes, int64_t firstFrame = 0) {
  int64_t frames = firstFrame;
  for (const Delivered& d : h.samples) {
    if (d.data.empty()) continue;
    EXPECT_EQ(0u, d.data.size() % frameBytes);
    EXPECT_EQ(At(frames, rate), d.start);
    frames += int64_t(d.data.size() / frameBytes);
    EXPECT_EQ(At(frames, rate), d.stop);
  }
}

// ---- Audio delay ----

IMediaModule* NewDelay(int rate, int channels, int bits, const std::string& params) {
  IMediaModule* m = CAudioDelay::Create(nullptr);
  TypeHolder in;
  MakePcmType(in.Get(), rate, channels, bits);
  EXPECT_EQ(S_OK, m->SetInputType(0, in.Get(), 0));
  CParamList p;
  p.ParseText(params.c_str());
  EXPECT_EQ(S_OK, m->SetParams(&p));
  return m;
}

TEST(AudioDelay, PositiveDelayInsertsSilenceInFifthsOfASecond) {
  ModuleHarness h(NewDelay(48000, 2, 16, "\"DELAY\"=F0.5"));
  EXPECT_EQ(24000, static_cast<CAudioDelay*>(h.Module())->Pending());
  const std::vector<uint8_t> first = Counting(4000), second = Counting(400, 9);
  h.Feed(first, 777);  // input times do not count
  h.Feed(second);
  h.End();
  ASSERT_EQ(5u, h.samples.size());
  const size_t silence[] = {9600, 9600, 4800};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(silence[i] * 4, h.samples[i].data.size());
    EXPECT_EQ(std::vector<uint8_t>(silence[i] * 4, 0), h.samples[i].data);
  }
  EXPECT_EQ(first, h.samples[3].data);
  EXPECT_EQ(second, h.samples[4].data);
  ExpectContiguous(h, 48000, 4);
  EXPECT_EQ(5 * kSecond / 10, h.samples[3].start);
  EXPECT_EQ(1, h.ends);
}

TEST(AudioDelay, NegativeDelaySkipsTheStartSplittingASample) {
  ModuleHarness h(NewDelay(44100, 1, 16, "\"DELAY\"=F-0.1"));
  EXPECT_EQ(-4410, static_cast<CAudioDelay*>(h.Module())->Pending());
  std::vector<uint8_t> all = Counting(20000);  // 10,000 frames in samples of 1,000
  for (size_t at = 0; at < all.size(); at += 2000)
    h.Feed(std::vector<uint8_t>(all.begin() + long(at), all.begin() + long(at + 2000)), long(at) * 1000);
  EXPECT_EQ(std::vector<uint8_t>(all.begin() + 2 * 4410, all.end()), h.AllData());
  ASSERT_EQ(6u, h.samples.size());  // four whole samples dropped, the fifth cut
  EXPECT_EQ(590u * 2, h.samples[0].data.size());
  ExpectContiguous(h, 44100, 2);
}

TEST(AudioDelay, SkipEndingOnASampleBoundary) {
  ModuleHarness h(NewDelay(8000, 1, 16, "\"DELAY\"=F-0.25"));  // 2,000 frames
  h.Feed(Counting(2000));
  h.Feed(Counting(2000, 1));
  const std::vector<uint8_t> kept = Counting(500, 2);
  h.Feed(kept);
  ASSERT_EQ(1u, h.samples.size());
  EXPECT_EQ(kept, h.samples[0].data);
  EXPECT_EQ(0, h.samples[0].start);
}

TEST(AudioDelay, MarkersPassAndZeroDelayPassesEverything) {
  ModuleHarness h(NewDelay(8000, 2, 16, ""));
  h->Receive(0, MakeMarker());
  const std::vector<uint8_t> data = Counting(800);
  h.Feed(data, 5 * kSecond);
  h->Receive(0, MakeMarker());
  h.Feed(data);
  ASSERT_EQ(4u, h.samples.size());
  EXPECT_TRUE(h.samples[0].discontinuity);
  EXPECT_TRUE(h.samples[0].data.empty());
  EXPECT_EQ(data, h.samples[1].data);
  EXPECT_EQ(0, h.samples[1].start);
  EXPECT_TRUE(h.samples[2].discontinuity);
  EXPECT_EQ(At(200, 8000), h.samples[3].start);
}

TEST(AudioDelay, SilenceLargerThanAnOutputBufferIsSplit) {
  // 192 kHz, 8 channels of 32 bits: a fifth of a second is 1,228,800 bytes,
  // more than an audio buffer holds.
  IMediaModule* m = NewDelay(192000, 8, 32, "\"DELAY\"=F0.3");
  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(S_OK, m->GetAllocatorRequirements(0, &props));
  EXPECT_EQ(1152000, props.cbBuffer);
  EXPECT_EQ(1, props.cBuffers);
  ModuleHarness h(m, 2, props.cbBuffer);
  h.Feed(Counting(3200));
  size_t silence = 0;
  for (size_t i = 0; i + 1 < h.samples.size(); ++i) {
    EXPECT_LE(h.samples[i].data.size(), size_t(props.cbBuffer));
    for (uint8_t b : h.samples[i].data) silence += b == 0;
  }
  EXPECT_EQ(57600u * 32, silence);
  EXPECT_EQ(Counting(3200), h.samples.back().data);
  ExpectContiguous(h, 192000, 32);
}

TEST(AudioDelay, EightBitSilenceIsTheMiddleValue) {
  ModuleHarness h(NewDelay(8000, 1, 8, "\"DELAY\"=F0.01"));
  h.Feed({1, 2, 3});
  ASSERT_EQ(2u, h.samples.size());
  EXPECT_EQ(std::vector<uint8_t>(80, 0x80), h.samples[0].data);
}

// ---- Types of the audio modules ----

TEST(AudioTiming, InputTypes) {
  TypeHolder pcm16, pcm24, pcm8, flt, mp3, mp2, mpeg2, mp2NoWave, aac, mp3Short, noRate;
  MakePcmType(pcm16.Get(), 44100, 2, 16);
  MakePcmType(pcm24.Get(), 44100, 2, 24);
  MakePcmType(pcm8.Get(), 44100, 1, 8);
  MakeWaveType(flt.Get(), MEDIASUBTYPE_IEEE_FLOAT, 44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT);
  MakeWaveType(mp3.Get(), FourccGuid(0x55), 44100, 2, 0, 0x55);
  MakeWaveType(mp2.Get(), FourccGuid(0x50), 48000, 2, 0, 0x50);
  MakeWaveType(mpeg2.Get(), MEDIASUBTYPE_MPEG2_AUDIO, 48000, 2, 0, 0x50);
  MakeWaveType(mp2NoWave.Get(), FourccGuid(0x50), 48000, 2, 0, 0x50);
  mp2NoWave->formattype = FORMAT_None;
  MakeWaveType(aac.Get(), FourccGuid(0xFF), 44100, 2, 0, 0xFF);
  MakeWaveType(mp3Short.Get(), FourccGuid(0x55), 44100, 2, 0, 0x55);
  mp3Short->cbFormat = 8;
  MakePcmType(noRate.Get(), 0, 2, 16);

  struct Case {
    const char* label;
    AM_MEDIA_TYPE* type;
    HRESULT delay, normalize, merger, pcmMerger, pcmOnlyMerger;
  };
  // merger: no parameters ("MP3" 1, "PCM" 0); pcmMerger: "MP3"=1,"PCM"=1;
  // pcmOnlyMerger: "MP3"=0,"PCM"=1.
  const Case cases[] = {
      {"16-bit PCM", pcm16.Get(), S_OK, S_OK, E_FAIL, S_OK, S_OK},
      {"24-bit PCM", pcm24.Get(), S_OK, E_FAIL, E_FAIL, S_OK, S_OK},
      {"8-bit PCM", pcm8.Get(), S_OK, E_FAIL, E_FAIL, S_OK, S_OK},
      {"float", flt.Get(), E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
      {"MP3", mp3.Get(), E_FAIL, E_FAIL, S_OK, S_OK, E_FAIL},
      {"MPEG-1 audio", mp2.Get(), E_FAIL, E_FAIL, S_OK, S_OK, E_FAIL},
      {"MPEG-2 audio", mpeg2.Get(), E_FAIL, E_FAIL, S_OK, S_OK, E_FAIL},
      {"MPEG-1 audio without a wave format", mp2NoWave.Get(), E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
      {"AAC", aac.Get(), E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
      {"MP3 with a short format block", mp3Short.Get(), E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
      {"PCM without a rate", noRate.Get(), E_FAIL, E_FAIL, E_FAIL, E_FAIL, E_FAIL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ModuleHarness delay(CAudioDelay::Create(nullptr)), normalize(CAudioNormalize::Create(nullptr)),
        merger(CAudioMerger::Create(nullptr)), pcmMerger(CAudioMerger::Create(nullptr)),
        pcmOnly(CAudioMerger::Create(nullptr));
    pcmMerger.SetParams("\"MP3\"=1,\"PCM\"=1");
    pcmOnly.SetParams("\"MP3\"=0,\"PCM\"=1");
    EXPECT_EQ(c.delay, delay->SetInputType(0, c.type, 0));
    EXPECT_EQ(c.normalize, normalize->SetInputType(0, c.type, 0));
    EXPECT_EQ(c.merger, merger->SetInputType(0, c.type, 0));
    EXPECT_EQ(c.pcmMerger, pcmMerger->SetInputType(0, c.type, 0));
    EXPECT_EQ(c.pcmOnlyMerger, pcmOnly->SetInputType(0, c.type, 0));
  }
  // Another pin, and a test that stores nothing.
  ModuleHarness delay(CAudioDelay::Create(nullptr));
  EXPECT_EQ(E_FAIL, delay->SetInputType(1, pcm16.Get(), 0));
  EXPECT_EQ(S_OK, delay->SetInputType(0, pcm16.Get(), 1));
  TypeHolder out;
  EXPECT_EQ(E_FAIL, delay->GetOutputType(0, 0, out.Get()));
  ASSERT_EQ(S_OK, delay->SetInputType(0, pcm16.Get(), 0));
  ASSERT_EQ(S_OK, delay->GetOutputType(0, 0, out.Get()));
  EXPECT_EQ(MEDIASUBTYPE_PCM, out->subtype);
  EXPECT_EQ(MODULE_E_NO_TYPE, delay->GetOutputType(0, 1, out.Get()));
  EXPECT_EQ(MODULE_E_NO_TYPE, delay->GetInputType(0, 1, out.Get()));
}

// ---- Audio normalize ----

IMediaModule* NewNormalize(int rate, int channels) {
  IMediaModule* m = CAudioNormalize::Create(nullptr);
  TypeHolder in;
  MakePcmType(in.Get(), rate, channels, 16);
  EXPECT_EQ(S_OK, m->SetInputType(0, in.Get(), 0));
  EXPECT_EQ(S_OK, m->Run());
  return m;
}

TEST(AudioNormalize, SilenceRisesToTheLimitByAFifthPerBlock) {
  ModuleHarness h(NewNormalize(48000, 2));
  auto* normalize = static_cast<CAudioNormalize*>(h.Module());
  const double limit = 32767.0 / 3276.0;
  double gain = 1.0;
  int steps = 0;
  // Three samples of 24,000 bytes fill a block; the fourth flushes it.
  for (int i = 0; i < 60; ++i) {
    h.Feed(std::vector<uint8_t>(24000, 0));
    if (normalize->Gain() != gain) {
      EXPECT_LE(normalize->Gain(), gain * 1.2 + 1e-9);
      gain = normalize->Gain();
      ++steps;
    }
  }
  EXPECT_DOUBLE_EQ(limit, gain);
  EXPECT_EQ(13, steps);  // 1.2^12 < 10.002 <= 1.2^13
  for (const Delivered& d : h.samples) EXPECT_EQ(72000u, d.data.size());
  ExpectContiguous(h, 48000, 4);
}

TEST(AudioNormalize, GainRampsWithinABlockAndFallsAtOnce) {
  ModuleHarness h(NewNormalize(8000, 1));
  // Peak 16,384: the gain may rise from 1 to 1.2 across the block.
  std::vector<int16_t> quiet(1000);
  for (size_t i = 0; i < quiet.size(); ++i) quiet[i] = int16_t((i % 2 ? -1 : 1) * (i == 500 ? 16384 : 1000 + int(i)));
  h.Feed(Pcm16(quiet));
  h.End();
  ASSERT_EQ(1u, h.samples.size());
  const std::vector<int16_t> out = Values(h.samples[0].data);
  ASSERT_EQ(quiet.size(), out.size());
  for (size_t i = 0; i < out.size(); ++i) {
    const double g = 1.0 + (1.2 - 1.0) * double(i) / double(quiet.size());
    EXPECT_EQ(int16_t(std::floor(g * quiet[i] + 0.5)), out[i]) << i;
  }
  EXPECT_DOUBLE_EQ(1.2, static_cast<CAudioNormalize*>(h.Module())->Gain());
  EXPECT_TRUE(h.samples[0].discontinuity);
  EXPECT_TRUE(h.samples[0].sync);
  EXPECT_FALSE(h.samples[0].preroll);
  EXPECT_EQ(1, h.ends);

  // A full-scale block after a gain of 1.2: unity at once, samples unchanged.
  ModuleHarness loud(NewNormalize(8000, 1));
  loud.Feed(Pcm16(quiet));
  std::vector<int16_t> full;
  for (int i = 0; i < 6800; ++i) full.insert(full.end(), {32767, -32767, -5, 5, -1, 0, 1234});
  loud.Feed(Pcm16(full));  // does not fit beside the quiet block, which goes first
  loud.End();
  ASSERT_EQ(2u, loud.samples.size());
  EXPECT_EQ(quiet.size() * 2, loud.samples[0].data.size());
  EXPECT_EQ(full, Values(loud.samples[1].data));
  EXPECT_DOUBLE_EQ(1.0, static_cast<CAudioNormalize*>(loud.Module())->Gain());
}

TEST(AudioNormalize, LargeSamplesAndSmallBuffersAreSplit) {
  IMediaModule* m = NewNormalize(44100, 2);
  ModuleHarness h(m, 2, 10000);
  const std::vector<uint8_t> big(250000, 0);
  EXPECT_EQ(S_OK, h.Feed(big));
  h.End();
  size_t total = 0;
  for (const Delivered& d : h.samples) {
    EXPECT_LE(d.data.size(), size_t(d.bufferSize));
    EXPECT_LT(d.data.size(), 20000u);
    total += d.data.size();
  }
  EXPECT_EQ(big.size(), total);
  ExpectContiguous(h, 44100, 4);
  EXPECT_EQ(1, h.ends);
}

TEST(AudioNormalize, MarkerRebasesTheTimeAtTheNextSample) {
  ModuleHarness h(NewNormalize(8000, 1));
  h.Feed(Pcm16(std::vector<int16_t>(800, 100)), 3 * kSecond);  // times count from 0 at first
  h->Receive(0, MakeMarker());
  h.Feed(Pcm16(std::vector<int16_t>(400, 100)));  // no time: still to re-base
  h.Feed(Pcm16(std::vector<int16_t>(400, 100)), 2 * kSecond);
  h.End();
  // Buffered bytes stay across the marker and count from the re-based time.
  ASSERT_EQ(2u, h.samples.size());
  EXPECT_TRUE(h.samples[0].data.empty());
  EXPECT_TRUE(h.samples[0].discontinuity);
  EXPECT_EQ(2 * kSecond, h.samples[1].start);
  EXPECT_EQ(At(16000 + 1600, 8000), h.samples[1].stop);
  EXPECT_EQ(3200u, h.samples[1].data.size());
}

TEST(AudioNormalize, EndOfAnEmptyStreamDeliversNoEmptyBuffer) {
  ModuleHarness h(NewNormalize(8000, 1));
  h.End();
  EXPECT_TRUE(h.samples.empty());
  EXPECT_EQ(1, h.ends);
}

// ---- Audio merger ----

TEST(AudioMerger, PcmBlocksOf1024Frames) {
  struct Case {
    int channels, bits;
    uint32_t block;
  };
  for (const Case& c : {Case{2, 16, 4096}, Case{1, 16, 2048}, Case{6, 24, 18432}}) {
    SCOPED_TRACE(c.channels * 100 + c.bits);
    ModuleHarness h(CAudioMerger::Create(nullptr));
    ASSERT_EQ(S_OK, h.SetParams("\"MP3\"=0,\"PCM\"=1"));
    TypeHolder in;
    MakePcmType(in.Get(), 44100, c.channels, c.bits);
    ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
    ASSERT_EQ(S_OK, h->Run());
    const uint32_t frameBytes = uint32_t(c.channels * c.bits / 8);
    const std::vector<uint8_t> all = Counting(7500 * frameBytes);
    for (size_t at = 0; at < all.size(); at += 3333) {
      const size_t end = std::min(all.size(), at + 3333);
      h.Feed(std::vector<uint8_t>(all.begin() + long(at), all.begin() + long(end)), 99 * kSecond);
    }
    ASSERT_EQ(7u, h.samples.size());
    for (const Delivered& d : h.samples) EXPECT_EQ(c.block, d.data.size());
    h.End();  // the 332 frames short of a block
    ASSERT_EQ(8u, h.samples.size());
    EXPECT_EQ(332u * frameBytes, h.samples.back().data.size());
    EXPECT_EQ(all, h.AllData());
    ExpectContiguous(h, 44100, frameBytes);
    EXPECT_EQ(At(1024, 44100), h.samples[1].start);
  }
}

TEST(AudioMerger, PcmMarkerDiscardsHeldBytesAndRebases) {
  ModuleHarness h(CAudioMerger::Create(nullptr));
  ASSERT_EQ(S_OK, h.SetParams("\"PCM\"=1"));
  TypeHolder in;
  MakePcmType(in.Get(), 48000, 2, 16);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  ASSERT_EQ(S_OK, h->Run());
  EXPECT_FALSE(static_cast<CAudioMerger*>(h.Module())->MpegMode());
  h.Feed(Counting(5000), 0);
  h->Receive(0, MakeMarker());
  h.Feed(Counting(4096, 3), 2 * kSecond);
  ASSERT_EQ(3u, h.samples.size());
  EXPECT_EQ(0, h.samples[0].start);
  EXPECT_TRUE(h.samples[1].discontinuity);
  EXPECT_TRUE(h.samples[1].data.empty());
  EXPECT_EQ(Counting(4096, 3), h.samples[2].data);
  EXPECT_EQ(2 * kSecond, h.samples[2].start);
}

TEST(AudioMerger, InputLargerThanTheBufferRoomIsAppendedInPieces) {
  // Eight channels: up to 16,383 bytes wait for a block, and an input of
  // 1,152,000 bytes more than fills what is left of the buffer.
  ModuleHarness h(CAudioMerger::Create(nullptr));
  ASSERT_EQ(S_OK, h.SetParams("\"MP3\"=0,\"PCM\"=1"));
  TypeHolder in;
  MakePcmType(in.Get(), 48000, 8, 16);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  ASSERT_EQ(S_OK, h->Run());
  const std::vector<uint8_t> first = Counting(16368), second = Counting(1152000, 5);
  h.Feed(first);
  h.Feed(second);
  h.End();
  std::vector<uint8_t> all = first;
  all.insert(all.end(), second.begin(), second.end());
  EXPECT_EQ(all, h.AllData());
  ExpectContiguous(h, 48000, 16);
}

// An MPEG-1 Layer III frame of 128 kbit/s at 44.1 kHz: 417 bytes, 418 padded.
std::vector<uint8_t> Mp3Frame(bool padded, uint8_t fill) {
  std::vector<uint8_t> f(padded ? 418 : 417, fill);
  f[0] = 0xFF;
  f[1] = 0xFB;
  f[2] = padded ? 0x92 : 0x90;
  f[3] = 0x64;
  return f;
}

IMediaModule* NewMpegMerger(int rate) {
  IMediaModule* m = CAudioMerger::Create(nullptr);
  TypeHolder in;
  MakeWaveType(in.Get(), FourccGuid(0x55), rate, 2, 0, 0x55);
  EXPECT_EQ(S_OK, m->SetInputType(0, in.Get(), 0));
  EXPECT_EQ(S_OK, m->Run());
  return m;
}

TEST(AudioMerger, MpegFramesAreFoundPastJunkAndDeliveredWhole) {
  ModuleHarness h(NewMpegMerger(44100));
  EXPECT_TRUE(static_cast<CAudioMerger*>(h.Module())->MpegMode());
  const std::vector<uint8_t> f1 = Mp3Frame(false, 0x11), f2 = Mp3Frame(true, 0x22), f3 = Mp3Frame(false, 0x33),
                             f4 = Mp3Frame(true, 0x44);
  std::vector<uint8_t> stream(100, 'j');
  for (const auto* f : {&f1, &f2}) stream.insert(stream.end(), f->begin(), f->end());
  stream.insert(stream.end(), {0xFF, 0x00, 'x'});  // a false start
  stream.insert(stream.end(), f3.begin(), f3.end());
  stream.insert(stream.end(), f4.begin(), f4.begin() + 200);  // cut short
  for (size_t at = 0; at < stream.size(); at += 150)
    h.Feed(std::vector<uint8_t>(stream.begin() + long(at), stream.begin() + long(std::min(stream.size(), at + 150))));
  h.End();
  ASSERT_EQ(3u, h.samples.size());
  EXPECT_EQ(f1, h.samples[0].data);
  EXPECT_EQ(f2, h.samples[1].data);
  EXPECT_EQ(f3, h.samples[2].data);
  EXPECT_EQ((std::vector<REFERENCE_TIME>{0, At(1152, 44100), At(2304, 44100)}), h.Starts());
  EXPECT_EQ(At(3456, 44100), h.samples[2].stop);
  EXPECT_EQ(1, h.ends);
}

TEST(AudioMerger, MpegAfterAMarkerWaitsForATimedSample) {
  ModuleHarness h(NewMpegMerger(44100));
  const std::vector<uint8_t> f = Mp3Frame(false, 0x55);
  h.Feed(f);
  h->Receive(0, MakeMarker());
  h.Feed(f);               // no time to count from: dropped
  h.Feed(f, 1 * kSecond);  // counts from 1 s
  h.Feed(f);
  ASSERT_EQ(4u, h.samples.size());
  EXPECT_EQ(0, h.samples[0].start);
  EXPECT_TRUE(h.samples[1].discontinuity);
  EXPECT_EQ(At(44100, 44100), h.samples[2].start);
  EXPECT_EQ(At(44100 + 1152, 44100), h.samples[3].start);
}

}  // namespace
