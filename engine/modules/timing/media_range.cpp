#include "engine/modules/timing/media_range.h"

#include <algorithm>

#include "common/param_list.h"

namespace {

// Seconds to 100-ns units; negative seconds mean 0.
int64_t SecondsToUnits(int32_t seconds) { return std::max<int64_t>(seconds, 0) * kTimeUnitsPerSecond; }

bool IsRangeRawVideo(const GUID& subtype) {
  return subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_RGB24 ||
         subtype == MEDIASUBTYPE_RGB32 || subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_YUYV;
}

}  // namespace

IMediaModule* CMediaRange::Create(CParamList* params) { return CreateOpenedModule<CMediaRange>(params); }

CMediaRange::~CMediaRange() { CMediaRange::Close(); }

HRESULT CMediaRange::Close() {
  if (forwarder_) {
    forwarder_->SetInner(nullptr);  // the output allocator is only borrowed
    forwarder_.Reset();
  }
  return CTimingModule::Close();
}

HRESULT CMediaRange::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  start_ = SecondsToUnits(params->GetInt("STARTTM", 0));
  stop_ = SecondsToUnits(params->GetInt("STOPTM", 0));
  rawVideo_ = params->GetInt("RAWVIDEO", 0) != 0;
  return S_OK;
}

HRESULT CMediaRange::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t) {
  if (pin != 0 || !type) return E_FAIL;
  if (rawVideo_ && (type->majortype != MEDIATYPE_Video || !IsRangeRawVideo(type->subtype))) return E_FAIL;
  return inputTypes_.Set(0, 1, type);
}

HRESULT CMediaRange::SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) {
  const HRESULT hr = CTimingModule::SetOutputAllocator(pin, allocator);
  if (hr == S_OK && forwarder_) forwarder_->SetInner(allocator);
  return hr;
}

HRESULT CMediaRange::GetInputAllocator(uint32_t pin, IMemAllocator** allocator) {
  if (pin != 0) return E_INVALIDARG;
  return ShareForwardingAllocator(forwarder_, OutputAllocator(0), allocator);
}

HRESULT CMediaRange::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  IMemAllocator* out = OutputAllocator(0);
  if (pin != 0 || !out) return E_FAIL;
  return out->GetProperties(props);
}

HRESULT CMediaRange::Receive(uint32_t pin, IMediaSample* received) {
  if (!received) return Deliver(0, nullptr);
  Ref<IMediaSample> sample(received);
  if (pin != 0) return E_FAIL;
  if (sample->GetActualDataLength() == 0 && sample->IsDiscontinuity() == S_OK) return Deliver(0, sample.Detach());
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  if (FAILED(timed) || start < start_ || (stop_ != 0 && start >= stop_)) return S_OK;
  start -= start_;
  if (timed == S_OK) {
    stop -= start_;
    sample->SetTime(&start, &stop);
  } else {
    sample->SetTime(&start, nullptr);
  }
  return Deliver(0, sample.Detach());
}
