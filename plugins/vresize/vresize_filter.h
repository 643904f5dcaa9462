// "VRESIZE": crops bands off the source, scales what is left into the picture
// rectangle of the output frame and fills the pads around it.
// Results: the filter answers as IVideoFilter says; the geometry S_OK or E_INVALIDARG.
#pragma once

#include <cstdint>

#include "plugin-api/video_filter.h"

struct SwsContext;

// The parameter keys, as the front end writes them.
struct VResizeSettings {
  int32_t width = 0;  // output frame; 0 keeps the cropped source size plus pads
  int32_t height = 0;
  int32_t leftBand = 0, rightBand = 0, topBand = 0, bottomBand = 0;
  int32_t leftPad = 0, rightPad = 0, topPad = 0, bottomPad = 0;
  bool hasPadColour = false;
  uint32_t padColour = 0;  // 0x00BBGGRR
  int32_t scaleMode = 0;   // how the front end laid the frame out; not used here
};

// The settings applied to one source size.
struct VResizeGeometry {
  int32_t frameWidth, frameHeight;     // output frame
  int32_t cropX, cropY, cropW, cropH;  // source rectangle
  int32_t picX, picY, picW, picH;      // where it lands in the frame
};

// 0 and the geometry, or E_INVALIDARG when the bands or pads leave no picture,
// a value is negative or the frame would be too large.
int32_t ComputeVResizeGeometry(const VResizeSettings& s, int32_t srcWidth, int32_t srcHeight, VResizeGeometry* g);

// Limited-range BT.601 Y, U, V of a 0x00BBGGRR colour.
void PadColourToYuv(uint32_t colourRef, uint8_t yuv[3]);

class CVResizeFilter final : public IVideoFilter {
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

  // What SetParams does once the keys are read.
  int32_t ApplySettings(const VResizeSettings& settings);
  // The frame leaves as it came: no crop, no pad, the same size.
  bool KeepsFrame() const;

 private:
  CVResizeFilter() = default;
  ~CVResizeFilter();
  void UpdateOutput();

  VResizeSettings settings_;
  FrameFormat input_{};
  FrameFormat output_{};
  bool hasInput_ = false;
  VResizeGeometry geometry_{};
  SwsContext* sws_ = nullptr;
};
