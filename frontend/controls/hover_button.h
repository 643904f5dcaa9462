// A flat push button with a picture and a caption that lights up while the
// mouse is over it.
#pragma once

#include <QImage>
#include <QPushButton>

class CHoverButton : public QPushButton {
 public:
  explicit CHoverButton(QWidget* parent = nullptr);

  // The face picture from the bitmap resource of that id (unchanged when it
  // cannot be read); its top-left pixel's colour is transparent.
  bool SetBitmap(int resourceId);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return picture_; }
  bool Hovering() const { return hover_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QImage picture_;
  bool hover_ = false;
};
