// Small filters over the layer's base classes for its tests: a source with
// one streaming thread per pin, a pass-through transform, and a renderer
// that records what reaches it (and may keep its samples).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/base_renderer.h"
#include "platform/dshow/position_passthru.h"
#include "platform/dshow/source_stream.h"

namespace dstest {

inline const GUID kTypeA = FourccGuid(MakeFourcc('T', 'S', 'T', 'A'));
inline const GUID kTypeB = FourccGuid(MakeFourcc('T', 'S', 'T', 'B'));
inline const GUID kTypeC = FourccGuid(MakeFourcc('T', 'S', 'T', 'C'));
constexpr REFERENCE_TIME kFrame = 400000;  // 40 ms

inline AM_MEDIA_TYPE MakeType(const GUID& subtype, const GUID& major = MEDIATYPE_Video) {
  AM_MEDIA_TYPE mt{};
  mt.majortype = major;
  mt.subtype = subtype;
  mt.formattype = FORMAT_None;
  mt.bFixedSizeSamples = 1;
  mt.lSampleSize = 64;
  return mt;
}

// Source: pins give `frames` samples of 64 bytes each, numbered in their
// first byte, 40 ms apart; it seeks (flush, new segment, new position).
class TestSource : public CBaseFilter, public IFileSourceFilter, public IMediaSeeking {
 public:
  class Pin : public CSourceStream {
   public:
    Pin(TestSource* owner, const WCHAR* name, GUID subtype)
        : CSourceStream(owner, &owner->lock_, name), owner_(owner), subtype_(subtype) {}
    ~Pin() override { StopThread(); }
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
      return mt->majortype == MEDIATYPE_Video && mt->subtype == subtype_ ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      if (position < 0) return E_INVALIDARG;
      if (position > 0) return VFW_S_NO_MORE_ITEMS;
      *mt = MakeType(subtype_);
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
      seenRequest = *request;
      if (owner_->refuseBuffers) return E_FAIL;
      ALLOCATOR_PROPERTIES want{std::max<LONG>(request->cBuffers, owner_->buffers),
                                std::max<LONG>(request->cbBuffer, 64), std::max<LONG>(request->cbAlign, 1), 0};
      ALLOCATOR_PROPERTIES actual{};
      const HRESULT hr = allocator->SetProperties(&want, &actual);
      grantedBuffers = actual.cBuffers;
      return hr;
    }
    HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
      if (iid == IID_IMediaSeeking) {
        owner_->AddRef();
        *out = static_cast<IMediaSeeking*>(owner_);
        return S_OK;
      }
      return CSourceStream::NonDelegatingQuery(iid, out);
    }
    void OnThreadStart() override { owner_->threadsStarted.fetch_add(1); }
    HRESULT FillBuffer(IMediaSample* sample) override {
      const int32_t n = next_.load();
      if (owner_->failAt >= 0 && n == owner_->failAt) return E_UNEXPECTED;
      if (n >= owner_->frames) return S_FALSE;
      next_.store(n + 1);
      BYTE* data = nullptr;
      sample->GetPointer(&data);
      std::memset(data, 0, 64);
      data[0] = static_cast<BYTE>(n);
      sample->SetActualDataLength(64);
      REFERENCE_TIME start = n * kFrame, stop = start + kFrame;
      sample->SetTime(&start, &stop);
      sample->SetSyncPoint(1);
      filled.fetch_add(1);
      return S_OK;
    }
    void SeekTo(int32_t frame) { next_.store(frame); }

    ALLOCATOR_PROPERTIES seenRequest{};
    LONG grantedBuffers = 0;
    std::atomic<int32_t> filled{0};

   private:
    TestSource* owner_;
    GUID subtype_;
    std::atomic<int32_t> next_{0};
  };

  explicit TestSource(int pins = 1, GUID subtype = kTypeA) : CBaseFilter(kClsid, &lock_) {
    for (int i = 0; i < pins; ++i) {
      const std::u16string name = i == 0 ? u"Out" : u"Out" + DsWide(std::to_string(i).c_str());
      pins_.push_back(new Pin(this, name.c_str(), subtype));
    }
  }
  ~TestSource() override {
    for (Pin* p : pins_) delete p;
  }
  static constexpr CLSID kClsid = {0x7E570001, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

  HRESULT QueryInterface(REFIID iid, void** out) override { return CBaseFilter::QueryInterface(iid, out); }
  ULONG AddRef() override { return CBaseFilter::AddRef(); }
  ULONG Release() override { return CBaseFilter::Release(); }
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
    if (iid == IID_IFileSourceFilter) {
      AddRef();
      *out = static_cast<IFileSourceFilter*>(this);
      return S_OK;
    }
    if (iid == IID_IMediaSeeking) {
      AddRef();
      *out = static_cast<IMediaSeeking*>(this);
      return S_OK;
    }
    return CBaseFilter::NonDelegatingQuery(iid, out);
  }
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }
  int32_t GetPinCount() override { return static_cast<int32_t>(pins_.size()); }
  CBasePin* GetPin(int32_t i) override { return i >= 0 && i < GetPinCount() ? pins_[i] : nullptr; }
  Pin* OutPin(int i = 0) { return pins_[i]; }

  // IFileSourceFilter: names containing "bad" are refused.
  HRESULT Load(const WCHAR* fileName, const AM_MEDIA_TYPE*) override {
    file = DsNarrow(fileName);
    return file.find("bad") == std::string::npos ? S_OK : VFW_E_UNKNOWN_FILE_TYPE;
  }
  HRESULT GetCurFile(WCHAR** fileName, AM_MEDIA_TYPE*) override {
    const std::u16string w = DsWide(file.c_str());
    *fileName = DsTaskString(w.c_str());
    return S_OK;
  }

  // IMediaSeeking: absolute positions in 100 ns.
  HRESULT GetCapabilities(DWORD* c) override {
    *c = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration | AM_SEEKING_CanSeekForwards |
         AM_SEEKING_CanSeekBackwards;
    return S_OK;
  }
  HRESULT CheckCapabilities(DWORD*) override { return S_OK; }
  HRESULT IsFormatSupported(const GUID* f) override { return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE; }
  HRESULT QueryPreferredFormat(GUID* f) override {
    *f = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
  }
  HRESULT GetTimeFormat(GUID* f) override { return QueryPreferredFormat(f); }
  HRESULT IsUsingTimeFormat(const GUID* f) override { return IsFormatSupported(f); }
  HRESULT SetTimeFormat(const GUID* f) override { return *f == TIME_FORMAT_MEDIA_TIME ? S_OK : E_INVALIDARG; }
  HRESULT GetDuration(LONGLONG* d) override {
    *d = frames * kFrame;
    return S_OK;
  }
  HRESULT GetStopPosition(LONGLONG* s) override { return GetDuration(s); }
  HRESULT GetCurrentPosition(LONGLONG* c) override {
    *c = 0;
    return S_OK;
  }
  HRESULT ConvertTimeFormat(LONGLONG*, const GUID*, LONGLONG, const GUID*) override { return E_NOTIMPL; }
  HRESULT SetPositions(LONGLONG* current, DWORD flags, LONGLONG*, DWORD) override {
    if (!current || (flags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_AbsolutePositioning) return S_OK;
    seeks.fetch_add(1);
    const int32_t frame = static_cast<int32_t>(*current / kFrame);
    for (Pin* p : pins_) {
      if (!p->IsConnected()) continue;
      p->DeliverBeginFlush();
      p->RestartThread([&] {
        p->SeekTo(frame);
        p->DeliverEndFlush();
        p->DeliverNewSegment(*current, frames * kFrame, 1.0);
      });
    }
    return S_OK;
  }
  HRESULT GetPositions(LONGLONG* c, LONGLONG* s) override {
    if (c) *c = 0;
    if (s) *s = frames * kFrame;
    return S_OK;
  }
  HRESULT GetAvailable(LONGLONG* e, LONGLONG* l) override {
    if (e) *e = 0;
    if (l) *l = frames * kFrame;
    return S_OK;
  }
  HRESULT SetRate(double) override { return S_OK; }
  HRESULT GetRate(double* r) override {
    *r = 1;
    return S_OK;
  }
  HRESULT GetPreroll(LONGLONG* p) override {
    *p = 0;
    return S_OK;
  }

  int32_t frames = 10;
  int32_t failAt = -1;
  LONG buffers = 2;
  bool refuseBuffers = false;
  std::string file;
  std::atomic<int32_t> threadsStarted{0};
  std::atomic<int32_t> seeks{0};

 private:
  std::recursive_mutex lock_;
  std::vector<Pin*> pins_;
};

// Transform: takes `in`, gives `out`, copying each sample into its own buffer.
class TestTransform : public CBaseFilter {
 public:
  class InPin : public CBaseInputPin {
   public:
    InPin(TestTransform* owner) : CBaseInputPin(owner, &owner->lock_, u"In"), owner_(owner) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return mt->subtype == owner_->in_ ? S_OK : S_FALSE; }
    HRESULT Receive(IMediaSample* sample) override {
      const HRESULT hr = CBaseInputPin::Receive(sample);
      if (hr != S_OK) return hr;
      IMediaSample* copy = nullptr;
      if (owner_->out_pin_.GetDeliveryBuffer(&copy, nullptr, nullptr, 0) != S_OK) return E_FAIL;
      BYTE *from = nullptr, *to = nullptr;
      sample->GetPointer(&from);
      copy->GetPointer(&to);
      const LONG n = std::min(sample->GetActualDataLength(), copy->GetSize());
      std::memcpy(to, from, static_cast<size_t>(n));
      copy->SetActualDataLength(n);
      REFERENCE_TIME start = 0, stop = 0;
      if (sample->GetTime(&start, &stop) == S_OK) copy->SetTime(&start, &stop);
      const HRESULT delivered = owner_->out_pin_.Deliver(copy);
      copy->Release();
      return delivered;
    }
    HRESULT EndOfStream() override { return owner_->out_pin_.DeliverEndOfStream(); }
    HRESULT BeginFlush() override {
      CBaseInputPin::BeginFlush();
      return owner_->out_pin_.DeliverBeginFlush();
    }
    HRESULT EndFlush() override {
      CBaseInputPin::EndFlush();
      return owner_->out_pin_.DeliverEndFlush();
    }
    HRESULT NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double r) override {
      CBasePin::NewSegment(a, b, r);
      return owner_->out_pin_.DeliverNewSegment(a, b, r);
    }

   private:
    TestTransform* owner_;
  };
  class OutPin : public CBaseOutputPin {
   public:
    OutPin(TestTransform* owner) : CBaseOutputPin(owner, &owner->lock_, u"Out"), owner_(owner) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override { return mt->subtype == owner_->out_ ? S_OK : S_FALSE; }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      if (position < 0) return E_INVALIDARG;
      if (position > 0) return VFW_S_NO_MORE_ITEMS;
      *mt = MakeType(owner_->out_);
      return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
      ALLOCATOR_PROPERTIES want{std::max<LONG>(request->cBuffers, 2), 64, 1, 0}, actual{};
      return allocator->SetProperties(&want, &actual);
    }
    HRESULT NonDelegatingQuery(REFIID iid, void** out) override {
      if (iid == IID_IMediaSeeking || iid == IID_IMediaPosition)
        return owner_->position_.Query(static_cast<IPin*>(this), &owner_->in_pin_, iid, out);
      return CBaseOutputPin::NonDelegatingQuery(iid, out);
    }

   private:
    TestTransform* owner_;
  };

  TestTransform(GUID in = kTypeA, GUID out = kTypeB)
      : CBaseFilter(kClsid, &lock_), in_(in), out_(out), in_pin_(this), out_pin_(this) {}
  static constexpr CLSID kClsid = {0x7E570002, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
  int32_t GetPinCount() override { return 2; }
  CBasePin* GetPin(int32_t i) override {
    return i == 0 ? static_cast<CBasePin*>(&in_pin_) : i == 1 ? static_cast<CBasePin*>(&out_pin_) : nullptr;
  }

 private:
  std::recursive_mutex lock_;
  GUID in_;
  GUID out_;
  CPassThruHolder position_;
  InPin in_pin_;
  OutPin out_pin_;
};

// Renderer: records what comes; with `keep` it holds every sample it gets.
class TestRenderer : public CBaseRenderer {
 public:
  explicit TestRenderer(GUID accepts = kTypeB) : CBaseRenderer(kClsid, u"In"), accepts_(accepts) {}
  ~TestRenderer() override { ReleaseKept(); }
  static constexpr CLSID kClsid = {0x7E570003, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};

  HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
    return accepts_ == GUID_NULL || mt->subtype == accepts_ ? S_OK : S_FALSE;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    std::lock_guard lock(m_);
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    firstBytes.push_back(data[0]);
    REFERENCE_TIME a = 0, b = 0;
    starts.push_back(sample->GetTime(&a, &b) == S_OK ? a : -1);
    if (keep) {
      sample->AddRef();
      kept.push_back(sample);
    }
    cv_.notify_all();
    return S_OK;
  }
  void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) override {
    std::lock_guard lock(m_);
    segments.push_back(start);
  }
  void OnFlush(bool begin) override { (begin ? beginFlushes : endFlushes).fetch_add(1); }
  void OnEndOfStream() override { eos.fetch_add(1); }
  std::vector<REFERENCE_TIME> Segments() {
    std::lock_guard lock(m_);
    return segments;
  }
  void ReleaseKept() {
    std::vector<IMediaSample*> list;
    {
      std::lock_guard lock(m_);
      list.swap(kept);
    }
    for (IMediaSample* s : list) s->Release();
  }
  size_t Count() {
    std::lock_guard lock(m_);
    return firstBytes.size();
  }
  bool WaitForCount(size_t n, int ms = 5000) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return firstBytes.size() >= n; });
  }
  std::vector<int> Bytes() {
    std::lock_guard lock(m_);
    return firstBytes;
  }
  std::vector<REFERENCE_TIME> Starts() {
    std::lock_guard lock(m_);
    return starts;
  }

  bool keep = false;
  std::atomic<int> beginFlushes{0};
  std::atomic<int> endFlushes{0};
  std::atomic<int> eos{0};

 private:
  GUID accepts_;
  std::vector<REFERENCE_TIME> segments;
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<int> firstBytes;
  std::vector<REFERENCE_TIME> starts;
  std::vector<IMediaSample*> kept;
};

// A new filter with one reference.
template <class T, class... Args>
T* Make(Args&&... args) {
  T* f = new T(std::forward<Args>(args)...);
  f->AddRef();
  return f;
}

}  // namespace dstest
