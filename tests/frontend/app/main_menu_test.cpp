// The main window's menus in the flat look: the window is attached, its bar
// and popups take the style, a picture of the open View menu is kept, and
// Alt+V opens that menu.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTest>

#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/menu_xp.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"

namespace {

class NoDrives final : public IDvdDriveList {
 public:
  std::vector<DvdDrive> Drives() override { return {}; }
};

TEST(MainMenu, TheMainWindowsMenusAreFlat) {
  LoadOptionSettings();
  NoDrives drives;
  CDlgDvdMain dlg(nullptr, &drives);
  dlg.Create();
  ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
  EXPECT_TRUE(CMenuXP::IsAttached(&dlg));
  QMenuBar* bar = dlg.Menu();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->style(), CMenuXP::Style());
  QAction* view = nullptr;
  for (QAction* a : bar->actions()) {
    ASSERT_NE(a->menu(), nullptr);
    EXPECT_EQ(a->menu()->style(), CMenuXP::Style()) << a->text().toStdString();
    if (a->text() == "&View") view = a;
  }
  ASSERT_NE(view, nullptr);

  bar->setActiveAction(view);
  QMenu* menu = view->menu();
  ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }));
  menu->setActiveAction(FindMenuAction(menu, ID_METADATA));
  Pump(100);
  const QImage window = dlg.grab().toImage();
  const QImage popup = menu->grab().toImage();
  // The window with its open popup where the screen shows it.
  const QPoint at = menu->pos() - dlg.mapToGlobal(QPoint(0, 0));
  QImage picture(std::max(window.width(), at.x() + popup.width()), std::max(window.height(), at.y() + popup.height()),
                 QImage::Format_ARGB32);
  picture.fill(Qt::white);
  {
    QPainter p(&picture);
    p.drawImage(0, 0, window);
    p.drawImage(at, popup);
  }
  SaveArtifact(picture, "main_window_menu.png");

  const QRect lit = menu->actionGeometry(FindMenuAction(menu, ID_METADATA));
  const QColor fill = ColorRef(AdjustHLS(ToColorRef(SysColor(COLOR_HIGHLIGHT)), 70, -57));
  EXPECT_TRUE(Near(popup.pixelColor(lit.left() + 5, lit.top() + 3), fill, 2));
  const QRect other = menu->actionGeometry(FindMenuAction(menu, ID_LOG_WINDOW));
  const QColor column = ColorRef(AdjustHLS(ToColorRef(SysColor(COLOR_BTNFACE)), 20, 0));
  EXPECT_TRUE(Near(popup.pixelColor(other.left() + 2, other.top() + 2), column, 2));
  menu->close();
  dlg.DestroyWindow();
}

}  // namespace

TEST(MainMenu, AltVOpensTheViewMenuAndTheViewButtonStaysATabStop) {
  LoadOptionSettings();
  NoDrives drives;
  CDlgDvdMain dlg(nullptr, &drives);
  dlg.Create();
  ASSERT_TRUE(WaitUntil([&] { return dlg.isVisible(); }));
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  QMenu* view = nullptr;
  for (QAction* a : dlg.Menu()->actions())
    if (a->text() == "&View") view = a->menu();
  ASSERT_NE(view, nullptr);

  QTest::keyClick(&dlg, Qt::Key_V, Qt::AltModifier);
  EXPECT_TRUE(WaitUntil([&] { return view->isVisible(); }));
  view->close();

  // The folder button keeps its label without a mnemonic and stays in the tab chain.
  auto* button = qobject_cast<QAbstractButton*>(dlg.Item(IDC_VIEW_OUTPUT));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "View");
  EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
  dlg.DestroyWindow();
}
