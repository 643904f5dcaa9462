// A tree whose items carry a three-state check box in their state image:
// toggling an item sets its subtree and recomputes its ancestors.
#pragma once

#include <QPixmap>
#include <QTreeWidget>
#include <cstdint>
#include <vector>

// Tree styles.
enum TreeStyleBits : uint32_t {
  TVS_HASBUTTONS = 0x1,
  TVS_HASLINES = 0x2,
  TVS_LINESATROOT = 0x4,
  TVS_SHOWSELALWAYS = 0x20,
  TVS_NOTOOLTIPS = 0x80,
  TVS_FULLROWSELECT = 0x1000,
  TVS_NOHSCROLL = 0x8000,
};

// Where a point lies on a row.
enum TreeHitBits : uint32_t {
  TVHT_NOWHERE = 0x1,
  TVHT_ONITEMICON = 0x2,
  TVHT_ONITEMLABEL = 0x4,
  TVHT_ONITEMINDENT = 0x8,
  TVHT_ONITEMBUTTON = 0x10,
  TVHT_ONITEMRIGHT = 0x20,
  TVHT_ONITEMSTATEICON = 0x40,
};

struct TreeHit {
  QTreeWidgetItem* item = nullptr;
  uint32_t flags = TVHT_NOWHERE;
};

enum class TreeInsert { First, Last };

// The state images of a check box: 0 none, 1 unchecked, 2 mixed, 3 checked.
constexpr int kStateUnchecked = 1;
constexpr int kStateMixed = 2;
constexpr int kStateChecked = 3;

class CMutiTreeCtrl : public QTreeWidget {
 public:
  explicit CMutiTreeCtrl(QWidget* parent = nullptr);
  ~CMutiTreeCtrl() override;

  // Items: the text, an integer of the owner's, the state image.
  QTreeWidgetItem* InsertItem(const QString& text, QTreeWidgetItem* parent = nullptr,
                              TreeInsert where = TreeInsert::Last, quintptr data = 0);
  static QString ItemText(const QTreeWidgetItem* item);
  static void SetItemText(QTreeWidgetItem* item, const QString& text);
  static quintptr ItemData(const QTreeWidgetItem* item);
  static void SetItemData(QTreeWidgetItem* item, quintptr data);
  static int StateImage(const QTreeWidgetItem* item);
  // Sets the state image alone, without propagation.
  void SetStateImage(QTreeWidgetItem* item, int image);

  // check 0 unchecked, 1 mixed, 2 checked: sets the item and propagates down
  // and up. False for a null item or a check outside 0..2.
  bool SetCheck(QTreeWidgetItem* item, int check);
  // State image - 1: -1 for an item without a check box.
  int GetCheck(const QTreeWidgetItem* item) const;

  // The state images by index (1, 2, 3 used); empty: no check boxes drawn.
  void SetStateImageList(std::vector<QPixmap> images);
  const std::vector<QPixmap>& StateImageList() const { return stateImages_; }

  uint32_t TreeStyle() const { return style_; }
  void ModifyTreeStyle(uint32_t remove, uint32_t add);

  // Hit test of a viewport point, and the parts of a row in viewport pixels.
  TreeHit HitTest(const QPoint& pos) const;
  QRect StateIconRect(const QTreeWidgetItem* item) const;
  virtual QRect LabelRect(const QTreeWidgetItem* item) const;
  // Flags of the last left-button press.
  uint32_t LastPressFlags() const { return pressFlags_; }

  // Draws one row; the item delegate calls it.
  virtual void DrawItem(QPainter* painter, const class QStyleOptionViewItem& option, QTreeWidgetItem* item);
  int RowHeight() const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  // The check toggle of a click or the space bar.
  void Toggle(QTreeWidgetItem* item);
  void DrawStateImage(QPainter* painter, const QTreeWidgetItem* item) const;
  void PressCheckBox(QMouseEvent* event);
  void PressKey(QKeyEvent* event);

 private:
  void PropagateDown(QTreeWidgetItem* item, int image);
  void PropagateUp(QTreeWidgetItem* item, int image);
  void ApplyStyle();

  std::vector<QPixmap> stateImages_;
  uint32_t style_ = 0;
  uint32_t pressFlags_ = 0;
};

// 16 check-box pictures of size x size on a background (blank, unchecked,
// mixed, checked; then disabled, hot and disabled again), drawn with the
// desktop style. Empty below size 1.
std::vector<QPixmap> CreateCheckBoxImageList(int size, const QColor& background, bool useTheme);
