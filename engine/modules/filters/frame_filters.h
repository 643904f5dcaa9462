// Filters that leave the picture's pixels to others: frame-rate restamping
// ("VREFPS"), deinterlacing ("VDEINT") and frame capture into the control
// block ("VCAPTURE"). All work where the frame lies.
// Results: the IVideoFilter answers; SetParams of "VREFPS" answers
// E_INVALIDARG for a rate that is not positive.
#pragma once

#include "engine/modules/ffmpeg/ffm_deinterlacer.h"
#include "engine/modules/filters/video_filter_base.h"

// Stamps frame n at n x DSTFPSNUM / DSTFPSDEN seconds, whatever it carried.
class CFrameRateFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Start() override;
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList* params) override;

  // Start time of frame n, in 100-ns units.
  static int64_t FrameTime(int64_t n, uint32_t num, uint32_t den);

 private:
  CFrameRateFilter() = default;
  int64_t frame_ = 0;
};

class CDeinterlaceFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList*) override { return kInPlaceMode; }

 private:
  CDeinterlaceFilter() : CVideoFilterBase({kColourYuv420}) {}
  CFrameDeinterlacer deinterlacer_;
  bool failed_ = false;  // the deinterlacer could not be made: frames pass as they are
};

// Copies each frame into the control block's frame area unless the front end
// holds the frame lock; frames larger than the area are not captured.
class CCaptureFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Start() override;
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList*) override { return kInPlaceMode; }

  // Bytes one captured frame takes in the frame area: 4:2:0 as w x h, then
  // (w/2) x (h/2) twice; RGB24 as 3w x h. 0 for another colour type.
  static int64_t CapturedBytes(const FrameFormat& format);

 private:
  CCaptureFilter() : CVideoFilterBase({kColourYuv420, kColourRgb24}) {}
  uint8_t* control_ = nullptr;  // taken at Start; null: nothing is captured
};
