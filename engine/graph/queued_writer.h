// CQueuedWriter: base of writers that interleave several inputs. Receive
// copies each sample into a bounded packet queue of its input pin; one writer
// thread drains the queues in the order the derived writer chooses
// (SelectPacket) and hands each packet to WritePacket. Uses no engine globals:
// plug-in writers may derive from it.
// Results: HRESULT operations answer S_OK or a failure code (E_INVALIDARG for a pin it lacks).
#pragma once

#include <atomic>
#include <cstdint>
#include <shared_mutex>
#include <thread>

#include "engine/graph/packet_queue.h"
#include "plugin-api/media_module.h"

class CQueuedWriter : public CWriterModule {
 public:
  static constexpr uint32_t kNoClock = 255;
  static constexpr uint32_t kClockVideo = 0;
  static constexpr uint32_t kClockAudio = 1;

  CQueuedWriter();

  // Creates the input queues (limits from GetQueueLimits) and starts the writer thread.
  HRESULT Run() override;
  // Receive drops samples from now on and flushes the queues; ends of stream still pass.
  HRESULT Stop() override;
  HRESULT Pause(int32_t pause) override;
  // Resets the pins, flags and clock; derived writers call it from their Open.
  HRESULT Open(CParamList* params) override;
  uint32_t GetInputPinCount() override;
  uint32_t GetOutputPinCount() override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  // 0 no input finished, 2 some, 3 all while the writer thread runs, 1 done.
  int32_t GetState() override;

  // One step of the writer thread: true when a packet was handled, false when none was ready.
  virtual bool ServiceOnce();
  // The next packet to write (the caller owns it) and its pin, or null soon
  // when nothing is ready. Takes packets from InputQueue(pin) and calls its
  // Signal afterwards so that a blocked producer goes on.
  virtual MediaPacket* SelectPacket(uint32_t* pin) = 0;
  // Writes one data packet; the base frees it afterwards.
  virtual HRESULT WritePacket(uint32_t pin, MediaPacket* packet) = 0;
  // The pin's end-of-stream packet was reached: marks the pin finished.
  virtual void EndOfInput(uint32_t pin);
  // Called once on the writer thread after every input finished.
  virtual HRESULT Finish();
  // true with new limits for the pin's queue; false keeps the defaults.
  virtual bool GetQueueLimits(uint32_t pin, int32_t* packetLimit, int64_t* byteLimit);

 protected:
  ~CQueuedWriter() override;

  // An input pin got its type: audio takes the clock while none is chosen,
  // video takes it unless a video pin has it.
  void NoteStreamType(uint32_t pin, const GUID& majorType);
  // The pin's queue while the writer runs (writer thread), else null.
  CPacketQueue* InputQueue(uint32_t pin) { return pin < kMaxInputPins ? queues_[pin] : nullptr; }
  bool Stopping() const { return stopping_.load() != 0; }
  // Ends the writer thread: at once when it is done, else it is told to give
  // up without Finish. Derived writers whose SelectPacket or WritePacket use
  // their own members call it from their destructor.
  void JoinWriterThread();

  uint32_t inputPinCount_ = 0;  // derived writers count the pins they add
  uint32_t clockPin_ = kNoClock;
  uint32_t clockKind_ = kNoClock;
  int32_t reserved_ = 0;

 private:
  void ThreadMain();
  void StopQueues();
  void DestroyQueues();

  std::atomic<int32_t> stopping_{0};
  std::thread writerThread_;
  std::shared_mutex queuesLock_;  // exclusive only to create or destroy the queues
  CPacketQueue* queues_[kMaxInputPins] = {};
  std::atomic<int32_t> eosReceived_[kMaxInputPins] = {};
  std::atomic<int32_t> finished_[kMaxInputPins] = {};
  std::atomic<int32_t> abort_{0};
  std::atomic<int32_t> threadDone_{0};
};
