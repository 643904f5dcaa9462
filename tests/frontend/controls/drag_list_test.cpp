// The reorderable list: moving rows by index, dragging a row with the mouse
// (where it lands, the message to the dialog, releasing outside), the drop
// line drawn inverted over the rows, and files dropped from the desktop.
#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <string>
#include <vector>

#include "frontend/controls/drag_list.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"

namespace {

constexpr int kListId = 1001;

// A dialog holding one list that records the list's messages.
class ListHost : public UiDialog {
 public:
  ListHost() : UiDialog(DialogTemplate{900, "host", 200, 150, {{CtrlKind::Placeholder, kListId, "", 5, 5, 190, 140}}}) {
    list = SubclassItem(kListId, new CDragListCtrl);
    list->InsertColumn(0, "No.", 60);
    list->InsertColumn(1, "Filter", 100);
    for (int i = 0; i < 5; ++i) {
      list->InsertItem(i, QString(QChar('A' + i)));
      list->SetItemText(i, 1, QStringLiteral("f%1").arg(i));
      list->SetItemData(i, 100 + i);
    }
  }
  intptr_t OnMessage(const UiMessage& message) override {
    if (message.msg == WM_DRAG_LIST_NOTIFY) {
      messages.push_back(message.wParam);
      return 0;
    }
    return UiDialog::OnMessage(message);
  }
  std::string Order() const {
    std::string out;
    for (int i = 0; i < list->GetItemCount(); ++i) out += list->GetItemText(i, 0).toStdString();
    return out;
  }
  // A point inside row (its middle), or below the last row, on the screen.
  QPoint RowPoint(int row) const {
    const QRect r = row < list->GetItemCount()
                        ? list->visualItemRect(list->topLevelItem(row))
                        : list->visualItemRect(list->topLevelItem(list->GetItemCount() - 1))
                              .translated(0, 3 * list->visualItemRect(list->topLevelItem(0)).height());
    return list->viewport()->mapToGlobal(QPoint(20, row < list->GetItemCount() ? r.center().y() : r.top()));
  }
  CDragListCtrl* list;
  std::vector<uint64_t> messages;
};

TEST(DragList, MoveItemCarriesTextsAndDataAndSelectsTheRow) {
  struct Case {
    int index, delta;
    bool moved;
    const char* order;
  };
  const std::vector<Case> cases = {
      {0, 1, true, "BACDE"},   {4, -4, true, "EABCD"},  {2, 0, true, "ABCDE"},   {4, 1, false, "ABCDE"},
      {0, -1, false, "ABCDE"}, {-1, 1, false, "ABCDE"}, {5, -1, false, "ABCDE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.index) + " by " + std::to_string(c.delta));
    ListHost host;
    host.Create();
    EXPECT_EQ(c.moved, host.list->MoveItem(c.index, c.delta));
    EXPECT_EQ(c.order, host.Order());
    if (c.moved) {
      const int target = c.index + c.delta;
      EXPECT_EQ(target, host.list->GetSelectedRow());
      EXPECT_EQ(host.list->topLevelItem(target), host.list->currentItem());
      EXPECT_EQ(100 + c.index, host.list->GetItemData(target));
      EXPECT_EQ(QStringLiteral("f%1").arg(c.index), host.list->GetItemText(target, 1));
    }
    EXPECT_TRUE(host.messages.empty());
    host.DestroyWindow();
  }
}

TEST(DragList, DraggingARowMovesItWhereTheLineShows) {
  struct Case {
    const char* what;
    int row, drop;
    const char* order;
  };
  const std::vector<Case> cases = {
      {"on itself", 1, 1, "ABCDE"},         {"on the row below", 1, 2, "ABCDE"},   {"up to the top", 3, 0, "DABCE"},
      {"down between rows", 0, 3, "BCADE"}, {"below the last row", 1, 5, "ACDEB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ListHost host;
    host.Create();
    host.list->EnableRowDrag(true);
    ASSERT_TRUE(host.list->BeginRowDrag(c.row));
    const QPoint at = host.RowPoint(c.drop);
    host.list->DragMoveTo(at);
    EXPECT_EQ(c.drop, host.list->DropIndex());
    host.list->DragReleaseAt(at);
    EXPECT_FALSE(host.list->Dragging());
    EXPECT_EQ(c.order, host.Order());
    EXPECT_EQ(std::vector<uint64_t>{kDragListRowDragged}, host.messages);
    host.DestroyWindow();
  }
}

TEST(DragList, OutsideTheListNothingMovesAndNothingIsSent) {
  ListHost host;
  host.Create();
  EXPECT_FALSE(host.list->BeginRowDrag(1)) << "row drag is off by default";
  host.list->EnableRowDrag(true);
  EXPECT_FALSE(host.list->BeginRowDrag(9));
  ASSERT_TRUE(host.list->BeginRowDrag(1));
  const QPoint outside = host.list->viewport()->mapToGlobal(QPoint(-30, -30));
  host.list->DragMoveTo(host.RowPoint(3));
  host.list->DragMoveTo(outside);
  EXPECT_EQ(-1, host.list->DropIndex());
  EXPECT_EQ(Qt::ForbiddenCursor, host.list->viewport()->cursor().shape());
  host.list->DragReleaseAt(outside);
  EXPECT_EQ("ABCDE", host.Order());
  EXPECT_TRUE(host.messages.empty());
  host.DestroyWindow();
}

TEST(DragList, TheMouseDragsARow) {
  ListHost host;
  host.Create();
  host.list->EnableRowDrag(true);
  QWidget* view = host.list->viewport();
  const QPoint from = view->mapFromGlobal(host.RowPoint(0));
  const QPoint to = view->mapFromGlobal(host.RowPoint(4));
  QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
  QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(0, 12)), QPointF(view->mapToGlobal(from + QPoint(0, 12))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(view, &move);
  EXPECT_TRUE(host.list->Dragging());
  QMouseEvent move2(QEvent::MouseMove, QPointF(to), QPointF(view->mapToGlobal(to)), Qt::NoButton, Qt::LeftButton,
                    Qt::NoModifier);
  QCoreApplication::sendEvent(view, &move2);
  EXPECT_EQ(4, host.list->DropIndex());
  QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
  EXPECT_EQ("BCDAE", host.Order());
  EXPECT_EQ(std::vector<uint64_t>{kDragListRowDragged}, host.messages);
  host.DestroyWindow();
}

TEST(DragList, TheDropLineIsDrawnInvertedAtTheTopOfTheRow) {
  ListHost host;
  host.Create();
  host.list->EnableRowDrag(true);
  QWidget* view = host.list->viewport();
  const QImage before = view->grab().toImage();
  ASSERT_TRUE(host.list->BeginRowDrag(0));
  host.list->DragMoveTo(host.RowPoint(2));
  const int y = host.list->DropLineY();
  EXPECT_EQ(host.list->visualItemRect(host.list->topLevelItem(2)).top(), y);
  const QImage during = view->grab().toImage();
  SaveArtifact(during, "drop_line.png");
  int inverted = 0;
  for (int x = 0; x < view->width() - 1; ++x) {
    const QColor a = before.pixelColor(x, y), b = during.pixelColor(x, y);
    inverted += b == QColor(255 - a.red(), 255 - a.green(), 255 - a.blue());
  }
  EXPECT_GT(inverted, view->width() * 9 / 10);
  host.list->DragReleaseAt(host.RowPoint(2));
  EXPECT_EQ(-1, host.list->DropLineY());
  host.DestroyWindow();
}

TEST(DragList, DroppedFilesAreListedAndTheDialogTold) {
  ListHost host;
  host.Create();
  host.list->DropFiles({"/tmp/a.mp4"});
  EXPECT_TRUE(host.list->DroppedFiles().empty()) << "files are not taken until asked";
  EXPECT_TRUE(host.messages.empty());
  host.list->AcceptDroppedFiles(true);
  const QString longPath = "/" + QString(300, 'x');
  host.list->DropFiles({"/media/cdrom/", "/tmp/a.mp4", longPath, "/"});
  EXPECT_EQ((std::vector<std::string>{"/media/cdrom", "/tmp/a.mp4", "/"}), host.list->DroppedFiles());
  EXPECT_EQ(std::vector<uint64_t>{kDragListFilesDropped}, host.messages);
  // Through the desktop's drop event; the array is replaced.
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/b.avi")});
  QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(host.list->viewport(), &enter);
  QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(host.list->viewport(), &drop);
  EXPECT_EQ(std::vector<std::string>{"/tmp/b.avi"}, host.list->DroppedFiles());
  EXPECT_EQ(2u, host.messages.size());
  host.DestroyWindow();
}

}  // namespace
