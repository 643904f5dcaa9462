// A push button drawn as a hyperlink: its text changes colour and underline
// while the mouse is over it, it shows the hand cursor, and it can draw itself
// flat over its parent's face. The owner handles the click, usually by opening
// the link with OpenLinkWithShell.
#pragma once

#include <QFont>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <string>

// Opens a web address, a "mailto:" address or a file with the desktop's
// handler; true when it was opened.
bool OpenLinkWithShell(QWidget* owner, const std::string& link);

// The font a link button makes of a face, a point size, a weight and effects.
struct LinkFont {
  std::string face;
  int height = 0;  // negative: character height in pixels
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
};
// Height -1.38 x max(size, 6) (toward zero), one more for 16; weight held to
// 100..900; italic, underline and strike-out from the low three bytes of effects.
LinkFont MakeLinkFont(const std::string& face, int size, int weight, uint32_t effects);

class CLinkButton : public QPushButton {
 public:
  // Underline modes.
  enum Underline { kUnderlineNever = 0, kUnderlineHover = 1, kUnderlineAlways = 2 };

  explicit CLinkButton(QWidget* parent = nullptr);
  ~CLinkButton() override;

  // Flat: no frame and no background of its own (setting it clears the border).
  void SetFlat(bool flat);
  bool IsFlat() const { return flat_; }
  void SetUnderline(int mode) {
    underline_ = mode;
    update();
  }
  int UnderlineMode() const { return underline_; }
  // COLORREF text colours, normal and while hovering.
  void SetTextColors(uint32_t normal, uint32_t hover);
  uint32_t NormalTextColor() const { return textNormal_; }
  uint32_t HoverTextColor() const { return textHover_; }
  void SetBackgroundColors(uint32_t normal, uint32_t hover);
  void SetBold(bool bold) {
    bold_ = bold;
    update();
  }
  // Shown instead of the button's text when not empty.
  void SetTextOverride(const QString& text) {
    override_ = text;
    update();
  }
  const QString& TextOverride() const { return override_; }
  // A face of "Default" (any case) drops the own font: the dialog's is used.
  void SetFontSpec(const std::string& face, int size, int weight, uint32_t effects);
  bool HasOwnFont() const { return ownFont_; }
  const LinkFont& LinkFontOf() const { return linkFont_; }
  // The font the text is drawn in.
  QFont TextFont() const;

  bool Hovering() const { return hover_; }
  // The colour and underline the text is drawn with now.
  uint32_t CurrentTextColor() const;
  bool CurrentUnderline() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void StartHover();
  void CheckHover();

  QTimer hoverTimer_;
  bool flat_ = false;
  bool border_ = true;
  bool rounded_ = true;
  int underline_ = kUnderlineNever;
  uint32_t textNormal_ = 0x8C0000;
  uint32_t textHover_ = 0xFF0000;
  uint32_t bkNormal_ = 0xFFFFFF;
  uint32_t bkHover_ = 0xFFFFFF;
  bool bold_ = false;
  bool ownFont_ = false;
  LinkFont linkFont_;
  QString override_;
  bool hover_ = false;
};
