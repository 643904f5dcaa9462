// EchoFilter: a configurable transform for the coder tests. It takes the
// subtypes it is told, offers a list of output types, records what reaches
// its input, and copies each sample to its output (unless told to swallow).
#pragma once

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/base_filter.h"

namespace echo {

struct Config {
  std::vector<GUID> inputs;   // subtypes the input takes
  std::vector<GUID> outputs;  // output types offered, in order
  const char16_t* inName = u"In";
  const char16_t* outName = u"Out";
  int outputPins = 1;
  bool requirements = false;  // input asks for 3 x 4096, alignment 16
  bool swallowSamples = false;
  bool swallowEnd = false;
};

struct Received {
  LONG length;
  bool discontinuity;
  std::vector<uint8_t> bytes;
};

struct Log {
  std::mutex m;
  std::vector<Received> samples;
  int ends = 0;
  std::vector<REFERENCE_TIME> segments;
};

inline Config& TheConfig() {
  static Config c;
  return c;
}
inline Log& TheLog() {
  static Log l;
  return l;
}
inline void Reset(Config c) {
  TheConfig() = std::move(c);
  Log& l = TheLog();
  std::lock_guard lock(l.m);
  l.samples.clear();
  l.ends = 0;
  l.segments.clear();
}

inline AM_MEDIA_TYPE OutputType(const GUID& subtype, BYTE* block) {
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = subtype;
  mt.formattype = FORMAT_VideoInfo;
  std::memset(block, 0, sizeof(VIDEOINFOHEADER));
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(block);
  vih->bmiHeader.biSize = 40;
  vih->bmiHeader.biWidth = 16;
  vih->bmiHeader.biHeight = 16;
  vih->bmiHeader.biCompression = subtype.Data1;
  mt.cbFormat = sizeof(VIDEOINFOHEADER);
  mt.pbFormat = block;
  return mt;
}

class EchoFilter final : public CBaseFilter {
 public:
  static constexpr CLSID kClsid = {0x7E57EC40, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};

  class In final : public CBaseInputPin {
   public:
    In(EchoFilter* f) : CBaseInputPin(f, &f->lock_, TheConfig().inName), f_(f) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
      const auto& ins = TheConfig().inputs;
      return std::find(ins.begin(), ins.end(), mt->subtype) != ins.end() ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      const auto& ins = TheConfig().inputs;
      if (position < 0) return E_INVALIDARG;
      if (position >= static_cast<int32_t>(ins.size())) return VFW_S_NO_MORE_ITEMS;
      BYTE block[sizeof(VIDEOINFOHEADER)];
      AM_MEDIA_TYPE t = OutputType(ins[static_cast<size_t>(position)], block);
      return DsCopyMediaType(mt, &t) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* p) override {
      if (!TheConfig().requirements) return E_NOTIMPL;
      *p = ALLOCATOR_PROPERTIES{3, 4096, 16, 0};
      return S_OK;
    }
    HRESULT Receive(IMediaSample* s) override {
      const HRESULT hr = CBaseInputPin::Receive(s);
      if (hr != S_OK) return hr;
      BYTE* data = nullptr;
      s->GetPointer(&data);
      Received r{s->GetActualDataLength(), s->IsDiscontinuity() == S_OK, {}};
      if (r.length > 0) r.bytes.assign(data, data + r.length);
      {
        std::lock_guard lock(TheLog().m);
        TheLog().samples.push_back(r);
      }
      if (TheConfig().swallowSamples) return S_OK;
      IMediaSample* out = nullptr;
      if (f_->out_[0]->GetDeliveryBuffer(&out, nullptr, nullptr, 0) != S_OK) return E_FAIL;
      BYTE* to = nullptr;
      out->GetPointer(&to);
      const LONG n = std::min(r.length, out->GetSize());
      if (n > 0) std::memcpy(to, data, static_cast<size_t>(n));
      out->SetActualDataLength(n);
      REFERENCE_TIME a = 0, b = 0;
      if (s->GetTime(&a, &b) == S_OK) out->SetTime(&a, &b);
      const HRESULT delivered = f_->out_[0]->Deliver(out);
      out->Release();
      return delivered;
    }
    HRESULT EndOfStream() override {
      {
        std::lock_guard lock(TheLog().m);
        ++TheLog().ends;
      }
      return TheConfig().swallowEnd ? S_OK : f_->out_[0]->DeliverEndOfStream();
    }
    HRESULT NewSegment(REFERENCE_TIME a, REFERENCE_TIME b, double r) override {
      {
        std::lock_guard lock(TheLog().m);
        TheLog().segments.push_back(a);
      }
      return f_->out_[0]->DeliverNewSegment(a, b, r);
    }

   private:
    EchoFilter* f_;
  };

  class Out final : public CBaseOutputPin {
   public:
    Out(EchoFilter* f, const char16_t* name) : CBaseOutputPin(f, &f->lock_, name) {}
    HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) override {
      const auto& outs = TheConfig().outputs;
      return std::find(outs.begin(), outs.end(), mt->subtype) != outs.end() ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int32_t position, AM_MEDIA_TYPE* mt) override {
      const auto& outs = TheConfig().outputs;
      if (position < 0) return E_INVALIDARG;
      if (position >= static_cast<int32_t>(outs.size())) return VFW_S_NO_MORE_ITEMS;
      BYTE block[sizeof(VIDEOINFOHEADER)];
      AM_MEDIA_TYPE t = OutputType(outs[static_cast<size_t>(position)], block);
      return DsCopyMediaType(mt, &t) ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* request) override {
      ALLOCATOR_PROPERTIES want{std::max<LONG>(request->cBuffers, 1), std::max<LONG>(request->cbBuffer, 1 << 20), 1, 0},
          got{};
      return a->SetProperties(&want, &got);
    }
  };

  EchoFilter() : CBaseFilter(kClsid, &lock_), in_(this) {
    for (int i = 0; i < TheConfig().outputPins; ++i) out_.push_back(new Out(this, TheConfig().outName));
  }
  ~EchoFilter() override {
    for (Out* o : out_) delete o;
  }
  int32_t GetPinCount() override { return 1 + static_cast<int32_t>(out_.size()); }
  CBasePin* GetPin(int32_t i) override {
    if (i == 0) return &in_;
    if (i > 0 && i <= static_cast<int32_t>(out_.size())) return out_[static_cast<size_t>(i - 1)];
    return nullptr;
  }

 private:
  std::recursive_mutex lock_;
  In in_;
  std::vector<Out*> out_;
};

// The "FILTERFUNC" of the tests.
inline IBaseFilter* Make() {
  auto* f = new EchoFilter();
  f->AddRef();
  return f;
}

}  // namespace echo
