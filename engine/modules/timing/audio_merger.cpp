#include "engine/modules/timing/audio_merger.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "engine/modules/bitstream/bitstream_mpeg_audio.h"
#include "platform/diagnostics.h"

namespace {

constexpr GUID kMp3Subtype = FourccGuid(0x55);
constexpr GUID kMpeg1AudioSubtype = FourccGuid(0x50);
constexpr uint32_t kHeaderBytes = 6;  // the least the frame search looks at

// The sample rate of an MPEG audio type; 0 when it is not one.
int32_t MpegAudioRate(const AM_MEDIA_TYPE* mt) {
  if (!mt || mt->majortype != MEDIATYPE_Audio) return 0;
  const bool waveFormat = mt->formattype == FORMAT_WaveFormatEx;
  const bool mpeg = mt->subtype == kMp3Subtype ||
                    (waveFormat && (mt->subtype == kMpeg1AudioSubtype || mt->subtype == MEDIASUBTYPE_MPEG2_AUDIO));
  if (!mpeg || !mt->pbFormat || mt->cbFormat < 16) return 0;
  WAVEFORMATEX wfx{};
  std::memcpy(&wfx, mt->pbFormat, std::min<size_t>(mt->cbFormat, sizeof wfx));
  return static_cast<int32_t>(std::min<DWORD>(wfx.nSamplesPerSec, INT32_MAX));
}

}  // namespace

IMediaModule* CAudioMerger::Create(CParamList* params) { return CreateOpenedModule<CAudioMerger>(params); }

HRESULT CAudioMerger::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  wantPcm_ = params->GetInt("PCM", 0) != 0;
  wantMpeg_ = params->GetInt("MP3", 1) != 0;
  return S_OK;
}

HRESULT CAudioMerger::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (pin != 0 || !type) return E_FAIL;
  PcmFormat format;
  bool mpeg;
  if (const int32_t rate = wantMpeg_ ? MpegAudioRate(type) : 0; rate > 0) {
    format.rate = rate;
    mpeg = true;
  } else if (wantPcm_ && ReadPcmFormat(type, &format)) {
    mpeg = false;
  } else {
    return E_FAIL;
  }
  if (testOnly) return S_OK;
  format_ = format;
  mpeg_ = mpeg;
  return inputTypes_.Set(0, 1, type);
}

HRESULT CAudioMerger::Run() {
  if (!buffer_) buffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
  held_ = 0;
  return buffer_ ? S_OK : E_OUTOFMEMORY;
}

HRESULT CAudioMerger::Close() {
  buffer_.reset();
  held_ = 0;
  return CTimingModule::Close();
}

HRESULT CAudioMerger::DeliverUnit(const uint8_t* data, uint32_t length, int64_t frames) {
  const uint32_t unit = mpeg_ ? length : format_.FrameBytes();
  const HRESULT hr = DeliverPieces(data, 0, length, unit, position_, frames, format_.rate, 0);
  position_ += frames;
  return hr;
}

HRESULT CAudioMerger::Consume() {
  const uint8_t* data = buffer_.get();
  uint32_t offset = 0;
  HRESULT hr = S_OK;
  if (mpeg_) {
    while (held_ - offset >= kHeaderBytes && SUCCEEDED(hr)) {
      int32_t samples = 0;
      const int32_t length = ParseMpegAudioHeader(data + offset, static_cast<int32_t>(held_ - offset), &samples);
      if (length == kNoMpegAudioHeader || length <= 0) {
        ++offset;  // not a frame start: look one byte further
        continue;
      }
      if (static_cast<uint32_t>(length) > held_ - offset) break;  // the frame is not all here yet
      hr = DeliverUnit(data + offset, static_cast<uint32_t>(length), samples);
      offset += static_cast<uint32_t>(length);
    }
  } else {
    const uint32_t block = kBlockFrames * format_.FrameBytes();
    while (block > 0 && held_ - offset >= block && SUCCEEDED(hr)) {
      hr = DeliverUnit(data + offset, block, kBlockFrames);
      offset += block;
    }
  }
  std::memmove(buffer_.get(), buffer_.get() + offset, held_ - offset);
  held_ -= offset;
  return hr;
}

HRESULT CAudioMerger::DeliverTail() {
  const uint32_t frameBytes = format_.FrameBytes();
  if (mpeg_ || frameBytes == 0) return S_OK;
  const uint32_t whole = held_ / frameBytes * frameBytes;
  const HRESULT hr = whole ? DeliverUnit(buffer_.get(), whole, whole / frameBytes) : S_OK;
  held_ = 0;
  return hr;
}

HRESULT CAudioMerger::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) {
    const HRESULT hr = buffer_ ? DeliverTail() : S_OK;
    Deliver(0, nullptr);
    return hr;
  }
  Ref<IMediaSample> sample(received);
  if (pin != 0 || !buffer_ || format_.rate <= 0) return E_FAIL;
  const LONG actual = sample->GetActualDataLength();
  if (actual == 0 && sample->IsDiscontinuity() == S_OK) {
    sample.Reset();
    held_ = 0;
    rebase_ = true;
    return DeliverMarker();
  }
  if (rebase_) {
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    if (SUCCEEDED(timed)) {
      position_ = static_cast<int64_t>(format_.rate) * start / kTimeUnitsPerSecond;
      rebase_ = false;
    } else if (mpeg_) {
      return S_OK;  // no time to count from
    }
    if (!mpeg_) ConsoleLine("2 set sample to %.3f,%d\n", static_cast<double>(start) / kTimeUnitsPerSecond, int(timed));
  }
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  uint32_t length = data ? static_cast<uint32_t>(std::clamp<LONG>(actual, 0, sample->GetSize())) : 0;
  // In pieces: what does not fit waits until the buffer has been consumed.
  HRESULT hr = S_OK;
  while (length > 0 && SUCCEEDED(hr)) {
    const uint32_t take = std::min(length, kBufferBytes - held_);
    std::memcpy(buffer_.get() + held_, data, take);
    held_ += take;
    data += take;
    length -= take;
    hr = Consume();
    if (held_ == kBufferBytes) {
      Diag(DiagLevel::kWarning, "Audio merger: no MPEG audio frame in %u bytes of input; they were dropped",
           static_cast<unsigned>(held_));
      held_ = 0;
    }
  }
  return hr;
}
