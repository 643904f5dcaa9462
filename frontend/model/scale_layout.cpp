#include "frontend/model/scale_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

// Values are kept in 64 bits and truncations clamped, so no input size or
// aspect can overflow.
int64_t LayoutTruncate(double v) {
  constexpr double kLimit = 4.0e9;
  if (!std::isfinite(v)) return 0;
  return static_cast<int64_t>(std::clamp(v, -kLimit, kLimit));
}

int64_t EvenUp(int64_t v) { return (v % 2 != 0) ? v + 1 : v; }
int64_t EvenDown(int64_t v) { return (v % 2 != 0) ? v - 1 : v; }
int64_t HalfEven(int64_t v) { return EvenDown(LayoutTruncate(static_cast<double>(v) * 0.5)); }

double UsableAspect(double a) { return (std::isfinite(a) && a > 0.0) ? a : 1.0; }

namespace {

int64_t Truncate(double v) { return LayoutTruncate(v); }
int64_t Half(int64_t v) { return HalfEven(v); }

// One direction of the "black" layouts, written for left-right (full height):
// s/o are source/output sizes along the padded axis (a) and the full one (b),
// p and q the aspects in the order the width formula uses them. The picture
// is padded when it fits, else its source sides are cropped.
void FitAcross(double sa, double sb, double oa, double ob, double p, double q, int64_t& pad1, int64_t& pad2,
               int64_t& band1, int64_t& band2) {
  const int64_t size = EvenUp(Truncate(sa * ob * p / q / sb));
  const int64_t outer = Truncate(oa);
  if (size <= outer) {
    pad1 = Half(outer - size);
    pad2 = outer - size - pad1;
  } else {
    const int64_t visible = Truncate(oa * sb * q / p / ob);
    const int64_t crop = EvenDown(std::max<int64_t>(Truncate(sa) - visible, 0));
    band1 = EvenDown(crop / 2);
    band2 = crop - band1;
  }
}

}  // namespace

bool ComputeScaleLayout(int32_t sourceWidth, int32_t sourceHeight, double sourceAspect, int32_t outputWidth,
                        int32_t outputHeight, double outputAspect, ScaleLayout& layout, int32_t mode) {
  if (mode < kScaleLetterbox || mode > kScaleStretch) return false;
  if (sourceWidth <= 0 || sourceHeight <= 0 || outputWidth <= 0 || outputHeight <= 0) return false;
  const double sw = sourceWidth, sh = sourceHeight, ow = outputWidth, oh = outputHeight;
  const double x = UsableAspect(sourceAspect), y = UsableAspect(outputAspect);
  const int64_t owi = outputWidth, ohi = outputHeight;

  int64_t v[8] = {};  // left, right, top, bottom band; left, right, top, bottom pad
  int64_t &leftBand = v[0], &rightBand = v[1], &topBand = v[2], &bottomBand = v[3];
  int64_t &leftPad = v[4], &rightPad = v[5], &topPad = v[6], &bottomPad = v[7];
  switch (mode) {
    case kScaleLetterbox: {
      int64_t w = EvenUp(Truncate(oh * sw * x / y / sh));
      int64_t h = ohi;
      if (w > owi) {
        w = owi;
        h = EvenUp(Truncate(ow * sh * y / x / sw));
      }
      leftPad = Half(owi - w);
      rightPad = owi - w - leftPad;
      topPad = Half(ohi - h);
      bottomPad = ohi - h - topPad;
      break;
    }
    case kScaleBlackLeftRight:  // full height: pad or crop the sides
      FitAcross(sw, sh, ow, oh, x, y, leftPad, rightPad, leftBand, rightBand);
      break;
    case kScaleBlackUpDown:  // full width: pad or crop top and bottom
      FitAcross(sh, sw, oh, ow, y, x, topPad, bottomPad, topBand, bottomBand);
      break;
    default:  // stretch: all zero
      break;
  }

  int32_t* const fields[8] = {&layout.leftBand, &layout.rightBand, &layout.topBand, &layout.bottomBand,
                              &layout.leftPad,  &layout.rightPad,  &layout.topPad,  &layout.bottomPad};
  bool same = layout.padColor == 0;
  for (int i = 0; i < 8; ++i) same = same && *fields[i] == v[i];
  if (same) return false;
  for (int i = 0; i < 8; ++i) *fields[i] = static_cast<int32_t>(v[i]);
  layout.padColor = 0;
  return true;
}
