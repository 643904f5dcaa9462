// "VRECOLOR": converts frames between colour types with the FFmpeg family's scaler.
#pragma once

#include "engine/modules/ffmpeg/ffm_scaler.h"
#include "plugin-api/video_filter.h"

class CColorConvertFilter final : public IVideoFilter {
 public:
  static IVideoFilter* Create(CParamList* params);

  int32_t SetFormat(const FrameFormat* format) override;
  int32_t GetOutputFormat(FrameFormat* format) override;
  int32_t Start() override;
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList* params) override;
  int32_t Destroy() override;
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override { return 0; }

  // Output colour type directly (what "COLORTYPE" sets): 0, or E_FAIL outside 10..15.
  int32_t SetOutputColourType(int32_t colourType);

 private:
  CColorConvertFilter() = default;
  ~CColorConvertFilter() = default;

  FrameFormat input_{};
  FrameFormat output_{};
  CFrameScaler scaler_;
  // Colour types at Start: the scaler converts between these.
  int32_t startInType_ = 0;
  int32_t startOutType_ = 0;
};
