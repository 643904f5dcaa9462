// Fake modules, a fake module source and a recording graph for the chain,
// stream-picking and run-loop tests.
#pragma once

#include <algorithm>
#include <cstdio>
#include <functional>

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/stream_descriptions.h"

namespace chainfakes {

// Modules made by a FakeModuleSource: a RecordingGraph takes over the
// reference handed out with each of them, as the media graph does.
inline std::set<IMediaModule*>& SourceMade() {
  static std::set<IMediaModule*> made;
  return made;
}

// A type the fakes offer: major, subtype and (audio) bits per sample.
struct TypeSpec {
  GUID major;
  GUID subtype;
  int bits = 16;
};

inline TypeSpec Video(const GUID& subtype) { return {MEDIATYPE_Video, subtype, 0}; }
inline TypeSpec Audio(const GUID& subtype, int bits = 16) { return {MEDIATYPE_Audio, subtype, bits}; }
inline TypeSpec Other(const GUID& major, const GUID& subtype) { return {major, subtype, 0}; }

inline void FillType(const TypeSpec& def, AM_MEDIA_TYPE* mt) {
  InitMediaType(mt);
  mt->majortype = def.major;
  mt->subtype = def.subtype;
  if (def.major == MEDIATYPE_Audio) {
    mt->formattype = FORMAT_WaveFormatEx;
    AllocMediaTypeFormat(mt, sizeof(WAVEFORMATEX));
    auto* wave = reinterpret_cast<WAVEFORMATEX*>(mt->pbFormat);
    *wave = WAVEFORMATEX{};
    wave->wFormatTag = WAVE_FORMAT_PCM;
    wave->nChannels = 2;
    wave->nSamplesPerSec = 8000;
    wave->wBitsPerSample = static_cast<WORD>(def.bits);
  }
}

inline bool SameType(const TypeSpec& def, const AM_MEDIA_TYPE* mt) {
  return mt && mt->majortype == def.major && mt->subtype == def.subtype;
}

// Which input types a fake takes: none, any, or these subtypes.
struct Accepts {
  bool any = false;
  std::vector<GUID> subtypes;
  bool Takes(const AM_MEDIA_TYPE* mt) const {
    return any || std::find(subtypes.begin(), subtypes.end(), mt->subtype) != subtypes.end();
  }
};
inline Accepts AcceptAny() { return {true, {}}; }
inline Accepts AcceptOnly(std::vector<GUID> subtypes) { return {false, std::move(subtypes)}; }

struct ModuleSpec {
  std::string name;
  Accepts accepts;                // input side
  std::vector<TypeSpec> outputs;  // empty: the input type passes through
};

template <class Base>
class FakeModuleT : public Base {
 public:
  FakeModuleT(ModuleSpec def, uint32_t inputs, uint32_t outputs)
      : def_(std::move(def)), inputPins_(inputs), outputPins_(outputs) {
    std::snprintf(registration_, sizeof registration_, "%s", def_.name.c_str());
    std::snprintf(registration_ + 64, 64, "%s", def_.name.c_str());
    this->SetRegistration(registration_);
  }
  ~FakeModuleT() override {
    for (AM_MEDIA_TYPE* mt : inputTypes_) DeleteOwnMediaType(mt);
    DeleteOwnMediaType(passed_);
  }

  const std::string& Name() const { return def_.name; }
  std::string ParamsText() const { return params_; }
  int closes = 0;
  int runs = 0;

  HRESULT SetParams(CParamList* params) override {
    char* text = params->ToText();
    params_.clear();
    for (const char* c = text ? text : ""; *c; ++c)
      if (*c != '"') params_.push_back(*c);  // keys come quoted
    params->FreeText(text);
    return paramsResult;
  }
  HRESULT Run() override {
    ++runs;
    return S_OK;
  }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override {
    ++closes;
    return S_OK;
  }
  uint32_t GetInputPinCount() override { return inputPins_; }
  uint32_t GetOutputPinCount() override { return outputPins_; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t) override {
    if (!addable_ || !def_.accepts.Takes(type)) return E_FAIL;
    inputTypes_.push_back(CloneMediaType(type));
    ++inputPins_;
    return S_OK;
  }
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override {
    if (pin >= inputPins_ || !def_.accepts.Takes(type)) return E_FAIL;
    if (!testOnly) {
      DeleteOwnMediaType(passed_);
      passed_ = CloneMediaType(type);
    }
    return S_OK;
  }
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (index != 0) return MODULE_E_NO_TYPE;
    if (pin < inputTypes_.size()) return CopyMediaTypeDeep(type, inputTypes_[pin]) ? S_OK : E_FAIL;
    if (fixedInput_) {
      FillType(*fixedInput_, type);
      return S_OK;
    }
    return MODULE_E_NO_TYPE;
  }
  HRESULT Receive(uint32_t, IMediaSample* sample) override {
    if (sample) sample->Release();
    return S_OK;
  }
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t) override {
    if (pin >= outputPins_) return E_FAIL;
    if (def_.outputs.empty()) return passed_ && passed_->subtype == type->subtype ? S_OK : E_FAIL;
    for (const TypeSpec& t : def_.outputs)
      if (SameType(t, type)) return S_OK;
    return E_FAIL;
  }
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override {
    if (pin >= outputPins_) return MODULE_E_NO_TYPE;
    if (def_.outputs.empty()) {
      if (index != 0 || !passed_) return MODULE_E_NO_TYPE;
      return CopyMediaTypeDeep(type, passed_) ? S_OK : E_FAIL;
    }
    const std::vector<TypeSpec>& list = pinOutputs_.empty() ? def_.outputs : pinOutputs_[pin];
    if (index >= list.size()) return MODULE_E_NO_TYPE;
    FillType(list[index], type);
    return S_OK;
  }

  HRESULT paramsResult = S_OK;
  bool addable_ = true;                            // writers: AddInputPin works
  std::unique_ptr<TypeSpec> fixedInput_;           // subtitle writers: their input type
  std::vector<std::vector<TypeSpec>> pinOutputs_;  // readers: per-pin output types

 protected:
  ModuleSpec def_;
  uint32_t inputPins_;
  uint32_t outputPins_;
  char registration_[128] = {};
  std::string params_;
  std::vector<AM_MEDIA_TYPE*> inputTypes_;
  AM_MEDIA_TYPE* passed_ = nullptr;
};

using FakeTransform = FakeModuleT<CTransformModule>;

// Takes the job's stream descriptions, as the DVD reader does.
class FakeReader final : public FakeModuleT<CReaderModule>, public IStreamDescriptions {
 public:
  // One output pin per entry, each offering its types.
  FakeReader(std::string name, std::vector<std::vector<TypeSpec>> pins)
      : FakeModuleT(ModuleSpec{std::move(name), {}, {TypeSpec{}}}, 0, static_cast<uint32_t>(pins.size())) {
    pinOutputs_ = std::move(pins);
  }
  HRESULT QueryInterface(REFIID iid, void** out) override {
    if (out && iid == IStreamDescriptions::kIid) {
      AddRef();
      *out = static_cast<IStreamDescriptions*>(this);
      return S_OK;
    }
    return FakeModuleT::QueryInterface(iid, out);
  }
  HRESULT SetStreamDescriptions(const char* const* texts, int32_t count) override {
    descriptions.assign(texts, texts + count);
    return S_OK;
  }
  HRESULT OpenFile(const char* path, int32_t start, int32_t stop) override {
    openedPath = path;
    openStart = start;
    openStop = stop;
    openedDescriptions = descriptions;
    return openResult;
  }
  HRESULT GetInfo(int64_t*, CParamList*) override { return S_OK; }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_FAIL; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t) override {
    if (pin >= pinOutputs_.size()) return E_FAIL;
    for (const TypeSpec& t : pinOutputs_[pin])
      if (SameType(t, type)) return S_OK;
    return E_FAIL;
  }

  std::string openedPath;
  std::vector<std::string> descriptions;
  std::vector<std::string> openedDescriptions;  // those set when OpenFile came
  int32_t openStart = -1;
  int32_t openStop = -1;
  HRESULT openResult = S_OK;
};

class FakeWriter final : public FakeModuleT<CWriterModule> {
 public:
  FakeWriter(std::string name, Accepts accepts) : FakeModuleT(ModuleSpec{std::move(name), accepts, {}}, 0, 0) {}
  int32_t GetState() override { return state; }
  HRESULT SetOutput(const char* path, const int32_t* target) override {
    outputPath = path;
    if (createsFile) {
      // Appends, so that a file that was there keeps its bytes.
      if (FILE* file = std::fopen(path, "ab")) std::fclose(file);
    }
    if (target) std::copy(target, target + 6, targetWords);
    return outputResult;
  }
  HRESULT SetOutputOption(int32_t) override { return S_OK; }
  HRESULT CloseOutput() override {
    ++outputCloses;
    return S_OK;
  }

  std::string outputPath;
  int32_t targetWords[6] = {};
  HRESULT outputResult = S_OK;
  int32_t state = WRITER_FINISHED;
  int outputCloses = 0;
  bool createsFile = false;
};

inline int ClosesOf(IMediaModule* m) {
  if (auto* t = dynamic_cast<FakeTransform*>(m)) return t->closes;
  if (auto* r = dynamic_cast<FakeReader*>(m)) return r->closes;
  if (auto* w = dynamic_cast<FakeWriter*>(m)) return w->closes;
  return -1;
}

// Keeps every module it made (tests look at them); modules the graph owns
// are not released by the graph fake.
class FakeModuleSource final : public IModuleSource {
 public:
  struct WriterEntry {
    WriterLimits limits;
    Accepts accepts;
  };

  ~FakeModuleSource() override {
    for (IMediaModule* m : made_) {
      SourceMade().erase(m);
      m->Release();
    }
  }

  // Registers a coder or filter by name in a list.
  void Add(CoderList list, ModuleSpec def) { coders_[{list, def.name}] = def; }
  // Decoder for an input subtype.
  void AddDecoder(const GUID& input, ModuleSpec def) { decoders_.push_back({input, std::move(def)}); }
  void AddWriter(const std::string& tag, WriterLimits limits, Accepts accepts) { writers_[tag] = {limits, accepts}; }
  void AddReader(const std::string& path, std::vector<std::vector<TypeSpec>> pins) { readers_[path] = pins; }

  IMediaModule* CreateByName(CoderList list, const char* name) override {
    auto it = coders_.find({list, name});
    if (it == coders_.end()) return nullptr;
    return Keep(new FakeTransform(it->second, 1, 1));
  }
  IMediaModule* CreateDecoder(const AM_MEDIA_TYPE* type) override {
    for (auto& [input, def] : decoders_)
      if (type->subtype == input) return Keep(new FakeTransform(def, 1, 1));
    return nullptr;
  }
  bool HasDecoder(const AM_MEDIA_TYPE* type) override {
    for (auto& d : decoders_)
      if (type->subtype == d.first) return true;
    return false;
  }
  IMediaModule* CreateWriter(const char* tag, WriterLimits* limits) override {
    auto it = writers_.find(tag);
    if (limits) *limits = it == writers_.end() ? WriterLimits{} : it->second.limits;
    if (it == writers_.end()) return nullptr;
    auto* writer = new FakeWriter(tag, it->second.accepts);
    writer->createsFile = writersCreateFiles;
    return Keep(writer);
  }
  IMediaModule* SelectReader(const char* path, bool* isFile) override {
    auto it = readers_.find(path);
    *isFile = it != readers_.end() || unknownFiles.count(path);
    if (it == readers_.end()) return nullptr;
    auto* reader = new FakeReader(path, it->second);
    reader->openResult = openResult;
    return Keep(reader);
  }
  IMediaModule* CreateReaderByExtension(const char*) override { return nullptr; }

  // The last module made under that name.
  template <class T = FakeTransform>
  T* Made(const std::string& name) const {
    for (auto it = made_.rbegin(); it != made_.rend(); ++it)
      if (RegistrationName(*it) == name) return dynamic_cast<T*>(*it);
    return nullptr;
  }
  std::vector<std::string> MadeNames() const {
    std::vector<std::string> names;
    for (IMediaModule* m : made_) names.push_back(RegistrationName(m));
    return names;
  }
  const std::vector<IMediaModule*>& MadeModules() const { return made_; }

  std::map<std::string, int> unknownFiles;  // paths that are files no reader knows
  HRESULT openResult = S_OK;
  bool writersCreateFiles = false;

 private:
  IMediaModule* Keep(IMediaModule* m) {
    m->AddRef();  // one for the test, one handed out
    made_.push_back(m);
    SourceMade().insert(m);
    return m;
  }

  std::map<std::pair<CoderList, std::string>, ModuleSpec> coders_;
  std::vector<std::pair<GUID, ModuleSpec>> decoders_;
  std::map<std::string, WriterEntry> writers_;
  std::map<std::string, std::vector<std::vector<TypeSpec>>> readers_;
  std::vector<IMediaModule*> made_;
};

// Records connections and hooks; releases the source-made modules it lists.
class RecordingGraph final : public IJobGraph {
 public:
  ~RecordingGraph() override {
    std::set<IMediaModule*> listed;
    for (const Edge& e : edges) listed.insert({e.source, e.destination});
    for (IMediaModule* m : listed)
      if (SourceMade().count(m)) m->Release();
  }

  struct Edge {
    IMediaModule* source;
    uint32_t sourcePin;
    IMediaModule* destination;
    uint32_t destinationPin;
    SampleHook hook;
  };

  void Connect(IMediaModule* s, uint32_t sp, IMediaModule* d, uint32_t dp) override {
    for (Edge& e : edges)
      if (e.source == s && e.sourcePin == sp) {
        e.destination = d;
        e.destinationPin = dp;
        return;
      }
    edges.push_back({s, sp, d, dp, nullptr});
  }
  bool SetHook(IMediaModule* s, uint32_t sp, SampleHook hook) override {
    for (Edge& e : edges)
      if (e.source == s && e.sourcePin == sp) {
        e.hook = hook;
        return true;
      }
    return false;
  }
  bool FindConnection(IMediaModule* m, uint32_t pin, IMediaModule** other, uint32_t* otherPin, int direction) override {
    for (Edge& e : edges) {
      if (direction == 1 && e.source == m && e.sourcePin == pin) {
        *other = e.destination;
        *otherPin = e.destinationPin;
        return true;
      }
      if (direction == 0 && e.destination == m && e.destinationPin == pin) {
        *other = e.source;
        *otherPin = e.sourcePin;
        return true;
      }
    }
    return false;
  }
  // True when a connection names the module.
  bool Lists(IMediaModule* m) const {
    for (const Edge& e : edges)
      if (e.source == m || e.destination == m) return true;
    return false;
  }

  HRESULT Run() override { return S_OK; }
  int32_t GetState() override { return 1; }
  HRESULT Stop() override { return S_OK; }
  HRESULT Pause(int32_t) override { return S_OK; }
  HRESULT Seek(uint32_t, int32_t) override { return S_OK; }
  HRESULT CloseWriters() override { return S_OK; }
  void Release() override {}

  // Registration names from the module after (source, pin) to the end.
  std::vector<std::string> ChainFrom(IMediaModule* source, uint32_t pin) {
    std::vector<std::string> names;
    IMediaModule* m = source;
    uint32_t p = pin;
    for (int guard = 0; guard < 64; ++guard) {
      IMediaModule* next = nullptr;
      uint32_t nextPin = 0;
      if (!FindConnection(m, p, &next, &nextPin, 1)) break;
      names.push_back(RegistrationName(next));
      m = next;
      p = 0;
    }
    return names;
  }

  std::vector<Edge> edges;
};

// Every module the source made is either listed by the graph (which closes
// it) or was closed by the code under test, exactly once.
inline void ExpectEachModuleClosedOnceOrTaken(const FakeModuleSource& modules, const RecordingGraph& graph) {
  for (IMediaModule* m : modules.MadeModules()) {
    SCOPED_TRACE(RegistrationName(m));
    EXPECT_EQ(graph.Lists(m) ? 0 : 1, ClosesOf(m));
  }
}

}  // namespace chainfakes
