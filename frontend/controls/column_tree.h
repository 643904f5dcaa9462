// A tree with columns: a header on top, a check-box tree below and a
// horizontal scroll bar that moves both. A row keeps all its column texts in
// its one item text, each followed by a tab.
#pragma once

#include <QImage>
#include <QWidget>
#include <array>

#include "frontend/controls/check_tree.h"
#include "frontend/ui/control_ids.h"

class QHeaderView;
class QScrollBar;
class QStandardItemModel;
class CColumnTreeCtrl;

// Column formats (header alignment of a column's texts).
constexpr int HDF_LEFT = 0;
constexpr int HDF_RIGHT = 1;
constexpr int HDF_CENTER = 2;

// Horizontal scroll requests.
enum ScrollCode : int {
  SB_LINELEFT = 0,
  SB_LINERIGHT = 1,
  SB_PAGELEFT = 2,
  SB_PAGERIGHT = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_LEFT = 6,
  SB_RIGHT = 7,
  SB_ENDSCROLL = 8,
};

// The tree inside the column tree: draws the columns of each row.
class CCustomTreeChildCtrl : public CMutiTreeCtrl {
 public:
  explicit CCustomTreeChildCtrl(CColumnTreeCtrl* owner);

  // The picture shown on white while the tree has no item.
  void SetEmptyPicture(const QImage& picture);
  // The first column's text only, within the first column.
  QRect LabelRect(const QTreeWidgetItem* item) const override;
  // Whether a point counts as on a row for clicks.
  bool OnTheRow(const QPoint& pos) const;
  void DrawItem(QPainter* painter, const QStyleOptionViewItem& option, QTreeWidgetItem* item) override;
  // The vertical range is not empty (a vertical scroll bar shows).
  bool HasVerticalRange();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  CColumnTreeCtrl* owner_;
  QImage emptyPicture_;
};

class CColumnTreeCtrl : public QWidget, public CommandTarget {
 public:
  static constexpr int kMaxColumns = 16;
  static constexpr int kMinFirstColumn = 10;
  static constexpr int kTreeId = 2;

  explicit CColumnTreeCtrl(QWidget* parent = nullptr);
  ~CColumnTreeCtrl() override;

  // Called by the owner once it has set the control up; does nothing here.
  virtual void OnInitialize() {}

  CCustomTreeChildCtrl& Tree() { return *tree_; }
  QHeaderView& Header() { return *header_; }
  QScrollBar& HorizontalBar() { return *hbar_; }
  QHeaderView& CornerHeader() { return *corner_; }

  // Returns the new column's index, or -1 past 16 columns.
  int InsertColumn(int index, const QString& text, int format, int width);
  int ColumnCount() const;
  int ColumnWidth(int column) const { return column >= 0 && column < kMaxColumns ? widths_[column] : 0; }
  int ColumnFormat(int column) const { return column >= 0 && column < kMaxColumns ? formats_[column] : 0; }
  int ColumnStart(int column) const;
  int TotalWidth() const { return totalWidth_; }
  int Offset() const { return offset_; }
  int HeaderHeight() const { return headerHeight_; }
  int TextMargin() const { return textMargin_; }

  // Row texts by column.
  void SetItemText(QTreeWidgetItem* item, int column, const QString& text);
  static QString GetItemText(const QTreeWidgetItem* item, int column);

  // Reads the widths from the header and lays the children out.
  void UpdateColumns();
  void SetEmptyTreeBitmap(const QImage& picture);
  // A scroll request from the horizontal bar.
  void HScroll(int code, int trackPos = 0);
  // Lays the header, tree, corner header and scroll bar out.
  void Layout();

  bool OnCommand(int id, int code) override;
  // Notifications of the tree go on to the parent as this control's own.
  intptr_t OnNotify(const UiNotify& notify) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Initialize();
  void HeaderResized(int column, int oldSize, int newSize);
  int ScrollExtent() const;
  int Range();

  CCustomTreeChildCtrl* tree_ = nullptr;
  QScrollBar* hbar_ = nullptr;
  QHeaderView* header_ = nullptr;
  QHeaderView* corner_ = nullptr;
  QStandardItemModel* headerModel_ = nullptr;
  QStandardItemModel* cornerModel_ = nullptr;
  int headerHeight_ = 0;
  int totalWidth_ = 0;
  int offset_ = 0;
  int textMargin_ = 6;
  std::array<int, kMaxColumns> widths_{};
  std::array<int, kMaxColumns> formats_{};
  bool laying_ = false;
};
