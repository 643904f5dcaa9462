#include "frontend/controls/tab_ctrl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <algorithm>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/win_defs.h"

namespace {
constexpr int kMargin = 2;  // between the frame and the display area
}

CTabCtrl::CTabCtrl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
  bar_->setDrawBase(false);
  bar_->setExpanding(false);
  connect(bar_, &QTabBar::currentChanged, this, [this](int) {
    if (!quiet_) NotifyParent(this, TCN_SELCHANGE);
  });
}

int CTabCtrl::BarHeight() const { return std::max(bar_->sizeHint().height(), fontMetrics().height() + 8); }

int CTabCtrl::InsertItem(int index, const QString& text) {
  quiet_ = true;
  const int at = bar_->insertTab(index, text);
  quiet_ = false;
  bar_->resize(width(), BarHeight());
  return at;
}

void CTabCtrl::DeleteAllItems() {
  quiet_ = true;
  while (bar_->count() > 0) bar_->removeTab(bar_->count() - 1);
  quiet_ = false;
}

int CTabCtrl::GetItemCount() const { return bar_->count(); }

QString CTabCtrl::GetItemText(int index) const { return bar_->tabText(index); }

int CTabCtrl::GetCurSel() const { return bar_->currentIndex(); }

int CTabCtrl::SetCurSel(int index) {
  const int previous = bar_->currentIndex();
  if (index < 0 || index >= bar_->count()) return -1;
  quiet_ = true;
  bar_->setCurrentIndex(index);
  quiet_ = false;
  return previous;
}

QRect CTabCtrl::DisplayRect() const {
  return rect().adjusted(kMargin + 1, BarHeight() + kMargin, -(kMargin + 1), -(kMargin + 1));
}

void CTabCtrl::resizeEvent(QResizeEvent*) { bar_->setGeometry(0, 0, width(), BarHeight()); }

void CTabCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame frame;
  frame.initFrom(this);
  frame.rect = rect().adjusted(0, BarHeight() - 1, 0, 0);
  frame.shape = QTabBar::RoundedNorth;
  frame.tabBarSize = bar_->sizeHint();
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}
