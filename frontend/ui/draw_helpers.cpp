#include "frontend/ui/draw_helpers.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPixmap>
#include <QPolygon>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "frontend/ui/sys_colors.h"

namespace {

uint8_t Red(uint32_t c) { return uint8_t(c & 0xFF); }
uint8_t Green(uint32_t c) { return uint8_t((c >> 8) & 0xFF); }
uint8_t Blue(uint32_t c) { return uint8_t((c >> 16) & 0xFF); }
uint32_t Rgb(int r, int g, int b) { return uint32_t(r & 0xFF) | uint32_t(g & 0xFF) << 8 | uint32_t(b & 0xFF) << 16; }

// One channel of the HLS-to-RGB conversion, for the channel's hue.
int HueToChannel(double m1, double m2, double h) {
  if (h > 360) h -= 360;
  if (h < 0) h += 360;
  double f;
  if (h < 60)
    f = m1 + (m2 - m1) * h / 60;
  else if (h < 180)
    f = m2;
  else if (h < 240)
    f = m1 + (m2 - m1) * (240 - h) / 60;
  else
    f = m1;
  // Exact reals land on whole numbers where doubles may fall just short of them.
  return std::clamp(int(255 * f + 1e-9), 0, 255);
}

int AdjustByte(int v, int percent) {
  if (percent > 0) return v + (255 - v) * percent / 100;
  if (percent < 0) return v * (100 + percent) / 100;
  return v;
}

}  // namespace

uint32_t RGBToHLS(uint32_t colour) {
  const int r = Red(colour), g = Green(colour), b = Blue(colour);
  const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
  const double sum = mx + mn, diff = mx - mn;
  const double l = sum / 510;
  double h = 0, s = 0;
  if (mx != mn) {
    s = l <= 0.5 ? diff / sum : diff / (510 - sum);
    const double rc = (mx - r) / diff, gc = (mx - g) / diff, bc = (mx - b) / diff;
    if (b == mx)
      h = (4 + gc - rc) * 60;
    else if (g == mx)
      h = (2 + rc - bc) * 60;
    else
      h = (6 + bc - gc) * 60;
    if (h > 360) h -= 360;
  }
  const int hue = int(h * 255 / 360) & 0xFF, lum = int(l * 255) & 0xFF, sat = int(s * 255) & 0xFF;
  return uint32_t(hue) | uint32_t(lum) << 8 | uint32_t(sat) << 16;
}

uint32_t HLSToRGB(uint32_t hls) {
  const int hue = int(hls & 0xFF), lum = int((hls >> 8) & 0xFF), sat = int((hls >> 16) & 0xFF);
  const double s = sat / 255.0, l = lum / 255.0;
  if (sat == 0) return Rgb(lum, lum, lum);
  const double m2 = l > 0.5 ? l + s - l * s : l * (1 + s);
  const double m1 = 2 * l - m2;
  const double h = hue * 360.0 / 255;
  return Rgb(HueToChannel(m1, m2, h + 120), HueToChannel(m1, m2, h), HueToChannel(m1, m2, h - 120));
}

uint32_t AdjustHLS(uint32_t colour, int luminancePercent, int saturationPercent) {
  const uint32_t hls = RGBToHLS(colour);
  const int lum = AdjustByte(int((hls >> 8) & 0xFF), luminancePercent);
  const int sat = AdjustByte(int((hls >> 16) & 0xFF), saturationPercent);
  return HLSToRGB((hls & 0xFF) | uint32_t(lum & 0xFF) << 8 | uint32_t(sat & 0xFF) << 16);
}

namespace {

double RelativeLuminance(const QColor& c) {
  const auto channel = [](int v) {
    const double s = v / 255.0;
    return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = RelativeLuminance(a), lb = RelativeLuminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ContrastingColor(const QColor& wanted, const QColor& background, double minRatio) {
  if (ContrastRatio(wanted, background) >= minRatio) return wanted;
  const QColor black(Qt::black), white(Qt::white);
  return ContrastRatio(black, background) >= ContrastRatio(white, background) ? black : white;
}

QImage CaptureScreenBitmap(const QRect& screenRect) {
  if (screenRect.isEmpty()) return {};
  QScreen* screen = QGuiApplication::screenAt(screenRect.topLeft());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  const QRect geometry = screen->geometry();
  const QPixmap shot = screen->grabWindow(0, screenRect.x() - geometry.x(), screenRect.y() - geometry.y(),
                                          screenRect.width(), screenRect.height());
  return shot.isNull() ? QImage() : shot.toImage();
}

// ---- off-screen surface ----

namespace {

QRect TargetRect(QPainter* target, const QRect& rect) {
  if (!rect.isEmpty() || target == nullptr) return rect;
  if (target->hasClipping()) return target->clipBoundingRect().toAlignedRect();
  const QPaintDevice* device = target->device();
  return device != nullptr ? QRect(0, 0, device->width(), device->height()) : QRect();
}

}  // namespace

COffscreenDC::COffscreenDC(QPainter* target, const QRect& rect) : target_(target), rect_(TargetRect(target, rect)) {
  const int width = std::max(0, rect_.x() + rect_.width());
  const int height = std::max(0, rect_.y() + rect_.height());
  if (width > 0 && height > 0 && !rect_.isEmpty()) {
    image_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    image_.fill(Qt::transparent);
  }
  if (image_.isNull()) return;
  begin(&image_);
  if (target_ != nullptr) setFont(target_->font());
  setClipRect(rect_);
}

COffscreenDC::~COffscreenDC() {
  if (isActive()) end();
  if (target_ == nullptr || image_.isNull()) return;
  target_->save();
  target_->setCompositionMode(QPainter::CompositionMode_SourceOver);
  target_->drawImage(rect_.topLeft(), image_, rect_);
  target_->restore();
}

// ---- painter state ----

CSelectPen::CSelectPen(QPainter* painter, uint32_t colour) : painter_(painter), old_(painter->pen()) {
  SetColor(colour);
}

CSelectPen::~CSelectPen() { painter_->setPen(old_); }

void CSelectPen::SetColor(uint32_t colour) { painter_->setPen(QPen(ColorRef(colour), 1)); }

CSelectBrush::CSelectBrush(QPainter* painter, uint32_t colour) : painter_(painter), old_(painter->brush()) {
  if (colour == kNullBrush)
    painter_->setBrush(Qt::NoBrush);
  else
    painter_->setBrush(ColorRef(colour));
}

CSelectBrush::~CSelectBrush() { painter_->setBrush(old_); }

QFont StockFontOf(int index) {
  switch (index) {
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT:
      return QFontDatabase::systemFont(QFontDatabase::FixedFont);
    default:
      return QApplication::font();
  }
}

CSelectFont::CSelectFont(QPainter* painter, int stockFont, uint32_t colour)
    : painter_(painter), oldFont_(painter->font()), oldPen_(painter->pen()) {
  SetFont(stockFont);
  if (colour != kKeepColour) SetTextColor(colour);
}

CSelectFont::~CSelectFont() {
  painter_->setFont(oldFont_);
  if (colourChanged_) painter_->setPen(oldPen_);
}

void CSelectFont::SetFont(int stockFont) { painter_->setFont(StockFontOf(stockFont)); }

void CSelectFont::SetTextColor(uint32_t colour) {
  if (!colourChanged_) oldPen_ = painter_->pen();
  QPen pen = painter_->pen();
  pen.setColor(ColorRef(colour));
  painter_->setPen(pen);
  colourChanged_ = true;
}

CBoldFont::CBoldFont(QPainter* painter, bool bold) : painter_(painter), old_(painter->font()) {
  const bool isBold = old_.weight() == QFont::Bold;
  if (bold == isBold) return;
  QFont font = old_;
  font.setWeight(bold ? QFont::Bold : QFont::Normal);
  painter_->setFont(font);
  changed_ = true;
}

CBoldFont::~CBoldFont() {
  if (changed_) painter_->setFont(old_);
}

// ---- shapes ----

void HatchRectNotXor(QPainter* painter, const QRect& rect, uint32_t colour) {
  if (rect.isEmpty()) return;
  QPolygon points;
  for (int y = rect.top(); y <= rect.bottom(); ++y) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
      if (OnDiagCrossHatch(x, y)) points << QPoint(x, y);
    }
  }
  painter->save();
  painter->setRenderHint(QPainter::Antialiasing, false);
  painter->setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  painter->setPen(QPen(ColorRef(colour), 1));
  painter->drawPoints(points);
  painter->restore();
}

void DrawRectangle(QPainter* painter, const QRect& rect) {
  if (rect.isEmpty()) return;
  const QPen pen = painter->pen();
  const QBrush brush = painter->brush();
  if (pen.style() == Qt::NoPen) {
    if (brush.style() != Qt::NoBrush) painter->fillRect(rect, brush);
    return;
  }
  // A one-pixel outline on the rectangle's edge pixels, the brush inside it.
  if (brush.style() != Qt::NoBrush && rect.width() > 2 && rect.height() > 2)
    painter->fillRect(rect.adjusted(1, 1, -1, -1), brush);
  const QColor c = pen.color();
  painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 1), c);
  painter->fillRect(QRect(rect.left(), rect.bottom(), rect.width(), 1), c);
  painter->fillRect(QRect(rect.left(), rect.top(), 1, rect.height()), c);
  painter->fillRect(QRect(rect.right(), rect.top(), 1, rect.height()), c);
}
