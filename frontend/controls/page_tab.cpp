#include "frontend/controls/page_tab.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/ui_dialog.h"

namespace {
constexpr int kFrame = 2;  // pane border around the display area
}

CPageTabCtrl::CPageTabCtrl(QWidget* parent) : QWidget(parent), tabs_(new QTabBar(this)) {
  tabs_->setDrawBase(false);
  tabs_->setExpanding(false);
  connect(tabs_, &QTabBar::currentChanged, this, [this](int tab) {
    if (!settingSelection_) OnSelChange(tab);
  });
  LayoutTabs();
}

CPageTabCtrl::~CPageTabCtrl() = default;

bool CPageTabCtrl::AddPage(const QString& caption, UiDialog* page) {
  if (page == nullptr) return false;
  page->Create(this);
  page->hide();
  settingSelection_ = true;  // the first tab added becomes the selected one without a click
  tabs_->addTab(caption);
  settingSelection_ = false;
  pages_.emplace_back(page);
  LayoutTabs();
  if (current_ == -1) SelectPage(0);
  return true;
}

int CPageTabCtrl::GetItemCount() const { return tabs_->count(); }

UiDialog* CPageTabCtrl::Page(int index) const {
  return index >= 0 && size_t(index) < pages_.size() ? pages_[size_t(index)].data() : nullptr;
}

void CPageTabCtrl::SelectPage(int index) {
  if (index < 0 || index >= GetItemCount() || size_t(index) >= pages_.size()) return;
  UiDialog* page = pages_[size_t(index)];
  if (page == nullptr) return;
  page->move(DisplayRect().topLeft());
  page->show();
  page->update();
  if (current_ != index) {
    if (UiDialog* old = Page(current_)) old->hide();
  }
  current_ = index;
}

int CPageTabCtrl::GetCurSel() const { return tabs_->currentIndex(); }

void CPageTabCtrl::SetCurSel(int index) {
  settingSelection_ = true;
  tabs_->setCurrentIndex(index);
  settingSelection_ = false;
}

QRect CPageTabCtrl::DisplayRect() const {
  const int top = tabs_->height();
  return QRect(0, top, width(), height() - top).adjusted(kFrame, kFrame, -kFrame, -kFrame);
}

void CPageTabCtrl::OnSelChange(int tab) {
  if (tab == -1 || tab == current_) return;
  SelectPage(tab);
  SendParentMessage(this, WM_PAGE_TAB_CHANGED, uint64_t(tab), 0);
}

void CPageTabCtrl::LayoutTabs() {
  tabs_->setGeometry(0, 0, width(), tabs_->sizeHint().height());
  if (UiDialog* page = Page(current_)) page->move(DisplayRect().topLeft());
}

void CPageTabCtrl::resizeEvent(QResizeEvent*) { LayoutTabs(); }

void CPageTabCtrl::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionTabWidgetFrame option;
  option.initFrom(this);
  option.rect = QRect(0, tabs_->height(), width(), height() - tabs_->height());
  option.shape = QTabBar::RoundedNorth;
  option.tabBarSize = tabs_->size();
  option.tabBarRect = tabs_->geometry();
  style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
}
