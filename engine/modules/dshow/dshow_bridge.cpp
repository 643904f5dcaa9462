#include "engine/modules/dshow/dshow_bridge.h"

#include <chrono>
#include <new>
#include <thread>

#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnits = 10000000;  // 100 ns per second

double Seconds(REFERENCE_TIME t) { return static_cast<double>(t) / kUnits; }

// The console line "<label> <start> <stop>" in seconds.
void PrintTimes(const char* label, IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  sample->GetTime(&start, &stop);
  ConsoleLine("%s %f %f\n", label, Seconds(start), Seconds(stop));
}

bool ForcesLength(const AM_MEDIA_TYPE* mt) {
  if (!mt->bFixedSizeSamples || mt->formattype != FORMAT_VideoInfo) return false;
  if (mt->lSampleSize == 0 || mt->lSampleSize == 1) return false;
  for (const GUID& g : {MEDIASUBTYPE_YV12, MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_YUY2,
                        FourccGuid(MakeFourcc('Y', 'V', 'Y', 'U'))})
    if (mt->subtype == g) return true;
  return false;
}

}  // namespace

const NewSegmentRecord* AsNewSegmentRecord(IMediaSample* item) {
  if (!IsBlankSample(item)) return nullptr;
  const auto* record = reinterpret_cast<const NewSegmentRecord*>(item);
  return record->kind == 1 ? record : nullptr;
}

// ---------------------------------------------------------------------------
// CSinkInputPin

CSinkInputPin::CSinkInputPin(CSinkFilter* owner, std::recursive_mutex* lock)
    : CBaseInputPin(owner, lock, u"My Input Pin"), forwarding_(CForwardingAllocator::Create()) {}

CSinkInputPin::~CSinkInputPin() = default;

void CSinkInputPin::SetCallback(DeliverCallback callback, void* context) {
  context_.store(context);
  callback_.store(callback);
}

void CSinkInputPin::SetInnerAllocator(IMemAllocator* allocator) { forwarding_->SetInner(allocator); }

void CSinkInputPin::SetTimeRange(int32_t startSeconds, int32_t endSeconds) {
  rangeStart_.store(startSeconds);
  rangeEnd_.store(endSeconds);
  rangeStarted_.store(0);
  rangeEnded_.store(0);
  rangeActive_.store(1);
  seeking_.store(0);
  flushSeen_.store(0);
}

void CSinkInputPin::MarkSeek(int64_t target, int32_t pending) {
  seekTarget_.store(target);
  seekPending_.store(pending);
  sampleDuringSeek_.store(0);
}

HRESULT CSinkInputPin::Call(IMediaSample* item) {
  DeliverCallback callback = callback_.load();
  if (callback) return callback(item, context_.load());
  Ref<IMediaSample> dropped(item && !IsBlankSample(item) ? item : nullptr);
  return S_OK;
}

void CSinkInputPin::SignalEndOfStream(IMediaSample* item) {
  std::lock_guard lock(*lock_);
  if (item) {
    Call(item);
    return;
  }
  if (endOfStreamSignalled_.exchange(1) == 0) Call(nullptr);
}

HRESULT CSinkInputPin::SetMediaType(const AM_MEDIA_TYPE* mt) {
  std::lock_guard lock(*lock_);
  forcedLength_.store(0);
  if (ForcesLength(mt)) forcedLength_.store(static_cast<int32_t>(mt->lSampleSize));
  return S_OK;
}

HRESULT CSinkInputPin::BreakConnect() {
  if (mt_.majortype == GUID_NULL && mt_.formattype == GUID_NULL) return S_FALSE;
  mt_.majortype = GUID_NULL;
  mt_.formattype = GUID_NULL;
  return CBaseInputPin::BreakConnect();
}

HRESULT CSinkInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  std::unique_lock lock(*lock_);
  for (;;) {
    const FILTER_STATE state = Filter()->State();
    if (state == State_Stopped) return E_FAIL;
    if (state == State_Running) break;
    // Paused: a sample that comes during a seek is dropped; otherwise it waits for the run.
    if (seeking_.load()) {
      sampleDuringSeek_.store(1);
      return S_OK;
    }
    lock.unlock();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    lock.lock();
  }
  if (seeking_.load() && !sampleDuringSeek_.load()) {
    ConsoleLine("receive data\n");
    return S_OK;
  }
  // The pin's own reference, handed on to the callback or dropped.
  Ref<IMediaSample> held = Ref<IMediaSample>::AddRefOf(sample);
  const HRESULT checked = CBaseInputPin::Receive(sample);
  if (checked != S_OK) return checked;
  if (seekPending_.load() && flushSeen_.load()) {
    // The seek marker: the same sample, empty and discontinuous, first.
    sample->AddRef();
    const LONG length = sample->GetActualDataLength();
    sample->SetActualDataLength(0);
    sample->SetDiscontinuity(1);
    Call(sample);
    sample->SetActualDataLength(length);
    seekPending_.store(0);
    flushSeen_.store(0);
    PrintTimes("after seek", sample);
  }
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  const int64_t offset = timeOffset_.load();
  if (offset != 0 && timed == S_OK) {
    start += offset;
    stop += offset;
    sample->SetTime(&start, &stop);
  }
  if (const int32_t forced = forcedLength_.load()) sample->SetActualDataLength(forced);
  if (stopRequested_.load()) {
    held.Reset();
    ConsoleLine("................................end\n");
    SignalEndOfStream(nullptr);
    return S_OK;
  }
  if (rangeActive_.load()) {
    const bool hasTime = timed == S_OK || timed == VFW_S_NO_STOP_TIME;
    const int64_t rangeStart = int64_t{rangeStart_.load()} * kUnits;
    if (rangeStarted_.load()) {
      if (rangeEnded_.load()) return S_OK;
      if (hasTime && start > int64_t{rangeEnd_.load()} * kUnits) {
        held.Reset();
        rangeEnded_.store(1);
        ConsoleLine("................................end\n");
        SignalEndOfStream(nullptr);
        return S_OK;
      }
    } else if (rangeStart_.load() == 0) {
      rangeStarted_.store(1);
    } else if (!hasTime || start < rangeStart) {
      return S_OK;
    } else {
      rangeStarted_.store(1);
    }
    if (timed == S_OK) {
      start -= rangeStart;
      stop -= rangeStart;
      sample->SetTime(&start, &stop);
    } else if (timed == VFW_S_NO_STOP_TIME) {
      start -= rangeStart;
      sample->SetTime(&start, nullptr);
    }
  }
  Call(held.Detach());
  return S_OK;
}

HRESULT CSinkInputPin::EndOfStream() {
  endOfStreamSeen_.store(1);
  if (!seeking_.load()) SignalEndOfStream(nullptr);
  return S_OK;
}

HRESULT CSinkInputPin::EndFlush() {
  if (seekPending_.load()) {
    flushSeen_.store(1);
    timeOffset_.store(seekTarget_.load());
  }
  return CBaseInputPin::EndFlush();
}

HRESULT CSinkInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  {
    std::lock_guard lock(*lock_);
    NewSegmentRecord record;
    record.start = start;
    record.stop = stop;
    record.rate = rate;
    Call(reinterpret_cast<IMediaSample*>(&record));
  }
  return CBaseInputPin::NewSegment(start, stop, rate);
}

HRESULT CSinkInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  std::lock_guard lock(*lock_);
  if (!allocator_) {
    forwarding_->AddRef();
    allocator_ = forwarding_.Get();
  }
  allocator_->AddRef();
  *allocator = allocator_;
  return S_OK;
}

HRESULT CSinkInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (allocator != forwarding_.Get() || readOnly) {
    ConsoleLine("bReadOnly %d\n", readOnly);
    ConsoleLine("you should use our allocator!\n");
  }
  return CBaseInputPin::NotifyAllocator(allocator, readOnly);
}

HRESULT CSinkInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) {
  if (props) forwarding_->GetProperties(props);
  return S_OK;
}

// ---------------------------------------------------------------------------
// CSinkFilter

CSinkFilter::CSinkFilter() : CBaseFilter(CLSID_SinkFilter, &filterLock_), pin_(new CSinkInputPin(this, &filterLock_)) {}

CSinkFilter::~CSinkFilter() { delete pin_; }

CBasePin* CSinkFilter::GetPin(int32_t index) { return index == 0 ? pin_ : nullptr; }

HRESULT CSinkFilter::NonDelegatingQuery(REFIID iid, void** out) {
  if (iid == IID_IMediaSeeking || iid == IID_IMediaPosition)
    return position_.Query(static_cast<IBaseFilter*>(this), pin_, iid, out);
  return CBaseFilter::NonDelegatingQuery(iid, out);
}

HRESULT CSinkFilter::Stop() {
  std::lock_guard lock(filterLock_);
  if (State() == State_Running) CBaseFilter::Pause();
  return CBaseFilter::Stop();
}

// ---------------------------------------------------------------------------
// CPushSourcePin / CPushSourceFilter

CPushSourcePin::CPushSourcePin(CPushSourceFilter* owner, std::recursive_mutex* lock)
    : CBaseOutputPin(owner, lock, u"Output") {}

ULONG CPushSourcePin::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CPushSourcePin::Release() {
  const LONG left = ref_.fetch_sub(1) - 1;
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT CPushSourcePin::NonDelegatingQuery(REFIID iid, void** out) {
  *out = nullptr;
  if (iid == IID_IMediaPosition || iid == IID_IMediaSeeking) return E_NOINTERFACE;
  return CBaseOutputPin::NonDelegatingQuery(iid, out);
}

HRESULT CPushSourcePin::GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) {
  if (position < 0) return E_INVALIDARG;
  std::lock_guard lock(*lock_);
  if (!IsConnected() || position > 0) return VFW_S_NO_MORE_ITEMS;
  return DsCopyMediaType(mt, &mt_) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CPushSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  if (request->cBuffers == 0 || request->cbBuffer < 100) {
    *request = ALLOCATOR_PROPERTIES{1, kDefaultBufferSize, 32, request->cbPrefix};
    ConsoleLine("buffer size too small,use this buffer?\n");
  }
  ALLOCATOR_PROPERTIES actual{};
  const HRESULT hr = allocator->SetProperties(request, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer < request->cbBuffer ? E_FAIL : S_OK;
}

HRESULT CPushSourcePin::Active() {
  std::lock_guard lock(*lock_);
  return IsConnected() ? CBaseOutputPin::Active() : S_OK;
}

HRESULT CPushSourcePin::Inactive() {
  std::lock_guard lock(*lock_);
  return CBaseOutputPin::Inactive();
}

HRESULT CPushSourcePin::Deliver(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  IMemInputPin* input = InputPin();
  return input ? input->Receive(sample) : S_OK;
}

HRESULT CPushSourcePin::DeliverEndOfStream() { return GetConnected() ? GetConnected()->EndOfStream() : S_OK; }
HRESULT CPushSourcePin::DeliverBeginFlush() { return GetConnected() ? GetConnected()->BeginFlush() : S_OK; }
HRESULT CPushSourcePin::DeliverEndFlush() { return GetConnected() ? GetConnected()->EndFlush() : S_OK; }

HRESULT CPushSourcePin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  return GetConnected() ? CBaseOutputPin::DeliverNewSegment(start, stop, rate) : S_OK;
}

CPushSourceFilter::CPushSourceFilter()
    : CBaseFilter(CLSID_PushSourceFilter, &filterLock_), pin_(new (std::nothrow) CPushSourcePin(this, &filterLock_)) {}

CPushSourceFilter::~CPushSourceFilter() { delete pin_; }

CBasePin* CPushSourceFilter::GetPin(int32_t index) { return index == 0 ? pin_ : nullptr; }

HRESULT CPushSourceFilter::Stop() {
  CBaseFilter::Stop();
  return S_OK;
}

// ---------------------------------------------------------------------------
// CNullAudioRenderer

CNullAudioRenderer::CNullAudioRenderer() : CBaseRenderer(CLSID_NullAudioRenderer, u"Audio Input pin (rendered)") {}

HRESULT CNullAudioRenderer::CheckMediaType(const AM_MEDIA_TYPE* mt) {
  return mt->majortype == MEDIATYPE_Audio && mt->subtype == MEDIASUBTYPE_PCM ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------------------

CSinkFilter* CreateSinkFilter(IUnknown*, HRESULT* result) {
  auto* f = new (std::nothrow) CSinkFilter();
  if (result) *result = f ? S_OK : E_OUTOFMEMORY;
  if (f) f->AddRef();
  return f;
}

CPushSourceFilter* CreatePushSourceFilter(IUnknown*, HRESULT* result) {
  auto* f = new (std::nothrow) CPushSourceFilter();
  if (result) *result = f ? S_OK : E_OUTOFMEMORY;
  if (f) f->AddRef();
  return f;
}

CNullAudioRenderer* CreateNullAudioRenderer(IUnknown*, HRESULT* result) {
  auto* f = new (std::nothrow) CNullAudioRenderer();
  if (result) *result = f ? S_OK : E_OUTOFMEMORY;
  if (f) f->AddRef();
  return f;
}
