// A slider with two thumbs that pick a sub-range [left, right] of [minimum,
// maximum]; the bar between the thumbs drags the whole sub-range. The slider
// tells its dialog with the registered RANGE_CHANGED message: wParam 0 left
// thumb, 1 right thumb, 2 the bar (or a key); lParam 1 on every left-button
// release (wParam then the last drag target), 0 while dragging or for a key.
#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>
#include <cstdint>

// The message number the slider sends to its dialog (the same for the whole
// process).
uint32_t RangeChangedMessage();

class CRangeSlider : public QWidget {
 public:
  enum DragTarget { kDragLeft = 0, kDragRight = 1, kDragBar = 2 };
  static constexpr uint32_t kVisualRangeColour = 0x96FFFF;

  explicit CRangeSlider(QWidget* parent = nullptr);
  ~CRangeSlider() override;

  // Each setter keeps minimum <= left <= right <= maximum and redraws.
  void SetMinMax(double a, double b);
  void SetRange(double a, double b);
  void SetLeft(double v);
  void SetRight(double v);
  void SetVisualMinMax(double a, double b);

  double Minimum() const { return min_; }
  double Maximum() const { return max_; }
  double Left() const { return left_; }
  double Right() const { return right_; }

  // Settings nothing in the program turns on.
  void SetVertical(bool vertical);
  void SetInverted(bool inverted) { inverted_ = inverted; }
  void SetShowVisualRange(bool show);
  bool IsHorizontal() const { return horizontal_; }

  bool Dragging() const { return dragging_; }
  int DragTargetNow() const { return dragTarget_; }
  int ThumbLength() const { return thumb_; }
  int TrackLength() const { return track_; }
  // As the last layout placed them (used for hit tests).
  QRect LeftThumbRect() const { return leftRect_; }
  QRect RightThumbRect() const { return rightRect_; }
  QRect BarRect() const;
  // The pixel of a value along the track.
  int PixelOf(double v) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  void Normalise();
  // Thumb length, track length and the thumb rectangles for the client size.
  void Layout();
  // A rectangle given along the track (a0..a1) and across it (c0..c1), in
  // client coordinates, for either orientation.
  QRect Oriented(int a0, int c0, int a1, int c1) const;
  void Send(int wParam, int lParam);

  double min_ = 0.0, max_ = 1.0;
  double left_ = 0.0, right_ = 1.0;
  double visualMin_ = 0.0, visualMax_ = 0.0;
  int thumb_ = 10;
  bool horizontal_ = true;
  bool showVisual_ = false;
  bool inverted_ = false;
  bool dragging_ = false;
  int dragTarget_ = kDragLeft;
  QRect leftRect_, rightRect_;
  int track_ = 0;
  QPoint grip_;
};
