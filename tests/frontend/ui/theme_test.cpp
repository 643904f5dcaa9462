// The theme wrappers without a theme library, and the classic parts drawn in
// their place: edges in the system colours and frame controls.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "frontend/ui/classic_draw.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/theme_lib.h"
#include "qt_test_util.h"

TEST(ThemeWrappers, WithoutALibraryEveryCallFailsSoftly) {
  CThemeLib& lib = CThemeLib::Instance();
  EXPECT_FALSE(lib.IsAvailable());
  EXPECT_EQ(lib.OpenThemeData(nullptr, "BUTTON"), nullptr);
  EXPECT_EQ(lib.IsAppThemed(), 0);
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  const QRect all(0, 0, 10, 10);
  int dummy = 0;
  EXPECT_EQ(lib.DrawThemeBackground(&dummy, &painter, 1, 1, all, nullptr), 0);
  EXPECT_EQ(lib.DrawThemeParentBackground(nullptr, &painter, &all), 0);
  EXPECT_EQ(lib.CloseThemeData(nullptr), 0);

  CThemeHandle theme;
  EXPECT_EQ(theme.CloseThemeData(), 0);  // nothing held
  EXPECT_FALSE(theme.OpenThemeData(nullptr, u"BUTTON"));
  EXPECT_TRUE(theme.IsNull());
  QRect content(3, 4, 5, 6);
  EXPECT_EQ(theme.GetThemeBackgroundContentRect(&painter, 1, 1, all, &content), E_FAIL);
  EXPECT_EQ(content, QRect(3, 4, 5, 6));
  EXPECT_EQ(theme.DrawThemeBackground(&painter, 1, 1, all, nullptr), E_FAIL);
  EXPECT_EQ(theme.IsAppThemed(), 0);
  painter.end();
  EXPECT_EQ(CountOtherThan(image, all, Qt::white, 0), 0);
}

TEST(ClassicDraw, EdgesUseTheSystemColoursAndAdjustByWhatTheyDraw) {
  struct Case {
    unsigned edge, flags;
    int outerTopLeft, innerTopLeft, outerBottomRight, innerBottomRight, shrink;
  };
  const Case cases[] = {
      {EDGE_SUNKEN, BF_RECT | BF_ADJUST, COLOR_BTNSHADOW, COLOR_3DDKSHADOW, COLOR_BTNHIGHLIGHT, COLOR_3DLIGHT, 2},
      {EDGE_RAISED, BF_RECT | BF_ADJUST, COLOR_3DLIGHT, COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_BTNSHADOW, 2},
      {EDGE_ETCHED, BF_RECT | BF_ADJUST, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, 2},
      {EDGE_SUNKEN, BF_RECT | BF_ADJUST | BF_FLAT, COLOR_BTNSHADOW, COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_BTNFACE, 2},
      {BDR_RAISEDINNER, BF_RECT | BF_ADJUST, COLOR_BTNHIGHLIGHT, -1, COLOR_BTNSHADOW, -1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "edge " << c.edge << " flags " << c.flags);
    QImage image(20, 20, QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3));
    QRect r(2, 2, 16, 16);
    {
      QPainter painter(&image);
      EXPECT_TRUE(DrawEdge(painter, &r, c.edge, c.flags));
    }
    EXPECT_EQ(r, QRect(2 + c.shrink, 2 + c.shrink, 16 - 2 * c.shrink, 16 - 2 * c.shrink));
    EXPECT_EQ(image.pixelColor(2, 8).rgb(), SysColor(c.outerTopLeft).rgb());
    EXPECT_EQ(image.pixelColor(8, 2).rgb(), SysColor(c.outerTopLeft).rgb());
    EXPECT_EQ(image.pixelColor(17, 8).rgb(), SysColor(c.outerBottomRight).rgb());
    EXPECT_EQ(image.pixelColor(8, 17).rgb(), SysColor(c.outerBottomRight).rgb());
    if (c.innerTopLeft >= 0) {
      EXPECT_EQ(image.pixelColor(3, 8).rgb(), SysColor(c.innerTopLeft).rgb());
      EXPECT_EQ(image.pixelColor(16, 8).rgb(), SysColor(c.innerBottomRight).rgb());
    }
    EXPECT_EQ(image.pixelColor(1, 1).rgb(), QColor(1, 2, 3).rgb());    // outside
    EXPECT_EQ(image.pixelColor(10, 10).rgb(), QColor(1, 2, 3).rgb());  // inside, no BF_MIDDLE
  }
}

TEST(ClassicDraw, OneSidedEdgesAndFrameControls) {
  QImage image(20, 20, QImage::Format_RGB32);
  image.fill(QColor(1, 2, 3));
  {
    QPainter painter(&image);
    QRect r(0, 0, 10, 20);
    EXPECT_TRUE(DrawEdge(painter, &r, EDGE_ETCHED, BF_RIGHT));
    EXPECT_EQ(r, QRect(0, 0, 10, 20));  // no BF_ADJUST
    EXPECT_FALSE(DrawEdge(painter, &r, 0, BF_RECT));
  }
  EXPECT_EQ(image.pixelColor(8, 5).rgb(), SysColor(COLOR_BTNSHADOW).rgb());
  EXPECT_EQ(image.pixelColor(9, 5).rgb(), SysColor(COLOR_BTNHIGHLIGHT).rgb());
  EXPECT_EQ(image.pixelColor(7, 5).rgb(), QColor(1, 2, 3).rgb());
  EXPECT_EQ(image.pixelColor(5, 0).rgb(), QColor(1, 2, 3).rgb());

  QPainter painter(&image);
  QRect button(0, 0, 20, 20);
  EXPECT_TRUE(DrawFrameControl(painter, &button, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT));
  EXPECT_EQ(button, QRect(2, 2, 16, 16));
  QRect arrow(0, 0, 20, 20);
  EXPECT_TRUE(DrawFrameControl(painter, &arrow, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | DFCS_PUSHED | DFCS_FLAT));
  EXPECT_EQ(arrow, QRect(0, 0, 20, 20));
  EXPECT_FALSE(DrawFrameControl(painter, &arrow, DFC_SCROLL, 0));
  EXPECT_EQ(GetSystemMetrics(SM_CXEDGE), 2);
}
