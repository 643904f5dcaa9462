#include "engine/modules/timing/audio_delay.h"

#include <algorithm>
#include <cmath>

#include "common/param_list.h"

IMediaModule* CAudioDelay::Create(CParamList* params) { return CreateOpenedModule<CAudioDelay>(params); }

void CAudioDelay::UpdatePending() {
  if (started_ || !delaySet_ || format_.rate <= 0) return;
  const double frames = std::trunc(delay_ * format_.rate);
  // Beyond a day of audio either way is no delay a job asks for.
  constexpr double kLimit = 86400.0 * 768000.0;
  pending_ = static_cast<int64_t>(std::clamp(frames, -kLimit, kLimit));
}

HRESULT CAudioDelay::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  // Whole seconds may come as an integer.
  const double delay =
      params->GetType("DELAY") == PARAM_TYPE_INT ? params->GetInt("DELAY", 0) : params->GetDouble("DELAY", 0);
  if (!std::isfinite(delay)) return E_INVALIDARG;
  delay_ = delay;
  delaySet_ = true;
  UpdatePending();
  return S_OK;
}

HRESULT CAudioDelay::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  PcmFormat format;
  if (pin != 0 || !ReadPcmFormat(type, &format)) return E_FAIL;
  if (testOnly) return S_OK;
  format_ = format;
  UpdatePending();
  return inputTypes_.Set(0, 1, type);
}

HRESULT CAudioDelay::DeliverData(const uint8_t* data, uint32_t length) {
  const uint32_t frameBytes = format_.FrameBytes();
  const int64_t frames = length / frameBytes;
  const HRESULT hr = DeliverPieces(data, 0, length, frameBytes, position_, frames, format_.rate, 0);
  position_ += frames;
  return hr;
}

HRESULT CAudioDelay::InsertSilence() {
  const uint32_t frameBytes = format_.FrameBytes();
  // 8-bit PCM is unsigned: its silence is the middle value.
  const uint8_t silence = format_.bits == 8 ? 0x80 : 0;
  const int64_t step = std::max<int64_t>(format_.rate / 5, 1);
  while (pending_ > 0) {
    const int64_t frames = std::min(pending_, step);
    const HRESULT hr = DeliverPieces(nullptr, silence, static_cast<uint32_t>(frames * frameBytes), frameBytes,
                                     position_, frames, format_.rate, 0);
    if (FAILED(hr)) return hr;
    position_ += frames;
    pending_ -= frames;
  }
  return S_OK;
}

HRESULT CAudioDelay::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) return Deliver(0, nullptr);
  Ref<IMediaSample> sample(received);
  const uint32_t frameBytes = format_.FrameBytes();
  if (pin != 0 || frameBytes == 0) return E_FAIL;
  const LONG actual = sample->GetActualDataLength();
  if (actual == 0 && sample->IsDiscontinuity() == S_OK) {
    sample.Reset();
    return DeliverMarker();
  }
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const uint32_t length = data ? static_cast<uint32_t>(std::clamp<LONG>(actual, 0, sample->GetSize())) : 0;

  HRESULT hr = S_OK;
  if (!started_ && pending_ > 0) {
    hr = InsertSilence();
    started_ = true;
  }
  if (started_) {
    if (SUCCEEDED(hr)) hr = DeliverData(data, length);
  } else {
    // Skipping: -pending_ frames are still to go.
    const int64_t k = length / frameBytes;
    if (k + pending_ < 0) {
      pending_ += k;
    } else {
      const uint64_t skip = static_cast<uint64_t>(-pending_) * frameBytes;
      if (k + pending_ > 0) hr = DeliverData(data + skip, static_cast<uint32_t>(length - skip));
      pending_ = 0;
      started_ = true;
    }
  }
  return hr;
}
