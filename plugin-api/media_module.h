// CMediaModule: the common base of every module (reference count, lock,
// output-pin delivery callbacks, pin allocators, registration pointer).
// Built into the engine and into the plug-in SDK: it uses no engine globals.
// Results: S_OK, or E_INVALIDARG for a pin the module lacks, E_NOINTERFACE, E_POINTER.
#pragma once

#include <atomic>
#include <mutex>
#include <new>

#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/module_interfaces.h"

// Interface is IMediaTransform, IMediaReader or IMediaWriter: the module
// answers IMSM and that one code.
template <class Interface>
class CMediaModule : public Interface {
 public:
  CMediaModule();
  CMediaModule(const CMediaModule&) = delete;
  CMediaModule& operator=(const CMediaModule&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  LONG AddRef() override;
  LONG Release() override;
  HRESULT Stop() override;
  HRESULT Pause(int32_t pause) override;
  HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) override;
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t AcceptsBlankSample() override;
  HRESULT SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) override;
  void Lock() override;
  void Unlock() override;
  void SetRegistration(const void* registration) override;
  const void* GetRegistration() override;
  void DeleteThis(int32_t flags) override;

  // Hands the sample to the pin's callback; without one a real sample is
  // released (null and blank samples are dropped). Returns 0.
  HRESULT Deliver(uint32_t pin, IMediaSample* sample);

 protected:
  // Virtual so that DeleteThis destroys the whole derived module. Its table
  // entries come after every interface slot.
  virtual ~CMediaModule();

  // Borrowed output allocator of a pin (null when none or out of range).
  IMemAllocator* OutputAllocator(uint32_t pin) const { return pin < kMaxOutputPins ? outputAllocators_[pin] : nullptr; }
  DeliverCallback OutputCallback(uint32_t pin) const { return pin < kMaxOutputPins ? callbacks_[pin] : nullptr; }
  LONG RefCount() const { return ref_.load(); }

  // The usual requirement of an input taking whole samples: one buffer of
  // size bytes, 32-byte aligned, no prefix. E_POINTER when props is null.
  static HRESULT OneBufferRequirements(ALLOCATOR_PROPERTIES* props, int32_t size) {
    if (!props) return E_POINTER;
    *props = ALLOCATOR_PROPERTIES{1, size, 32, 0};
    return S_OK;
  }

 private:
  DeliverCallback* callbacks_;  // kMaxOutputPins entries
  void** contexts_;             // kMaxOutputPins entries
  std::recursive_mutex lock_;
  const void* registration_ = nullptr;
  std::atomic<LONG> ref_{1};
  Ref<IMemAllocator> inputAllocators_[kMaxInputPins];     // created on first request
  IMemAllocator* outputAllocators_[kMaxOutputPins] = {};  // borrowed
};

extern template class CMediaModule<IMediaTransform>;
extern template class CMediaModule<IMediaReader>;
extern template class CMediaModule<IMediaWriter>;

using CTransformModule = CMediaModule<IMediaTransform>;
using CReaderModule = CMediaModule<IMediaReader>;
using CWriterModule = CMediaModule<IMediaWriter>;

// A transform of one input pin and one output pin that keeps its input type.
class CSingleTransformModule : public CTransformModule {
 public:
  uint32_t GetInputPinCount() override { return 1; }
  uint32_t GetOutputPinCount() override { return 1; }
  // The kept input type: MODULE_E_NO_TYPE past the first, E_FAIL for another
  // pin, no buffer or no type yet.
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (index != 0) return MODULE_E_NO_TYPE;
    if (pin != 0 || !type) return E_FAIL;
    return inputTypes_.Get(0, type);
  }

 protected:
  CMediaTypeArray inputTypes_;
};

// The factory of a module that opens with its parameters: null when it cannot
// be made or does not open (a module that fails to open is released).
template <class T>
IMediaModule* CreateOpenedModule(CParamList* params) {
  Ref<T> module(new (std::nothrow) T());
  if (!module) return nullptr;
  if (module->Open(params) != S_OK) return nullptr;
  return module.Detach();
}
