#include "engine/modules/filters/audio_filter_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/audio_resample_filter.h"
#include "engine/modules/filters/audio_volume_filter.h"
#include "platform/task_allocator.h"

namespace {

struct Delivered {
  std::vector<uint8_t> data;
  REFERENCE_TIME start = 0, stop = 0;
  bool discontinuity = false, sync = false;
};

struct Collector {
  std::vector<Delivered> samples;
  int ends = 0;

  static HRESULT Deliver(IMediaSample* sample, void* context) {
    auto* self = static_cast<Collector*>(context);
    if (!sample) {
      ++self->ends;
      return S_OK;
    }
    Delivered d;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    d.data.assign(p, p + sample->GetActualDataLength());
    sample->GetTime(&d.start, &d.stop);
    d.discontinuity = sample->IsDiscontinuity() == S_OK;
    d.sync = sample->IsSyncPoint() == S_OK;
    self->samples.push_back(std::move(d));
    sample->Release();
    return S_OK;
  }

  std::vector<uint8_t> AllData() const {
    std::vector<uint8_t> all;
    for (const auto& s : samples) all.insert(all.end(), s.data.begin(), s.data.end());
    return all;
  }
};

IMediaSample* MakeSample(const std::vector<uint8_t>& bytes, REFERENCE_TIME start = -1, bool discontinuity = false) {
  auto* buffer = new BYTE[bytes.size() + 1];
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  // The sample does not own its buffer: keep it alive for the test's duration.
  static std::vector<std::unique_ptr<BYTE[]>> buffers;
  buffers.emplace_back(buffer);
  auto* s = new CMediaSample(nullptr, buffer, static_cast<LONG>(bytes.size()));
  s->AddRef();
  if (start >= 0) {
    REFERENCE_TIME stop = start + 1;
    s->SetTime(&start, &stop);
  }
  s->SetDiscontinuity(discontinuity);
  return s;
}

struct WaveType {
  AM_MEDIA_TYPE mt{};
  WAVEFORMATEX wfx{};
  WaveType(WORD tag, int rate, int bits, int channels) {
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.formattype = FORMAT_WaveFormatEx;
    wfx.wFormatTag = tag;
    wfx.nChannels = static_cast<WORD>(channels);
    wfx.nSamplesPerSec = static_cast<DWORD>(rate);
    wfx.wBitsPerSample = static_cast<WORD>(bits);
    wfx.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    wfx.nAvgBytesPerSec = wfx.nBlockAlign * wfx.nSamplesPerSec;
    mt.cbFormat = sizeof wfx;
    mt.pbFormat = reinterpret_cast<BYTE*>(&wfx);
  }
};

// A host around a filter, connected to a collector through a committed allocator.
class HostRig {
 public:
  HostRig(AudioFilterFactory factory, const WaveType& input, CParamList* filterParams, LONG outBuffer) {
    CParamList params;
    params.SetPtr("FNAF", reinterpret_cast<void*>(factory));
    host_ = static_cast<CAudioFilterHost*>(CAudioFilterHost::Create(&params));
    EXPECT_NE(host_, nullptr);
    EXPECT_EQ(host_->SetInputType(0, &input.mt, 0), S_OK);
    if (filterParams) {
      EXPECT_EQ(host_->SetParams(filterParams), S_OK);
    }
    EXPECT_EQ(host_->SetOutputType(0, nullptr, 0), S_OK);
    EXPECT_EQ(CreateMemoryAllocator(&allocator_), S_OK);
    ALLOCATOR_PROPERTIES want{2, outBuffer, 32, 0}, got{};
    EXPECT_EQ(allocator_->SetProperties(&want, &got), S_OK);
    EXPECT_EQ(allocator_->Commit(), S_OK);
    EXPECT_EQ(host_->SetOutputAllocator(0, allocator_), S_OK);
    EXPECT_EQ(host_->SetOutputCallback(0, &Collector::Deliver, &out), S_OK);
    EXPECT_EQ(host_->Run(), S_OK);
  }
  ~HostRig() {
    host_->Close();
    host_->Release();
    allocator_->Decommit();
    allocator_->Release();
  }
  CAudioFilterHost* operator->() { return host_; }

  Collector out;

 private:
  CAudioFilterHost* host_ = nullptr;
  IMemAllocator* allocator_ = nullptr;
};

std::vector<uint8_t> Ramp16(size_t samples) {
  std::vector<uint8_t> b(samples * 2);
  for (size_t i = 0; i < samples; ++i) {
    const int16_t v = static_cast<int16_t>((i * 37) % 60000 - 30000);
    std::memcpy(b.data() + i * 2, &v, 2);
  }
  return b;
}

IAudioFilter* NoFilter(CParamList*) { return nullptr; }

TEST(AudioFilterHost, OpenNeedsAFactoryThatMakesAFilter) {
  CParamList none;
  EXPECT_EQ(CAudioFilterHost::Create(&none), nullptr);
  EXPECT_EQ(CAudioFilterHost::Create(nullptr), nullptr);
  CParamList empty;
  empty.SetPtr("FNAF", reinterpret_cast<void*>(&NoFilter));
  EXPECT_EQ(CAudioFilterHost::Create(&empty), nullptr);
}

TEST(AudioFilterHost, NegotiatesTypes) {
  CParamList params;
  params.SetPtr("FNAF", reinterpret_cast<void*>(&CResampleFilter::Create));
  auto* host = static_cast<CAudioFilterHost*>(CAudioFilterHost::Create(&params));
  ASSERT_NE(host, nullptr);
  void* unk = nullptr;
  EXPECT_EQ(host->QueryInterface(IID_IMTF, &unk), S_OK);
  host->Release();

  struct Case {
    uint32_t pin;
    WORD tag;
    int rate, bits, channels;
    HRESULT hr;
  };
  const Case cases[] = {
      {1, WAVE_FORMAT_PCM, 44100, 16, 2, E_FAIL},
      {0, 0x55, 44100, 16, 2, E_FAIL},
      {0, WAVE_FORMAT_IEEE_FLOAT, 44100, 32, 2, E_FAIL},  // the resampler takes integer PCM only
      {0, WAVE_FORMAT_PCM, 44100, 16, 2, S_OK},
  };
  for (const auto& c : cases) {
    WaveType t(c.tag, c.rate, c.bits, c.channels);
    EXPECT_EQ(host->SetInputType(c.pin, &t.mt, 0), c.hr) << c.pin << " " << c.tag;
  }
  EXPECT_EQ(host->InputBlock(), 7056u);
  WaveType video(WAVE_FORMAT_PCM, 44100, 16, 2);
  video.mt.majortype = MEDIATYPE_Video;
  EXPECT_EQ(host->SetInputType(0, &video.mt, 0), E_FAIL);
  WaveType noBits(WAVE_FORMAT_PCM, 22050, 0, 1);
  EXPECT_EQ(host->SetInputType(0, &noBits.mt, 1), S_OK);  // 0 bits are read as 16
  EXPECT_EQ(host->InputBlock(), 1764u);

  AM_MEDIA_TYPE got{};
  EXPECT_EQ(host->GetInputType(0, 1, &got), MakeHResult(0x80040201u));
  ASSERT_EQ(host->GetInputType(0, 0, &got), S_OK);
  EXPECT_EQ(reinterpret_cast<WAVEFORMATEX*>(got.pbFormat)->nSamplesPerSec, 22050u);
  ClearMediaTypeFormat(&got);

  CParamList settings;
  settings.SetInt("SAMPLERATE", 48000);
  settings.SetInt("CHANNEL", 2);
  settings.SetInt("BITSPERSAMPLE", 24);
  ASSERT_EQ(host->SetParams(&settings), S_OK);
  EXPECT_EQ(host->SetOutputType(0, nullptr, 1), S_OK);
  EXPECT_EQ(host->GetOutputType(1, 0, &got), E_FAIL);
  EXPECT_EQ(host->GetOutputType(0, 1, &got), MakeHResult(0x80040201u));
  ASSERT_EQ(host->GetOutputType(0, 0, &got), S_OK);
  EXPECT_EQ(got.majortype, MEDIATYPE_Audio);
  EXPECT_EQ(got.subtype, MEDIASUBTYPE_PCM);
  EXPECT_EQ(got.formattype, FORMAT_WaveFormatEx);
  ASSERT_EQ(got.cbFormat, 18u);
  WAVEFORMATEX wfx;
  std::memcpy(&wfx, got.pbFormat, sizeof wfx);
  EXPECT_EQ(wfx.wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(wfx.nChannels, 2);
  EXPECT_EQ(wfx.nSamplesPerSec, 48000u);
  EXPECT_EQ(wfx.wBitsPerSample, 24);
  EXPECT_EQ(wfx.nBlockAlign, 6);
  EXPECT_EQ(wfx.nAvgBytesPerSec, 288000u);
  EXPECT_EQ(wfx.cbSize, 0);
  ClearMediaTypeFormat(&got);

  ALLOCATOR_PROPERTIES props{};
  ASSERT_EQ(host->GetAllocatorRequirements(0, &props), S_OK);
  EXPECT_EQ(props.cBuffers, 1);
  EXPECT_EQ(props.cbBuffer, 1152000);
  EXPECT_EQ(props.cbAlign, 32);
  EXPECT_EQ(props.cbPrefix, 0);
  EXPECT_EQ(host->AddInputPin(nullptr, 0), E_NOTIMPL);
  EXPECT_EQ(host->GetInputPinCount(), 1u);
  EXPECT_EQ(host->GetOutputPinCount(), 1u);
  EXPECT_EQ(host->Close(), S_OK);
  host->Release();
}

TEST(AudioFilterHost, VolumeFlowsInBlocksWithContiguousTimesAndDrains) {
  CParamList vol;
  vol.SetInt("VOL", 50);
  HostRig rig(&CVolumeFilter::Create, WaveType(WAVE_FORMAT_PCM, 44100, 16, 2), &vol, 20000);
  EXPECT_EQ(rig->InputChunkLimit(), 20000u);         // the output buffer's size
  const std::vector<uint8_t> input = Ramp16(44100);  // half a second
  for (size_t pos = 0; pos < input.size(); pos += 5000) {
    const std::vector<uint8_t> part(input.begin() + pos, input.begin() + std::min(input.size(), pos + 5000));
    ASSERT_EQ(rig->Receive(0, MakeSample(part)), S_OK);
  }
  EXPECT_EQ(rig.out.ends, 0);
  ASSERT_EQ(rig->Receive(0, nullptr), S_OK);
  EXPECT_EQ(rig.out.ends, 1);

  const std::vector<uint8_t> all = rig.out.AllData();
  ASSERT_EQ(all.size(), input.size());
  for (size_t i = 0; i < input.size() / 2; ++i) {
    int16_t a, b;
    std::memcpy(&a, input.data() + i * 2, 2);
    std::memcpy(&b, all.data() + i * 2, 2);
    ASSERT_EQ(b, (a * 128 + 128) >> 8) << i;
  }
  REFERENCE_TIME expected = 0;
  for (size_t i = 0; i < rig.out.samples.size(); ++i) {
    const auto& s = rig.out.samples[i];
    if (i + 1 < rig.out.samples.size()) {
      EXPECT_EQ(s.data.size() % 7056, 0u);  // whole 40-ms blocks
    }
    EXPECT_LE(s.data.size(), 20000u);
    EXPECT_EQ(s.start, expected);
    EXPECT_TRUE(s.sync);
    EXPECT_TRUE(s.discontinuity);
    expected = s.stop;
  }
  EXPECT_EQ(expected, 5000000);  // 22050 frames at 44100 Hz
}

TEST(AudioFilterHost, SampleLargerThanTheWorkBufferIsFedInPieces) {
  HostRig rig(&CVolumeFilter::Create, WaveType(WAVE_FORMAT_PCM, 48000, 16, 2), nullptr, 100000);
  const std::vector<uint8_t> input = Ramp16(500000);  // 1,000,000 bytes in one sample
  testing::internal::CaptureStdout();
  ASSERT_EQ(rig->Receive(0, MakeSample(input)), S_OK);
  ASSERT_EQ(rig->Receive(0, nullptr), S_OK);
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("buf overflow error"), std::string::npos);
  EXPECT_EQ(rig.out.AllData(), input);
}

TEST(AudioFilterHost, SeekMarkerRebasesTimeOnTheNextSample) {
  HostRig rig(&CVolumeFilter::Create, WaveType(WAVE_FORMAT_PCM, 44100, 16, 2), nullptr, 1152000);
  ASSERT_EQ(rig->Receive(0, MakeSample(Ramp16(3000))), S_OK);  // held, less than a block
  ASSERT_EQ(rig->Receive(0, MakeSample({}, -1, true)), S_OK);
  ASSERT_EQ(rig.out.samples.size(), 1u);
  EXPECT_TRUE(rig.out.samples[0].data.empty());
  EXPECT_TRUE(rig.out.samples[0].discontinuity);

  testing::internal::CaptureStdout();
  ASSERT_EQ(rig->Receive(0, MakeSample(Ramp16(3528), 12345678)), S_OK);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "set sample to 1.235,hr=0\n");
  ASSERT_EQ(rig.out.samples.size(), 2u);
  // 1.2345678 s is 54444.44 frames at 44100 Hz: the start rounds down to frame 54444.
  EXPECT_EQ(rig.out.samples[1].start, 54444LL * 10000000 / 44100);
  EXPECT_EQ(rig.out.samples[1].data.size(), 7056u);  // the input held before the marker was dropped
}

TEST(AudioFilterHost, ResamplesThroughTheHostWithTheSourceDuration) {
  CParamList settings;
  settings.SetInt("SAMPLERATE", 48000);
  HostRig rig(&CResampleFilter::Create, WaveType(WAVE_FORMAT_PCM, 44100, 16, 2), &settings, 1152000);
  EXPECT_EQ(rig->InputChunkLimit(), 7056u);
  std::vector<uint8_t> input(44100 * 4 * 2);
  for (size_t i = 0; i < input.size() / 4; ++i) {
    const auto v = static_cast<int16_t>(10000 * std::sin(2 * M_PI * 1000 * i / 44100.0));
    std::memcpy(input.data() + i * 4, &v, 2);
    std::memcpy(input.data() + i * 4 + 2, &v, 2);
  }
  for (size_t pos = 0; pos < input.size(); pos += 4608) {
    const std::vector<uint8_t> part(input.begin() + pos, input.begin() + std::min(input.size(), pos + 4608));
    ASSERT_EQ(rig->Receive(0, MakeSample(part)), S_OK);
  }
  ASSERT_EQ(rig->Receive(0, nullptr), S_OK);
  EXPECT_EQ(rig.out.ends, 1);
  const size_t frames = rig.out.AllData().size() / 4;
  EXPECT_LE(std::abs(static_cast<long>(frames) - 96000), 1);
  EXPECT_LE(std::abs(rig.out.samples.back().stop - 20000000), 10000000 / 48000 + 1);
}

TEST(AudioFilterHost, OutputTooSmallIsFedInPiecesAndNeverDeliversStaleData) {
  // 8 kHz mono to 48 kHz: the 5000-byte chunk limit takes seven 640-byte
  // blocks, six times as large on output; only a single block fits.
  CParamList settings;
  settings.SetInt("SAMPLERATE", 48000);
  {
    HostRig rig(&CResampleFilter::Create, WaveType(WAVE_FORMAT_PCM, 8000, 16, 1), &settings, 4000);
    const std::vector<uint8_t> input = Ramp16(8000);
    testing::internal::CaptureStdout();
    ASSERT_EQ(rig->Receive(0, MakeSample(input)), S_OK);
    ASSERT_EQ(rig->Receive(0, nullptr), S_OK);
    testing::internal::GetCapturedStdout();
    size_t frames = 0;
    for (const auto& s : rig.out.samples) {
      EXPECT_LE(s.data.size(), 4000u);
      frames += s.data.size() / 2;
    }
    EXPECT_LE(std::abs(static_cast<long>(frames) - 48000), 1);
  }
  {
    // Not even one block fits: nothing is delivered, and the failure is reported.
    HostRig rig(&CResampleFilter::Create, WaveType(WAVE_FORMAT_PCM, 8000, 16, 1), &settings, 1000);
    testing::internal::CaptureStdout();
    EXPECT_EQ(rig->Receive(0, MakeSample(Ramp16(640))), E_FAIL);
    EXPECT_NE(testing::internal::GetCapturedStdout().find("audio buffer too small\n"), std::string::npos);
    EXPECT_TRUE(rig.out.samples.empty());
  }
}

}  // namespace
