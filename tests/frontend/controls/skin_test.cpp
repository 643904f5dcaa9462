// The skin: the drop shadow's picture and window, the shape of a skinned
// dialog from its picture, its face and its drag.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <cmath>

#include "frontend/controls/drop_shadow.h"
#include "frontend/controls/skin_dialog.h"
#include "qt_test_util.h"

namespace {

int AlphaAt(const QImage& image, int x, int y) { return qAlpha(image.pixel(x, y)); }

QImage Shadow(const QRegion& shape, int w, int h, const ShadowParams& params) {
  return MakeShadowImage(ShadowOutline(shape, w, h), w, h, params);
}

// The alpha a kernel cell at distance d from the core gives.
int KernelAlpha(double d, int sharpness, int darkness) {
  return static_cast<int>((1 - d / (sharpness + 1)) * darkness);
}

// ---- the shadow picture ----

TEST(ShadowPicture, TheSkinnedDialogsValuesFadeOverTwentyPixelsAndLeaveTheParentClear) {
  const ShadowParams params{10, 20, 120, 0, 0, 0};
  const QImage image = Shadow({}, 100, 60, params);
  ASSERT_EQ(image.size(), QSize(120, 80));
  // The core is the parent eroded by 10; the soft edge reaches 20 beyond it.
  for (int x = 0; x < 10; ++x) {
    EXPECT_EQ(AlphaAt(image, x, 40), KernelAlpha(20 - x, 20, 120)) << x;
    EXPECT_EQ(AlphaAt(image, 119 - x, 40), KernelAlpha(20 - x, 20, 120)) << x;
  }
  for (int y = 0; y < 10; ++y) EXPECT_EQ(AlphaAt(image, 60, y), KernelAlpha(20 - y, 20, 120)) << y;
  EXPECT_EQ(AlphaAt(image, 9, 9), KernelAlpha(std::sqrt(2.0 * 11 * 11), 20, 120));
  EXPECT_EQ(AlphaAt(image, 0, 0), 0);  // beyond the kernel
  // Where the parent lies the shadow is clear.
  EXPECT_EQ(CountOtherThan(image.copy(10, 10, 100, 60), QRect(0, 0, 100, 60), QColor(0, 0, 0, 0), 0), 0);
  for (int y = 10; y < 70; ++y)
    for (int x = 10; x < 110; ++x) ASSERT_EQ(image.pixel(x, y), 0u) << x << "," << y;
  // Black: premultiplied colour channels stay 0.
  EXPECT_EQ(image.pixel(5, 40) & 0xFFFFFFu, 0u);
}

TEST(ShadowPicture, NoSharpnessAndNoSizeGiveAHardCopyOfTheOutlineMovedByTheOffsets) {
  const ShadowParams params{0, 0, 200, 5, 5, 0};
  const QImage image = Shadow({}, 40, 30, params);
  ASSERT_EQ(image.size(), QSize(40, 30));
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      const int expected = x >= 35 || y >= 25 ? 200 : 0;
      ASSERT_EQ(AlphaAt(image, x, y), expected) << x << "," << y;
    }
  }
}

TEST(ShadowPicture, AShapedParentGetsAShadowWithTheSameCorners) {
  QRegion shape(0, 0, 40, 30);
  for (const QRect& corner : {QRect(0, 0, 4, 4), QRect(36, 0, 4, 4), QRect(0, 26, 4, 4), QRect(36, 26, 4, 4)})
    shape -= corner;
  const ShadowParams params{0, 0, 200, 5, 5, 0};
  const QImage rect = Shadow({}, 40, 30, params);
  const QImage shaped = Shadow(shape, 40, 30, params);
  EXPECT_EQ(AlphaAt(rect, 39, 29), 200);
  EXPECT_EQ(AlphaAt(shaped, 39, 29), 0);  // the cut corner
  EXPECT_EQ(AlphaAt(shaped, 35, 29), 200);
  EXPECT_EQ(AlphaAt(shaped, 39, 25), 200);
  // The outline rows: a cut row starts 4 pixels in.
  const std::vector<ShadowSpan> rows = ShadowOutline(shape, 40, 30);
  EXPECT_EQ(rows[0].left, 4);
  EXPECT_EQ(rows[0].right, 36);
  EXPECT_EQ(rows[10].left, 0);
  EXPECT_EQ(rows[10].right, 40);
}

TEST(ShadowPicture, ColourIsPremultipliedAndOddSizesStayInsideThePicture) {
  const QImage red = Shadow({}, 20, 20, ShadowParams{0, 0, 128, 5, 5, 0x0000FF});
  EXPECT_EQ(red.pixel(19, 19), qRgba(128, 0, 0, 128));
  // A shadow smaller than its parent, and one larger than its sharpness.
  const QImage smaller = Shadow({}, 50, 40, ShadowParams{-5, 0, 150, 0, 0, 0});
  EXPECT_EQ(smaller.size(), QSize(40, 30));
  const QImage wide = Shadow({}, 50, 40, ShadowParams{20, 3, 150, -20, 20, 0});
  EXPECT_EQ(wide.size(), QSize(90, 80));
  EXPECT_EQ(AlphaAt(wide, 45, 79 - 20), 150);  // inside the core, below the parent
  // A parent too small for a negative size gives no picture.
  EXPECT_TRUE(Shadow({}, 8, 8, ShadowParams{-5, 0, 150, 0, 0, 0}).isNull());
}

TEST(ShadowSetters, OutOfRangeValuesAreRefusedAndChangeNothing) {
  CDropShadowWnd shadow;
  struct Case {
    bool accepted;
    std::function<bool()> set;
  } cases[] = {
      {false, [&] { return shadow.SetSize(21); }},        {false, [&] { return shadow.SetSize(-21); }},
      {true, [&] { return shadow.SetSize(-20); }},        {false, [&] { return shadow.SetSharpness(21); }},
      {true, [&] { return shadow.SetSharpness(20); }},    {false, [&] { return shadow.SetDarkness(256); }},
      {true, [&] { return shadow.SetDarkness(255); }},    {false, [&] { return shadow.SetPosition(-21, 0); }},
      {false, [&] { return shadow.SetPosition(0, 21); }}, {true, [&] { return shadow.SetPosition(20, -20); }},
      {true, [&] { return shadow.SetColor(0x123456); }},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].set(), cases[i].accepted) << i;
  EXPECT_EQ(shadow.Params().size, -20);
  EXPECT_EQ(shadow.Params().sharpness, 20);
  EXPECT_EQ(shadow.Params().darkness, 255);
  EXPECT_EQ(shadow.Params().xOffset, 20);
  EXPECT_EQ(shadow.Params().yOffset, -20);
}

// ---- the shadow window ----

class ShadowWindow : public testing::Test {
 protected:
  void SetUp() override { CDropShadowWnd::OverrideSupport(true); }
  void TearDown() override { CDropShadowWnd::OverrideSupport(std::nullopt); }
};

TEST_F(ShadowWindow, FollowsItsParentAndHidesWhileItIsMaximisedOrHidden) {
  QWidget parent(nullptr, Qt::FramelessWindowHint);
  parent.setGeometry(100, 120, 200, 100);
  CDropShadowWnd shadow;
  shadow.Create(&parent);
  ASSERT_NE(shadow.Window(), nullptr);
  EXPECT_FALSE(shadow.Window()->isVisible());  // not before the parent shows
  EXPECT_EQ(shadow.Status(), CDropShadowWnd::kEnabled);

  parent.show();
  ASSERT_TRUE(WaitUntil([&] { return shadow.Window()->isVisible(); }));
  EXPECT_TRUE(shadow.Status() & CDropShadowWnd::kShown);
  EXPECT_EQ(shadow.Window()->geometry(), QRect(105, 125, 200, 100));
  EXPECT_TRUE(shadow.Window()->testAttribute(Qt::WA_TransparentForMouseEvents));

  parent.move(300, 200);
  ASSERT_TRUE(WaitUntil([&] { return shadow.Window()->pos() == QPoint(305, 205); }));

  parent.showMaximized();
  ASSERT_TRUE(WaitUntil([&] { return !shadow.Window()->isVisible(); }));
  parent.showNormal();
  ASSERT_TRUE(WaitUntil([&] { return shadow.Window()->isVisible(); }));

  // Shrinking redraws at once; growing follows the parent's paint.
  parent.resize(150, 80);
  ASSERT_TRUE(WaitUntil([&] { return shadow.Window()->size() == QSize(150, 80); }));
  parent.resize(220, 90);
  ASSERT_TRUE(WaitUntil([&] { return shadow.Window()->size() == QSize(220, 90); }));
  EXPECT_EQ(shadow.Image().size(), QSize(220, 90));

  parent.hide();
  ASSERT_TRUE(WaitUntil([&] { return !shadow.Window()->isVisible(); }));
  EXPECT_EQ(shadow.Status(), CDropShadowWnd::kEnabled);
}

TEST_F(ShadowWindow, ADesktopWithoutTranslucentWindowsGetsNoShadow) {
  CDropShadowWnd::OverrideSupport(false);
  QWidget parent;
  CDropShadowWnd shadow;
  shadow.Create(&parent);
  EXPECT_EQ(shadow.Window(), nullptr);
  EXPECT_EQ(shadow.Status(), 0);
  parent.show();  // and the parent works as before
  EXPECT_TRUE(WaitUntil([&] { return parent.isVisible(); }));
  EXPECT_TRUE(shadow.SetSize(4));
}

// ---- the skinned dialog ----

const DialogTemplate kSkinTemplate{
    700, "", 100, 50, {{CtrlKind::Text, 701, "Skinned", 10, 10, 60, 8}}, "Tahoma", 9,
};

constexpr uint32_t kMagenta = 0xFF00FF;

// A 300 x 200 face with magenta 20 x 20 corners, a blue band and a grey body.
std::string WriteCornerSkin(const QTemporaryDir& dir, const char* name = "skin.bmp") {
  QImage skin(300, 200, QImage::Format_RGB32);
  skin.fill(QColor(200, 200, 200));
  QPainter p(&skin);
  p.fillRect(0, 0, 300, 40, QColor(30, 60, 150));
  for (const QRect& corner :
       {QRect(0, 0, 20, 20), QRect(280, 0, 20, 20), QRect(0, 180, 20, 20), QRect(280, 180, 20, 20)})
    p.fillRect(corner, QColor(255, 0, 255));
  p.end();
  const std::string path = dir.filePath(QString::fromUtf8(name)).toStdString();
  EXPECT_TRUE(skin.save(QString::fromStdString(path), "BMP"));
  return path;
}

class SkinDialog : public testing::Test {
 protected:
  void SetUp() override {
    CDropShadowWnd::OverrideSupport(true);
    ASSERT_TRUE(dir.isValid());
  }
  void TearDown() override { CDropShadowWnd::OverrideSupport(std::nullopt); }
  QTemporaryDir dir;
};

TEST_F(SkinDialog, TakesThePicturesSizeShapeAndFace) {
  CSkinDialog dialog(kSkinTemplate);
  dialog.Create();
  ASSERT_TRUE(dialog.LoadSkin(WriteCornerSkin(dir), kMagenta));
  ASSERT_TRUE(WaitUntil([&] { return dialog.size() == QSize(300, 200); }));
  EXPECT_EQ(dialog.Client()->size(), QSize(300, 200));
  const QRegion shape = dialog.mask();
  EXPECT_EQ(shape.boundingRect(), QRect(0, 0, 300, 200));
  for (const QPoint& cut : {QPoint(0, 0), QPoint(19, 19), QPoint(299, 0), QPoint(0, 199), QPoint(285, 185)})
    EXPECT_FALSE(shape.contains(cut)) << cut.x() << "," << cut.y();
  for (const QPoint& in : {QPoint(20, 0), QPoint(0, 20), QPoint(150, 100), QPoint(279, 199), QPoint(299, 179)})
    EXPECT_TRUE(shape.contains(in)) << in.x() << "," << in.y();

  const QImage face = dialog.grab().toImage();
  EXPECT_TRUE(Near(face.pixelColor(150, 20), QColor(30, 60, 150), 2));
  EXPECT_TRUE(Near(face.pixelColor(150, 150), QColor(200, 200, 200), 2));
  // As it shows: transparent where it is cut away.
  QImage shown(face.size(), QImage::Format_ARGB32);
  shown.fill(Qt::transparent);
  QPainter p(&shown);
  p.setClipRegion(shape);
  p.drawImage(0, 0, face);
  p.end();
  SaveArtifact(shown, "skinned_dialog.png");
  dialog.DestroyWindow();
}

TEST_F(SkinDialog, TheShadowShowsFromTheFirstShowingWithTheDialogsValues) {
  CSkinDialog dialog(kSkinTemplate);
  dialog.LoadSkin(WriteCornerSkin(dir), kMagenta);
  ASSERT_NE(dialog.Shadow().Window(), nullptr);
  EXPECT_FALSE(dialog.Shadow().Window()->isVisible());
  dialog.Create();
  ASSERT_TRUE(WaitUntil([&] { return dialog.Shadow().Window()->isVisible(); }));
  const ShadowParams& params = dialog.Shadow().Params();
  EXPECT_EQ(params.size, 10);
  EXPECT_EQ(params.sharpness, 20);
  EXPECT_EQ(params.darkness, 120);
  EXPECT_EQ(params.xOffset, 0);
  EXPECT_EQ(params.yOffset, 0);
  EXPECT_EQ(params.colour, 0u);
  ASSERT_TRUE(WaitUntil([&] { return dialog.Shadow().Window()->size() == QSize(320, 220); }));
  // The shadow follows the cut corners: fainter beside them than mid-side.
  const QImage& image = dialog.Shadow().Image();
  EXPECT_GT(qAlpha(image.pixel(9, 110)), 0);
  EXPECT_LT(qAlpha(image.pixel(9, 30)), qAlpha(image.pixel(9, 110)));
  dialog.DestroyWindow();
}

TEST_F(SkinDialog, AFileThatDoesNotLoadKeepsThePreviousSkinAndAnAllKeyPictureKeepsTheShape) {
  CSkinDialog dialog(kSkinTemplate);
  dialog.Create();
  const QSize plain = dialog.size();
  EXPECT_FALSE(dialog.LoadSkin(dir.filePath(QStringLiteral("missing.bmp")).toStdString(), kMagenta));
  EXPECT_TRUE(dialog.Skin().isNull());
  EXPECT_EQ(dialog.size(), plain);
  EXPECT_TRUE(dialog.mask().isEmpty());

  ASSERT_TRUE(dialog.LoadSkin(WriteCornerSkin(dir), kMagenta));
  const QRegion shape = dialog.mask();
  QFile broken(dir.filePath(QStringLiteral("broken.bmp")));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write("BM not a picture");
  broken.close();
  EXPECT_FALSE(dialog.LoadSkin(broken.fileName().toStdString(), kMagenta));
  EXPECT_EQ(dialog.Skin().size(), QSize(300, 200));
  EXPECT_EQ(dialog.mask(), shape);

  QImage allKey(50, 40, QImage::Format_RGB32);
  allKey.fill(QColor(255, 0, 255));
  const QString keyPath = dir.filePath(QStringLiteral("key.png"));
  ASSERT_TRUE(allKey.save(keyPath, "PNG"));
  EXPECT_TRUE(RegionFromBitmap(allKey, kMagenta).isEmpty());
  ASSERT_TRUE(dialog.LoadSkin(keyPath.toStdString(), kMagenta));
  EXPECT_EQ(dialog.mask(), shape);  // no region: the window keeps its shape
  dialog.DestroyWindow();
}

TEST(SkinRegion, ManyRunsStillGiveTheWholeUnion) {
  // Every other column is key colour: 50 runs a row, 2,500 in all.
  QImage stripes(100, 50, QImage::Format_RGB32);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) stripes.setPixel(x, y, x % 2 ? qRgb(255, 0, 255) : qRgb(10, 20, 30 + y));
  const QRegion shape = RegionFromBitmap(stripes, kMagenta);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(shape.contains(QPoint(x, y)), x % 2 == 0) << x << "," << y;
  // The key is compared on red, green and blue only, whatever the alpha.
  QImage nearKey(3, 1, QImage::Format_ARGB32);
  nearKey.setPixel(0, 0, qRgba(255, 0, 255, 10));
  nearKey.setPixel(1, 0, qRgba(255, 0, 254, 255));
  nearKey.setPixel(2, 0, qRgba(255, 0, 255, 255));
  EXPECT_EQ(RegionFromBitmap(nearKey, kMagenta), QRegion(1, 0, 1, 1));
}

TEST_F(SkinDialog, AClickOnTheFaceAndADragMoveTheDialog) {
  CSkinDialog dialog(kSkinTemplate);
  dialog.Create();
  dialog.LoadSkin(WriteCornerSkin(dir), kMagenta);
  dialog.move(200, 150);
  ASSERT_TRUE(WaitUntil([&] { return dialog.pos() == QPoint(200, 150); }));
  QWidget* face = dialog.childAt(150, 150);  // the client area under the point
  ASSERT_EQ(face, dialog.Client());
  const QPoint local = face->mapFrom(&dialog, QPoint(150, 150));
  auto send = [&](QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(face->mapToGlobal(at)), Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(face, &event);
  };
  send(QEvent::MouseButtonPress, local, Qt::LeftButton);
  send(QEvent::MouseMove, local + QPoint(30, 20), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return dialog.pos() == QPoint(230, 170); }));
  send(QEvent::MouseButtonRelease, local + QPoint(30, 20), Qt::NoButton);
  dialog.DestroyWindow();
}

}  // namespace
