// Two picture views: the watermark preview (the picture, animated when it is
// a multi-frame GIF, over a grey field with the frame it will sit on; drag to
// move it, or pick the colour under the mouse) and the frame preview (a
// decoded video frame fitted with its pixel aspect, with the crop bands
// hatched over it or as the cropped, resized and padded output).
#pragma once

#include <QBasicTimer>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/model/scale_layout.h"
#include "frontend/ui/picture.h"

// Sent to the parent window with the colour picked (wParam, a COLORREF).
constexpr uint32_t WM_WATERMARK_PICK_COLOR = 3033;

class CWatermarkPreviewCtrl : public QWidget {
 public:
  static constexpr int kAnimationTimer = 300;
  enum CursorState { kCursorPick = 1, kCursorDrag = 2, kCursorNormal = 3 };

  explicit CWatermarkPreviewCtrl(QWidget* parent = nullptr);
  ~CWatermarkPreviewCtrl() override;

  // The rectangle of a frame of width x height drawn around the picture, its
  // top-left (xOffset, yOffset) up and left of the picture's top-left.
  void SetFrame(int width, int height, int xOffset, int yOffset);
  // Loads the picture (every frame of an animated GIF) and centres it; true
  // with the first frame's size. false for an empty path or a file that
  // cannot be read: the control then has no picture.
  bool LoadPicture(const std::string& path, int* pictureWidth, int* pictureHeight);
  // Places the frame as the engine's watermark filter places the picture on a
  // frame of that size (keypad ALIGN 1..9, else the picture's top-left at
  // posX, posY); position gets the picture's position on the frame. false,
  // nothing changed, without a picture.
  bool PlaceByAlign(int frameWidth, int frameHeight, int align, int posX, int posY, QPoint* position);
  void SetPickMode(bool on);

  bool HasPicture() const { return count_ > 0; }
  // The picture's top-left in client pixels (dragging moves it).
  QPoint PicturePos() const { return pos_; }
  QRect FrameRect() const;
  bool FrameShown() const { return showFrame_; }
  bool PickMode() const { return pickMode_; }
  int CursorStateNow() const { return cursorState_; }
  int FrameCount() const { return count_; }
  int CurrentFrame() const { return current_; }
  // Sum of the frames' delays (1/100 s; a delay of 0 counts 1) and the tick
  // (ms) the animation started at.
  int TotalDelay() const { return totalDelay_; }
  uint32_t StartTick() const { return startTick_; }
  // One animation step at the tick now (ms): the frame whose span holds the
  // time since the start, modulo the total delay.
  void AnimationStep(uint32_t now);
  static uint32_t TickNow();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;

 private:
  void Release();
  void SetCursorState(int state);
  uint32_t ColourAt(const QPoint& at);

  int frameWidth_ = 0, frameHeight_ = 0, xOffset_ = 0, yOffset_ = 0;
  bool showFrame_ = false;
  std::vector<CPicture> frames_;
  int count_ = 0;
  int totalDelay_ = 0;
  uint32_t startTick_ = 0;
  int current_ = 0;
  QPoint pos_;
  QPoint dragStart_, dragPicture_;
  bool dragging_ = false;
  bool pickMode_ = false;
  bool pickDown_ = false;
  int cursorState_ = kCursorNormal;
  QBasicTimer timer_;
};

// What the frame preview shows is a FrameGeometry (scale_layout.h), owned
// and filled by the dialog showing the frame.

class CFramePreviewCtrl : public QWidget {
 public:
  static constexpr int kModeCrop = 1;  // the source with the crop bands; other modes: the output
  static constexpr uint32_t kBackground = 0x7A7A7A;
  static constexpr uint32_t kHatchColour = 0xFF0000;  // blue

  explicit CFramePreviewCtrl(QWidget* parent = nullptr);
  ~CFramePreviewCtrl() override;

  // Loads a BMP frame and binds the geometry (not owned; it must outlive the
  // control or be rebound). The answer: whether the frame is shown, that is,
  // whether its size is the geometry's source size.
  bool Open(const std::string& path, const FrameGeometry* geometry);
  // Loads another frame of any picture format for the bound geometry; the
  // answer as for Open.
  bool LoadFrame(const std::string& path);
  void SetMode(int mode);
  int Mode() const { return mode_; }
  bool IsValid() const { return valid_; }
  // Where the picture is drawn in the current mode; empty when nothing is.
  QRect ShownRect() const;
  // The depth in client pixels of a band or pad of value pixels out of size
  // pixels shown over shown pixels: 0 for none, else at least 1.
  static int ScaledDepth(int value, int shown, int size);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void CheckSize();

  CPicture picture_;
  const FrameGeometry* geometry_ = nullptr;
  int mode_ = kModeCrop;
  bool valid_ = false;
};
