#include "platform/dshow/filter_graph.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <new>
#include <utility>

#include "platform/task_allocator.h"

namespace {

// Decoder chains deeper than this are not tried.
constexpr int kMaxChainDepth = 6;

IBaseFilter* OwnerOf(IPin* pin) {
  PIN_INFO info{};
  if (!pin || pin->QueryPinInfo(&info) != S_OK || !info.pFilter) return nullptr;
  info.pFilter->Release();  // the filter outlives this look
  return info.pFilter;
}

std::vector<Ref<IPin>> PinsOf(IBaseFilter* filter, PIN_DIRECTION dir) {
  std::vector<Ref<IPin>> pins;
  Ref<IEnumPins> e;
  if (!filter || filter->EnumPins(e.Out()) != S_OK) return pins;
  IPin* pin = nullptr;
  ULONG got = 0;
  while (e->Next(1, &pin, &got) == S_OK && got == 1) {
    Ref<IPin> held(pin);
    PIN_DIRECTION d;
    if (pin->QueryDirection(&d) == S_OK && d == dir) pins.push_back(std::move(held));
  }
  return pins;
}

bool IsConnected(IPin* pin) {
  Ref<IPin> peer;
  return pin->ConnectedTo(peer.Out()) == S_OK;
}

// Pins whose id begins with '~' are not rendered.
bool IsHiddenPin(IPin* pin) {
  WCHAR* id = nullptr;
  if (pin->QueryId(&id) != S_OK || !id) return false;
  const bool hidden = id[0] == u'~';
  CoTaskMemFree(id);
  return hidden;
}

// The pin's preferred types (owned copies).
class TypeList {
 public:
  explicit TypeList(IPin* pin) {
    Ref<IEnumMediaTypes> e;
    if (pin->EnumMediaTypes(e.Out()) != S_OK) return;
    AM_MEDIA_TYPE* mt = nullptr;
    ULONG got = 0;
    while (types_.size() < 64 && e->Next(1, &mt, &got) == S_OK && got == 1) types_.push_back(mt);
  }
  ~TypeList() {
    for (AM_MEDIA_TYPE* mt : types_) DsDeleteMediaType(mt);
  }
  TypeList(const TypeList&) = delete;
  TypeList& operator=(const TypeList&) = delete;
  const std::vector<AM_MEDIA_TYPE*>& Types() const { return types_; }

 private:
  std::vector<AM_MEDIA_TYPE*> types_;
};

// Table entries of the roles that take any of the pin's types, by merit, once each.
std::vector<MonikerEntry> CandidatesFor(IPin* pin, std::initializer_list<FilterRole> roles) {
  std::vector<MonikerEntry> found;
  TypeList types(pin);
  for (const AM_MEDIA_TYPE* mt : types.Types()) {
    for (FilterRole role : roles) {
      for (MonikerEntry& e : CMonikerTable::Instance().Find(role, mt)) {
        const bool seen = std::any_of(found.begin(), found.end(), [&](const MonikerEntry& f) {
          return DsEqualNoCase(f.displayName.c_str(), e.displayName.c_str());
        });
        if (!seen) found.push_back(std::move(e));
      }
    }
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const MonikerEntry& a, const MonikerEntry& b) { return a.merit > b.merit; });
  return found;
}

class CEnumFiltersImpl final : public CSingleInterface<IEnumFilters> {
 public:
  explicit CEnumFiltersImpl(std::vector<IBaseFilter*> filters)
      : CSingleInterface(IID_IEnumFilters), filters_(std::move(filters)) {
    for (IBaseFilter* f : filters_) f->AddRef();
  }
  HRESULT Next(ULONG count, IBaseFilter** out, ULONG* fetched) override {
    if (!out) return E_POINTER;
    ULONG n = 0;
    for (; n < count && position_ < filters_.size(); ++n, ++position_) {
      out[n] = filters_[position_];
      out[n]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ += count;
    if (position_ > filters_.size()) {
      position_ = filters_.size();
      return S_FALSE;
    }
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFilters** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) CEnumFiltersImpl(filters_);
    if (!copy) return E_OUTOFMEMORY;
    copy->position_ = position_;
    copy->AddRef();
    *out = copy;
    return S_OK;
  }

 private:
  ~CEnumFiltersImpl() override {
    for (IBaseFilter* f : filters_) f->Release();
  }
  std::vector<IBaseFilter*> filters_;
  size_t position_ = 0;
};

}  // namespace

HRESULT CreateFilterGraph(IGraphBuilder** out) {
  if (!out) return E_POINTER;
  auto* graph = new (std::nothrow) CFilterGraph();
  *out = graph;
  if (!graph) return E_OUTOFMEMORY;
  graph->AddRef();
  return S_OK;
}

CFilterGraph::CFilterGraph() : mediaFilter_(this) {}

CFilterGraph::~CFilterGraph() {
  Stop();
  while (!filters_.empty()) RemoveFilter(filters_.back().filter);
}

HRESULT CFilterGraph::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IGraphBuilder || iid == IID_IFilterGraph) {
    *out = static_cast<IGraphBuilder*>(this);
  } else if (iid == IID_IMediaControl) {
    *out = static_cast<IMediaControl*>(this);
  } else if (iid == IID_IMediaEvent || iid == IID_IMediaEventEx) {
    *out = static_cast<IMediaEventEx*>(this);
  } else if (iid == IID_IMediaEventSink) {
    *out = static_cast<IMediaEventSink*>(this);
  } else if (iid == IID_IMediaSeeking) {
    *out = static_cast<IMediaSeeking*>(this);
  } else if (iid == IID_IMediaPosition) {
    *out = static_cast<IMediaPosition*>(this);
  } else if (iid == IID_IMediaFilter) {
    *out = static_cast<IMediaFilter*>(&mediaFilter_);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG CFilterGraph::AddRef() { return static_cast<ULONG>(ref_.fetch_add(1) + 1); }

ULONG CFilterGraph::Release() {
  const LONG left = ref_.fetch_sub(1) - 1;
  if (left == 0) {
    ref_.store(1);  // the tear-down's own queries must not delete it twice
    delete this;
  }
  return static_cast<ULONG>(left < 0 ? 0 : left);
}

// ---------------------------------------------------------------------------
// Filters

bool CFilterGraph::Contains(IBaseFilter* filter) {
  std::lock_guard lock(lock_);
  return std::any_of(filters_.begin(), filters_.end(), [&](const Member& m) { return m.filter == filter; });
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, const WCHAR* name) {
  if (!filter) return E_POINTER;
  std::lock_guard lock(lock_);
  if (Contains(filter)) return E_INVALIDARG;
  const std::u16string base = (name && name[0]) ? std::u16string(name) : std::u16string(u"Filter");
  std::u16string unique = base;
  HRESULT result = S_OK;
  for (int n = 1;; ++n) {
    const bool taken = std::any_of(filters_.begin(), filters_.end(),
                                   [&](const Member& m) { return DsEqualNoCase(m.name.c_str(), unique.c_str()); });
    if (!taken) break;
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, " %04d", n);
    unique = base + DsWide(suffix);
    result = VFW_S_DUPLICATE_NAME;
  }
  const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str());
  if (FAILED(hr)) return hr;
  filter->AddRef();
  filters_.push_back(Member{filter, unique});
  return result;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  std::lock_guard lock(lock_);
  const auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Member& m) { return m.filter == filter; });
  if (it == filters_.end()) return VFW_E_NOT_FOUND;
  // Its connections go, from both sides: only while the graph is stopped.
  std::vector<std::pair<Ref<IPin>, Ref<IPin>>> links;
  for (PIN_DIRECTION dir : {PINDIR_INPUT, PINDIR_OUTPUT}) {
    for (Ref<IPin>& pin : PinsOf(filter, dir)) {
      Ref<IPin> peer;
      if (pin->ConnectedTo(peer.Out()) == S_OK) links.emplace_back(std::move(pin), std::move(peer));
    }
  }
  if (!links.empty() && state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  filter->Stop();
  for (auto& [pin, peer] : links) {
    peer->Disconnect();
    pin->Disconnect();
  }
  filters_.erase(it);
  filter->JoinFilterGraph(nullptr, nullptr);
  filter->Release();
  return S_OK;
}

HRESULT CFilterGraph::EnumFilters(IEnumFilters** out) {
  if (!out) return E_POINTER;
  std::vector<IBaseFilter*> list;
  {
    std::lock_guard lock(lock_);
    for (const Member& m : filters_) list.push_back(m.filter);
  }
  auto* e = new (std::nothrow) CEnumFiltersImpl(std::move(list));
  *out = e;
  if (!e) return E_OUTOFMEMORY;
  e->AddRef();
  return S_OK;
}

HRESULT CFilterGraph::FindFilterByName(const WCHAR* name, IBaseFilter** filter) {
  if (!name || !filter) return E_POINTER;
  std::lock_guard lock(lock_);
  for (const Member& m : filters_) {
    if (m.name == name) {
      m.filter->AddRef();
      *filter = m.filter;
      return S_OK;
    }
  }
  *filter = nullptr;
  return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* mt) {
  if (!output || !input) return E_POINTER;
  if (!Contains(OwnerOf(output)) || !Contains(OwnerOf(input))) return VFW_E_NOT_IN_GRAPH;
  PIN_DIRECTION dir;
  if (output->QueryDirection(&dir) != S_OK || dir != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (OwnerOf(output) == OwnerOf(input)) return VFW_E_CIRCULAR_GRAPH;
  return output->Connect(input, mt);
}

HRESULT CFilterGraph::Reconnect(IPin*) { return E_NOTIMPL; }

HRESULT CFilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  return pin->Disconnect();
}

HRESULT CFilterGraph::SetDefaultSyncSource() { return S_OK; }

// ---------------------------------------------------------------------------
// Building

IBaseFilter* CFilterGraph::AddFromTable(const MonikerEntry& entry) {
  IBaseFilter* filter = nullptr;
  if (CMonikerTable::Instance().Bind(entry.displayName.c_str(), &filter) != S_OK || !filter) return nullptr;
  const std::u16string name = DsWide(entry.friendlyName.c_str());
  if (FAILED(AddFilter(filter, name.c_str()))) {
    filter->Release();
    return nullptr;
  }
  filter->Release();  // the graph's reference remains
  return filter;
}

HRESULT CFilterGraph::RenderOutputs(IBaseFilter* filter, int depth) {
  for (Ref<IPin>& pin : PinsOf(filter, PINDIR_OUTPUT)) {
    if (IsHiddenPin(pin.Get()) || IsConnected(pin.Get())) continue;
    const HRESULT hr = RenderPin(pin.Get(), depth);
    if (hr != S_OK) return hr;
  }
  return S_OK;
}

HRESULT CFilterGraph::RenderPin(IPin* output, int depth) {
  if (depth > kMaxChainDepth) return VFW_E_CANNOT_RENDER;
  if (IsConnected(output)) return VFW_E_ALREADY_CONNECTED;
  IBaseFilter* self = OwnerOf(output);
  // Filters already in the graph first.
  std::vector<IBaseFilter*> present;
  {
    std::lock_guard lock(lock_);
    for (const Member& m : filters_)
      if (m.filter != self) present.push_back(m.filter);
  }
  for (IBaseFilter* f : present) {
    for (Ref<IPin>& in : PinsOf(f, PINDIR_INPUT)) {
      if (IsConnected(in.Get()) || ConnectDirect(output, in.Get(), nullptr) != S_OK) continue;
      if (RenderOutputs(f, depth + 1) == S_OK) return S_OK;
      in->Disconnect();
      output->Disconnect();
    }
  }
  // Then decoders and renderers of the table.
  for (const MonikerEntry& entry : CandidatesFor(output, {FilterRole::kRenderer, FilterRole::kTransform})) {
    IBaseFilter* f = AddFromTable(entry);
    if (!f) continue;
    for (Ref<IPin>& in : PinsOf(f, PINDIR_INPUT)) {
      if (ConnectDirect(output, in.Get(), nullptr) != S_OK) continue;
      if (RenderOutputs(f, depth + 1) == S_OK) return S_OK;
      break;
    }
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_RENDER;
}

HRESULT CFilterGraph::ConnectVia(IPin* output, IPin* input, int depth) {
  if (ConnectDirect(output, input, nullptr) == S_OK) return S_OK;
  if (depth >= kMaxChainDepth) return VFW_E_CANNOT_CONNECT;
  for (const MonikerEntry& entry : CandidatesFor(output, {FilterRole::kTransform})) {
    IBaseFilter* f = AddFromTable(entry);
    if (!f) continue;
    for (Ref<IPin>& in : PinsOf(f, PINDIR_INPUT)) {
      if (ConnectDirect(output, in.Get(), nullptr) != S_OK) continue;
      for (Ref<IPin>& out : PinsOf(f, PINDIR_OUTPUT))
        if (ConnectVia(out.Get(), input, depth + 1) == S_OK) return S_OK;
      break;
    }
    RemoveFilter(f);
  }
  return VFW_E_CANNOT_CONNECT;
}

HRESULT CFilterGraph::Connect(IPin* output, IPin* input) {
  if (!output || !input) return E_POINTER;
  std::lock_guard lock(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  return ConnectVia(output, input, 0);
}

HRESULT CFilterGraph::Render(IPin* output) {
  if (!output) return E_POINTER;
  std::lock_guard lock(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  return RenderPin(output, 0);
}

HRESULT CFilterGraph::LoadSource(const WCHAR* file, const WCHAR* name, IBaseFilter** out) {
  *out = nullptr;
  const std::vector<MonikerEntry> sources = CMonikerTable::Instance().SourcesFor(file);
  if (sources.empty()) return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
  HRESULT last = VFW_E_UNKNOWN_FILE_TYPE;
  for (const MonikerEntry& entry : sources) {
    Ref<IBaseFilter> filter;
    if (CMonikerTable::Instance().Bind(entry.displayName.c_str(), filter.Out()) != S_OK) continue;
    Ref<IFileSourceFilter> loader = QueryRef<IFileSourceFilter>(filter.Get(), IID_IFileSourceFilter);
    if (!loader) continue;
    HRESULT hr = AddFilter(filter.Get(), name ? name : file);
    if (FAILED(hr)) return hr;
    hr = loader->Load(file, nullptr);
    if (hr == S_OK) {
      *out = filter.Get();  // the graph holds it
      return S_OK;
    }
    RemoveFilter(filter.Get());
    last = hr;
  }
  return last;
}

HRESULT CFilterGraph::RenderFile(const WCHAR* file, const WCHAR*) {
  if (!file) return E_POINTER;
  std::lock_guard lock(lock_);
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  IBaseFilter* source = nullptr;
  const HRESULT hr = LoadSource(file, file, &source);
  if (hr != S_OK) return hr;
  int rendered = 0;
  int failed = 0;
  for (Ref<IPin>& pin : PinsOf(source, PINDIR_OUTPUT)) {
    if (IsHiddenPin(pin.Get())) continue;
    (RenderPin(pin.Get(), 0) == S_OK ? rendered : failed)++;
  }
  if (rendered == 0) {
    RemoveFilter(source);
    return VFW_E_CANNOT_RENDER;
  }
  return failed ? VFW_S_PARTIAL_RENDER : S_OK;
}

HRESULT CFilterGraph::AddSourceFilter(const WCHAR* file, const WCHAR* filterName, IBaseFilter** filter) {
  if (!file || !filter) return E_POINTER;
  std::lock_guard lock(lock_);
  IBaseFilter* source = nullptr;
  const HRESULT hr = LoadSource(file, filterName, &source);
  *filter = source;
  if (source) source->AddRef();
  return hr;
}

HRESULT CFilterGraph::SetLogFile(uintptr_t) { return S_OK; }
HRESULT CFilterGraph::Abort() { return S_OK; }
HRESULT CFilterGraph::ShouldOperationContinue() { return S_OK; }

// ---------------------------------------------------------------------------
// State

std::vector<IBaseFilter*> CFilterGraph::DownstreamFirst() {
  std::vector<IBaseFilter*> left;
  for (const Member& m : filters_) left.push_back(m.filter);
  std::vector<IBaseFilter*> ordered;
  while (!left.empty()) {
    bool progress = false;
    for (auto it = left.begin(); it != left.end();) {
      bool ready = true;
      for (Ref<IPin>& pin : PinsOf(*it, PINDIR_OUTPUT)) {
        Ref<IPin> peer;
        if (pin->ConnectedTo(peer.Out()) != S_OK) continue;
        IBaseFilter* down = OwnerOf(peer.Get());
        if (down && std::find(left.begin(), left.end(), down) != left.end()) ready = false;
      }
      if (ready) {
        ordered.push_back(*it);
        it = left.erase(it);
        progress = true;
      } else {
        ++it;
      }
    }
    if (!progress) {  // a cycle: the rest in any order
      ordered.insert(ordered.end(), left.begin(), left.end());
      break;
    }
  }
  return ordered;
}

void CFilterGraph::ResetCompletion(int32_t renderers) {
  std::lock_guard lock(eventLock_);
  renderers_ = renderers;
  completed_.clear();
  completeQueued_ = false;
}

HRESULT CFilterGraph::Pause() {
  std::lock_guard lock(lock_);
  HRESULT result = S_OK;
  for (IBaseFilter* f : DownstreamFirst()) {
    const HRESULT hr = f->Pause();
    if (FAILED(hr) && result == S_OK) result = hr;
  }
  if (FAILED(result)) {
    Stop();
    return result;
  }
  state_ = State_Paused;
  return S_OK;
}

HRESULT CFilterGraph::Run() {
  std::lock_guard lock(lock_);
  if (state_ == State_Running) return S_OK;
  if (state_ == State_Stopped) {
    int32_t renderers = 0;
    for (const Member& m : filters_) {
      Ref<IAMFilterMiscFlags> flags = QueryRef<IAMFilterMiscFlags>(m.filter, IID_IAMFilterMiscFlags);
      if (!flags || !(flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER)) continue;
      const std::vector<Ref<IPin>> inputs = PinsOf(m.filter, PINDIR_INPUT);
      if (std::any_of(inputs.begin(), inputs.end(), [](const Ref<IPin>& p) { return IsConnected(p.Get()); }))
        ++renderers;
    }
    ResetCompletion(renderers);
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  HRESULT result = S_OK;
  for (IBaseFilter* f : DownstreamFirst()) {
    const HRESULT hr = f->Run(0);
    if (FAILED(hr) && result == S_OK) result = hr;
  }
  if (FAILED(result)) {
    Stop();
    return result;
  }
  state_ = State_Running;
  return S_OK;
}

HRESULT CFilterGraph::Stop() {
  std::lock_guard lock(lock_);
  HRESULT result = S_OK;
  for (IBaseFilter* f : DownstreamFirst()) {
    const HRESULT hr = f->Stop();
    if (FAILED(hr) && result == S_OK) result = hr;
  }
  state_ = State_Stopped;
  return result;
}

HRESULT CFilterGraph::GetState(LONG, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(lock_);
  *state = state_;
  return S_OK;
}

HRESULT CFilterGraph::RenderFile(const WCHAR* file) { return RenderFile(file, nullptr); }
HRESULT CFilterGraph::StopWhenReady() { return Stop(); }

HRESULT CFilterGraph::MediaFilterPart::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

HRESULT CFilterGraph::MediaFilterPart::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(graph_->lock_);
  graph_->noClock_ = clock == nullptr;
  return S_OK;
}

HRESULT CFilterGraph::MediaFilterPart::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  *clock = nullptr;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Events

HRESULT CFilterGraph::Notify(LONG code, intptr_t param1, intptr_t param2) {
  std::lock_guard lock(eventLock_);
  if (code == EC_COMPLETE) {
    if (std::find(completed_.begin(), completed_.end(), param2) == completed_.end()) completed_.push_back(param2);
    if (completeQueued_ || static_cast<int32_t>(completed_.size()) < renderers_) return S_OK;
    completeQueued_ = true;
    events_.push_back(Event{EC_COMPLETE, S_OK, 0});
  } else {
    events_.push_back(Event{code, param1, param2});
  }
  eventReady_.notify_all();
  return S_OK;
}

HRESULT CFilterGraph::GetEventHandle(intptr_t* handle) {
  if (!handle) return E_POINTER;
  *handle = 0;
  return E_NOTIMPL;
}

HRESULT CFilterGraph::GetEvent(LONG* code, intptr_t* param1, intptr_t* param2, LONG timeoutMs) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(eventLock_);
  const auto ready = [this] { return !events_.empty(); };
  if (timeoutMs < 0) {
    eventReady_.wait(lock, ready);
  } else if (!eventReady_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
    return E_ABORT;
  }
  const Event e = events_.front();
  events_.pop_front();
  *code = e.code;
  *param1 = e.param1;
  *param2 = e.param2;
  return S_OK;
}

HRESULT CFilterGraph::WaitForCompletion(LONG timeoutMs, LONG* code) {
  if (!code) return E_POINTER;
  *code = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    LONG left = -1;
    if (timeoutMs >= 0) {
      const auto ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
      left = static_cast<LONG>(std::max<int64_t>(ms, 0));
    }
    intptr_t p1 = 0;
    intptr_t p2 = 0;
    LONG c = 0;
    const HRESULT hr = GetEvent(&c, &p1, &p2, left);
    if (hr != S_OK) return hr;
    if (c == EC_COMPLETE || c == EC_USERABORT || c == EC_ERRORABORT) {
      *code = c;
      return S_OK;
    }
  }
}

HRESULT CFilterGraph::CancelDefaultHandling(LONG) { return S_OK; }
HRESULT CFilterGraph::RestoreDefaultHandling(LONG) { return S_OK; }
HRESULT CFilterGraph::FreeEventParams(LONG, intptr_t, intptr_t) { return S_OK; }
HRESULT CFilterGraph::SetNotifyWindow(intptr_t, LONG, intptr_t) { return S_OK; }

HRESULT CFilterGraph::SetNotifyFlags(LONG flags) {
  notifyFlags_ = flags;
  return S_OK;
}

HRESULT CFilterGraph::GetNotifyFlags(LONG* flags) {
  if (!flags) return E_POINTER;
  *flags = notifyFlags_;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Seeking: through the filters that end streams (renderers, and filters
// without output pins) that answer IMediaSeeking.

std::vector<Ref<IMediaSeeking>> CFilterGraph::SeekingEndpoints() {
  std::vector<Ref<IMediaSeeking>> out;
  std::lock_guard lock(lock_);
  for (const Member& m : filters_) {
    Ref<IAMFilterMiscFlags> flags = QueryRef<IAMFilterMiscFlags>(m.filter, IID_IAMFilterMiscFlags);
    const bool renderer = flags && (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER);
    if (!renderer && !PinsOf(m.filter, PINDIR_OUTPUT).empty()) continue;
    Ref<IMediaSeeking> s = QueryRef<IMediaSeeking>(m.filter, IID_IMediaSeeking);
    if (s) out.push_back(std::move(s));
  }
  return out;
}

HRESULT CFilterGraph::GetCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  bool any = false;
  DWORD all = ~DWORD{0};
  for (Ref<IMediaSeeking>& s : SeekingEndpoints()) {
    DWORD c = 0;
    if (s->GetCapabilities(&c) != S_OK) continue;
    all &= c;
    any = true;
  }
  *capabilities = any ? all : 0;
  return any ? S_OK : E_NOTIMPL;
}

HRESULT CFilterGraph::CheckCapabilities(DWORD* capabilities) {
  if (!capabilities) return E_POINTER;
  DWORD have = 0;
  const HRESULT hr = GetCapabilities(&have);
  if (hr != S_OK) return hr;
  const DWORD wanted = *capabilities;
  *capabilities &= have;
  return *capabilities == wanted ? S_OK : (*capabilities ? S_FALSE : E_FAIL);
}

HRESULT CFilterGraph::IsFormatSupported(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CFilterGraph::QueryPreferredFormat(GUID* format) { return GetTimeFormat(format); }

HRESULT CFilterGraph::GetTimeFormat(GUID* format) {
  if (!format) return E_POINTER;
  *format = TIME_FORMAT_MEDIA_TIME;
  return S_OK;
}

HRESULT CFilterGraph::IsUsingTimeFormat(const GUID* format) { return IsFormatSupported(format); }

HRESULT CFilterGraph::SetTimeFormat(const GUID* format) {
  if (!format) return E_POINTER;
  return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
}

HRESULT CFilterGraph::GetDuration(LONGLONG* duration) {
  if (!duration) return E_POINTER;
  bool any = false;
  LONGLONG longest = 0;
  for (Ref<IMediaSeeking>& s : SeekingEndpoints()) {
    LONGLONG d = 0;
    if (s->GetDuration(&d) != S_OK) continue;
    longest = any ? std::max(longest, d) : d;
    any = true;
  }
  *duration = longest;
  return any ? S_OK : E_NOTIMPL;
}

HRESULT CFilterGraph::GetStopPosition(LONGLONG* stop) {
  if (!stop) return E_POINTER;
  bool any = false;
  LONGLONG latest = 0;
  for (Ref<IMediaSeeking>& s : SeekingEndpoints()) {
    LONGLONG t = 0;
    if (s->GetStopPosition(&t) != S_OK) continue;
    latest = any ? std::max(latest, t) : t;
    any = true;
  }
  *stop = latest;
  return any ? S_OK : E_NOTIMPL;
}

HRESULT CFilterGraph::GetCurrentPosition(LONGLONG* current) {
  if (!current) return E_POINTER;
  for (Ref<IMediaSeeking>& s : SeekingEndpoints())
    if (s->GetCurrentPosition(current) == S_OK) return S_OK;
  *current = 0;
  return E_NOTIMPL;
}

HRESULT CFilterGraph::ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                                        const GUID* sourceFormat) {
  if (!target) return E_POINTER;
  const bool targetOk = !targetFormat || *targetFormat == TIME_FORMAT_MEDIA_TIME;
  const bool sourceOk = !sourceFormat || *sourceFormat == TIME_FORMAT_MEDIA_TIME;
  if (!targetOk || !sourceOk) return E_INVALIDARG;
  *target = source;
  return S_OK;
}

HRESULT CFilterGraph::SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) {
  HRESULT result = E_NOTIMPL;
  for (Ref<IMediaSeeking>& s : SeekingEndpoints()) {
    // Each endpoint gets its own copies: a filter may write back the times it reached.
    LONGLONG c = current ? *current : 0;
    LONGLONG t = stop ? *stop : 0;
    const HRESULT hr = s->SetPositions(current ? &c : nullptr, currentFlags, stop ? &t : nullptr, stopFlags);
    if (hr == S_OK || result == E_NOTIMPL) result = hr;
  }
  return result;
}

HRESULT CFilterGraph::GetPositions(LONGLONG* current, LONGLONG* stop) {
  HRESULT hr = S_OK;
  if (current) hr = GetCurrentPosition(current);
  if (stop && hr == S_OK) hr = GetStopPosition(stop);
  return hr;
}

HRESULT CFilterGraph::GetAvailable(LONGLONG* earliest, LONGLONG* latest) {
  if (earliest) *earliest = 0;
  if (!latest) return S_OK;
  return GetDuration(latest);
}

HRESULT CFilterGraph::SetRate(double rate) {
  HRESULT result = E_NOTIMPL;
  for (Ref<IMediaSeeking>& s : SeekingEndpoints()) {
    const HRESULT hr = s->SetRate(rate);
    if (hr == S_OK || result == E_NOTIMPL) result = hr;
  }
  return result;
}

HRESULT CFilterGraph::GetRate(double* rate) {
  if (!rate) return E_POINTER;
  *rate = 1.0;
  return S_OK;
}

HRESULT CFilterGraph::GetPreroll(LONGLONG* preroll) {
  if (!preroll) return E_POINTER;
  *preroll = 0;
  return S_OK;
}
