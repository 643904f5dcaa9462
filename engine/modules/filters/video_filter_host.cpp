#include "engine/modules/filters/video_filter_host.h"

#include <cstring>

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "engine/modules/filters/video_media_type.h"
#include "platform/diagnostics.h"

namespace {

constexpr REFERENCE_TIME kStampedDuration = 10000;

// A filter's answer to Process: 0 done, 1 done and asks for a stop stamp, else a failure.
constexpr int32_t kProcessDone = 0;
constexpr int32_t kProcessStamp = 1;

// A filter answer that is neither of its defined values, as a failure code.
HRESULT FilterFailure(int32_t answer) { return answer < 0 ? answer : E_FAIL; }

}  // namespace

CVideoFilterHost::~CVideoFilterHost() { CVideoFilterHost::Close(); }

HRESULT CVideoFilterHost::SetParams(CParamList* params) {
  if (filter_ == nullptr) return E_FAIL;
  // The filter answers 0 (copy mode), 1 (in place) or an error.
  const int32_t answer = filter_->SetParams(params);
  if (answer == 0) return S_OK;
  if (answer != 1) return FilterFailure(answer);
  inPlace_ = true;
  swapBuffer_.resize(size_t(inPlanes_.pitch[1]) * size_t(inPlanes_.rows[1]));
  return S_OK;
}

HRESULT CVideoFilterHost::Run() {
  if (filter_ == nullptr) return E_FAIL;
  filter_->IsInline();  // every filter runs on the delivering thread
  filter_->Start();
  return 0;
}

HRESULT CVideoFilterHost::Open(CParamList* params) {
  factory_ = reinterpret_cast<VideoFilterFactory>(params->GetPtr("FNVF", nullptr));
  if (factory_ != nullptr) filter_ = factory_(params);
  return 0;
}

// The graph (or whoever made the host) releases it after closing it, so the
// module stays alive until that last reference goes.
HRESULT CVideoFilterHost::Close() {
  if (filter_ != nullptr) filter_->Destroy();
  filter_ = nullptr;
  if (forwarder_) {
    forwarder_->SetInner(nullptr);  // the output allocator is only borrowed
    forwarder_.Reset();
  }
  inputTypes_.FreeAll();
  swapBuffer_ = {};
  return S_OK;
}

HRESULT CVideoFilterHost::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_NOTIMPL; }

HRESULT CVideoFilterHost::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t) {
  if (pin != 0 || type == nullptr || type->majortype != MEDIATYPE_Video) return E_FAIL;
  FrameFormat format;
  FramePlanes planes;
  if (!ParseVideoMediaType(type, &format, &planes)) return MODULE_E_NO_TYPE;
  if (filter_ == nullptr) return E_FAIL;
  // The filter answers 0 (accepts) or 1 (refuses).
  if (filter_->SetFormat(&format) != 0) return MODULE_E_NO_TYPE;
  inPlanes_ = planes;
  inputTypes_.Set(0, 1, type);
  return S_OK;
}

HRESULT CVideoFilterHost::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin != 0) return E_FAIL;
  return inputTypes_.Get(0, type);
}

HRESULT CVideoFilterHost::AcceptOutputType(const AM_MEDIA_TYPE* type, const FrameFormat& format) {
  FrameFormat proposed;
  FramePlanes planes;
  if (!ParseVideoMediaType(type, &proposed, &planes)) return MODULE_E_NO_TYPE;
  if (proposed.colourType != format.colourType || proposed.width != format.width || proposed.height != format.height)
    return MODULE_E_NO_TYPE;
  outPlanes_ = planes;
  outputFormat_ = format;
  outFrameSize_ = FramePlanesSize(planes);
  return 0;
}

HRESULT CVideoFilterHost::SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (filter_ == nullptr || pin != 0 || type == nullptr) return E_FAIL;
  if (testOnly != 0 && testOnly != 1) return 0;
  FrameFormat format;
  filter_->GetOutputFormat(&format);
  return AcceptOutputType(type, format);
}

HRESULT CVideoFilterHost::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin != 0 || filter_ == nullptr) return E_FAIL;
  FrameFormat format;
  filter_->GetOutputFormat(&format);
  return BuildVideoMediaType(&format, int32_t(index), type);
}

HRESULT CVideoFilterHost::SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) {
  if (inPlace_ && pin >= 1) return E_INVALIDARG;
  const HRESULT hr = CTransformModule::SetOutputAllocator(pin, allocator);
  if (hr == 0 && pin == 0 && forwarder_) forwarder_->SetInner(allocator);
  return hr;
}

HRESULT CVideoFilterHost::GetInputAllocator(uint32_t pin, IMemAllocator** allocator) {
  if (!inPlace_) return CTransformModule::GetInputAllocator(pin, allocator);
  // In place, upstream writes straight into the downstream buffers.
  if (pin != 0) return E_INVALIDARG;
  return ShareForwardingAllocator(forwarder_, OutputAllocator(0), allocator);
}

HRESULT CVideoFilterHost::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (props == nullptr) return E_POINTER;
  if (inPlace_) {
    IMemAllocator* out = OutputAllocator(0);
    return out != nullptr ? out->GetProperties(props) : E_FAIL;
  }
  if (pin != 0) return E_FAIL;
  return OneBufferRequirements(props, inputTypes_.GetSampleSize(0));
}

HRESULT CVideoFilterHost::Receive(uint32_t, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (!sample) return Deliver(0, nullptr);
  if (filter_ == nullptr) return E_FAIL;
  if (sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() == 0)
    return PassDiscontinuity(std::move(sample));
  return inPlace_ ? ReceiveInPlace(std::move(sample)) : ReceiveCopy(std::move(sample));
}

HRESULT CVideoFilterHost::PassDiscontinuity(Ref<IMediaSample> sample) {
  if (inPlace_) {
    filter_->OnDiscontinuity();
    Deliver(0, sample.Detach());
    return 0;
  }
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> out;
  const HRESULT hr = allocator != nullptr ? allocator->GetBuffer(out.Out(), nullptr, nullptr, 0) : E_FAIL;
  if (hr != S_OK || !out) return hr != S_OK ? hr : E_FAIL;
  out->SetActualDataLength(0);
  out->SetDiscontinuity(1);
  Deliver(0, out.Detach());
  sample.Reset();
  filter_->OnDiscontinuity();
  return 0;
}

HRESULT CVideoFilterHost::ReceiveInPlace(Ref<IMediaSample> sample) {
  BYTE* buffer = nullptr;
  sample->GetPointer(&buffer);
  if (buffer == nullptr || sample->GetSize() < FramePlanesSize(inPlanes_)) {
    ConsoleLine("ERROR return\n");
    return E_FAIL;
  }
  SetPlanePointers(&inPlanes_, buffer);
  SetPlanePointers(&outPlanes_, nullptr);
  REFERENCE_TIME start = 0, stop = 0;
  sample->GetTime(&start, &stop);
  const REFERENCE_TIME arrived = start;
  REFERENCE_TIME t = start;
  const int32_t result = filter_->Process(&t, &inPlanes_, &outPlanes_);
  // A frame the filter could not make is not passed on.
  if (result != kProcessDone && result != kProcessStamp) return FilterFailure(result);
  if (t != arrived) {
    REFERENCE_TIME end = t + kStampedDuration;
    sample->SetTime(&t, &end);
  }
  // The buffer's chroma order follows the negotiated output subtype.
  const bool inUFirst = inPlanes_.offset[1] < inPlanes_.offset[2];
  const bool outUFirst = outPlanes_.offset[1] < outPlanes_.offset[2];
  if (inPlanes_.planeCount == 3 && inUFirst != outUFirst) {
    const size_t bytes = size_t(inPlanes_.pitch[1]) * size_t(inPlanes_.rows[1]);
    if (swapBuffer_.size() < bytes) swapBuffer_.resize(bytes);
    uint8_t* a = buffer + inPlanes_.offset[1];
    uint8_t* b = buffer + inPlanes_.offset[2];
    std::memcpy(swapBuffer_.data(), a, bytes);
    std::memcpy(a, b, bytes);
    std::memcpy(b, swapBuffer_.data(), bytes);
  }
  if (result == kProcessStamp) {
    REFERENCE_TIME s = arrived, end = arrived + kStampedDuration;
    sample->SetTime(&s, &end);
  }
  Deliver(0, sample.Detach());
  return S_OK;
}

HRESULT CVideoFilterHost::ReceiveCopy(Ref<IMediaSample> sample) {
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> out;
  const HRESULT hr = allocator != nullptr ? allocator->GetBuffer(out.Out(), nullptr, nullptr, 0) : E_FAIL;
  if (hr != S_OK || !out) return hr != S_OK ? hr : E_FAIL;
  BYTE* inBuffer = nullptr;
  BYTE* outBuffer = nullptr;
  sample->GetPointer(&inBuffer);
  out->GetPointer(&outBuffer);
  if (outBuffer == nullptr || inBuffer == nullptr || out->GetSize() < outFrameSize_ ||
      sample->GetSize() < FramePlanesSize(inPlanes_)) {
    ConsoleLine("ERROR return\n");
    return E_FAIL;
  }
  SetPlanePointers(&inPlanes_, inBuffer);
  SetPlanePointers(&outPlanes_, outBuffer);

  LONGLONG mediaStart = 0, mediaStop = 0;
  if (sample->GetMediaTime(&mediaStart, &mediaStop) == S_OK) out->SetMediaTime(&mediaStart, &mediaStop);
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT times = sample->GetTime(&start, &stop);
  const bool both = times == S_OK;
  const bool startOnly = times == VFW_S_NO_STOP_TIME;
  out->SetDiscontinuity(sample->IsDiscontinuity() == S_OK);
  out->SetPreroll(sample->IsPreroll() == S_OK);
  out->SetSyncPoint(sample->IsSyncPoint() == S_OK);

  REFERENCE_TIME t = (both || startOnly) ? start : 0;
  const int32_t result = filter_->Process(&t, &inPlanes_, &outPlanes_);
  // A frame the filter could not make is not passed on.
  if (result != kProcessDone && result != kProcessStamp) return FilterFailure(result);
  if (result == kProcessStamp) {
    REFERENCE_TIME end = t + kStampedDuration;
    out->SetTime(&t, &end);
  } else if (both) {
    out->SetTime(&t, &stop);
  } else if (startOnly) {
    out->SetTime(&t, nullptr);
  }
  out->SetActualDataLength(outFrameSize_);
  Deliver(0, out.Detach());
  return S_OK;
}

HRESULT CColorConvertHost::SetFilterColourType(int32_t colourType) {
  CParamList params;
  params.SetInt("COLORTYPE", colourType);
  return filter_->SetParams(&params);
}

HRESULT CColorConvertHost::SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (filter_ == nullptr || pin != 0 || type == nullptr) return E_FAIL;
  if (testOnly != 0 && testOnly != 1) return 0;
  FrameFormat proposed;
  FramePlanes planes;
  if (!ParseVideoMediaType(type, &proposed, &planes)) return MODULE_E_NO_TYPE;
  SetFilterColourType(proposed.colourType);
  FrameFormat format;
  if (filter_->GetOutputFormat(&format) != 0) return E_FAIL;
  return AcceptOutputType(type, format);
}

HRESULT CColorConvertHost::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin != 0 || filter_ == nullptr) return E_FAIL;
  if (index == 0) {
    offers_.clear();
    AM_MEDIA_TYPE input;
    InitMediaType(&input);
    const bool hasInput = inputTypes_.Get(0, &input) == S_OK;
    MediaTypeHolder probe;
    for (int32_t ct = kColourYuv420; ct <= kColourRgb565 && probe.Get() != nullptr; ++ct) {
      SetFilterColourType(ct);
      FrameFormat format;
      filter_->GetOutputFormat(&format);
      for (int32_t v = 0; offers_.size() < 32; ++v) {
        if (BuildVideoMediaType(&format, v, probe.Get()) != S_OK) break;
        if (!hasInput || probe.Get()->subtype != input.subtype) offers_.push_back({ct, v});
      }
    }
    ClearMediaTypeFormat(&input);
  }
  if (index >= offers_.size()) return MODULE_E_NO_TYPE;
  SetFilterColourType(offers_[index].colourType);
  FrameFormat format;
  filter_->GetOutputFormat(&format);
  return BuildVideoMediaType(&format, offers_[index].variant, type);
}

namespace {

template <class Host>
IMediaModule* CreateHost(CParamList* params) {
  auto* host = new Host();
  if (host->Open(params) != 0) {
    host->DeleteThis(1);
    return nullptr;
  }
  return host;
}

}  // namespace

IMediaModule* CreateVideoFilterHost(CParamList* params) { return CreateHost<CVideoFilterHost>(params); }
IMediaModule* CreateColorConvertHost(CParamList* params) { return CreateHost<CColorConvertHost>(params); }
