// A report-style list whose rows the user can drag to a new place and which
// can take files dropped from the desktop. It tells its dialog about both with
// message 3029 (wParam 5 after a row drag, 0 after a file drop).
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t WM_DRAG_LIST_NOTIFY = 3029;
constexpr uint64_t kDragListFilesDropped = 0;
constexpr uint64_t kDragListRowDragged = 5;

class CDragListCtrl : public QTreeWidget {
 public:
  explicit CDragListCtrl(QWidget* parent = nullptr);
  ~CDragListCtrl() override;

  void EnableRowDrag(bool on) { rowDrag_ = on; }
  bool RowDragEnabled() const { return rowDrag_; }
  void AcceptDroppedFiles(bool on);
  // The paths of the last file drop.
  const std::vector<std::string>& DroppedFiles() const { return dropped_; }

  // Rows as a list view has them.
  int InsertColumn(int index, const QString& text, int width);
  int GetItemCount() const { return topLevelItemCount(); }
  int InsertItem(int row, const QString& text);
  bool SetItemText(int row, int column, const QString& text);
  QString GetItemText(int row, int column) const;
  bool SetItemData(int row, intptr_t data);
  intptr_t GetItemData(int row) const;
  bool DeleteItem(int row);
  void DeleteAllItems() { clear(); }
  // The selected row, -1 when none.
  int GetSelectedRow() const;
  void SelectRow(int row);

  // Moves row index to index + delta (both must be rows): its texts and data
  // go along, and it ends selected and focused. false, nothing changed, for
  // a row outside the list.
  bool MoveItem(int index, int delta);

  // The steps of a row drag, as the mouse drives them (screen coordinates).
  // Starting needs row drag enabled and a row.
  bool BeginRowDrag(int row);
  void DragMoveTo(const QPoint& globalPos);
  void DragReleaseAt(const QPoint& globalPos);
  bool Dragging() const { return dragging_; }
  int DraggedRow() const { return dragRow_; }
  // Where the row would land: a row (the line at its top), the row count (below
  // the last row), or -1 when the pointer is not over the rows.
  int DropIndex() const { return dropIndex_; }
  // The drop line in viewport pixels (y, left, right); y -1 when none is drawn.
  int DropLineY() const;

  // A file drop: the paths as the desktop gives them. Ignored unless dropped
  // files are accepted.
  void DropFiles(const QStringList& paths);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  bool OverRows(const QPoint& globalPos, QPoint* viewportPos) const;

  std::vector<std::string> dropped_;
  bool rowDrag_ = false;
  bool acceptFiles_ = false;
  bool dragging_ = false;
  int dragRow_ = -1;
  int dropIndex_ = -1;
  int pressRow_ = -1;
  QPoint pressPos_;
};
