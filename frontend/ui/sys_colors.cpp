#include "frontend/ui/sys_colors.h"

#include <QApplication>
#include <QPalette>

QColor SysColor(int index) {
  QPalette p = QApplication::palette();
  switch (index) {
    case COLOR_WINDOW:
      return p.color(QPalette::Active, QPalette::Base);
    case COLOR_WINDOWTEXT:
    case COLOR_MENUTEXT:
      return p.color(QPalette::Active, QPalette::Text);
    case COLOR_HIGHLIGHT:
    case COLOR_MENUHILIGHT:
      return p.color(QPalette::Active, QPalette::Highlight);
    case COLOR_HIGHLIGHTTEXT:
      return p.color(QPalette::Active, QPalette::HighlightedText);
    // The palette has no title-bar colours: the highlight stands in, fading
    // to a lighter shade for the gradient's end.
    case COLOR_ACTIVECAPTION:
      return p.color(QPalette::Active, QPalette::Highlight);
    case COLOR_GRADIENTACTIVECAPTION:
      return p.color(QPalette::Active, QPalette::Highlight).lighter(160);
    case COLOR_CAPTIONTEXT:
      return p.color(QPalette::Active, QPalette::HighlightedText);
    case COLOR_BTNFACE:
    case COLOR_SCROLLBAR:
      return p.color(QPalette::Active, QPalette::Button);
    case COLOR_BTNTEXT:
      return p.color(QPalette::Active, QPalette::ButtonText);
    case COLOR_BTNSHADOW:
      return p.color(QPalette::Active, QPalette::Mid);
    case COLOR_3DDKSHADOW:
      return p.color(QPalette::Active, QPalette::Shadow);
    case COLOR_BTNHIGHLIGHT:
      return p.color(QPalette::Active, QPalette::Light);
    case COLOR_3DLIGHT:  // the light grid and edge colour
      return p.color(QPalette::Active, QPalette::Button);
    case COLOR_GRAYTEXT:
      return p.color(QPalette::Disabled, QPalette::Text);
    case COLOR_WINDOWFRAME:
      return p.color(QPalette::Active, QPalette::Dark);
    case COLOR_BACKGROUND:
    case COLOR_MENU:
      return p.color(QPalette::Active, QPalette::Window);
    case COLOR_APPWORKSPACE:
      return p.color(QPalette::Active, QPalette::Dark);
    default:
      return p.color(QPalette::Active, QPalette::Window);
  }
}
