// Two small standard controls the settings pages use beside their edits: a
// spin button (up and down arrows that ask their dialog before they move) and
// a slider that tells its dialog when the mouse lets go of it.
#pragma once

#include <QSlider>
#include <QWidget>
#include <cstdint>

class QToolButton;

// Notification codes (UiNotify::code).
constexpr int UDN_DELTAPOS = -722;       // data: a SpinDelta the dialog may change
constexpr int NM_RELEASEDCAPTURE = -16;  // a slider let go by the mouse

// What a spin button is about to do: move from pos by delta. The dialog
// answers 0 to let it move by the (possibly changed) delta, else it stays.
struct SpinDelta {
  int32_t pos = 0;
  int32_t delta = 0;
};

class CSpinButtonCtrl : public QWidget {
 public:
  explicit CSpinButtonCtrl(QWidget* parent = nullptr);
  ~CSpinButtonCtrl() override;

  void SetRange(int32_t lower, int32_t upper);
  int32_t Lower() const { return lower_; }
  int32_t Upper() const { return upper_; }
  // Kept inside the range.
  void SetPos(int32_t pos);
  int32_t GetPos() const { return pos_; }
  // What a click does: +1 the up arrow, -1 the down arrow.
  void Step(int32_t delta);

  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
  int32_t lower_ = 0, upper_ = 100, pos_ = 0;
};

// A slider whose position runs from the left (or the top) up.
class CSliderCtrl : public QSlider {
 public:
  explicit CSliderCtrl(Qt::Orientation orientation, QWidget* parent = nullptr);
  ~CSliderCtrl() override;

  void SetRange(int32_t lower, int32_t upper) { setRange(lower, upper); }
  void SetPos(int32_t pos) { setValue(pos); }
  int32_t GetPos() const { return value(); }

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};
