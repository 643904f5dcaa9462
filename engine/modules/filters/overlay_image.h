// Overlay pictures laid over frames: a list of same-sized pictures (one, or
// the frames of an animation with their delays), where their visible part
// sits on the frame, and the blends into 4:2:0 and bottom-up RGB24 frames.
// Used by the watermark here and by the DVD subpicture overlay.
// Results: bool, true when done (with a reason text for the log when not).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/overlay_placement.h"
#include "plugin-api/video_filter.h"

struct DecodedPicture;

struct OverlayImage {
  int32_t width = 0;
  int32_t height = 0;
  int32_t delay = 1;  // units of 10 ms; a picture without delay counts 1
  // width x height bytes each, rows bottom-up (stored row 0 is the picture's
  // bottom row): 0, 1, 2 = Y, U, V for 4:2:0 frames or R, G, B for RGB24
  // frames; 3 = alpha.
  std::array<std::vector<uint8_t>, 4> planes;

  // The byte of a plane at picture row `row` counted from the top.
  uint8_t At(int plane, int32_t row, int32_t column) const {
    return planes[size_t(plane)][size_t(height - 1 - row) * size_t(width) + size_t(column)];
  }
};

class COverlayImageList {
 public:
  std::vector<OverlayImage> images;
  int32_t totalDelay = 0;  // sum of the delays: the animation's period in 10 ms
  double level = 1.0;      // opacity factor 0..1
  bool transparent = false;
  int32_t transColour = 0;  // 0x00BBGGRR: pixels of this colour get alpha 0 when transparent is set
  OverlayPlacement place;

  void Free();
  // The picture shown at a start time (100-ns units): with two or more, the
  // first whose running sum of delays passes (start / 100,000) modulo the
  // period; else 0.
  int32_t ImageAt(int64_t start) const;
};

// Fills the list's pictures from decoded ones: R, G, B (rgbPlanes) or Y, U, V
// planes, alpha from the picture, 0 for the transparent colour. false when the
// pictures differ in size.
bool BuildOverlayImages(const std::vector<DecodedPicture>& pictures, COverlayImageList* list, bool rgbPlanes,
                        std::string* reason);
// Reads the picture file and builds the list's pictures from it.
bool LoadOverlayImages(const char* path, COverlayImageList* list, bool rgbPlanes, std::string* reason);

// Blend one picture of the list into a 4:2:0 frame (Y, U, V planes) or a
// bottom-up RGB24 frame: w = level x alpha / 255, w x picture + (1 - w) x
// frame. Pixels outside the frame's planes are never touched.
void BlendOverlayYV12(FramePlanes* planes, const COverlayImageList& list, int32_t index);
void BlendOverlayRGB24(FramePlanes* planes, const COverlayImageList& list, int32_t index);
