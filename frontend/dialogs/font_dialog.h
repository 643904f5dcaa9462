// The font dialog: a logical font in, the user's choice out. Heights are
// negative character heights in screen pixels, as font records keep them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

struct LogFont {
  int32_t height = 0;  // negative: the character height in pixels
  int32_t weight = 400;
  bool italic = false, underline = false, strikeOut = false;
  int32_t charSet = 1;
  std::string faceName;
};

// Scalable screen fonts only, with the underline and strike-out effects,
// starting from the given font. true and the choice in font on OK; font
// untouched on Cancel.
bool ChooseFont(QWidget* owner, LogFont& font);

// Tests answer the dialog themselves: the hook gets the font and returns
// whether it was chosen. Returns the previous hook; an empty hook restores the
// real dialog.
using FontDialogHook = std::function<bool(QWidget* owner, LogFont& font)>;
FontDialogHook SetFontDialogHook(FontDialogHook hook);

// The screen's vertical pixels per inch, and MulDiv's rounding of a * b / c.
int ScreenPixelsPerInchY();
int32_t MulDiv(int32_t a, int32_t b, int32_t c);
