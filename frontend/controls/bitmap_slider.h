// A slider drawn from pictures: a channel (optionally a second "active"
// picture for the part already passed) and a thumb (optionally a second one
// shown while dragged), each drawn transparently through a key colour when
// asked. Without a channel picture a thin groove is drawn.
//
// The owner sets the orientation, range, position and pictures after creating
// it, and listens for two messages sent to the nearest window above it that
// takes messages: WM_BITMAPSLIDER_MOVING (posted on every mouse move of a
// drag) and WM_BITMAPSLIDER_MOVED (sent when the button comes up and on each
// navigation key); wParam is the control's id, lParam the position.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>

constexpr uint32_t WM_BITMAPSLIDER_MOVING = 10449;
constexpr uint32_t WM_BITMAPSLIDER_MOVED = 10450;

// As a key colour: take the key from the picture's pixel at (key x, key y).
constexpr uint32_t kKeyColourFromPixel = 0xFF000000u;

class CBitmapSlider : public QWidget {
 public:
  explicit CBitmapSlider(QWidget* parent = nullptr);
  ~CBitmapSlider() override;

  // The range; the position is not re-clamped.
  void SetRange(int32_t minimum, int32_t maximum, bool redraw = false);
  void SetRangeMin(int32_t minimum, bool redraw = false);
  void SetRangeMax(int32_t maximum, bool redraw = false);
  int32_t GetRangeMin() const { return minimum_; }
  int32_t GetRangeMax() const { return maximum_; }
  // Clamped to the maximum first, then raised to the minimum (so the minimum
  // wins when it exceeds the maximum); redraws.
  void SetPos(int32_t position);
  int32_t GetPos() const { return position_; }
  // The step of Page Up and Page Down.
  int32_t GetPageSize() const { return page_; }

  void SetVertical(bool vertical);
  bool IsVertical() const { return vertical_; }
  // Disabling while a drag runs ends the drag; a disabled slider shows the
  // plain channel, no thumb, and ignores the mouse and keys.
  void Enable(bool enabled);
  bool IsEnabled() const { return enabled_; }
  void SetDrawFocusRect(bool draw, bool redraw = true);

  // Pictures by resource id, drawn through a mask of the key colour (a
  // COLORREF, or kKeyColourFromPixel) when transparent. Id 0 removes the
  // picture and succeeds; a picture that cannot be loaded leaves the slider
  // without it and returns false. A channel picture resizes the control to
  // its own size; an active id of 0 means no active picture.
  bool SetBitmapChannel(int channelId, int activeId, bool transparent = true, uint32_t keyColour = kKeyColourFromPixel,
                        int keyX = 0, int keyY = 0);
  bool SetBitmapThumb(int thumbId, int activeId, bool transparent = true, uint32_t keyColour = kKeyColourFromPixel,
                      int keyX = 0, int keyY = 0);
  bool HasChannel() const { return hasChannel_; }
  bool HasThumb() const { return hasThumb_; }

  // The thumb centre along the axis for a position, and the position of a
  // pixel. A range without width or a track without length maps everything
  // to the track start and the minimum.
  int PixelOfPosition(int32_t position) const;
  int32_t PositionOfPixel(int pixel) const;
  // The size the conversions use: the channel picture's, else the client
  // size; and the thumb's.
  QSize TrackSize() const { return hasChannel_ ? QSize(width_, height_) : size(); }
  QSize ThumbSize() const { return {thumbWidth_, thumbHeight_}; }

  bool IsDragging() const { return dragging_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  // Moves the thumb centre to an axis coordinate (the mouse-move step).
  void TrackTo(int axisCoordinate);
  void EndDrag();
  void Redraw() { update(); }

  int32_t maximum_ = 100;
  int32_t minimum_ = 0;
  int32_t position_ = 0;
  int32_t page_ = 20;
  int width_ = 0, height_ = 0;
  int thumbWidth_ = 0, thumbHeight_ = 0;
  int leftMargin_ = 0, rightMargin_ = 0, topMargin_ = 0, bottomMargin_ = 0;
  int mouseOffset_ = 0;
  bool vertical_ = false;
  bool transparentChannel_ = false, transparentThumb_ = false;
  bool hasChannel_ = false, hasThumb_ = false;
  bool dragging_ = false;
  bool hasFocus_ = false;
  bool drawFocusRect_ = true;
  bool enabled_ = true;
  // Pictures, transparent ones with their key pixels cleared.
  QImage channel_, activeChannel_, thumb_, activeThumb_;
};
