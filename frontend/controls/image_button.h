// A push button drawn from pictures of the skin folder: a normal picture, one
// shown while the mouse is over it and an optional one for the disabled
// button. It takes the normal picture's size, shows a tooltip and the hand
// cursor, and moves its picture one pixel down and right while pressed.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QPushButton>
#include <string>

class CImageButton : public QPushButton {
 public:
  explicit CImageButton(QWidget* parent = nullptr);

  // Pictures by file name in the skin folder (ResourceFolder()); an empty
  // disabled name means none. Also sets the tooltip.
  void SetImages(const std::string& normal, const std::string& hover, const std::string& disabled,
                 const QString& tipText);
  // The same without the tooltip; always true.
  bool LoadImages(const std::string& normal, const std::string& hover, const std::string& disabled);
  void SetToolTipText(const QString& text) { setToolTip(text); }

  // The full path a picture name stands for: the skin folder's file of that
  // name, matched without regard to case when no file has it exactly.
  static std::string PicturePath(const std::string& name);

  const QImage& NormalPicture() const { return normal_; }
  const QImage& HoverPicture() const { return hover_; }
  const QImage& DisabledPicture() const { return disabled_; }
  bool Hovering() const { return hovering_; }
  bool Pressed() const { return pressed_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void CheckHover();
  void SetHover(bool on);

  QImage normal_, hover_, disabled_;
  bool pressed_ = false;
  bool hovering_ = false;
  QBasicTimer hoverTimer_;
};
