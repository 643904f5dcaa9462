#include "engine/modules/dshow/dshow_writer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_asf_writer.h"
#include "platform/diagnostics.h"
#include "platform/mem_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr size_t kMaxPathChars = 260;
constexpr int64_t kUnits = 10000000;
constexpr int32_t kDefaultBufferSize = 192000;

// Every input pin of the filter that is not connected (one reference each), at most `room`.
int32_t FreeInputPins(IBaseFilter* filter, Ref<IPin>* pins, int32_t room) {
  Ref<IEnumPins> e;
  if (!filter || filter->EnumPins(e.Out()) != S_OK) return 0;
  int32_t n = 0;
  IPin* pin = nullptr;
  ULONG got = 0;
  while (e->Next(1, &pin, &got) == S_OK && got == 1) {
    Ref<IPin> held(pin);
    PIN_DIRECTION dir;
    Ref<IPin> peer;
    const bool input = held->QueryDirection(&dir) == S_OK && dir == PINDIR_INPUT;
    if (n < room && input && held->ConnectedTo(peer.Out()) != S_OK) pins[n++] = std::move(held);
  }
  return n;
}

// A number stored as either type.
double Number(CParamList* params, const char* key, double def) {
  switch (params->GetType(key)) {
    case PARAM_TYPE_INT:
      return params->GetInt(key, 0);
    case PARAM_TYPE_DOUBLE:
      return params->GetDouble(key, def);
    case PARAM_TYPE_STRING: {
      const char* text = params->GetStringPtr(key);
      char* end = nullptr;
      const double v = std::strtod(text, &end);
      return end != text ? v : def;
    }
    default:
      return def;
  }
}

bool IsPcm(const AM_MEDIA_TYPE* mt) {
  return mt->majortype == MEDIATYPE_Audio && mt->subtype == MEDIASUBTYPE_PCM && mt->formattype == FORMAT_WaveFormatEx &&
         mt->pbFormat && mt->cbFormat >= sizeof(WAVEFORMATEX);
}

const WAVEFORMATEX* WaveOf(const AM_MEDIA_TYPE* mt) {
  return IsPcm(mt) ? reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat) : nullptr;
}

REFERENCE_TIME FrameTimeOf(const AM_MEDIA_TYPE* mt) {
  if (mt->formattype == FORMAT_VideoInfo && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame;
  if (mt->formattype == FORMAT_VideoInfo2 && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER2))
    return reinterpret_cast<const VIDEOINFOHEADER2*>(mt->pbFormat)->AvgTimePerFrame;
  return 0;
}

// "ACODEC" to a wave format tag (0: no audio stream).
int32_t AudioTagOf(const char* codec) {
  if (std::strcmp(codec, "[DS]WMA9") == 0 || std::strcmp(codec, "[DS]WMA9AV") == 0) return 353;
  if (std::strcmp(codec, "[DS]WMA9V") == 0) return 10;
  if (std::strcmp(codec, "[DS]WMALossless") == 0) return 355;
  return 0;
}

// "VCODEC" to a compression (0: no video stream).
uint32_t CompressionOf(const char* codec) {
  static const char* const kNames[] = {"WMV1", "WMV2", "WMV3", "MSS1", "MSS2", "WMVA"};
  if (std::strncmp(codec, "[DS]", 4) != 0) return 0;
  for (const char* name : kNames)
    if (std::strcmp(codec + 4, name) == 0) return MakeFourcc(name[0], name[1], name[2], name[3]);
  return 0;
}

std::string FourccText(uint32_t fcc) {
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((fcc >> (8 * i)) & 0xFF);
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// CFileSinkMap

IGraphMap* CreateFileSinkMap() { return new (std::nothrow) CFileSinkMap(); }

CFileSinkMap::~CFileSinkMap() {
  ReleasePins();  // before the filter that owns them
}

void CFileSinkMap::RefreshInputPins() {
  ReleasePins();
  count_ = FreeInputPins(filter_.Get(), pins_, kMaxPins);
}

bool CFileSinkMap::Build(CParamList* params, IGraphBuilder* graph) {
  ReleasePins();
  if (!params || !graph) return false;
  char16_t file[kMaxPathChars + 1] = {};
  char16_t name[257] = {};
  params->GetWString("FileName", file, static_cast<int32_t>(kMaxPathChars + 1), u"");
  params->GetWString("Param", name, 257, u"");
  if (!name[0]) return false;
  Ref<IBaseFilter> filter;
  if (!CreateFilterFromDisplayName(name, filter.Out()) || !filter) return false;
  if (Ref<IFileSinkFilter> sink = QueryRef<IFileSinkFilter>(filter.Get(), IID_IFileSinkFilter)) {
    if (sink->SetFileName(file, nullptr) != S_OK) return false;
  } else if (Ref<IFileSinkFilter2> sink2 = QueryRef<IFileSinkFilter2>(filter.Get(), IID_IFileSinkFilter2)) {
    if (sink2->SetFileName(file, nullptr) != S_OK) return false;
    sink2->SetMode(AM_FILE_OVERWRITE);
  }
  if (FAILED(graph->AddFilter(filter.Get(), nullptr))) return false;
  if (auto configure = reinterpret_cast<SinkConfigFunction>(params->GetPtr("CONFIGFUNC", nullptr)))
    configure(filter.Get(), params);
  filter_ = std::move(filter);
  count_ = FreeInputPins(filter_.Get(), pins_, kMaxPins);
  return true;
}

// ---------------------------------------------------------------------------
// CDShowWriter

IMediaModule* CDShowWriter::Create(CParamList* params) { return CreateOpenedModule<CDShowWriter>(params); }

CDShowWriter::~CDShowWriter() { Teardown(); }

HRESULT CDShowWriter::Open(CParamList* params) {
  if (!TakeGraphMap(params, params_, map_)) return E_FAIL;
  stopping_ = 0;
  const HRESULT hr = graph_.Create();
  std::fill(std::begin(ended_), std::end(ended_), 0);
  return hr;
}

HRESULT CDShowWriter::SetOutput(const char* path, const int32_t*) {
  if (!path || !map_ || !graph_.graph) return E_FAIL;
  if (std::strlen(path) > kMaxPathChars) {
    Diag(DiagLevel::kError, "the output path is too long for the writer graph: %s\n", path);
    return kCannotBuild;
  }
  CParamList params;
  params.CopyFrom(params_);
  params.SetWString("FileName", DsWide(path).c_str());
  built_ = map_->Build(&params, graph_.graph.Get());
  if (!built_) {
    ConsoleLine("cannot create map\n");
    // A writer without its file would end the job as if it had written one.
    Diag(DiagLevel::kError, "cannot create map: the writer cannot write \"%s\"\n", path);
    return kCannotBuild;
  }
  return S_OK;
}

HRESULT CDShowWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t mode) {
  if (!map_ || map_->InputPinCount() <= 0) return E_FAIL;
  if (inputCount_ >= kMaxInputs) return E_FAIL;
  IPin* taken = nullptr;
  if (mode != 2) {
    for (int32_t i = 0; i < map_->InputPinCount() && !taken; ++i) {
      IPin* pin = map_->GetPin(1, i);
      if (pin && pin->QueryAccept(type) == S_OK) taken = pin;
    }
  }
  if (!taken) return E_FAIL;
  if (mode == 1) return S_OK;
  HRESULT hr = S_OK;
  Ref<CPushSourceFilter> push(CreatePushSourceFilter(nullptr, &hr));
  if (!push) return FAILED(hr) ? hr : E_OUTOFMEMORY;
  graph_.graph->AddFilter(push.Get(), nullptr);
  const int32_t index = inputCount_;
  CPushSourcePin* pushPin = push->Pin();
  pushFilters_[index] = std::move(push);
  pushPins_[index] = pushPin;
  writerPins_[index] = taken;
  hr = ConnectPins(pushPin, taken, type, 0, graph_.graph.Get());
  if (hr != S_OK) {
    graph_.graph->RemoveFilter(pushFilters_[index].Get());
    pushFilters_[index].Reset();
    pushPins_[index] = nullptr;
    writerPins_[index] = nullptr;
    return hr;
  }
  // The filter keeps the pin alive; the map's hold is renewed.
  map_->RefreshInputPins();
  ++inputCount_;
  return S_OK;
}

HRESULT CDShowWriter::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin >= static_cast<uint32_t>(kMaxInputs) || !writerPins_[pin]) return E_FAIL;
  return GetPinMediaType(writerPins_[pin], index, type);
}

HRESULT CDShowWriter::GetInputAllocator(uint32_t pin, IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  if (pin >= static_cast<uint32_t>(kMaxInputs) || !writerPins_[pin]) return E_FAIL;
  Ref<IMemInputPin> input = QueryRef<IMemInputPin>(writerPins_[pin], IID_IMemInputPin);
  if (!input) return E_FAIL;
  return input->GetAllocator(allocator);
}

HRESULT CDShowWriter::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  if (pin >= static_cast<uint32_t>(kMaxInputs) || !writerPins_[pin]) return E_FAIL;
  *props = ALLOCATOR_PROPERTIES{};
  Ref<IMemInputPin> input = QueryRef<IMemInputPin>(writerPins_[pin], IID_IMemInputPin);
  if (!input) return E_FAIL;
  return input->GetAllocatorRequirements(props);
}

HRESULT CDShowWriter::Run() {
  if (running_) return S_OK;
  if (IMediaControl* control = graph_.control.Get()) {
    SetNoClock(graph_.graph.Get());
    HRESULT hr = control->Run();
    if (hr == S_FALSE) {
      FILTER_STATE state = State_Stopped;
      while (control->GetState(500, &state) != S_OK || state != State_Running)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (FAILED(hr)) {
      Diag(DiagLevel::kError, "the writer graph does not run (%08X)\n", static_cast<unsigned>(hr));
      runFailure_ = hr;
    }
  }
  running_ = 1;
  return S_OK;
}

HRESULT CDShowWriter::Stop() {
  stopping_ = 1;
  return S_OK;
}

HRESULT CDShowWriter::Receive(uint32_t pin, IMediaSample* item) {
  // Null and blank items hold no reference.
  Ref<IMediaSample> sample(item && !IsBlankSample(item) ? item : nullptr);
  if (pin >= static_cast<uint32_t>(kMaxInputs) || !pushPins_[pin]) return E_FAIL;
  if (!item) {
    ConsoleLine("stream %d end\n", static_cast<int>(pin));
    ended_[pin] = 1;
    pushPins_[pin]->DeliverEndOfStream();
    return S_OK;
  }
  if (!sample) return S_OK;  // blank
  if (!stopping_) pushPins_[pin]->Deliver(sample.Get());
  return S_OK;
}

int32_t CDShowWriter::GetState() {
  int32_t ended = 0;
  for (int32_t i = 0; i < inputCount_; ++i) ended += ended_[i] ? 1 : 0;
  if (ended == inputCount_) return WRITER_FINISHED;
  return ended ? WRITER_SOME_INPUTS_FINISHED : WRITER_RUNNING;
}

HRESULT CDShowWriter::CloseOutput() {
  for (int32_t i = 0; i < inputCount_; ++i)
    if (pushPins_[i]) pushPins_[i]->DeliverEndOfStream();
  HRESULT result = S_OK;
  // Only a running graph with inputs can complete.
  if (FAILED(runFailure_)) {
    result = runFailure_;
  } else if (graph_.events && running_ && inputCount_ > 0) {
    for (;;) {
      LONG code = 0;
      intptr_t p1 = 0, p2 = 0;
      if (graph_.events->GetEvent(&code, &p1, &p2, -1) != S_OK) break;
      graph_.events->FreeEventParams(code, p1, p2);
      if (code == EC_COMPLETE || code == EC_USERABORT) break;
      if (code == EC_ERRORABORT) {
        result = FAILED(static_cast<HRESULT>(p1)) ? static_cast<HRESULT>(p1) : E_FAIL;
        Diag(DiagLevel::kError, "the writer graph failed to finish the output (%08X)\n", static_cast<unsigned>(result));
        break;
      }
    }
  } else if (!built_) {
    result = kCannotBuild;
  }
  if (graph_.control) graph_.control->Stop();
  running_ = 0;
  for (int32_t i = 0; i < kMaxInputs; ++i) {
    if (pushFilters_[i] && graph_.graph) graph_.graph->RemoveFilter(pushFilters_[i].Get());
    pushFilters_[i].Reset();
    pushPins_[i] = nullptr;
  }
  if (map_) map_->ReleasePins();
  graph_.Release();
  return result;
}

HRESULT CDShowWriter::Close() {
  if (map_) map_->ReleasePins();
  params_.Clear();
  return S_OK;
}

void CDShowWriter::Teardown() {
  if (graph_.control && running_) graph_.control->Stop();
  running_ = 0;
  if (map_) map_->ReleasePins();
  for (int32_t i = 0; i < kMaxInputs; ++i) {
    if (pushFilters_[i] && graph_.graph) graph_.graph->RemoveFilter(pushFilters_[i].Get());
    pushFilters_[i].Reset();
    pushPins_[i] = nullptr;
    writerPins_[i] = nullptr;
  }
  // The map's filter goes with the map; the graph lets go of its filters.
  graph_.Release();
}

// ---------------------------------------------------------------------------
// CWmvWriter

IMediaModule* CWmvWriter::Create(CParamList* params) { return CreateOpenedModule<CWmvWriter>(params); }

CWmvWriter::~CWmvWriter() { FreePending(); }

void CWmvWriter::FreePending() {
  for (int32_t i = 0; i < kMaxInputs; ++i) {
    if (pendingTypes_[i]) DeleteOwnMediaType(pendingTypes_[i]);
    pendingTypes_[i] = nullptr;
  }
  pendingCount_ = 0;
}

HRESULT CWmvWriter::Open(CParamList* params) {
  if (!params) return E_FAIL;
  params->SetWString("PARAM", kAsfWriterName);
  videoWidth_ = 0;
  videoHeight_ = 0;
  return CDShowWriter::Open(params);
}

HRESULT CWmvWriter::Close() {
  FreePending();
  return CDShowWriter::Close();
}

HRESULT CWmvWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t mode) {
  if (!type) return E_POINTER;
  if (mode != 0) return S_OK;
  if (configured_ || slotCount_ >= kMaxInputs) return E_FAIL;
  int32_t size = kDefaultBufferSize;
  if (type->majortype == MEDIATYPE_Audio) {
    if (!IsPcm(type)) return E_FAIL;
  } else if (type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_YV12) {
    BITMAPINFOHEADER bmi{};
    if (GetVideoInfoBitmapHeader(type, &bmi)) {
      videoWidth_ = bmi.biWidth;
      videoHeight_ = std::abs(bmi.biHeight);
      const int64_t bytes = int64_t{videoWidth_} * videoHeight_ * 3 / 2;
      if (bytes <= 0 || bytes > INT32_MAX) return E_FAIL;
      size = static_cast<int32_t>(bytes);
    }
  } else {
    return E_FAIL;
  }
  AM_MEDIA_TYPE* copy = CloneMediaType(type);
  if (!copy) return E_OUTOFMEMORY;
  pendingTypes_[slotCount_] = copy;
  bufferSize_[slotCount_] = size;
  inputOf_[slotCount_] = -1;
  ++pendingCount_;
  ++slotCount_;
  return S_OK;
}

HRESULT CWmvWriter::SetParams(CParamList* params) {
  if (configured_) return S_OK;
  configured_ = true;
  int32_t video = 0, audio = 0;
  const AM_MEDIA_TYPE* firstAudio = nullptr;
  const AM_MEDIA_TYPE* firstVideo = nullptr;
  for (int32_t i = 0; i < slotCount_; ++i) {
    const AM_MEDIA_TYPE* t = pendingTypes_[i];
    if (!t) continue;
    if (t->majortype == MEDIATYPE_Video) {
      ++video;
      if (!firstVideo) firstVideo = t;
    } else {
      ++audio;
      if (!firstAudio) firstAudio = t;
    }
  }
  pendingCount_ = 0;
  // The keys the job leaves open come from the streams themselves.
  CParamList keys;
  if (params) keys.CopyFrom(*params);
  if (const WAVEFORMATEX* w = firstAudio ? WaveOf(firstAudio) : nullptr) {
    if (Number(&keys, "SAMPLERATE", 0) <= 0) keys.SetInt("SAMPLERATE", static_cast<int32_t>(w->nSamplesPerSec));
    if (Number(&keys, "CHANNEL", 0) <= 0) keys.SetInt("CHANNEL", w->nChannels);
  }
  if (Number(&keys, "FRAMERATE", 0) <= 0) {
    const REFERENCE_TIME frame = firstVideo ? FrameTimeOf(firstVideo) : 0;
    keys.SetDouble("FRAMERATE", frame > 0 ? static_cast<double>(kUnits) / static_cast<double>(frame) : 30.0);
  }
  IBaseFilter* filter = map_ ? map_->GetFilter() : nullptr;
  BuildProfile(filter, &keys, videoWidth_, videoHeight_, video, audio);
  if (map_) map_->RefreshInputPins();
  for (int32_t i = 0; i < slotCount_; ++i) {
    AM_MEDIA_TYPE* t = pendingTypes_[i];
    if (!t) continue;
    const HRESULT hr = CDShowWriter::AddInputPin(t, 0);
    if (hr == S_OK) {
      inputOf_[i] = inputCount_ - 1;
    } else {
      inputOf_[i] = -1;
      Diag(DiagLevel::kWarning,
           "the %s stream is left out of the Windows Media file: the profile has no input for it\n",
           t->majortype == MEDIATYPE_Video ? "video" : "audio");
    }
  }
  FreePending();
  return S_OK;
}

int32_t CWmvWriter::InputOf(uint32_t pin) const {
  if (pin >= static_cast<uint32_t>(slotCount_)) return -1;
  return inputOf_[pin];
}

HRESULT CWmvWriter::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (pin >= static_cast<uint32_t>(slotCount_)) return E_FAIL;
  if (pendingTypes_[pin]) {
    if (index != 0) return MODULE_E_NO_TYPE;
    InitMediaType(type);
    return CopyMediaTypeDeep(type, pendingTypes_[pin]) ? S_OK : E_OUTOFMEMORY;
  }
  const int32_t input = inputOf_[pin];
  return input < 0 ? E_FAIL : CDShowWriter::GetInputType(static_cast<uint32_t>(input), index, type);
}

HRESULT CWmvWriter::Receive(uint32_t pin, IMediaSample* sample) {
  const int32_t input = pin < static_cast<uint32_t>(slotCount_) ? inputOf_[pin] : -1;
  if (input >= 0) return CDShowWriter::Receive(static_cast<uint32_t>(input), sample);
  // Not passed on: null and blank items hold no reference.
  Ref<IMediaSample> dropped(sample && !IsBlankSample(sample) ? sample : nullptr);
  if (pin >= static_cast<uint32_t>(slotCount_)) return E_FAIL;
  // A stream left out: taken and dropped.
  if (!sample) leftEnded_[pin] = 1;
  return S_OK;
}

HRESULT CWmvWriter::GetInputAllocator(uint32_t pin, IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  if (pin >= static_cast<uint32_t>(slotCount_)) return E_FAIL;
  const int32_t input = inputOf_[pin];
  if (input >= 0) return CDShowWriter::GetInputAllocator(static_cast<uint32_t>(input), allocator);
  if (!configured_) return E_FAIL;
  if (!discard_[pin] && CreateMemoryAllocator(discard_[pin].Out()) != S_OK) return E_OUTOFMEMORY;
  discard_[pin]->AddRef();
  *allocator = discard_[pin].Get();
  return S_OK;
}

HRESULT CWmvWriter::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  if (pin >= static_cast<uint32_t>(slotCount_) || !configured_) return E_FAIL;
  const int32_t input = inputOf_[pin];
  if (input < 0) {
    *props = ALLOCATOR_PROPERTIES{2, bufferSize_[pin], 1, 0};
    return S_OK;
  }
  const HRESULT hr = CDShowWriter::GetAllocatorRequirements(static_cast<uint32_t>(input), props);
  if (FAILED(hr)) return hr;
  props->cbBuffer = std::max<LONG>(props->cbBuffer, bufferSize_[pin]);
  return hr;
}

int32_t CWmvWriter::GetState() {
  int32_t ended = 0;
  for (int32_t i = 0; i < slotCount_; ++i) {
    const int32_t input = inputOf_[i];
    ended += (input >= 0 ? ended_[input] : leftEnded_[i]) ? 1 : 0;
  }
  if (ended == slotCount_) return WRITER_FINISHED;
  return ended ? WRITER_SOME_INPUTS_FINISHED : WRITER_RUNNING;
}

// ---------------------------------------------------------------------------
// Profile

HRESULT CWmvWriter::ConfigureStream(CWMStreamConfig& config, const CWMProfile& profile, const char* streamName,
                                    const char* connectionName, uint32_t bitRate, const AM_MEDIA_TYPE& mediaType) {
  CWMStreamConfig probe;
  HRESULT hr = profile.CreateNewStream(mediaType.majortype, &probe);
  if (FAILED(hr)) return hr;
  config.SetStreamNumber(probe.StreamNumber());
  config.SetStreamName(streamName);
  config.SetConnectionName(connectionName);
  config.SetBitrate(bitRate);
  return config.SetMediaType(&mediaType);
}

namespace {

// Adds the configured stream, checks its number and names its connection after it.
HRESULT AddNumberedStream(CWMProfile& profile, CWMStreamConfig& config, int32_t* streamNumber,
                          std::string* connectionName) {
  const int32_t number = config.StreamNumber();
  if (number > kMaxWmStreamNumber) return E_FAIL;
  HRESULT hr = profile.AddStream(config);
  if (FAILED(hr)) return hr;
  char name[32];
  std::snprintf(name, sizeof name, "%s%d", "WMVMuxer", number);
  config.SetConnectionName(name);
  hr = profile.ReconfigStream(config);
  if (FAILED(hr)) return hr;
  if (streamNumber) *streamNumber = number;
  if (connectionName) *connectionName = name;
  return S_OK;
}

}  // namespace

HRESULT CWmvWriter::AddAudioStream(CWMProfileManager& manager, CWMProfile& profile, int32_t sampleRate,
                                   int32_t channels, int32_t bitsPerSample, int32_t bitRate, int32_t avType,
                                   int32_t formatTag, int32_t* streamNumber, std::string* connectionName) {
  const GUID& major = MEDIATYPE_Audio;
  CWMStreamConfig chosen;
  bool found = false;
  const uint32_t codecs = manager.GetCodecInfoCount(major);
  for (uint32_t c = 0; c < codecs && !found; ++c) {
    ConsoleLine("%s\n", manager.GetCodecName(major, c).c_str());
    uint32_t formats = manager.GetCodecFormatCount(major, c);
    if (formats == 0) {
      manager.SetCodecEnumerationSetting(major, c, "_VBRENABLED", 1);
      manager.SetCodecEnumerationSetting(major, c, "_PASSESUSED", 1);
      formats = manager.GetCodecFormatCount(major, c);
    }
    for (uint32_t f = 0; f < formats; ++f) {
      CWMStreamConfig config;
      std::string description;
      if (FAILED(manager.GetCodecFormatDesc(major, c, f, &config, &description))) continue;
      const WAVEFORMATEX* w = config.Wave();
      if (!w) return E_FAIL;
      if (static_cast<int32_t>(w->wFormatTag) != formatTag) break;
      const int32_t withVideo = description.find("A/V") != std::string::npos ? 1 : 0;
      const int64_t rate = int64_t{w->nAvgBytesPerSec} * 8;
      const bool sameShape = static_cast<int32_t>(w->nSamplesPerSec) == sampleRate && w->nChannels == channels;
      bool take = false;
      if (formatTag == 355) {
        take = sameShape && w->wBitsPerSample == bitsPerSample;
        if (take) ConsoleLine("WMA lossless\n");
      } else {
        take =
            sameShape && w->wBitsPerSample >= bitsPerSample && std::llabs(rate - bitRate) < 500 && withVideo == avType;
      }
      if (!take) continue;
      ConsoleLine("SAMPLERATE=%u,BITRATE=%lld,CHANNEL=%u,BITS=%u,TAG=%u\n%s\n", w->nSamplesPerSec,
                  static_cast<long long>(rate), w->nChannels, w->wBitsPerSample, w->wFormatTag, description.c_str());
      chosen = config;
      found = true;
      break;
    }
  }
  if (!found) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
  AM_MEDIA_TYPE type;
  InitMediaType(&type);
  if (!CopyMediaTypeDeep(&type, &chosen.MediaType())) return E_OUTOFMEMORY;
  const uint32_t rate = chosen.Wave()->nAvgBytesPerSec * 8;
  HRESULT hr = ConfigureStream(chosen, profile, "Audio Stream", "Audio", rate, type);
  ClearMediaTypeFormat(&type);
  if (FAILED(hr)) return hr;
  return AddNumberedStream(profile, chosen, streamNumber, connectionName);
}

HRESULT CWmvWriter::AddVideoStream(CWMProfileManager& manager, CWMProfile& profile, const VIDEOINFOHEADER& videoInfo,
                                   int32_t* streamNumber, uint32_t quality, int32_t keyFrameSeconds,
                                   std::string* connectionName) {
  const GUID& major = MEDIATYPE_Video;
  CWMStreamConfig chosen;
  bool found = false;
  const uint32_t codecs = manager.GetCodecInfoCount(major);
  for (uint32_t c = 0; c < codecs; ++c) ConsoleLine("%s\n", manager.GetCodecName(major, c).c_str());
  for (uint32_t c = 0; c < codecs && !found; ++c) {
    const uint32_t formats = manager.GetCodecFormatCount(major, c);
    for (uint32_t f = 0; f < formats && !found; ++f) {
      CWMStreamConfig config;
      if (FAILED(manager.GetCodecFormatDesc(major, c, f, &config, nullptr))) continue;
      const VIDEOINFOHEADER* v = config.VideoInfo();
      if (!v || v->bmiHeader.biCompression != videoInfo.bmiHeader.biCompression) continue;
      chosen = config;
      found = true;
    }
  }
  if (!found) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
  AM_MEDIA_TYPE type;
  InitMediaType(&type);
  if (!CopyMediaTypeDeep(&type, &chosen.MediaType())) return E_OUTOFMEMORY;
  auto* v = reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat);
  v->dwBitRate = videoInfo.dwBitRate;
  v->rcSource = videoInfo.rcSource;
  v->rcTarget = videoInfo.rcTarget;
  v->bmiHeader.biWidth = videoInfo.bmiHeader.biWidth;
  v->bmiHeader.biHeight = videoInfo.bmiHeader.biHeight;
  v->AvgTimePerFrame = videoInfo.AvgTimePerFrame;
  chosen.SetQuality(quality);
  chosen.SetMaxKeyFrameSpacing(int64_t{keyFrameSeconds} * kUnits);
  HRESULT hr = ConfigureStream(chosen, profile, "Video Stream", "Video", videoInfo.dwBitRate, type);
  ClearMediaTypeFormat(&type);
  if (SUCCEEDED(hr)) hr = AddNumberedStream(profile, chosen, streamNumber, connectionName);
  ConsoleLine("hr=%d\n", static_cast<int>(hr));
  return hr;
}

HRESULT CWmvWriter::SaveProfileText(const CWMProfileManager& manager, const CWMProfile& profile) {
  uint32_t length = 0;
  if (FAILED(manager.SaveProfile(profile, nullptr, &length))) {
    ConsoleLine("Could not get the profile string size.\n");
    return E_FAIL;
  }
  std::unique_ptr<char[]> text(new (std::nothrow) char[size_t{length} * 2]);
  if (!text) {
    ConsoleLine("Could not allocate memory for the profile string.\n");
    return E_OUTOFMEMORY;
  }
  uint32_t room = length * 2;
  if (FAILED(manager.SaveProfile(profile, text.get(), &room))) {
    ConsoleLine("Could not save the profile string.\n");
    return E_FAIL;
  }
  return S_OK;
}

void CWmvWriter::BuildProfile(IBaseFilter* filter, CParamList* params, int32_t width, int32_t height,
                              int32_t videoCount, int32_t audioCount, CWMProfile* out) {
  Ref<IConfigAsfWriter> config = QueryRef<IConfigAsfWriter>(filter, IID_IConfigAsfWriter);
  if (!config && !out) return;
  CParamList empty;
  if (!params) params = &empty;
  char acodec[64] = {}, vcodec[64] = {};
  params->GetString("ACODEC", acodec, sizeof acodec, "");
  params->GetString("VCODEC", vcodec, sizeof vcodec, "");
  const double abitrate = Number(params, "ABITRATE", 0);
  const double vbitrate = Number(params, "VBITRATE", 0);
  double framerate = Number(params, "FRAMERATE", 30.0);
  if (!(framerate > 0)) framerate = 30.0;  // no frame time from a rate of 0
  const auto sampleRate = static_cast<int32_t>(Number(params, "SAMPLERATE", 0));
  const auto channels = static_cast<int32_t>(Number(params, "CHANNEL", 0));
  const auto avType = static_cast<int32_t>(Number(params, "AVTYPE", 0));

  CWMProfileManager manager;
  CWMProfile profile;
  manager.CreateEmptyProfile(WMT_VER_9_0, &profile);
  if (const int32_t tag = AudioTagOf(acodec)) {
    for (int32_t i = 0; i < audioCount; ++i) {
      const auto bitRate = static_cast<int32_t>(std::clamp(abitrate * 1000.0, 0.0, 2.0e9));
      const HRESULT hr =
          AddAudioStream(manager, profile, sampleRate, channels, 16, bitRate, avType, tag, nullptr, nullptr);
      if (FAILED(hr))
        Diag(DiagLevel::kWarning,
             "no Windows Media audio format for %s at %d Hz, %d channels, %d bit/s: the audio is left out (%08X)\n",
             acodec, sampleRate, channels, bitRate, static_cast<unsigned>(hr));
    }
  } else if (audioCount > 0) {
    Diag(DiagLevel::kWarning, "\"%s\" is no Windows Media audio codec: the audio is left out\n", acodec);
  }
  if (const uint32_t compression = CompressionOf(vcodec); compression && videoCount > 0) {
    for (int32_t i = 0; i < videoCount; ++i) {
      VIDEOINFOHEADER v{};
      v.rcSource = RECT{0, 0, width, height};
      v.rcTarget = v.rcSource;
      v.dwBitRate = static_cast<DWORD>(std::clamp(vbitrate * 1000.0, 0.0, 4.0e9));
      v.AvgTimePerFrame = static_cast<REFERENCE_TIME>(std::llround(static_cast<double>(kUnits) / framerate));
      v.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
      v.bmiHeader.biWidth = width;
      v.bmiHeader.biHeight = height;
      v.bmiHeader.biCompression = compression;
      const HRESULT hr = AddVideoStream(manager, profile, v, nullptr, 100, 5, nullptr);
      if (FAILED(hr))
        Diag(DiagLevel::kWarning, "no Windows Media video encoder for %s (%s): the video is left out (%08X)\n", vcodec,
             FourccText(compression).c_str(), static_cast<unsigned>(hr));
    }
  } else if (videoCount > 0) {
    Diag(DiagLevel::kWarning, "\"%s\" is no Windows Media video codec: the video is left out\n", vcodec);
  }
  SaveProfileText(manager, profile);
  if (config) config->ConfigureFilterUsingProfile(&profile);
  if (out) *out = profile;
}
