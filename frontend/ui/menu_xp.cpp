#include "frontend/ui/menu_xp.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QStyleOption>
#include <map>

#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr int kIconColumn = 22;  // the light column left of the labels
constexpr int kLabelLeft = 30;
constexpr int kShortcutRight = 12;
constexpr int kBarShadow = 4;  // the right strip of a menu-bar item
constexpr int kItemExtra = 42;
// A menu-bar item is its label and the 4-pixel shadow strip.
constexpr int kBarItemExtra = kBarShadow;

uint32_t Sys(int index) { return ToColorRef(SysColor(index)); }
// A system colour with its luminance and saturation moved.
uint32_t L(int index, int luminance, int saturation) { return AdjustHLS(Sys(index), luminance, saturation); }

std::map<int, QPixmap>& CommandImages() {
  static std::map<int, QPixmap> images;
  return images;
}

// The label: the text before the first tab.
QString LabelOf(const QString& text) {
  const qsizetype tab = text.indexOf(u'\t');
  return tab < 0 ? text : text.left(tab);
}
QString ShortcutOf(const QString& text) {
  const qsizetype tab = text.indexOf(u'\t');
  return tab < 0 ? QString() : text.mid(tab + 1);
}

// A classic Rectangle: outline in the pen colour, inside in the brush colour.
void Rectangle(QPainter& p, const QRect& r, uint32_t pen, uint32_t brush) {
  CSelectPen selectPen(&p, pen);
  CSelectBrush selectBrush(&p, brush);
  DrawRectangle(&p, r);
}

// The shape of a picture (its opaque pixels) in one colour.
QImage MonoCopy(const QPixmap& picture, uint32_t colour) {
  QImage mono = picture.toImage().convertToFormat(QImage::Format_ARGB32);
  const QColor c = ColorRef(colour);
  for (int y = 0; y < mono.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(mono.scanLine(y));
    for (int x = 0; x < mono.width(); ++x) row[x] = qAlpha(row[x]) >= 128 ? c.rgb() : 0;
  }
  return mono;
}

// The 7 x 7 check mark: each column a stroke three pixels high.
void DrawCheckMark(QPainter& p, int x, int y, uint32_t colour) {
  for (int i = 0; i < 7; ++i) p.fillRect(x + i, y + (i <= 2 ? 2 + i : 6 - i), 1, 3, ColorRef(colour));
}

class MenuXpStyle final : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_MenuPanelWidth:
        return 3;
      case PM_MenuHMargin:
      case PM_MenuVMargin:
      case PM_MenuBarPanelWidth:
      case PM_MenuBarItemSpacing:
      case PM_MenuBarHMargin:
      case PM_MenuBarVMargin:
      case PM_MenuTearoffHeight:
        return 0;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (item != nullptr && (type == CT_MenuItem || type == CT_MenuBarItem)) {
      const MenuItemSizes sizes = CMenuXP::ItemSizes(item->font);
      if (type == CT_MenuBarItem)
        return QSize(CMenuXP::LabelWidth(LabelOf(item->text), item->font, false) + kBarItemExtra, sizes.itemHeight);
      if (item->menuItemType == QStyleOptionMenuItem::Separator) return QSize(1, sizes.separatorHeight);
      const bool isDefault = item->menuItemType == QStyleOptionMenuItem::DefaultItem;
      // The menu adds the widest shortcut to the widest item.
      return QSize(CMenuXP::LabelWidth(LabelOf(item->text), item->font, isDefault) + kItemExtra, sizes.itemHeight);
    }
    if (type == CT_Menu) return size;
    return QProxyStyle::sizeFromContents(type, option, size, widget);
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* p,
                     const QWidget* widget) const override {
    switch (element) {
      case PE_PanelMenu:
        p->fillRect(option->rect, ColorRef(L(COLOR_BTNFACE, 75, 0)));
        return;
      case PE_FrameMenu:
        DrawBorder(*p, option->rect, qobject_cast<const QMenu*>(widget));
        return;
      case PE_PanelMenuBar:
        p->fillRect(option->rect, SysColor(COLOR_BTNFACE));
        return;
      default:
        QProxyStyle::drawPrimitive(element, option, p, widget);
    }
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* p,
                   const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    switch (element) {
      case CE_MenuItem:
        if (item != nullptr) return PaintPopupItem(*item, *p);
        break;
      case CE_MenuBarItem:
        if (item != nullptr) return PaintBarItem(*item, *p);
        break;
      case CE_MenuBarEmptyArea:
        p->fillRect(option->rect, SysColor(COLOR_BTNFACE));
        return;
      case CE_MenuEmptyArea:
        p->fillRect(option->rect, ColorRef(L(COLOR_BTNFACE, 75, 0)));
        return;
      default:
        break;
    }
    QProxyStyle::drawControl(element, option, p, widget);
  }

 private:
  static void Highlight(QPainter& p, const QRect& r, bool disabled) {
    Rectangle(p, r, Sys(COLOR_HIGHLIGHT), disabled ? L(COLOR_BTNFACE, 73, 0) : L(COLOR_HIGHLIGHT, 70, -57));
  }

  static int TextFlags() { return Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignVCenter; }

  // A popup item, drawn through a buffer of its own rectangle.
  static void PaintPopupItem(const QStyleOptionMenuItem& item, QPainter& target) {
    const QRect area = item.rect;
    if (area.isEmpty()) return;
    QImage buffer(area.size(), QImage::Format_ARGB32_Premultiplied);
    {
      QPainter p(&buffer);
      p.setFont(item.font);
      const QRect r(QPoint(0, 0), area.size());
      const bool selected = item.state & QStyle::State_Selected;
      const bool disabled = !(item.state & QStyle::State_Enabled);
      const bool checked = item.checkType != QStyleOptionMenuItem::NotCheckable && item.checked;
      const bool isDefault = item.menuItemType == QStyleOptionMenuItem::DefaultItem;
      const int bottom = r.top() + r.height();  // exclusive, as rectangles are given to the classic calls

      if (selected && item.menuItemType != QStyleOptionMenuItem::Separator) {
        Highlight(p, r, disabled);
      } else {
        p.fillRect(QRect(0, 0, kIconColumn, r.height()), ColorRef(L(COLOR_BTNFACE, 20, 0)));
        p.fillRect(QRect(kIconColumn, 0, r.width() - kIconColumn, r.height()), ColorRef(L(COLOR_BTNFACE, 75, 0)));
      }
      if (item.menuItemType == QStyleOptionMenuItem::Separator) {
        const int mid = (r.top() + bottom) / 2;
        CSelectPen pen(&p, L(COLOR_BTNFACE, -18, 0));
        p.drawLine(r.left() + kLabelLeft, mid, r.right() - 1, mid);
      } else {
        const uint32_t textColour = disabled ? L(COLOR_BTNFACE, -18, 0) : Sys(COLOR_MENUTEXT);
        const QString label = LabelOf(item.text);
        if (!label.isEmpty()) {
          QFont font = item.font;
          if (isDefault) font.setWeight(QFont::Bold);
          p.setFont(font);
          p.setPen(ColorRef(textColour));
          const QRect text(kLabelLeft, 0, r.width() - kLabelLeft, r.height());
          p.drawText(text, TextFlags() | Qt::AlignLeft, label);
          const QString shortcut = ShortcutOf(item.text);
          if (!shortcut.isEmpty())
            p.drawText(text.adjusted(0, 0, -kShortcutRight, 0), Qt::TextSingleLine | Qt::AlignVCenter | Qt::AlignRight,
                       shortcut);
        }
        const uint32_t boxBrush = disabled   ? L(COLOR_BTNFACE, 73, 0)
                                  : selected ? L(COLOR_HIGHLIGHT, 50, -50)
                                             : L(COLOR_HIGHLIGHT, 70, -57);
        if (checked) Rectangle(p, QRect(QPoint(1, 1), QPoint(19, bottom - 2)), Sys(COLOR_HIGHLIGHT), boxBrush);
        const QPixmap icon = item.icon.isNull() ? QPixmap() : item.icon.pixmap(16, 16);
        if (!icon.isNull()) {
          const bool raised = selected && !disabled;
          if (disabled || (selected && !checked)) {
            const int at = raised ? 4 : 3;
            p.drawImage(at, at, MonoCopy(icon, raised ? L(COLOR_HIGHLIGHT, 50, -66) : L(COLOR_BTNFACE, -27, 0)));
          }
          if (!disabled) {
            const int at = selected && !checked ? 2 : 3;
            p.drawPixmap(at, at, icon);
          }
        } else if (checked) {
          if (item.checkType == QStyleOptionMenuItem::Exclusive) {
            const uint32_t colour = disabled ? L(COLOR_BTNFACE, -27, 0) : Sys(COLOR_MENUTEXT);
            const int cx = (5 + 20) / 2, cy = (r.top() + bottom) / 2;
            p.setRenderHint(QPainter::Antialiasing, false);
            p.setPen(ColorRef(colour));
            p.setBrush(ColorRef(colour));
            p.drawEllipse(QRect(QPoint(cx - 4, cy - 3), QPoint(cx + 2, cy + 3)));
            p.fillRect(cx + 1, cy + 2, 1, 1, ColorRef(boxBrush));
          } else {
            DrawCheckMark(p, 5 + 4, 3 + (bottom - 3 - 7) / 2 - 1, textColour);
          }
        }
        if (item.menuItemType == QStyleOptionMenuItem::SubMenu) {
          // The arrow of an item that opens a popup.
          const int x = r.right() - 8, cy = r.height() / 2;
          for (int i = 0; i < 4; ++i) p.fillRect(x + i, cy - 3 + i, 1, 7 - 2 * i, ColorRef(textColour));
        }
      }
    }
    target.drawImage(area.topLeft(), buffer);
  }

  static void PaintBarItem(const QStyleOptionMenuItem& item, QPainter& target) {
    const QRect area = item.rect;
    if (area.isEmpty()) return;
    QImage buffer(area.size(), QImage::Format_ARGB32_Premultiplied);
    const bool selected = item.state & QStyle::State_Selected;
    const bool open = selected && (item.state & QStyle::State_Sunken);
    const bool disabled = !(item.state & QStyle::State_Enabled);
    const QRect r(QPoint(0, 0), area.size());
    const QRect face = r.adjusted(0, 0, -kBarShadow, 0);
    const QRect strip(face.right() + 1, 0, kBarShadow, r.height());
    {
      QPainter p(&buffer);
      if (open) {
        Rectangle(p, face, Sys(COLOR_3DDKSHADOW), L(COLOR_BTNFACE, 20, 0));
        p.fillRect(strip, SysColor(COLOR_BTNFACE));
      } else if (selected) {
        Highlight(p, face, disabled);
        p.fillRect(strip, SysColor(COLOR_BTNFACE));
      } else {
        p.fillRect(r, SysColor(COLOR_BTNFACE));
      }
      p.setFont(item.font);
      p.setPen(ColorRef(disabled ? L(COLOR_BTNFACE, -18, 0) : Sys(COLOR_MENUTEXT)));
      p.drawText(face, TextFlags() | Qt::AlignHCenter, LabelOf(item.text));
    }
    if (open) ShadeRightBand(buffer, r, true);
    target.drawImage(area.topLeft(), buffer);
  }

  // The three-line border; under the open menu-bar item it hangs from, the
  // top line takes the item's colour so the two read as one.
  static void DrawBorder(QPainter& p, const QRect& r, const QMenu* menu) {
    CSelectBrush hollow(&p, CSelectBrush::kNullBrush);
    {
      CSelectPen pen(&p, Sys(COLOR_3DDKSHADOW));
      DrawRectangle(&p, r);
    }
    {
      CSelectPen pen(&p, L(COLOR_BTNFACE, 75, 0));
      DrawRectangle(&p, r.adjusted(1, 1, -1, -1));
      DrawRectangle(&p, r.adjusted(2, 2, -2, -2));
    }
    if (menu == nullptr) return;
    const QRect item = CMenuXP::OpenBarItemRect(menu);
    if (item.isEmpty() || item.bottom() != menu->y()) return;
    const int from = std::max(item.left() - menu->x() + 1, r.left() + 1);
    const int to = std::min(item.right() - kBarShadow - menu->x() - 1, r.right() - 1);
    if (from > to) return;
    CSelectPen pen(&p, L(COLOR_BTNFACE, 20, 0));
    p.drawLine(from, r.top(), to, r.top());
  }
};

QPointer<MenuXpStyle>& StyleInstance() {
  static QPointer<MenuXpStyle> style;
  return style;
}

// Typed characters run the first item they name; a popup opens one line
// higher so it overlaps the menu-bar item it hangs from.
class MenuWatcher final : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu == nullptr) return false;
    if (event->type() == QEvent::Show) {
      if (!menu->property("xpMoved").toBool()) {
        menu->setProperty("xpMoved", true);
        menu->move(menu->x(), menu->y() - 1);
      }
      return false;
    }
    if (event->type() == QEvent::Hide) {
      menu->setProperty("xpMoved", false);
      return false;
    }
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->text().size() != 1 || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
      return false;
    const QList<QAction*> actions = menu->actions();
    QStringList texts;
    for (QAction* a : actions) texts << (a->isSeparator() || !a->isVisible() ? QString() : a->text());
    const int32_t result = CMenuXP::MenuChar(texts, key->text().at(0), MF_POPUP);
    if (result == 0) return false;
    QAction* chosen = actions.value(result & 0xFFFF);
    if (chosen == nullptr || !chosen->isEnabled()) return true;
    menu->setActiveAction(chosen);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(menu, &enter);
    return true;
  }
};

MenuWatcher* Watcher() {
  static QPointer<MenuWatcher> watcher;
  if (watcher == nullptr) {
    watcher = new MenuWatcher;
    watcher->setParent(qApp);
  }
  return watcher;
}

}  // namespace

void CMenuXP::AttachWindow(QWidget* window, bool on) {
  if (window == nullptr) return;
  window->setProperty(kWindowProperty, on ? QVariant(1) : QVariant());
}

bool CMenuXP::IsAttached(const QWidget* window) {
  return window != nullptr && window->property(kWindowProperty).toInt() == 1;
}

void CMenuXP::UpdateMenuBar(QWidget* window) {
  if (!IsAttached(window)) return;
  QMenuBar* bar = window->findChild<QMenuBar*>(QString(), Qt::FindDirectChildrenOnly);
  if (bar == nullptr) bar = window->findChild<QMenuBar*>();
  if (bar != nullptr) ConvertMenuBar(bar);
}

void CMenuXP::ConvertMenuBar(QMenuBar* bar) {
  if (bar == nullptr) return;
  bar->setStyle(Style());
  for (QAction* action : bar->actions())
    if (QMenu* popup = action->menu()) ConvertMenu(bar, popup, true);
  bar->updateGeometry();
  bar->update();
}

void CMenuXP::ConvertMenu(QWidget* window, QMenu* menu, bool enabled) {
  if (!enabled || menu == nullptr) return;
  (void)window;
  menu->setStyle(Style());
  menu->removeEventFilter(Watcher());
  menu->installEventFilter(Watcher());
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    if (QMenu* popup = action->menu()) {
      ConvertMenu(window, popup, true);
    } else if (action->data().isValid()) {
      const QPixmap image = CommandImage(action->data().toInt());
      if (!image.isNull()) action->setIcon(QIcon(image));
    }
  }
}

void CMenuXP::SetCommandImage(int id, const QPixmap& picture) {
  if (picture.isNull()) {
    CommandImages().erase(id);
  } else {
    CommandImages()[id] = picture;
  }
}

QPixmap CMenuXP::CommandImage(int id) {
  const auto it = CommandImages().find(id);
  return it == CommandImages().end() ? QPixmap() : it->second;
}

MenuItemSizes CMenuXP::ItemSizes(const QFont& font) {
  const int tmHeight = QFontMetrics(font).height();
  return MenuItemSizes{tmHeight + 2 > 16 ? tmHeight + 6 : 20, tmHeight / 2 + 2};
}

int CMenuXP::LabelWidth(const QString& label, const QFont& font, bool isDefault) {
  if (label.isEmpty()) return 0;
  QString shown = label;
  const qsizetype amp = shown.indexOf(u'&');
  if (amp >= 0) shown.remove(amp, 1);
  QFont f = font;
  f.setWeight(isDefault ? QFont::Bold : QFont::Normal);
  return QFontMetrics(f).horizontalAdvance(shown);
}

int32_t CMenuXP::MenuChar(const QStringList& texts, QChar key, unsigned flags) {
  if ((flags & MF_SYSMENU) != 0 || (flags != 0 && (flags & MF_POPUP) == 0)) return 0;
  const QChar upper = key.toUpper();
  for (qsizetype pos = 0; pos < texts.size(); ++pos) {
    const QString label = LabelOf(texts[pos]).toUpper();
    for (qsizetype k = label.size() - 2; k >= 0; --k) {
      if (label[k] != u'&' || label[k + 1] != upper) continue;
      if (k > 0 && label[k - 1] == u'&') continue;
      return (MNC_EXECUTE << 16) | static_cast<int32_t>(pos);
    }
  }
  return 0;
}

QStyle* CMenuXP::Style() {
  QPointer<MenuXpStyle>& style = StyleInstance();
  if (style == nullptr) {
    style = new MenuXpStyle;
    style->setParent(qApp);
  }
  return style;
}

QRect CMenuXP::OpenBarItemRect(const QMenu* menu) {
  if (menu == nullptr) return {};
  QAction* action = menu->menuAction();
  for (QObject* owner : action->associatedObjects()) {
    auto* bar = qobject_cast<QMenuBar*>(owner);
    if (bar == nullptr || bar->activeAction() != action) continue;
    const QRect r = bar->actionGeometry(action);
    return QRect(bar->mapToGlobal(r.topLeft()), r.size());
  }
  return {};
}

int ShadowPercent(int column, int row) {
  int d;
  if (row == 0) {
    d = 0;
  } else if (row == 1) {
    d = column >= 2 ? 1 : 0;
  } else if (row == 2) {
    d = column >= 2 ? 2 : column;
  } else {
    d = column;
  }
  return 93 - 5 * d;
}

void ShadeRightBand(QImage& image, const QRect& rect, bool toBottom) {
  static const int kStart[4] = {2, 1, 0, 0};
  const int w = rect.width(), h = rect.height();
  for (int i = 0; i < 4 && i < w; ++i) {
    const int x = rect.left() + w - 1 - i;
    const int end = toBottom ? h : h - 1 - (i == 0 ? 1 : 0) - i;
    for (int y = 4 + kStart[i]; y < end; ++y) {
      const int py = rect.top() + y;
      if (x < 0 || py < 0 || x >= image.width() || py >= image.height()) continue;
      const int p = ShadowPercent(i, y - 4);
      const QRgb c = image.pixel(x, py);
      image.setPixel(x, py, qRgba(qRed(c) * p / 100, qGreen(c) * p / 100, qBlue(c) * p / 100, qAlpha(c)));
    }
  }
}
