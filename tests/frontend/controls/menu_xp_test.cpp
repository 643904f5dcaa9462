// The flat menus: the character an item runs, the item sizes, and the icon
// column, highlight, border, icons and the open menu-bar item in grabs of
// open menus.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>
#include <QVBoxLayout>

#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/menu_template.h"
#include "frontend/ui/menu_xp.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

QColor L(int index, int luminance, int saturation) {
  return ColorRef(AdjustHLS(ToColorRef(SysColor(index)), luminance, saturation));
}

QString Hex(const QColor& c) { return c.name(); }

#define EXPECT_PIXEL(image, x, y, colour)                                                                 \
  EXPECT_TRUE(Near((image).pixelColor((x), (y)), (colour), 2))                                            \
      << "at " << (x) << "," << (y) << ": " << Hex((image).pixelColor((x), (y))).toStdString() << " not " \
      << Hex(colour).toStdString()

TEST(MenuChar, TheFirstItemWhoseLabelMarksTheCharacterRuns) {
  const struct {
    QStringList texts;
    char16_t key;
    unsigned flags;
    int32_t result;
  } cases[] = {
      {{"&File", "&Edit"}, u'e', MF_POPUP, 0x20001},
      {{"&File", "&Edit"}, u'F', MF_POPUP, 0x20000},              // either case
      {{"&Save", "&Select"}, u's', MF_POPUP, 0x20000},            // the first of two
      {{"&A", "", "&B"}, u'b', MF_POPUP, 0x20002},                // separators count as positions
      {{"Open\t&X"}, u'x', MF_POPUP, 0},                          // the shortcut part is not the label
      {{"&&Edit"}, u'e', MF_POPUP, 0},                            // a doubled '&' is a plain '&'
      {{"Save &&&As"}, u'a', MF_POPUP, 0},                        // nor after another '&'
      {{"Fish && &Chips"}, u'c', MF_POPUP, 0x20000},              //
      {{"Trailing&"}, u'g', MF_POPUP, 0},                         // a last '&' marks nothing
      {{"\u00dcber &\u00e4rger"}, u'\u00c4', MF_POPUP, 0x20000},  // letters beyond ASCII
      {{"&File"}, u'f', 0, 0x20000},                              // no flags at all
      {{"&File"}, u'f', MF_POPUP | MF_SYSMENU, 0},                // the system menu
      {{"&File"}, u'f', 0x1, 0},                                  // flags without MF_POPUP
      {{}, u'f', MF_POPUP, 0},
      {{"", "&"}, u'&', MF_POPUP, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.texts.join(QStringLiteral("|")).toStdString());
    EXPECT_EQ(CMenuXP::MenuChar(c.texts, QChar(c.key), c.flags), c.result);
  }
}

TEST(MenuXp, ItemSizesFollowTheFontHeight) {
  for (int pixels : {6, 9, 11, 13, 20, 32}) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    const int h = QFontMetrics(font).height();
    const MenuItemSizes sizes = CMenuXP::ItemSizes(font);
    EXPECT_EQ(sizes.itemHeight, h + 2 > 16 ? h + 6 : 20) << pixels;
    EXPECT_EQ(sizes.separatorHeight, h / 2 + 2) << pixels;
  }
  const QFont font = QApplication::font();
  // Only the first '&' is taken out; a default item is measured bold.
  EXPECT_EQ(CMenuXP::LabelWidth("S&ave && go", font, false), QFontMetrics(font).horizontalAdvance("Save && go"));
  QFont bold = font;
  bold.setWeight(QFont::Bold);
  EXPECT_EQ(CMenuXP::LabelWidth("&Open", font, true), QFontMetrics(bold).horizontalAdvance("Open"));
  EXPECT_EQ(CMenuXP::LabelWidth("", font, false), 0);
}

TEST(MenuXp, ShadowBandColumnsStartLowerAndDarkenInwards) {
  const int kPercents[4][4] = {{93, 93, 93, 93}, {93, 93, 88, 88}, {93, 88, 83, 83}, {93, 88, 83, 78}};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(ShadowPercent(i, j), kPercents[i][j]) << i << "," << j;
  EXPECT_EQ(ShadowPercent(3, 40), 78);

  QImage image(20, 16, QImage::Format_ARGB32);
  image.fill(QColor(200, 100, 50));
  QImage popup = image;
  ShadeRightBand(image, image.rect(), true);
  ShadeRightBand(popup, popup.rect(), false);
  const auto shaded = [](int p) { return QColor(200 * p / 100, 100 * p / 100, 50 * p / 100); };
  // Column 0 (x 19) starts at row 6, column 3 (x 16) at row 4; x 15 is untouched.
  EXPECT_EQ(image.pixelColor(19, 5), QColor(200, 100, 50));
  EXPECT_EQ(image.pixelColor(19, 6), shaded(ShadowPercent(0, 2)));
  EXPECT_EQ(image.pixelColor(16, 3), QColor(200, 100, 50));
  EXPECT_EQ(image.pixelColor(16, 4), shaded(93));
  EXPECT_EQ(image.pixelColor(16, 10), shaded(78));
  EXPECT_EQ(image.pixelColor(15, 10), QColor(200, 100, 50));
  // The menu-bar band runs to the bottom; a popup's stops short, inner columns first.
  EXPECT_EQ(image.pixelColor(19, 15), shaded(93));
  EXPECT_EQ(popup.pixelColor(19, 13), shaded(93));
  EXPECT_EQ(popup.pixelColor(19, 14), QColor(200, 100, 50));
  EXPECT_EQ(popup.pixelColor(16, 11), shaded(78));
  EXPECT_EQ(popup.pixelColor(16, 12), QColor(200, 100, 50));
}

// A window with a flat menu bar: File (Open, Save As, a separator, Exit) and Edit.
class FlatMenus : public ::testing::Test {
 protected:
  static constexpr int kOpen = 101, kSave = 102, kExit = 103, kCut = 201, kCopy = 202;

  void SetUp() override {
    window = std::make_unique<QWidget>();
    window->resize(320, 200);
    bar = BuildMenuBar(
        window.get(),
        {{"&File",
          0,
          {{"&Open...\tCtrl+O", kOpen, {}}, {"Save &As...", kSave, {}}, MenuSeparator(), {"E&xit", kExit, {}}}},
         {"&Edit", 0, {{"Cu&t", kCut, {}}, {"&Copy", kCopy, {}}}}},
        [this](int id) { chosen.push_back(id); });
    bar->setGeometry(0, 0, 320, bar->sizeHint().height());
    QPixmap red(16, 16);
    red.fill(Qt::red);
    CMenuXP::SetCommandImage(kOpen, red);
    CMenuXP::AttachWindow(window.get(), true);
    CMenuXP::UpdateMenuBar(window.get());
    window->show();
    ASSERT_TRUE(WaitUntil([&] { return window->isVisible(); }));
  }
  void TearDown() override {
    for (QMenu* m : bar->findChildren<QMenu*>()) m->close();
    CMenuXP::SetCommandImage(kOpen, QPixmap());
  }

  QMenu* Popup(int index) { return bar->actions().at(index)->menu(); }
  QMenu* OpenPopup(int index) {
    bar->setActiveAction(bar->actions().at(index));
    QMenu* menu = Popup(index);
    EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
    Pump(50);
    return menu;
  }
  QAction* Action(QMenu* menu, int id) { return FindMenuAction(menu, id); }

  std::unique_ptr<QWidget> window;
  QMenuBar* bar = nullptr;
  std::vector<int> chosen;
};

TEST_F(FlatMenus, AttachedWindowsMenusTakeTheStyleAndTheirIcons) {
  EXPECT_TRUE(CMenuXP::IsAttached(window.get()));
  EXPECT_EQ(bar->style(), CMenuXP::Style());
  EXPECT_EQ(Popup(0)->style(), CMenuXP::Style());
  EXPECT_EQ(Popup(1)->style(), CMenuXP::Style());
  EXPECT_FALSE(Action(Popup(0), kOpen)->icon().isNull());
  EXPECT_TRUE(Action(Popup(0), kSave)->icon().isNull());

  QWidget other;
  EXPECT_FALSE(CMenuXP::IsAttached(&other));
  CMenuXP::AttachWindow(window.get(), false);
  EXPECT_FALSE(CMenuXP::IsAttached(window.get()));
  QMenu loose;
  CMenuXP::ConvertMenu(window.get(), &loose, false);  // not enabled: left alone
  EXPECT_NE(loose.style(), CMenuXP::Style());
}

TEST_F(FlatMenus, ItemSizes) {
  QMenu* menu = OpenPopup(0);
  const QFont font = menu->font();
  const MenuItemSizes sizes = CMenuXP::ItemSizes(font);
  const QList<QAction*> actions = menu->actions();
  ASSERT_EQ(actions.size(), 4);
  const int label =
      std::max({CMenuXP::LabelWidth("&Open...", font, false), CMenuXP::LabelWidth("Save &As...", font, false),
                CMenuXP::LabelWidth("E&xit", font, false)});
  const int shortcut = QFontMetrics(font).horizontalAdvance("Ctrl+O");
  int y = 3;  // under the three-line border
  for (QAction* a : actions) {
    const QRect r = menu->actionGeometry(a);
    EXPECT_EQ(r.top(), y) << a->text().toStdString();
    EXPECT_EQ(r.left(), 3);
    EXPECT_EQ(r.height(), a->isSeparator() ? sizes.separatorHeight : sizes.itemHeight) << a->text().toStdString();
    EXPECT_EQ(r.width(), label + shortcut + 42) << a->text().toStdString();
    y += r.height();
  }
  EXPECT_EQ(menu->width(), label + shortcut + 42 + 6);
  EXPECT_EQ(menu->height(), y + 3);
  // Menu-bar items: the label and 4 pixels, side by side from the bar's left.
  const QRect file = bar->actionGeometry(bar->actions().at(0));
  const QRect edit = bar->actionGeometry(bar->actions().at(1));
  EXPECT_EQ(file.width(), CMenuXP::LabelWidth("&File", bar->font(), false) + 4);
  EXPECT_EQ(edit.width(), CMenuXP::LabelWidth("&Edit", bar->font(), false) + 4);
  EXPECT_EQ(file.left(), 0);
  EXPECT_EQ(edit.left(), file.right() + 1);
}

TEST_F(FlatMenus, IconColumnBorderSeparatorAndHighlightPixels) {
  QMenu* menu = OpenPopup(0);
  const QRect open = menu->actionGeometry(Action(menu, kOpen));
  const QRect save = menu->actionGeometry(Action(menu, kSave));
  const QRect separator = menu->actionGeometry(menu->actions().at(2));
  menu->setActiveAction(nullptr);
  Pump(30);
  const QImage plain = menu->grab().toImage();
  SaveArtifact(plain, "menu_plain.png");

  // The border: one dark line, then two in the light face colour.
  EXPECT_PIXEL(plain, 0, 0, SysColor(COLOR_3DDKSHADOW));
  EXPECT_PIXEL(plain, plain.width() - 1, plain.height() - 1, SysColor(COLOR_3DDKSHADOW));
  EXPECT_PIXEL(plain, 1, 10, L(COLOR_BTNFACE, 75, 0));
  EXPECT_PIXEL(plain, 2, 10, L(COLOR_BTNFACE, 75, 0));
  // The icon column (22 pixels) and the lighter label area.
  EXPECT_PIXEL(plain, save.left() + 1, save.top() + 1, L(COLOR_BTNFACE, 20, 0));
  EXPECT_PIXEL(plain, save.left() + 21, save.bottom(), L(COLOR_BTNFACE, 20, 0));
  EXPECT_PIXEL(plain, save.left() + 22, save.bottom(), L(COLOR_BTNFACE, 75, 0));
  EXPECT_PIXEL(plain, save.right(), save.top() + 1, L(COLOR_BTNFACE, 75, 0));
  // The separator's line starts 30 pixels in; the icon column goes on beside it.
  const int mid = separator.top() + separator.height() / 2;
  EXPECT_PIXEL(plain, separator.left() + 30, mid, L(COLOR_BTNFACE, -18, 0));
  EXPECT_PIXEL(plain, separator.left() + 29, mid, L(COLOR_BTNFACE, 75, 0));
  EXPECT_PIXEL(plain, separator.left() + 5, mid, L(COLOR_BTNFACE, 20, 0));
  // The icon at 3 pixels from the item's corner.
  EXPECT_PIXEL(plain, open.left() + 3, open.top() + 3, QColor(Qt::red));
  EXPECT_PIXEL(plain, open.left() + 18, open.top() + 18, QColor(Qt::red));
  EXPECT_PIXEL(plain, open.left() + 2, open.top() + 2, L(COLOR_BTNFACE, 20, 0));
  // The label in the menu text colour from x 30 on, nothing of it left of 30.
  EXPECT_GT(CountOtherThan(plain, QRect(save.left() + 30, save.top(), 60, save.height()), L(COLOR_BTNFACE, 75, 0), 40),
            0);
  EXPECT_EQ(CountOtherThan(plain, QRect(save.left() + 22, save.top(), 8, save.height()), L(COLOR_BTNFACE, 75, 0), 2),
            0);

  // Highlighted: a frame in the highlight colour around a lighter fill.
  menu->setActiveAction(Action(menu, kSave));
  Pump(30);
  const QImage lit = menu->grab().toImage();
  SaveArtifact(lit, "menu_highlight.png");
  EXPECT_PIXEL(lit, save.left(), save.top() + 5, SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(lit, save.right(), save.top() + 5, SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(lit, save.left() + 5, save.top(), SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(lit, save.left() + 5, save.bottom(), SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(lit, save.left() + 5, save.top() + 5, L(COLOR_HIGHLIGHT, 70, -57));
  EXPECT_PIXEL(lit, save.right() - 2, save.top() + 2, L(COLOR_HIGHLIGHT, 70, -57));
  // The other items are as they were.
  EXPECT_PIXEL(lit, open.left() + 21, open.bottom(), L(COLOR_BTNFACE, 20, 0));

  // A highlighted icon stands 2 pixels up-left of its flat shadow.
  menu->setActiveAction(Action(menu, kOpen));
  Pump(30);
  const QImage raised = menu->grab().toImage();
  SaveArtifact(raised, "menu_icon_raised.png");
  EXPECT_PIXEL(raised, open.left() + 2, open.top() + 2, QColor(Qt::red));
  EXPECT_PIXEL(raised, open.left() + 19, open.top() + 19, L(COLOR_HIGHLIGHT, 50, -66));
}

TEST_F(FlatMenus, DisabledAndCheckedItems) {
  QMenu* menu = Popup(1);
  QAction* cut = Action(menu, kCut);
  QAction* copy = Action(menu, kCopy);
  cut->setEnabled(false);
  copy->setCheckable(true);
  copy->setChecked(true);
  OpenPopup(1);
  const QRect cutRect = menu->actionGeometry(cut);
  const QRect copyRect = menu->actionGeometry(copy);
  menu->setActiveAction(nullptr);
  Pump(30);
  const QImage image = menu->grab().toImage();
  SaveArtifact(image, "menu_disabled_checked.png");
  // The check box: a highlight-coloured frame with the light fill, the mark inside.
  EXPECT_PIXEL(image, copyRect.left() + 1, copyRect.top() + 5, SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(image, copyRect.left() + 19, copyRect.top() + 5, SysColor(COLOR_HIGHLIGHT));
  EXPECT_PIXEL(image, copyRect.left() + 3, copyRect.top() + 3, L(COLOR_HIGHLIGHT, 70, -57));
  EXPECT_GT(CountOtherThan(image, QRect(copyRect.left() + 5, copyRect.top() + 3, 15, copyRect.height() - 6),
                           L(COLOR_HIGHLIGHT, 70, -57), 40),
            0);
  // A disabled label is drawn in the darkened face colour, never in the menu text colour.
  const QRect label(cutRect.left() + 30, cutRect.top(), 40, cutRect.height());
  EXPECT_GT(CountOtherThan(image, label, L(COLOR_BTNFACE, 75, 0), 10), 0);
  EXPECT_EQ(CountOtherThan(image, label, SysColor(COLOR_MENUTEXT), 10),
            label.width() * label.height());  // no pixel in the text colour
}

TEST_F(FlatMenus, TheOpenMenuBarItemAndThePopupHangingFromIt) {
  const QRect fileItem = bar->actionGeometry(bar->actions().at(0));
  QImage closed = bar->grab().toImage();
  EXPECT_PIXEL(closed, fileItem.left() + 1, fileItem.top() + 1, SysColor(COLOR_BTNFACE));

  QMenu* menu = OpenPopup(0);
  Pump(50);
  const QImage pressed = bar->grab().toImage();
  SaveArtifact(pressed, "menubar_open.png");
  // The pressed face: a dark frame as wide as the label, the icon-column
  // colour inside, and a 4-pixel shadow on its right.
  const int faceRight = fileItem.right() - 4;
  EXPECT_EQ(faceRight - fileItem.left() + 1, CMenuXP::LabelWidth("&File", bar->font(), false));
  // (Checked above the label: it reaches the face's edges.)
  EXPECT_PIXEL(pressed, fileItem.left(), fileItem.top() + 1, SysColor(COLOR_3DDKSHADOW));
  EXPECT_PIXEL(pressed, faceRight, fileItem.top() + 1, SysColor(COLOR_3DDKSHADOW));
  EXPECT_PIXEL(pressed, fileItem.left() + 2, fileItem.top() + 2, L(COLOR_BTNFACE, 20, 0));
  const QColor face = SysColor(COLOR_BTNFACE);
  const QColor band(face.red() * 93 / 100, face.green() * 93 / 100, face.blue() * 93 / 100);
  EXPECT_PIXEL(pressed, fileItem.right(), fileItem.top() + 5, face);  // above the band
  EXPECT_PIXEL(pressed, fileItem.right(), fileItem.top() + 6, band);
  EXPECT_PIXEL(pressed, fileItem.right(), fileItem.bottom(), band);

  // The popup overlaps the item by one line and its top line under the item
  // takes the item's colour.
  const QRect item(bar->mapToGlobal(fileItem.topLeft()), fileItem.size());
  EXPECT_EQ(menu->y(), item.bottom());
  const QImage popup = menu->grab().toImage();
  SaveArtifact(popup, "menubar_popup.png");
  const int under = item.left() - menu->x() + 3;
  EXPECT_PIXEL(popup, under, 0, L(COLOR_BTNFACE, 20, 0));
  EXPECT_PIXEL(popup, popup.width() - 3, 0, SysColor(COLOR_3DDKSHADOW));
}

TEST_F(FlatMenus, ATypedCharacterRunsTheFirstItemItMarks) {
  // Two items marked with 's': the first runs at once.
  QMenu* menu = Popup(0);
  Action(menu, kOpen)->setText("&Save copy");
  QMenu* opened = OpenPopup(0);
  ASSERT_EQ(opened, menu);
  QTest::keyClick(menu, Qt::Key_S, Qt::NoModifier);
  ASSERT_TRUE(WaitUntil([&] { return !chosen.empty(); }));
  EXPECT_EQ(chosen, std::vector<int>{kOpen});
  EXPECT_TRUE(WaitUntil([&] { return !menu->isVisible(); }));
}

}  // namespace
