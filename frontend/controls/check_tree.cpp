#include "frontend/controls/check_tree.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/draw_helpers.h"
#include "frontend/ui/sys_colors.h"
#include "frontend/ui/win_defs.h"

namespace {

constexpr int kDataRole = Qt::UserRole;
constexpr int kStateRole = Qt::UserRole + 1;

// Rows are drawn by the tree itself.
class TreeRowDelegate final : public QStyledItemDelegate {
 public:
  explicit TreeRowDelegate(CMutiTreeCtrl* tree) : QStyledItemDelegate(tree), tree_(tree) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QTreeWidgetItem* item = tree_->itemFromIndex(index);
    if (item != nullptr) tree_->DrawItem(painter, option, item);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    return QSize(size.width() + 24, tree_->RowHeight());
  }

 private:
  CMutiTreeCtrl* tree_;
};

}  // namespace

CMutiTreeCtrl::CMutiTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setItemDelegate(new TreeRowDelegate(this));
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformRowHeights(true);
  setIndentation(19);
  ApplyStyle();
  // What the tree tells its parent.
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current) { NotifyParent(this, TVN_SELCHANGED, current); });
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { NotifyParent(this, NM_CLICK, item); });
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { NotifyParent(this, NM_DBLCLK, item); });
  connect(this, &QTreeWidget::itemExpanded, this,
          [this](QTreeWidgetItem* item) { NotifyParent(this, TVN_ITEMEXPANDED, item); });
  connect(this, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem* item) { NotifyParent(this, TVN_ITEMEXPANDED, item); });
}

CMutiTreeCtrl::~CMutiTreeCtrl() = default;

QTreeWidgetItem* CMutiTreeCtrl::InsertItem(const QString& text, QTreeWidgetItem* parent, TreeInsert where,
                                           quintptr data) {
  auto* item = new QTreeWidgetItem;
  item->setText(0, text);
  item->setData(0, kDataRole, QVariant::fromValue<quintptr>(data));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (parent != nullptr) {
    parent->insertChild(where == TreeInsert::First ? 0 : parent->childCount(), item);
  } else {
    insertTopLevelItem(where == TreeInsert::First ? 0 : topLevelItemCount(), item);
  }
  return item;
}

QString CMutiTreeCtrl::ItemText(const QTreeWidgetItem* item) { return item != nullptr ? item->text(0) : QString(); }

void CMutiTreeCtrl::SetItemText(QTreeWidgetItem* item, const QString& text) {
  if (item != nullptr) item->setText(0, text);
}

quintptr CMutiTreeCtrl::ItemData(const QTreeWidgetItem* item) {
  return item != nullptr ? item->data(0, kDataRole).value<quintptr>() : 0;
}

void CMutiTreeCtrl::SetItemData(QTreeWidgetItem* item, quintptr data) {
  if (item != nullptr) item->setData(0, kDataRole, QVariant::fromValue<quintptr>(data));
}

int CMutiTreeCtrl::StateImage(const QTreeWidgetItem* item) {
  return item != nullptr ? item->data(0, kStateRole).toInt() : 0;
}

void CMutiTreeCtrl::SetStateImage(QTreeWidgetItem* item, int image) {
  if (item != nullptr && StateImage(item) != image) item->setData(0, kStateRole, image & 0xF);
}

bool CMutiTreeCtrl::SetCheck(QTreeWidgetItem* item, int check) {
  if (item == nullptr || check < 0 || check > 2) return false;
  int image = check + 1;
  SetStateImage(item, image);
  PropagateDown(item, image);
  PropagateUp(item, image);
  return true;
}

int CMutiTreeCtrl::GetCheck(const QTreeWidgetItem* item) const { return StateImage(item) - 1; }

void CMutiTreeCtrl::PropagateDown(QTreeWidgetItem* item, int image) {
  for (int i = 0; i < item->childCount(); ++i) {
    QTreeWidgetItem* child = item->child(i);
    if (StateImage(child) != 0) SetStateImage(child, image);
    PropagateDown(child, image);
  }
}

void CMutiTreeCtrl::PropagateUp(QTreeWidgetItem* item, int image) {
  for (;;) {
    QTreeWidgetItem* parent = item->parent();
    if (parent == nullptr) return;
    for (int i = 0; i < parent->childCount(); ++i) {
      QTreeWidgetItem* sibling = parent->child(i);
      if (sibling == item || StateImage(sibling) == 0 || StateImage(sibling) == image) continue;
      // Siblings differ: every ancestor with a check box is mixed.
      for (QTreeWidgetItem* a = parent; a != nullptr; a = a->parent()) {
        if (StateImage(a) != 0) SetStateImage(a, kStateMixed);
      }
      return;
    }
    if (StateImage(parent) != 0) SetStateImage(parent, image);
    item = parent;
  }
}

void CMutiTreeCtrl::Toggle(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  int image = StateImage(item) == kStateChecked ? kStateUnchecked : kStateChecked;
  SetStateImage(item, image);
  PropagateDown(item, image);
  PropagateUp(item, image);
}

void CMutiTreeCtrl::SetStateImageList(std::vector<QPixmap> images) {
  stateImages_ = std::move(images);
  viewport()->update();
}

void CMutiTreeCtrl::ModifyTreeStyle(uint32_t remove, uint32_t add) {
  style_ = (style_ & ~remove) | add;
  ApplyStyle();
}

void CMutiTreeCtrl::ApplyStyle() {
  setRootIsDecorated((style_ & TVS_LINESATROOT) != 0);
  setHorizontalScrollBarPolicy((style_ & TVS_NOHSCROLL) ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  viewport()->update();
}

int CMutiTreeCtrl::RowHeight() const { return std::max(16, fontMetrics().height() + 2); }

QRect CMutiTreeCtrl::StateIconRect(const QTreeWidgetItem* item) const {
  if (item == nullptr || StateImage(item) == 0 || stateImages_.size() <= static_cast<size_t>(StateImage(item))) {
    return QRect();
  }
  QRect row = visualItemRect(item);
  const QPixmap& image = stateImages_[StateImage(item)];
  return QRect(row.left(), row.top() + (row.height() - image.height()) / 2, image.width(), image.height());
}

QRect CMutiTreeCtrl::LabelRect(const QTreeWidgetItem* item) const {
  if (item == nullptr) return QRect();
  QRect row = visualItemRect(item);
  QRect state = StateIconRect(item);
  int left = state.isNull() ? row.left() : state.right() + 2;
  return QRect(left, row.top(), fontMetrics().horizontalAdvance(item->text(0)) + 6, row.height());
}

TreeHit CMutiTreeCtrl::HitTest(const QPoint& pos) const {
  TreeHit hit;
  QTreeWidgetItem* item = itemAt(pos);
  if (item == nullptr) return hit;
  hit.item = item;
  QRect row = visualItemRect(item);
  if (pos.x() < row.left()) {
    bool hasButton = item->childCount() > 0 && (item->parent() != nullptr || rootIsDecorated());
    bool onButton = hasButton && pos.x() >= row.left() - indentation();
    hit.flags = onButton ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
  } else if (StateIconRect(item).contains(pos)) {
    hit.flags = TVHT_ONITEMSTATEICON;
  } else {
    QRect label = LabelRect(item);
    hit.flags = pos.x() >= label.left() && pos.x() <= label.right() ? TVHT_ONITEMLABEL : TVHT_ONITEMRIGHT;
  }
  return hit;
}

void CMutiTreeCtrl::PressCheckBox(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  TreeHit hit = HitTest(event->position().toPoint());
  pressFlags_ = hit.flags;
  if (hit.flags & TVHT_ONITEMSTATEICON) Toggle(hit.item);
}

void CMutiTreeCtrl::mousePressEvent(QMouseEvent* event) {
  PressCheckBox(event);
  QTreeWidget::mousePressEvent(event);
}

void CMutiTreeCtrl::PressKey(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    QTreeWidgetItem* item = currentItem();
    if (item != nullptr && StateImage(item) != 0) Toggle(item);
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

void CMutiTreeCtrl::keyPressEvent(QKeyEvent* event) { PressKey(event); }

void CMutiTreeCtrl::DrawStateImage(QPainter* painter, const QTreeWidgetItem* item) const {
  QRect r = StateIconRect(item);
  if (!r.isNull()) painter->drawPixmap(r.topLeft(), stateImages_[StateImage(item)]);
}

void CMutiTreeCtrl::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, QTreeWidgetItem* item) {
  DrawStateImage(painter, item);
  QRect label = LabelRect(item);
  bool selected = option.state & QStyle::State_Selected;
  bool focus = hasFocus();
  QColor text = SysColor(isEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  if (selected && (focus || (style_ & TVS_SHOWSELALWAYS))) {
    painter->fillRect(label, SysColor(focus ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    if (focus) text = SysColor(COLOR_HIGHLIGHTTEXT);
  }
  painter->setPen(text);
  painter->drawText(label.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, item->text(0));
}

namespace {
// Below this the box's frame hardly shows against its field.
constexpr double kMinFrameContrast = 1.5;
}  // namespace

std::vector<QPixmap> CreateCheckBoxImageList(int size, const QColor& background, bool useTheme) {
  std::vector<QPixmap> images;
  if (size < 1) return images;
  (void)useTheme;  // the desktop style draws both kinds
  QStyle* style = QApplication::style();
  for (int i = 0; i < 16; ++i) {
    QImage cell(16, 16, QImage::Format_ARGB32_Premultiplied);
    cell.fill(background);
    if (i % 4 != 0) {
      QPainter painter(&cell);
      QStyleOptionButton opt;
      opt.rect = QRect(0, 0, 15, 15);
      opt.palette = QApplication::palette();
      int mark = i % 4;  // 1 unchecked, 2 mixed, 3 checked
      opt.state = mark == 1 ? QStyle::State_Off : mark == 2 ? QStyle::State_NoChange : QStyle::State_On;
      int row = i / 4;  // 0 normal, 1 disabled, 2 hot, 3 disabled
      if (row == 0 || row == 2) opt.state |= QStyle::State_Enabled;
      if (row == 2) opt.state |= QStyle::State_MouseOver;
      if (row == 1 || row == 3) opt.palette.setCurrentColorGroup(QPalette::Disabled);
      style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, &painter);
      // A style that takes the box's frame from the window colour loses it on
      // a dark field: the frame is redrawn halfway between text and field.
      const QColor base = opt.palette.color(QPalette::Base);
      if (ContrastRatio(cell.pixelColor(0, 7), base) < kMinFrameContrast) {
        const QColor text = opt.palette.color(QPalette::Text);
        painter.setPen(
            QColor((text.red() + base.red()) / 2, (text.green() + base.green()) / 2, (text.blue() + base.blue()) / 2));
        painter.setBrush(Qt::NoBrush);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawRect(QRect(0, 0, 14, 14));
      }
    }
    images.push_back(
        size == 16 ? QPixmap::fromImage(cell)
                   : QPixmap::fromImage(cell.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
  }
  return images;
}
