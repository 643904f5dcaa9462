// IMemAllocator and the system memory allocator.
// Results: S_OK or a failure code.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/media_sample.h"

// {56A8689C-0AD4-11CE-B03A-0020AF0BA770}
constexpr IID IID_IMemAllocator = {0x56A8689C, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
// {1E651CC0-B199-11D0-8212-00C04FC32C45}
constexpr CLSID CLSID_MemoryAllocator = {0x1E651CC0, 0xB199, 0x11D0, {0x82, 0x12, 0x00, 0xC0, 0x4F, 0xC3, 0x2C, 0x45}};

constexpr HRESULT VFW_E_BADALIGN = MakeHResult(0x8004020Eu);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHResult(0x8004020Fu);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHResult(0x80040210u);
constexpr HRESULT VFW_E_TIMEOUT = MakeHResult(0x8004022Eu);

// GetBuffer flags.
constexpr DWORD AM_GBF_PREVFRAMESKIPPED = 1;
constexpr DWORD AM_GBF_NOTASYNCPOINT = 2;
constexpr DWORD AM_GBF_NOWAIT = 4;

struct IMemAllocator : IUnknown {
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  // Blocks until a buffer is free (unless AM_GBF_NOWAIT); the sample comes with one reference.
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

 protected:
  ~IMemAllocator() = default;
};

// The system memory allocator: a fixed pool of buffers in process memory.
// Every sample handed out holds a reference on the allocator until it comes back.
class CMemAllocator final : public IMemAllocator {
 public:
  CMemAllocator();
  CMemAllocator(const CMemAllocator&) = delete;
  CMemAllocator& operator=(const CMemAllocator&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) override;
  HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) override;
  HRESULT Commit() override;
  HRESULT Decommit() override;
  HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags) override;
  HRESULT ReleaseBuffer(IMediaSample* sample) override;

 private:
  ~CMemAllocator();
  void FreeBuffersLocked();  // only when every sample is in the free list

  struct Buffer {
    CMediaSample* sample;
    void* memory;
  };

  std::mutex mutex_;
  std::condition_variable freed_;
  std::atomic<LONG> ref_{0};
  ALLOCATOR_PROPERTIES props_{0, 0, 0, 0};
  bool propsSet_ = false;
  bool committed_ = false;
  bool decommitPending_ = false;
  std::vector<Buffer> buffers_;
  std::vector<CMediaSample*> free_;
};

// Creates the system memory allocator (CLSID_MemoryAllocator) holding one
// reference for the caller. E_POINTER for a null out argument.
HRESULT CreateMemoryAllocator(IMemAllocator** out);
