#include "engine/modules/timing/video_reframe.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "common/param_list.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/diagnostics.h"

namespace {

// A stamped copy lasts 1 ms; the next frame's start is what counts.
constexpr int64_t kCopyLength = 10000;
constexpr size_t kAvgTimeOffset = offsetof(VIDEOINFOHEADER, AvgTimePerFrame);

bool IsVideoInfo(const GUID& format) { return format == FORMAT_VideoInfo || format == FORMAT_VideoInfo2; }

bool HasAvgTime(const AM_MEDIA_TYPE* mt, bool mpeg) {
  const bool known = IsVideoInfo(mt->formattype) ||
                     (mpeg && (mt->formattype == FORMAT_MPEGVideo || mt->formattype == FORMAT_MPEG2Video));
  return known && mt->pbFormat && mt->cbFormat >= kAvgTimeOffset + sizeof(REFERENCE_TIME);
}

int64_t AvgTimeOf(const AM_MEDIA_TYPE* mt) {
  if (!IsVideoInfo(mt->formattype) || !HasAvgTime(mt, false)) return 0;
  REFERENCE_TIME t = 0;
  std::memcpy(&t, mt->pbFormat + kAvgTimeOffset, sizeof t);
  return t;
}

// Copies the sample into a new buffer: data, length, media type and flags.
// VFW_E_BUFFER_OVERFLOW when the data does not fit the buffer.
HRESULT CopyInto(IMediaSample* out, IMediaSample* in) {
  BYTE* src = nullptr;
  BYTE* dst = nullptr;
  in->GetPointer(&src);
  out->GetPointer(&dst);
  LONG length = in->GetActualDataLength();
  if (length < 0 || !src) length = 0;
  if (length > in->GetSize()) length = in->GetSize();
  if (length > 0 && (!dst || length > out->GetSize())) {
    Diag(DiagLevel::kWarning,
         "Video frame rate: a frame of %ld bytes does not fit an output buffer of %ld bytes; dropped",
         static_cast<long>(length), static_cast<long>(out->GetSize()));
    return VFW_E_BUFFER_OVERFLOW;
  }
  if (length > 0) std::memcpy(dst, src, static_cast<size_t>(length));
  out->SetActualDataLength(length);
  AM_MEDIA_TYPE* mt = nullptr;
  if (in->GetMediaType(&mt) == S_OK && mt) {
    out->SetMediaType(mt);
    DeleteOwnMediaType(mt);
  }
  out->SetSyncPoint(in->IsSyncPoint() == S_OK);
  out->SetDiscontinuity(in->IsDiscontinuity() == S_OK);
  out->SetPreroll(in->IsPreroll() == S_OK);
  return S_OK;
}

}  // namespace

int64_t FrameStartTime(int64_t n, int32_t num, int32_t den) {
  if (num <= 0 || den <= 0) return 0;
  return n * num * kTimeUnitsPerSecond / den;
}

// ---- CFrameRateModule ----

HRESULT CFrameRateModule::Open(CParamList*) {
  frameNum_ = frameDen_ = 0;
  index_ = 0;
  return S_OK;
}

HRESULT CFrameRateModule::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  const int32_t num = params->GetInt("FRAMENUM", 1);
  const int32_t den = params->GetInt("FRAMEDEN", defaultDen_);
  if (num <= 0 || den <= 0) {
    Diag(DiagLevel::kError, "Video frame rate: the rate %d/%d is refused (both parts must be positive)",
         static_cast<int>(num), static_cast<int>(den));
    return E_INVALIDARG;
  }
  frameNum_ = num;
  frameDen_ = den;
  RateChanged();
  return S_OK;
}

HRESULT CFrameRateModule::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  const HRESULT hr = CTimingModule::GetOutputType(pin, index, type);
  if (hr != S_OK || !HasRate() || !HasAvgTime(type, mpeg_)) return hr;
  const REFERENCE_TIME duration = Duration();
  std::memcpy(type->pbFormat + kAvgTimeOffset, &duration, sizeof duration);
  return S_OK;
}

HRESULT CFrameRateModule::DeliverCopyAtNext(IMediaSample* sample) {
  HRESULT hr = S_OK;
  Ref<IMediaSample> out = NewBuffer(&hr);
  if (!out) return hr;
  hr = CopyInto(out.Get(), sample);
  if (FAILED(hr)) return hr;
  if (HasRate()) {
    REFERENCE_TIME start = StartOf(index_);
    REFERENCE_TIME stop = start + kCopyLength;
    out->SetTime(&start, &stop);
  } else {
    REFERENCE_TIME start = 0, stop = 0;
    const HRESULT timed = sample->GetTime(&start, &stop);
    if (timed == S_OK)
      out->SetTime(&start, &stop);
    else if (SUCCEEDED(timed))
      out->SetTime(&start, nullptr);
  }
  ++index_;
  return Deliver(0, out.Detach());
}

// ---- CVideoReframe ----

IMediaModule* CVideoReframe::Create(CParamList* params) { return CreateOpenedModule<CVideoReframe>(params); }

HRESULT CVideoReframe::Open(CParamList* params) {
  CFrameRateModule::Open(params);
  drops_ = duplicates_ = 0;
  dropping_ = false;
  return S_OK;
}

HRESULT CVideoReframe::Close() {
  if (!closed_) {
    closed_ = true;
    Diag(DiagLevel::kNote, "Drop %d frames,duplicate %d frames\n", drops_, duplicates_);
  }
  return CTimingModule::Close();
}

void CVideoReframe::RateChanged() {
  constexpr int64_t kNtscFrame = 333666;  // 29.97 frames per second
  constexpr int64_t kFilmFrame = 417083;  // 23.976 frames per second
  constexpr int64_t kNear = 5000;
  const int64_t d = Duration();
  const bool pulldown = std::llabs(inputDuration_ - kNtscFrame) < kNear && std::llabs(d - kFilmFrame) < kNear;
  if (pulldown || std::llabs(d - inputDuration_) <= kNear) {
    early_ = 1.8;
    late_ = 1.0;
  } else {
    early_ = 1.0;
    late_ = 0.5;
  }
}

HRESULT CVideoReframe::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (testOnly != 0 && testOnly != 1) return S_OK;
  if (pin != 0) return E_FAIL;
  if (!type || type->majortype != MEDIATYPE_Video || !IsRawPixelFormat(type->subtype)) return MODULE_E_NO_TYPE;
  if (testOnly) return S_OK;
  inputDuration_ = AvgTimeOf(type);
  if (HasRate()) RateChanged();
  return inputTypes_.Set(0, 1, type);
}

HRESULT CVideoReframe::SetOutputType(uint32_t, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (testOnly) return S_OK;
  if (type && type->majortype == MEDIATYPE_Video && IsRawPixelFormat(type->subtype) && IsVideoInfo(type->formattype))
    return S_OK;
  return E_FAIL;
}

HRESULT CVideoReframe::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) return Deliver(0, nullptr);
  Ref<IMediaSample> sample(received);
  if (pin != 0) return E_FAIL;
  REFERENCE_TIME start = 0, stop = 0;
  HRESULT hr = S_OK;
  if (HasRate() && SUCCEEDED(sample->GetTime(&start, &stop))) {
    const double d = static_cast<double>(Duration());
    const double diff = static_cast<double>(start - StartOf(index_));
    if (dropping_ && diff < 0 && -diff >= d * late_) {
      ++drops_;
      return S_OK;
    }
    if (std::fabs(diff) >= d * early_) {
      if (diff < 0) {
        dropping_ = true;
        ++drops_;
        return S_OK;
      }
      // Late: repeat the frame into the slots it missed.
      while (static_cast<double>(start - StartOf(index_)) >= d * late_) {
        if ((hr = DeliverCopyAtNext(sample.Get())) != S_OK) break;
        ++duplicates_;
      }
    }
  }
  dropping_ = false;
  if (hr == S_OK) hr = DeliverCopyAtNext(sample.Get());
  return hr;
}

// ---- CVideoChangeFrame ----

IMediaModule* CVideoChangeFrame::Create(CParamList* params) { return CreateOpenedModule<CVideoChangeFrame>(params); }

HRESULT CVideoChangeFrame::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (testOnly != 0 && testOnly != 1) return S_OK;
  if (pin != 0) return E_FAIL;
  if (!type || type->majortype != MEDIATYPE_Video) return MODULE_E_NO_TYPE;
  if (testOnly) return S_OK;
  return inputTypes_.Set(0, 1, type);
}

HRESULT CVideoChangeFrame::SetOutputType(uint32_t, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (testOnly) return S_OK;
  return type && type->majortype == MEDIATYPE_Video ? S_OK : E_FAIL;
}

HRESULT CVideoChangeFrame::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) return Deliver(0, nullptr);
  Ref<IMediaSample> sample(received);
  if (pin != 0) return E_FAIL;
  if (sample->GetActualDataLength() == 0 && sample->IsDiscontinuity() == S_OK) return DeliverMarker();
  return DeliverCopyAtNext(sample.Get());
}
