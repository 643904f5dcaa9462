// CAudioMerger ("AMERGER"): regroups audio bytes into whole MPEG audio frames
// (with "MP3" set, for MPEG audio input) or into blocks of 1,024 PCM frames
// (with "PCM" set, for PCM input), each in its own buffer, with times counted
// from the frames delivered. It does not mix streams.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/modules/timing/timing_module.h"

class CAudioMerger final : public CTimingModule {
 public:
  static constexpr uint32_t kBufferBytes = 1156096;
  static constexpr uint32_t kBlockFrames = 1024;

  static IMediaModule* Create(CParamList* params);
  CAudioMerger() : CTimingModule(1) {}

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Close() override;
  // MPEG audio (MP3, MPEG-1 or MPEG-2 audio subtype) with "MP3" set, PCM
  // with "PCM" set; E_FAIL for anything else.
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;

  bool MpegMode() const { return mpeg_; }
  int64_t Position() const { return position_; }

 private:
  // Delivers every whole frame or block at the front of the buffer and moves
  // the rest to its start.
  HRESULT Consume();
  // End of stream: the PCM frames short of a whole block.
  HRESULT DeliverTail();
  HRESULT DeliverUnit(const uint8_t* data, uint32_t length, int64_t frames);

  bool wantPcm_ = false;
  bool wantMpeg_ = true;
  bool mpeg_ = false;
  PcmFormat format_;  // MPEG mode: only the rate
  int64_t position_ = 0;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t held_ = 0;
  bool rebase_ = false;
};
