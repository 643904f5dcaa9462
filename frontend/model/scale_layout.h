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

// What a dialog showing one frame works on in place: the crop bands (source
// pixels), the pads (output pixels) and pad colour, the output and source
// sizes and pixel aspects (0 counts as 1).
struct FrameGeometry {
  ScaleLayout layout;
  int32_t outputWidth = 0, outputHeight = 0;
  int32_t sourceWidth = 0, sourceHeight = 0;
  double sourceAspect = 1.0, outputAspect = 1.0;
};

// The rounding rules of the layouts, in 64 bits. Truncation goes toward zero,
// limited to +-4e9, and reads a value that is not finite as 0.
int64_t LayoutTruncate(double v);
int64_t EvenUp(int64_t v);    // v + 1 when odd
int64_t EvenDown(int64_t v);  // v - 1 when odd (-3 gives -4)
int64_t HalfEven(int64_t v);  // EvenDown(LayoutTruncate(v * 0.5))
// A pixel aspect that is 0, negative or not finite reads as 1.0.
double UsableAspect(double aspect);

// Computes the bands and pads of the mode into layout. True when it changed
// them (or reset a non-black pad colour); false, layout untouched, for a mode
// outside 1..4, a size that is not positive, or an unchanged result. A pixel
// aspect that is 0, negative or not finite counts as 1.0.
bool ComputeScaleLayout(int32_t sourceWidth, int32_t sourceHeight, double sourceAspect, int32_t outputWidth,
                        int32_t outputHeight, double outputAspect, ScaleLayout& layout, int32_t mode);
