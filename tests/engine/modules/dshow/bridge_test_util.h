// What reaches an engine delivery function from a sink pin, recorded; and
// samples made for pushing into a graph.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

#include "engine/modules/dshow/dshow_bridge.h"

namespace dsbridge {

struct Item {
  enum Kind { kSample, kEnd, kSegment } kind = kSample;
  LONG length = 0;
  bool discontinuity = false;
  HRESULT timed = VFW_E_SAMPLE_TIME_NOT_SET;
  int64_t start = 0;
  int64_t stop = 0;
  int firstByte = -1;
  std::vector<uint8_t> bytes;  // with keepBytes
  double rate = 0;
};

class Recorder {
 public:
  static HRESULT Deliver(IMediaSample* item, void* context) {
    auto* self = static_cast<Recorder*>(context);
    Item it;
    if (!item) {
      it.kind = Item::kEnd;
    } else if (const NewSegmentRecord* s = AsNewSegmentRecord(item)) {
      it.kind = Item::kSegment;
      it.start = s->start;
      it.stop = s->stop;
      it.rate = s->rate;
    } else if (IsBlankSample(item)) {
      return S_OK;
    } else {
      it.length = item->GetActualDataLength();
      it.discontinuity = item->IsDiscontinuity() == S_OK;
      it.timed = item->GetTime(&it.start, &it.stop);
      BYTE* data = nullptr;
      item->GetPointer(&data);
      if (data && it.length > 0) {
        it.firstByte = data[0];
        if (self->keepBytes) it.bytes.assign(data, data + it.length);
      }
      item->Release();
    }
    std::lock_guard lock(self->m_);
    self->items_.push_back(std::move(it));
    self->cv_.notify_all();
    return S_OK;
  }
  std::vector<Item> Items() {
    std::lock_guard lock(m_);
    return items_;
  }
  size_t Count(Item::Kind kind) {
    std::lock_guard lock(m_);
    size_t n = 0;
    for (const Item& i : items_) n += i.kind == kind;
    return n;
  }
  bool WaitFor(size_t n, int ms = 5000) {
    std::unique_lock lock(m_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return items_.size() >= n; });
  }
  void Clear() {
    std::lock_guard lock(m_);
    items_.clear();
  }
  bool keepBytes = false;

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<Item> items_;
};

// A committed system allocator of `count` buffers of `size` bytes (one reference).
inline IMemAllocator* MakeAllocator(LONG count, LONG size) {
  IMemAllocator* a = nullptr;
  CreateMemoryAllocator(&a);
  ALLOCATOR_PROPERTIES want{count, size, 1, 0}, got{};
  a->SetProperties(&want, &got);
  a->Commit();
  return a;
}

// A sample of `length` bytes all set to `fill`; start < 0: no time; stop < 0: start only.
inline IMediaSample* MakeSample(IMemAllocator* a, LONG length, int fill, int64_t start, int64_t stop = -1,
                                bool discontinuity = false) {
  IMediaSample* s = nullptr;
  if (a->GetBuffer(&s, nullptr, nullptr, 0) != S_OK) return nullptr;
  BYTE* p = nullptr;
  s->GetPointer(&p);
  if (length > 0) std::memset(p, fill, static_cast<size_t>(length));
  s->SetActualDataLength(length);
  if (start >= 0) {
    REFERENCE_TIME a0 = start, b0 = stop;
    s->SetTime(&a0, stop >= 0 ? &b0 : nullptr);
  }
  s->SetDiscontinuity(discontinuity ? 1 : 0);
  return s;
}

inline AM_MEDIA_TYPE VideoType(const GUID& subtype, int w, int h, bool fixed, ULONG sampleSize,
                               BYTE* block /* sizeof(VIDEOINFOHEADER) */) {
  AM_MEDIA_TYPE mt{};
  mt.majortype = MEDIATYPE_Video;
  mt.subtype = subtype;
  mt.formattype = FORMAT_VideoInfo;
  mt.bFixedSizeSamples = fixed ? 1 : 0;
  mt.lSampleSize = sampleSize;
  std::memset(block, 0, sizeof(VIDEOINFOHEADER));
  auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(block);
  vih->AvgTimePerFrame = 400000;
  vih->bmiHeader.biSize = 40;
  vih->bmiHeader.biWidth = w;
  vih->bmiHeader.biHeight = h;
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biBitCount = 12;
  vih->bmiHeader.biCompression = subtype.Data1;
  vih->bmiHeader.biSizeImage = static_cast<DWORD>(w * h * 3 / 2);
  mt.cbFormat = sizeof(VIDEOINFOHEADER);
  mt.pbFormat = block;
  return mt;
}

constexpr int64_t kSecond = 10000000;

}  // namespace dsbridge
