// CFilterGraph: the layer's filter graph manager. It holds the filters added
// to it, connects pins (directly, or through decoders of the moniker table),
// renders pins and files, runs, pauses and stops the filters (downstream
// filters first), gathers the filters' events (one EC_COMPLETE once every
// renderer has completed) and seeks through its renderers. It has no clock:
// renderers render samples as they come.
// Results: S_OK or a failure code; VFW_S_PARTIAL_RENDER, VFW_S_DUPLICATE_NAME as noted.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow_interfaces.h"
#include "platform/dshow/moniker_table.h"
#include "platform/dshow/position_passthru.h"

class CFilterGraph final : public IGraphBuilder,
                           public IMediaControl,
                           public IMediaEventEx,
                           public IMediaEventSink,
                           public CSeekingPosition {
 public:
  CFilterGraph();
  CFilterGraph(const CFilterGraph&) = delete;
  CFilterGraph& operator=(const CFilterGraph&) = delete;

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IFilterGraph
  HRESULT AddFilter(IBaseFilter* filter, const WCHAR* name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** out) override;
  HRESULT FindFilterByName(const WCHAR* name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* mt) override;
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT SetDefaultSyncSource() override;
  // IGraphBuilder
  HRESULT Connect(IPin* output, IPin* input) override;
  HRESULT Render(IPin* output) override;
  HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) override;
  HRESULT AddSourceFilter(const WCHAR* file, const WCHAR* filterName, IBaseFilter** filter) override;
  HRESULT SetLogFile(uintptr_t file) override;
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;
  // IMediaControl
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG timeoutMs, FILTER_STATE* state) override;
  HRESULT RenderFile(const WCHAR* file) override;
  HRESULT StopWhenReady() override;
  // IMediaEvent(Ex)
  HRESULT GetEventHandle(intptr_t* handle) override;
  HRESULT GetEvent(LONG* code, intptr_t* param1, intptr_t* param2, LONG timeoutMs) override;
  HRESULT WaitForCompletion(LONG timeoutMs, LONG* code) override;
  HRESULT CancelDefaultHandling(LONG code) override;
  HRESULT RestoreDefaultHandling(LONG code) override;
  HRESULT FreeEventParams(LONG code, intptr_t param1, intptr_t param2) override;
  HRESULT SetNotifyWindow(intptr_t window, LONG message, intptr_t instance) override;
  HRESULT SetNotifyFlags(LONG flags) override;
  HRESULT GetNotifyFlags(LONG* flags) override;
  // IMediaEventSink
  HRESULT Notify(LONG code, intptr_t param1, intptr_t param2) override;
  // IMediaSeeking (IMediaPosition comes from CSeekingPosition)
  HRESULT GetCapabilities(DWORD* capabilities) override;
  HRESULT CheckCapabilities(DWORD* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(LONGLONG* preroll) override;

  // True once SetSyncSource(null) asked for no clock (this graph never has one).
  bool NoClock() const { return noClock_; }

 private:
  ~CFilterGraph();

  // IMediaFilter of the graph: only the clock choice means anything here.
  class MediaFilterPart final : public IMediaFilter {
   public:
    explicit MediaFilterPart(CFilterGraph* graph) : graph_(graph) {}
    HRESULT QueryInterface(REFIID iid, void** out) override { return graph_->QueryInterface(iid, out); }
    ULONG AddRef() override { return graph_->AddRef(); }
    ULONG Release() override { return graph_->Release(); }
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override { return graph_->Stop(); }
    HRESULT Pause() override { return graph_->Pause(); }
    HRESULT Run(REFERENCE_TIME) override { return graph_->Run(); }
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override {
      return graph_->GetState(static_cast<LONG>(timeoutMs), state);
    }
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

   private:
    CFilterGraph* graph_;
  };

  struct Event {
    LONG code;
    intptr_t param1;
    intptr_t param2;
  };

  bool Contains(IBaseFilter* filter);
  // Filters in state-change order: each after every filter downstream of it.
  std::vector<IBaseFilter*> DownstreamFirst();
  std::vector<Ref<IMediaSeeking>> SeekingEndpoints();
  HRESULT RenderPin(IPin* output, int depth);
  HRESULT RenderOutputs(IBaseFilter* filter, int depth);
  HRESULT ConnectVia(IPin* output, IPin* input, int depth);
  // A filter of the table added to the graph; null when it cannot be made.
  IBaseFilter* AddFromTable(const MonikerEntry& entry);
  HRESULT LoadSource(const WCHAR* file, const WCHAR* name, IBaseFilter** out);
  void ResetCompletion(int32_t renderers);

  std::atomic<LONG> ref_{0};
  MediaFilterPart mediaFilter_;
  std::recursive_mutex lock_;  // filters and state
  struct Member {
    IBaseFilter* filter;  // one reference
    std::u16string name;
  };
  std::vector<Member> filters_;
  FILTER_STATE state_ = State_Stopped;
  bool noClock_ = false;

  std::mutex eventLock_;
  std::condition_variable eventReady_;
  std::deque<Event> events_;
  int32_t renderers_ = 0;
  std::vector<intptr_t> completed_;
  bool completeQueued_ = false;
  LONG notifyFlags_ = 0;
};
