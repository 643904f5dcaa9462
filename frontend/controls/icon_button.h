// A push button with an icon (a second icon while the mouse is over it), an
// optional caption, and a greyed copy of its icon when disabled. Drawn in the
// classic look: there is no theme library here.
#pragma once

#include <QFont>
#include <QImage>

#include "frontend/controls/owner_draw_button.h"

// The greyed copy of an icon: each pixel becomes the grey of its channel
// average (at most 254) with its own alpha; a black pixel of zero alpha stays.
// A null image for a null icon.
QImage MakeGreyIcon(const QImage& icon);

class CIconButton : public COwnerDrawButton {
 public:
  enum Placement { kIconLeft = 1, kIconRight = 2 };

  explicit CIconButton(uint32_t style = BS_PUSHBUTTON, QWidget* parent = nullptr);
  ~CIconButton() override;

  // The icons (hover may be null) and where the icon sits beside the caption;
  // builds the greyed icon and redraws.
  void SetIcon(const QImage& normal, const QImage& hover, int placement = kIconLeft);
  const QImage& Icon() const { return normal_; }
  const QImage& HoverIcon() const { return hover_; }
  const QImage& GreyIcon() const { return grey_; }
  int IconPlacement() const { return placement_; }
  bool Hovering() const { return hovering_; }
  // Themes are never in use here.
  bool UseTheme() const;
  unsigned GetDlgCode() const override;
  // The caption's font: "Arial Black" of 8 points.
  const QFont& CaptionFont();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QImage normal_;
  QImage hover_;
  QImage grey_;
  int placement_ = kIconLeft;
  bool hovering_ = false;
  bool doubleClickPress_ = false;
  bool keyPress_ = false;
  bool haveFont_ = false;
  QFont captionFont_;
};
