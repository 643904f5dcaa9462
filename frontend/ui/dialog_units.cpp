#include "frontend/ui/dialog_units.h"

#include <strings.h>
#include <QFontMetrics>
#include <cstdint>

int MulDivRound(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = static_cast<int64_t>(a) * b;
  int64_t half = (c > 0 ? c : -c) / 2;
  bool negative = (p < 0) != (c < 0);
  int64_t mag = (p < 0 ? -p : p) + half;
  int64_t q = mag / (c > 0 ? c : -c);
  return static_cast<int>(negative ? -q : q);
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  QFontMetrics fm(font);
  int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogBaseUnits units;
  units.cx = (width / 26 + 1) / 2;
  units.cy = fm.height();
  return units;
}

int DialogUnitsToPixelsX(int du, const DialogBaseUnits& units) { return MulDivRound(du, units.cx, 4); }
int DialogUnitsToPixelsY(int du, const DialogBaseUnits& units) { return MulDivRound(du, units.cy, 8); }

QRect DialogUnitsToPixels(const QRect& du, const DialogBaseUnits& units) {
  return QRect(DialogUnitsToPixelsX(du.x(), units), DialogUnitsToPixelsY(du.y(), units),
               DialogUnitsToPixelsX(du.width(), units), DialogUnitsToPixelsY(du.height(), units));
}

QFont DialogFont(const char* face, int points) {
  static const char* const kWindowsFaces[] = {"MS Shell Dlg",         "MS Shell Dlg 2", "MS Sans Serif", "Tahoma",
                                              "Microsoft Sans Serif", "Segoe UI",       "Arial"};
  QFont font;
  bool windowsFace = face == nullptr || *face == '\0';
  for (const char* known : kWindowsFaces) {
    if (face != nullptr && strcasecmp(face, known) == 0) windowsFace = true;
  }
  if (windowsFace) {
    font.setFamily(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
  } else {
    font.setFamily(QString::fromUtf8(face));
  }
  font.setPointSize(points > 0 ? points : 8);
  return font;
}
