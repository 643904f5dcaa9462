// CMediaRange ("SDELAY", audio and video): cuts a stream to the time range
// STARTTM..STOPTM (seconds; STOPTM 0 = no end) and moves it to start at 0.
// Works in place: upstream writes into the downstream module's buffers
// through a forwarding allocator.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "engine/graph/forwarding_allocator.h"
#include "engine/modules/timing/timing_module.h"

class CMediaRange final : public CTimingModule {
 public:
  static IMediaModule* Create(CParamList* params);
  CMediaRange() : CTimingModule(1) {}

  HRESULT SetParams(CParamList* params) override;
  HRESULT Close() override;
  // Any type; with RAWVIDEO set only YV12, I420, RGB24, RGB32, YUY2 and YUYV video.
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) override;
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  // Those of the output allocator.
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;

  int64_t StartTime() const { return start_; }
  int64_t StopTime() const { return stop_; }

 protected:
  ~CMediaRange() override;

 private:
  int64_t start_ = 0;  // 100-ns units
  int64_t stop_ = 0;   // 0: no end
  bool rawVideo_ = false;
  Ref<CForwardingAllocator> forwarder_;
};
