#include "platform/mem_allocator.h"

#include <cstdint>
#include <cstdlib>
#include <new>

namespace {
// Buffers larger than this are refused outright (a bad request, not a real need).
constexpr int64_t kMaxPoolBytes = int64_t{1} << 34;
}  // namespace

CMemAllocator::CMemAllocator() = default;

CMemAllocator::~CMemAllocator() {
  // Nothing can be outstanding: each outstanding sample holds a reference.
  for (auto& b : buffers_) {
    delete b.sample;
    std::free(b.memory);
  }
}

HRESULT CMemAllocator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IMemAllocator) {
    AddRef();
    *out = static_cast<IMemAllocator*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CMemAllocator::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CMemAllocator::Release() {
  LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (!request || !actual) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (committed_) return VFW_E_ALREADY_COMMITTED;
  if (free_.size() != buffers_.size()) return VFW_E_BUFFERS_OUTSTANDING;
  LONG align = request->cbAlign == 0 ? 1 : request->cbAlign;
  if (align < 0 || (align & (align - 1)) != 0) return VFW_E_BADALIGN;
  if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0) return E_INVALIDARG;
  // Round prefix + buffer up to the alignment, as the buffer size seen by callers.
  int64_t total = int64_t{request->cbBuffer} + request->cbPrefix;
  int64_t rem = total % align;
  if (rem) total += align - rem;
  int64_t size = total - request->cbPrefix;
  if (size > INT32_MAX || size * request->cBuffers > kMaxPoolBytes) return E_OUTOFMEMORY;
  FreeBuffersLocked();  // sizes change: the old pool goes
  props_ = ALLOCATOR_PROPERTIES{request->cBuffers, static_cast<LONG>(size), align, request->cbPrefix};
  propsSet_ = true;
  *actual = props_;
  return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  std::lock_guard lock(mutex_);
  *props = props_;
  return S_OK;
}

HRESULT CMemAllocator::Commit() {
  std::lock_guard lock(mutex_);
  if (committed_) return S_OK;
  if (!propsSet_ || props_.cBuffers <= 0 || props_.cbBuffer <= 0) return VFW_E_SIZENOTSET;
  decommitPending_ = false;
  if (buffers_.empty()) {
    buffers_.reserve(static_cast<size_t>(props_.cBuffers));
    for (LONG i = 0; i < props_.cBuffers; ++i) {
      size_t bytes = static_cast<size_t>(props_.cbPrefix) + static_cast<size_t>(props_.cbBuffer) +
                     static_cast<size_t>(props_.cbAlign);
      void* mem = std::malloc(bytes);
      CMediaSample* s = mem ? new (std::nothrow) CMediaSample(this, nullptr, 0) : nullptr;
      if (!s) {
        std::free(mem);
        FreeBuffersLocked();
        return E_OUTOFMEMORY;
      }
      auto base = reinterpret_cast<uintptr_t>(mem) + static_cast<uintptr_t>(props_.cbPrefix);
      auto a = static_cast<uintptr_t>(props_.cbAlign);
      base = (base + a - 1) / a * a;
      s->SetBuffer(reinterpret_cast<BYTE*>(base), props_.cbBuffer);
      buffers_.push_back(Buffer{s, mem});
      free_.push_back(s);
    }
  }
  committed_ = true;
  return S_OK;
}

HRESULT CMemAllocator::Decommit() {
  std::lock_guard lock(mutex_);
  if (!committed_) return S_OK;
  committed_ = false;
  if (free_.size() == buffers_.size()) {
    FreeBuffersLocked();
  } else {
    decommitPending_ = true;  // the last returning sample frees the pool
  }
  freed_.notify_all();  // waiters in GetBuffer fail now
  return S_OK;
}

void CMemAllocator::FreeBuffersLocked() {
  for (auto& b : buffers_) {
    delete b.sample;
    std::free(b.memory);
  }
  buffers_.clear();
  free_.clear();
  decommitPending_ = false;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  CMediaSample* s = nullptr;
  {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!committed_) return VFW_E_NOT_COMMITTED;
      if (!free_.empty()) break;
      if (flags & AM_GBF_NOWAIT) return VFW_E_TIMEOUT;
      freed_.wait(lock);
    }
    s = free_.back();
    free_.pop_back();
    s->ResetForUse();
    AddRef();  // held by the outstanding sample
  }
  if (start) s->SetTime(start, stop);
  *sample = s;
  return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  {
    std::lock_guard lock(mutex_);
    CMediaSample* s = nullptr;
    for (auto& b : buffers_) {
      if (static_cast<IMediaSample*>(b.sample) == sample) s = b.sample;
    }
    if (!s) return E_INVALIDARG;  // not one of this pool's samples
    free_.push_back(s);
    if (decommitPending_ && free_.size() == buffers_.size()) FreeBuffersLocked();
    freed_.notify_one();
  }
  Release();  // the sample's hold on the allocator
  return S_OK;
}

HRESULT CreateMemoryAllocator(IMemAllocator** out) {
  if (!out) return E_POINTER;
  auto* a = new (std::nothrow) CMemAllocator();
  if (!a) {
    *out = nullptr;
    return E_OUTOFMEMORY;
  }
  a->AddRef();
  *out = a;
  return S_OK;
}
