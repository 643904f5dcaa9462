// CAudioNormalize ("ANORMALIZE"): evens out the loudness of 16-bit PCM. Input
// is gathered into blocks of up to 96,000 bytes; each block is scaled so that
// its peak would reach full scale, the gain falling at once and rising by at
// most 20 % per block, never above 32,767 / 3,276.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/modules/timing/timing_module.h"

class CAudioNormalize final : public CTimingModule {
 public:
  static constexpr uint32_t kBufferBytes = 96000;

  static IMediaModule* Create(CParamList* params);
  CAudioNormalize() : CTimingModule(1) {}

  HRESULT Run() override;
  HRESULT Close() override;
  // Audio PCM of 16 bits per sample only (E_FAIL otherwise).
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;

  double Gain() const { return gain_; }
  int64_t Position() const { return position_; }

 private:
  // Scales and delivers the buffered block; the gain moves on.
  HRESULT Flush();

  PcmFormat format_;
  int64_t position_ = 0;  // sample frames delivered
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t held_ = 0;
  double gain_ = 1.0;
  bool rebase_ = false;
};
