#include "platform/media_sample.h"

#include <cstring>

#include "platform/mem_allocator.h"
#include "platform/task_allocator.h"

namespace {

// Deep copy in task memory; null when memory runs out.
AM_MEDIA_TYPE* CopyType(const AM_MEDIA_TYPE& src) {
  auto* t = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!t) return nullptr;
  *t = src;
  t->pUnk = nullptr;
  t->pbFormat = nullptr;
  t->cbFormat = 0;
  if (src.cbFormat && src.pbFormat) {
    t->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src.cbFormat));
    if (!t->pbFormat) {
      CoTaskMemFree(t);
      return nullptr;
    }
    std::memcpy(t->pbFormat, src.pbFormat, src.cbFormat);
    t->cbFormat = src.cbFormat;
  }
  return t;
}

void FreeTypeCopy(AM_MEDIA_TYPE* t) {
  if (!t) return;
  CoTaskMemFree(t->pbFormat);
  CoTaskMemFree(t);
}

}  // namespace

CMediaSample::CMediaSample(IMemAllocator* owner, BYTE* buffer, LONG size)
    : owner_(owner), buffer_(buffer), size_(size < 0 ? 0 : size), actual_(size_) {}

CMediaSample::~CMediaSample() { FreeType(); }

void CMediaSample::FreeType() {
  FreeTypeCopy(type_);
  type_ = nullptr;
}

void CMediaSample::ResetForUse() {
  FreeType();
  syncPoint_ = preroll_ = discontinuity_ = false;
  hasStart_ = hasStop_ = hasMediaTime_ = false;
  start_ = stop_ = mediaStart_ = mediaStop_ = 0;
  actual_ = size_;
  ref_.store(1);
}

void CMediaSample::SetBuffer(BYTE* buffer, LONG size) {
  buffer_ = buffer;
  size_ = size < 0 ? 0 : size;
  actual_ = size_;
}

HRESULT CMediaSample::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMediaSample) {
    AddRef();
    *out = static_cast<IMediaSample*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CMediaSample::Release() {
  LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) {
    if (owner_) {
      owner_->ReleaseBuffer(this);
    } else {
      delete this;
    }
  }
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT CMediaSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = buffer_;
  return S_OK;
}

LONG CMediaSample::GetSize() { return size_; }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  if (!hasStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  if (start) *start = start_;
  if (!hasStop_) {
    if (stop) *stop = start_ + 1;
    return VFW_S_NO_STOP_TIME;
  }
  if (stop) *stop = stop_;
  return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
  hasStart_ = start != nullptr;
  hasStop_ = hasStart_ && stop != nullptr;
  start_ = hasStart_ ? *start : 0;
  stop_ = hasStop_ ? *stop : 0;
  return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() { return syncPoint_ ? S_OK : S_FALSE; }
HRESULT CMediaSample::SetSyncPoint(BOOL sync) {
  syncPoint_ = sync != 0;
  return S_OK;
}
HRESULT CMediaSample::IsPreroll() { return preroll_ ? S_OK : S_FALSE; }
HRESULT CMediaSample::SetPreroll(BOOL preroll) {
  preroll_ = preroll != 0;
  return S_OK;
}
LONG CMediaSample::GetActualDataLength() { return actual_; }

HRESULT CMediaSample::SetActualDataLength(LONG length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
  if (!type) return E_POINTER;
  *type = nullptr;
  if (!type_) return S_FALSE;
  *type = CopyType(*type_);
  return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type) {
  if (!type) {
    FreeType();
    return S_OK;
  }
  AM_MEDIA_TYPE* copy = CopyType(*type);
  if (!copy) return E_OUTOFMEMORY;
  FreeType();
  type_ = copy;
  return S_OK;
}

HRESULT CMediaSample::IsDiscontinuity() { return discontinuity_ ? S_OK : S_FALSE; }
HRESULT CMediaSample::SetDiscontinuity(BOOL discontinuity) {
  discontinuity_ = discontinuity != 0;
  return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* start, LONGLONG* stop) {
  if (!hasMediaTime_) return VFW_E_MEDIA_TIME_NOT_SET;
  if (start) *start = mediaStart_;
  if (stop) *stop = mediaStop_;
  return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* start, LONGLONG* stop) {
  if (!start || !stop) {
    hasMediaTime_ = false;
    return S_OK;
  }
  hasMediaTime_ = true;
  mediaStart_ = *start;
  mediaStop_ = *stop;
  return S_OK;
}
