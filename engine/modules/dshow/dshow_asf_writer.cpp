#include "engine/modules/dshow/dshow_asf_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/param_list.h"
#include "engine/modules/dshow/dshow_support.h"
#include "engine/modules/ffmpeg/ffm_encoder.h"
#include "engine/modules/ffmpeg/ffm_writer.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "platform/diagnostics.h"
#include "platform/mem_allocator.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

const char16_t kAsfWriterName[] =
    u"@device:sw:{083863F1-70DE-11D0-BD40-00A0C911CE86}\\{7C23220E-55BB-11D3-8B16-00C04FB6BD3D}";

namespace {

constexpr LONG kAudioBufferBytes = 192000;

bool PictureSize(const AM_MEDIA_TYPE* mt, LONG* width, LONG* height) {
  BITMAPINFOHEADER bmi{};
  if (!GetVideoInfoBitmapHeader(mt, &bmi)) return false;
  *width = bmi.biWidth;
  *height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
  return true;
}

REFERENCE_TIME FrameTime(const AM_MEDIA_TYPE* mt) {
  if (mt->formattype == FORMAT_VideoInfo && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat)->AvgTimePerFrame;
  if (mt->formattype == FORMAT_VideoInfo2 && mt->pbFormat && mt->cbFormat >= sizeof(VIDEOINFOHEADER2))
    return reinterpret_cast<const VIDEOINFOHEADER2*>(mt->pbFormat)->AvgTimePerFrame;
  return 0;
}

}  // namespace

class CAsfWriterFilter::InPin final : public CBaseInputPin {
 public:
  InPin(CAsfWriterFilter* owner, const CWMStreamConfig& config, const char* encoder, const std::u16string& name)
      : CBaseInputPin(owner, &owner->filterLock_, name.c_str()), owner_(owner), config_(config), encoder_(encoder) {}
  ~InPin() override { CloseEncoder(); }

  bool IsAudio() const { return config_.StreamType() == MEDIATYPE_Audio; }
  const CWMStreamConfig& Config() const { return config_; }

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
    if (!mt) return E_POINTER;
    if (IsAudio()) {
      const WAVEFORMATEX* want = config_.Wave();
      if (mt->majortype != MEDIATYPE_Audio || mt->subtype != MEDIASUBTYPE_PCM ||
          mt->formattype != FORMAT_WaveFormatEx || !mt->pbFormat || mt->cbFormat < sizeof(WAVEFORMATEX) || !want)
        return S_FALSE;
      const auto* w = reinterpret_cast<const WAVEFORMATEX*>(mt->pbFormat);
      return w->wBitsPerSample == 16 && w->nSamplesPerSec == want->nSamplesPerSec && w->nChannels == want->nChannels
                 ? S_OK
                 : S_FALSE;
    }
    LONG width = 0, height = 0;
    if (mt->majortype != MEDIATYPE_Video || mt->subtype != MEDIASUBTYPE_YV12 || !PictureSize(mt, &width, &height))
      return S_FALSE;
    const VIDEOINFOHEADER* want = config_.VideoInfo();
    if (want && want->bmiHeader.biWidth > 0 &&
        (width != want->bmiHeader.biWidth || height != std::abs(want->bmiHeader.biHeight)))
      return S_FALSE;
    return width > 0 && height > 0 ? S_OK : S_FALSE;
  }
  // Connected: the connection type is the one type offered.
  HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
    if (position != 0 || !IsConnected()) return VFW_S_NO_MORE_ITEMS;
    InitMediaType(mt);
    return CopyMediaTypeDeep(mt, &mt_) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override {
    const HRESULT hr = CBaseInputPin::SetMediaType(mt);
    if (hr != S_OK) return hr;
    return owner_->OpenStream(this, mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override {
    if (!props) return E_POINTER;
    LONG width = 0, height = 0;
    LONG size = kAudioBufferBytes;
    if (!IsAudio() && PictureSize(&mt_, &width, &height)) size = width * height * 3 / 2;
    *props = ALLOCATOR_PROPERTIES{4, size, 1, 0};
    return S_OK;
  }
  HRESULT Receive(IMediaSample* sample) override {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    if (!encoderModule_ || ended_.load()) return S_FALSE;
    if (owner_->finished_.load()) return E_UNEXPECTED;
    sample->AddRef();  // the module owns what it receives
    encoderModule_->Receive(0, sample);
    return FAILED(owner_->Result()) ? owner_->Result() : S_OK;
  }
  HRESULT EndOfStream() override {
    const HRESULT hr = CBaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    if (ended_.exchange(true)) return S_OK;
    if (encoderModule_) encoderModule_->Receive(0, nullptr);  // drains; the end reaches the writer
    owner_->InputEnded();
    return S_OK;
  }

  // The encoder for the connection type, its output added to the writer.
  bool Open(IMediaModule* sink, const AM_MEDIA_TYPE* mt) {
    CloseEncoder();
    const int32_t codec = CodecIdByName(encoder_);
    if (codec <= 0) {
      Diag(DiagLevel::kWarning, "no %s encoder on this system\n", encoder_);
      return false;
    }
    CParamList params;
    params.SetInt("MAJORTYPE", IsAudio() ? CODEC_TYPE_AUDIO : CODEC_TYPE_VIDEO);
    params.SetInt("MINORTYPE", codec);
    encoderModule_.Reset(CFFMEncoder::Create(&params));
    if (!encoderModule_ || encoderModule_->SetInputType(0, mt, 0) != S_OK) {
      Diag(DiagLevel::kWarning, "the %s encoder does not take the input type", encoder_);
      CloseEncoder();
      return false;
    }
    CParamList settings;
    settings.SetInt("ETYPE", IsAudio() ? CODEC_TYPE_AUDIO : CODEC_TYPE_VIDEO);
    settings.SetInt("BITRATE", static_cast<int32_t>(std::min<uint32_t>(config_.Bitrate(), INT32_MAX)));
    const REFERENCE_TIME frame = IsAudio() ? 0 : FrameTime(mt);
    if (!IsAudio() && frame > 0 && config_.MaxKeyFrameSpacing() > 0)
      settings.SetInt("GOP", static_cast<int32_t>(std::clamp<int64_t>(config_.MaxKeyFrameSpacing() / frame, 1, 600)));
    if (encoderModule_->SetParams(&settings) != S_OK) {
      Diag(DiagLevel::kWarning, "the %s encoder cannot be opened\n", encoder_);
      CloseEncoder();
      return false;
    }
    AM_MEDIA_TYPE out;
    InitMediaType(&out);
    bool added = false;
    if (encoderModule_->GetOutputType(0, 0, &out) == S_OK) {
      // Windows Media audio leaves the encoder without a format tag: the profile's.
      const WAVEFORMATEX* want = config_.Wave();
      if (IsAudio() && want && out.formattype == FORMAT_WaveFormatEx && out.pbFormat &&
          out.cbFormat >= sizeof(WAVEFORMATEX)) {
        reinterpret_cast<WAVEFORMATEX*>(out.pbFormat)->wFormatTag = want->wFormatTag;
        out.subtype = FourccGuid(want->wFormatTag);
      }
      const uint32_t pin = sink->GetInputPinCount();
      added = sink->AddInputPin(&out, 0) == S_OK;
      sinkPin_ = pin;
    }
    ClearMediaTypeFormat(&out);
    if (!added) {
      Diag(DiagLevel::kWarning, "the ASF writer cannot take the %s stream\n", encoder_);
      CloseEncoder();
      return false;
    }
    // Coded packets go into buffers of the pin's own; the writer copies them.
    LONG width = 0, height = 0;
    LONG size = kAudioBufferBytes;
    if (!IsAudio() && PictureSize(mt, &width, &height)) size = std::max<LONG>(width * height * 3 / 2, 65536);
    ALLOCATOR_PROPERTIES want{4, size, 1, 0}, got{};
    if (CreateMemoryAllocator(packets_.Out()) != S_OK || FAILED(packets_->SetProperties(&want, &got)) ||
        FAILED(packets_->Commit())) {
      CloseEncoder();
      return false;
    }
    encoderModule_->SetOutputAllocator(0, packets_.Get());
    sink_ = sink;
    encoderModule_->SetOutputCallback(0, &InPin::FromEncoder, this);
    return true;
  }
  bool Ended() const { return ended_.load(); }

 private:
  static HRESULT FromEncoder(IMediaSample* item, void* context) {
    auto* self = static_cast<InPin*>(context);
    if (item && IsBlankSample(item)) return S_OK;
    Ref<IMediaSample> sample(item);
    if (sample && sample->GetActualDataLength() == 0 && sample->IsDiscontinuity() == S_OK)
      return S_OK;  // a seek marker: nothing to write
    if (!self->sink_) return S_OK;
    return self->sink_->Receive(self->sinkPin_, sample.Detach());
  }
  void CloseEncoder() {
    if (encoderModule_) {
      encoderModule_->Close();
      encoderModule_.Reset();
    }
    if (packets_) {
      packets_->Decommit();
      packets_.Reset();
    }
  }

  CAsfWriterFilter* owner_;
  CWMStreamConfig config_;
  const char* encoder_;
  Ref<IMediaModule> encoderModule_;
  Ref<IMemAllocator> packets_;    // the encoder's output buffers
  IMediaModule* sink_ = nullptr;  // the owner's writer
  uint32_t sinkPin_ = 0;
  std::atomic<bool> ended_{false};
};

CAsfWriterFilter::CAsfWriterFilter() : CBaseFilter(CLSID_WMAsfWriter, &filterLock_) {}

CAsfWriterFilter::~CAsfWriterFilter() {
  Abandon();
  for (InPin* pin : pins_) delete pin;
  for (InPin* pin : retired_) delete pin;
  sink_.Reset();  // after the pins, which use it
}

HRESULT CAsfWriterFilter::NonDelegatingQuery(REFIID iid, void** out) {
  if (iid == IID_IFileSinkFilter || iid == IID_IFileSinkFilter2) {
    *out = static_cast<IFileSinkFilter2*>(this);
    AddRef();
    return S_OK;
  }
  if (iid == IID_IConfigAsfWriter) {
    *out = static_cast<IConfigAsfWriter*>(this);
    AddRef();
    return S_OK;
  }
  return CBaseFilter::NonDelegatingQuery(iid, out);
}

HRESULT CAsfWriterFilter::SetFileName(const WCHAR* fileName, const AM_MEDIA_TYPE*) {
  if (!fileName || !fileName[0]) return E_INVALIDARG;
  std::lock_guard lock(filterLock_);
  if (sink_) return E_UNEXPECTED;  // one file per filter
  CParamList params;
  params.SetString("NAME", "asf");
  Ref<IMediaModule> sink(CFFMWriter::Create(&params));
  if (!sink) return E_OUTOFMEMORY;
  IMediaWriter* writer = QueryAsWriter(sink.Get());
  const std::string path = DsNarrow(fileName);
  const HRESULT hr = writer ? writer->SetOutput(path.c_str(), nullptr) : E_NOINTERFACE;
  if (hr != S_OK) {
    Diag(DiagLevel::kError, "the ASF writer cannot create \"%s\" (%08X)", path.c_str(), static_cast<unsigned>(hr));
    sink->Close();
    return FAILED(hr) ? hr : E_FAIL;
  }
  sink_ = std::move(sink);
  fileName_ = fileName;
  return S_OK;
}

HRESULT CAsfWriterFilter::GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) {
  if (!fileName) return E_POINTER;
  std::lock_guard lock(filterLock_);
  *fileName = nullptr;
  if (fileName_.empty()) return E_FAIL;
  const size_t bytes = (fileName_.size() + 1) * sizeof(WCHAR);
  auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc(bytes));
  if (!copy) return E_OUTOFMEMORY;
  std::copy(fileName_.begin(), fileName_.end(), copy);
  copy[fileName_.size()] = 0;
  *fileName = copy;
  if (mt) InitMediaType(mt);
  return S_OK;
}

HRESULT CAsfWriterFilter::SetMode(DWORD flags) {
  mode_ = flags;
  return S_OK;
}

HRESULT CAsfWriterFilter::GetMode(DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = mode_;
  return S_OK;
}

HRESULT CAsfWriterFilter::ConfigureFilterUsingProfile(const CWMProfile* profile) {
  if (!profile) return E_POINTER;
  std::lock_guard lock(filterLock_);
  if (State() != State_Stopped) return VFW_E_NOT_STOPPED;
  // Connected pins stay; the others make way for the profile's.
  std::vector<InPin*> kept;
  for (InPin* pin : pins_) (pin->IsConnected() ? kept : retired_).push_back(pin);
  pins_ = kept;
  int32_t audio = 0, video = 0;
  for (int32_t i = 0; i < profile->StreamCount(); ++i) {
    const CWMStreamConfig& s = profile->Stream(i);
    const bool isAudio = s.StreamType() == MEDIATYPE_Audio;
    const char* encoder = nullptr;
    if (isAudio && s.Wave()) encoder = WmEncoderForWaveTag(s.Wave()->wFormatTag);
    if (!isAudio && s.VideoInfo()) encoder = WmEncoderForCompression(s.VideoInfo()->bmiHeader.biCompression);
    if (!encoder) {
      Diag(DiagLevel::kWarning, "the ASF writer has no encoder for stream %d of the profile\n", s.StreamNumber());
      continue;
    }
    char name[32];
    std::snprintf(name, sizeof name, "%s Input %02d", isAudio ? "Audio" : "Video", isAudio ? ++audio : ++video);
    pins_.push_back(new InPin(this, s, encoder, DsWide(name)));
  }
  return S_OK;
}

int32_t CAsfWriterFilter::GetPinCount() {
  std::lock_guard lock(filterLock_);
  return static_cast<int32_t>(pins_.size());
}

CBasePin* CAsfWriterFilter::GetPin(int32_t index) {
  std::lock_guard lock(filterLock_);
  return index >= 0 && index < static_cast<int32_t>(pins_.size()) ? pins_[static_cast<size_t>(index)] : nullptr;
}

bool CAsfWriterFilter::OpenStream(InPin* pin, const AM_MEDIA_TYPE* mt) {
  std::lock_guard lock(filterLock_);
  if (!sink_) {
    Diag(DiagLevel::kTrace, "the ASF writer has no file: a pin cannot connect");
    return false;
  }
  if (sinkRunning_.load()) return false;
  return pin->Open(sink_.Get(), mt);
}

HRESULT CAsfWriterFilter::Pause() {
  std::lock_guard lock(filterLock_);
  if (State() == State_Stopped && sink_ && !sinkRunning_.load() && !finished_.load()) {
    const HRESULT hr = sink_->Run();
    if (FAILED(hr)) return hr;
    sinkRunning_.store(true);
  }
  return CBaseFilter::Pause();
}

HRESULT CAsfWriterFilter::Stop() {
  const HRESULT hr = CBaseFilter::Stop();
  Abandon();
  return hr;
}

void CAsfWriterFilter::InputEnded() {
  {
    std::lock_guard lock(filterLock_);
    for (InPin* pin : pins_)
      if (pin->IsConnected() && !pin->Ended()) return;
  }
  Finish();
}

void CAsfWriterFilter::Finish() {
  std::lock_guard finish(finishLock_);
  if (finished_.load() || !sink_ || !sinkRunning_.load()) return;
  IMediaWriter* writer = QueryAsWriter(sink_.Get());
  HRESULT hr = E_NOINTERFACE;
  if (writer) {
    // The writer's thread drains its queues, then the file is finished.
    while (writer->GetState() != WRITER_FINISHED) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    hr = writer->CloseOutput();
  }
  finished_.store(true);
  sinkRunning_.store(false);
  sink_->Close();
  if (hr != S_OK) {
    result_.store(FAILED(hr) ? hr : E_FAIL);
    NotifyEvent(EC_ERRORABORT, Result(), 0);
  } else {
    NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)));
  }
}

void CAsfWriterFilter::Abandon() {
  std::lock_guard finish(finishLock_);
  if (finished_.load() || !sink_) return;
  // Closed without CloseOutput: the unfinished file is dropped.
  sink_->Close();
  finished_.store(true);
  sinkRunning_.store(false);
}
