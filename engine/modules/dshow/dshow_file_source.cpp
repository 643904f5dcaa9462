#include "engine/modules/dshow/dshow_file_source.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "engine/graph/source_failure.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/diagnostics.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr int64_t kUnits = 10000000;

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

// IMediaSeeking of one pin: positions through the filter, which repositions
// every pin when the first connected pin asks.
class CFileSourceFilter::PinSeeking final : public IMediaSeeking {
 public:
  PinSeeking(CFileSourceFilter* owner, StreamPin* pin) : owner_(owner), pin_(pin) {}

  HRESULT QueryInterface(REFIID iid, void** out) override;
  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT GetCapabilities(DWORD* c) override {
    if (!c) return E_POINTER;
    *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards | AM_SEEKING_CanSeekBackwards |
         AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;
    return S_OK;
  }
  HRESULT CheckCapabilities(DWORD* c) override {
    if (!c) return E_POINTER;
    DWORD have = 0;
    GetCapabilities(&have);
    const DWORD wanted = *c;
    *c &= have;
    return *c == wanted ? S_OK : (*c ? S_FALSE : E_FAIL);
  }
  HRESULT IsFormatSupported(const GUID* f) override {
    if (!f) return E_POINTER;
    return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
  }
  HRESULT QueryPreferredFormat(GUID* f) override { return GetTimeFormat(f); }
  HRESULT GetTimeFormat(GUID* f) override {
    if (!f) return E_POINTER;
    *f = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  }
  HRESULT IsUsingTimeFormat(const GUID* f) override { return IsFormatSupported(f); }
  HRESULT SetTimeFormat(const GUID* f) override {
    if (!f) return E_POINTER;
    return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG;
  }
  HRESULT GetDuration(LONGLONG* d) override {
    if (!d) return E_POINTER;
    *d = owner_->Duration();
    return *d > 0 ? S_OK : E_FAIL;
  }
  HRESULT GetStopPosition(LONGLONG* s) override { return GetDuration(s); }
  HRESULT GetCurrentPosition(LONGLONG* c) override {
    if (!c) return E_POINTER;
    *c = owner_->position_.load();
    return S_OK;
  }
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* tf, LONGLONG source, const GUID* sf) override {
    if (!target) return E_POINTER;
    if ((tf && *tf != TIME_FORMAT_MEDIA_TIME) || (sf && *sf != TIME_FORMAT_MEDIA_TIME)) return E_INVALIDARG;
    *target = source;
    return S_OK;
  }
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) override {
    const DWORD how = currentFlags & AM_SEEKING_PositioningBitsMask;
    if (!current || how == AM_SEEKING_NoPositioning) return S_OK;
    int64_t target = *current;
    if (how == AM_SEEKING_RelativePositioning) target += owner_->position_.load();
    if (how != AM_SEEKING_AbsolutePositioning && how != AM_SEEKING_RelativePositioning) return E_INVALIDARG;
    if (target < 0) target = 0;
    // Every pin of the filter is asked through its own renderer: the first one repositions them all.
    if (!owner_->IsMasterPin(pin_)) return S_OK;
    return owner_->Seek(pin_, target);
  }
  HRESULT GetPositions(LONGLONG* c, LONGLONG* s) override {
    if (c) GetCurrentPosition(c);
    return s ? GetStopPosition(s) : S_OK;
  }
  HRESULT GetAvailable(LONGLONG* e, LONGLONG* l) override {
    if (e) *e = 0;
    return l ? GetDuration(l) : S_OK;
  }
  HRESULT SetRate(double rate) override { return rate == 1.0 ? S_OK : E_INVALIDARG; }
  HRESULT GetRate(double* rate) override {
    if (!rate) return E_POINTER;
    *rate = 1.0;
    return S_OK;
  }
  HRESULT GetPreroll(LONGLONG* p) override {
    if (!p) return E_POINTER;
    *p = 0;
    return S_OK;
  }

 private:
  CFileSourceFilter* owner_;
  StreamPin* pin_;
};

class CFileSourceFilter::StreamPin final : public CSourceStream {
 public:
  StreamPin(CFileSourceFilter* owner, int32_t stream, const AM_MEDIA_TYPE& type, const WCHAR* name, int32_t bufferSize)
      : CSourceStream(owner, &owner->filterLock_, name),
        owner_(owner),
        stream_(stream),
        bufferSize_(bufferSize),
        seeking_(owner, this) {
    DsCopyMediaType(&type_, &type);
  }
  ~StreamPin() override {
    StopThread();
    DsFreeMediaType(&type_);
  }

  int32_t Stream() const { return stream_; }
  bool Stopping() const { return StopRequested(); }
  // After a seek: what was read ahead goes, the next sample is discontinuous.
  void Reposition() {
    hasPending_ = false;
    discontinuity_ = true;
  }

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
    return mt->majortype == type_.majortype && mt->subtype == type_.subtype && mt->formattype == type_.formattype
               ? S_OK
               : S_FALSE;
  }
  HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return DsCopyMediaType(mt, &type_) ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
    ALLOCATOR_PROPERTIES want{std::max<LONG>(request->cBuffers, 4), std::max<LONG>(request->cbBuffer, bufferSize_),
                              std::max<LONG>(request->cbAlign, 1), request->cbPrefix};
    ALLOCATOR_PROPERTIES actual{};
    return allocator->SetProperties(&want, &actual);
  }
  HRESULT Active() override {
    owner_->SetWanted(stream_, true);
    discontinuity_ = true;
    return CSourceStream::Active();
  }
  HRESULT Inactive() override {
    const HRESULT hr = CSourceStream::Inactive();
    owner_->SetWanted(stream_, false);
    return hr;
  }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
    if (iid == IID_IMediaSeeking) {
      AddRef();
      *out = static_cast<IMediaSeeking*>(&seeking_);
      return S_OK;
    }
    return CSourceStream::NonDelegatingQuery(iid, out);
  }

 protected:
  HRESULT PrepareNext() override {
    if (hasPending_) return S_OK;
    const HRESULT hr = owner_->NextPacket(stream_, &pending_, this);
    hasPending_ = hr == S_OK;
    return hr;
  }
  HRESULT FillBuffer(IMediaSample* sample) override {
    hasPending_ = false;
    BYTE* buffer = nullptr;
    if (sample->GetPointer(&buffer) != S_OK || !buffer) return E_FAIL;
    LONG length = static_cast<LONG>(pending_.data.size());
    if (length > sample->GetSize()) {
      Diag(DiagLevel::kWarning, "a packet of %d bytes was cut to its buffer's %d bytes", static_cast<int>(length),
           static_cast<int>(sample->GetSize()));
      length = sample->GetSize();
    }
    if (length > 0) std::memcpy(buffer, pending_.data.data(), static_cast<size_t>(length));
    sample->SetActualDataLength(length);
    REFERENCE_TIME start = pending_.start;
    sample->SetTime(pending_.timed ? &start : nullptr, nullptr);
    LONGLONG decode = pending_.decode;
    sample->SetMediaTime(pending_.decodeTimed ? &decode : nullptr, pending_.decodeTimed ? &decode : nullptr);
    sample->SetSyncPoint(pending_.key ? 1 : 0);
    sample->SetDiscontinuity(discontinuity_ ? 1 : 0);
    discontinuity_ = false;
    if (pending_.timed) owner_->position_.store(pending_.start);
    return S_OK;
  }

 private:
  // Counts on the pin (and so on the filter).
  friend class PinSeeking;
  CFileSourceFilter* owner_;
  int32_t stream_;
  int32_t bufferSize_;
  AM_MEDIA_TYPE type_{};
  Packet pending_;
  bool hasPending_ = false;
  bool discontinuity_ = true;
  PinSeeking seeking_;
};

HRESULT CFileSourceFilter::PinSeeking::QueryInterface(REFIID iid, void** out) { return pin_->QueryInterface(iid, out); }
ULONG CFileSourceFilter::PinSeeking::AddRef() { return pin_->AddRef(); }
// The count is the pin's: passed through.
ULONG CFileSourceFilter::PinSeeking::Release() { return pin_->Release(); }

CFileSourceFilter::CFileSourceFilter(const CLSID& clsid) : CBaseFilter(clsid, &filterLock_) {}

CFileSourceFilter::~CFileSourceFilter() {
  for (StreamPin* pin : pins_) delete pin;
}

HRESULT CFileSourceFilter::NonDelegatingQuery(REFIID iid, void** out) {
  if (iid == IID_IFileSourceFilter) {
    AddRef();
    *out = static_cast<IFileSourceFilter*>(this);
    return S_OK;
  }
  return CBaseFilter::NonDelegatingQuery(iid, out);
}

int32_t CFileSourceFilter::GetPinCount() {
  std::lock_guard lock(filterLock_);
  return static_cast<int32_t>(pins_.size());
}

CBasePin* CFileSourceFilter::GetPin(int32_t index) {
  std::lock_guard lock(filterLock_);
  return index >= 0 && index < static_cast<int32_t>(pins_.size()) ? pins_[static_cast<size_t>(index)] : nullptr;
}

HRESULT CFileSourceFilter::Pause() {
  std::lock_guard lock(filterLock_);
  if (State() == State_Stopped)
    for (StreamPin* p : pins_)
      if (p->IsConnected()) SetWanted(p->Stream(), true);
  return CBaseFilter::Pause();
}

HRESULT CFileSourceFilter::Load(const WCHAR* fileName, const AM_MEDIA_TYPE*) {
  if (!fileName) return E_POINTER;
  std::lock_guard lock(filterLock_);
  if (demuxer_.IsOpen() || !pins_.empty()) return E_UNEXPECTED;
  const std::string path = DsNarrow(fileName);
  if (!IsProtocolUrl(path.c_str()) && !IsRegularFile(FilePathOfUrl(path.c_str()))) return VFW_E_NOT_FOUND;
  if (demuxer_.Open(path.c_str()) < 0 || demuxer_.FindStreamInfo() < 0) {
    demuxer_.Close();
    return VFW_E_UNKNOWN_FILE_TYPE;
  }
  const int64_t start = demuxer_.StartTimeMicroseconds();
  startOffset_ = start == kNoTimestamp ? 0 : start * 10;
  const int count = demuxer_.StreamCount();
  streams_.assign(static_cast<size_t>(count), FFStreamDesc());
  for (int i = 0; i < count; ++i) {
    FFStreamDesc& desc = streams_[static_cast<size_t>(i)];
    if (!demuxer_.GetStream(i, &desc)) continue;
    const bool video = desc.codec.codec_type == CODEC_TYPE_VIDEO;
    if (!video && desc.codec.codec_type != CODEC_TYPE_AUDIO) continue;
    // Audio FFmpeg found no rate or channels for (a file that merely
    // resembles a format) gets no pin.
    if (!video && (desc.codec.sample_rate <= 0 || desc.codec.channels <= 0)) continue;
    if (RawPictureBeyondBound(desc.codec)) {
      Diag(DiagLevel::kError, "the source \"%s\" declares uncompressed pictures of %dx%d, too large to be read",
           path.c_str(), desc.codec.width, desc.codec.height);
      for (StreamPin* pin : pins_) delete pin;
      pins_.clear();
      demuxer_.Close();
      return VFW_E_UNKNOWN_FILE_TYPE;
    }
    CodecContext ctx = desc.codec;
    if (video && ctx.time_base.num <= 0 && desc.frameRate.num > 0)
      ctx.time_base = FFRational{desc.frameRate.den, desc.frameRate.num};
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    if (CodecContextToMediaType(&ctx, &mt)) {
      char name[32];
      std::snprintf(name, sizeof name, "%s %d", video ? "Video" : "Audio", i);
      const std::u16string wide = DsWide(name);
      // Room for the largest packet: a whole picture, or a generous audio frame.
      const int32_t picture = PictureBufferSize(0, std::max(ctx.width, 16), std::max(ctx.height, 16));
      const int32_t buffer = video ? std::max(picture * 2, 1 << 20) : 1 << 18;
      pins_.push_back(new StreamPin(this, i, mt, wide.c_str(), buffer));
    }
    ClearMediaTypeFormat(&mt);
  }
  if (pins_.empty()) {
    demuxer_.Close();
    return VFW_E_NO_TYPES;
  }
  queues_.assign(static_cast<size_t>(count), std::deque<Packet>());
  wanted_.assign(static_cast<size_t>(count), false);
  rawGuards_.assign(static_cast<size_t>(count), CRawPictureGuard());
  for (int i = 0; i < count; ++i) rawGuards_[static_cast<size_t>(i)].Reset(streams_[static_cast<size_t>(i)]);
  file_ = fileName;
  return S_OK;
}

HRESULT CFileSourceFilter::GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE* mt) {
  if (!fileName) return E_POINTER;
  std::lock_guard lock(filterLock_);
  *fileName = DsTaskString(file_.c_str());
  if (mt) *mt = AM_MEDIA_TYPE{};
  return *fileName ? S_OK : E_OUTOFMEMORY;
}

int64_t CFileSourceFilter::ToUnits(int64_t ts, FFRational base) const {
  if (base.den <= 0) return 0;
  const __int128 v = static_cast<__int128>(ts) * base.num * kUnits / base.den;
  return static_cast<int64_t>(v) - startOffset_;
}

int64_t CFileSourceFilter::Duration() const {
  const int64_t us = demuxer_.DurationMicroseconds();
  return us == kNoTimestamp ? 0 : us * 10;
}

void CFileSourceFilter::SetWanted(int32_t stream, bool wanted) {
  std::lock_guard lock(demuxLock_);
  if (stream < 0 || static_cast<size_t>(stream) >= wanted_.size()) return;
  wanted_[static_cast<size_t>(stream)] = wanted;
  if (!wanted) {
    for (const Packet& p : queues_[static_cast<size_t>(stream)]) queuedBytes_ -= p.data.size();
    queues_[static_cast<size_t>(stream)].clear();
    drained_.notify_all();
  }
}

HRESULT CFileSourceFilter::NextPacket(int32_t stream, Packet* out, const StreamPin* pin) {
  std::unique_lock lock(demuxLock_);
  std::deque<Packet>& mine = queues_[static_cast<size_t>(stream)];
  FFPacket packet;
  for (;;) {
    if (!mine.empty()) {
      *out = std::move(mine.front());
      mine.pop_front();
      queuedBytes_ -= out->data.size();
      drained_.notify_all();
      return S_OK;
    }
    if (endOfInput_) return readError_ ? E_FAIL : S_FALSE;
    if (pin->Stopping()) return S_FALSE;
    if (queuedBytes_ > kMaxQueuedBytes) {
      // The other pins must take their packets first.
      drained_.wait_for(lock, std::chrono::milliseconds(10));
      continue;
    }
    const int err = demuxer_.ReadPacket(&packet);
    if (err < 0) {
      endOfInput_ = true;
      if (!IsEndOfInput(err)) {
        readError_ = err;
        Diag(DiagLevel::kWarning, "read error in \"%s\": %s; the source ends there", DsNarrow(file_.c_str()).c_str(),
             FFErrorText(err).c_str());
      }
      CheckDeclaredEnd();
      drained_.notify_all();
      continue;
    }
    const int index = packet.streamIndex();
    if (index < 0 || static_cast<size_t>(index) >= wanted_.size() || !wanted_[static_cast<size_t>(index)]) {
      packet.Unref();
      continue;
    }
    const FFStreamDesc& desc = streams_[static_cast<size_t>(index)];
    const CRawPictureGuard::Verdict verdict =
        rawGuards_[static_cast<size_t>(index)].Check(packet.size(), DsNarrow(file_.c_str()));
    if (verdict != CRawPictureGuard::Verdict::kPass) {
      packet.Unref();
      if (verdict == CRawPictureGuard::Verdict::kRefuse) continue;
      ReportSourceReadFailure();
      endOfInput_ = true;
      drained_.notify_all();
      continue;
    }
    Packet p;
    p.data.assign(packet.data(), packet.data() + std::max(packet.size(), 0));
    const int64_t pts = packet.pts() != kNoTimestamp ? packet.pts() : packet.dts();
    p.timed = pts != kNoTimestamp;
    if (p.timed) p.start = ToUnits(pts, desc.timeBase);
    p.decodeTimed = packet.dts() != kNoTimestamp;
    if (p.decodeTimed) p.decode = ToUnits(packet.dts(), desc.timeBase);
    p.key = packet.keyFrame();
    if (p.timed) {
      const int64_t end = p.start + ToUnits(packet.duration(), desc.timeBase) + startOffset_;
      if (reachedEnd_ == kNoTimestamp || end > reachedEnd_) reachedEnd_ = end;
    }
    packet.Unref();
    queuedBytes_ += p.data.size();
    queues_[static_cast<size_t>(index)].push_back(std::move(p));
  }
}

void CFileSourceFilter::CheckDeclaredEnd() {
  std::vector<const FFStreamDesc*> streams;
  for (size_t i = 0; i < streams_.size(); ++i)
    if (wanted_[i]) streams.push_back(&streams_[i]);
  const std::string path = DsNarrow(file_.c_str());
  if (streams.empty() || IsProtocolUrl(path.c_str())) return;
  ReportShortSource(path, segmentStart_ + startOffset_, reachedEnd_, DeclaredSourceEnd(demuxer_, path, streams),
                    startOffset_);
}

bool CFileSourceFilter::IsMasterPin(const StreamPin* pin) {
  std::lock_guard lock(filterLock_);
  for (StreamPin* p : pins_)
    if (p->IsConnected()) return p == pin;
  return false;
}

HRESULT CFileSourceFilter::Seek(StreamPin*, int64_t target) {
  std::lock_guard seek(seekLock_);
  std::lock_guard lock(filterLock_);  // no state change while the threads are repositioned
  std::vector<StreamPin*> pins;
  for (StreamPin* p : pins_)
    if (p->IsConnected()) pins.push_back(p);
  for (StreamPin* p : pins) p->DeliverBeginFlush();
  for (StreamPin* p : pins) p->StopThread();
  int err = 0;
  {
    std::lock_guard demux(demuxLock_);
    err = demuxer_.SeekBackward((target + startOffset_) / 10);
    if (err == 0) {
      for (std::deque<Packet>& q : queues_) q.clear();
      queuedBytes_ = 0;
      endOfInput_ = false;
      readError_ = 0;
      reachedEnd_ = kNoTimestamp;
      segmentStart_ = target;
    }
  }
  if (err == 0) {
    position_.store(target);
    for (StreamPin* p : pins) p->Reposition();
  }
  for (StreamPin* p : pins) {
    p->DeliverEndFlush();
    if (err == 0) p->DeliverNewSegment(target, Duration(), 1.0);
  }
  for (StreamPin* p : pins) p->ResumeThread();
  return err == 0 ? S_OK : E_FAIL;
}
