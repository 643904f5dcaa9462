#include "engine/graph/media_graph.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/diagnostics.h"

namespace {

std::atomic<int32_t> g_stopped{0};
std::atomic<int32_t> g_paused{0};

// A reader registration holds its 64-character name before its tag.
constexpr size_t kReaderTagOffset = 64;
constexpr size_t kNameChars = 64;

// A deeper chain than this is a cycle.
constexpr int kMaxChainDepth = 64;

HRESULT Forward(IMediaSample* sample, void* context) {
  auto* c = static_cast<GraphConnection*>(context);
  const bool blank = IsBlankSample(sample);
  if (blank && !c->destination->AcceptsBlankSample()) return S_OK;
  if (!sample) {
    char from[65];
    char to[65];
    ModuleDisplayName(c->source, from);
    ModuleDisplayName(c->destination, to);
    ConsoleLine("%s -->%s end\n", from, to);
  }
  // Stop ends a pause too, so that ends of stream still get through.
  while (g_paused.load() && !g_stopped.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (g_stopped.load()) {
    if (!sample) return c->destination->Receive(c->destinationPin, nullptr);
    Ref<IMediaSample> dropped(blank ? nullptr : sample);  // after a stop only ends of stream pass
    return S_OK;
  }
  return c->destination->Receive(c->destinationPin, sample);
}

HRESULT ForwardHooked(IMediaSample* sample, void* context) {
  auto* c = static_cast<GraphConnection*>(context);
  if (c->hook && !IsBlankSample(sample)) c->hook(sample);
  return Forward(sample, context);
}

std::vector<IMediaModule*> Borrowed(const std::vector<Ref<IMediaModule>>& held) {
  std::vector<IMediaModule*> list;
  list.reserve(held.size());
  for (const Ref<IMediaModule>& module : held) list.push_back(module.Get());
  return list;
}

}  // namespace

void ModuleDisplayName(IMediaModule* module, char (&name)[65]) {
  name[0] = 0;
  if (!module) return;
  const auto* reg = static_cast<const char*>(module->GetRegistration());
  if (!reg) {
    std::snprintf(name, sizeof name, "%d", static_cast<int>(reinterpret_cast<intptr_t>(module)));
    return;
  }
  const char* text = module->GetInputPinCount() == 0 ? reg + kReaderTagOffset : reg;
  size_t n = strnlen(text, kNameChars);
  std::memcpy(name, text, n);
  name[n] = 0;
}

CMediaGraph::CMediaGraph() = default;

CMediaGraph::~CMediaGraph() { Release(); }

bool CMediaGraph::IsStopped() { return g_stopped.load() != 0; }
bool CMediaGraph::IsPaused() { return g_paused.load() != 0; }

void CMediaGraph::ResetProcessState() {
  g_stopped.store(0);
  g_paused.store(0);
}

GraphConnection* CMediaGraph::FindBySource(IMediaModule* module, uint32_t pin) {
  for (auto& c : connections_) {
    if (c->source == module && c->sourcePin == pin) return c.get();
  }
  return nullptr;
}

void CMediaGraph::List(IMediaModule* module) {
  auto& list = module->GetInputPinCount() ? modules_ : readers_;
  const auto same = [module](const Ref<IMediaModule>& listed) { return listed.Get() == module; };
  if (std::find_if(list.begin(), list.end(), same) == list.end()) list.emplace_back(module);
}

bool CMediaGraph::Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination,
                          uint32_t destinationPin) {
  if (!source || !destination) return false;
  List(source);
  List(destination);
  GraphConnection* c = FindBySource(source, sourcePin);
  if (c) {
    c->destination = destination;
    c->destinationPin = destinationPin;
  } else {
    connections_.push_back(
        std::make_unique<GraphConnection>(GraphConnection{source, sourcePin, destination, destinationPin, nullptr}));
    c = connections_.back().get();
  }
  source->SetOutputCallback(sourcePin, c->hook ? ForwardHooked : Forward, c);
  return true;
}

bool CMediaGraph::SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook) {
  GraphConnection* c = FindBySource(source, sourcePin);
  if (!c) return false;
  c->hook = hook;
  source->SetOutputCallback(sourcePin, ForwardHooked, c);
  return true;
}

bool CMediaGraph::FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** otherModule, uint32_t* otherPin,
                                 int32_t direction) {
  for (auto& c : connections_) {
    bool match = direction == 1 ? (c->source == module && c->sourcePin == pin)
                                : (c->destination == module && c->destinationPin == pin);
    if (!match) continue;
    if (otherModule) *otherModule = direction == 1 ? c->destination : c->source;
    if (otherPin) *otherPin = direction == 1 ? c->destinationPin : c->sourcePin;
    return true;
  }
  return false;
}

bool CMediaGraph::IsSetUp(IMediaModule* module, uint32_t pin) const {
  return std::find(setUp_.begin(), setUp_.end(), std::make_pair(module, pin)) != setUp_.end();
}

bool CMediaGraph::SetupAllocators(IMediaModule* source, uint32_t sourcePin) {
  return SetupAllocatorsFrom(source, sourcePin, 0);
}

bool CMediaGraph::SetupAllocatorsFrom(IMediaModule* source, uint32_t sourcePin, int depth) {
  GraphConnection* c = FindBySource(source, sourcePin);
  if (!c || depth > kMaxChainDepth) return false;
  IMediaModule* dest = c->destination;
  uint32_t outputs = dest->GetOutputPinCount();
  for (uint32_t pin = 0; pin < outputs && pin < kMaxOutputPins; ++pin) {
    if (IsSetUp(dest, pin)) continue;
    if (!SetupAllocatorsFrom(dest, pin, depth + 1)) return false;
  }
  Ref<IMemAllocator> allocator;
  if (dest->GetInputAllocator(c->destinationPin, allocator.Out()) != S_OK || !allocator) return false;
  ALLOCATOR_PROPERTIES request{};
  if (dest->GetAllocatorRequirements(c->destinationPin, &request) != S_OK) return false;
  // Results are not checked: a forwarding allocator hands these to an inner
  // allocator that is already committed.
  ALLOCATOR_PROPERTIES actual{};
  allocator->SetProperties(&request, &actual);
  allocator->Commit();
  source->SetOutputAllocator(sourcePin, allocator.Get());  // borrowed: the destination keeps its own reference
  setUp_.emplace_back(source, sourcePin);
  return true;
}

HRESULT CMediaGraph::Run() {
  char name[65];
  for (const Ref<IMediaModule>& reader : readers_) {
    uint32_t outputs = reader->GetOutputPinCount();
    for (uint32_t pin = 0; pin < outputs && pin < kMaxOutputPins; ++pin) {
      if (!SetupAllocators(reader.Get(), pin)) ConsoleLine("error in run\n");
    }
    ModuleDisplayName(reader.Get(), name);
    ConsoleLine("Reader:%s\n", name);
  }
  for (const Ref<IMediaModule>& module : modules_) {
    module->Run();
    ModuleDisplayName(module.Get(), name);
    ConsoleLine("FILTER:%s\n", name);
  }
  for (const Ref<IMediaModule>& reader : readers_) reader->Run();
  return S_OK;
}

HRESULT CMediaGraph::Stop() {
  for (const Ref<IMediaModule>& module : modules_) module->Stop();
  for (const Ref<IMediaModule>& reader : readers_) reader->Stop();
  g_stopped.store(1);
  return S_OK;
}

HRESULT CMediaGraph::Pause(int32_t pause) {
  for (const Ref<IMediaModule>& module : modules_) module->Pause(pause);
  for (const Ref<IMediaModule>& reader : readers_) reader->Pause(pause);
  g_paused.store(pause);
  return S_OK;
}

HRESULT CMediaGraph::Seek(uint32_t timeLow, int32_t timeHigh) {
  HRESULT result = S_OK;
  for (const Ref<IMediaModule>& module : readers_) {
    void* out = nullptr;
    if (module->QueryInterface(IID_IMRD, &out) != S_OK || !out) continue;
    Ref<IMediaReader> reader(static_cast<IMediaReader*>(static_cast<IMediaModule*>(out)));
    result = reader->Seek(timeLow, timeHigh, 0);
  }
  return result;
}

int32_t CMediaGraph::GetState() {
  if (modules_.empty()) return 1;
  int running = 0;
  int finished = 0;
  for (const Ref<IMediaModule>& module : modules_) {
    if (module->GetOutputPinCount() != 0) continue;
    IMediaWriter* writer = QueryAsWriter(module.Get());
    if (!writer) continue;
    int32_t state = writer->GetState();
    if (state == WRITER_FINISHED) {
      ++finished;
    } else if (state == WRITER_RUNNING) {
      ++running;
    } else {
      return 2;
    }
  }
  if (running == 0) return 1;
  return finished ? 2 : 0;
}

HRESULT CMediaGraph::CloseWriters() {
  // Every writer is closed; the first failure (a write error) is the result.
  HRESULT result = S_OK;
  for (const Ref<IMediaModule>& module : modules_) {
    if (module->GetOutputPinCount() != 0) continue;
    if (IMediaWriter* writer = QueryAsWriter(module.Get())) {
      HRESULT hr = writer->CloseOutput();
      if (hr != S_OK && result == S_OK) result = hr;
    }
  }
  return result;
}

std::vector<IMediaModule*> CMediaGraph::Modules() const { return Borrowed(modules_); }

std::vector<IMediaModule*> CMediaGraph::Readers() const { return Borrowed(readers_); }

void CMediaGraph::Release() {
  std::vector<Ref<IMediaModule>> readers;
  std::vector<Ref<IMediaModule>> modules;
  readers.swap(readers_);
  modules.swap(modules_);
  setUp_.clear();
  for (const Ref<IMediaModule>& reader : readers) reader->Close();
  for (const Ref<IMediaModule>& module : modules) module->Close();
  // Released only once everything is closed: a closing module may still deliver downstream.
  readers.clear();
  modules.clear();
}
