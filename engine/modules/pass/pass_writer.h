// CPassWriter ("BUFWR"): the writer of a conversion process whose output goes
// to a merging process. Each input pin (YV12 video or PCM audio) writes its
// samples into the block queue "PID%d_V%d" / "PID%d_A%d" of the merging
// process "PID". When every input has ended, each pin pads its stream with
// black frames or silence to the end of the longest one, moved on to a whole
// video frame, and sends an end-of-segment message there, so the next
// conversion's samples follow on.
//
// A queue that cannot be opened, or a merging process that has gone, ends the
// writer at once: it reports itself finished and CloseOutput answers
// E_PASS_QUEUE_FAILED.
// Results: HRESULT operations answer S_OK, S_FALSE for a refused pin or type, or a failure code.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/xqueue.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

// The merging process's queues could not be opened, or it ended while we wrote.
constexpr HRESULT E_PASS_QUEUE_FAILED = MakeHResult(0x8007001Du);

class CPassWriter final : public CWriterModule {
 public:
  static constexpr uint32_t kMaxPins = 20;
  static constexpr int kOpenTries = 100;
  static constexpr int kOpenRetryMs = 100;
  static constexpr int kEndPollMs = 300;

  // An opened writer, or null.
  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList* params) override;  // "PID"
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override;
  uint32_t GetOutputPinCount() override { return 0; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  // 1 every pin done (or the writer failed), 2 some, 0 none.
  int32_t GetState() override;
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t option) override;
  // Ends the pin threads and closes the queues; E_PASS_QUEUE_FAILED after a failure.
  HRESULT CloseOutput() override;

  // Tests: how long Run keeps trying to open a queue.
  void SetOpenRetry(int tries, int milliseconds);
  int64_t EndTime(uint32_t pin);

 private:
  struct Pin {
    bool video = false;
    int32_t width = 0;
    int32_t height = 0;
    int64_t frameDuration = 0;
    int32_t sampleRate = 0;
    int32_t channels = 0;
    std::string queueName;
    std::unique_ptr<CXQueue> queue;
    std::vector<uint8_t> buffer;  // one message: header, sample, trailer
    int32_t capacity = 0;
    std::atomic<bool> queueOpen{false};
    std::atomic<bool> ended{false};
    std::atomic<bool> done{false};
    int64_t endTime = 0;  // under the module lock
    std::thread thread;
  };

  ~CPassWriter() override;

  void PinThread(uint32_t index);
  // The latest end time of the pins, moved on to a frame boundary of the
  // first video pin; under the module lock.
  int64_t SegmentEnd() const;
  // Pads the pin to the segment's end; false when a write failed.
  bool Pad(uint32_t index);
  // One filling step: true once every pin has ended and this one is padded.
  bool Fill(uint32_t index);
  bool AllEnded() const;
  // Writes one message; callers hold queuesLock_ shared.
  bool Send(Pin& pin, const uint8_t* message, uint32_t size);
  void Fail(const Pin& pin, XQueueResult result);
  void StopThreads();

  int32_t processId_ = 0;
  uint32_t pinCount_ = 0;
  std::unique_ptr<Pin> pins_[kMaxPins];
  CMediaTypeArray inputTypes_;
  int openTries_ = kOpenTries;
  int openRetryMs_ = kOpenRetryMs;
  std::atomic<bool> failed_{false};
  std::shared_mutex queuesLock_;  // shared while writing, exclusive to close the queues
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool closing_ = false;  // under wakeLock_
};
