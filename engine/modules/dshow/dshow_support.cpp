#include "engine/modules/dshow/dshow_support.h"

#include "engine/modules/dshow/dshow_standins.h"
#include "platform/diagnostics.h"
#include "platform/dshow/moniker_table.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

bool CreateFilterFromDisplayName(const char16_t* displayName, IBaseFilter** out) {
  if (!out) return false;
  *out = nullptr;
  EnsureStandInFilters();
  const HRESULT hr = CMonikerTable::Instance().Bind(displayName, out);
  if (hr != S_OK) {
    Diag(DiagLevel::kTrace, "no filter for \"%s\" (%08X)", DsNarrow(displayName).c_str(), static_cast<unsigned>(hr));
    return false;
  }
  return *out != nullptr;
}

bool CollectFilterPins(IBaseFilter* filter, IPin** inputs, int32_t* inputCount, IPin** outputs, int32_t* outputCount,
                       int32_t minInputs, int32_t minOutputs) {
  if (!filter || !inputCount || !outputCount) return false;
  Ref<IEnumPins> pins;
  if (filter->EnumPins(pins.Out()) != S_OK) return false;
  int32_t in = 0;
  int32_t out = 0;
  IPin* pin = nullptr;
  ULONG got = 0;
  while (pins->Next(1, &pin, &got) == S_OK && got == 1) {
    Ref<IPin> held(pin);  // the filter keeps its pins: the arrays hold none
    WCHAR* id = nullptr;
    const bool hidden = pin->QueryId(&id) == S_OK && id && id[0] == u'~';
    CoTaskMemFree(id);
    if (hidden) continue;
    PIN_DIRECTION dir;
    if (pin->QueryDirection(&dir) != S_OK) continue;
    if (dir == PINDIR_INPUT) {
      if (in >= *inputCount) return false;
      inputs[in++] = pin;
    } else {
      if (out >= *outputCount) return false;
      outputs[out++] = pin;
    }
  }
  if (in < minInputs || out < minOutputs) return false;
  *inputCount = in;
  *outputCount = out;
  return true;
}

HRESULT GetPinMediaType(IPin* pin, uint32_t index, AM_MEDIA_TYPE* out) {
  if (!pin || !out) return E_FAIL;
  Ref<IEnumMediaTypes> types;
  if (pin->EnumMediaTypes(types.Out()) != S_OK || !types) return E_FAIL;
  types->Reset();
  if (types->Skip(index) != S_OK && index != 0) return VFW_E_INVALIDSUBTYPE;
  AM_MEDIA_TYPE* mt = nullptr;
  ULONG got = 0;
  const HRESULT hr = types->Next(1, &mt, &got);
  if (hr == S_FALSE || (hr == S_OK && got == 0)) return VFW_E_INVALIDSUBTYPE;
  if (hr != S_OK || !mt) return E_FAIL;
  const bool copied = CopyMediaTypeDeep(out, mt);
  DsDeleteMediaType(mt);
  if (!copied) return E_FAIL;
  if (out->subtype == MEDIASUBTYPE_NV12) {
    out->subtype = MEDIASUBTYPE_YV12;
    BITMAPINFOHEADER* bmi = nullptr;
    if (out->formattype == FORMAT_VideoInfo && out->cbFormat >= sizeof(VIDEOINFOHEADER))
      bmi = &reinterpret_cast<VIDEOINFOHEADER*>(out->pbFormat)->bmiHeader;
    if (out->formattype == FORMAT_VideoInfo2 && out->cbFormat >= sizeof(VIDEOINFOHEADER2))
      bmi = &reinterpret_cast<VIDEOINFOHEADER2*>(out->pbFormat)->bmiHeader;
    if (bmi) bmi->biCompression = MakeFourcc('Y', 'V', '1', '2');
  }
  return S_OK;
}

HRESULT ConnectPins(IPin* output, IPin* input, const AM_MEDIA_TYPE* type, int32_t mode, IGraphBuilder* graph) {
  if (!output) return E_FAIL;
  HRESULT hr = S_OK;
  if (mode == 0) {
    if (!input) return E_FAIL;
    hr = graph ? graph->ConnectDirect(output, input, type) : output->Connect(input, type);
  } else if (mode == 1) {
    if (!input || !type) return E_FAIL;
    hr = input->QueryAccept(type);
  } else {
    // Both ends go: a half-kept connection would refuse every later one.
    Ref<IPin> peer;
    output->ConnectedTo(peer.Out());
    hr = output->Disconnect();
    if (SUCCEEDED(hr) && peer) hr = peer->Disconnect();
    return SUCCEEDED(hr) ? S_OK : E_FAIL;
  }
  if (hr == S_OK) return S_OK;
  if (hr == VFW_E_NO_ACCEPTABLE_TYPES) return VFW_E_INVALIDMEDIATYPE;
  return E_FAIL;
}

HRESULT SetNoClock(IGraphBuilder* graph) {
  Ref<IMediaFilter> filter = QueryRef<IMediaFilter>(graph, IID_IMediaFilter);
  if (!filter) {
    ConsoleLine("SetNoClock: Failed to QI for media filter!  hr=0x%x\n", static_cast<unsigned>(E_NOINTERFACE));
    return E_NOINTERFACE;
  }
  const HRESULT hr = filter->SetSyncSource(nullptr);
  if (FAILED(hr)) ConsoleLine("SetNoClock: Failed to set sync source!  hr=0x%x\n", static_cast<unsigned>(hr));
  return hr;
}

HRESULT PrivateGraph::Create() {
  Release();
  EnsureStandInFilters();
  if (CreateFilterGraph(graph.Out()) != S_OK || !graph) return E_FAIL;
  control = QueryRef<IMediaControl>(graph.Get(), IID_IMediaControl);
  events = QueryRef<IMediaEventEx>(graph.Get(), IID_IMediaEventEx);
  return S_OK;
}

void PrivateGraph::Release() {
  events.Reset();
  control.Reset();
  graph.Reset();
}
