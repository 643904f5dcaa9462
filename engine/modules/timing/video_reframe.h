// Frame-rate modules. CVideoReframe ("VREFRAME") brings raw video to a
// constant rate by dropping and repeating frames; CVideoChangeFrame
// ("VCHANGEFRAME") restamps every frame at a new rate without dropping any.
// The rate is a frame duration FRAMENUM / FRAMEDEN seconds.
// Results: HRESULT operations answer S_OK or a failure code; a refused input
// type gives MODULE_E_NO_TYPE.
#pragma once

#include <cstdint>

#include "engine/modules/timing/timing_module.h"

// Start of output frame n at the frame duration num / den seconds (100-ns units).
int64_t FrameStartTime(int64_t n, int32_t num, int32_t den);

// The common part: the rate, the output frame index and the copies.
class CFrameRateModule : public CTimingModule {
 public:
  HRESULT Open(CParamList* params) override;
  HRESULT SetParams(CParamList* params) override;
  // The input type with AvgTimePerFrame replaced by the new frame duration.
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;

  int32_t FrameNum() const { return frameNum_; }
  int32_t FrameDen() const { return frameDen_; }
  int64_t OutputIndex() const { return index_; }

 protected:
  CFrameRateModule(int32_t defaultDen, bool mpegBlocks)
      : CTimingModule(2), defaultDen_(defaultDen), mpeg_(mpegBlocks) {}

  bool HasRate() const { return frameNum_ > 0 && frameDen_ > 0; }
  int64_t Duration() const { return HasRate() ? int64_t(frameNum_) * kTimeUnitsPerSecond / frameDen_ : 0; }
  int64_t StartOf(int64_t n) const { return FrameStartTime(n, frameNum_, frameDen_); }
  // Delivers a copy of the sample stamped T(n) to T(n) + 1 ms and advances n;
  // without a rate the copy keeps the sample's own times.
  HRESULT DeliverCopyAtNext(IMediaSample* sample);
  // Called after the rate changes.
  virtual void RateChanged() {}

  int64_t index_ = 0;  // output frame n

 private:
  int32_t frameNum_ = 0;
  int32_t frameDen_ = 0;
  int32_t defaultDen_;
  bool mpeg_;  // AvgTimePerFrame also in MPEG-1 and MPEG-2 video format blocks
};

class CVideoReframe final : public CFrameRateModule {
 public:
  static IMediaModule* Create(CParamList* params);
  CVideoReframe() : CFrameRateModule(25, false) {}

  HRESULT Open(CParamList* params) override;
  // Logs the drop and duplicate counts.
  HRESULT Close() override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  // Video, a raw picture subtype and VideoInfo or VideoInfo2 (always when testing).
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;

  int32_t Drops() const { return drops_; }
  int32_t Duplicates() const { return duplicates_; }
  double EarlyFactor() const { return early_; }
  double LateFactor() const { return late_; }
  int64_t InputFrameDuration() const { return inputDuration_; }

 private:
  void RateChanged() override;

  int64_t inputDuration_ = 0;
  double early_ = 1.0;
  double late_ = 0.5;
  int32_t drops_ = 0;
  int32_t duplicates_ = 0;
  bool dropping_ = false;
  bool closed_ = false;
};

class CVideoChangeFrame final : public CFrameRateModule {
 public:
  static IMediaModule* Create(CParamList* params);
  CVideoChangeFrame() : CFrameRateModule(24, true) {}

  // Any video type.
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
};
