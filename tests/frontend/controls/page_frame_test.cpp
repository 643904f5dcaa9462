// The page frame: the caption bar with its icon and ellipsis, the title
// centred below the caption, the border around the embedded page, and the
// button-face body.
#include "frontend/controls/page_frame.h"

#include <gtest/gtest.h>

#include <QPainter>

#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

const QColor kCaption = ColorRef(CPageFrame::kCaptionColor);
const QColor kBorder = ColorRef(CPageFrame::kBorderColor);

// The bounding box of the pixels in rect that differ from the colour.
QRect InkBox(const QImage& image, const QRect& rect, const QColor& background) {
  QRect box;
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    for (int x = rect.left(); x <= rect.right(); ++x)
      if (!Near(image.pixelColor(x, y), background, 40)) box |= QRect(x, y, 1, 1);
  return box;
}

struct Host {
  QWidget parent;
  CPageFrame* frame = new CPageFrame;
  QWidget* page = new QWidget(&parent);
  Host() {
    parent.resize(320, 200);
    frame->Create(&parent, QRect(10, 10, 300, 180), 0xFFFF);
    frame->lower();
  }
  QImage Grab() {
    parent.show();
    Pump(20);
    return frame->grab().toImage();
  }
};

TEST(PageFrame, CaptionBarAndTitleBelowIt) {
  Host h;
  EXPECT_EQ(h.frame->windowTitle(), QStringLiteral("Page Frame"));
  EXPECT_EQ(h.frame->TitleFormat(), Qt::AlignCenter);
  h.frame->SetCaptionVisible(true);
  h.frame->SetCaptionHeight(20);
  h.frame->SetCaption(QStringLiteral("Caption"), QPixmap());
  h.frame->SetTitle(QStringLiteral("Title"));
  EXPECT_EQ(h.frame->GetCaptionRect(), QRect(0, 0, 300, 20));
  EXPECT_EQ(h.frame->GetClientArea(), QRect(0, 20, 300, 160));
  const QImage image = h.Grab();
  SaveArtifact(image, "page_frame_caption.png");
  // The bar is the caption colour with white text from x = 2.
  EXPECT_TRUE(Near(image.pixelColor(1, 1), kCaption));
  EXPECT_TRUE(Near(image.pixelColor(290, 18), kCaption));
  const QRect text = InkBox(image, QRect(0, 0, 300, 20), kCaption);
  ASSERT_FALSE(text.isEmpty());
  EXPECT_GE(text.left(), 2);
  EXPECT_LE(text.left(), 5);
  EXPECT_TRUE(Near(image.pixelColor(text.center()), Qt::white, 120) || text.width() > 10);
  // The body keeps the button face, the title centred in the area below the bar.
  const QColor face = SysColor(COLOR_BTNFACE);
  EXPECT_TRUE(Near(image.pixelColor(5, 30), face));
  const QRect title = InkBox(image, QRect(0, 21, 300, 159), face);
  ASSERT_FALSE(title.isEmpty());
  EXPECT_NEAR(title.center().x(), 150, 3);
  EXPECT_NEAR(title.center().y(), 20 + 80, 4);

  // Without the caption the title moves to the middle of the whole frame.
  h.frame->SetCaptionVisible(false);
  EXPECT_TRUE(h.frame->GetCaptionRect().isEmpty());
  const QImage plain = h.Grab();
  EXPECT_TRUE(Near(plain.pixelColor(1, 1), face));
  EXPECT_NEAR(InkBox(plain, plain.rect(), face).center().y(), 90, 4);
}

TEST(PageFrame, IconShiftsTheTextAndALongCaptionEndsInAnEllipsis) {
  Host h;
  h.frame->SetCaptionVisible(true);
  h.frame->SetCaptionHeight(22);
  QPixmap icon(16, 16);
  icon.fill(Qt::green);
  h.frame->SetCaption(QStringLiteral("Caption"), icon);
  ASSERT_NE(h.frame->IconList(), nullptr);
  EXPECT_EQ(h.frame->IconList()->Count(), 1);
  QImage image = h.Grab();
  EXPECT_TRUE(Near(image.pixelColor(3 + 8, 3 + 8), Qt::green));
  // The text starts past the icon's width + 3, and 2 more.
  QRect text = InkBox(image, QRect(3 + 16, 0, 280, 22), kCaption);
  EXPECT_GE(text.left(), 16 + 3 + 2);
  EXPECT_LE(text.left(), 16 + 3 + 2 + 3);

  // A long text is cut to the bar and ends in an ellipsis; without an icon it starts at 2.
  const QString longText = QString(200, QLatin1Char('W'));
  h.frame->SetCaption(longText, QPixmap());
  EXPECT_EQ(h.frame->IconList(), nullptr);
  image = h.Grab();
  text = InkBox(image, QRect(0, 0, 300, 22), kCaption);
  EXPECT_LE(text.left(), 5);
  EXPECT_LT(text.right(), 300);
  // The last glyphs are the ellipsis: dots low in the line, not the tall W.
  const QRect tail = InkBox(image, QRect(text.right() - 4, 0, 5, 22), kCaption);
  EXPECT_LT(tail.height(), 5) << tail.height();
  SaveArtifact(image, "page_frame_ellipsis.png");
}

TEST(PageFrame, BorderAroundTheEmbeddedPage) {
  Host h;
  h.page->setGeometry(40, 60, 100, 50);
  h.page->setAutoFillBackground(true);
  h.frame->SetPage(h.page);
  const QImage image = h.Grab();
  // One pixel outside the page, in frame coordinates (the frame sits at 10,10).
  const QRect outline(40 - 10 - 1, 60 - 10 - 1, 102, 52);
  EXPECT_TRUE(Near(image.pixelColor(outline.left(), outline.top() + 10), kBorder));
  EXPECT_TRUE(Near(image.pixelColor(outline.right(), outline.top() + 10), kBorder));
  EXPECT_TRUE(Near(image.pixelColor(outline.left() + 20, outline.top()), kBorder));
  EXPECT_TRUE(Near(image.pixelColor(outline.left() + 20, outline.bottom()), kBorder));
  EXPECT_FALSE(Near(image.pixelColor(outline.left() - 1, outline.top() + 10), kBorder));
  // A hidden page gets no border.
  h.page->hide();
  const QImage hidden = h.Grab();
  EXPECT_FALSE(Near(hidden.pixelColor(outline.left(), outline.top() + 10), kBorder));
}

}  // namespace
