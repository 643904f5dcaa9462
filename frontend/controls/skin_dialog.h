// A dialog whose face is a picture: the window takes the picture's size, its
// shape is the picture less every pixel of a key colour, the picture is its
// background, any point of its face drags it, and it casts a drop shadow from
// its first showing.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <cstdint>
#include <string>

#include "frontend/controls/drop_shadow.h"
#include "frontend/ui/ui_dialog.h"

// The shape of a picture: every maximal run of pixels in a row whose colour
// (red, green and blue) is not the key colour (COLORREF), as one union. Empty
// for a picture that is all key colour.
QRegion RegionFromBitmap(const QImage& picture, uint32_t keyColour);

class CSkinDialog : public UiDialog {
 public:
  explicit CSkinDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);
  ~CSkinDialog() override;

  // Loads the skin picture (its type from the file name's extension), shapes
  // and sizes the window and makes the shadow. A file that does not load
  // keeps the previous skin (none: a plain dialog, still draggable); false then.
  bool LoadSkin(const std::string& path, uint32_t keyColour);

  const QImage& Skin() const { return skin_; }
  CDropShadowWnd& Shadow() { return shadow_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage skin_;
  CDropShadowWnd shadow_;
  bool firstShow_ = true;
  bool pressed_ = false;   // the left button went down on the face
  bool dragging_ = false;  // moved by us, the window manager cannot
  QPoint dragOffset_;      // the click point relative to the window's top-left
};
