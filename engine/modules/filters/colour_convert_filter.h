// "VRECOLOR": converts frames between colour types with libswscale.
#pragma once

#include <cstddef>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "plugin-api/video_filter.h"

struct SwsContext;

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
  ~CColorConvertFilter();

  FrameFormat input_{};
  FrameFormat output_{};
  SwsContext* sws_ = nullptr;
  AVPixelFormat inPixFmt_ = AV_PIX_FMT_NONE;
  AVPixelFormat outPixFmt_ = AV_PIX_FMT_NONE;
  bool inIsYuv_ = false;
  bool outIsYuv_ = false;
  // libswscale reads past the end of the last source row and writes past the
  // end of destination rows; it works between these padded frames instead.
  struct PaddedFrame {
    uint8_t* data = nullptr;
    size_t size = 0;
    uint8_t* plane[4] = {};
    int pitch[4] = {};
    int rows[4] = {};
  };
  static bool AllocPadded(PaddedFrame* frame, AVPixelFormat format, int width, int height, int align);
  static void FreePadded(PaddedFrame* frame);
  PaddedFrame src_;
  PaddedFrame dst_;
};
