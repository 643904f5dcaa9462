#include "engine/modules/filters/audio_filter_host.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;

}  // namespace

IMediaModule* CAudioFilterHost::Create(CParamList* params) { return CreateOpenedModule<CAudioFilterHost>(params); }

CAudioFilterHost::~CAudioFilterHost() {
  if (filter_) filter_->Destroy();
}

HRESULT CAudioFilterHost::Open(CParamList* params) {
  factory_ = params ? reinterpret_cast<AudioFilterFactory>(params->GetPtr("FNAF", nullptr)) : nullptr;
  if (!factory_) {
    Diag(DiagLevel::kError, "audio filter: the parameters give no filter factory (FNAF)");
    return E_FAIL;
  }
  filter_ = factory_(params);
  if (!filter_) {
    Diag(DiagLevel::kError, "audio filter: the filter factory made no filter");
    return E_FAIL;
  }
  work_.reset(new (std::nothrow) uint8_t[kWorkBufferBytes]);
  if (!work_) return E_OUTOFMEMORY;
  held_ = 0;
  return S_OK;
}

HRESULT CAudioFilterHost::Close() {
  if (filter_) {
    filter_->Destroy();
    filter_ = nullptr;
  }
  work_.reset();
  held_ = 0;
  inputTypes_.FreeAll();
  // The owner's Release after Close frees the module.
  return S_OK;
}

HRESULT CAudioFilterHost::SetParams(CParamList* params) { return filter_ ? filter_->SetParams(params) : E_FAIL; }

HRESULT CAudioFilterHost::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_NOTIMPL; }

HRESULT CAudioFilterHost::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  (void)testOnly;  // the filter checks the format either way
  if (pin != 0 || !type || type->majortype != MEDIATYPE_Audio || type->formattype != FORMAT_WaveFormatEx ||
      !type->pbFormat || type->cbFormat < 16 || !filter_)
    return E_FAIL;
  WAVEFORMATEX wfx{};
  std::memcpy(&wfx, type->pbFormat, std::min<size_t>(type->cbFormat, sizeof wfx));
  AudioFormat format{};
  if (wfx.wFormatTag == WAVE_FORMAT_PCM)
    format.kind = kAudioKindPcm;
  else if (wfx.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
    format.kind = kAudioKindFloat;
  else
    return E_FAIL;
  format.bitsPerSample = wfx.wBitsPerSample ? wfx.wBitsPerSample : 16;
  format.channels = wfx.nChannels;
  format.samplesPerSec = static_cast<int32_t>(wfx.nSamplesPerSec);
  if (format.samplesPerSec <= 0 || format.channels == 0 || format.bitsPerSample % 8) return E_FAIL;

  const HRESULT hr = filter_->Init(&format);
  if (hr != S_OK) return hr;
  inputTypes_.Set(0, 1, type);
  // 40 ms of input, in whole frames, and never more than the work buffer holds.
  inputFrameBytes_ = static_cast<uint32_t>(format.channels) * (format.bitsPerSample / 8);
  const uint64_t block = static_cast<uint64_t>(format.samplesPerSec) * inputFrameBytes_ / 25;
  const uint64_t capped = std::min<uint64_t>(block, kWorkBufferBytes);
  inputBlock_ = static_cast<uint32_t>(std::max<uint64_t>(capped / inputFrameBytes_, 1) * inputFrameBytes_);
  return hr;
}

HRESULT CAudioFilterHost::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin != 0) return E_FAIL;
  return inputTypes_.Get(0, type);
}

HRESULT CAudioFilterHost::SetOutputType(uint32_t /*pin*/, const AM_MEDIA_TYPE* /*type*/, int32_t testOnly) {
  if (!filter_) return E_FAIL;
  if (testOnly) return S_OK;
  return filter_->GetOutputFormat(&output_);
}

HRESULT CAudioFilterHost::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin > 0) return E_FAIL;
  if (index != 0) return MODULE_E_NO_TYPE;
  if (!type) return E_POINTER;
  if (!filter_) return E_FAIL;
  AudioFormat format{};
  const HRESULT hr = filter_->GetOutputFormat(&format);
  if (FAILED(hr)) return hr;

  ClearMediaTypeFormat(type);
  InitMediaType(type);
  type->majortype = MEDIATYPE_Audio;
  type->subtype = MEDIASUBTYPE_PCM;
  type->formattype = FORMAT_WaveFormatEx;
  if (!AllocMediaTypeFormat(type, sizeof(WAVEFORMATEX))) return E_OUTOFMEMORY;
  WAVEFORMATEX wfx{};
  wfx.wFormatTag = WAVE_FORMAT_PCM;
  wfx.nChannels = static_cast<WORD>(format.channels);
  wfx.nSamplesPerSec = static_cast<DWORD>(format.samplesPerSec);
  wfx.wBitsPerSample = static_cast<WORD>(format.bitsPerSample);
  wfx.nBlockAlign = static_cast<WORD>(format.bitsPerSample * format.channels / 8);
  wfx.nAvgBytesPerSec = wfx.nBlockAlign * wfx.nSamplesPerSec;
  wfx.cbSize = 0;
  std::memcpy(type->pbFormat, &wfx, sizeof wfx);
  return S_OK;
}

HRESULT CAudioFilterHost::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || !props) return E_FAIL;
  const int32_t size = inputTypes_.GetSampleSize(0);
  if (size == 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

HRESULT CAudioFilterHost::Run() {
  if (!filter_) return E_FAIL;
  if (inputBlock_ == 0) return E_FAIL;  // no input type
  // Parameters may have changed the output after the output type was set.
  filter_->GetOutputFormat(&output_);
  const int multiplier = filter_->GetBlockMultiplier();
  if (multiplier > 1) {
    const uint64_t block = static_cast<uint64_t>(inputBlock_) * static_cast<uint64_t>(multiplier);
    inputBlock_ =
        static_cast<uint32_t>(std::min<uint64_t>(block, kWorkBufferBytes / inputFrameBytes_ * inputFrameBytes_));
  }
  const int chunk = filter_->GetMaxInputChunk();
  if (chunk != 0) {
    chunkLimit_ = std::max<uint32_t>(static_cast<uint32_t>(std::max(chunk, 0)), inputBlock_);
  } else {
    ALLOCATOR_PROPERTIES props{};
    IMemAllocator* allocator = OutputAllocator(0);
    if (allocator && SUCCEEDED(allocator->GetProperties(&props)) && props.cbBuffer > 0)
      chunkLimit_ = static_cast<uint32_t>(props.cbBuffer);
    else
      chunkLimit_ = inputBlock_;
  }
  // At least one block, so that held input always moves on.
  chunkLimit_ = std::max(chunkLimit_, inputBlock_);
  return filter_->Start();
}

uint32_t CAudioFilterHost::OutputFrameBytes() const {
  return output_.channels > 0 && output_.bitsPerSample >= 8
             ? static_cast<uint32_t>(output_.channels) * (output_.bitsPerSample / 8)
             : 0;
}

void CAudioFilterHost::Consume(uint32_t length) {
  length = std::min(length, held_);
  std::memmove(work_.get(), work_.get() + length, held_ - length);
  held_ -= length;
}

HRESULT CAudioFilterHost::ProcessInto(uint32_t length, uint32_t* written, bool* refused) {
  *written = 0;
  *refused = false;
  IMemAllocator* allocator = OutputAllocator(0);
  if (!allocator) return E_FAIL;
  Ref<IMediaSample> sample;
  HRESULT hr = allocator->GetBuffer(sample.Out(), nullptr, nullptr, 0);
  if (FAILED(hr) || !sample) return FAILED(hr) ? hr : E_FAIL;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG size = sample->GetSize();

  in_ = {length, work_.get()};
  out_ = {static_cast<uint32_t>(std::max<LONG>(size, 0)), data};
  hr = filter_->Process(&in_, &out_);
  // A refused call, or one claiming more than the buffer holds, has no data to pass on.
  if (FAILED(hr) || out_.length > static_cast<uint32_t>(std::max<LONG>(size, 0))) {
    *refused = true;
    return FAILED(hr) ? hr : E_FAIL;
  }
  sample->SetActualDataLength(static_cast<LONG>(out_.length));

  const int64_t rate = output_.samplesPerSec > 0 ? output_.samplesPerSec : 1;
  REFERENCE_TIME start = position_ * kUnitsPerSecond / rate;
  if (const uint32_t frameBytes = OutputFrameBytes()) position_ += out_.length / frameBytes;
  REFERENCE_TIME stop = position_ * kUnitsPerSecond / rate;
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(1);
  sample->SetDiscontinuity(1);
  sample->SetPreroll(0);

  *written = out_.length;
  if (out_.length != 0) Deliver(0, sample.Detach());
  return S_OK;
}

HRESULT CAudioFilterHost::FilterLoop() {
  for (;;) {
    const uint32_t n = std::min(held_, chunkLimit_);
    if (n < inputBlock_ || inputBlock_ == 0) return S_OK;
    uint32_t give = n / inputBlock_ * inputBlock_;
    uint32_t written = 0;
    bool refused = false;
    HRESULT hr = ProcessInto(give, &written, &refused);
    // The output did not fit: hand the input over in smaller pieces.
    while (refused && give > inputBlock_) {
      give = (give / inputBlock_ / 2) * inputBlock_;
      hr = ProcessInto(give, &written, &refused);
    }
    if (FAILED(hr) && !refused) return hr;  // no output buffer: keep the input
    Consume(give);
    if (FAILED(hr)) return hr;
  }
}

HRESULT CAudioFilterHost::Append(const uint8_t* data, uint32_t length) {
  while (length > 0) {
    const uint32_t room = kWorkBufferBytes - held_;
    if (room == 0) {
      ConsoleLine("buf overflow error\n");
      return S_OK;
    }
    const uint32_t take = std::min(room, length);
    std::memcpy(work_.get() + held_, data, take);
    held_ += take;
    data += take;
    length -= take;
    const HRESULT hr = FilterLoop();
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CAudioFilterHost::Drain() {
  bool first = true;
  for (;;) {
    const uint32_t length = first ? held_ : 0;
    first = false;
    uint32_t written = 0;
    bool refused = false;
    const HRESULT hr = ProcessInto(length, &written, &refused);
    held_ = 0;
    if (FAILED(hr) && !refused) break;  // no output buffer
    if (written == 0 && in_.length == 0) break;
  }
  Deliver(0, nullptr);
  return S_OK;
}

HRESULT CAudioFilterHost::Receive(uint32_t pin, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (pin != 0 || !filter_ || !work_) return E_FAIL;
  if (!sample) return Drain();

  const LONG length = sample->GetActualDataLength();
  if (length == 0 && sample->IsDiscontinuity() == S_OK) {
    // Seek marker: pass it on, forget held input, re-base the time on the next sample.
    HRESULT hr = E_FAIL;
    Ref<IMediaSample> marker;
    if (IMemAllocator* allocator = OutputAllocator(0)) hr = allocator->GetBuffer(marker.Out(), nullptr, nullptr, 0);
    if (SUCCEEDED(hr) && marker) {
      marker->SetActualDataLength(0);
      marker->SetDiscontinuity(1);
      Deliver(0, marker.Detach());
    }
    timePending_ = true;
    held_ = 0;
    return SUCCEEDED(hr) ? S_OK : hr;
  }

  if (timePending_) {
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT hr = sample->GetTime(&start, &stop);
    if (SUCCEEDED(hr)) {
      position_ = start * output_.samplesPerSec / kUnitsPerSecond;
      timePending_ = false;
    }
    ConsoleLine("set sample to %.3f,hr=%d\n", static_cast<double>(start) / kUnitsPerSecond, static_cast<int>(hr));
  }
  BYTE* data = nullptr;
  HRESULT hr = S_OK;
  if (length > 0 && SUCCEEDED(sample->GetPointer(&data)) && data)
    hr = Append(data, static_cast<uint32_t>(std::min(length, sample->GetSize())));
  return hr;
}
