#include "frontend/controls/range_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/control_ids.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGray = 0x808080;  // the gray stock brush

// A rectangle given by its edges, right and bottom excluded.
QRect Edges(int left, int top, int right, int bottom) { return QRect(left, top, right - left, bottom - top); }

// The centre as a classic rectangle gives it.
QPoint Centre(const QRect& r) {
  return QPoint((r.left() + r.left() + r.width()) / 2, (r.top() + r.top() + r.height()) / 2);
}

int Truncate(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int>(std::clamp(v, -2.0e9, 2.0e9));
}

}  // namespace

uint32_t RangeChangedMessage() {
  static const uint32_t message = RegisterUiMessage("RANGE_CHANGED{2E7439A4-12DB-42a2-BB95-3462B3EC39CE}CRangeSlider");
  return message;
}

CRangeSlider::CRangeSlider(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::ArrowCursor);
}

CRangeSlider::~CRangeSlider() = default;

void CRangeSlider::Normalise() {
  if (left_ < min_) {
    left_ = min_;
    if (min_ > right_) right_ = min_;
  }
  if (right_ > max_) {
    right_ = max_;
    if (max_ < left_) left_ = max_;
  }
  Layout();
}

void CRangeSlider::SetMinMax(double a, double b) {
  if (inverted_) {
    min_ = -std::max(a, b);
    max_ = -std::min(a, b);
  } else {
    min_ = std::min(a, b);
    max_ = std::max(a, b);
  }
  Normalise();
  update();
}

void CRangeSlider::SetRange(double a, double b) {
  if (inverted_) {
    const double first = -b;
    b = -a;
    a = first;
  }
  // A reversed pair still gives left <= right.
  left_ = std::min(a, b);
  right_ = std::max(a, b);
  Normalise();
  update();
}

void CRangeSlider::SetLeft(double v) {
  left_ = std::min(v, right_);
  Normalise();
  update();
}

void CRangeSlider::SetRight(double v) {
  right_ = std::max(v, left_);
  Normalise();
  update();
}

void CRangeSlider::SetVisualMinMax(double a, double b) {
  visualMin_ = std::min(a, b);
  visualMax_ = std::max(a, b);
  update();
}

void CRangeSlider::SetVertical(bool vertical) {
  horizontal_ = !vertical;
  Layout();
  update();
}

void CRangeSlider::SetShowVisualRange(bool show) {
  showVisual_ = show;
  update();
}

int CRangeSlider::PixelOf(double v) const {
  if (max_ == min_) return 0;
  return Truncate(track_ * (v - min_) / (max_ - min_) + 0.5);
}

QRect CRangeSlider::Oriented(int a0, int c0, int a1, int c1) const {
  return horizontal_ ? Edges(a0, c0, a1, c1) : Edges(c0, a0, c1, a1);
}

void CRangeSlider::Layout() {
  const int along = horizontal_ ? width() : height();
  const int across = horizontal_ ? height() : width();
  thumb_ = across * 3 / 4;
  track_ = along - 2 * thumb_;
  const int l = PixelOf(left_), r = PixelOf(right_), t = thumb_;
  leftRect_ = Oriented(l + 1, 1, l + t - 2, across - 2);
  if (dragging_ && dragTarget_ == kDragRight)
    rightRect_ = Oriented(t + r, 0, 2 * t + r, across);
  else
    rightRect_ = Oriented(t + r + 1, 1, 2 * t + r - 2, across - 2);
}

QRect CRangeSlider::BarRect() const {
  if (horizontal_) return Edges(leftRect_.left() + leftRect_.width() + 1, 0, rightRect_.left() - 1, height());
  return Edges(0, leftRect_.top() + leftRect_.height() + 1, width(), rightRect_.top() - 1);
}

void CRangeSlider::Send(int wParam, int lParam) {
  SendParentMessage(this, RangeChangedMessage(), static_cast<uint64_t>(wParam), lParam);
}

void CRangeSlider::resizeEvent(QResizeEvent* event) {
  Layout();
  QWidget::resizeEvent(event);
}

void CRangeSlider::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  COffscreenDC dc(&painter, rect());
  if (!dc.isActive()) return;
  dc.fillRect(rect(), palette().color(backgroundRole()));
  Layout();
  const int across = horizontal_ ? height() : width();
  const int t = thumb_, l = PixelOf(left_), r = PixelOf(right_);
  const auto point = [this](int a, int c) { return horizontal_ ? QPoint(a, c) : QPoint(c, a); };
  const auto line = [&dc](uint32_t colour, std::initializer_list<QPoint> points) {
    CSelectPen pen(&dc, colour);
    const QPoint* p = points.begin();
    for (size_t i = 1; i < points.size(); ++i) dc.drawLine(p[i - 1], p[i]);
  };
  {
    CSelectPen pen(&dc, kBlack);
    CSelectBrush brush(&dc, kGray);
    DrawRectangle(&dc, rect());
  }
  const auto thumb = [&](const QRect& whole, const QRect& stored, bool raised) {
    {
      CSelectPen pen(&dc, kBlack);
      CSelectBrush brush(&dc, ToColorRef(SysColor(COLOR_BTNFACE)));
      DrawRectangle(&dc, whole);
    }
    if (!raised) return;
    const int x0 = stored.left(), y0 = stored.top();
    const int x1 = stored.left() + stored.width(), y1 = stored.top() + stored.height();
    line(ToColorRef(SysColor(COLOR_BTNHIGHLIGHT)), {QPoint(x0, y1), QPoint(x0, y0), QPoint(x1, y0)});
    line(ToColorRef(SysColor(COLOR_BTNSHADOW)), {QPoint(x1, y0), QPoint(x1, y1), QPoint(x0, y1)});
  };
  thumb(Oriented(l, 0, l + t, across), leftRect_, !(dragging_ && dragTarget_ == kDragLeft));
  line(kBlack, {point(l + 6, across / 4), point(l + 4, across / 4), point(l + 4, t), point(l + 7, t)});
  thumb(Oriented(t + r, 0, 2 * t + r, across), rightRect_, !(dragging_ && dragTarget_ == kDragRight));
  line(kBlack, {point(t + r + 6, across / 4), point(t + r + 8, across / 4), point(t + r + 8, t), point(t + r + 5, t)});
  dc.fillRect(Oriented(l + t + 1, 1, r + t, across - 1), ColorRef(kWhite));
  if (showVisual_ && visualMin_ < right_ && visualMax_ > left_) {
    const int from = std::max(l + t, PixelOf(visualMin_) + t);
    const int to = t + std::min(PixelOf(visualMax_), r);
    dc.fillRect(Oriented(from, 1, to, across - 1), ColorRef(kVisualRangeColour));
  }
  if (hasFocus()) DrawFocusRect(dc, BarRect().adjusted(3, 3, -3, -3), this);
}

void CRangeSlider::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  update();
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (!dragging_) {
    const QPoint at = event->position().toPoint();
    QRect gripped;
    if (leftRect_.contains(at)) {
      dragTarget_ = kDragLeft;
      gripped = leftRect_;
    } else if (rightRect_.contains(at)) {
      dragTarget_ = kDragRight;
      gripped = rightRect_;
    } else if (BarRect().contains(at)) {
      dragTarget_ = kDragBar;
      gripped = BarRect();
    }
    if (!gripped.isNull()) {
      dragging_ = true;
      grip_ = at - Centre(gripped);
    }
  }
  event->accept();
}

void CRangeSlider::mouseMoveEvent(QMouseEvent* event) {
  if (!dragging_) return QWidget::mouseMoveEvent(event);
  const QPoint at = event->position().toPoint() - grip_;
  const int p = horizontal_ ? at.x() : at.y();
  const int t = thumb_;
  const double span = max_ - min_;
  if (track_ > 0) {
    if (dragTarget_ == kDragLeft) {
      double v = min_ + double(p - t / 2) / track_ * span;
      if (v >= right_) v = right_;
      if (v <= min_) v = min_;
      left_ = v;
    } else if (dragTarget_ == kDragRight) {
      double v = min_ + double(p - 3 * t / 2) / track_ * span;
      if (v <= left_) v = left_;
      if (v >= max_) v = max_;
      right_ = v;
    } else {
      const double d = double(p - t) / track_ * span, w = right_ - left_;
      left_ = min_ + d - w / 2;
      right_ = min_ + d + w / 2;
      if (left_ <= min_) {
        left_ = min_;
        right_ = min_ + w;
      }
      if (right_ >= max_) {
        right_ = max_;
        left_ = max_ - w;
      }
    }
  }
  Layout();
  Send(dragTarget_, 0);
  update();
}

void CRangeSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  if (dragging_) {
    dragging_ = false;
    Layout();
    update();
  }
  Send(dragTarget_, 1);
}

void CRangeSlider::keyPressEvent(QKeyEvent* event) {
  const int forwardKey = horizontal_ ? Qt::Key_Right : Qt::Key_Down;
  const int backwardKey = horizontal_ ? Qt::Key_Left : Qt::Key_Up;
  const int key = event->key();
  if ((key != forwardKey && key != backwardKey) || (event->modifiers() & Qt::ControlModifier))
    return QWidget::keyPressEvent(event);
  event->accept();
  const double step = track_ > 0 ? (max_ - min_) / track_ : 0.0;
  if (step == 0.0) return;
  const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
  const int by = key == forwardKey ? 1 : -1;
  const int l = Truncate((left_ - min_) / step + 0.5), r = Truncate((right_ - min_) / step + 0.5);
  const int newLeft = shift ? l : l + by, newRight = r + by;
  // The right end never passes the left one.
  if (newLeft >= 0 && newRight <= track_ && newLeft <= newRight) {
    left_ = min_ + newLeft * step;
    right_ = min_ + newRight * step;
  }
  Layout();
  Send(shift ? kDragRight : kDragBar, 0);
  update();
}

void CRangeSlider::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void CRangeSlider::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}
