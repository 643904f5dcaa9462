#include "platform/dshow/base_filter.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>
#include <vector>

#include "platform/task_allocator.h"

namespace {

bool IsComplete(const AM_MEDIA_TYPE* mt) {
  return mt && mt->majortype != GUID_NULL && mt->subtype != GUID_NULL && mt->formattype != GUID_NULL;
}

bool MatchesPartial(const AM_MEDIA_TYPE* type, const AM_MEDIA_TYPE* partial) {
  if (!partial) return true;
  if (!DsMatchesPartialType(type, partial->majortype, partial->subtype)) return false;
  return partial->formattype == GUID_NULL || partial->formattype == type->formattype;
}

class CEnumPinsImpl final : public CSingleInterface<IEnumPins> {
 public:
  CEnumPinsImpl(CBaseFilter* filter, ULONG position)
      : CSingleInterface(IID_IEnumPins), filter_(filter), position_(position) {
    filter_->AddRef();
  }
  HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) override {
    if (!pins) return E_POINTER;
    ULONG n = 0;
    while (n < count) {
      CBasePin* pin = filter_->GetPin(static_cast<int32_t>(position_));
      if (!pin) break;
      pin->AddRef();
      pins[n++] = pin;
      ++position_;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    const auto total = static_cast<ULONG>(std::max<int32_t>(filter_->GetPinCount(), 0));
    if (position_ + count > total) {
      position_ = total;
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumPins** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) CEnumPinsImpl(filter_, position_);
    if (!copy) return E_OUTOFMEMORY;
    copy->AddRef();
    *out = copy;
    return S_OK;
  }

 private:
  ~CEnumPinsImpl() override { filter_->Release(); }
  CBaseFilter* filter_;
  ULONG position_;
};

class CEnumMediaTypesImpl final : public CSingleInterface<IEnumMediaTypes> {
 public:
  CEnumMediaTypesImpl(CBasePin* pin, ULONG position)
      : CSingleInterface(IID_IEnumMediaTypes), pin_(pin), position_(position) {
    pin_->AddRef();
  }
  HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override {
    if (!types) return E_POINTER;
    ULONG n = 0;
    while (n < count) {
      AM_MEDIA_TYPE mt{};
      const HRESULT hr = pin_->GetMediaType(static_cast<int32_t>(position_), &mt);
      if (hr != S_OK) {
        DsFreeMediaType(&mt);
        break;
      }
      ++position_;
      AM_MEDIA_TYPE* copy = DsCreateMediaType(&mt);
      DsFreeMediaType(&mt);
      if (!copy) break;
      types[n++] = copy;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    for (ULONG i = 0; i < count; ++i) {
      AM_MEDIA_TYPE mt{};
      const HRESULT hr = pin_->GetMediaType(static_cast<int32_t>(position_), &mt);
      DsFreeMediaType(&mt);
      if (hr != S_OK) return S_FALSE;
      ++position_;
    }
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) CEnumMediaTypesImpl(pin_, position_);
    if (!copy) return E_OUTOFMEMORY;
    copy->AddRef();
    *out = copy;
    return S_OK;
  }

 private:
  ~CEnumMediaTypesImpl() override { pin_->Release(); }
  CBasePin* pin_;
  ULONG position_;
};

}  // namespace

HRESULT CreatePinEnumerator(CBaseFilter* filter, IEnumPins** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* e = new (std::nothrow) CEnumPinsImpl(filter, 0);
  if (!e) return E_OUTOFMEMORY;
  e->AddRef();
  *out = e;
  return S_OK;
}

HRESULT CreateMediaTypeEnumerator(CBasePin* pin, IEnumMediaTypes** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  auto* e = new (std::nothrow) CEnumMediaTypesImpl(pin, 0);
  if (!e) return E_OUTOFMEMORY;
  e->AddRef();
  *out = e;
  return S_OK;
}

HRESULT GetBufferInterruptible(IMemAllocator* allocator, IMediaSample** sample, const std::atomic<bool>* stop) {
  if (!allocator || !sample) return E_POINTER;
  *sample = nullptr;
  int waitMs = 0;
  for (;;) {
    const HRESULT hr = allocator->GetBuffer(sample, nullptr, nullptr, AM_GBF_NOWAIT);
    if (hr != VFW_E_TIMEOUT) return hr;
    if (stop && stop->load()) return VFW_E_TIMEOUT;
    if (waitMs == 0) {
      std::this_thread::yield();
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
    }
    waitMs = std::min(waitMs + 1, 10);
  }
}

// ---------------------------------------------------------------------------
// CBasePin

CBasePin::CBasePin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name, PIN_DIRECTION dir)
    : filter_(filter), lock_(lock), name_(name ? name : u""), dir_(dir) {}

CBasePin::~CBasePin() { ClearConnection(); }

HRESULT CBasePin::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IPin) {
    AddRef();
    *out = static_cast<IPin*>(this);
    return S_OK;
  }
  return NonDelegatingQuery(iid, out);
}

HRESULT CBasePin::NonDelegatingQuery(REFIID, void** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CBasePin::AddRef() { return filter_->AddRef(); }
ULONG CBasePin::Release() { return filter_->Release(); }

bool CBasePin::IsStopped() const { return filter_->State() == State_Stopped; }

void CBasePin::ClearConnection() {
  if (connected_) connected_->Release();
  connected_ = nullptr;
  DsFreeMediaType(&mt_);
  mt_ = AM_MEDIA_TYPE{};
}

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
  if (!receivePin) return E_POINTER;
  std::lock_guard lock(*lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(receivePin);
  if (hr != S_OK) {
    BreakConnect();
    return hr;
  }
  if (IsComplete(mt)) {
    hr = AttemptConnection(receivePin, mt);
    return hr == S_OK ? S_OK : hr;
  }
  // Our own types first, then the ones the other pin prefers.
  Ref<IEnumMediaTypes> types;
  if (EnumMediaTypes(types.Out()) == S_OK && TryMediaTypes(receivePin, mt, types.Get()) == S_OK) return S_OK;
  if (receivePin->EnumMediaTypes(types.Out()) == S_OK && TryMediaTypes(receivePin, mt, types.Get()) == S_OK)
    return S_OK;
  BreakConnect();
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const AM_MEDIA_TYPE* partial, IEnumMediaTypes* types) {
  types->Reset();
  for (;;) {
    AM_MEDIA_TYPE* mt = nullptr;
    ULONG got = 0;
    if (types->Next(1, &mt, &got) != S_OK || got != 1) return VFW_E_NO_ACCEPTABLE_TYPES;
    const bool fits = MatchesPartial(mt, partial);
    const HRESULT hr = fits ? AttemptConnection(receivePin, mt) : E_FAIL;
    DsDeleteMediaType(mt);
    if (hr == S_OK) return S_OK;
  }
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
  HRESULT hr = CheckConnect(receivePin);
  if (hr != S_OK) {
    BreakConnect();
    return hr;
  }
  if (CheckMediaType(mt) != S_OK) {
    BreakConnect();
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  connected_ = receivePin;
  connected_->AddRef();
  if (!DsCopyMediaType(&mt_, mt)) {
    ClearConnection();
    BreakConnect();
    return E_OUTOFMEMORY;
  }
  hr = SetMediaType(&mt_);
  if (hr == S_OK) hr = receivePin->ReceiveConnection(this, mt);
  if (hr == S_OK) {
    hr = CompleteConnect(receivePin);
    if (hr == S_OK) return S_OK;
    receivePin->Disconnect();
  }
  BreakConnect();
  ClearConnection();
  return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
  if (!connector || !mt) return E_POINTER;
  std::lock_guard lock(*lock_);
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  HRESULT hr = CheckConnect(connector);
  if (hr != S_OK) {
    BreakConnect();
    return hr;
  }
  if (CheckMediaType(mt) != S_OK) {
    BreakConnect();
    return VFW_E_TYPE_NOT_ACCEPTED;
  }
  connected_ = connector;
  connected_->AddRef();
  if (!DsCopyMediaType(&mt_, mt)) {
    ClearConnection();
    BreakConnect();
    return E_OUTOFMEMORY;
  }
  hr = SetMediaType(&mt_);
  if (hr == S_OK) hr = CompleteConnect(connector);
  if (hr == S_OK) return S_OK;
  BreakConnect();
  ClearConnection();
  return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CBasePin::Disconnect() {
  std::lock_guard lock(*lock_);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  BreakConnect();
  ClearConnection();
  return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  std::lock_guard lock(*lock_);
  *pin = connected_;
  if (!connected_) return VFW_E_NOT_CONNECTED;
  connected_->AddRef();
  return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  std::lock_guard lock(*lock_);
  if (!connected_) {
    *mt = AM_MEDIA_TYPE{};
    return VFW_E_NOT_CONNECTED;
  }
  return DsCopyMediaType(mt, &mt_) ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = dir_;
  DsCopyName(info->achName, MAX_PIN_NAME, name_.c_str());
  return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* dir) {
  if (!dir) return E_POINTER;
  *dir = dir_;
  return S_OK;
}

HRESULT CBasePin::QueryId(WCHAR** id) {
  if (!id) return E_POINTER;
  *id = DsTaskString(name_.c_str());
  return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  return CheckMediaType(mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** out) { return CreateMediaTypeEnumerator(this, out); }

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  segStart_ = start;
  segStop_ = stop;
  segRate_ = rate;
  return S_OK;
}

HRESULT CBasePin::GetMediaType(int32_t position, AM_MEDIA_TYPE*) {
  return position < 0 ? E_INVALIDARG : VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const AM_MEDIA_TYPE*) { return S_OK; }

HRESULT CBasePin::CheckConnect(IPin* pin) {
  PIN_DIRECTION other;
  if (pin->QueryDirection(&other) != S_OK) return E_FAIL;
  return other == dir_ ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT CBasePin::BreakConnect() { return S_OK; }
HRESULT CBasePin::Active() { return S_OK; }
HRESULT CBasePin::Inactive() { return S_OK; }
HRESULT CBasePin::Run(REFERENCE_TIME) { return S_OK; }

// ---------------------------------------------------------------------------
// CBaseInputPin

CBaseInputPin::CBaseInputPin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name)
    : CBasePin(filter, lock, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
  if (allocator_) allocator_->Release();
}

HRESULT CBaseInputPin::NonDelegatingQuery(REFIID iid, void** out) {
  if (iid == IID_IMemInputPin) {
    AddRef();
    *out = static_cast<IMemInputPin*>(this);
    return S_OK;
  }
  return CBasePin::NonDelegatingQuery(iid, out);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  std::lock_guard lock(*lock_);
  if (!allocator_) {
    const HRESULT hr = CreateMemoryAllocator(&allocator_);
    if (hr != S_OK) {
      *allocator = nullptr;
      return hr;
    }
  }
  allocator_->AddRef();
  *allocator = allocator_;
  return S_OK;
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) {
  if (!allocator) return E_POINTER;
  std::lock_guard lock(*lock_);
  allocator->AddRef();
  if (allocator_) allocator_->Release();
  allocator_ = allocator;
  readOnly_ = readOnly != 0;
  return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }

HRESULT CBaseInputPin::CheckStreaming() {
  if (IsStopped()) return VFW_E_WRONG_STATE;
  if (flushing_.load()) return S_FALSE;
  return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  AM_MEDIA_TYPE* changed = nullptr;
  if (sample->GetMediaType(&changed) == S_OK && changed) {
    // A new type within the stream: the pin must take it.
    HRESULT accepted = CheckMediaType(changed);
    if (accepted == S_OK) {
      std::lock_guard lock(*lock_);
      DsFreeMediaType(&mt_);
      accepted = DsCopyMediaType(&mt_, changed) ? SetMediaType(&mt_) : E_OUTOFMEMORY;
    }
    DsDeleteMediaType(changed);
    if (accepted != S_OK) return VFW_E_INVALIDMEDIATYPE;
  }
  return S_OK;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** samples, LONG count, LONG* processed) {
  if (!samples) return E_POINTER;
  LONG done = 0;
  HRESULT hr = S_OK;
  for (; done < count; ++done) {
    hr = Receive(samples[done]);
    if (hr != S_OK) break;
  }
  if (processed) *processed = done;
  return hr;
}

HRESULT CBaseInputPin::ReceiveCanBlock() { return S_OK; }

HRESULT CBaseInputPin::BeginFlush() {
  flushing_.store(true);
  return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
  flushing_.store(false);
  return S_OK;
}

HRESULT CBaseInputPin::EndOfStream() {
  const HRESULT hr = CheckStreaming();
  return hr == S_FALSE ? S_OK : hr;
}

HRESULT CBaseInputPin::BreakConnect() {
  if (allocator_) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
  flushing_.store(false);
  return allocator_ ? allocator_->Decommit() : S_OK;
}

// ---------------------------------------------------------------------------
// CBaseOutputPin

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, std::recursive_mutex* lock, const WCHAR* name)
    : CBasePin(filter, lock, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
  if (allocator_) allocator_->Release();
  if (inputPin_) inputPin_->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
  HRESULT hr = CBasePin::CheckConnect(pin);
  if (hr != S_OK) return hr;
  IMemInputPin* input = nullptr;
  hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
  if (hr != S_OK || !input) return E_NOINTERFACE;
  if (inputPin_) inputPin_->Release();
  inputPin_ = input;
  return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
  *allocator = nullptr;
  ALLOCATOR_PROPERTIES request{};
  pin->GetAllocatorRequirements(&request);
  if (request.cbAlign == 0) request.cbAlign = 1;
  HRESULT hr = pin->GetAllocator(allocator);
  if (hr == S_OK && *allocator) {
    ALLOCATOR_PROPERTIES wanted = request;
    hr = DecideBufferSize(*allocator, &wanted);
    if (hr == S_OK) {
      hr = pin->NotifyAllocator(*allocator, 0);
      if (hr == S_OK) return S_OK;
    }
  }
  if (*allocator) {
    (*allocator)->Release();
    *allocator = nullptr;
  }
  // The input pin offers none that fits: our own system-memory allocator.
  hr = CreateMemoryAllocator(allocator);
  if (hr != S_OK) return hr;
  hr = DecideBufferSize(*allocator, &request);
  if (hr == S_OK) hr = pin->NotifyAllocator(*allocator, 0);
  if (hr == S_OK) return S_OK;
  (*allocator)->Release();
  *allocator = nullptr;
  return FAILED(hr) ? hr : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
  if (!inputPin_) return E_NOINTERFACE;
  IMemAllocator* allocator = nullptr;
  const HRESULT hr = DecideAllocator(inputPin_, &allocator);
  if (hr != S_OK) return hr;
  if (allocator_) allocator_->Release();
  allocator_ = allocator;
  return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect() {
  if (allocator_) {
    allocator_->Decommit();
    allocator_->Release();
    allocator_ = nullptr;
  }
  if (inputPin_) {
    inputPin_->Release();
    inputPin_ = nullptr;
  }
  return S_OK;
}

HRESULT CBaseOutputPin::Active() { return allocator_ ? allocator_->Commit() : VFW_E_NO_ALLOCATOR; }

HRESULT CBaseOutputPin::Inactive() { return allocator_ ? allocator_->Decommit() : S_OK; }

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          DWORD flags) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!inputPin_) return VFW_E_NOT_CONNECTED;
  return inputPin_->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() { return connected_ ? connected_->EndOfStream() : VFW_E_NOT_CONNECTED; }

HRESULT CBaseOutputPin::DeliverBeginFlush() { return connected_ ? connected_->BeginFlush() : VFW_E_NOT_CONNECTED; }

HRESULT CBaseOutputPin::DeliverEndFlush() { return connected_ ? connected_->EndFlush() : VFW_E_NOT_CONNECTED; }

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  CBasePin::NewSegment(start, stop, rate);
  return connected_->NewSegment(start, stop, rate);
}

// ---------------------------------------------------------------------------
// CBaseFilter

CBaseFilter::CBaseFilter(const CLSID& clsid, std::recursive_mutex* lock) : lock_(lock), clsid_(clsid) {}

CBaseFilter::~CBaseFilter() {
  if (clock_) clock_->Release();
}

HRESULT CBaseFilter::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter) {
    AddRef();
    *out = static_cast<IBaseFilter*>(this);
    return S_OK;
  }
  if (iid == IID_IAMFilterMiscFlags) {
    AddRef();
    *out = static_cast<IAMFilterMiscFlags*>(this);
    return S_OK;
  }
  return NonDelegatingQuery(iid, out);
}

HRESULT CBaseFilter::NonDelegatingQuery(REFIID, void** out) {
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CBaseFilter::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CBaseFilter::Release() {
  const LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) delete this;
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT CBaseFilter::Stop() {
  std::lock_guard lock(*lock_);
  HRESULT result = S_OK;
  if (state_.load() != State_Stopped) {
    for (int32_t i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Inactive();
        if (FAILED(hr) && result == S_OK) result = hr;
      }
    }
  }
  state_.store(State_Stopped);
  return result;
}

HRESULT CBaseFilter::Pause() {
  std::lock_guard lock(*lock_);
  if (state_.load() == State_Stopped) {
    for (int32_t i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Active();
        if (FAILED(hr)) return hr;
      }
    }
  }
  state_.store(State_Paused);
  return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
  std::lock_guard lock(*lock_);
  start_ = start;
  if (state_.load() == State_Stopped) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  if (state_.load() != State_Running) {
    for (int32_t i = 0; i < GetPinCount(); ++i) {
      CBasePin* pin = GetPin(i);
      if (pin && pin->IsConnected()) {
        const HRESULT hr = pin->Run(start);
        if (FAILED(hr)) return hr;
      }
    }
  }
  state_.store(State_Running);
  return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_.load();
  return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(*lock_);
  if (clock) clock->AddRef();
  if (clock_) clock_->Release();
  clock_ = clock;
  return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(*lock_);
  *clock = clock_;
  if (clock_) clock_->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** out) { return CreatePinEnumerator(this, out); }

HRESULT CBaseFilter::FindPin(const WCHAR* id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (int32_t i = 0; i < GetPinCount(); ++i) {
    CBasePin* p = GetPin(i);
    if (p && p->Name() == id) {
      p->AddRef();
      *pin = p;
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  DsCopyName(info->achName, MAX_FILTER_NAME, name_.c_str());
  info->pGraph = graph_.load();
  if (info->pGraph) info->pGraph->AddRef();
  return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, const WCHAR* name) {
  std::lock_guard lock(*lock_);
  graph_.store(graph);
  IMediaEventSink* sink = nullptr;
  // Kept without a reference: the graph outlives its filters' membership.
  if (graph && graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink)) == S_OK && sink)
    sink->Release();
  sink_.store(sink);
  name_ = name ? name : u"";
  return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(WCHAR**) { return E_NOTIMPL; }

HRESULT CBaseFilter::NotifyEvent(LONG code, intptr_t param1, intptr_t param2) {
  IMediaEventSink* sink = sink_.load();
  if (!sink) return E_NOTIMPL;
  return sink->Notify(code, param1, param2);
}
