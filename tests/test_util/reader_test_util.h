// Helpers shared by the reader tests: a collector standing in for the module
// downstream of a reader, and the wiring of every reader output to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/mem_allocator.h"
#include "plugin-api/module_interfaces.h"

// What one delivered sample carried.
struct ReceivedSample {
  int64_t start = 0;
  bool timed = false;
  bool hasDecode = false;
  int64_t decode = 0;
  bool discontinuity = false;
  bool sync = false;
  bool preroll = false;
  long length = 0;

  // An empty discontinuity sample: the reader's cut or seek marker.
  bool Marker() const { return discontinuity && length == 0; }
};

// Collects what each output pin delivers. A closed gate holds delivery back, as
// a busy downstream module would.
class SampleCollector {
 public:
  struct Pin {
    SampleCollector* owner;
    uint32_t index;
  };

  explicit SampleCollector(uint32_t pins);

  static HRESULT Deliver(IMediaSample* sample, void* context);
  HRESULT Take(uint32_t pin, IMediaSample* sample);

  bool WaitEnded(std::chrono::milliseconds timeout);
  void SetGate(bool open);
  std::vector<ReceivedSample> Got(uint32_t pin);
  int Ended(uint32_t pin);
  // Samples delivered on a pin after its end of stream.
  int LateSamples();
  // Called (from the delivering thread) on every marker sample.
  void OnMarker(std::function<void()> f) { onMarker_ = std::move(f); }
  Pin* Context(uint32_t pin) { return &pins_[pin]; }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::condition_variable gateCv_;
  bool gateOpen_ = true;
  std::vector<std::vector<ReceivedSample>> got_;
  std::vector<int> ended_;
  std::vector<Pin> pins_;
  int lateSamples_ = 0;
  std::function<void()> onMarker_;
};

// Enables every output of an opened reader with its first offered type and a
// committed allocator, delivering to a new collector. The allocators are
// appended to `allocators`; the caller releases them. `trace` prefixes failures.
std::unique_ptr<SampleCollector> WireAllOutputs(IMediaModule* reader, std::vector<IMemAllocator*>& allocators,
                                                const std::string& trace = "");
