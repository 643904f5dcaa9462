// The bitmap slider: position and pixel conversions, clamping, its pictures,
// keys and drags and the two messages it sends its window, and drawing.
#include "frontend/controls/bitmap_slider.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

constexpr int kBandChannel = 172, kBandThumb = 173, kBandThumbDragged = 176, kPositionThumb = 214;
constexpr int kSliderId = 1227;

// A window that records the slider's messages.
class Owner : public QWidget, public MessageTarget {
 public:
  Owner() {
    OpenHandle();
    resize(200, 200);
  }
  struct Got {
    uint32_t msg;
    uint64_t id;
    int64_t position;
  };
  std::vector<Got> got;
  std::vector<Got> Of(uint32_t msg) const {
    std::vector<Got> out;
    for (const Got& g : got)
      if (g.msg == msg) out.push_back(g);
    return out;
  }

 protected:
  intptr_t OnMessage(const UiMessage& m) override {
    got.push_back({m.msg, m.wParam, m.lParam});
    return 0;
  }
};

class BitmapSliderTest : public testing::Test {
 protected:
  void SetUp() override { SetResourceFolder(TRIVOX_STAGE_DIR "/resource"); }

  // An equaliser band: vertical, 0..63, channel 11 x 106, thumb 11 x 9.
  CBitmapSlider* Band() {
    auto* s = new CBitmapSlider(&owner);
    SetControlId(s, kSliderId);
    s->SetVertical(true);
    s->SetRange(0, 63);
    EXPECT_TRUE(s->SetBitmapChannel(kBandChannel, 0));
    EXPECT_TRUE(s->SetBitmapThumb(kBandThumb, kBandThumbDragged));
    s->move(20, 20);
    return s;
  }
  // A player's position bar: horizontal, 0..300, no channel, 211 x 20.
  CBitmapSlider* PositionBar() {
    auto* s = new CBitmapSlider(&owner);
    SetControlId(s, 1268);
    s->setGeometry(0, 0, 211, 20);
    s->SetRange(0, 300);
    EXPECT_TRUE(s->SetBitmapThumb(kPositionThumb, 0));
    return s;
  }

  void Mouse(CBitmapSlider* s, QEvent::Type type, int x, int y) {
    const QPointF at(x, y);
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, at, s->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(s, &e);
  }
  void Key(CBitmapSlider* s, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(s, &e);
  }

  Owner owner;
};

TEST_F(BitmapSliderTest, OurPicturesLoadWithTheirSizes) {
  CBitmapSlider* band = Band();
  EXPECT_TRUE(band->HasChannel());
  EXPECT_TRUE(band->HasThumb());
  EXPECT_EQ(band->TrackSize(), QSize(11, 106));
  EXPECT_EQ(band->size(), QSize(11, 106));  // resized to the channel
  EXPECT_EQ(band->ThumbSize(), QSize(11, 9));
  CBitmapSlider* bar = PositionBar();
  EXPECT_FALSE(bar->HasChannel());
  EXPECT_EQ(bar->TrackSize(), QSize(211, 20));  // the client size without a channel
}

TEST_F(BitmapSliderTest, PositionsAndPixelsConvertByTruncation) {
  CBitmapSlider* band = Band();  // track 106 - 9 = 97 pixels, thumb centre 4 from its top
  struct Row {
    int32_t position;
    int pixel;
  };
  for (const Row& r : {Row{0, 4}, Row{1, 5}, Row{31, 51}, Row{32, 53}, Row{62, 99}, Row{63, 101}}) {
    EXPECT_EQ(band->PixelOfPosition(r.position), r.pixel) << r.position;
  }
  struct Back {
    int pixel;
    int32_t position;
  };
  // trunc((pixel - 4) / 97 * 63)
  for (const Back& b : {Back{4, 0}, Back{5, 0}, Back{6, 1}, Back{51, 30}, Back{101, 63}, Back{0, -2}}) {
    EXPECT_EQ(band->PositionOfPixel(b.pixel), b.position) << b.pixel;
  }

  CBitmapSlider* bar = PositionBar();  // track 211 - 11 = 200 pixels, centre 5 from its left
  for (const Row& r : {Row{0, 5}, Row{150, 105}, Row{299, 204}, Row{300, 205}}) {
    EXPECT_EQ(bar->PixelOfPosition(r.position), r.pixel) << r.position;
  }
  for (const Back& b : {Back{5, 0}, Back{105, 150}, Back{205, 300}}) {
    EXPECT_EQ(bar->PositionOfPixel(b.pixel), b.position) << b.pixel;
  }
}

TEST_F(BitmapSliderTest, ARangeWithoutWidthOrATrackWithoutLengthMapsToTheTrackStart) {
  CBitmapSlider* flat = Band();
  flat->SetRange(7, 7);
  EXPECT_EQ(flat->PixelOfPosition(7), 4);
  EXPECT_EQ(flat->PixelOfPosition(100), 4);
  EXPECT_EQ(flat->PositionOfPixel(60), 7);

  CBitmapSlider* narrow = PositionBar();
  narrow->resize(11, 20);  // the thumb fills the track
  EXPECT_EQ(narrow->TrackSize(), QSize(11, 20));
  EXPECT_EQ(narrow->PixelOfPosition(150), 5);
  EXPECT_EQ(narrow->PositionOfPixel(9), 0);
  narrow->resize(4, 20);  // narrower than the thumb
  EXPECT_EQ(narrow->PixelOfPosition(300), 5);
  EXPECT_EQ(narrow->PositionOfPixel(2), 0);
  // A drag over it neither divides by zero nor leaves the range.
  Mouse(narrow, QEvent::MouseButtonPress, 3, 10);
  Mouse(narrow, QEvent::MouseMove, 50, 10);
  Mouse(narrow, QEvent::MouseButtonRelease, 50, 10);
  EXPECT_EQ(narrow->GetPos(), 0);
}

TEST_F(BitmapSliderTest, SetPosClampsToTheRangeAndTheMinimumWins) {
  CBitmapSlider* s = Band();
  struct Row {
    int32_t min, max, asked, kept;
  };
  for (const Row& r : {Row{0, 63, 70, 63}, Row{0, 63, -5, 0}, Row{0, 63, 40, 40}, Row{10, 5, 7, 10}, Row{10, 5, 2, 10},
                       Row{INT32_MIN, INT32_MAX, INT32_MAX, INT32_MAX}}) {
    s->SetRange(r.min, r.max);
    s->SetPos(r.asked);
    EXPECT_EQ(s->GetPos(), r.kept) << r.min << ".." << r.max << " asked " << r.asked;
  }
  // A new range leaves the position as it is.
  s->SetRange(0, 63);
  s->SetPos(50);
  s->SetRange(0, 20);
  EXPECT_EQ(s->GetPos(), 50);
}

TEST_F(BitmapSliderTest, AMissingPictureFailsAndLeavesTheSliderAsItWas) {
  SetResourceFolder(TRIVOX_STAGE_DIR "/resource-missing");
  CBitmapSlider s(&owner);
  s.resize(30, 100);
  EXPECT_FALSE(s.SetBitmapChannel(kBandChannel, 0));
  EXPECT_FALSE(s.SetBitmapThumb(kBandThumb, 0));
  EXPECT_FALSE(s.HasChannel());
  EXPECT_FALSE(s.HasThumb());
  SetResourceFolder(TRIVOX_STAGE_DIR "/resource");
  ASSERT_TRUE(s.SetBitmapChannel(kBandChannel, 0));
  EXPECT_FALSE(s.SetBitmapChannel(kBandChannel, 9999));  // a missing active picture
  EXPECT_TRUE(s.HasChannel());
  EXPECT_EQ(s.TrackSize(), QSize(11, 106));
  EXPECT_TRUE(s.SetBitmapChannel(0, 0));  // removed
  EXPECT_FALSE(s.HasChannel());
  // Without a thumb the slider still follows keys and tells its window.
  s.SetRange(0, 10);
  Key(&s, Qt::Key_End);
  EXPECT_EQ(s.GetPos(), 10);
  EXPECT_EQ(owner.Of(WM_BITMAPSLIDER_MOVED).size(), 1u);
}

TEST_F(BitmapSliderTest, NavigationKeysMoveAndAlwaysSendTheClampedPosition) {
  CBitmapSlider* s = Band();
  struct Row {
    int32_t from;
    int key;
    int32_t to;
  };
  const Row rows[] = {
      {30, Qt::Key_PageUp, 10}, {30, Qt::Key_PageDown, 50}, {10, Qt::Key_PageUp, 0}, {50, Qt::Key_PageDown, 63},
      {30, Qt::Key_End, 63},    {30, Qt::Key_Home, 0},      {30, Qt::Key_Right, 31}, {30, Qt::Key_Down, 31},
      {30, Qt::Key_Left, 29},   {30, Qt::Key_Up, 29},       {0, Qt::Key_Home, 0},    {63, Qt::Key_Down, 63},
  };
  for (const Row& r : rows) {
    s->SetPos(r.from);
    owner.got.clear();
    Key(s, r.key);
    EXPECT_EQ(s->GetPos(), r.to) << r.from << " key " << r.key;
    const auto moved = owner.Of(WM_BITMAPSLIDER_MOVED);
    ASSERT_EQ(moved.size(), 1u) << r.from << " key " << r.key;
    EXPECT_EQ(moved[0].id, uint64_t(kSliderId));
    EXPECT_EQ(moved[0].position, r.to);
  }
  // Other keys send nothing; a disabled slider swallows every key.
  owner.got.clear();
  Key(s, Qt::Key_A);
  s->Enable(false);
  s->SetPos(30);
  Key(s, Qt::Key_Home);
  EXPECT_EQ(s->GetPos(), 30);
  EXPECT_TRUE(owner.got.empty());
}

TEST_F(BitmapSliderTest, AFarPressCentresTheThumbAndAPressOnItKeepsTheGrip) {
  CBitmapSlider* s = Band();
  s->SetPos(0);  // thumb centre at 4
  owner.got.clear();
  Mouse(s, QEvent::MouseButtonPress, 5, 53);  // far: the thumb jumps under the pointer
  EXPECT_TRUE(s->IsDragging());
  EXPECT_EQ(s->GetPos(), 31);           // trunc(49 / 97 * 63)
  Mouse(s, QEvent::MouseMove, 5, 500);  // clamped to the track end
  EXPECT_EQ(s->GetPos(), 63);
  Mouse(s, QEvent::MouseMove, 5, 500);  // no change, still posted
  EXPECT_TRUE(owner.Of(WM_BITMAPSLIDER_MOVED).empty());
  ASSERT_TRUE(WaitUntil([&] { return owner.Of(WM_BITMAPSLIDER_MOVING).size() == 3; }));
  const auto moving = owner.Of(WM_BITMAPSLIDER_MOVING);
  EXPECT_EQ(moving[0].position, 31);
  EXPECT_EQ(moving[2].position, 63);
  EXPECT_EQ(moving[2].id, uint64_t(kSliderId));
  Mouse(s, QEvent::MouseButtonRelease, 5, 500);
  EXPECT_FALSE(s->IsDragging());
  const auto moved = owner.Of(WM_BITMAPSLIDER_MOVED);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0].position, 63);

  // On the thumb (centre 51 at 31, pressed 3 below it): the grip is kept, so
  // the press itself does not move it and a move of 10 moves the centre by 10.
  s->SetPos(31);
  Mouse(s, QEvent::MouseButtonPress, 5, 54);
  EXPECT_EQ(s->GetPos(), 31);
  Mouse(s, QEvent::MouseMove, 5, 64);
  EXPECT_EQ(s->GetPos(), s->PositionOfPixel(61));
  Mouse(s, QEvent::MouseButtonRelease, 5, 64);
}

TEST_F(BitmapSliderTest, DisablingEndsADragAndADisabledSliderIgnoresTheMouse) {
  CBitmapSlider* s = Band();
  s->SetPos(10);
  Mouse(s, QEvent::MouseButtonPress, 5, 80);
  ASSERT_TRUE(s->IsDragging());
  Pump(20);  // the press's own message
  s->Enable(false);
  EXPECT_FALSE(s->IsDragging());
  const int32_t kept = s->GetPos();
  owner.got.clear();
  Mouse(s, QEvent::MouseMove, 5, 10);
  Mouse(s, QEvent::MouseButtonRelease, 5, 10);
  Mouse(s, QEvent::MouseButtonPress, 5, 10);
  EXPECT_EQ(s->GetPos(), kept);
  EXPECT_FALSE(s->IsDragging());
  Pump(20);
  EXPECT_TRUE(owner.got.empty());
}

TEST_F(BitmapSliderTest, DrawsTheChannelThroughItsKeyAndTheThumbAtItsPosition) {
  CBitmapSlider* s = Band();
  owner.show();
  const QColor face = SysColor(COLOR_BTNFACE);
  const QColor thumbFace(192, 192, 192), draggedFace(96, 144, 224);

  s->SetPos(63);  // centre 101: the thumb spans rows 97..105
  QImage shot = s->grab().toImage();
  SaveArtifact(shot, "band_at_63.png");
  EXPECT_TRUE(Near(shot.pixelColor(1, 20), face)) << "the channel's key pixels show the button face";
  EXPECT_TRUE(Near(shot.pixelColor(5, 20), QColor(64, 64, 64))) << "the groove";
  EXPECT_TRUE(Near(shot.pixelColor(3, 101 - 2), thumbFace));
  EXPECT_FALSE(Near(shot.pixelColor(3, 8), thumbFace)) << "no thumb at the top";

  s->SetPos(0);  // centre 4: rows 0..8
  shot = s->grab().toImage();
  EXPECT_TRUE(Near(shot.pixelColor(3, 2), thumbFace));
  EXPECT_TRUE(Near(shot.pixelColor(0, 0), face)) << "the thumb's corner is a key pixel";

  // While dragged the second thumb picture shows.
  Mouse(s, QEvent::MouseButtonPress, 5, 4);
  shot = s->grab().toImage();
  SaveArtifact(shot, "band_dragged.png");
  EXPECT_TRUE(Near(shot.pixelColor(3, 2), draggedFace));
  Mouse(s, QEvent::MouseButtonRelease, 5, 4);

  // Disabled: the plain channel, no thumb (the thumb's rows 61..69 look like
  // any other rows of the groove).
  s->SetPos(40);
  s->Enable(false);
  shot = s->grab().toImage();
  SaveArtifact(shot, "band_disabled.png");
  EXPECT_EQ(CountOtherThan(shot, QRect(0, 61, 11, 9), face, 8), CountOtherThan(shot, QRect(0, 20, 11, 9), face, 8));
}

TEST_F(BitmapSliderTest, WithoutAChannelAGrooveIsDrawnAndTheThumbSitsAcrossIt) {
  CBitmapSlider* bar = PositionBar();
  owner.show();
  bar->SetPos(150);  // centre 105
  const QImage shot = bar->grab().toImage();
  SaveArtifact(shot, "position_bar.png");
  EXPECT_TRUE(Near(shot.pixelColor(40, 10), ColorRef(0x808080))) << "the groove's inside";
  int outline = 0;
  for (int y = 0; y < 20; ++y) outline += Near(shot.pixelColor(40, y), ColorRef(0xC8C8C8), 4) ? 1 : 0;
  EXPECT_EQ(outline, 2) << "the groove's outline above and below";
  EXPECT_TRUE(Near(shot.pixelColor(40, 3), SysColor(COLOR_BTNFACE)));
  // The thumb's top is at (20 - 14) / 2 + 1 = 4.
  EXPECT_TRUE(Near(shot.pixelColor(105, 6), QColor(224, 224, 224)));
  EXPECT_TRUE(Near(shot.pixelColor(105, 3), SysColor(COLOR_BTNFACE)));
}

}  // namespace
