#include "frontend/controls/drag_list.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>

#include "frontend/ui/control_ids.h"

namespace {

constexpr size_t kMaxDroppedPath = 259;  // a path field holds 260 bytes with its NUL

}  // namespace

CDragListCtrl::CDragListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setDragEnabled(false);
  setColumnCount(0);
  header()->setSectionsMovable(true);
  header()->setStretchLastSection(false);
}

CDragListCtrl::~CDragListCtrl() = default;

void CDragListCtrl::AcceptDroppedFiles(bool on) {
  acceptFiles_ = on;
  setAcceptDrops(on);
  viewport()->setAcceptDrops(on);
}

int CDragListCtrl::InsertColumn(int index, const QString& text, int width) {
  const int count = columnCount();
  index = std::clamp(index, 0, count);
  QStringList labels;
  for (int i = 0; i < count; ++i) labels << headerItem()->text(i);
  labels.insert(index, text);
  setColumnCount(count + 1);
  setHeaderLabels(labels);
  setColumnWidth(index, width);
  return index;
}

int CDragListCtrl::InsertItem(int row, const QString& text) {
  row = std::clamp(row, 0, GetItemCount());
  auto* item = new QTreeWidgetItem;
  item->setText(0, text);
  insertTopLevelItem(row, item);
  return row;
}

bool CDragListCtrl::SetItemText(int row, int column, const QString& text) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr || column < 0 || column >= columnCount()) return false;
  item->setText(column, text);
  return true;
}

QString CDragListCtrl::GetItemText(int row, int column) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item != nullptr ? item->text(column) : QString();
}

bool CDragListCtrl::SetItemData(int row, intptr_t data) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) return false;
  item->setData(0, Qt::UserRole, QVariant::fromValue<qlonglong>(data));
  return true;
}

intptr_t CDragListCtrl::GetItemData(int row) const {
  const QTreeWidgetItem* item = topLevelItem(row);
  return item != nullptr ? static_cast<intptr_t>(item->data(0, Qt::UserRole).toLongLong()) : 0;
}

bool CDragListCtrl::DeleteItem(int row) {
  QTreeWidgetItem* item = takeTopLevelItem(row);
  delete item;
  return item != nullptr;
}

int CDragListCtrl::GetSelectedRow() const {
  const QList<QTreeWidgetItem*> chosen = selectedItems();
  return chosen.isEmpty() ? -1 : indexOfTopLevelItem(chosen.front());
}

void CDragListCtrl::SelectRow(int row) {
  QTreeWidgetItem* item = topLevelItem(row);
  if (item == nullptr) {
    clearSelection();
    return;
  }
  setCurrentItem(item);
  item->setSelected(true);
}

bool CDragListCtrl::MoveItem(int index, int delta) {
  const int count = GetItemCount();
  const int64_t target = int64_t(index) + delta;
  if (index < 0 || index >= count || target < 0 || target >= count) return false;
  setUpdatesEnabled(false);
  QTreeWidgetItem* item = takeTopLevelItem(index);
  insertTopLevelItem(int(target), item);
  clearSelection();
  setCurrentItem(item);
  item->setSelected(true);
  setUpdatesEnabled(true);
  return true;
}

bool CDragListCtrl::BeginRowDrag(int row) {
  if (!rowDrag_ || row < 0 || row >= GetItemCount()) return false;
  dragRow_ = row;
  dragging_ = true;
  dropIndex_ = -1;
  grabMouse();
  viewport()->update();
  return true;
}

bool CDragListCtrl::OverRows(const QPoint& globalPos, QPoint* viewportPos) const {
  const QPoint at = viewport()->mapFromGlobal(globalPos);
  if (viewportPos != nullptr) *viewportPos = at;
  return isVisible() && viewport()->rect().contains(at);
}

void CDragListCtrl::DragMoveTo(const QPoint& globalPos) {
  if (!dragging_) return;
  QPoint at;
  int drop = -1;
  if (OverRows(globalPos, &at)) {
    const QModelIndex hit = indexAt(QPoint(0, at.y()));
    drop = hit.isValid() ? hit.row() : GetItemCount();
    viewport()->setCursor(Qt::ArrowCursor);
  } else {
    viewport()->setCursor(Qt::ForbiddenCursor);
  }
  if (drop != dropIndex_) {
    dropIndex_ = drop;
    viewport()->update();
  }
}

void CDragListCtrl::DragReleaseAt(const QPoint& globalPos) {
  if (!dragging_) return;
  releaseMouse();
  dragging_ = false;
  viewport()->unsetCursor();
  const int drop = dropIndex_;
  dropIndex_ = -1;
  viewport()->update();
  if (!OverRows(globalPos, nullptr)) return;
  const int count = GetItemCount();
  if (dragRow_ < 0 || dragRow_ >= count || drop < 0 || drop > count) return;
  if (drop != dragRow_ && drop != dragRow_ + 1)
    MoveItem(dragRow_, drop > dragRow_ ? drop - dragRow_ - 1 : drop - dragRow_);
  SendParentMessage(this, WM_DRAG_LIST_NOTIFY, kDragListRowDragged, 0);
}

int CDragListCtrl::DropLineY() const {
  if (!dragging_ || dropIndex_ < 0) return -1;
  const int count = GetItemCount();
  if (count == 0) return 0;
  if (dropIndex_ < count) return visualItemRect(topLevelItem(dropIndex_)).top();
  return visualItemRect(topLevelItem(count - 1)).bottom();
}

void CDragListCtrl::DropFiles(const QStringList& paths) {
  if (!acceptFiles_) return;
  dropped_.clear();
  for (const QString& path : paths) {
    std::string text = path.toStdString();
    // A path the field cannot hold whole would name another file.
    if (text.empty() || text.size() > kMaxDroppedPath) continue;
    // A mounted disc's root comes without its trailing separator.
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    dropped_.push_back(text);
  }
  SendParentMessage(this, WM_DRAG_LIST_NOTIFY, kDragListFilesDropped, 0);
}

void CDragListCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressPos_ = event->position().toPoint();
    const QModelIndex hit = indexAt(pressPos_);
    pressRow_ = hit.isValid() ? hit.row() : -1;
  }
  QTreeWidget::mousePressEvent(event);
}

void CDragListCtrl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint global = event->globalPosition().toPoint();
  if (dragging_) {
    DragMoveTo(global);
    return;
  }
  if ((event->buttons() & Qt::LeftButton) && rowDrag_ && pressRow_ >= 0 &&
      (event->position().toPoint() - pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
    BeginRowDrag(pressRow_);
    DragMoveTo(global);
    return;
  }
  QTreeWidget::mouseMoveEvent(event);
}

void CDragListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  pressRow_ = -1;
  if (dragging_ && event->button() == Qt::LeftButton) {
    DragReleaseAt(event->globalPosition().toPoint());
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void CDragListCtrl::dragEnterEvent(QDragEnterEvent* event) {
  if (acceptFiles_ && event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    QTreeWidget::dragEnterEvent(event);
}

void CDragListCtrl::dragMoveEvent(QDragMoveEvent* event) {
  if (acceptFiles_ && event->mimeData()->hasUrls())
    event->acceptProposedAction();
  else
    QTreeWidget::dragMoveEvent(event);
}

void CDragListCtrl::dropEvent(QDropEvent* event) {
  if (!acceptFiles_ || !event->mimeData()->hasUrls()) return QTreeWidget::dropEvent(event);
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile()) paths << url.toLocalFile();
  event->acceptProposedAction();
  DropFiles(paths);
}

void CDragListCtrl::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  const int y = DropLineY();
  if (y < 0) return;
  const int count = GetItemCount();
  const int left = count > 0 ? visualItemRect(topLevelItem(std::min(dropIndex_, count - 1))).left() : 0;
  QPainter painter(viewport());
  painter.setCompositionMode(QPainter::RasterOp_NotDestination);
  painter.drawLine(std::max(left, 0), y, viewport()->width() - 1, y);
}
