#include "engine/graph/forwarding_allocator.h"

CForwardingAllocator::CForwardingAllocator() = default;

Ref<CForwardingAllocator> CForwardingAllocator::Create() {
  return Ref<CForwardingAllocator>::AddRefOf(new CForwardingAllocator());
}
CForwardingAllocator::~CForwardingAllocator() = default;

HRESULT CForwardingAllocator::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IMemAllocator || iid == IID_IUnknown) {
    AddRef();
    *out = static_cast<IMemAllocator*>(this);
    return S_OK;
  }
  *out = nullptr;
  return E_FAIL;
}

ULONG CForwardingAllocator::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CForwardingAllocator::Release() {
  LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT CForwardingAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (IMemAllocator* inner = inner_.load()) return inner->SetProperties(request, actual);
  if (!request || !actual) return E_POINTER;
  props_ = *request;
  *actual = props_;
  return S_OK;
}

HRESULT CForwardingAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (IMemAllocator* inner = inner_.load()) return inner->GetProperties(props);
  if (!props) return E_POINTER;
  *props = props_;
  return S_OK;
}

HRESULT CForwardingAllocator::Commit() { return S_OK; }

HRESULT CForwardingAllocator::Decommit() { return S_OK; }

HRESULT CForwardingAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                        DWORD flags) {
  IMemAllocator* inner = inner_.load();
  if (inner && enabled_.load()) return inner->GetBuffer(sample, start, stop, flags);
  if (sample) *sample = nullptr;
  return E_FAIL;
}

HRESULT CForwardingAllocator::ReleaseBuffer(IMediaSample* sample) {
  if (IMemAllocator* inner = inner_.load()) return inner->ReleaseBuffer(sample);
  return E_FAIL;
}

HRESULT CForwardingAllocator::SetInner(IMemAllocator* inner) {
  inner_.store(inner);
  return S_OK;
}

HRESULT ShareForwardingAllocator(Ref<CForwardingAllocator>& forwarder, IMemAllocator* inner, IMemAllocator** out) {
  if (!out) return E_POINTER;
  if (!forwarder) {
    forwarder = CForwardingAllocator::Create();
    forwarder->SetInner(inner);
  }
  forwarder->AddRef();
  *out = forwarder.Get();
  return S_OK;
}
