// Drawing helpers of the skin: colour arithmetic in HLS space, painter state
// that puts itself back (pen, brush, font, text colour, bold), an off-screen
// surface that reaches its target in one copy, the diagonal-cross hatch the
// previews lay over crop bands, and a copy of part of the screen.
//
// Colours are COLORREF values (0x00BBGGRR). Packed HLS values hold hue in
// byte 0 (0-255 for 0-360 degrees), luminance in byte 1 and saturation in
// byte 2.
#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <cstdint>

uint32_t RGBToHLS(uint32_t colour);
uint32_t HLSToRGB(uint32_t hls);
// The colour with its luminance and saturation moved by percents: +p moves a
// value p% of the way to 255, -p moves it p% of the way to 0.
uint32_t AdjustHLS(uint32_t colour, int luminancePercent, int saturationPercent);

// The contrast ratio of two colours by their relative luminance, from 1
// (the same) to 21 (black and white).
double ContrastRatio(const QColor& a, const QColor& b);
// `wanted` when its contrast ratio against `background` is at least minRatio,
// else black or white, whichever stands out more.
QColor ContrastingColor(const QColor& wanted, const QColor& background, double minRatio);

// A copy of a rectangle of the screen (global coordinates); a null image when
// there is no screen or the rectangle is empty.
QImage CaptureScreenBitmap(const QRect& screenRect);

// A painter on an off-screen image in the target's coordinates: what is drawn
// through it reaches the target only when it is destroyed, then exactly the
// rectangle (the target's clip box, or its whole device, when the rectangle
// given is empty). Drawing outside the rectangle is clipped. Pixels left
// undrawn leave the target as it was.
class COffscreenDC : public QPainter {
 public:
  COffscreenDC(QPainter* target, const QRect& rect);
  ~COffscreenDC();
  COffscreenDC(const COffscreenDC&) = delete;
  COffscreenDC& operator=(const COffscreenDC&) = delete;

  const QRect& Rect() const { return rect_; }
  // The memory image, right x bottom of the rectangle.
  const QImage& Image() const { return image_; }

 private:
  QPainter* target_;
  QRect rect_;
  QImage image_;
};

// Selects a solid pen one pixel wide into a painter; the painter's pen is put
// back on destruction.
class CSelectPen {
 public:
  CSelectPen(QPainter* painter, uint32_t colour);
  ~CSelectPen();
  CSelectPen(const CSelectPen&) = delete;
  CSelectPen& operator=(const CSelectPen&) = delete;
  void SetColor(uint32_t colour);

 private:
  QPainter* painter_;
  QPen old_;
};

// Selects a solid brush, or no brush for kNullBrush; the painter's brush is
// put back on destruction.
class CSelectBrush {
 public:
  static constexpr uint32_t kNullBrush = 0xFFFFFFFFu;
  CSelectBrush(QPainter* painter, uint32_t colour);
  ~CSelectBrush();
  CSelectBrush(const CSelectBrush&) = delete;
  CSelectBrush& operator=(const CSelectBrush&) = delete;

 private:
  QPainter* painter_;
  QBrush old_;
};

// Stock fonts by their classic indexes.
enum StockFont : int {
  OEM_FIXED_FONT = 10,
  ANSI_FIXED_FONT = 11,
  ANSI_VAR_FONT = 12,
  SYSTEM_FONT = 13,
  DEVICE_DEFAULT_FONT = 14,
  SYSTEM_FIXED_FONT = 16,
  DEFAULT_GUI_FONT = 17,
};
// The font of a stock index: the desktop's fixed font for the fixed ones, its
// general font otherwise.
QFont StockFontOf(int index);

// Selects a stock font and, unless the colour is kKeepColour, a text colour
// (Qt draws text with the pen, so the text colour is the pen's colour). The
// font, and the pen when its colour was changed, are put back on destruction.
class CSelectFont {
 public:
  static constexpr uint32_t kKeepColour = 0xFF000000u;
  CSelectFont(QPainter* painter, int stockFont, uint32_t colour = kKeepColour);
  ~CSelectFont();
  CSelectFont(const CSelectFont&) = delete;
  CSelectFont& operator=(const CSelectFont&) = delete;
  void SetFont(int stockFont);
  void SetTextColor(uint32_t colour);

 private:
  QPainter* painter_;
  QFont oldFont_;
  QPen oldPen_;
  bool colourChanged_ = false;
};

// Makes the painter's font bold (weight 700) or not bold (400) when it is not
// already; the font is put back on destruction.
class CBoldFont {
 public:
  CBoldFont(QPainter* painter, bool bold);
  ~CBoldFont();
  CBoldFont(const CBoldFont&) = delete;
  CBoldFont& operator=(const CBoldFont&) = delete;
  bool Changed() const { return changed_; }

 private:
  QPainter* painter_;
  QFont old_;
  bool changed_ = false;
};

// Whether a device pixel lies on the 8-pixel diagonal-cross hatch pattern
// (both diagonals, aligned to the device's origin).
inline bool OnDiagCrossHatch(int x, int y) { return ((x - y) & 7) == 0 || ((x + y) & 7) == 7; }
// Lays a diagonal-cross hatch of a colour over a rectangle of the painter's
// device (the painter must be untransformed): each pattern pixel becomes
// NOT (colour XOR pixel); pixels between the lines stay as they are.
void HatchRectNotXor(QPainter* painter, const QRect& rect, uint32_t colour);

// The rectangle outlined with the painter's pen (one pixel inside its edges)
// and filled with its brush, as a classic Rectangle call draws it.
void DrawRectangle(QPainter* painter, const QRect& rect);
