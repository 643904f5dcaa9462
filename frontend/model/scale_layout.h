// Fitting a source picture into an output frame for the automatic layouts of
// the "VRESIZE" filter: crop bands in source pixels, pads in output pixels.
#pragma once

#include <cstdint>

enum ScaleMode : int32_t {
  kScaleLetterbox = 1,       // whole picture inside the frame, borders where needed
  kScaleBlackLeftRight = 2,  // full height
  kScaleBlackUpDown = 3,     // full width
  kScaleStretch = 4,
  kScaleManual = 5,
};

struct ScaleLayout {
  int32_t leftBand = 0, rightBand = 0, topBand = 0, bottomBand = 0;
  int32_t leftPad = 0, rightPad = 0, topPad = 0, bottomPad = 0;
  uint32_t padColor = 0;  // COLORREF; the automatic layouts pad in black
};

// Computes the bands and pads of the mode into layout. True when it changed
// them (or reset a non-black pad colour); false, layout untouched, for a mode
// outside 1..4, a size that is not positive, or an unchanged result. A pixel
// aspect that is 0, negative or not finite counts as 1.0.
bool ComputeScaleLayout(int32_t sourceWidth, int32_t sourceHeight, double sourceAspect, int32_t outputWidth,
                        int32_t outputHeight, double outputAspect, ScaleLayout& layout, int32_t mode);
