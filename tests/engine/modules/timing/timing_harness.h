// Runs one timing module outside a graph: its output pin on an allocator of
// chosen buffers, every delivered sample collected with its times and flags.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

constexpr REFERENCE_TIME kNoTime = -1;

struct Delivered {
  std::vector<uint8_t> data;
  bool timed = false;
  REFERENCE_TIME start = 0, stop = 0;
  bool sync = false, discontinuity = false, preroll = false;
  LONG bufferSize = 0;
};

// A sample that owns its bytes; one reference for the receiver.
class OwnedSample final : public CMediaSample {
 public:
  explicit OwnedSample(std::vector<uint8_t> bytes) : CMediaSample(nullptr, nullptr, 0), bytes_(std::move(bytes)) {
    SetBuffer(bytes_.data(), static_cast<LONG>(bytes_.size()));
    AddRef();
  }

 private:
  std::vector<uint8_t> bytes_;
};

inline IMediaSample* MakeSample(std::vector<uint8_t> bytes, REFERENCE_TIME start = kNoTime,
                                REFERENCE_TIME stop = kNoTime, bool discontinuity = false) {
  auto* s = new OwnedSample(std::move(bytes));
  if (start != kNoTime) {
    REFERENCE_TIME b = stop == kNoTime ? start + 1 : stop;
    s->SetTime(&start, &b);
  }
  s->SetDiscontinuity(discontinuity);
  return s;
}

// The seek marker: empty and flagged as discontinuity.
inline IMediaSample* MakeMarker() { return MakeSample({}, kNoTime, kNoTime, true); }

class ModuleHarness {
 public:
  // Takes the module's reference; the output allocator has `buffers` of `size` bytes.
  ModuleHarness(IMediaModule* module, LONG buffers = 4, LONG size = 1 << 20) : module_(module) {
    CreateMemoryAllocator(&allocator_);
    ALLOCATOR_PROPERTIES request{buffers, size, 32, 0}, actual{};
    allocator_->SetProperties(&request, &actual);
    allocator_->Commit();
    if (module_) {
      module_->SetOutputAllocator(0, allocator_);
      module_->SetOutputCallback(0, &ModuleHarness::Collect, this);
    }
  }
  ~ModuleHarness() {
    if (module_) {
      module_->Close();
      module_->Release();
    }
    allocator_->Decommit();
    allocator_->Release();
  }
  ModuleHarness(const ModuleHarness&) = delete;
  ModuleHarness& operator=(const ModuleHarness&) = delete;

  IMediaModule* operator->() const { return module_; }
  IMediaModule* Module() const { return module_; }

  HRESULT SetParams(const std::string& text) {
    CParamList params;
    params.ParseText(text.c_str());
    return module_->SetParams(&params);
  }
  HRESULT Feed(std::vector<uint8_t> bytes, REFERENCE_TIME start = kNoTime, REFERENCE_TIME stop = kNoTime) {
    return module_->Receive(0, MakeSample(std::move(bytes), start, stop));
  }
  HRESULT End() { return module_->Receive(0, nullptr); }

  std::vector<REFERENCE_TIME> Starts() const {
    std::vector<REFERENCE_TIME> out;
    for (const Delivered& d : samples) out.push_back(d.timed ? d.start : kNoTime);
    return out;
  }
  std::vector<uint8_t> AllData() const {
    std::vector<uint8_t> all;
    for (const Delivered& d : samples) all.insert(all.end(), d.data.begin(), d.data.end());
    return all;
  }

  std::vector<Delivered> samples;
  int ends = 0;

 private:
  static HRESULT Collect(IMediaSample* sample, void* context) {
    auto* self = static_cast<ModuleHarness*>(context);
    if (!sample) {
      ++self->ends;
      return S_OK;
    }
    Delivered d;
    BYTE* p = nullptr;
    sample->GetPointer(&p);
    const LONG length = sample->GetActualDataLength();
    if (p && length > 0) d.data.assign(p, p + length);
    d.timed = SUCCEEDED(sample->GetTime(&d.start, &d.stop));
    d.sync = sample->IsSyncPoint() == S_OK;
    d.discontinuity = sample->IsDiscontinuity() == S_OK;
    d.preroll = sample->IsPreroll() == S_OK;
    d.bufferSize = sample->GetSize();
    self->samples.push_back(std::move(d));
    sample->Release();
    return S_OK;
  }

  IMediaModule* module_;
  IMemAllocator* allocator_ = nullptr;
};

// Media types the modules are offered.
class TypeHolder {
 public:
  TypeHolder() { InitMediaType(&mt_); }
  ~TypeHolder() { ClearMediaTypeFormat(&mt_); }
  TypeHolder(const TypeHolder&) = delete;
  TypeHolder& operator=(const TypeHolder&) = delete;
  AM_MEDIA_TYPE* Get() { return &mt_; }
  AM_MEDIA_TYPE* operator->() { return &mt_; }

 private:
  AM_MEDIA_TYPE mt_;
};

inline void MakeWaveType(AM_MEDIA_TYPE* mt, const GUID& subtype, int rate, int channels, int bits,
                         WORD tag = WAVE_FORMAT_PCM) {
  mt->majortype = MEDIATYPE_Audio;
  mt->subtype = subtype;
  mt->formattype = FORMAT_WaveFormatEx;
  AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX));
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = tag;
  wfx.nChannels = static_cast<WORD>(channels);
  wfx.nSamplesPerSec = static_cast<DWORD>(rate);
  wfx.wBitsPerSample = static_cast<WORD>(bits);
  wfx.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  wfx.nAvgBytesPerSec = wfx.nBlockAlign * wfx.nSamplesPerSec;
  std::memcpy(mt->pbFormat, &wfx, sizeof wfx);
}

inline void MakePcmType(AM_MEDIA_TYPE* mt, int rate, int channels, int bits) {
  MakeWaveType(mt, MEDIASUBTYPE_PCM, rate, channels, bits);
}

// A raw video type (VideoInfo, or VideoInfo2) with its frame duration.
inline void MakeVideoType(AM_MEDIA_TYPE* mt, const GUID& subtype, REFERENCE_TIME frameDuration, int width = 16,
                          int height = 16, const GUID& format = FORMAT_VideoInfo) {
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = subtype;
  mt->formattype = format;
  const bool two = format == FORMAT_VideoInfo2 || format == FORMAT_MPEG2Video;
  const ULONG size = two ? sizeof(VIDEOINFOHEADER2) : sizeof(VIDEOINFOHEADER);
  AllocMediaTypeFormat(mt, size);
  std::memset(mt->pbFormat, 0, size);
  VIDEOINFOHEADER vih{};
  vih.AvgTimePerFrame = frameDuration;
  vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih.bmiHeader.biWidth = width;
  vih.bmiHeader.biHeight = height;
  vih.bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 3 / 2);
  if (two) {
    VIDEOINFOHEADER2 v2{};
    v2.AvgTimePerFrame = frameDuration;
    v2.bmiHeader = vih.bmiHeader;
    std::memcpy(mt->pbFormat, &v2, sizeof v2);
  } else {
    std::memcpy(mt->pbFormat, &vih, sizeof vih);
  }
}

inline REFERENCE_TIME AvgTimePerFrameOf(const AM_MEDIA_TYPE* mt) {
  REFERENCE_TIME t = 0;
  std::memcpy(&t, mt->pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame), sizeof t);
  return t;
}
