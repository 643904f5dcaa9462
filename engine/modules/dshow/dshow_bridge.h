// The bridge filters between engine modules and a private filter graph:
// - CSinkFilter / CSinkInputPin take samples out of the graph and hand them
//   to an engine delivery function (a module's output callback), cutting a
//   time range, rebasing times after a seek and turning end of stream and new
//   segments into engine deliveries;
// - CPushSourceFilter / CPushSourcePin push the engine's samples, ends of
//   stream and new segments into the graph on the caller's thread;
// - CNullAudioRenderer takes PCM audio and discards it.
// Results: S_OK or a failure code; sample deliveries answer 0 when a sample is dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "engine/graph/forwarding_allocator.h"
#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_renderer.h"
#include "platform/dshow/position_passthru.h"
#include "plugin-api/module_interfaces.h"

// The new-segment record handed to a delivery function in place of a sample:
// a blank item (its first machine word is zero) whose second word is 1.
// Valid only during the call.
struct NewSegmentRecord {
  void* blank = nullptr;
  int32_t kind = 1;
  int32_t reserved = 0;
  int64_t start = 0;  // 100 ns
  int64_t stop = 0;
  double rate = 1.0;
};

// The record behind a blank item, or null when the item is not one.
const NewSegmentRecord* AsNewSegmentRecord(IMediaSample* item);

// {3D79B8E2-679D-11D1-ADE2-0000F8754B99}
constexpr CLSID CLSID_SinkFilter = {0x3D79B8E2, 0x679D, 0x11D1, {0xAD, 0xE2, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99}};
// {3D79B8E2-6C4D-11D1-ADE2-0000F8754B99}
constexpr CLSID CLSID_PushSourceFilter = {0x3D79B8E2, 0x6C4D, 0x11D1, {0xAD, 0xE2, 0x00, 0x00, 0xF8, 0x75, 0x4B, 0x99}};
// {0C38BDFD-0000-0010-8000-00AA00389B71}
constexpr CLSID CLSID_NullAudioRenderer = {
    0x0C38BDFD, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

class CSinkFilter;

class CSinkInputPin final : public CBaseInputPin {
 public:
  CSinkInputPin(CSinkFilter* owner, std::recursive_mutex* lock);
  ~CSinkInputPin() override;

  // Host-module operations: plain stores, no lock.
  void SetCallback(DeliverCallback callback, void* context);
  void SetInnerAllocator(IMemAllocator* allocator);
  void SetTimeRange(int32_t startSeconds, int32_t endSeconds);
  void MarkSeek(int64_t target, int32_t pending);
  void SetStopRequested(int32_t flag) { stopRequested_.store(flag); }
  void SetSeeking(int32_t flag) { seeking_.store(flag); }
  int32_t EndOfStreamSeen() const { return endOfStreamSeen_.load(); }
  // True once the engine was given the end of stream.
  bool EndOfStreamSignalled() const { return endOfStreamSignalled_.load() != 0; }
  // Ends the stream for the engine (once) when the graph never did.
  void ForceEndOfStream() { SignalEndOfStream(nullptr); }
  bool HasCallback() const { return callback_.load() != nullptr; }
  int32_t ForcedLength() const { return forcedLength_.load(); }

  HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;

 private:
  // Under the filter lock: a null item goes out once; anything else always.
  void SignalEndOfStream(IMediaSample* item);
  HRESULT Call(IMediaSample* item);

  std::atomic<DeliverCallback> callback_{nullptr};
  std::atomic<void*> context_{nullptr};
  Ref<CForwardingAllocator> forwarding_;
  std::atomic<int32_t> stopRequested_{0};
  std::atomic<int32_t> rangeActive_{0};
  std::atomic<int32_t> rangeStart_{0};
  std::atomic<int32_t> rangeEnd_{0};
  std::atomic<int32_t> rangeStarted_{0};
  std::atomic<int32_t> rangeEnded_{0};
  std::atomic<int32_t> seeking_{0};
  std::atomic<int32_t> sampleDuringSeek_{0};
  std::atomic<int32_t> seekPending_{0};
  std::atomic<int64_t> seekTarget_{0};
  std::atomic<int32_t> flushSeen_{0};
  std::atomic<int64_t> timeOffset_{0};
  std::atomic<int32_t> endOfStreamSeen_{0};
  std::atomic<int32_t> endOfStreamSignalled_{0};
  std::atomic<int32_t> forcedLength_{0};
};

class CSinkFilter final : public CBaseFilter {
 public:
  CSinkFilter();
  ~CSinkFilter() override;

  int32_t GetPinCount() override { return 1; }
  CBasePin* GetPin(int32_t index) override;
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;
  HRESULT Stop() override;

  CSinkInputPin* Pin() { return pin_; }

 private:
  std::recursive_mutex filterLock_;
  CPassThruHolder position_;  // seeking reaches the filters upstream
  CSinkInputPin* pin_;
};

class CPushSourceFilter;

class CPushSourcePin final : public CBaseOutputPin {
 public:
  static constexpr LONG kDefaultBufferSize = 1920 * 1080 * 4;

  CPushSourcePin(CPushSourceFilter* owner, std::recursive_mutex* lock);

  // Its own count: the pin lives as long as its filter.
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
  // Connected: position 0 is the connection type; otherwise none.
  HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Active() override;
  HRESULT Inactive() override;

  // Into the graph on the caller's thread; 0 when nothing is connected.
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

 private:
  std::atomic<LONG> ref_{0};
};

class CPushSourceFilter final : public CBaseFilter {
 public:
  CPushSourceFilter();
  ~CPushSourceFilter() override;

  int32_t GetPinCount() override { return pin_ ? 1 : 0; }
  CBasePin* GetPin(int32_t index) override;
  HRESULT Stop() override;  // always 0

  CPushSourcePin* Pin() { return pin_; }

 private:
  std::recursive_mutex filterLock_;
  CPushSourcePin* pin_;
};

class CNullAudioRenderer final : public CBaseRenderer {
 public:
  CNullAudioRenderer();
  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override;
  HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};

// The filters with one reference each (null and *result set on failure).
CSinkFilter* CreateSinkFilter(IUnknown* outer, HRESULT* result);
CPushSourceFilter* CreatePushSourceFilter(IUnknown* outer, HRESULT* result);
CNullAudioRenderer* CreateNullAudioRenderer(IUnknown* outer, HRESULT* result);
