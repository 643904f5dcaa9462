// CDShowReader: a reader module that opens a source through a private filter
// graph. A graph map (made by the row's "MAPFUNC") puts the source into the
// graph and offers the output pins that carry the streams; each stream pin
// ends in a CSinkFilter whose pin delivers to the module's output callback on
// the graph's streaming threads.
//
// Maps here: CRenderFileMap (the "DSHOW" and "AVS" rows): the playback graph
// of the file without its renderers; CFilterSourceMap (the "ASF" row): one source filter ("FILTERFUNC"
// or the display name in "Param") loaded with the file, optionally followed
// by a second filter ("FILTERFUNC2"); its output pins are the streams.
// Results: S_OK or a failure code.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_bridge.h"
#include "engine/modules/dshow/dshow_support.h"
#include "plugin-api/media_module.h"

class CParamList;

// The graph map interface shared by the reader and writer modules.
class IGraphMap {
 public:
  virtual ~IGraphMap() = default;
  // true when the graph was built.
  virtual bool Build(CParamList* params, IGraphBuilder* graph) = 0;
  virtual HRESULT Start(void*, void*) { return S_OK; }
  virtual HRESULT Finish() { return S_OK; }
  virtual HRESULT ReleasePins() = 0;
  virtual int32_t InputPinCount() = 0;
  virtual int32_t OutputPinCount() = 0;
  // inputSide nonzero: an input pin of the map's filter; zero: a stream pin. No reference.
  virtual IPin* GetPin(int32_t inputSide, int32_t index) = 0;
  virtual void RefreshInputPins() {}
  virtual IBaseFilter* GetFilter() { return nullptr; }
};

// A function without arguments that makes a new map ("MAPFUNC").
using GraphMapFunction = IGraphMap* (*)();

// A copy of the module's parameters and a new map from their "MAPFUNC"; false
// when there is no map function or it made none.
bool TakeGraphMap(CParamList* params, CParamList& kept, std::unique_ptr<IGraphMap>& map);

// A map's pins on one side of its graph, at most 20, one reference each.
class CPinListMap : public IGraphMap {
 public:
  static constexpr int32_t kMaxPins = 20;
  ~CPinListMap() override { ReleasePins(); }

  HRESULT ReleasePins() override;
  int32_t InputPinCount() override { return inputs_ ? count_ : 0; }
  int32_t OutputPinCount() override { return inputs_ ? 0 : count_; }
  IPin* GetPin(int32_t inputSide, int32_t index) override;

 protected:
  // inputs: the pins are the graph's inputs (a writer's), else its outputs.
  explicit CPinListMap(bool inputs) : inputs_(inputs) {}
  Ref<IPin> pins_[kMaxPins];
  int32_t count_ = 0;

 private:
  const bool inputs_;
};

class CFilterSourceMap final : public CPinListMap {
 public:
  CFilterSourceMap() : CPinListMap(false) {}
  bool Build(CParamList* params, IGraphBuilder* graph) override;
};

// The "MAPFUNC" of the "ASF" reader row.
IGraphMap* CreateFilterSourceMap();

// The map of the "DSHOW" and "AVS" rows: the graph builds the whole playback
// graph for the file (a null audio renderer, "NULL Audio", is offered first),
// then the renderers are taken out and the pins that fed them are the
// streams, decoded (at most 20, in the order the graph holds its filters).
class CRenderFileMap final : public CPinListMap {
 public:
  CRenderFileMap() : CPinListMap(false) {}
  bool Build(CParamList* params, IGraphBuilder* graph) override;
};

IGraphMap* CreateRenderFileMap();

class CDShowReader final : public CReaderModule {
 public:
  static constexpr int32_t kMaxStreams = 20;
  // OpenFile: the map could not build the graph.
  static constexpr HRESULT kCannotBuild = MakeHResult(0x80040200u);

  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList*) override { return E_NOTIMPL; }
  HRESULT Run() override;
  HRESULT Stop() override;
  HRESULT Pause(int32_t pause) override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return static_cast<uint32_t>(streamCount_); }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT Receive(uint32_t, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES*) override { return E_FAIL; }
  HRESULT SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) override;

  // start and end in whole seconds; end 0: to the end.
  HRESULT OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) override;
  HRESULT GetInfo(int64_t* duration, CParamList* info) override;
  HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) override;
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh, int32_t reserved) override;

  CSinkInputPin* SinkPin(int32_t stream) const {
    return stream >= 0 && stream < kMaxStreams ? sinkPins_[stream] : nullptr;
  }

 private:
  CDShowReader() = default;
  ~CDShowReader() override;
  void Teardown();

  PrivateGraph graph_;
  CParamList params_;  // the open parameters, for the map built per file
  std::unique_ptr<IGraphMap> map_;
  Ref<CSinkFilter> sinkFilters_[kMaxStreams];
  CSinkInputPin* sinkPins_[kMaxStreams] = {};
  IPin* streamPins_[kMaxStreams] = {};  // held by the map
  int32_t running_ = 0;
  int32_t streamCount_ = 0;

  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);
};
