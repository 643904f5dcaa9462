// Filters that write a new 4:2:0 frame from the old one: vertical flip
// ("VFLIPVERTICAL", and "TEST", the same flip), horizontal mirror
// ("VFLIPHORIZONTAL") and grey scale ("VGREYSCALE").
// Results: the IVideoFilter answers.
#pragma once

#include "engine/modules/filters/video_filter_base.h"

class CFlipVerticalFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList*) override { return kCopyMode; }

 private:
  CFlipVerticalFilter() : CVideoFilterBase({kColourYuv420}) {}
};

class CFlipHorizontalFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList*) override { return kCopyMode; }

 private:
  CFlipHorizontalFilter() : CVideoFilterBase({kColourYuv420}) {}
};

class CGreyscaleFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList*) override { return kCopyMode; }

 private:
  CGreyscaleFilter() : CVideoFilterBase({kColourYuv420}) {}
};
