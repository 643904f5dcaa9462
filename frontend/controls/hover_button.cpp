#include "frontend/controls/hover_button.h"

#include <QMouseEvent>
#include <QPainter>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"

CHoverButton::CHoverButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);
  setAutoDefault(false);
}

bool CHoverButton::SetBitmap(int resourceId) {
  QImage image = LoadBitmapResource(resourceId);
  if (image.isNull()) return false;
  SetPicture(image);
  return true;
}

void CHoverButton::SetPicture(const QImage& picture) {
  if (picture.isNull()) {
    picture_ = QImage();
  } else {
    QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QRgb key = image.pixel(0, 0) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if ((line[x] | 0xFF000000u) == key) line[x] = 0;
      }
    }
    picture_ = image;
  }
  update();
}

void CHoverButton::mouseMoveEvent(QMouseEvent* event) {
  if (!hover_) {
    hover_ = true;
    update();
  }
  QPushButton::mouseMoveEvent(event);
}

void CHoverButton::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QPushButton::leaveEvent(event);
}

void CHoverButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const bool pressed = isDown();
  const QColor border = ColorRef(hover_ ? 0xEDC399 : 0xFFF5ED);
  const QColor fill = ColorRef(!hover_ ? 0xFFF5ED : pressed ? 0xF3DDAD : 0xFBEFDA);
  const QRect r = rect();

  // Outer frame, then the inner one filled.
  painter.setPen(border);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(r.adjusted(0, 0, -1, -1));
  QRect inner = r.adjusted(1, 1, -1, -1);
  painter.fillRect(inner, fill);
  painter.drawRect(inner.adjusted(0, 0, -1, -1));

  // Pressed while hovering: picture and caption move one pixel down and right.
  const int p = pressed && hover_ ? 1 : 0;
  const int innerBottom = r.height() - 1;  // exclusive
  const int innerRight = r.width() - 1;
  int pictureWidth = 0;
  if (!picture_.isNull()) {
    painter.drawImage(p + 2, p + (innerBottom - picture_.height()) / 2, picture_);
    pictureWidth = picture_.width();
  }
  QRect caption(QPoint(1 + p + pictureWidth + 4, 1 + p + 1), QPoint(innerRight + p - 1 - 1, innerBottom + p - 1 - 1));
  // The fill is fixed and light: under a dark palette the button text would
  // vanish on it, so it turns dark.
  painter.setPen(isEnabled() ? ContrastingColor(SysColor(COLOR_BTNTEXT), fill, 4.5) : SysColor(COLOR_GRAYTEXT));
  painter.drawText(caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());

  if (hasFocus()) DrawFocusRect(painter, r.adjusted(3, 3, -3, -3), this);
}
