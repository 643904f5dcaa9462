// Dialog units: template coordinates measured in quarters of the dialog font's
// average character width and eighths of its height.
#pragma once

#include <QFont>
#include <QRect>

struct DialogBaseUnits {
  int cx = 0;  // average character width in pixels
  int cy = 0;  // character height in pixels
};

// a * b / c rounded half away from zero; c == 0 gives -1.
int MulDivRound(int a, int b, int c);

// Base units of a font: the width of the 52 Latin letters / 26, halved with
// rounding up, and the font's line height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

int DialogUnitsToPixelsX(int du, const DialogBaseUnits& units);
int DialogUnitsToPixelsY(int du, const DialogBaseUnits& units);
// (x, y, cx, cy) in dialog units to a pixel rectangle.
QRect DialogUnitsToPixels(const QRect& du, const DialogBaseUnits& units);

// The font a template names. Windows face names become the desktop's sans
// face; the point size is kept.
QFont DialogFont(const char* face, int points);
