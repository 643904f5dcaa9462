// "VWATERMARK": lays a picture (a still or an animated GIF) over 4:2:0 or
// RGB24 frames where they lie, at a keypad placement or a position, in a time
// span, with a fade in and out.
// Results: the IVideoFilter answers (SetParams always 1).
#pragma once

#include <string>

#include "engine/modules/filters/overlay_image.h"
#include "engine/modules/filters/video_filter_base.h"

struct WatermarkSettings {
  std::string file;    // empty: no watermark
  double alpha = 1.0;  // limited to 0..1
  int32_t fadeIn = 0;  // ms; 0 (or less) = none
  int32_t fadeOut = 0;
  bool useStart = false;
  int32_t startTime = 0;  // seconds
  bool useEnd = false;
  int32_t endTime = 0;
  bool transparent = false;
  int32_t transColour = 0;  // 0x00BBGGRR
  int32_t posX = 0, posY = 0;
  int32_t align = 9;
  int32_t custom = 0;  // kept, not used

  void Read(CParamList* params);
  // Whether a frame at this start time (100-ns units) shows the picture.
  bool Shows(int64_t start) const;
  // The opacity of a frame at this start time, 0..alpha.
  double LevelAt(int64_t start) const;
};

class CWatermarkFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t SetFormat(const FrameFormat* format) override;
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList* params) override;

  bool Enabled() const { return enabled_; }
  const COverlayImageList& Images() const { return list_; }

 private:
  CWatermarkFilter() : CVideoFilterBase({kColourYuv420, kColourRgb24}) {}
  void Load();
  void Place();

  WatermarkSettings settings_;
  COverlayImageList list_;
  bool enabled_ = false;
  bool rgbPlanes_ = false;    // the pictures hold R, G, B (for RGB24 frames)
  bool loadPending_ = false;  // parameters came before the frame format
};
