// CAudioDelay ("ADELAY"): delays PCM audio by DELAY seconds of silence in
// front of it, or advances it by skipping that much of its start when DELAY is
// negative. Output times count the delivered frames from 0.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "engine/modules/timing/timing_module.h"

class CAudioDelay final : public CTimingModule {
 public:
  static IMediaModule* Create(CParamList* params);
  CAudioDelay() : CTimingModule(1) {}

  HRESULT SetParams(CParamList* params) override;
  // Audio PCM only (E_FAIL otherwise).
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;

  // Frames still to insert (positive) or to skip (negative).
  int64_t Pending() const { return pending_; }
  int64_t Position() const { return position_; }

 private:
  void UpdatePending();
  HRESULT DeliverData(const uint8_t* data, uint32_t length);
  HRESULT InsertSilence();

  double delay_ = 0;  // seconds
  bool delaySet_ = false;
  PcmFormat format_;
  int64_t pending_ = 0;
  int64_t position_ = 0;  // sample frames delivered
  bool started_ = false;
};
