#include "engine/modules/timing/audio_normalize.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr int32_t kFullScale = 32767;
constexpr int32_t kQuietestPeak = 3276;  // the gain never exceeds 32,767 / 3,276
constexpr double kMaxRise = 1.2;

}  // namespace

IMediaModule* CAudioNormalize::Create(CParamList* params) { return CreateOpenedModule<CAudioNormalize>(params); }

HRESULT CAudioNormalize::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  PcmFormat format;
  if (pin != 0 || !ReadPcmFormat(type, &format) || format.bits != 16) return E_FAIL;
  if (testOnly) return S_OK;
  format_ = format;
  return inputTypes_.Set(0, 1, type);
}

HRESULT CAudioNormalize::Run() {
  if (!buffer_) buffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
  held_ = 0;
  return buffer_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAudioNormalize::Close() {
  buffer_.reset();
  held_ = 0;
  return CTimingModule::Close();
}

HRESULT CAudioNormalize::Flush() {
  const uint32_t frameBytes = format_.FrameBytes();
  if (held_ == 0 || frameBytes == 0) return S_OK;
  const uint32_t count = held_ / 2;
  auto* samples = reinterpret_cast<int16_t*>(buffer_.get());

  int32_t peak = kQuietestPeak;
  for (uint32_t i = 0; i < count; ++i) peak = std::max(peak, std::abs(static_cast<int32_t>(samples[i])));
  const double target = static_cast<double>(kFullScale) / peak;
  const double gain = std::min(target, kMaxRise * gain_);
  const double from = std::min(gain_, target);
  for (uint32_t i = 0; i < count; ++i) {
    const double g = from + (gain - from) * i / count;
    samples[i] = static_cast<int16_t>(std::clamp(std::floor(g * samples[i] + 0.5), -32768.0, 32767.0));
  }
  gain_ = gain;

  const int64_t frames = held_ / frameBytes;
  const HRESULT hr = DeliverPieces(buffer_.get(), 0, held_, frameBytes, position_, frames, format_.rate,
                                   kPieceSync | kPieceDiscontinuity);
  position_ += frames;
  held_ = 0;
  return hr;
}

HRESULT CAudioNormalize::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) {
    const HRESULT hr = buffer_ ? Flush() : S_OK;
    Deliver(0, nullptr);
    return hr;
  }
  Ref<IMediaSample> sample(received);
  if (pin != 0 || !buffer_ || format_.FrameBytes() == 0) return E_FAIL;
  const LONG actual = sample->GetActualDataLength();
  if (actual == 0 && sample->IsDiscontinuity() == S_OK) {
    sample.Reset();
    rebase_ = true;
    return DeliverMarker();
  }
  if (rebase_) {
    REFERENCE_TIME start = 0, stop = 0;
    if (SUCCEEDED(sample->GetTime(&start, &stop))) {
      position_ = static_cast<int64_t>(format_.rate) * start / kTimeUnitsPerSecond;
      rebase_ = false;
    }
  }
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  uint32_t length = data ? static_cast<uint32_t>(std::clamp<LONG>(actual, 0, sample->GetSize())) : 0;
  // In pieces of whole frames: a sample larger than the buffer fills it several times.
  const uint32_t frameBytes = format_.FrameBytes();
  const uint32_t capacity = (kBufferBytes - 1) / frameBytes * frameBytes;
  HRESULT hr = S_OK;
  while (length > 0 && SUCCEEDED(hr)) {
    if (held_ + length > capacity) hr = Flush();
    const uint32_t take = std::min(length, capacity - held_);
    std::memcpy(buffer_.get() + held_, data, take);
    held_ += take;
    data += take;
    length -= take;
  }
  return hr;
}
