// A static text that draws itself, word-wrapped, over a solid background, a
// two-colour gradient, a stretched bitmap or, when transparent, over whatever
// its parent painted beneath it.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Creation-style bits of a static text.
constexpr uint32_t SS_LEFT = 0x0;
constexpr uint32_t SS_CENTER = 0x1;
constexpr uint32_t SS_RIGHT = 0x2;
constexpr uint32_t SS_NOPREFIX = 0x80;
constexpr uint32_t SS_CENTERIMAGE = 0x200;
constexpr uint32_t SS_ENDELLIPSIS = 0x4000;
constexpr uint32_t SS_PATHELLIPSIS = 0x8000;
constexpr uint32_t SS_WORDELLIPSIS = 0xC000;
constexpr uint32_t SS_ELLIPSISMASK = 0xC000;

// Breaks a text into the lines the label draws: a CR LF or LF CR pair ends a
// line; a line that would be wider than width ends before its last space, or
// at the last character that fits when it holds no space. A line always takes
// at least one character. measure gives a text's width in pixels.
std::vector<QString> BreakLabelLines(const QString& text, int width, const std::function<int(const QString&)>& measure);

class CGradientLabel : public QWidget {
 public:
  // The text and creation style of the static it stands in for.
  explicit CGradientLabel(const QString& text = {}, uint32_t style = SS_LEFT, QWidget* parent = nullptr);
  ~CGradientLabel() override;

  void SetText(const QString& text);
  const QString& Text() const { return text_; }
  uint32_t Style() const { return style_; }

  void SetTransparent(bool transparent);
  bool IsTransparent() const { return transparent_; }
  void SetTextColor(uint32_t colour);  // COLORREF
  uint32_t TextColor() const { return textColour_; }
  void SetBkColor(uint32_t colour);
  // 0 none, 1 horizontal, any other value vertical.
  void SetGradient(int mode, uint32_t startColour, uint32_t endColour);
  void SetWordWrap(bool wrap);
  void SetShrinkToFit(bool shrink);
  // Raised text: each line drawn again one pixel down-right (or up-left).
  void SetRaisedText(bool raised, bool downRight = true);

  // The label's own font from a face, a height (negative: character height
  // in pixels; positive: cell height; 0: the desktop's size) and a weight
  // (100..900; 0 normal).
  void SetFontSpec(const QString& face, int height, int weight, bool redraw = true);
  void SetLabelFont(const QFont& font, bool redraw = true);
  const QFont& LabelFont() const { return font_; }
  int FontHeight() const { return fontHeight_; }

  // A bitmap file stretched over the label; false (nothing changed) when it
  // does not load.
  bool SetBitmapFile(const std::string& path);
  bool HasBitmap() const { return !bitmap_.isNull(); }
  const std::string& BitmapFile() const { return bitmapFile_; }

  // The lines of the last paint.
  const std::vector<QString>& Lines() const { return lines_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QString text_;
  uint32_t style_;
  bool transparent_ = false;
  bool shrinkToFit_ = false;
  bool wordWrap_ = true;
  uint32_t textColour_;
  int gradientMode_ = 0;
  uint32_t bkColour_;
  uint32_t gradientStart_;
  uint32_t gradientEnd_;
  QImage bitmap_;
  std::string bitmapFile_;
  bool raised_ = false;
  bool raisedDownRight_ = true;
  QString templateFace_;
  int templateWeight_ = 0;
  QFont font_;
  int fontHeight_ = 8;
  std::vector<QString> lines_;
};
