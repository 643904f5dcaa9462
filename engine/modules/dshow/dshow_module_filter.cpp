#include "engine/modules/dshow/dshow_module_filter.h"

#include <algorithm>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "engine/modules/ffmpeg/ffm_decoder.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

class CModuleCodecFilter::InPin final : public CBaseInputPin {
 public:
  InPin(CModuleCodecFilter* owner) : CBaseInputPin(owner, &owner->filterLock_, u"in0"), owner_(owner) {}

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
    IMediaModule* module = owner_->ModuleFor(mt);
    return module && module->SetInputType(0, mt, 1) == S_OK ? S_OK : S_FALSE;
  }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override {
    IMediaModule* module = owner_->ModuleFor(mt);
    return module && module->SetInputType(0, mt, 0) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT Receive(IMediaSample* sample) override {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    IMediaModule* module = owner_->module_.Get();
    if (!module) return VFW_E_NOT_CONNECTED;
    if (sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() > 0) owner_->FlushModule();
    owner_->lastDelivery_.store(S_OK);
    sample->AddRef();  // the module owns what it receives
    module->Receive(0, sample);
    const HRESULT delivered = owner_->lastDelivery_.load();
    return FAILED(delivered) ? delivered : S_OK;
  }
  HRESULT EndOfStream() override {
    const HRESULT hr = CBaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    owner_->endDelivered_.store(false);
    if (IMediaModule* module = owner_->module_.Get()) module->Receive(0, nullptr);  // drains
    if (!owner_->endDelivered_.exchange(true)) static_cast<CBaseOutputPin*>(owner_->GetPin(1))->DeliverEndOfStream();
    return S_OK;
  }
  HRESULT BeginFlush() override {
    CBaseInputPin::BeginFlush();
    return static_cast<CBaseOutputPin*>(owner_->GetPin(1))->DeliverBeginFlush();
  }
  HRESULT EndFlush() override {
    owner_->FlushModule();
    CBaseInputPin::EndFlush();
    return static_cast<CBaseOutputPin*>(owner_->GetPin(1))->DeliverEndFlush();
  }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override {
    CBasePin::NewSegment(start, stop, rate);
    return static_cast<CBaseOutputPin*>(owner_->GetPin(1))->DeliverNewSegment(start, stop, rate);
  }

 private:
  CModuleCodecFilter* owner_;
};

class CModuleCodecFilter::OutPin final : public CBaseOutputPin {
 public:
  OutPin(CModuleCodecFilter* owner) : CBaseOutputPin(owner, &owner->filterLock_, u"out0"), owner_(owner) {}

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
    IMediaModule* module = owner_->module_.Get();
    return module && owner_->in_->IsConnected() && module->SetOutputType(0, mt, 1) == S_OK ? S_OK : S_FALSE;
  }
  HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
    if (position < 0) return E_INVALIDARG;
    IMediaModule* module = owner_->module_.Get();
    if (!module || !owner_->in_->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return module->GetOutputType(0, static_cast<uint32_t>(position), mt) == S_OK ? S_OK : VFW_S_NO_MORE_ITEMS;
  }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override {
    IMediaModule* module = owner_->module_.Get();
    return module && module->SetOutputType(0, mt, 0) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    LONG size = static_cast<LONG>(mt_.lSampleSize);
    if (owner_->audio_) {
      size = CFFMDecoder::kPcmBufferBytes;
    } else if (size <= 0 && mt_.formattype == FORMAT_VideoInfo && mt_.cbFormat >= sizeof(VIDEOINFOHEADER)) {
      size = static_cast<LONG>(reinterpret_cast<const VIDEOINFOHEADER*>(mt_.pbFormat)->bmiHeader.biSizeImage);
    }
    ALLOCATOR_PROPERTIES want{std::max<LONG>(request->cBuffers, 2), std::max<LONG>(request->cbBuffer, size),
                              std::max<LONG>(request->cbAlign, 1), request->cbPrefix};
    ALLOCATOR_PROPERTIES actual{};
    const HRESULT hr = allocator->SetProperties(&want, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer < want.cbBuffer ? E_FAIL : S_OK;
  }
  HRESULT CompleteConnect(IPin* receivePin) override {
    const HRESULT hr = CBaseOutputPin::CompleteConnect(receivePin);
    if (hr == S_OK && owner_->module_) owner_->module_->SetOutputAllocator(0, allocator_);
    return hr;
  }
  HRESULT BreakConnect() override {
    if (owner_->module_) owner_->module_->SetOutputAllocator(0, nullptr);
    return CBaseOutputPin::BreakConnect();
  }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
    if (iid == IID_IMediaSeeking || iid == IID_IMediaPosition)
      return owner_->position_.Query(static_cast<IPin*>(this), owner_->in_, iid, out);
    return CBaseOutputPin::NonDelegatingQuery(iid, out);
  }

 private:
  CModuleCodecFilter* owner_;
};

CModuleCodecFilter::CModuleCodecFilter(const CLSID& clsid, bool audio, std::vector<StandInCodec> codecs)
    : CBaseFilter(clsid, &filterLock_),
      audio_(audio),
      codecs_(std::move(codecs)),
      in_(new InPin(this)),
      out_(new OutPin(this)) {}

CModuleCodecFilter::~CModuleCodecFilter() {
  // The module goes first: nothing it still delivers may reach a deleted pin.
  if (module_) {
    module_->Close();
    module_.Reset();
  }
  delete out_;
  delete in_;
}

CBasePin* CModuleCodecFilter::GetPin(int32_t index) {
  if (index == 0) return in_;
  if (index == 1) return out_;
  return nullptr;
}

int32_t CModuleCodecFilter::CodecFor(const AM_MEDIA_TYPE* mt) const {
  if (!mt || mt->majortype != (audio_ ? MEDIATYPE_Audio : MEDIATYPE_Video)) return 0;
  if (codecs_.empty()) {
    // Any compressed type the codec table knows; raw pictures and PCM need no decoder.
    if (IsPcmSubtype(mt->subtype) || IsRawPixelFormat(mt->subtype)) return 0;
    int32_t id = 0;
    return FindCodecIdByMediaType(mt, &id) ? id : 0;
  }
  const uint32_t tag = IsFourccGuid(mt->subtype) ? mt->subtype.Data1 : 0;
  for (const StandInCodec& c : codecs_)
    if (c.tag == tag) return CodecIdByName(c.ffmpegName);
  return 0;
}

IMediaModule* CModuleCodecFilter::ModuleFor(const AM_MEDIA_TYPE* mt) {
  std::lock_guard lock(filterLock_);
  const int32_t codec = CodecFor(mt);
  if (codec == 0) return nullptr;
  if (module_ && codec == moduleCodec_) return module_.Get();
  if (in_->IsConnected()) return nullptr;  // the connected codec stays
  if (module_) {
    module_->Close();
    module_.Reset();
  }
  CParamList params;
  params.SetInt("MAJORTYPE", audio_ ? CODEC_TYPE_AUDIO : CODEC_TYPE_VIDEO);
  params.SetInt("MINORTYPE", codec);
  params.SetInt("FIXEDCODEC", codecs_.empty() ? 0 : 1);
  module_.Reset(CFFMDecoder::Create(&params));
  if (!module_) return nullptr;
  moduleCodec_ = codec;
  module_->SetOutputCallback(0, &CModuleCodecFilter::FromModule, this);
  return module_.Get();
}

HRESULT CModuleCodecFilter::Pause() {
  std::lock_guard lock(filterLock_);
  if (State() == State_Stopped && module_) module_->Run();
  return CBaseFilter::Pause();
}

void CModuleCodecFilter::FlushModule() {
  IMediaModule* module = module_.Get();
  if (!module) return;
  // An empty discontinuous sample resets the module's codec.
  auto* marker = new CMediaSample(nullptr, nullptr, 0);
  marker->ResetForUse();
  marker->SetActualDataLength(0);
  marker->SetDiscontinuity(1);
  module->Receive(0, marker);
}

HRESULT CModuleCodecFilter::FromModule(IMediaSample* sample, void* context) {
  auto* self = static_cast<CModuleCodecFilter*>(context);
  if (!sample) {
    if (!self->endDelivered_.exchange(true)) self->out_->DeliverEndOfStream();
    return S_OK;
  }
  if (IsBlankSample(sample)) return S_OK;
  Ref<IMediaSample> owned(sample);
  // The module's own seek marker: the graph flushes instead.
  if (owned->GetActualDataLength() == 0 && owned->IsDiscontinuity() == S_OK) return S_OK;
  const HRESULT hr = self->out_->Deliver(owned.Get());
  owned.Reset();
  if (FAILED(hr)) self->lastDelivery_.store(hr);
  return S_OK;
}
