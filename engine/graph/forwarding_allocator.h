// CForwardingAllocator: the input allocator of a pass-through module. Buffer
// requests go to an inner allocator (the module's output allocator, borrowed)
// so the upstream module writes straight into the downstream module's buffers.
// Results: S_OK or a failure code, as IMemAllocator.
// Until the inner allocator is set it answers with its own stored properties.
// Uses no engine globals: pass-through modules in plug-ins use it too.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/mem_allocator.h"
#include "platform/unknown.h"

class CForwardingAllocator final : public IMemAllocator {
 public:
  // Reference count 0: the creator adds the first reference.
  CForwardingAllocator();
  // A new one, holding its first reference.
  static Ref<CForwardingAllocator> Create();
  CForwardingAllocator(const CForwardingAllocator&) = delete;
  CForwardingAllocator& operator=(const CForwardingAllocator&) = delete;

  // IMemAllocator and IUnknown; any other interface gives E_FAIL.
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

  // Borrowed: no reference is taken. Null detaches it again.
  HRESULT SetInner(IMemAllocator* inner);
  // Buffer requests are forwarded only while enabled (the default).
  void SetEnabled(int32_t enabled) { enabled_.store(enabled); }

 private:
  ~CForwardingAllocator();

  std::atomic<int32_t> enabled_{1};
  std::atomic<IMemAllocator*> inner_{nullptr};
  ALLOCATOR_PROPERTIES props_{1, 1920 * 1080 * 4, 64, 0};
  std::atomic<LONG> ref_{0};
};

// A pass-through module's input allocator for GetInputAllocator: made on first
// use with inner (borrowed) behind it, then a new reference in *out. E_POINTER
// without out.
HRESULT ShareForwardingAllocator(Ref<CForwardingAllocator>& forwarder, IMemAllocator* inner, IMemAllocator** out);
