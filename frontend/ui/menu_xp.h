// Flat menus for the windows that opt in: a light icon column on the left, a
// framed highlight, bold default items, icons by command id, a three-line
// border around every popup, and a menu bar whose open item looks pressed
// with a shadow on its right. A proxy style draws and measures the items;
// CMenuXP holds the process-wide tables and applies the style to the menus
// of attached windows.
#pragma once

#include <QFont>
#include <QPixmap>
#include <QProxyStyle>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>

class QImage;
class QMenu;
class QMenuBar;
class QWidget;

// Menu-character flags and result.
constexpr unsigned MF_POPUP = 0x10;
constexpr unsigned MF_SYSMENU = 0x2000;
constexpr int MNC_EXECUTE = 2;

struct MenuItemSizes {
  int itemHeight;       // a popup item
  int separatorHeight;  // a popup separator
};

class CMenuXP {
 public:
  // The window property that marks a window whose menus are drawn here.
  static constexpr const char* kWindowProperty = "XPWndProp_MenuXP";

  static void AttachWindow(QWidget* window, bool on);
  static bool IsAttached(const QWidget* window);
  // Converts the window's menu bar and its popups when the window is attached.
  static void UpdateMenuBar(QWidget* window);
  // Gives a popup (and the popups below it) the look, its items their
  // registered icons; nothing when enabled is false.
  static void ConvertMenu(QWidget* window, QMenu* menu, bool enabled);
  static void ConvertMenuBar(QMenuBar* bar);
  // Registers (or replaces) the icon of a command; a null picture removes it.
  static void SetCommandImage(int id, const QPixmap& picture);
  static QPixmap CommandImage(int id);

  // The item sizes for a menu font: items are tmHeight + 6 high (20 for
  // small fonts), separators tmHeight / 2 + 2.
  static MenuItemSizes ItemSizes(const QFont& font);
  // The width a label is measured at: its first '&' taken out.
  static int LabelWidth(const QString& label, const QFont& font, bool isDefault);

  // The item a typed character executes among the items' texts (by
  // position, separators as empty texts): (MNC_EXECUTE << 16) | position for
  // the first whose label has "&" + key not preceded by another '&'; 0 when
  // none matches, for the system menu, or for flags without MF_POPUP.
  static int32_t MenuChar(const QStringList& texts, QChar key, unsigned flags);

  // The shared style of converted menus.
  static QStyle* Style();
  // The screen rectangle of the open menu-bar item a popup hangs from; empty
  // when it hangs from none.
  static QRect OpenBarItemRect(const QMenu* menu);
};

// Shades the right shadow band of a rectangle of an image: 4 columns from the
// right edge, each starting lower than the one outside it, darker inwards and
// downwards (93 % to 78 % of each channel). toBottom runs each column to the
// rectangle's bottom (the open menu-bar item), else it stops short as a popup
// shadow does.
void ShadeRightBand(QImage& image, const QRect& rect, bool toBottom);
// The shading percent of band column i (0 outermost) at row j from its top.
int ShadowPercent(int column, int row);
