// The range slider: its setters keep minimum <= left <= right <= maximum, the
// drag arithmetic of both thumbs and the bar, the messages of a drag and of a
// release, the arrow keys, and its drawing; and the time picker's conversions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

#include "frontend/controls/range_slider.h"
#include "frontend/controls/time_picker.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"

namespace {

constexpr int kSliderId = 1269;
constexpr int kPickerId = 1146;

struct Note {
  uint64_t which;
  int64_t ended;
  bool operator==(const Note&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Note& n) { return os << "{" << n.which << "," << n.ended << "}"; }

class SliderHost : public UiDialog {
 public:
  SliderHost() : UiDialog(kTemplate) {
    slider = SubclassItem(kSliderId, new CRangeSlider);
    picker = SubclassItem(kPickerId, new CTimePicker);
  }
  intptr_t OnMessage(const UiMessage& m) override {
    if (m.msg == RangeChangedMessage()) notes.push_back({m.wParam, m.lParam});
    return 0;
  }
  intptr_t OnNotify(const UiNotify& n) override {
    if (n.code == DTN_DATETIMECHANGE) ++timeChanges;
    return 0;
  }
  static const DialogTemplate kTemplate;
  CRangeSlider* slider;
  CTimePicker* picker;
  std::vector<Note> notes;
  int timeChanges = 0;
};
const DialogTemplate SliderHost::kTemplate = {
    184,
    "Range",
    200,
    60,
    {{CtrlKind::Placeholder, kSliderId, "", 7, 7, 150, 14}, {CtrlKind::Placeholder, kPickerId, "", 7, 30, 60, 13}}};

void Mouse(QWidget* w, QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}
void Press(QWidget* w, const QPoint& at) { Mouse(w, QEvent::MouseButtonPress, at, Qt::LeftButton); }
void MoveTo(QWidget* w, const QPoint& at) { Mouse(w, QEvent::MouseMove, at, Qt::LeftButton); }
void Release(QWidget* w, const QPoint& at) { Mouse(w, QEvent::MouseButtonRelease, at, Qt::NoButton); }

void Key(QWidget* w, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(w, &press);
}

// The centre of a rectangle as the slider takes it (right and bottom edges
// excluded).
QPoint Centre(const QRect& r) {
  return QPoint((r.left() + r.left() + r.width()) / 2, (r.top() + r.top() + r.height()) / 2);
}

class RangeSlider : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Create();
    ASSERT_TRUE(WaitUntil([&] { return host.isVisible(); }));
    // Thumbs of 12 pixels and a track of 200.
    host.slider->setGeometry(10, 10, 224, 16);
    ASSERT_EQ(12, host.slider->ThumbLength());
    ASSERT_EQ(200, host.slider->TrackLength());
  }
  void TearDown() override { host.DestroyWindow(); }
  CRangeSlider* s() { return host.slider; }
  SliderHost host;
};

TEST_F(RangeSlider, SettersKeepTheOrderOfTheFourValues) {
  struct Case {
    const char* what;
    double left, right;  // SetRange first
    int setter;          // 0 none, 1 SetLeft, 2 SetRight, 3 SetMinMax
    double a, b;
    double wantMin, wantMax, wantLeft, wantRight;
  } cases[] = {
      {"SetLeft past the right stops at it", 0.0, 0.5, 1, 0.8, 0, 0, 1, 0.5, 0.5},
      {"SetRight before the left stops at it", 0.3, 0.6, 2, 0.1, 0, 0, 1, 0.3, 0.3},
      {"SetLeft below the minimum", 0.3, 0.6, 1, -4, 0, 0, 1, 0, 0.6},
      {"SetRight above the maximum", 0.3, 0.6, 2, 7, 0, 0, 1, 0.3, 1},
      {"SetMinMax takes the pair in either order", 0.2, 0.4, 3, 1, 0, 0, 1, 0.2, 0.4},
      {"a narrower min-max pulls both ends in", 0.1, 0.9, 3, 0.3, 0.5, 0.3, 0.5, 0.3, 0.5},
      {"a range outside min-max", -0.5, 1.5, 0, 0, 0, 0, 1, 0, 1},
      {"a reversed range is put in order", 0.8, 0.2, 0, 0, 0, 0, 1, 0.2, 0.8},
      {"a range wholly above the maximum", 2, 3, 0, 0, 0, 0, 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s()->SetMinMax(0, 1);
    s()->SetRange(c.left, c.right);
    if (c.setter == 1) s()->SetLeft(c.a);
    if (c.setter == 2) s()->SetRight(c.a);
    if (c.setter == 3) s()->SetMinMax(c.a, c.b);
    EXPECT_DOUBLE_EQ(c.wantMin, s()->Minimum());
    EXPECT_DOUBLE_EQ(c.wantMax, s()->Maximum());
    EXPECT_DOUBLE_EQ(c.wantLeft, s()->Left());
    EXPECT_DOUBLE_EQ(c.wantRight, s()->Right());
  }
  EXPECT_TRUE(host.notes.empty()) << "setters send nothing";
}

TEST_F(RangeSlider, InvertedSettersNegateTheValues) {
  s()->SetInverted(true);
  s()->SetMinMax(0, 10);
  s()->SetRange(2, 5);
  EXPECT_DOUBLE_EQ(-10, s()->Minimum());
  EXPECT_DOUBLE_EQ(0, s()->Maximum());
  EXPECT_DOUBLE_EQ(-5, s()->Left());
  EXPECT_DOUBLE_EQ(-2, s()->Right());
}

TEST_F(RangeSlider, DraggingTheThumbs) {
  // Left thumb from 0: its rectangle is (1,1)-(10,14), its centre x 5.
  s()->SetRange(0.0, 1.0);
  EXPECT_EQ(QRect(1, 1, 9, 13), s()->LeftThumbRect());
  Press(s(), Centre(s()->LeftThumbRect()));
  EXPECT_TRUE(s()->Dragging());
  MoveTo(s(), {45, 7});
  EXPECT_DOUBLE_EQ((45 - 6) / 200.0, s()->Left());
  MoveTo(s(), {65, 3});  // across the track does not matter
  EXPECT_DOUBLE_EQ((65 - 6) / 200.0, s()->Left());
  Release(s(), {65, 3});
  EXPECT_FALSE(s()->Dragging());
  EXPECT_EQ((std::vector<Note>{{0, 0}, {0, 0}, {0, 1}}), host.notes);

  // Past the right thumb it stops at the right value; before the start, at 0.
  s()->SetRange(0.1, 0.4);
  Press(s(), Centre(s()->LeftThumbRect()));
  MoveTo(s(), {200, 7});
  EXPECT_DOUBLE_EQ(0.4, s()->Left());
  MoveTo(s(), {-50, 7});
  EXPECT_DOUBLE_EQ(0.0, s()->Left());
  Release(s(), {-50, 7});

  // The right thumb from 1: its rectangle is (213,1)-(222,14).
  host.notes.clear();
  s()->SetRange(0.25, 1.0);
  EXPECT_EQ(QRect(213, 1, 9, 13), s()->RightThumbRect());
  Press(s(), Centre(s()->RightThumbRect()));
  MoveTo(s(), {177, 7});
  EXPECT_DOUBLE_EQ((177 - 18) / 200.0, s()->Right());
  EXPECT_EQ(QRect(171, 0, 12, 16), s()->RightThumbRect()) << "a dragged right thumb keeps its whole rectangle";
  MoveTo(s(), {20, 7});
  EXPECT_DOUBLE_EQ(0.25, s()->Right()) << "not before the left thumb";
  MoveTo(s(), {400, 7});
  EXPECT_DOUBLE_EQ(1.0, s()->Right()) << "not past the maximum";
  Release(s(), {400, 7});
  EXPECT_EQ((std::vector<Note>{{1, 0}, {1, 0}, {1, 0}, {1, 1}}), host.notes);
}

TEST_F(RangeSlider, DraggingTheBarMovesTheRangeAndKeepsItsWidth) {
  s()->SetRange(0.2, 0.6);
  const QRect bar = s()->BarRect();
  EXPECT_EQ(QRect(51, 0, 81, 16), bar);
  Press(s(), Centre(bar));  // x 91
  MoveTo(s(), {111, 8});
  EXPECT_NEAR((111 - 12) / 200.0 - 0.2, s()->Left(), 1e-12);
  EXPECT_NEAR((111 - 12) / 200.0 + 0.2, s()->Right(), 1e-12);
  MoveTo(s(), {300, 8});  // against the maximum
  EXPECT_DOUBLE_EQ(1.0, s()->Right());
  EXPECT_NEAR(0.6, s()->Left(), 1e-12);
  MoveTo(s(), {-300, 8});  // against the minimum
  EXPECT_DOUBLE_EQ(0.0, s()->Left());
  EXPECT_NEAR(0.4, s()->Right(), 1e-12);
  Release(s(), {-300, 8});
  ASSERT_FALSE(host.notes.empty());
  EXPECT_EQ((Note{2, 1}), host.notes.back());
  for (size_t i = 0; i + 1 < host.notes.size(); ++i) EXPECT_EQ((Note{2, 0}), host.notes[i]);
}

TEST_F(RangeSlider, AReleaseWithoutADragStillReportsTheLastTarget) {
  Release(s(), {100, 8});
  EXPECT_EQ((std::vector<Note>{{0, 1}}), host.notes) << "left thumb before any drag";
  s()->SetRange(0.2, 0.6);
  Press(s(), Centre(s()->RightThumbRect()));
  Release(s(), Centre(s()->RightThumbRect()));
  host.notes.clear();
  // A press outside the thumbs and the bar starts nothing.
  Press(s(), {2, 8});
  EXPECT_FALSE(s()->Dragging());
  MoveTo(s(), {40, 8});
  Release(s(), {40, 8});
  EXPECT_EQ((std::vector<Note>{{1, 1}}), host.notes);
  EXPECT_DOUBLE_EQ(0.2, s()->Left());
}

TEST_F(RangeSlider, ArrowKeysStepByOnePixel) {
  s()->SetRange(0.2, 0.6);
  Key(s(), Qt::Key_Right);
  EXPECT_DOUBLE_EQ(41 * 0.005, s()->Left());
  EXPECT_DOUBLE_EQ(121 * 0.005, s()->Right());
  Key(s(), Qt::Key_Left, Qt::ShiftModifier);  // only the right end
  EXPECT_DOUBLE_EQ(41 * 0.005, s()->Left());
  EXPECT_DOUBLE_EQ(120 * 0.005, s()->Right());
  EXPECT_EQ((std::vector<Note>{{2, 0}, {1, 0}}), host.notes);

  // At the maximum the bounds refuse the step, and the message still goes.
  host.notes.clear();
  s()->SetRange(0.5, 1.0);
  Key(s(), Qt::Key_Right, Qt::ShiftModifier);
  Key(s(), Qt::Key_Right);
  EXPECT_DOUBLE_EQ(0.5, s()->Left());
  EXPECT_DOUBLE_EQ(1.0, s()->Right());
  EXPECT_EQ((std::vector<Note>{{1, 0}, {2, 0}}), host.notes);

  // The right end never steps below the left one.
  s()->SetRange(0.5, 0.5);
  Key(s(), Qt::Key_Left, Qt::ShiftModifier);
  EXPECT_DOUBLE_EQ(0.5, s()->Left());
  EXPECT_DOUBLE_EQ(0.5, s()->Right());

  // With Control, and for other keys, nothing.
  host.notes.clear();
  Key(s(), Qt::Key_Right, Qt::ControlModifier);
  Key(s(), Qt::Key_Up);
  EXPECT_TRUE(host.notes.empty());
  EXPECT_DOUBLE_EQ(0.5, s()->Left());
}

TEST_F(RangeSlider, DrawsTheThumbsTheBarAndTheTrack) {
  s()->SetRange(0.25, 0.75);
  const QImage shot = s()->grab().toImage();
  SaveArtifact(shot, "range_slider.png");
  const int l = s()->PixelOf(0.25), r = s()->PixelOf(0.75), t = s()->ThumbLength();
  EXPECT_EQ(50, l);
  EXPECT_EQ(150, r);
  const QColor face = SysColor(COLOR_BTNFACE);
  struct Spot {
    int x, y;
    QColor want;
    const char* what;
  } spots[] = {
      {l + t + 10, 8, Qt::white, "bar"},
      {r + t - 1, 8, Qt::white, "bar's last column"},
      {l + 9, 12, face, "left thumb"},
      {r + t + 9, 12, face, "right thumb"},
      {l + 4, 8, Qt::black, "left bracket"},
      {r + t + 8, 8, Qt::black, "right bracket"},
      {20, 8, QColor(128, 128, 128), "track before the left thumb"},
      {2 * t + r + 20, 8, QColor(128, 128, 128), "track after the right thumb"},
      {0, 0, Qt::black, "outline"},
  };
  for (const Spot& p : spots)
    EXPECT_TRUE(Near(shot.pixelColor(p.x, p.y), p.want, 10))
        << p.what << " at " << p.x << "," << p.y << ": " << shot.pixelColor(p.x, p.y).name().toStdString();

  // The visual range, where it overlaps the selection.
  s()->SetVisualMinMax(0.5, 0.9);
  s()->SetShowVisualRange(true);
  const QImage visual = s()->grab().toImage();
  EXPECT_TRUE(Near(visual.pixelColor(t + 110, 8), ColorRef(CRangeSlider::kVisualRangeColour), 4));
  EXPECT_TRUE(Near(visual.pixelColor(t + 90, 8), Qt::white, 4));
}

TEST_F(RangeSlider, AVerticalSliderRunsTopToBottom) {
  s()->SetVertical(true);
  s()->setGeometry(10, 10, 16, 224);
  ASSERT_EQ(12, s()->ThumbLength());
  ASSERT_EQ(200, s()->TrackLength());
  s()->SetRange(0.0, 0.5);
  EXPECT_EQ(QRect(1, 1, 13, 9), s()->LeftThumbRect());
  Press(s(), Centre(s()->LeftThumbRect()));
  MoveTo(s(), {7, 45});
  EXPECT_DOUBLE_EQ((45 - 6) / 200.0, s()->Left());
  Release(s(), {7, 45});
  Key(s(), Qt::Key_Down);
  EXPECT_DOUBLE_EQ(101 * 0.005, s()->Right());
  EXPECT_EQ((std::vector<Note>{{0, 0}, {0, 1}, {2, 0}}), host.notes);
  const QImage shot = s()->grab().toImage();
  SaveArtifact(shot, "range_slider_vertical.png");
  EXPECT_TRUE(Near(shot.pixelColor(8, s()->PixelOf(s()->Left()) + 12 + 10), Qt::white, 4)) << "the bar";
}

TEST(TimePicker, SecondsAndTimesOfDay) {
  SliderHost host;
  host.Create();
  struct Case {
    int64_t seconds;
    const char* shown;
    int32_t back;
  } cases[] = {
      {0, "00:00:00", 0},         {59, "00:00:59", 59},        {3661, "01:01:01", 3661}, {86399, "23:59:59", 86399},
      {90000, "23:00:00", 82800}, {100000, "23:46:40", 85600}, {-5, "00:00:00", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    SecondsToTimeControl(host.picker, c.seconds);
    EXPECT_EQ(c.shown, host.picker->text().toStdString());
    EXPECT_EQ(c.back, TimeControlToSeconds(host.picker));
  }
  EXPECT_EQ(0, host.timeChanges) << "times the program sets are not changes";
  host.picker->setTime(QTime(0, 0, 7));
  EXPECT_EQ(1, host.timeChanges);
  host.DestroyWindow();
}

}  // namespace
