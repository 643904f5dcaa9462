// IMediaSample and the sample class used by the memory allocator.
// Results: S_OK or a failure code, but the flag questions answer S_OK (yes) or S_FALSE (no)
// and GetTime VFW_S_NO_STOP_TIME for a start time alone.
#pragma once

#include <atomic>

#include "platform/media_types.h"
#include "platform/unknown.h"

// {56A8689A-0AD4-11CE-B03A-0020AF0BA770}
constexpr IID IID_IMediaSample = {0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHResult(0x8004020Du);
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHResult(0x80040249u);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHResult(0x80040251u);

struct IMemAllocator;

// Slot order follows the DirectShow interface.
struct IMediaSample : IUnknown {
  virtual HRESULT GetPointer(BYTE** buffer) = 0;
  virtual LONG GetSize() = 0;
  // S_OK with both times, VFW_S_NO_STOP_TIME with the start only, VFW_E_SAMPLE_TIME_NOT_SET.
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  // A null start clears the times; a null stop sets the start only.
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
  virtual HRESULT IsSyncPoint() = 0;  // S_OK or S_FALSE
  virtual HRESULT SetSyncPoint(BOOL sync) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL preroll) = 0;
  virtual LONG GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(LONG length) = 0;
  // S_FALSE and null when the type did not change; otherwise a new task-memory
  // copy the caller frees (format block, then the record).
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* type) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL discontinuity) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* stop) = 0;

 protected:
  ~IMediaSample() = default;
};

// A sample over a buffer it does not own. With an owner allocator the last
// Release hands it back through ReleaseBuffer; without one it deletes itself.
class CMediaSample : public IMediaSample {
 public:
  CMediaSample(IMemAllocator* owner, BYTE* buffer, LONG size);
  virtual ~CMediaSample();
  CMediaSample(const CMediaSample&) = delete;
  CMediaSample& operator=(const CMediaSample&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT GetPointer(BYTE** buffer) override;
  LONG GetSize() override;
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL sync) override;
  HRESULT IsPreroll() override;
  HRESULT SetPreroll(BOOL preroll) override;
  LONG GetActualDataLength() override;
  HRESULT SetActualDataLength(LONG length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;
  HRESULT IsDiscontinuity() override;
  HRESULT SetDiscontinuity(BOOL discontinuity) override;
  HRESULT GetMediaTime(LONGLONG* start, LONGLONG* stop) override;
  HRESULT SetMediaTime(LONGLONG* start, LONGLONG* stop) override;

  // Used by allocators: fresh state for a sample handed out with one reference.
  void ResetForUse();
  LONG RefCount() const { return ref_.load(); }
  // Points the sample at another buffer (length is reset to the new size).
  void SetBuffer(BYTE* buffer, LONG size);

 private:
  void FreeType();

  IMemAllocator* owner_;
  BYTE* buffer_;
  LONG size_;
  LONG actual_;
  std::atomic<LONG> ref_{0};
  bool syncPoint_ = false;
  bool preroll_ = false;
  bool discontinuity_ = false;
  bool hasStart_ = false;
  bool hasStop_ = false;
  bool hasMediaTime_ = false;
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME stop_ = 0;
  LONGLONG mediaStart_ = 0;
  LONGLONG mediaStop_ = 0;
  AM_MEDIA_TYPE* type_ = nullptr;
};
