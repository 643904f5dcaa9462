// The image button over pictures written into a private skin folder: it takes
// the normal picture's size, shows the hover picture while the mouse is over
// it and the normal one again soon after it leaves, shifts while pressed,
// shows the disabled picture only when there is one, and finds a picture
// whose name differs only in case.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QMouseEvent>
#include <QTest>

#include "frontend/controls/image_button.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

const QColor kNormal(200, 0, 0), kHover(0, 160, 0), kDisabled(90, 90, 90), kMark(0, 0, 255);

// A w x h picture of one colour with a marker pixel at its top-left corner.
void WritePicture(const QString& folder, const char* name, const QColor& colour, int w = 20, int h = 16) {
  QImage image(w, h, QImage::Format_ARGB32);
  image.fill(colour);
  image.setPixelColor(0, 0, kMark);
  ASSERT_TRUE(image.save(folder + "/" + name, "PNG"));
}

class ImageButton : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = QDir::tempPath() + "/image_button_skin_" + QString::number(QCoreApplication::applicationPid());
    QDir(folder_).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder_));
    WritePicture(folder_, "a.png", kNormal);
    WritePicture(folder_, "a_over.png", kHover);
    WritePicture(folder_, "a_disable.png", kDisabled);
    WritePicture(folder_, "Mixed.PNG", kHover, 12, 10);
    previous_ = ResourceFolder();
    SetResourceFolder(folder_.toStdString());
    parent_.resize(200, 100);
    button_ = new CImageButton(&parent_);
    button_->setGeometry(30, 20, 50, 40);
    parent_.show();
  }
  void TearDown() override {
    SetResourceFolder(previous_);
    QDir(folder_).removeRecursively();
  }
  QImage Shot() { return button_->grab().toImage(); }
  void MoveTo(QWidget* w, const QPoint& at) {
    QCursor::setPos(w->mapToGlobal(at));
    QMouseEvent move(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  }

  QString folder_;
  std::string previous_;
  QWidget parent_;
  CImageButton* button_ = nullptr;
};

TEST_F(ImageButton, TakesTheNormalPicturesSizeAtItsCornerWithTipAndHandCursor) {
  button_->SetImages("a.png", "a_over.png", "", QStringLiteral("Play"));
  EXPECT_EQ(button_->geometry(), QRect(30, 20, 20, 16));
  EXPECT_EQ(button_->toolTip(), QStringLiteral("Play"));
  EXPECT_EQ(button_->cursor().shape(), Qt::PointingHandCursor);
  const QImage shot = Shot();
  EXPECT_EQ(shot.pixelColor(0, 0), kMark);
  EXPECT_EQ(shot.pixelColor(10, 8), kNormal);
  SaveArtifact(shot, "normal.png");
}

TEST_F(ImageButton, MissingPicturesFallBack) {
  // No normal picture: the size stays and only the face is drawn.
  button_->SetImages("none.png", "none_over.png", "", QStringLiteral("x"));
  EXPECT_EQ(button_->geometry(), QRect(30, 20, 50, 40));
  EXPECT_EQ(CountOtherThan(Shot(), QRect(0, 0, 50, 40), SysColor(COLOR_BTNFACE), 2), 0);
  // No hover picture: hovering shows the normal one.
  button_->SetImages("a.png", "none_over.png", "", QStringLiteral("x"));
  MoveTo(button_, QPoint(5, 5));
  EXPECT_TRUE(button_->Hovering());
  EXPECT_EQ(Shot().pixelColor(10, 8), kNormal);
}

TEST_F(ImageButton, HoverShowsAtOnceAndLeavesWithinATenthOfASecond) {
  button_->SetImages("a.png", "a_over.png", "a_disable.png", QStringLiteral("Play"));
  MoveTo(button_, QPoint(5, 5));
  EXPECT_TRUE(button_->Hovering());
  EXPECT_EQ(Shot().pixelColor(10, 8), kHover);
  // The pointer goes elsewhere without a leave event: the timer notices.
  QCursor::setPos(parent_.mapToGlobal(QPoint(190, 90)));
  EXPECT_TRUE(WaitUntil([&] { return !button_->Hovering(); }, 300));
  EXPECT_EQ(Shot().pixelColor(10, 8), kNormal);
}

TEST_F(ImageButton, PressedShiftsThePictureOnePixel) {
  button_->SetImages("a.png", "a_over.png", "", QStringLiteral("Play"));
  QTest::mousePress(button_, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_TRUE(button_->Pressed());
  QImage shot = Shot();
  EXPECT_EQ(shot.pixelColor(1, 1), kMark);
  EXPECT_EQ(shot.pixelColor(0, 0), SysColor(COLOR_BTNFACE));
  SaveArtifact(shot, "pressed.png");
  QTest::mouseRelease(button_, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_FALSE(button_->Pressed());
  EXPECT_EQ(Shot().pixelColor(0, 0), kMark);
}

TEST_F(ImageButton, DisabledLook) {
  struct Case {
    const char* disabled;
    QColor shown;
  } cases[] = {{"a_disable.png", kDisabled}, {"", kNormal}, {"missing.png", kNormal}};
  for (const Case& c : cases) {
    button_->setEnabled(true);
    button_->SetImages("a.png", "a_over.png", c.disabled, QStringLiteral("x"));
    button_->setEnabled(false);
    EXPECT_EQ(Shot().pixelColor(10, 8), c.shown) << c.disabled;
  }
}

TEST_F(ImageButton, NamesAreMatchedWithoutRegardToCase) {
  EXPECT_EQ(CImageButton::PicturePath("mixed.png"), (folder_ + "/Mixed.PNG").toStdString());
  EXPECT_EQ(CImageButton::PicturePath("MIXED.png"), (folder_ + "/Mixed.PNG").toStdString());
  button_->LoadImages("mixed.png", "", "");
  EXPECT_EQ(button_->size(), QSize(12, 10));
}

}  // namespace
