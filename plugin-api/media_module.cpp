#include "plugin-api/media_module.h"

#include <utility>

#include "platform/diagnostics.h"

IMediaSample* BlankSample() {
  static void* marker[4] = {nullptr, nullptr, nullptr, nullptr};
  return reinterpret_cast<IMediaSample*>(marker);
}

template <class Interface>
CMediaModule<Interface>::CMediaModule()
    : callbacks_(new DeliverCallback[kMaxOutputPins]()), contexts_(new void*[kMaxOutputPins]()) {}

template <class Interface>
CMediaModule<Interface>::~CMediaModule() {
  delete[] callbacks_;
  delete[] contexts_;
  for (auto& alloc : inputAllocators_) {
    if (!alloc) continue;
    alloc->Decommit();
    // Released by hand: the count left tells whether another holder keeps it.
    if (alloc.Detach()->Release() != 0) ConsoleLine("can not release alloc\n");
  }
}

template <class Interface>
HRESULT CMediaModule<Interface>::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid != IID_IMSM && iid != Interface::kIid) return E_NOINTERFACE;
  AddRef();
  *out = static_cast<IMediaModule*>(this);
  return 0;
}

template <class Interface>
LONG CMediaModule<Interface>::AddRef() {
  return ref_.fetch_add(1) + 1;
}

template <class Interface>
LONG CMediaModule<Interface>::Release() {
  LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) this->DeleteThis(1);
  return left;
}

template <class Interface>
HRESULT CMediaModule<Interface>::Stop() {
  return 0;
}

template <class Interface>
HRESULT CMediaModule<Interface>::Pause(int32_t) {
  return 0;
}

template <class Interface>
HRESULT CMediaModule<Interface>::SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) {
  if (pin >= this->GetOutputPinCount() || pin >= kMaxOutputPins) return E_INVALIDARG;
  outputAllocators_[pin] = allocator;
  return 0;
}

template <class Interface>
HRESULT CMediaModule<Interface>::GetInputAllocator(uint32_t pin, IMemAllocator** allocator) {
  if (pin >= this->GetInputPinCount() || pin >= kMaxInputPins) return E_INVALIDARG;
  if (!allocator) return E_POINTER;
  if (!inputAllocators_[pin]) {
    Ref<IMemAllocator> created;
    const HRESULT hr = CreateMemoryAllocator(created.Out());
    if (hr != S_OK || !created) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    inputAllocators_[pin] = std::move(created);
  }
  inputAllocators_[pin]->AddRef();
  *allocator = inputAllocators_[pin].Get();
  return 0;
}

template <class Interface>
HRESULT CMediaModule<Interface>::GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES*) {
  return E_FAIL;
}

template <class Interface>
int32_t CMediaModule<Interface>::AcceptsBlankSample() {
  return 0;
}

template <class Interface>
HRESULT CMediaModule<Interface>::SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) {
  if (pin >= this->GetOutputPinCount() || pin >= kMaxOutputPins) return E_INVALIDARG;
  callbacks_[pin] = callback;
  contexts_[pin] = context;
  return 0;
}

template <class Interface>
void CMediaModule<Interface>::Lock() {
  lock_.lock();
}

template <class Interface>
void CMediaModule<Interface>::Unlock() {
  lock_.unlock();
}

template <class Interface>
void CMediaModule<Interface>::SetRegistration(const void* registration) {
  registration_ = registration;
}

template <class Interface>
const void* CMediaModule<Interface>::GetRegistration() {
  return registration_;
}

template <class Interface>
void CMediaModule<Interface>::DeleteThis(int32_t flags) {
  if (flags & 1) {
    delete this;
  } else {
    this->~CMediaModule();
  }
}

template <class Interface>
HRESULT CMediaModule<Interface>::Deliver(uint32_t pin, IMediaSample* sample) {
  DeliverCallback cb = pin < kMaxOutputPins ? callbacks_[pin] : nullptr;
  if (cb) {
    cb(sample, contexts_[pin]);
  } else if (sample && !IsBlankSample(sample)) {
    Ref<IMediaSample> dropped(sample);
  }
  return 0;
}

template class CMediaModule<IMediaTransform>;
template class CMediaModule<IMediaReader>;
template class CMediaModule<IMediaWriter>;
