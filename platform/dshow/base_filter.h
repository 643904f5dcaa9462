// Base classes of filters and pins: the filter's state machine (stopped,
// paused, running) and its pins, type negotiation when two pins connect,
// allocator negotiation between an output pin and the input pin it feeds,
// flushing, end of stream and new segments.
//
// Reference counts: a filter starts at 0 (its creator adds the first
// reference); pins count on their filter. A connection holds a reference on
// the peer pin. Changing connections needs a stopped filter.
// Results: S_OK, S_FALSE where a question answers "no", or a failure code.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "platform/dshow/dshow_interfaces.h"

class CBaseFilter;

class CBasePin : public IPin {
 public:
  CBasePin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name, PIN_DIRECTION dir);
  virtual ~CBasePin();
  CBasePin(const CBasePin&) = delete;
  CBasePin& operator=(const CBasePin&) = delete;

  // IUnknown: counts on the filter; answers IPin and whatever NonDelegatingQuery adds.
  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IPin
  HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
  HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
  HRESULT Disconnect() override;
  HRESULT ConnectedTo(IPin** pin) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
  HRESULT QueryPinInfo(PIN_INFO* info) override;
  HRESULT QueryDirection(PIN_DIRECTION* dir) override;
  HRESULT QueryId(WCHAR** id) override;
  HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) override;
  HRESULT EnumMediaTypes(IEnumMediaTypes** out) override;
  HRESULT QueryInternalConnections(IPin** pins, ULONG* count) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override = 0;
  HRESULT EndFlush() override = 0;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  // Negotiation, for derived pins.
  // S_OK when the pin takes the type; anything else refuses it.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) = 0;
  // The pin's preferred type at a position (from 0): S_OK, VFW_S_NO_MORE_ITEMS past the end.
  virtual HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt);
  // The agreed type is stored; derived pins look at it here.
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* mt);
  // The other pin before anything else: its direction must be the opposite.
  virtual HRESULT CheckConnect(IPin* pin);
  virtual HRESULT CompleteConnect(IPin* receivePin);
  virtual HRESULT BreakConnect();
  // Filter state changes, called only on connected pins.
  virtual HRESULT Active();
  virtual HRESULT Inactive();
  virtual HRESULT Run(REFERENCE_TIME start);
  // More interfaces of the pin (IMemInputPin, IMediaSeeking...): *out set with a reference.
  virtual HRESULT NonDelegatingQuery(REFIID iid, void** out);

  bool IsConnected() const { return connected_ != nullptr; }
  IPin* GetConnected() const { return connected_; }  // no reference
  const AM_MEDIA_TYPE& CurrentMediaType() const { return mt_; }
  PIN_DIRECTION Direction() const { return dir_; }
  const std::u16string& Name() const { return name_; }
  CBaseFilter* Filter() const { return filter_; }
  bool IsStopped() const;
  REFERENCE_TIME SegmentStart() const { return segStart_; }
  REFERENCE_TIME SegmentStop() const { return segStop_; }
  double SegmentRate() const { return segRate_; }

 protected:
  // One attempt with one complete type: both pins must agree.
  HRESULT AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt);
  // Tries each type of the enumerator that matches the partial type.
  HRESULT TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types);
  void ClearConnection();

  CBaseFilter* filter_;
  std::recursive_mutex* lock_;
  std::u16string name_;
  PIN_DIRECTION dir_;
  IPin* connected_ = nullptr;  // one reference
  AM_MEDIA_TYPE mt_{};
  REFERENCE_TIME segStart_ = 0;
  REFERENCE_TIME segStop_ = INT64_MAX;
  double segRate_ = 1.0;
};

// An input pin with the memory transport: it hands out an allocator (its
// own system-memory allocator unless the upstream pin brings one) and
// receives samples.
class CBaseInputPin : public CBasePin, public IMemInputPin {
 public:
  CBaseInputPin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name);
  ~CBaseInputPin() override;

  HRESULT QueryInterface(REFIID iid, void** out) override { return CBasePin::QueryInterface(iid, out); }
  ULONG AddRef() override { return CBasePin::AddRef(); }
  ULONG Release() override { return CBasePin::Release(); }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;

  // IMemInputPin
  HRESULT GetAllocator(IMemAllocator** allocator) override;
  HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;
  // The base checks (state, flushing, type changes); derived pins call it first.
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) override;
  HRESULT ReceiveCanBlock() override;

  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT EndOfStream() override;
  HRESULT BreakConnect() override;
  HRESULT Inactive() override;

  bool IsFlushing() const { return flushing_.load(); }
  bool IsReadOnly() const { return readOnly_; }
  IMemAllocator* Allocator() const { return allocator_; }  // no reference

 protected:
  // S_OK while samples may come: VFW_E_WRONG_STATE when stopped, S_FALSE while flushing.
  HRESULT CheckStreaming();

  IMemAllocator* allocator_ = nullptr;  // one reference
  bool readOnly_ = false;
  std::atomic<bool> flushing_{false};
};

// An output pin with the memory transport: on connection it agrees an
// allocator with the input pin (the input pin's own when it offers one,
// else a system-memory allocator) and sizes its buffers (DecideBufferSize).
class CBaseOutputPin : public CBasePin {
 public:
  CBaseOutputPin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name);
  ~CBaseOutputPin() override;

  // Sets the buffer count and size on the allocator; the request holds the
  // input pin's wishes (zeros when it has none).
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);

  HRESULT CheckConnect(IPin* pin) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Active() override;    // commits the allocator
  HRESULT Inactive() override;  // decommits it
  HRESULT BeginFlush() override { return E_UNEXPECTED; }
  HRESULT EndFlush() override { return E_UNEXPECTED; }
  HRESULT EndOfStream() override { return E_UNEXPECTED; }

  // A buffer of the agreed allocator (blocks while none is free unless flags say so).
  HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop, DWORD flags);
  // The connected input pin's Receive; VFW_E_NOT_CONNECTED without one.
  HRESULT Deliver(IMediaSample* sample);
  HRESULT DeliverEndOfStream();
  HRESULT DeliverBeginFlush();
  HRESULT DeliverEndFlush();
  HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  IMemAllocator* Allocator() const { return allocator_; }  // no reference
  IMemInputPin* InputPin() const { return inputPin_; }     // no reference

 protected:
  IMemAllocator* allocator_ = nullptr;  // one reference
  IMemInputPin* inputPin_ = nullptr;    // one reference
};

class CBaseFilter : public IBaseFilter, public IAMFilterMiscFlags {
 public:
  // lock: the filter lock, shared with the pins (not owned).
  CBaseFilter(const CLSID& clsid, std::recursive_mutex* lock);
  virtual ~CBaseFilter();
  CBaseFilter(const CBaseFilter&) = delete;
  CBaseFilter& operator=(const CBaseFilter&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IMediaFilter / IBaseFilter
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;
  HRESULT EnumPins(IEnumPins** out) override;
  HRESULT FindPin(const WCHAR* id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, const WCHAR* name) override;
  HRESULT QueryVendorInfo(WCHAR** info) override;
  // IAMFilterMiscFlags
  ULONG GetMiscFlags() override { return 0; }

  // Pins in order; null past the end.
  virtual int32_t GetPinCount() = 0;
  virtual CBasePin* GetPin(int32_t index) = 0;
  // More interfaces of the filter: *out set with a reference.
  virtual HRESULT NonDelegatingQuery(REFIID iid, void** out);

  FILTER_STATE State() const { return state_.load(); }
  IFilterGraph* Graph() const { return graph_.load(); }  // no reference
  const std::u16string& Name() const { return name_; }
  std::recursive_mutex* Lock() const { return lock_; }
  REFERENCE_TIME StartTime() const { return start_; }
  // Reports an event to the graph's event sink; E_NOTIMPL outside a graph.
  HRESULT NotifyEvent(LONG code, intptr_t param1, intptr_t param2);

 protected:
  std::recursive_mutex* lock_;
  std::atomic<FILTER_STATE> state_{State_Stopped};
  REFERENCE_TIME start_ = 0;

 private:
  CLSID clsid_;
  std::atomic<LONG> ref_{0};
  std::atomic<IFilterGraph*> graph_{nullptr};
  std::atomic<IMediaEventSink*> sink_{nullptr};
  std::u16string name_;
  IReferenceClock* clock_ = nullptr;  // one reference
};

// The layer's enumerators over a filter's pins and a pin's preferred types.
HRESULT CreatePinEnumerator(CBaseFilter* filter, IEnumPins** out);
HRESULT CreateMediaTypeEnumerator(CBasePin* pin, IEnumMediaTypes** out);

// Takes a buffer from the allocator without blocking for good: polls while
// none is free and gives up (VFW_E_TIMEOUT) once *stop is set, so a stopping
// streaming thread is never left waiting on buffers held downstream.
HRESULT GetBufferInterruptible(IMemAllocator* allocator, IMediaSample** sample, const std::atomic<bool>* stop);
