// Small fake modules and a queued writer for the graph, queue and pump tests.
#pragma once

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/graph/queued_writer.h"
#include "engine/graph/stream_pump.h"
#include "plugin-api/media_module.h"

namespace fakes {

// Ordered record of calls across modules and threads.
class EventLog {
 public:
  void Add(const std::string& e) {
    std::lock_guard l(m_);
    events_.push_back(e);
  }
  std::vector<std::string> Events() {
    std::lock_guard l(m_);
    return events_;
  }
  void Clear() {
    std::lock_guard l(m_);
    events_.clear();
  }

 private:
  std::mutex m_;
  std::vector<std::string> events_;
};

inline EventLog& Log() {
  static EventLog log;
  return log;
}

inline std::atomic<int>& Destroyed() {
  static std::atomic<int> n{0};
  return n;
}

// Waits up to 10 s for pred; false on time-out.
template <class Pred>
bool WaitFor(Pred pred, int ms = 10000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The operations every fake answers alike.
#define FAKE_COMMON_SLOTS                                                                        \
  HRESULT SetParams(CParamList*) override { return 0; }                                          \
  HRESULT Open(CParamList*) override { return 0; }                                               \
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return 0; }           \
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; } \
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return 0; }          \
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }

// Reader with some output pins. Run starts one stream pump per output pin
// when pumps are asked for.
class Reader : public CReaderModule {
 public:
  Reader(std::string name, uint32_t outputs, bool pumps = false)
      : name_(std::move(name)), outputs_(outputs), pumps_(pumps) {
    std::memset(reg_, 0, sizeof reg_);
    std::snprintf(reg_ + 64, 64, "%s", name_.c_str());  // the tag follows the 64-character name
    SetRegistration(reg_);
  }
  FAKE_COMMON_SLOTS
  HRESULT Run() override {
    Log().Add("run:" + name_);
    if (pumps_) {
      for (uint32_t pin = 0; pin < outputs_; ++pin) {
        pump[pin] = new CStreamPump();
        if (pump[pin]->Start(this, pin, OutputAllocator(pin)) != S_OK) return E_FAIL;
      }
    }
    return 0;
  }
  HRESULT Stop() override {
    Log().Add("stop:" + name_);
    return 0;
  }
  HRESULT Pause(int32_t p) override {
    Log().Add("pause" + std::to_string(p) + ":" + name_);
    return 0;
  }
  HRESULT Close() override {
    Log().Add("close:" + name_);
    return 0;
  }
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return outputs_; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_INVALIDARG; }
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return 0; }
  HRESULT GetInfo(int64_t*, CParamList*) override { return 0; }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_INVALIDARG; }
  HRESULT Seek(uint32_t low, int32_t high, int32_t reserved) override {
    Log().Add("seek:" + name_ + ":" + std::to_string(low) + "," + std::to_string(high) + "," +
              std::to_string(reserved));
    return seekResult;
  }
  IMemAllocator* Allocator(uint32_t pin) const { return OutputAllocator(pin); }

  HRESULT seekResult = 0;
  CStreamPump* pump[kMaxOutputPins] = {};

 protected:
  ~Reader() override { ++Destroyed(); }

 private:
  std::string name_;
  uint32_t outputs_;
  bool pumps_;
  char reg_[128];
};

// One input, some outputs; passes samples on from its output pin 0.
class Transform : public CTransformModule {
 public:
  Transform(std::string name, uint32_t outputs = 1, bool acceptsBlank = false)
      : name_(std::move(name)), outputs_(outputs), acceptsBlank_(acceptsBlank) {}
  FAKE_COMMON_SLOTS
  HRESULT Run() override {
    Log().Add("run:" + name_);
    return 0;
  }
  HRESULT Stop() override {
    Log().Add("stop:" + name_);
    return 0;
  }
  HRESULT Close() override {
    Log().Add("close:" + name_);
    return 0;
  }
  uint32_t GetInputPinCount() override { return 1; }
  uint32_t GetOutputPinCount() override { return outputs_; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT Receive(uint32_t, IMediaSample* sample) override {
    if (IsBlankSample(sample)) {
      ++blanks;
      return 0;
    }
    sample ? ++samples : ++ends;
    return Deliver(0, sample);
  }
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** a) override {
    Log().Add("alloc:" + name_);
    return CTransformModule::GetInputAllocator(pin, a);
  }
  HRESULT GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES* p) override {
    *p = props;
    return 0;
  }
  int32_t AcceptsBlankSample() override { return acceptsBlank_; }
  IMemAllocator* Allocator(uint32_t pin) const { return OutputAllocator(pin); }

  ALLOCATOR_PROPERTIES props{2, 1000, 1, 0};
  std::atomic<int> samples{0}, ends{0}, blanks{0};

 protected:
  ~Transform() override { ++Destroyed(); }

 private:
  std::string name_;
  uint32_t outputs_;
  int32_t acceptsBlank_;
};

// Plain writer: counts what reaches each pin; its state is set by the test.
class Writer : public CWriterModule {
 public:
  Writer(std::string name, uint32_t inputs = 1, bool requirements = true)
      : name_(std::move(name)), inputs_(inputs), requirements_(requirements) {
    SetRegistration(name_.c_str());
  }
  FAKE_COMMON_SLOTS
  HRESULT Run() override {
    Log().Add("run:" + name_);
    return 0;
  }
  HRESULT Stop() override {
    Log().Add("stop:" + name_);
    return 0;
  }
  HRESULT Pause(int32_t p) override {
    Log().Add("pause" + std::to_string(p) + ":" + name_);
    return 0;
  }
  HRESULT Close() override {
    Log().Add("close:" + name_);
    return 0;
  }
  uint32_t GetInputPinCount() override { return inputs_; }
  uint32_t GetOutputPinCount() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override {
    if (IsBlankSample(sample)) {
      ++blanks;
      return 0;
    }
    if (!sample) {
      ++ends[pin];
      return 0;
    }
    ++samples[pin];
    sample->Release();
    return receiveResult;
  }
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** a) override {
    Log().Add("alloc:" + name_);
    return CWriterModule::GetInputAllocator(pin, a);
  }
  HRESULT GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES* p) override {
    if (!requirements_) return E_FAIL;
    *p = props;
    return 0;
  }
  int32_t GetState() override { return state.load(); }
  HRESULT SetOutput(const char*, const int32_t*) override { return 0; }
  HRESULT SetOutputOption(int32_t) override { return 0; }
  HRESULT CloseOutput() override {
    Log().Add("closeoutput:" + name_);
    return closeResult;
  }

  HRESULT closeResult = S_OK;
  ALLOCATOR_PROPERTIES props{3, 4000, 1, 0};
  std::atomic<int32_t> state{0};
  std::atomic<int> samples[4] = {}, ends[4] = {}, blanks{0};
  HRESULT receiveResult = 0;

 protected:
  ~Writer() override { ++Destroyed(); }

 private:
  std::string name_;
  uint32_t inputs_;
  bool requirements_;
};

struct WrittenPacket {
  uint32_t pin;
  int32_t flags;
  int64_t start, stop;
  std::vector<uint8_t> data;
};

// Queued writer serving its pins in turn. Test switches: hold (select
// nothing), finishGate (Finish waits while set), writeDelayMs.
class QueuedWriter : public CQueuedWriter {
 public:
  explicit QueuedWriter(std::string name = "Queued writer") : name_(std::move(name)) {
    Open(nullptr);
    SetRegistration(name_.c_str());
  }
  HRESULT SetParams(CParamList*) override { return 0; }
  HRESULT Close() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t) override {
    if (inputPinCount_ >= kMaxInputPins) return E_FAIL;
    NoteStreamType(inputPinCount_, type ? type->majortype : GUID{});
    ++inputPinCount_;
    return 0;
  }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return 0; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES* p) override {
    if (!requirements) return E_FAIL;
    *p = ALLOCATOR_PROPERTIES{4, 4096, 1, 0};
    return 0;
  }
  HRESULT SetOutput(const char*, const int32_t*) override { return 0; }
  HRESULT SetOutputOption(int32_t) override { return 0; }
  HRESULT CloseOutput() override { return 0; }

  MediaPacket* SelectPacket(uint32_t* pin) override {
    if (!hold.load()) {
      for (uint32_t i = 0; i < inputPinCount_; ++i) {
        uint32_t p = (next_ + i) % inputPinCount_;
        CPacketQueue* q = InputQueue(p);
        MediaPacket* packet = q ? q->Pop() : nullptr;
        if (!packet) continue;
        q->Signal();
        next_ = p + 1;
        *pin = p;
        return packet;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return nullptr;
  }
  HRESULT WritePacket(uint32_t pin, MediaPacket* p) override {
    if (writeDelayMs) std::this_thread::sleep_for(std::chrono::milliseconds(writeDelayMs));
    std::lock_guard l(m_);
    written_.push_back(
        WrittenPacket{pin, p->flags, p->start, p->stop, std::vector<uint8_t>(p->data, p->data + p->length)});
    return 0;
  }
  void EndOfInput(uint32_t pin) override {
    ++endsSeen;
    CQueuedWriter::EndOfInput(pin);
  }
  HRESULT Finish() override {
    while (finishGate.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ++finishes;
    return 0;
  }
  bool GetQueueLimits(uint32_t, int32_t* packets, int64_t* bytes) override {
    if (!packetLimit) return false;
    *packets = packetLimit;
    *bytes = byteLimit;
    return true;
  }

  std::vector<WrittenPacket> Written() {
    std::lock_guard l(m_);
    return written_;
  }
  CPacketQueue* Queue(uint32_t pin) { return InputQueue(pin); }
  uint32_t ClockPin() const { return clockPin_; }
  uint32_t ClockKind() const { return clockKind_; }

  std::atomic<bool> hold{false}, finishGate{false};
  std::atomic<int> endsSeen{0}, finishes{0};
  int writeDelayMs = 0;
  int32_t packetLimit = 0;
  int64_t byteLimit = 0;
  bool requirements = true;

 protected:
  ~QueuedWriter() override {
    JoinWriterThread();
    ++Destroyed();
  }

 private:
  std::string name_;
  std::mutex m_;
  std::vector<WrittenPacket> written_;
  uint32_t next_ = 0;
};

inline AM_MEDIA_TYPE MajorType(const GUID& major) {
  AM_MEDIA_TYPE t{};
  t.majortype = major;
  return t;
}

}  // namespace fakes
