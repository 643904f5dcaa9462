#include "common/overlay_placement.h"

#include <algorithm>

OverlayPlacement PlaceOverlayByAlign(int32_t W, int32_t H, int32_t align, int32_t w, int32_t h, int32_t x, int32_t y) {
  if (align < 1 || align > 9)
    return ClipOverlayRect(OverlayRect{x, y, int64_t{x} + w, int64_t{y} + h}, OverlayRect{0, 0, W, H});
  // One axis: the picture at the start, centred or at the end of the frame,
  // cut on the side(s) it overhangs.
  auto axis = [](int32_t frame, int32_t picture, int anchor, int32_t* dst, int32_t* src, int32_t* end) {
    *dst = *src = 0;
    if (anchor == 0) {
      *end = std::min(picture, frame);
    } else if (anchor == 1) {
      if (frame < picture) {
        *src = (picture - frame) >> 1;
        *end = frame + ((picture - frame) >> 1);
      } else {
        *dst = (frame - picture) >> 1;
        *end = picture;
      }
    } else {
      if (frame < picture)
        *src = picture - frame;
      else
        *dst = frame - picture;
      *end = picture;
    }
  };
  OverlayPlacement p;
  axis(W, w, (align - 1) % 3, &p.dstX, &p.srcX, &p.srcEndX);      // 1 4 7 left, 2 5 8 centre, 3 6 9 right
  axis(H, h, 2 - (align - 1) / 3, &p.dstY, &p.srcY, &p.srcEndY);  // 7 8 9 top, 4 5 6 middle, 1 2 3 bottom
  return p;
}

OverlayPlacement ClipOverlayRect(const OverlayRect& P, const OverlayRect& F) {
  OverlayPlacement p;
  if (P.left >= F.right || F.left >= P.right || P.top >= F.bottom || F.top >= P.bottom) return p;
  auto axis = [](int64_t pStart, int64_t pEnd, int64_t fStart, int64_t fEnd, int32_t* dst, int32_t* src, int32_t* end) {
    if (pStart < fStart) {
      *dst = int32_t(fStart);
      *src = int32_t(fStart - pStart);
    } else {
      *dst = int32_t(pStart);
      *src = 0;
    }
    *end = int32_t(std::min(pEnd, fEnd) - pStart);
  };
  axis(P.left, P.right, F.left, F.right, &p.dstX, &p.srcX, &p.srcEndX);
  axis(P.top, P.bottom, F.top, F.bottom, &p.dstY, &p.srcY, &p.srcEndY);
  return p;
}
