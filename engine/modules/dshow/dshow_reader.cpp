#include "engine/modules/dshow/dshow_reader.h"

#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_coder.h"
#include "platform/diagnostics.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr int64_t kUnits = 10000000;
constexpr int32_t kOpenEnd = 0xFFFFFF;  // seconds: "to the end"
constexpr size_t kMaxPathChars = 260;

// The filter's pins of one direction (with a reference each), at most `room`.
int32_t PinsOf(IBaseFilter* filter, PIN_DIRECTION want, Ref<IPin>* pins, int32_t room) {
  Ref<IEnumPins> e;
  if (!filter || filter->EnumPins(e.Out()) != S_OK) return 0;
  int32_t n = 0;
  IPin* pin = nullptr;
  ULONG got = 0;
  while (n < room && e->Next(1, &pin, &got) == S_OK && got == 1) {
    Ref<IPin> held(pin);
    PIN_DIRECTION dir;
    if (held->QueryDirection(&dir) == S_OK && dir == want) pins[n++] = std::move(held);
  }
  return n;
}

// Seeks the stream pin (absolute, to a key frame): through IMediaSeeking in
// media time, else IMediaPosition in seconds.
bool SeekPin(IUnknown* target, int64_t time) {
  if (Ref<IMediaSeeking> seeking = QueryRef<IMediaSeeking>(target, IID_IMediaSeeking)) {
    if (seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME) == S_OK &&
        seeking->SetTimeFormat(&TIME_FORMAT_MEDIA_TIME) == S_OK) {
      LONGLONG position = time;
      return seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, nullptr,
                                   AM_SEEKING_NoPositioning) == S_OK;
    }
  }
  if (Ref<IMediaPosition> position = QueryRef<IMediaPosition>(target, IID_IMediaPosition))
    return position->put_CurrentPosition(static_cast<double>(time) / kUnits) == S_OK;
  return false;
}

bool DurationOf(IUnknown* target, int64_t* duration) {
  if (Ref<IMediaSeeking> seeking = QueryRef<IMediaSeeking>(target, IID_IMediaSeeking)) {
    LONGLONG d = 0;
    if (seeking->IsFormatSupported(&TIME_FORMAT_MEDIA_TIME) == S_OK && seeking->GetDuration(&d) == S_OK) {
      *duration = d;
      return true;
    }
  }
  if (Ref<IMediaPosition> position = QueryRef<IMediaPosition>(target, IID_IMediaPosition)) {
    double seconds = 0;
    if (position->get_Duration(&seconds) == S_OK) {
      *duration = static_cast<int64_t>(seconds * kUnits);
      return true;
    }
  }
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// CPinListMap

HRESULT CPinListMap::ReleasePins() {
  for (int32_t i = 0; i < count_; ++i) pins_[i].Reset();
  count_ = 0;
  return S_OK;
}

IPin* CPinListMap::GetPin(int32_t inputSide, int32_t index) {
  if ((inputSide != 0) != inputs_ || index < 0 || index >= count_) return nullptr;
  return pins_[index].Get();
}

// ---------------------------------------------------------------------------
// CFilterSourceMap

IGraphMap* CreateFilterSourceMap() { return new (std::nothrow) CFilterSourceMap(); }

bool CFilterSourceMap::Build(CParamList* params, IGraphBuilder* graph) {
  if (!params || !graph) return false;
  char16_t file[kMaxPathChars + 1] = {};
  char16_t name[257] = {};
  params->GetWString("FileName", file, static_cast<int32_t>(kMaxPathChars + 1), u"");
  params->GetWString("Param", name, 257, u"");
  Ref<IBaseFilter> source;
  if (auto function = reinterpret_cast<FilterFunction>(params->GetPtr("FILTERFUNC", nullptr))) {
    source.Reset(function());
  } else {
    if (!name[0] || !CreateFilterFromDisplayName(name, source.Out())) return false;
  }
  if (!source) return false;
  if (Ref<IFileSourceFilter> loader = QueryRef<IFileSourceFilter>(source.Get(), IID_IFileSourceFilter)) {
    const HRESULT hr = loader->Load(file, nullptr);
    if (hr != S_OK) {
      Diag(DiagLevel::kWarning, "the source filter cannot load \"%s\" (%08X)", DsNarrow(file).c_str(),
           static_cast<unsigned>(hr));
      return false;
    }
  }
  if (FAILED(graph->AddFilter(source.Get(), nullptr))) return false;
  Ref<IBaseFilter> last(source.Detach());
  if (auto function2 = reinterpret_cast<FilterFunction>(params->GetPtr("FILTERFUNC2", nullptr))) {
    Ref<IBaseFilter> second(function2());
    if (!second || FAILED(graph->AddFilter(second.Get(), nullptr))) return false;
    bool connected = false;
    {
      Ref<IPin> outputs[4];
      Ref<IPin> inputs[4];
      const int32_t outCount = PinsOf(last.Get(), PINDIR_OUTPUT, outputs, 4);
      const int32_t inCount = PinsOf(second.Get(), PINDIR_INPUT, inputs, 4);
      ConsoleLine("%d %d\n", inCount, outCount);
      for (int32_t o = 0; o < outCount && !connected; ++o)
        for (int32_t i = 0; i < inCount && !connected; ++i)
          connected = graph->Connect(outputs[o].Get(), inputs[i].Get()) == S_OK;
    }
    if (!connected) {
      ConsoleLine("can not connect\n");
      return false;
    }
    last = std::move(second);
  }
  ReleasePins();
  count_ = PinsOf(last.Get(), PINDIR_OUTPUT, pins_, kMaxPins);
  return true;
}

// ---------------------------------------------------------------------------
// CRenderFileMap

IGraphMap* CreateRenderFileMap() { return new (std::nothrow) CRenderFileMap(); }

bool CRenderFileMap::Build(CParamList* params, IGraphBuilder* graph) {
  ReleasePins();
  if (!params || !graph) return false;
  char16_t file[kMaxPathChars + 1] = {};
  params->GetWString("FileName", file, static_cast<int32_t>(kMaxPathChars + 1), u"");
  HRESULT hr = S_OK;
  Ref<IBaseFilter> audio(CreateNullAudioRenderer(nullptr, &hr));
  if (!audio || FAILED(graph->AddFilter(audio.Get(), u"NULL Audio"))) return false;
  hr = graph->RenderFile(file, nullptr);
  if (hr != S_OK && hr != VFW_S_DUPLICATE_NAME && hr != VFW_S_PARTIAL_RENDER) {
    Diag(DiagLevel::kWarning, "the graph cannot render \"%s\" (%08X)", DsNarrow(file).c_str(),
         static_cast<unsigned>(hr));
    graph->RemoveFilter(audio.Get());
    return false;
  }
  // Renderers: no output pin and exactly one input pin.
  std::vector<Ref<IBaseFilter>> renderers;
  Ref<IEnumFilters> filters;
  if (graph->EnumFilters(filters.Out()) == S_OK) {
    IBaseFilter* f = nullptr;
    ULONG got = 0;
    while (count_ < kMaxPins && filters->Next(1, &f, &got) == S_OK && got == 1) {
      Ref<IBaseFilter> filter(f);
      Ref<IPin> inputs[2];
      Ref<IPin> outputs[1];
      const int32_t inCount = PinsOf(filter.Get(), PINDIR_INPUT, inputs, 2);
      const int32_t outCount = PinsOf(filter.Get(), PINDIR_OUTPUT, outputs, 1);
      Ref<IPin> feeder;
      if (inCount == 1 && outCount == 0 && inputs[0]->ConnectedTo(feeder.Out()) == S_OK && feeder) {
        pins_[count_++] = std::move(feeder);
        renderers.push_back(std::move(filter));
      }
    }
  }
  for (Ref<IBaseFilter>& r : renderers) graph->RemoveFilter(r.Get());
  return true;
}

bool TakeGraphMap(CParamList* params, CParamList& kept, std::unique_ptr<IGraphMap>& map) {
  if (!params) return false;
  kept.CopyFrom(*params);
  auto function = reinterpret_cast<GraphMapFunction>(params->GetPtr("MAPFUNC", nullptr));
  map.reset(function ? function() : nullptr);
  return map != nullptr;
}

// ---------------------------------------------------------------------------
// CDShowReader

IMediaModule* CDShowReader::Create(CParamList* params) { return CreateOpenedModule<CDShowReader>(params); }

CDShowReader::~CDShowReader() { Teardown(); }

HRESULT CDShowReader::Open(CParamList* params) {
  if (!TakeGraphMap(params, params_, map_)) return E_FAIL;
  return graph_.Create();
}

HRESULT CDShowReader::OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) {
  if (!path || !map_ || !graph_.graph) return E_FAIL;
  if (std::strlen(path) > kMaxPathChars) {
    Diag(DiagLevel::kError, "the source path is too long for the reader graph: %s", path);
    return kCannotBuild;
  }
  CParamList params;
  params.CopyFrom(params_);
  params.SetWString("FileName", DsWide(path).c_str());
  if (!map_->Build(&params, graph_.graph.Get())) {
    ConsoleLine("cannot create map\n");
    return kCannotBuild;
  }
  if (endSeconds == 0) endSeconds = kOpenEnd;
  const int32_t streams = std::min(map_->OutputPinCount(), kMaxStreams);
  for (int32_t i = 0; i < streams; ++i) {
    HRESULT hr = S_OK;
    Ref<CSinkFilter> sink(CreateSinkFilter(nullptr, &hr));
    if (!sink) return E_FAIL;
    graph_.graph->AddFilter(sink.Get(), nullptr);
    sinkPins_[i] = sink->Pin();
    sinkFilters_[i] = std::move(sink);
    streamPins_[i] = map_->GetPin(0, i);
    if (startSeconds < endSeconds) sinkPins_[i]->SetTimeRange(0, endSeconds - startSeconds);
    streamCount_ = i + 1;
  }
  if (startSeconds == 0) return S_OK;
  bool seeked = false;
  for (int32_t i = 0; i < streamCount_; ++i)
    if (streamPins_[i] && SeekPin(streamPins_[i], int64_t{startSeconds} * kUnits)) seeked = true;
  if (seeked) return S_OK;
  // The source cannot seek: its samples before the start are dropped by the sinks.
  for (int32_t i = 0; i < streamCount_; ++i)
    if (startSeconds < endSeconds) sinkPins_[i]->SetTimeRange(startSeconds, endSeconds);
  return S_OK;
}

HRESULT CDShowReader::Receive(uint32_t, IMediaSample* sample) {
  // A reader takes nothing in: the sample is dropped.
  Ref<IMediaSample> dropped(sample && !IsBlankSample(sample) ? sample : nullptr);
  return E_NOTIMPL;
}

HRESULT CDShowReader::SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) {
  if (pin >= kMaxStreams || !sinkPins_[pin] || !streamPins_[pin]) return E_FAIL;
  return ConnectPins(streamPins_[pin], sinkPins_[pin], type, mode, graph_.graph.Get());
}

HRESULT CDShowReader::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin >= kMaxStreams || !streamPins_[pin]) return E_FAIL;
  return GetPinMediaType(streamPins_[pin], index, type);
}

HRESULT CDShowReader::SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) {
  if (pin >= kMaxStreams || !sinkPins_[pin]) return E_FAIL;
  sinkPins_[pin]->SetInnerAllocator(allocator);
  return S_OK;
}

HRESULT CDShowReader::SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) {
  if (pin >= kMaxStreams || !sinkPins_[pin]) return E_FAIL;
  sinkPins_[pin]->SetCallback(callback, context);
  return S_OK;
}

HRESULT CDShowReader::Run() {
  if (running_) return S_OK;
  if (IMediaControl* control = graph_.control.Get()) {
    SetNoClock(graph_.graph.Get());
    HRESULT hr = control->Run();
    if (hr == S_FALSE) {
      FILTER_STATE state = State_Stopped;
      while (control->GetState(500, &state) != S_OK || state != State_Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      hr = S_OK;
    }
    if (FAILED(hr)) {
      Diag(DiagLevel::kWarning, "the source graph does not run (%08X): its streams end", static_cast<unsigned>(hr));
      // Every stream ends instead.
      for (int32_t i = 0; i < streamCount_; ++i)
        if (sinkPins_[i]) sinkPins_[i]->EndOfStream();
    }
  } else {
    for (int32_t i = 0; i < streamCount_; ++i)
      if (sinkFilters_[i]) sinkFilters_[i]->Run(0);
    if (map_) map_->Start(nullptr, nullptr);
  }
  running_ = 1;
  return S_OK;
}

HRESULT CDShowReader::Stop() {
  if (!running_ || !graph_.control) return S_OK;
  ConsoleLine("begin stop\n");
  ConsoleLine("begin stop 3\n");
  for (int32_t i = 0; i < streamCount_; ++i)
    if (sinkPins_[i] && sinkPins_[i]->HasCallback()) sinkPins_[i]->SetStopRequested(1);
  ConsoleLine("end stop\n");
  return S_OK;
}

HRESULT CDShowReader::Pause(int32_t pause) {
  if (!running_ || !graph_.control) return S_OK;
  if (pause == 1) {
    graph_.control->Pause();
  } else if (pause == 0) {
    graph_.control->Run();
  }
  return S_OK;
}

HRESULT CDShowReader::Seek(uint32_t timeLow, int32_t timeHigh, int32_t) {
  const int64_t time = static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(timeHigh)) << 32) | timeLow);
  ConsoleLine("enter seek\n");
  for (int32_t i = 0; i < streamCount_; ++i)
    if (sinkPins_[i] && sinkPins_[i]->EndOfStreamSeen()) return S_OK;
  for (int32_t i = 0; i < streamCount_; ++i) {
    sinkPins_[i]->MarkSeek(time, 1);
    sinkPins_[i]->SetSeeking(1);
  }
  if (graph_.graph && SeekPin(graph_.graph.Get(), time)) {
    ConsoleLine("try seek to %f ok..........\n", static_cast<double>(time) / kUnits);
    ConsoleLine("ok ,mark seek\n");
    ConsoleLine("leave seek\n");
  }
  for (int32_t i = 0; i < streamCount_; ++i) sinkPins_[i]->SetSeeking(0);
  return S_OK;
}

HRESULT CDShowReader::GetInfo(int64_t* duration, CParamList*) {
  if (!duration) return E_POINTER;
  bool any = false;
  int64_t longest = 0;
  for (int32_t i = 0; i < streamCount_; ++i) {
    int64_t d = 0;
    if (!streamPins_[i] || !DurationOf(streamPins_[i], &d)) continue;
    ConsoleLine("%lld\n", static_cast<long long>(d));
    if (!any || d > longest) longest = d;
    any = true;
  }
  if (!any) return E_FAIL;
  *duration = longest;
  return S_OK;
}

HRESULT CDShowReader::GetStreamInfo(uint32_t stream, StreamInfo* info) {
  if (!info || stream >= static_cast<uint32_t>(kMaxStreams) || !streamPins_[stream]) return E_FAIL;
  std::memset(info, 0, sizeof(*info));
  AM_MEDIA_TYPE mt;
  for (uint32_t index = 0;; ++index) {
    InitMediaType(&mt);
    if (GetOutputType(stream, index, &mt) != S_OK) {
      ClearMediaTypeFormat(&mt);
      return S_OK;
    }
    if ((mt.formattype == FORMAT_MPEG2Video || mt.formattype == FORMAT_VideoInfo2) &&
        mt.cbFormat >= sizeof(VIDEOINFOHEADER2)) {
      const auto* vih = reinterpret_cast<const VIDEOINFOHEADER2*>(mt.pbFormat);
      if (vih->dwPictAspectRatioX && vih->dwPictAspectRatioY) {
        info->hasAspect = 1;
        info->aspectNum = static_cast<int32_t>(vih->dwPictAspectRatioX) * vih->bmiHeader.biHeight;
        info->aspectDen = static_cast<int32_t>(vih->dwPictAspectRatioY) * vih->bmiHeader.biWidth;
      }
      ClearMediaTypeFormat(&mt);
      return S_OK;
    }
    ClearMediaTypeFormat(&mt);
  }
}

HRESULT CDShowReader::Close() {
  Teardown();
  return S_OK;
}

void CDShowReader::Teardown() {
  if (running_ && graph_.control) graph_.control->Stop();
  running_ = 0;
  params_.Clear();
  if (map_) map_->ReleasePins();
  for (int32_t i = 0; i < kMaxStreams; ++i) {
    if (sinkFilters_[i] && graph_.graph) graph_.graph->RemoveFilter(sinkFilters_[i].Get());
    sinkFilters_[i].Reset();
    sinkPins_[i] = nullptr;
    streamPins_[i] = nullptr;
  }
  streamCount_ = 0;
  graph_.Release();
}
