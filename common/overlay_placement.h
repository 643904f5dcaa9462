// Where an overlay picture (a watermark, a subpicture) lands on a frame: by a
// keypad code or at a position, cut to the frame. The engine's overlays and
// the front end's watermark preview both place pictures with it.
#pragma once

#include <cstdint>

// The visible part of a picture: it starts at (dstX, dstY) in the frame
// (top-left origin) and covers picture columns srcX..srcEndX - 1 and rows
// srcY..srcEndY - 1 (counted from the picture's top).
struct OverlayPlacement {
  int32_t dstX = 0, dstY = 0;
  int32_t srcX = 0, srcY = 0;
  int32_t srcEndX = 0, srcEndY = 0;
};

struct OverlayRect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// Placement on a frame by a keypad code (7 8 9 top, 4 5 6 middle, 1 2 3
// bottom; 1 4 7 left, 2 5 8 centre, 3 6 9 right); any other code puts the
// picture's top left at (x, y), clipped to the frame.
OverlayPlacement PlaceOverlayByAlign(int32_t frameWidth, int32_t frameHeight, int32_t align, int32_t pictureWidth,
                                     int32_t pictureHeight, int32_t x, int32_t y);
// The part of the picture rectangle inside the frame rectangle; all zero when
// they do not overlap.
OverlayPlacement ClipOverlayRect(const OverlayRect& picture, const OverlayRect& frame);
