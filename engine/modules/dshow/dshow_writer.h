// CDShowWriter: a writer module that writes its output through a file-writing
// filter in a private filter graph. A graph map (CFileSinkMap, made by the
// row's "MAPFUNC") puts the filter, made by its display name ("Param"), into
// the graph with the output's file name; each engine stream gets a
// CPushSourceFilter connected to one input pin of it, and the engine's
// samples are pushed into the graph on the delivering thread.
//
// CWmvWriter: the "[DS]WMV" writer. The writer above with the ASF writer
// filter inside; it takes PCM audio and YV12 pictures, and before any pin of
// the filter exists builds a Windows Media profile from the job's keys
// ("ACODEC", "VCODEC", "ABITRATE", "VBITRATE", "FRAMERATE", "SAMPLERATE",
// "CHANNEL", "AVTYPE") that decides the filter's pins. A stream the profile
// has no format for is left out (with a log line): its samples are taken and
// dropped, and the other streams are written.
// Results: S_OK or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_bridge.h"
#include "engine/modules/dshow/dshow_reader.h"
#include "engine/modules/dshow/dshow_support.h"
#include "engine/modules/dshow/wm_profile.h"
#include "plugin-api/media_module.h"

class CParamList;

// "CONFIGFUNC": called with the file-writing filter and the map's parameters.
using SinkConfigFunction = void (*)(IBaseFilter* filter, CParamList* params);

class CFileSinkMap final : public CPinListMap {
 public:
  CFileSinkMap() : CPinListMap(true) {}
  ~CFileSinkMap() override;

  bool Build(CParamList* params, IGraphBuilder* graph) override;
  // Holds again every input pin of the filter that is not connected.
  void RefreshInputPins() override;
  IBaseFilter* GetFilter() override { return filter_.Get(); }

 private:
  Ref<IBaseFilter> filter_;
};

// The "MAPFUNC" of the DirectShow writer rows.
IGraphMap* CreateFileSinkMap();

class CDShowWriter : public CWriterModule {
 public:
  static constexpr int32_t kMaxInputs = 20;
  // SetOutput: the map could not put the file-writing filter into the graph.
  static constexpr HRESULT kCannotBuild = MakeHResult(0x80040200u);

  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList*) override { return E_NOTIMPL; }
  HRESULT Run() override;
  HRESULT Stop() override;
  HRESULT Pause(int32_t) override { return S_OK; }
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override { return static_cast<uint32_t>(inputCount_); }
  uint32_t GetOutputPinCount() override { return 0; }
  // mode 0 connects a new input, 1 only tests, 2 takes no pin.
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_FAIL; }
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t AcceptsBlankSample() override { return 0; }

  // 1 when every input has ended (also with none), 2 when some have, 0 when none has.
  int32_t GetState() override;
  // The file-writing filter goes into the graph with the path as its file;
  // kCannotBuild (and "cannot create map") when it cannot.
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t) override { return E_FAIL; }
  // Ends every input, waits for the graph to complete and tears it down. The
  // failure the filter reported (EC_ERRORABORT), or the graph's when it never
  // ran, is passed on.
  HRESULT CloseOutput() override;

  IGraphMap* Map() const { return map_.get(); }
  IGraphBuilder* Graph() const { return graph_.graph.Get(); }

 protected:
  CDShowWriter() = default;
  ~CDShowWriter() override;
  void Teardown();

  PrivateGraph graph_;
  std::atomic<int32_t> stopping_{0};  // set by Stop, read on the streaming threads
  CParamList params_;                 // the open parameters, for the map built per output
  std::unique_ptr<IGraphMap> map_;
  Ref<CPushSourceFilter> pushFilters_[kMaxInputs];
  CPushSourcePin* pushPins_[kMaxInputs] = {};
  IPin* writerPins_[kMaxInputs] = {};            // held by the filter
  std::atomic<int32_t> ended_[kMaxInputs] = {};  // set on streaming threads, read by GetState
  int32_t inputCount_ = 0;
  int32_t running_ = 0;
  bool built_ = false;
  HRESULT runFailure_ = S_OK;  // the graph did not run: nothing can complete

  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);
};

class CWmvWriter final : public CDShowWriter {
 public:
  static IMediaModule* Create(CParamList* params);

  // Builds the profile and makes the real inputs (the pending types in order).
  HRESULT SetParams(CParamList* params) override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  // Inputs as the engine sees them: every type taken, written or left out.
  uint32_t GetInputPinCount() override { return static_cast<uint32_t>(slotCount_); }
  // mode 0 keeps a copy of a PCM or YV12 type (no pin of the filter yet); other modes accept.
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t GetState() override;

  // The input the engine's pin became; -1 when its stream was left out.
  int32_t InputOf(uint32_t pin) const;

  // The profile steps (public for tests). Messages go to standard output;
  // a stream the runtime has no format for gives the codes of wm_profile.h.
  static HRESULT AddAudioStream(CWMProfileManager& manager, CWMProfile& profile, int32_t sampleRate, int32_t channels,
                                int32_t bitsPerSample, int32_t bitRate, int32_t avType, int32_t formatTag,
                                int32_t* streamNumber, std::string* connectionName);
  static HRESULT AddVideoStream(CWMProfileManager& manager, CWMProfile& profile, const VIDEOINFOHEADER& videoInfo,
                                int32_t* streamNumber, uint32_t quality, int32_t keyFrameSeconds,
                                std::string* connectionName);
  static HRESULT ConfigureStream(CWMStreamConfig& config, const CWMProfile& profile, const char* streamName,
                                 const char* connectionName, uint32_t bitRate, const AM_MEDIA_TYPE& mediaType);
  static HRESULT SaveProfileText(const CWMProfileManager& manager, const CWMProfile& profile);
  // The profile of the keys, with videoCount video and audioCount audio
  // streams; configures the filter with it when it takes IConfigAsfWriter.
  // The profile is also given back when out is set.
  static void BuildProfile(IBaseFilter* filter, CParamList* params, int32_t width, int32_t height, int32_t videoCount,
                           int32_t audioCount, CWMProfile* out = nullptr);

 private:
  CWmvWriter() = default;
  ~CWmvWriter() override;
  void FreePending();

  AM_MEDIA_TYPE* pendingTypes_[kMaxInputs] = {};  // owned copies
  int32_t pendingCount_ = 0;
  int32_t bufferSize_[kMaxInputs] = {};
  int32_t videoWidth_ = 0;
  int32_t videoHeight_ = 0;
  // Engine pins: the real input of each (-1: left out), whether a left-out
  // one has ended, and the allocator its samples come from.
  int32_t slotCount_ = 0;
  int32_t inputOf_[kMaxInputs] = {};
  std::atomic<int32_t> leftEnded_[kMaxInputs] = {};
  Ref<IMemAllocator> discard_[kMaxInputs];
  bool configured_ = false;

  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);
};
