#include "engine/modules/dshow/dshow_coder.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "common/param_list.h"
#include "engine/modules/filters/video_media_type.h"
#include "platform/diagnostics.h"

namespace {

// Set when a seek marker went through any coder of the process, until the next sample.
std::atomic<bool> g_afterSeek{false};

constexpr double kUnits = 10000000.0;

// The console line "<label> <start> <stop>" in seconds.
void PrintTimes(const char* label, IMediaSample* sample) {
  REFERENCE_TIME start = 0, stop = 0;
  sample->GetTime(&start, &stop);
  ConsoleLine("%s %f %f\n", label, start / kUnits, stop / kUnits);
}

}  // namespace

IMediaModule* CDShowCoder::Create(CParamList* params) { return CreateOpenedModule<CDShowCoder>(params); }

CDShowCoder::~CDShowCoder() { Teardown(); }

HRESULT CDShowCoder::SetParams(CParamList*) { return S_OK; }

HRESULT CDShowCoder::Open(CParamList* params) {
  if (graph_.graph) return E_UNEXPECTED;
  if (graph_.Create() != S_OK) return E_FAIL;
  IGraphBuilder* graph = graph_.graph.Get();

  auto function = reinterpret_cast<FilterFunction>(params ? params->GetPtr("FILTERFUNC", nullptr) : nullptr);
  if (function) {
    filter_.Reset(function());
  } else {
    char16_t name[257] = {};
    if (params) params->GetWString("PARAM", name, static_cast<int32_t>(sizeof name), u"");
    if (!name[0] || !CreateFilterFromDisplayName(name, filter_.Out())) filter_.Reset();
  }
  if (!filter_) return E_FAIL;
  graph->AddFilter(filter_.Get(), nullptr);

  IPin* inputs[2] = {};
  IPin* outputs[1] = {};
  int32_t inputCount = 2;
  int32_t outputCount = 1;
  if (!CollectFilterPins(filter_.Get(), inputs, &inputCount, outputs, &outputCount, 1, 1)) {
    Diag(DiagLevel::kWarning, "the filter's pins do not fit a coder (one input, one output)");
    graph->RemoveFilter(filter_.Get());
    filter_.Reset();
    return E_FAIL;
  }
  filterIn_ = inputs[0];
  filterOut_ = outputs[0];

  HRESULT hr = S_OK;
  pushFilter_.Reset(CreatePushSourceFilter(nullptr, &hr));
  if (!pushFilter_ || !pushFilter_->Pin()) return E_FAIL;
  graph->AddFilter(pushFilter_.Get(), nullptr);
  pushPin_ = pushFilter_->Pin();
  sinkFilter_.Reset(CreateSinkFilter(nullptr, &hr));
  if (!sinkFilter_) return E_FAIL;
  graph->AddFilter(sinkFilter_.Get(), nullptr);
  sinkPin_ = sinkFilter_->Pin();
  return S_OK;
}

HRESULT CDShowCoder::Run() {
  if (running_) return S_OK;
  if (graph_.control) {
    SetNoClock(graph_.graph.Get());
    graph_.control->Run();
  } else {
    if (sinkFilter_) sinkFilter_->Run(0);
    if (filter_) filter_->Run(0);
    if (pushFilter_) pushFilter_->Run(0);
  }
  running_ = 1;
  return S_OK;
}

HRESULT CDShowCoder::SetInputType(uint32_t, const AM_MEDIA_TYPE* type, int32_t mode) {
  if (!pushPin_ || !filterIn_) return E_FAIL;
  if (mode == 0 && type &&
      (type->subtype == FourccGuid(MakeFourcc('M', 'S', 'S', '1')) ||
       type->subtype == FourccGuid(MakeFourcc('M', 'S', 'S', '2'))))
    screenCodec_ = 1;
  return ConnectPins(pushPin_, filterIn_, type, mode);
}

HRESULT CDShowCoder::GetInputType(uint32_t, uint32_t index, AM_MEDIA_TYPE* type) {
  return filterIn_ ? GetPinMediaType(filterIn_, index, type) : E_FAIL;
}

HRESULT CDShowCoder::SetOutputType(uint32_t, const AM_MEDIA_TYPE* type, int32_t mode) {
  if (!filterOut_ || !sinkPin_) return E_FAIL;
  return ConnectPins(filterOut_, sinkPin_, type, mode);
}

HRESULT CDShowCoder::GetOutputType(uint32_t, uint32_t index, AM_MEDIA_TYPE* type) {
  return filterOut_ ? GetPinMediaType(filterOut_, index, type) : E_FAIL;
}

HRESULT CDShowCoder::SetOutputAllocator(uint32_t, IMemAllocator* allocator) {
  if (sinkPin_) sinkPin_->SetInnerAllocator(allocator);
  return S_OK;
}

HRESULT CDShowCoder::GetInputAllocator(uint32_t, IMemAllocator** allocator) {
  Ref<IMemInputPin> input = QueryRef<IMemInputPin>(filterIn_, IID_IMemInputPin);
  if (!input) return E_FAIL;
  return input->GetAllocator(allocator);
}

HRESULT CDShowCoder::GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  *props = ALLOCATOR_PROPERTIES{};
  Ref<IMemInputPin> input = QueryRef<IMemInputPin>(filterIn_, IID_IMemInputPin);
  if (!input) return E_FAIL;
  const HRESULT hr = input->GetAllocatorRequirements(props);
  if (screenCodec_) props->cbBuffer = kScreenBufferSize;
  if (FAILED(hr)) return OneBufferRequirements(props, kScreenBufferSize);
  return S_OK;
}

HRESULT CDShowCoder::SetOutputCallback(uint32_t, DeliverCallback callback, void* context) {
  if (sinkPin_) sinkPin_->SetCallback(callback, context);
  return S_OK;
}

HRESULT CDShowCoder::Receive(uint32_t, IMediaSample* item) {
  // Null and blank items hold no reference.
  Ref<IMediaSample> sample(item && !IsBlankSample(item) ? item : nullptr);
  if (!pushPin_) return S_OK;
  if (!item) {
    pushPin_->DeliverEndOfStream();
    // A filter with a thread of its own ends its stream a little later.
    for (int32_t waited = 0; sinkPin_ && !sinkPin_->EndOfStreamSignalled() && waited < endWaitMs_; waited += 10)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (sinkPin_ && !sinkPin_->EndOfStreamSignalled()) {
      Diag(DiagLevel::kWarning, "the filter did not end its stream within %d ms: ended for it", endWaitMs_);
      sinkPin_->ForceEndOfStream();
    }
    return S_OK;
  }
  if (!sample) {
    if (const NewSegmentRecord* segment = AsNewSegmentRecord(item))
      pushPin_->DeliverNewSegment(segment->start, segment->stop, segment->rate);
    return S_OK;
  }
  if (sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() == 0) {
    // A seek marker: the output side starts again with a marker of its own.
    PrintTimes("Transformer to", sample.Get());
    sample.Reset();
    if (sinkPin_) {
      sinkPin_->MarkSeek(0, 1);
      sinkPin_->SetSeeking(1);
      sinkPin_->BeginFlush();
      sinkPin_->EndFlush();
      sinkPin_->SetSeeking(0);
    }
    g_afterSeek.store(true);
    return S_OK;
  }
  pushPin_->Deliver(sample.Get());
  if (g_afterSeek.exchange(false)) PrintTimes("Transformer goooo to", sample.Get());
  return S_OK;
}

HRESULT CDShowCoder::Close() {
  Teardown();
  return S_OK;
}

void CDShowCoder::Teardown() {
  if (sinkFilter_) sinkFilter_->Stop();
  if (filter_) filter_->Stop();
  if (pushFilter_) pushFilter_->Stop();
  for (IPin* pin : {static_cast<IPin*>(pushPin_), static_cast<IPin*>(sinkPin_), filterIn_, filterOut_})
    if (pin) pin->Disconnect();
  // Out of the graph and released, one filter after the other.
  auto drop = [this](auto& filter) {
    if (!filter) return;
    if (graph_.graph) graph_.graph->RemoveFilter(filter.Get());
    filter.Reset();
  };
  drop(sinkFilter_);
  drop(filter_);
  drop(pushFilter_);
  sinkPin_ = nullptr;
  pushPin_ = nullptr;
  filterIn_ = nullptr;
  filterOut_ = nullptr;
  graph_.Release();
  running_ = 0;
}

// ---------------------------------------------------------------------------
// CVp6EncoderInput

IMediaModule* CVp6EncoderInput::Create(CParamList* params) { return CreateOpenedModule<CVp6EncoderInput>(params); }

HRESULT CVp6EncoderInput::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) {
  if (mode == 0) {
    FrameFormat format{};
    FramePlanes planes{};
    if (type && ParseVideoMediaType(type, &format, &planes)) planes_ = planes;
  }
  return CDShowCoder::SetInputType(pin, type, mode);
}

HRESULT CVp6EncoderInput::Receive(uint32_t pin, IMediaSample* item) {
  if (item && !IsBlankSample(item)) {
    BYTE* buffer = nullptr;
    if (item->GetPointer(&buffer) == S_OK && buffer) {
      FramePlanes planes = planes_;
      const int64_t size = item->GetSize();
      bool fits = true;
      for (int i = 0; i < 3; ++i) {
        planes.pointer[i] = buffer + planes.offset[i];
        // A plane that would reach past the buffer is not touched.
        if (int64_t{planes.offset[i]} + int64_t{planes.pitch[i]} * planes.rows[i] > size) fits = false;
      }
      if (fits && item->GetActualDataLength() > 0) FlipPlanesInPlace(&planes);
    }
  }
  return CDShowCoder::Receive(pin, item);
}

void FlipPlanesInPlace(FramePlanes* planes) {
  std::vector<uint8_t> scratch;
  for (int i = 0; i < 3; ++i) {
    const int32_t rows = planes->rows[i];
    const int32_t pitch = planes->pitch[i];
    uint8_t* base = planes->pointer[i];
    if (rows <= 0 || pitch <= 0 || !base) continue;
    scratch.resize(static_cast<size_t>(pitch));
    for (int32_t r = 0; r < rows / 2; ++r) {
      uint8_t* top = base + static_cast<ptrdiff_t>(r) * pitch;
      uint8_t* bottom = base + static_cast<ptrdiff_t>(rows - 1 - r) * pitch;
      std::memcpy(scratch.data(), top, static_cast<size_t>(pitch));
      std::memcpy(top, bottom, static_cast<size_t>(pitch));
      std::memcpy(bottom, scratch.data(), static_cast<size_t>(pitch));
    }
  }
}
