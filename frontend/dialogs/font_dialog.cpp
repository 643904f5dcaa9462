#include "frontend/dialogs/font_dialog.h"

#include <QFontDialog>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

FontDialogHook& Hook() {
  static FontDialogHook hook;
  return hook;
}

}  // namespace

FontDialogHook SetFontDialogHook(FontDialogHook hook) { return std::exchange(Hook(), std::move(hook)); }

int ScreenPixelsPerInchY() {
  QScreen* screen = QGuiApplication::primaryScreen();
  const int dpi = screen != nullptr ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : 96;
  return dpi > 0 ? dpi : 96;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  int64_t product = int64_t(a) * b;
  int64_t divisor = c;
  if (divisor < 0) {
    divisor = -divisor;
    product = -product;
  }
  // Rounded half away from zero.
  const int64_t q = product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
  return static_cast<int32_t>(q);
}

bool ChooseFont(QWidget* owner, LogFont& font) {
  if (Hook()) return Hook()(owner, font);
  const int dpi = ScreenPixelsPerInchY();
  QFont start(QString::fromStdString(font.faceName));
  const int pixels = font.height < 0 ? -font.height : font.height;
  if (pixels > 0) start.setPointSizeF(double(pixels) * 72.0 / dpi);
  start.setWeight(static_cast<QFont::Weight>(std::clamp(font.weight, 1, 1000)));
  start.setItalic(font.italic);
  start.setUnderline(font.underline);
  start.setStrikeOut(font.strikeOut);
  QFontDialog dialog(start, owner);
  dialog.setOption(QFontDialog::ScalableFonts);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QFont chosen = dialog.selectedFont();
  font.faceName = chosen.family().toStdString();
  font.height = -static_cast<int32_t>(std::lround(chosen.pointSizeF() * dpi / 72.0));
  font.weight = chosen.weight();
  font.italic = chosen.italic();
  font.underline = chosen.underline();
  font.strikeOut = chosen.strikeOut();
  return true;
}
