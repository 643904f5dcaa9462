// CAudioFilterHost: the transform module that wraps one audio filter object
// (IAudioFilter): type negotiation, buffering input into 40-ms blocks, output
// samples from the output pin's allocator, time stamps and draining.
// Results: HRESULT operations answer S_OK or a failure code (the filter's own when it refuses).
#pragma once

#include <cstdint>
#include <memory>

#include "plugin-api/audio_filter.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

class CAudioFilterHost final : public CSingleTransformModule {
 public:
  // Bytes of input the host holds at most.
  static constexpr uint32_t kWorkBufferBytes = 384000;

  // Creates and opens a host for the filter factory in "FNAF"; null when
  // there is no factory or it makes no filter.
  static IMediaModule* Create(CParamList* params);

  CAudioFilterHost() = default;

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;

  IAudioFilter* Filter() const { return filter_; }
  uint32_t InputBlock() const { return inputBlock_; }
  uint32_t InputChunkLimit() const { return chunkLimit_; }

 protected:
  ~CAudioFilterHost() override;

 private:
  // Appends bytes to the work buffer, running the filter whenever it fills.
  HRESULT Append(const uint8_t* data, uint32_t length);
  // Hands whole input blocks to the filter while enough are held.
  HRESULT FilterLoop();
  // One Process call on `length` bytes from the front of the work buffer into
  // a new output sample, delivered when it holds data. written receives the
  // bytes the filter produced.
  HRESULT ProcessInto(uint32_t length, uint32_t* written, bool* refused);
  HRESULT Drain();
  void Consume(uint32_t length);
  uint32_t OutputFrameBytes() const;

  std::unique_ptr<uint8_t[]> work_;
  uint32_t held_ = 0;
  uint32_t chunkLimit_ = 0;
  uint32_t inputBlock_ = 0;
  uint32_t inputFrameBytes_ = 0;
  AudioFilterFactory factory_ = nullptr;
  IAudioFilter* filter_ = nullptr;
  AudioFormat output_{};
  AudioBuffer in_{};
  AudioBuffer out_{};
  bool timePending_ = false;
  int64_t position_ = 0;  // output sample frames
};
