#include "platform/dshow/base_renderer.h"

class CBaseRenderer::InputPin final : public CBaseInputPin {
 public:
  InputPin(CBaseRenderer* owner, std::recursive_mutex* lock, const WCHAR* name)
      : CBaseInputPin(owner, lock, name), owner_(owner) {}

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return owner_->CheckMediaType(mt); }
  HRESULT SetMediaType(const AM_MEDIA_TYPE* mt) override { return owner_->SetMediaType(mt); }
  HRESULT Receive(IMediaSample* sample) override {
    const HRESULT hr = CBaseInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    return owner_->ReceiveSample(sample);
  }
  HRESULT EndOfStream() override {
    const HRESULT hr = CBaseInputPin::EndOfStream();
    if (hr != S_OK) return hr;
    return owner_->ReceiveEndOfStream();
  }
  HRESULT BeginFlush() override {
    CBaseInputPin::BeginFlush();
    owner_->Flushing(true);
    return S_OK;
  }
  HRESULT EndFlush() override {
    owner_->Flushing(false);
    return CBaseInputPin::EndFlush();
  }
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override {
    CBasePin::NewSegment(start, stop, rate);
    owner_->OnNewSegment(start, stop, rate);
    return S_OK;
  }

 private:
  CBaseRenderer* owner_;
};

CBaseRenderer::CBaseRenderer(const CLSID& clsid, const WCHAR* pinName)
    : CBaseFilter(clsid, &filterLock_), pin_(new InputPin(this, &filterLock_, pinName)) {}

CBaseRenderer::~CBaseRenderer() { delete pin_; }

CBasePin* CBaseRenderer::GetPin(int32_t index) { return index == 0 ? pin_ : nullptr; }

HRESULT CBaseRenderer::NonDelegatingQuery(REFIID iid, void** out) {
  if (iid == IID_IMediaSeeking || iid == IID_IMediaPosition)
    return position_.Query(static_cast<IBaseFilter*>(this), pin_, iid, out);
  return CBaseFilter::NonDelegatingQuery(iid, out);
}

HRESULT CBaseRenderer::Stop() {
  const HRESULT hr = CBaseFilter::Stop();
  std::lock_guard lock(waitLock_);
  eos_ = false;
  completeSent_ = false;
  firstSeen_ = false;
  wake_.notify_all();  // a held sample gives up now
  return hr;
}

HRESULT CBaseRenderer::Pause() {
  const HRESULT hr = CBaseFilter::Pause();
  std::lock_guard lock(waitLock_);
  wake_.notify_all();
  return hr;
}

HRESULT CBaseRenderer::Run(REFERENCE_TIME start) {
  const HRESULT hr = CBaseFilter::Run(start);
  std::lock_guard lock(waitLock_);
  if (eos_) SendCompleteLocked();
  wake_.notify_all();
  return hr;
}

void CBaseRenderer::SendCompleteLocked() {
  if (completeSent_) return;
  completeSent_ = true;
  NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)));
}

HRESULT CBaseRenderer::ReceiveSample(IMediaSample* sample) {
  {
    std::unique_lock lock(waitLock_);
    if (eos_) return VFW_E_SAMPLE_REJECTED_EOS;
    if (!firstSeen_) {
      firstSeen_ = true;
      OnReceiveFirstSample(sample);
    }
    // Paused: the sample waits for the run (or a stop or flush).
    wake_.wait(lock, [this] { return State() != State_Paused || pin_->IsFlushing(); });
    if (State() == State_Stopped) return VFW_E_WRONG_STATE;
    if (pin_->IsFlushing()) return S_FALSE;
  }
  const HRESULT hr = DoRenderSample(sample);
  rendered_.fetch_add(1);
  return hr;
}

HRESULT CBaseRenderer::ReceiveEndOfStream() {
  OnEndOfStream();
  std::lock_guard lock(waitLock_);
  eos_ = true;
  if (State() == State_Running) SendCompleteLocked();
  return S_OK;
}

void CBaseRenderer::Flushing(bool begin) {
  OnFlush(begin);
  std::lock_guard lock(waitLock_);
  if (!begin) {
    eos_ = false;
    completeSent_ = false;
    firstSeen_ = false;
  }
  wake_.notify_all();
}

bool CBaseRenderer::EndOfStreamSeen() const {
  std::lock_guard lock(waitLock_);
  return eos_;
}
