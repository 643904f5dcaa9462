// The filter-graph interfaces of the layer: filters, pins, enumerators,
// memory-transport input pins, the graph builder with its control, event and
// seeking interfaces, and the file source and file sink interfaces.
// Slot order and results follow the DirectShow interfaces of the same names:
// S_OK, S_FALSE where a question answers "no", or a failure code.
#pragma once

#include <atomic>

#include "platform/dshow/dshow_types.h"
#include "platform/media_sample.h"
#include "platform/mem_allocator.h"
#include "platform/unknown.h"

// {56A86891-0AD4-11CE-B03A-0020AF0BA770}
constexpr IID IID_IPin = {0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IEnumPins = {0x56A86892, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IEnumFilters = {0x56A86893, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IReferenceClock = {0x56A86897, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaFilter = {0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMemInputPin = {0x56A8689D, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IFilterGraph = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaEventSink = {0x56A868A2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IFileSourceFilter = {0x56A868A6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x35, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaPosition = {0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaEvent = {0x56A868B6, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaEventEx = {0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IEnumMediaTypes = {0x89C31040, 0x846B, 0x11CE, {0x97, 0xD3, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
constexpr IID IID_IMediaSeeking = {0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
constexpr IID IID_IFileSinkFilter = {0xA2104830, 0x7C70, 0x11CF, {0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6}};
constexpr IID IID_IFileSinkFilter2 = {0x00855B90, 0xCE1B, 0x11D0, {0xBD, 0x4F, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr IID IID_IAMFilterMiscFlags = {0x2DD74950, 0xA890, 0x11D1, {0xAB, 0xE8, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
// {E436EBB3-524F-11CE-9F53-0020AF0BA770}
constexpr CLSID CLSID_FilterGraph = {0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

struct IPin;
struct IEnumMediaTypes;
struct IGraphBuilder;

// Only passed around: the graphs of this layer run without a clock.
struct IReferenceClock : IUnknown {
 protected:
  ~IReferenceClock() = default;
};

struct IEnumPins : IUnknown {
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;  // S_FALSE when fewer came
  virtual HRESULT Skip(ULONG count) = 0;                               // S_FALSE past the end
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** out) = 0;

 protected:
  ~IEnumPins() = default;
};

struct IEnumMediaTypes : IUnknown {
  // Each type comes as a new task-memory record (DsDeleteMediaType frees it).
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** out) = 0;

 protected:
  ~IEnumMediaTypes() = default;
};

struct IPin : IUnknown {
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) = 0;           // output pins
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) = 0;  // input pins
  virtual HRESULT Disconnect() = 0;                                                 // S_FALSE when not connected
  virtual HRESULT ConnectedTo(IPin** pin) = 0;  // VFW_E_NOT_CONNECTED; the pin comes with a reference
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* dir) = 0;
  virtual HRESULT QueryId(WCHAR** id) = 0;                   // task memory
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) = 0;  // S_OK or S_FALSE
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** out) = 0;
  virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

 protected:
  ~IPin() = default;
};

struct IMediaFilter : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  // VFW_S_STATE_INTERMEDIATE while a change is under way.
  virtual HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** out) = 0;
  virtual HRESULT FindPin(const WCHAR* id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  // The graph is not referenced by the filter.
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const WCHAR* name) = 0;
  virtual HRESULT QueryVendorInfo(WCHAR** info) = 0;

 protected:
  ~IBaseFilter() = default;
};

struct IMemInputPin : IUnknown {
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;  // E_NOTIMPL: none
  // The caller keeps its reference; a pin that holds the sample adds its own.
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;

 protected:
  ~IMemInputPin() = default;
};

struct IEnumFilters : IUnknown {
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** out) = 0;

 protected:
  ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
  // VFW_S_DUPLICATE_NAME when the name was taken and a numbered one given.
  virtual HRESULT AddFilter(IBaseFilter* filter, const WCHAR* name) = 0;
  // Disconnects the filter's pins first.
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** out) = 0;
  virtual HRESULT FindFilterByName(const WCHAR* name, IBaseFilter** filter) = 0;
  virtual HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT Reconnect(IPin* pin) = 0;
  virtual HRESULT Disconnect(IPin* pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;

 protected:
  ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
  // Direct, else through decoders of the filter table.
  virtual HRESULT Connect(IPin* output, IPin* input) = 0;
  // Ends the stream of an output pin in a renderer, with decoders between as needed.
  virtual HRESULT Render(IPin* output) = 0;
  // A source for the file, each of its outputs rendered. S_OK, VFW_S_PARTIAL_RENDER
  // (some streams left unrendered) or a failure code.
  virtual HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) = 0;
  virtual HRESULT AddSourceFilter(const WCHAR* file, const WCHAR* filterName, IBaseFilter** filter) = 0;
  virtual HRESULT SetLogFile(uintptr_t file) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG timeoutMs, FILTER_STATE* state) = 0;
  virtual HRESULT RenderFile(const WCHAR* file) = 0;
  virtual HRESULT StopWhenReady() = 0;

 protected:
  ~IMediaControl() = default;
};

// Filters report to the graph through it.
struct IMediaEventSink : IUnknown {
  virtual HRESULT Notify(LONG code, intptr_t param1, intptr_t param2) = 0;

 protected:
  ~IMediaEventSink() = default;
};

struct IMediaEvent : IUnknown {
  virtual HRESULT GetEventHandle(intptr_t* handle) = 0;
  // Waits up to timeoutMs (a negative time: for ever); E_ABORT when nothing came.
  virtual HRESULT GetEvent(LONG* code, intptr_t* param1, intptr_t* param2, LONG timeoutMs) = 0;
  // EC_COMPLETE, EC_USERABORT or EC_ERRORABORT in *code; E_ABORT on time-out.
  virtual HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) = 0;
  virtual HRESULT CancelDefaultHandling(LONG code) = 0;
  virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
  virtual HRESULT FreeEventParams(LONG code, intptr_t param1, intptr_t param2) = 0;

 protected:
  ~IMediaEvent() = default;
};

struct IMediaEventEx : IMediaEvent {
  virtual HRESULT SetNotifyWindow(intptr_t window, LONG message, intptr_t instance) = 0;
  virtual HRESULT SetNotifyFlags(LONG flags) = 0;
  virtual HRESULT GetNotifyFlags(LONG* flags) = 0;

 protected:
  ~IMediaEventEx() = default;
};

struct IMediaSeeking : IUnknown {
  virtual HRESULT GetCapabilities(DWORD* capabilities) = 0;
  virtual HRESULT CheckCapabilities(DWORD* capabilities) = 0;
  virtual HRESULT IsFormatSupported(const GUID* format) = 0;
  virtual HRESULT QueryPreferredFormat(GUID* format) = 0;
  virtual HRESULT GetTimeFormat(GUID* format) = 0;
  virtual HRESULT IsUsingTimeFormat(const GUID* format) = 0;
  virtual HRESULT SetTimeFormat(const GUID* format) = 0;
  virtual HRESULT GetDuration(LONGLONG* duration) = 0;
  virtual HRESULT GetStopPosition(LONGLONG* stop) = 0;
  virtual HRESULT GetCurrentPosition(LONGLONG* current) = 0;
  virtual HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                    const GUID* sourceFormat) = 0;
  virtual HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) = 0;
  virtual HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) = 0;
  virtual HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) = 0;
  virtual HRESULT SetRate(double rate) = 0;
  virtual HRESULT GetRate(double* rate) = 0;
  virtual HRESULT GetPreroll(LONGLONG* preroll) = 0;

 protected:
  ~IMediaSeeking() = default;
};

// Positions in seconds.
struct IMediaPosition : IUnknown {
  virtual HRESULT get_Duration(REFTIME* length) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
  virtual HRESULT get_StopTime(REFTIME* time) = 0;
  virtual HRESULT put_StopTime(REFTIME time) = 0;
  virtual HRESULT get_PrerollTime(REFTIME* time) = 0;
  virtual HRESULT put_PrerollTime(REFTIME time) = 0;
  virtual HRESULT put_Rate(double rate) = 0;
  virtual HRESULT get_Rate(double* rate) = 0;
  virtual HRESULT CanSeekForward(LONG* can) = 0;
  virtual HRESULT CanSeekBackward(LONG* can) = 0;

 protected:
  ~IMediaPosition() = default;
};

struct IFileSourceFilter : IUnknown {
  virtual HRESULT Load(const WCHAR* fileName, const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) = 0;

 protected:
  ~IFileSourceFilter() = default;
};

struct IFileSinkFilter : IUnknown {
  virtual HRESULT SetFileName(const WCHAR* fileName, const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) = 0;

 protected:
  ~IFileSinkFilter() = default;
};

struct IFileSinkFilter2 : IFileSinkFilter {
  virtual HRESULT SetMode(DWORD flags) = 0;
  virtual HRESULT GetMode(DWORD* flags) = 0;

 protected:
  ~IFileSinkFilter2() = default;
};

struct IAMFilterMiscFlags : IUnknown {
  virtual ULONG GetMiscFlags() = 0;

 protected:
  ~IAMFilterMiscFlags() = default;
};

// Creates an empty filter graph (CLSID_FilterGraph) holding one reference;
// it answers IGraphBuilder, IFilterGraph, IMediaControl, IMediaEvent(Ex),
// IMediaSeeking, IMediaPosition, IMediaFilter and IMediaEventSink.
HRESULT CreateFilterGraph(IGraphBuilder** out);

// A heap object answering one interface (and IUnknown) with its own count,
// deleted by its last Release. Count starts at 0.
template <class Interface>
class CSingleInterface : public Interface {
 public:
  explicit CSingleInterface(const IID& iid) : iid_(iid) {}
  CSingleInterface(const CSingleInterface&) = delete;
  CSingleInterface& operator=(const CSingleInterface&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != iid_) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }
  ULONG Release() override {
    const LONG left = ref_.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return static_cast<ULONG>(left < 0 ? 0 : left);
  }

 protected:
  virtual ~CSingleInterface() = default;

 private:
  IID iid_;
  std::atomic<LONG> ref_{0};
};
