// The front end's controls: check-box tree propagation and clicks, the column
// tree's texts, layout, scrolling, hit rule, drawing and notifications, the
// check-box pictures and the hover button.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include "frontend/controls/column_tree.h"
#include "frontend/controls/hover_button.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"

namespace {

void Click(QWidget* w, const QPoint& at, QEvent::Type type = QEvent::MouseButtonPress) {
  QMouseEvent press(type, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

// ---- check-box tree ----

struct TitleTree {
  CMutiTreeCtrl tree;
  QTreeWidgetItem* disc;
  QTreeWidgetItem* title;
  std::vector<QTreeWidgetItem*> chapters;
  QTreeWidgetItem* plain;  // no check box

  TitleTree() {
    tree.SetStateImageList(CreateCheckBoxImageList(16, Qt::white, true));
    disc = tree.InsertItem(QStringLiteral("disc"));
    title = tree.InsertItem(QStringLiteral("title"), disc);
    for (int i = 0; i < 3; ++i) chapters.push_back(tree.InsertItem(QStringLiteral("chapter %1").arg(i), title));
    plain = tree.InsertItem(QStringLiteral("no box"), title);
    for (auto* item : {disc, title, chapters[0], chapters[1], chapters[2]}) tree.SetStateImage(item, kStateUnchecked);
    tree.ModifyTreeStyle(0, TVS_HASBUTTONS | TVS_LINESATROOT);
    tree.expandAll();
    tree.resize(300, 200);
  }
};

TEST(CheckTree, ChildrenDecideTheirParentsAndAMixedLevelMakesEveryLevelAboveMixed) {
  TitleTree t;
  t.tree.SetCheck(t.chapters[0], 2);
  t.tree.SetCheck(t.chapters[1], 2);
  EXPECT_EQ(t.tree.GetCheck(t.title), 1);
  EXPECT_EQ(t.tree.GetCheck(t.disc), 1);
  t.tree.SetCheck(t.chapters[2], 2);  // the last unchecked chapter
  EXPECT_EQ(t.tree.GetCheck(t.title), 2);
  EXPECT_EQ(t.tree.GetCheck(t.disc), 2);
  t.tree.SetCheck(t.chapters[1], 0);
  EXPECT_EQ(t.tree.GetCheck(t.title), 1);
  EXPECT_EQ(t.tree.GetCheck(t.disc), 1);
  t.tree.SetCheck(t.chapters[0], 0);
  t.tree.SetCheck(t.chapters[2], 0);
  EXPECT_EQ(t.tree.GetCheck(t.title), 0);
  EXPECT_EQ(t.tree.GetCheck(t.disc), 0);
  // Down: the whole subtree; an item without a box keeps none.
  t.tree.SetCheck(t.disc, 2);
  for (auto* c : t.chapters) EXPECT_EQ(t.tree.GetCheck(c), 2);
  EXPECT_EQ(t.tree.GetCheck(t.plain), -1);
  EXPECT_FALSE(t.tree.SetCheck(t.title, 3));
  EXPECT_FALSE(t.tree.SetCheck(nullptr, 1));
}

TEST(CheckTree, ClicksOnTheBoxToggleAndMixedItemsBecomeChecked) {
  TitleTree t;
  t.tree.show();
  t.tree.SetCheck(t.chapters[0], 2);
  ASSERT_EQ(t.tree.GetCheck(t.title), 1);
  QRect box = t.tree.StateIconRect(t.title);
  ASSERT_FALSE(box.isNull());
  EXPECT_EQ(t.tree.HitTest(box.center()).flags, TVHT_ONITEMSTATEICON);
  Click(t.tree.viewport(), box.center());
  EXPECT_EQ(t.tree.GetCheck(t.title), 2);
  for (auto* c : t.chapters) EXPECT_EQ(t.tree.GetCheck(c), 2);
  Click(t.tree.viewport(), box.center());
  EXPECT_EQ(t.tree.GetCheck(t.title), 0);
  EXPECT_EQ(t.tree.GetCheck(t.disc), 0);
  // A click on the label selects without toggling.
  QRect label = t.tree.LabelRect(t.chapters[1]);
  EXPECT_EQ(t.tree.HitTest(label.center()).flags, TVHT_ONITEMLABEL);
  Click(t.tree.viewport(), label.center());
  EXPECT_EQ(t.tree.GetCheck(t.chapters[1]), 0);
  EXPECT_EQ(t.tree.currentItem(), t.chapters[1]);
  EXPECT_EQ(t.tree.LastPressFlags(), TVHT_ONITEMLABEL);
}

TEST(CheckTree, SpaceTogglesTheCaretItemAndIsSwallowedOnItemsWithoutABox) {
  TitleTree t;
  t.tree.setCurrentItem(t.chapters[2]);
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QApplication::sendEvent(&t.tree, &space);
  EXPECT_EQ(t.tree.GetCheck(t.chapters[2]), 2);
  EXPECT_EQ(t.tree.GetCheck(t.title), 1);
  t.tree.setCurrentItem(t.plain);
  QKeyEvent again(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
  QApplication::sendEvent(&t.tree, &again);
  EXPECT_TRUE(again.isAccepted());
  EXPECT_EQ(t.tree.GetCheck(t.plain), -1);
  EXPECT_EQ(t.tree.GetCheck(t.title), 1);
  EXPECT_EQ(t.tree.currentItem(), t.plain);
}

// A dark desktop palette on the application while it lives.
class DarkPalette {
 public:
  DarkPalette() : old_(QApplication::palette()) {
    QPalette dark(QColor(45, 45, 45));
    dark.setColor(QPalette::Window, QColor(32, 32, 32));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
  }
  ~DarkPalette() { QApplication::setPalette(old_); }

 private:
  QPalette old_;
};

TEST(CheckBoxImages, SixteenPicturesWithBlankSlotsAndDistinctMarks) {
  EXPECT_TRUE(CreateCheckBoxImageList(0, Qt::white, true).empty());
  auto images = CreateCheckBoxImageList(16, Qt::white, true);
  ASSERT_EQ(images.size(), 16u);
  for (int i : {0, 4, 8, 12}) {
    QImage blank = images[i].toImage();
    EXPECT_EQ(CountOtherThan(blank, blank.rect(), Qt::white, 0), 0) << i;
  }
  QImage unchecked = images[kStateUnchecked].toImage();
  QImage mixed = images[kStateMixed].toImage();
  QImage checked = images[kStateChecked].toImage();
  EXPECT_NE(unchecked, checked);
  EXPECT_NE(mixed, checked);
  EXPECT_NE(mixed, unchecked);
  EXPECT_NE(images[kStateChecked + 4].toImage(), checked);  // the disabled look differs
  // The mark inside the box: dark pixels in the middle only when checked.
  QRect middle(5, 5, 5, 5);
  EXPECT_GT(CountOtherThan(checked, middle, Qt::white, 60), CountOtherThan(unchecked, middle, Qt::white, 60));
  auto big = CreateCheckBoxImageList(24, Qt::white, false);
  EXPECT_EQ(big[1].size(), QSize(24, 24));
  SaveArtifact(checked, "checkbox_checked.png");
}

TEST(CheckBoxImages, TheBoxFrameStandsOutFromADarkField) {
  DarkPalette dark;
  const QColor base = QApplication::palette().color(QPalette::Base);
  const auto images = CreateCheckBoxImageList(16, Qt::white, true);
  ASSERT_EQ(images.size(), 16u);
  for (int i : {kStateUnchecked, kStateMixed, kStateChecked, kStateUnchecked + 8}) {
    const QImage box = images[i].toImage();
    // The frame's left and top edges, and the field inside the unchecked box.
    EXPECT_GE(ContrastRatio(box.pixelColor(0, 7), base), 3.0) << i;
    EXPECT_GE(ContrastRatio(box.pixelColor(7, 0), base), 3.0) << i;
  }
  const QImage unchecked = images[kStateUnchecked].toImage();
  EXPECT_LT(ContrastRatio(unchecked.pixelColor(7, 7), base), 1.2);
  SaveArtifact(unchecked, "checkbox_unchecked_dark.png");
}

// ---- column tree ----

// A dialog that hosts a column tree and records its notifications.
class Host : public UiDialog {
 public:
  Host() : UiDialog(kTemplate) { tree = SubclassItem(100, new CColumnTreeCtrl); }
  intptr_t OnNotify(const UiNotify& n) override {
    notes.push_back({n.idFrom, n.code});
    return 5;
  }
  static const DialogTemplate kTemplate;
  CColumnTreeCtrl* tree;
  std::vector<std::pair<int, int>> notes;
};
const DialogTemplate Host::kTemplate = {600, "Host", 360, 170, {{CtrlKind::Placeholder, 100, "", 7, 20, 339, 145}}};

void AddColumns(CColumnTreeCtrl& tree) {
  const std::pair<const char*, int> columns[] = {
      {"Title", 150}, {"Duration", 80}, {"Estimated size", 95}, {"Output size", 95}, {"Status", 60}};
  int i = 0;
  for (auto& [text, width] : columns) tree.InsertColumn(i++, QString::fromUtf8(text), HDF_LEFT, width);
}

TEST(ColumnTree, ItemTextsKeepOneTabEndedTextPerColumn) {
  CColumnTreeCtrl tree;
  AddColumns(tree);
  QTreeWidgetItem* item = tree.Tree().InsertItem(QStringLiteral("only"));
  tree.SetItemText(item, 2, QStringLiteral("new"));
  EXPECT_EQ(item->text(0), QStringLiteral("only\t\tnew\t\t\t"));
  tree.SetItemText(item, 0, QStringLiteral("Title 1"));
  tree.SetItemText(item, 4, QStringLiteral("Ready"));
  EXPECT_EQ(item->text(0), QStringLiteral("Title 1\t\tnew\t\tReady\t"));
  EXPECT_EQ(CColumnTreeCtrl::GetItemText(item, 4), QStringLiteral("Ready"));
  EXPECT_EQ(CColumnTreeCtrl::GetItemText(item, 9), QString());
  tree.SetItemText(item, 7, QStringLiteral("lost"));  // past the header: not placed
  EXPECT_EQ(item->text(0), QStringLiteral("Title 1\t\tnew\t\tReady\t"));
  EXPECT_EQ(tree.TotalWidth(), 480);
  EXPECT_EQ(tree.ColumnStart(3), 325);
}

TEST(ColumnTree, TheFirstColumnNeverGetsNarrowerThanTenPixels) {
  CColumnTreeCtrl tree;
  AddColumns(tree);
  tree.Header().resizeSection(0, 5);
  EXPECT_EQ(tree.ColumnWidth(0), 11);
  tree.Header().resizeSection(0, 10);
  EXPECT_EQ(tree.ColumnWidth(0), 10);
  tree.Header().resizeSection(1, 3);  // only the first column has the minimum
  EXPECT_EQ(tree.ColumnWidth(1), 3);
  EXPECT_EQ(tree.TotalWidth(), 10 + 3 + 95 + 95 + 60);
  EXPECT_EQ(tree.InsertColumn(5, "x", HDF_LEFT, 10), 5);
  for (int i = 6; i < 16; ++i) tree.InsertColumn(i, "x", HDF_LEFT, 10);
  EXPECT_EQ(tree.InsertColumn(16, "too many", HDF_LEFT, 10), -1);
}

TEST(ColumnTree, TheScrollBarShowsOnlyWhenColumnsDoNotFitAndThereIsRoomForIt) {
  CColumnTreeCtrl tree;
  AddColumns(tree);
  tree.resize(600, 200);
  tree.show();
  EXPECT_FALSE(tree.HorizontalBar().isVisibleTo(&tree));
  EXPECT_EQ(tree.Offset(), 0);
  tree.HScroll(SB_RIGHT);
  EXPECT_EQ(tree.Offset(), 0);

  tree.resize(300, 200);
  EXPECT_TRUE(tree.HorizontalBar().isVisibleTo(&tree));
  int extent = tree.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  EXPECT_EQ(tree.Tree().height(), 200 - tree.HeaderHeight() - extent);
  // Scrolling moves header and tree together and stays in range.
  tree.HScroll(SB_LINERIGHT);
  EXPECT_EQ(tree.Offset(), 15);
  EXPECT_EQ(tree.Tree().x(), -15);
  EXPECT_EQ(tree.Header().x(), -15);
  tree.HScroll(SB_PAGERIGHT);
  EXPECT_EQ(tree.Offset(), 180);  // range 480 - width 300
  tree.HScroll(SB_THUMBTRACK, 5000);
  EXPECT_EQ(tree.Offset(), 180);
  tree.HScroll(SB_PAGELEFT);
  EXPECT_EQ(tree.Offset(), 0);
  tree.HScroll(SB_RIGHT);
  tree.HScroll(SB_ENDSCROLL);
  EXPECT_EQ(tree.Offset(), 180);
  // Widening again clamps the offset back.
  tree.resize(400, 200);
  EXPECT_EQ(tree.Offset(), 80);

  // Too low for header and bar: no bar even though the columns do not fit.
  tree.resize(300, tree.HeaderHeight() + extent - 1);
  EXPECT_FALSE(tree.HorizontalBar().isVisibleTo(&tree));
}

TEST(ColumnTree, TheCornerHeaderShowsWithTheVerticalScrollBar) {
  CColumnTreeCtrl tree;
  AddColumns(tree);
  tree.resize(600, 120);
  tree.show();
  tree.Layout();
  EXPECT_FALSE(tree.CornerHeader().isVisibleTo(&tree));
  for (int i = 0; i < 30; ++i) tree.Tree().InsertItem(QStringLiteral("row %1").arg(i));
  tree.Layout();
  EXPECT_TRUE(tree.CornerHeader().isVisibleTo(&tree));
  int extent = tree.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  EXPECT_EQ(tree.Header().width(), 600 - extent);
}

TEST(ColumnTree, ClicksRightOfTheFirstTextOnlyFocusWithoutFullRowSelect) {
  Host host;
  CColumnTreeCtrl& ct = *host.tree;
  AddColumns(ct);
  CCustomTreeChildCtrl& tree = ct.Tree();
  tree.SetStateImageList(CreateCheckBoxImageList(16, Qt::white, true));
  QTreeWidgetItem* a = tree.InsertItem(QString());
  QTreeWidgetItem* b = tree.InsertItem(QString());
  ct.SetItemText(a, 0, QStringLiteral("A"));
  ct.SetItemText(b, 0, QStringLiteral("Bee"));
  tree.SetCheck(a, 0);
  tree.SetCheck(b, 0);
  host.Create();
  tree.setCurrentItem(a);
  host.notes.clear();

  QRect label = tree.LabelRect(b);
  QPoint right(label.right() + 40, label.center().y());
  EXPECT_FALSE(tree.OnTheRow(right));
  Click(tree.viewport(), right);
  EXPECT_EQ(tree.currentItem(), a);
  EXPECT_EQ(tree.GetCheck(b), 0);
  EXPECT_TRUE(host.notes.empty());

  // On the label: the row is selected, the parent hears it from the column tree's id.
  Click(tree.viewport(), label.center());
  EXPECT_EQ(tree.currentItem(), b);
  ASSERT_FALSE(host.notes.empty());
  EXPECT_EQ(host.notes[0], std::make_pair(100, TVN_SELCHANGED));

  // With full-row select the same point counts.
  tree.ModifyTreeStyle(0, TVS_FULLROWSELECT);
  tree.setCurrentItem(a);
  EXPECT_TRUE(tree.OnTheRow(right));
  Click(tree.viewport(), right);
  EXPECT_EQ(tree.currentItem(), b);
  // The state icon toggles.
  Click(tree.viewport(), tree.StateIconRect(b).center());
  EXPECT_EQ(tree.GetCheck(b), 2);
  host.DestroyWindow();
}

TEST(ColumnTree, AnEmptyTreeShowsItsPictureOnWhiteUntilItHasItems) {
  CColumnTreeCtrl tree;
  AddColumns(tree);
  tree.resize(400, 150);
  QImage picture(40, 20, QImage::Format_RGB32);
  picture.fill(QColor(200, 0, 0));
  tree.SetEmptyTreeBitmap(picture);
  tree.show();
  QImage empty = tree.Tree().viewport()->grab().toImage();
  EXPECT_EQ(empty.pixelColor(5, 5), QColor(200, 0, 0));
  EXPECT_EQ(empty.pixelColor(100, 60), QColor(Qt::white));
  tree.Tree().InsertItem(QStringLiteral("row\t"));
  QImage filled = tree.Tree().viewport()->grab().toImage();
  EXPECT_NE(filled.pixelColor(5, 5), QColor(200, 0, 0));
}

// ---- hover button ----

TEST(HoverButton, LightsUpWhileHoveredAndMovesItsFaceWhenPressed) {
  CHoverButton button;
  button.setText(QStringLiteral("Add DVD..."));
  button.resize(90, 24);
  QImage picture(12, 12, QImage::Format_RGB32);
  picture.fill(QColor(255, 0, 255));  // the top-left colour is transparent
  for (int y = 3; y < 9; ++y)
    for (int x = 3; x < 9; ++x) picture.setPixelColor(x, y, QColor(0, 128, 0));
  button.SetPicture(picture);
  EXPECT_EQ(button.Picture().pixelColor(0, 0).alpha(), 0);
  button.show();

  QImage idle = button.grab().toImage();
  EXPECT_TRUE(Near(idle.pixelColor(0, 0), ColorRef(0xFFF5ED), 2));
  EXPECT_TRUE(Near(idle.pixelColor(45, 12), ColorRef(0xFFF5ED), 2) ||
              CountOtherThan(idle, QRect(45, 12, 1, 1), ColorRef(0xFFF5ED), 2) == 1);  // may hit caption
  EXPECT_TRUE(Near(idle.pixelColor(2, 2), ColorRef(0xFFF5ED), 2));  // the transparent corner of the picture

  QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), button.mapToGlobal(QPointF(10, 10)), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&button, &move);
  EXPECT_TRUE(button.Hovering());
  QImage hover = button.grab().toImage();
  EXPECT_TRUE(Near(hover.pixelColor(0, 0), ColorRef(0xEDC399), 2));
  EXPECT_TRUE(Near(hover.pixelColor(2, 1), ColorRef(0xEDC399), 2));
  EXPECT_TRUE(Near(hover.pixelColor(87, 20), ColorRef(0xFBEFDA), 2));

  button.setDown(true);
  QImage pressed = button.grab().toImage();
  EXPECT_TRUE(Near(pressed.pixelColor(87, 20), ColorRef(0xF3DDAD), 2));
  // The picture's green square moves one pixel down and right.
  int y0 = (23 - 12) / 2;
  EXPECT_EQ(hover.pixelColor(2 + 3, y0 + 3), QColor(0, 128, 0));
  EXPECT_NE(pressed.pixelColor(2 + 3, y0 + 3), QColor(0, 128, 0));
  EXPECT_EQ(pressed.pixelColor(3 + 3, y0 + 4), QColor(0, 128, 0));
  SaveArtifact(idle, "hover_button_idle.png");
  SaveArtifact(hover, "hover_button_hover.png");
  SaveArtifact(pressed, "hover_button_pressed.png");

  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(&button, &leave);
  EXPECT_FALSE(button.Hovering());
  EXPECT_FALSE(button.SetBitmap(424242));  // no such resource: face unchanged
  EXPECT_FALSE(button.Picture().isNull());
}

TEST(HoverButton, TabbingToItDrawsAFocusMarkInsideItsFrame) {
  QWidget window;
  auto* edit = new QLineEdit(&window);
  auto* button = new CHoverButton(&window);
  button->setText(QStringLiteral("Del"));
  edit->setGeometry(0, 0, 80, 20);
  button->setGeometry(0, 30, 90, 24);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  edit->setFocus(Qt::OtherFocusReason);
  ASSERT_TRUE(WaitUntil([&] { return edit->hasFocus(); }));

  const QColor fill = ColorRef(0xFFF5ED);
  const int mid = button->height() / 2;
  // The mark's left edge: right of the outer frames, left of the caption.
  auto markShows = [&](const QImage& face) {
    return !Near(face.pixelColor(3, mid), fill, 15) || !Near(face.pixelColor(4, mid), fill, 15);
  };
  const QImage plain = button->grab().toImage();
  EXPECT_FALSE(markShows(plain));

  QTest::keyClick(edit, Qt::Key_Tab);
  ASSERT_TRUE(WaitUntil([&] { return button->hasFocus(); }));
  const QImage focused = button->grab().toImage();
  EXPECT_TRUE(markShows(focused));
  EXPECT_TRUE(Near(focused.pixelColor(1, mid), fill, 2));  // inside the frames, not on them
  SaveArtifact(focused, "hover_button_focus.png");

  QTest::keyClick(button, Qt::Key_Tab);
  ASSERT_TRUE(WaitUntil([&] { return edit->hasFocus(); }));
  EXPECT_FALSE(markShows(button->grab().toImage()));
}

TEST(HoverButton, ItsCaptionStaysReadableOnItsLightFaceUnderADarkPalette) {
  DarkPalette dark;
  CHoverButton button;
  button.setText(QStringLiteral("Add DVD..."));
  button.resize(90, 24);
  button.show();
  const QImage face = button.grab().toImage();
  SaveArtifact(face, "hover_button_dark.png");
  const QColor fill = ColorRef(0xFFF5ED);
  double best = 1.0;
  for (int y = 2; y < face.height() - 2; ++y)
    for (int x = 5; x < face.width() - 2; ++x) best = std::max(best, ContrastRatio(face.pixelColor(x, y), fill));
  EXPECT_GE(best, 4.5) << "the caption's best pixel stands out only " << best << ":1";
}

}  // namespace
