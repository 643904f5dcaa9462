// The bitmap slider's pictures: the equaliser's band channel (172), its thumb
// (173) and the thumb while dragged (176), and the player's position thumb
// (214).
#include "bitmaps.h"

namespace {

const QColor kWhite(255, 255, 255);
const QColor kLight(224, 224, 224);
const QColor kShadow(128, 128, 128);
const QColor kDark(64, 64, 64);

// A vertical sunken groove down the middle.
QImage BandChannel() {
  QImage image = KeyedPicture(11, 106);
  FillPixels(image, 4, 2, 4, 103, kShadow);
  FillPixels(image, 5, 2, 5, 103, kDark);
  FillPixels(image, 6, 2, 6, 103, kWhite);
  FillPixels(image, 4, 2, 6, 2, kShadow);
  FillPixels(image, 5, 103, 6, 103, kWhite);
  return image;
}

// A raised button with a line across its middle; the corners are key pixels.
QImage RaisedThumb(int width, int height, const QColor& face) {
  QImage image = KeyedPicture(width, height);
  const int r = width - 1, b = height - 1;
  FillPixels(image, 1, 1, r - 1, b - 1, face);
  FillPixels(image, 1, 0, r - 1, 0, kWhite);
  FillPixels(image, 0, 1, 0, b - 1, kWhite);
  FillPixels(image, 1, b, r - 1, b, kDark);
  FillPixels(image, r, 1, r, b - 1, kDark);
  FillPixels(image, 1, b - 1, r - 1, b - 1, kShadow);
  FillPixels(image, r - 1, 1, r - 1, b - 1, kShadow);
  const int m = height / 2;
  FillPixels(image, 2, m, r - 2, m, kShadow);
  FillPixels(image, 2, m + 1, r - 2, m + 1, kWhite);
  return image;
}

QImage BandThumb() { return RaisedThumb(11, 9, QColor(192, 192, 192)); }
QImage BandThumbDragged() { return RaisedThumb(11, 9, QColor(96, 144, 224)); }

// A pointer: a raised block with a tip below it.
QImage PositionThumb() {
  QImage image = KeyedPicture(11, 14);
  FillPixels(image, 1, 1, 9, 8, kLight);
  FillPixels(image, 1, 0, 9, 0, kWhite);
  FillPixels(image, 0, 1, 0, 8, kWhite);
  FillPixels(image, 10, 1, 10, 8, kDark);
  for (int row = 0; row < 5; ++row) {
    const int y = 9 + row;
    FillPixels(image, 1 + row, y, 9 - row, y, kLight);
    FillPixels(image, row, y, row, y, kWhite);
    FillPixels(image, 10 - row, y, 10 - row, y, kDark);
  }
  return image;
}

const BitmapRegistrar kSliderBitmaps(
    {{172, BandChannel}, {173, BandThumb}, {176, BandThumbDragged}, {214, PositionThumb}});

}  // namespace
