// CPassReader ("PASS", extension "passre"): the source of a merging process.
// Its output pins (VTRACK video pins of YV12, then ATRACK audio pins of 16-bit
// PCM) each read the block queue "PID%d_V%d" / "PID%d_A%d" named after this
// process, which the pass writers of conversion processes fill. Each
// end-of-segment message shifts the later samples of its stream by the
// segment's length, so consecutive conversions follow one another.
//
// Stop ends every stream after the messages already queued. A queue that
// cannot be created, or one found damaged, ends its stream and reports a
// source failure, so the job fails instead of waiting for samples that never come.
// Results: HRESULT operations answer S_OK, S_FALSE for a pin past the last, or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/xqueue.h"
#include "engine/modules/pass/pass_message.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

class CPassReader final : public CReaderModule {
 public:
  static constexpr uint32_t kMaxPins = 20;
  static constexpr uint32_t kQueueBlocks = 2;
  static constexpr uint32_t kNotifyWaitMs = 500;
  static constexpr uint32_t kPeekWaitMs = 1000;
  static constexpr uint32_t kStopWriteTries = 5000;

  // An opened reader, or null.
  static IMediaModule* Create(CParamList* params);

  // "VWIDTH", "VHEIGHT", "VFRAMERATEDEN", "VFRAMERATENUM", "ASAMPLERATE",
  // "ACHANNEL", "ATRACK", "VTRACK".
  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Stop() override;
  HRESULT Pause(int32_t pause) override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  HRESULT OpenFile(const char* path, int32_t option1, int32_t option2) override;
  HRESULT GetInfo(int64_t* duration, CParamList* info) override;
  HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) override;
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh, int32_t reserved) override;

  // The queue name of an output pin, named after this process.
  std::string QueueNameOf(uint32_t pin) const;

 private:
  struct Stream {
    uint32_t pin = 0;
    std::string name;
    CXQueue queue;
    bool created = false;
    std::vector<uint8_t> buffer;
    int64_t offset = 0;  // the sum of the finished segments' lengths
    std::atomic<bool> abandon{false};
    std::thread thread;
  };

  ~CPassReader() override;

  void StreamThread(Stream* stream);
  void DeliverMessage(Stream& stream, const pass::MessageHeader& header);
  void EndStreams();

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t frameRateDen_ = 0;
  int32_t frameRateNum_ = 0;
  int32_t sampleRate_ = 0;
  int32_t channels_ = 0;
  int32_t audioTracks_ = 0;
  int32_t videoTracks_ = 0;
  CMediaTypeArray outputTypes_;
  bool typeSet_[kMaxPins] = {};
  std::vector<std::unique_ptr<Stream>> streams_;
  std::atomic<bool> stopping_{false};
};
