#include "frontend/ui/classic_draw.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>
#include <atomic>

#include "frontend/ui/sys_colors.h"

namespace {

std::atomic<bool> gFlatMenus{true};

struct EdgeColours {
  int topLeft;
  int bottomRight;
};

// One border line around the rectangle on the flagged sides: top and left
// first, then bottom and right over the corners they share.
void DrawBorder(QPainter& painter, const QRect& r, unsigned flags, const EdgeColours& c) {
  const int left = r.x(), top = r.y(), right = r.x() + r.width() - 1, bottom = r.y() + r.height() - 1;
  if (r.width() <= 0 || r.height() <= 0) return;
  if (flags & BF_TOP) painter.fillRect(QRect(left, top, r.width(), 1), SysColor(c.topLeft));
  if (flags & BF_LEFT) painter.fillRect(QRect(left, top, 1, r.height()), SysColor(c.topLeft));
  if (flags & BF_BOTTOM) painter.fillRect(QRect(left, bottom, r.width(), 1), SysColor(c.bottomRight));
  if (flags & BF_RIGHT) painter.fillRect(QRect(right, top, 1, r.height()), SysColor(c.bottomRight));
}

QRect Shrink(const QRect& r, unsigned flags) {
  return QRect(QPoint(r.x() + ((flags & BF_LEFT) ? 1 : 0), r.y() + ((flags & BF_TOP) ? 1 : 0)),
               QSize(r.width() - ((flags & BF_LEFT) ? 1 : 0) - ((flags & BF_RIGHT) ? 1 : 0),
                     r.height() - ((flags & BF_TOP) ? 1 : 0) - ((flags & BF_BOTTOM) ? 1 : 0)));
}

QStyle* StyleOf(const QWidget* widget) { return widget != nullptr ? widget->style() : QApplication::style(); }

QStyleOptionButton ButtonOption(const QRect& rect, unsigned state, const QWidget* widget) {
  QStyleOptionButton option;
  if (widget != nullptr) option.initFrom(widget);
  option.rect = rect;
  option.state &= ~(QStyle::State_Sunken | QStyle::State_Raised | QStyle::State_HasFocus | QStyle::State_MouseOver);
  if (state & DFCS_INACTIVE)
    option.state &= ~QStyle::State_Enabled;
  else
    option.state |= QStyle::State_Enabled;
  option.state |= (state & DFCS_PUSHED) ? QStyle::State_Sunken : QStyle::State_Raised;
  if (state & DFCS_FLAT) option.features |= QStyleOptionButton::Flat;
  return option;
}

}  // namespace

int GetSystemMetrics(int index) {
  switch (index) {
    case SM_CXEDGE:
    case SM_CYEDGE:
      return 2;
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      QScreen* screen = QGuiApplication::primaryScreen();
      if (screen == nullptr) return 0;
      return index == SM_CXSCREEN ? screen->geometry().width() : screen->geometry().height();
    }
    default:
      return 0;
  }
}

bool DrawEdge(QPainter& painter, QRect* rect, unsigned edge, unsigned flags) {
  if (rect == nullptr) return false;
  const unsigned outer = edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER);
  const unsigned inner = edge & (BDR_RAISEDINNER | BDR_SUNKENINNER);
  QRect r = *rect;
  if (outer != 0) {
    EdgeColours c = (flags & BF_MONO)           ? EdgeColours{COLOR_WINDOWFRAME, COLOR_WINDOWFRAME}
                    : (flags & BF_FLAT)         ? EdgeColours{COLOR_BTNSHADOW, COLOR_BTNSHADOW}
                    : (outer & BDR_RAISEDOUTER) ? EdgeColours{COLOR_3DLIGHT, COLOR_3DDKSHADOW}
                                                : EdgeColours{COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
    DrawBorder(painter, r, flags, c);
    r = Shrink(r, flags);
  }
  if (inner != 0) {
    EdgeColours c = (flags & BF_MONO)           ? EdgeColours{COLOR_WINDOW, COLOR_WINDOW}
                    : (flags & BF_FLAT)         ? EdgeColours{COLOR_BTNFACE, COLOR_BTNFACE}
                    : (inner & BDR_RAISEDINNER) ? EdgeColours{COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW}
                                                : EdgeColours{COLOR_3DDKSHADOW, COLOR_3DLIGHT};
    DrawBorder(painter, r, flags, c);
    r = Shrink(r, flags);
  }
  if ((flags & BF_MIDDLE) && r.width() > 0 && r.height() > 0) painter.fillRect(r, SysColor(COLOR_BTNFACE));
  if (flags & BF_ADJUST) *rect = r;
  return outer != 0 || inner != 0;
}

bool DrawFrameControl(QPainter& painter, QRect* rect, unsigned type, unsigned state, const QWidget* widget) {
  if (rect == nullptr) return false;
  QStyle* style = StyleOf(widget);
  const int edge = GetSystemMetrics(SM_CXEDGE);
  if (type == DFC_BUTTON && (state & 0xFF) == DFCS_BUTTONPUSH) {
    QStyleOptionButton option = ButtonOption(*rect, state, widget);
    style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, widget);
    if (state & DFCS_ADJUSTRECT) *rect = rect->adjusted(edge, edge, -edge, -edge);
    return true;
  }
  if (type == DFC_SCROLL && (state & 0xFF) == DFCS_SCROLLCOMBOBOX) {
    QStyleOptionButton option = ButtonOption(*rect, state, widget);
    if (state & DFCS_FLAT)
      painter.fillRect(*rect, SysColor(COLOR_BTNFACE));
    else
      style->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, widget);
    // The arrow sits a pixel lower and to the right while pressed.
    const int shift = (state & DFCS_PUSHED) ? 1 : 0;
    option.rect = rect->adjusted(edge + shift, edge + shift, -edge + shift, -edge + shift);
    style->drawPrimitive(QStyle::PE_IndicatorArrowDown, &option, &painter, widget);
    if (state & DFCS_ADJUSTRECT) *rect = rect->adjusted(edge, edge, -edge, -edge);
    return true;
  }
  return false;
}

void DrawFocusRect(QPainter& painter, const QRect& rect, const QWidget* widget) {
  QStyleOptionFocusRect option;
  if (widget != nullptr) option.initFrom(widget);
  option.rect = rect;
  option.state |= QStyle::State_KeyboardFocusChange;
  StyleOf(widget)->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, widget);
}

bool SystemFlatMenus() { return gFlatMenus.load(); }

void SetSystemFlatMenus(bool flat) { gFlatMenus.store(flat); }
