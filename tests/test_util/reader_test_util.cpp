#include "tests/test_util/reader_test_util.h"

#include <gtest/gtest.h>

#include "plugin-api/media_type_helpers.h"

SampleCollector::SampleCollector(uint32_t pins) : got_(pins), ended_(pins, 0) {
  for (uint32_t i = 0; i < pins; ++i) pins_.push_back(Pin{this, i});
}

HRESULT SampleCollector::Deliver(IMediaSample* sample, void* context) {
  auto* pin = static_cast<Pin*>(context);
  return pin->owner->Take(pin->index, sample);
}

HRESULT SampleCollector::Take(uint32_t pin, IMediaSample* sample) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    gateCv_.wait(lock, [&] { return gateOpen_; });
  }
  ReceivedSample r;
  if (sample) {
    REFERENCE_TIME start = 0, stop = 0;
    r.timed = sample->GetTime(&start, &stop) == S_OK;
    r.start = start;
    LONGLONG ms = 0, me = 0;
    r.hasDecode = sample->GetMediaTime(&ms, &me) == S_OK;
    r.decode = ms;
    r.discontinuity = sample->IsDiscontinuity() == S_OK;
    r.sync = sample->IsSyncPoint() == S_OK;
    r.preroll = sample->IsPreroll() == S_OK;
    r.length = sample->GetActualDataLength();
    sample->Release();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (sample) {
    if (ended_[pin]) lateSamples_++;
    got_[pin].push_back(r);
    if (r.Marker() && onMarker_) onMarker_();
  } else {
    ended_[pin]++;
  }
  cv_.notify_all();
  return S_OK;
}

bool SampleCollector::WaitEnded(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, timeout, [&] {
    for (int e : ended_)
      if (!e) return false;
    return true;
  });
}

void SampleCollector::SetGate(bool open) {
  std::lock_guard<std::mutex> lock(mutex_);
  gateOpen_ = open;
  gateCv_.notify_all();
}

std::vector<ReceivedSample> SampleCollector::Got(uint32_t pin) {
  std::lock_guard<std::mutex> lock(mutex_);
  return got_[pin];
}

int SampleCollector::Ended(uint32_t pin) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_[pin];
}

int SampleCollector::LateSamples() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lateSamples_;
}

std::unique_ptr<SampleCollector> WireAllOutputs(IMediaModule* reader, std::vector<IMemAllocator*>& allocators,
                                                const std::string& trace) {
  const uint32_t pins = reader->GetOutputPinCount();
  auto collector = std::make_unique<SampleCollector>(pins);
  for (uint32_t i = 0; i < pins; ++i) {
    AM_MEDIA_TYPE mt;
    InitMediaType(&mt);
    EXPECT_EQ(reader->GetOutputType(i, 0, &mt), S_OK) << trace << " pin " << i;
    EXPECT_EQ(reader->SetOutputType(i, &mt, 0), S_OK);
    ClearMediaTypeFormat(&mt);
    IMemAllocator* a = nullptr;
    EXPECT_EQ(CreateMemoryAllocator(&a), S_OK);
    ALLOCATOR_PROPERTIES req{4, 4 << 20, 1, 0}, act{};
    a->SetProperties(&req, &act);
    a->Commit();
    allocators.push_back(a);
    reader->SetOutputAllocator(i, a);
    reader->SetOutputCallback(i, SampleCollector::Deliver, collector->Context(i));
  }
  return collector;
}
