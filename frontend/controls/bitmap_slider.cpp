#include "frontend/controls/bitmap_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/control_ids.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"

namespace {

int32_t Saturate(double value) {
  if (!(value > std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

// Loads a picture; a transparent one gets its key-coloured pixels cleared.
bool LoadPicture(int id, bool transparent, uint32_t keyColour, int keyX, int keyY, QImage& out) {
  QImage image = LoadBitmapResource(id);
  if (image.isNull()) return false;
  image = image.convertToFormat(QImage::Format_ARGB32);
  if (transparent) {
    QRgb key;
    if (keyColour == kKeyColourFromPixel) {
      key = image.pixel(std::clamp(keyX, 0, image.width() - 1), std::clamp(keyY, 0, image.height() - 1));
    } else {
      key = ColorRef(keyColour).rgb();
    }
    key |= 0xFF000000u;
    for (int y = 0; y < image.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x)
        if ((line[x] | 0xFF000000u) == key) line[x] = 0;
    }
  }
  out = image;
  return true;
}

// Posts a message to the nearest open window above a control.
void PostParentMessage(QWidget* from, uint32_t msg, uint64_t wParam, int64_t lParam) {
  for (QWidget* w = from->parentWidget(); w != nullptr; w = w->parentWidget()) {
    auto* target = dynamic_cast<MessageTarget*>(w);
    if (target != nullptr && target->Handle() != 0) {
      PostMessage(target->Handle(), msg, wParam, lParam);
      return;
    }
  }
}

}  // namespace

CBitmapSlider::CBitmapSlider(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

CBitmapSlider::~CBitmapSlider() = default;

void CBitmapSlider::SetRange(int32_t minimum, int32_t maximum, bool redraw) {
  SetRangeMin(minimum, false);
  SetRangeMax(maximum, redraw);
}

void CBitmapSlider::SetRangeMin(int32_t minimum, bool redraw) {
  minimum_ = minimum;
  if (redraw) Redraw();
}

void CBitmapSlider::SetRangeMax(int32_t maximum, bool redraw) {
  maximum_ = maximum;
  if (redraw) Redraw();
}

void CBitmapSlider::SetPos(int32_t position) {
  position_ = std::max(std::min(position, maximum_), minimum_);
  Redraw();
}

void CBitmapSlider::SetVertical(bool vertical) {
  vertical_ = vertical;
  Redraw();
}

void CBitmapSlider::Enable(bool enabled) {
  enabled_ = enabled;
  if (!enabled_) EndDrag();
  Redraw();
}

void CBitmapSlider::SetDrawFocusRect(bool draw, bool redraw) {
  drawFocusRect_ = draw;
  if (redraw) Redraw();
}

bool CBitmapSlider::SetBitmapChannel(int channelId, int activeId, bool transparent, uint32_t keyColour, int keyX,
                                     int keyY) {
  if (channelId == 0) {
    hasChannel_ = false;
    channel_ = activeChannel_ = QImage();
    Redraw();
    return true;
  }
  QImage channel, active;
  if (!LoadPicture(channelId, transparent, keyColour, keyX, keyY, channel)) return false;
  if (activeId != 0 && !LoadPicture(activeId, transparent, keyColour, keyX, keyY, active)) return false;
  channel_ = channel;
  activeChannel_ = active;
  width_ = channel_.width();
  height_ = channel_.height();
  resize(channel_.size());
  transparentChannel_ = transparent;
  hasChannel_ = true;
  Redraw();
  return true;
}

bool CBitmapSlider::SetBitmapThumb(int thumbId, int activeId, bool transparent, uint32_t keyColour, int keyX,
                                   int keyY) {
  if (thumbId == 0) {
    hasThumb_ = false;
    thumb_ = activeThumb_ = QImage();
    thumbWidth_ = thumbHeight_ = 0;
    Redraw();
    return true;
  }
  QImage thumb, active;
  if (!LoadPicture(thumbId, transparent, keyColour, keyX, keyY, thumb)) return false;
  if (activeId != 0 && !LoadPicture(activeId, transparent, keyColour, keyX, keyY, active)) return false;
  thumb_ = thumb;
  activeThumb_ = active;
  thumbWidth_ = thumb_.width();
  thumbHeight_ = thumb_.height();
  transparentThumb_ = transparent;
  hasThumb_ = true;
  Redraw();
  return true;
}

int CBitmapSlider::PixelOfPosition(int32_t position) const {
  const int start = vertical_ ? topMargin_ : leftMargin_;
  const int thumb = vertical_ ? thumbHeight_ : thumbWidth_;
  const QSize size = TrackSize();
  const double track = vertical_ ? double(size.height()) - bottomMargin_ - thumbHeight_ - topMargin_
                                 : double(size.width()) - rightMargin_ - thumbWidth_ - leftMargin_;
  const double span = double(maximum_) - minimum_;
  double along = 0;
  if (track > 0 && span != 0) along = std::trunc(track * (double(position) - minimum_) / span);
  return Saturate(start + along + thumb / 2);
}

int32_t CBitmapSlider::PositionOfPixel(int pixel) const {
  const int start = vertical_ ? topMargin_ : leftMargin_;
  const int thumb = vertical_ ? thumbHeight_ : thumbWidth_;
  const QSize size = TrackSize();
  const double track = vertical_ ? double(size.height()) - bottomMargin_ - topMargin_ - thumbHeight_
                                 : double(size.width()) - rightMargin_ - leftMargin_ - thumbWidth_;
  const double span = double(maximum_) - minimum_;
  if (track <= 0 || span == 0) return minimum_;
  return Saturate(std::trunc((double(pixel) - thumb / 2 - start) / track * span + minimum_));
}

void CBitmapSlider::paintEvent(QPaintEvent*) {
  // Every paint draws the whole control off screen, so nothing under the
  // thumb needs keeping between paints.
  QImage surface(size(), QImage::Format_ARGB32_Premultiplied);
  surface.fill(SysColor(COLOR_BTNFACE));
  QPainter p(&surface);
  const int at = PixelOfPosition(position_);
  if (hasChannel_) {
    if (!activeChannel_.isNull() && enabled_) {
      const QRect passed = vertical_ ? QRect(0, 0, width_, at) : QRect(0, 0, at, height_);
      const QRect rest = vertical_ ? QRect(0, at, width_, height_ - at) : QRect(at, 0, width_ - at, height_);
      p.drawImage(rest, channel_, rest);
      p.drawImage(passed, activeChannel_, passed);
    } else {
      p.drawImage(QRect(0, 0, width_, height_), channel_, QRect(0, 0, width_, height_));
    }
  } else {
    const int middle = height() / 2;
    p.setPen(QPen(ColorRef(0xC8C8C8), 0));
    p.setBrush(ColorRef(0x808080));
    p.drawRoundedRect(QRect(QPoint(2, middle - 2), QPoint(width() - 3, middle + 1)), 1, 1);
    if (!vertical_) topMargin_ = (height() - thumbHeight_) / 2 + 1;
  }
  if (hasThumb_ && enabled_) {
    const QImage& picture = dragging_ && !activeThumb_.isNull() ? activeThumb_ : thumb_;
    const QPoint topLeft =
        vertical_ ? QPoint(leftMargin_, at - thumbHeight_ / 2) : QPoint(at - thumbWidth_ / 2, topMargin_);
    p.drawImage(topLeft, picture);
  }
  if (drawFocusRect_ && hasFocus_ && enabled_) DrawFocusRect(p, rect(), this);
  p.end();
  QPainter(this).drawImage(0, 0, surface);
}

void CBitmapSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !enabled_) {
    QWidget::mousePressEvent(event);
    return;
  }
  setFocus(Qt::MouseFocusReason);
  dragging_ = true;
  const int axis = vertical_ ? event->position().toPoint().y() : event->position().toPoint().x();
  const int centre = PixelOfPosition(position_);
  const int half = (vertical_ ? thumbHeight_ : thumbWidth_) / 2;
  mouseOffset_ = std::abs(axis - centre) <= half ? axis - centre : 0;
  TrackTo(axis);
  Redraw();
}

void CBitmapSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_ || !enabled_) return;
  TrackTo(vertical_ ? event->position().toPoint().y() : event->position().toPoint().x());
}

void CBitmapSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !enabled_) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  Redraw();
  SendParentMessage(this, WM_BITMAPSLIDER_MOVED, static_cast<uint64_t>(ControlId(this)), position_);
}

void CBitmapSlider::TrackTo(int axisCoordinate) {
  const QSize size = TrackSize();
  int low, high;
  if (vertical_) {
    low = thumbHeight_ / 2 + topMargin_;
    high = size.height() - thumbHeight_ / 2 - bottomMargin_;
  } else {
    low = leftMargin_ + thumbWidth_ / 2;
    high = size.width() - thumbWidth_ / 2 - rightMargin_;
  }
  // A thumb longer than the track stays at the track start.
  const int centre = high < low ? low : std::clamp(axisCoordinate - mouseOffset_, low, high);
  if (centre != PixelOfPosition(position_)) SetPos(PositionOfPixel(centre));
  PostParentMessage(this, WM_BITMAPSLIDER_MOVING, static_cast<uint64_t>(ControlId(this)), position_);
}

void CBitmapSlider::EndDrag() {
  dragging_ = false;
  if (QWidget::mouseGrabber() == this) releaseMouse();
}

void CBitmapSlider::keyPressEvent(QKeyEvent* event) {
  if (!enabled_) {
    event->accept();  // swallowed
    return;
  }
  int64_t target = position_;
  bool navigation = true;
  switch (event->key()) {
    case Qt::Key_PageUp:
      target -= page_;
      break;
    case Qt::Key_PageDown:
      target += page_;
      break;
    case Qt::Key_End:
      target = maximum_;
      break;
    case Qt::Key_Home:
      target = minimum_;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      target += 1;
      break;
    case Qt::Key_Left:
    case Qt::Key_Up:
      target -= 1;
      break;
    default:
      navigation = false;
  }
  if (navigation) {
    SetPos(static_cast<int32_t>(
        std::clamp<int64_t>(target, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
    SendParentMessage(this, WM_BITMAPSLIDER_MOVED, static_cast<uint64_t>(ControlId(this)), position_);
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);  // Enter, Esc and the rest go on to the dialog
}

void CBitmapSlider::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  hasFocus_ = true;
  Redraw();
}

void CBitmapSlider::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  hasFocus_ = false;
  Redraw();
}
