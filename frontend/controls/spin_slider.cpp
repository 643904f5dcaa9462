#include "frontend/controls/spin_slider.h"

#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>

#include "frontend/ui/control_ids.h"

namespace {

QToolButton* ArrowButton(QWidget* parent, Qt::ArrowType arrow) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setFocusPolicy(Qt::NoFocus);  // the edit beside it keeps the focus
  button->setAutoRepeat(true);
  return button;
}

}  // namespace

CSpinButtonCtrl::CSpinButtonCtrl(QWidget* parent)
    : QWidget(parent), up_(ArrowButton(this, Qt::UpArrow)), down_(ArrowButton(this, Qt::DownArrow)) {
  setFocusPolicy(Qt::NoFocus);
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

CSpinButtonCtrl::~CSpinButtonCtrl() = default;

void CSpinButtonCtrl::SetRange(int32_t lower, int32_t upper) {
  lower_ = std::min(lower, upper);
  upper_ = std::max(lower, upper);
  SetPos(pos_);
}

void CSpinButtonCtrl::SetPos(int32_t pos) { pos_ = std::clamp(pos, lower_, upper_); }

void CSpinButtonCtrl::Step(int32_t delta) {
  SpinDelta change{pos_, delta};
  if (NotifyParent(this, UDN_DELTAPOS, &change) != 0) return;
  SetPos(static_cast<int32_t>(std::clamp<int64_t>(int64_t(pos_) + change.delta, lower_, upper_)));
}

void CSpinButtonCtrl::resizeEvent(QResizeEvent*) {
  const int half = height() / 2;
  up_->setGeometry(0, 0, width(), half);
  down_->setGeometry(0, half, width(), height() - half);
}

CSliderCtrl::CSliderCtrl(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent) {
  if (orientation == Qt::Vertical) setInvertedAppearance(true);  // 0 at the top
  setTracking(true);
}

CSliderCtrl::~CSliderCtrl() = default;

void CSliderCtrl::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  NotifyParent(this, NM_RELEASEDCAPTURE);
}
