#include "frontend/controls/column_tree.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionHeader>
#include <algorithm>

#include "frontend/ui/sys_colors.h"
#include "frontend/ui/win_defs.h"

namespace {

constexpr int kHeaderId = 1;
constexpr int kScrollBarId = 3;
constexpr int kCornerId = 4;
constexpr int kLineStep = 15;

QStringList SplitColumns(const QString& text) { return text.split(QLatin1Char('\t')); }

// The horizontal alignment of a column format.
Qt::Alignment AlignmentOf(int format) {
  return format == HDF_RIGHT ? Qt::AlignRight : format == HDF_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
}

// The height a header takes in its font.
int MeasureHeaderHeight(QHeaderView* header) {
  QStyleOptionHeader opt;
  opt.initFrom(header);
  opt.text = QStringLiteral("Xg");
  return header->style()->sizeFromContents(QStyle::CT_HeaderSection, &opt, QSize(), header).height();
}

// A text that does not fit ends with an ellipsis; one that fits is left whole.
QString Elided(const QFontMetrics& fm, const QString& text, int width) {
  return fm.horizontalAdvance(text) <= width ? text : fm.elidedText(text, Qt::ElideRight, width);
}

}  // namespace

// ---- the tree ----

CCustomTreeChildCtrl::CCustomTreeChildCtrl(CColumnTreeCtrl* owner) : CMutiTreeCtrl(owner), owner_(owner) {
  setFrameShape(QFrame::NoFrame);
  ModifyTreeStyle(0, TVS_NOHSCROLL | TVS_NOTOOLTIPS);
}

void CCustomTreeChildCtrl::SetEmptyPicture(const QImage& picture) {
  emptyPicture_ = picture;
  viewport()->update();
}

QRect CCustomTreeChildCtrl::LabelRect(const QTreeWidgetItem* item) const {
  if (item == nullptr) return QRect();
  QRect row = visualItemRect(item);
  QRect state = StateIconRect(item);
  int left = state.isNull() ? row.left() : state.right() + 2;
  QString first = CColumnTreeCtrl::GetItemText(item, 0);
  return QRect(left, row.top(), fontMetrics().horizontalAdvance(first) + 6, row.height());
}

bool CCustomTreeChildCtrl::OnTheRow(const QPoint& pos) const {
  TreeHit hit = HitTest(pos);
  if (hit.item == nullptr) return false;
  if (hit.flags & (TVHT_ONITEMBUTTON | TVHT_ONITEMSTATEICON | TVHT_ONITEMICON)) return true;
  QRect label = LabelRect(hit.item);
  if (TreeStyle() & TVS_FULLROWSELECT) return pos.x() >= label.left();
  return (hit.flags & TVHT_ONITEMLABEL) && pos.x() < owner_->ColumnWidth(0);
}

bool CCustomTreeChildCtrl::HasVerticalRange() {
  doItemsLayout();
  return verticalScrollBar()->maximum() > verticalScrollBar()->minimum();
}

void CCustomTreeChildCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QTreeWidget::mousePressEvent(event);
    return;
  }
  QPoint pos = event->position().toPoint();
  if (!OnTheRow(pos)) {
    setFocus(Qt::MouseFocusReason);
    return;
  }
  setCurrentItem(HitTest(pos).item);
  CMutiTreeCtrl::mousePressEvent(event);
}

void CCustomTreeChildCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
  QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton && !OnTheRow(pos)) {
    setFocus(Qt::MouseFocusReason);
    return;
  }
  if (event->button() == Qt::LeftButton) setCurrentItem(HitTest(pos).item);
  QTreeWidget::mouseDoubleClickEvent(event);
}

void CCustomTreeChildCtrl::mouseMoveEvent(QMouseEvent* event) {
  if (OnTheRow(event->position().toPoint())) QTreeWidget::mouseMoveEvent(event);
}

void CCustomTreeChildCtrl::keyPressEvent(QKeyEvent* event) {
  viewport()->update();
  PressKey(event);
}

void CCustomTreeChildCtrl::paintEvent(QPaintEvent* event) {
  if (topLevelItemCount() == 0 && !emptyPicture_.isNull()) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), Qt::white);
    painter.drawImage(0, 0, emptyPicture_);
    return;
  }
  QTreeWidget::paintEvent(event);
}

void CCustomTreeChildCtrl::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, QTreeWidgetItem* item) {
  QRect row(0, option.rect.top(), viewport()->width(), option.rect.height());
  if (row.isEmpty()) return;
  DrawStateImage(painter, item);
  QFontMetrics fm = fontMetrics();
  QStringList columns = SplitColumns(item->text(0));
  QRect label = LabelRect(item);
  bool enabled = isEnabled();

  // 1. The label area of the joined text takes the window colour.
  QColor fill = SysColor(enabled ? COLOR_WINDOW : COLOR_BTNFACE);
  QString joined = item->text(0);
  joined.replace(QLatin1Char('\t'), QLatin1Char(' '));
  painter->fillRect(QRect(label.left(), label.top(), fm.horizontalAdvance(joined) + 6, label.height()), fill);

  // 2. The grid: a light edge right of each column and along the bottom.
  int count = owner_->ColumnCount();
  int total = owner_->TotalWidth();
  painter->setPen(SysColor(COLOR_3DLIGHT));
  for (int i = 0, right = 0; i < count; ++i) {
    right += owner_->ColumnWidth(i);
    painter->drawLine(right - 2, row.top(), right - 2, row.bottom());
  }
  painter->drawLine(row.left(), row.bottom(), total - 2, row.bottom());

  // 3. The first column's text rectangle.
  QString first = columns.value(0);
  QRect textRect(
      QPoint(label.left(), label.top()),
      QPoint(std::min(label.left() + fm.horizontalAdvance(first) + 4, owner_->ColumnWidth(0) - 4) - 1, label.bottom()));

  // 4. The highlight of a selected row.
  bool selected = option.state & QStyle::State_Selected;
  bool focus = hasFocus();
  QColor textBk = fill;
  QColor text = SysColor(enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  if (selected && focus) {
    textBk = SysColor(COLOR_HIGHLIGHT);
    text = SysColor(COLOR_HIGHLIGHTTEXT);
  } else if (selected && (TreeStyle() & TVS_SHOWSELALWAYS)) {
    textBk = SysColor(COLOR_BTNFACE);
  }
  bool fullRow = TreeStyle() & TVS_FULLROWSELECT;
  if (textRect.width() > 0 && textBk != fill) {
    QRect band = textRect;
    if (fullRow) band.setRight(total - 2);
    painter->fillRect(band, textBk);
    if (focus && item == currentItem()) {
      QStyleOptionFocusRect focusOption;
      focusOption.initFrom(this);
      focusOption.rect = band;
      focusOption.backgroundColor = textBk;
      style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focusOption, painter, this);
    }
  }

  // 5. The first column's text.
  const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
  QRect firstRect = textRect.adjusted(2, 1, -2, -1);
  painter->setPen(text);
  if (firstRect.width() > 0) painter->drawText(firstRect, flags | Qt::AlignLeft, Elided(fm, first, firstRect.width()));

  // 6, 7. The other columns, aligned by their formats.
  if (!fullRow && enabled) painter->setPen(SysColor(COLOR_MENUTEXT));
  for (int i = 1; i < count && i < columns.size(); ++i) {
    int start = owner_->ColumnStart(i);
    int left = start + 1 + owner_->TextMargin();
    int right = start + owner_->ColumnWidth(i) - 3;
    if (left < 0 || right < 0 || left >= right) continue;
    QRect r(QPoint(left, label.top() + 1), QPoint(right - 1, label.bottom() - 1));
    painter->drawText(r, flags | AlignmentOf(owner_->ColumnFormat(i)), Elided(fm, columns[i], r.width()));
  }
}

// ---- the column tree ----

CColumnTreeCtrl::CColumnTreeCtrl(QWidget* parent) : QWidget(parent) { Initialize(); }

CColumnTreeCtrl::~CColumnTreeCtrl() = default;

void CColumnTreeCtrl::Initialize() {
  if (tree_ != nullptr) return;
  tree_ = new CCustomTreeChildCtrl(this);
  SetControlId(tree_, kTreeId);

  headerModel_ = new QStandardItemModel(0, 0, this);
  header_ = new QHeaderView(Qt::Horizontal, this);
  header_->setModel(headerModel_);
  header_->setSectionsClickable(true);
  header_->setSectionResizeMode(QHeaderView::Interactive);
  header_->setStretchLastSection(false);
  header_->setMinimumSectionSize(1);
  header_->setHighlightSections(false);
  SetControlId(header_, kHeaderId);

  cornerModel_ = new QStandardItemModel(0, 1, this);
  corner_ = new QHeaderView(Qt::Horizontal, this);
  corner_->setModel(cornerModel_);
  corner_->setSectionResizeMode(QHeaderView::Fixed);
  corner_->resizeSection(0, ScrollExtent() + 5);
  corner_->hide();
  SetControlId(corner_, kCornerId);

  hbar_ = new QScrollBar(Qt::Horizontal, this);
  hbar_->setSingleStep(kLineStep);
  hbar_->hide();
  SetControlId(hbar_, kScrollBarId);

  headerHeight_ = MeasureHeaderHeight(header_);
  offset_ = 0;

  connect(header_, &QHeaderView::sectionResized, this, &CColumnTreeCtrl::HeaderResized);
  connect(hbar_, &QScrollBar::actionTriggered, this, [this](int action) {
    switch (action) {
      case QAbstractSlider::SliderSingleStepAdd:
        HScroll(SB_LINERIGHT);
        break;
      case QAbstractSlider::SliderSingleStepSub:
        HScroll(SB_LINELEFT);
        break;
      case QAbstractSlider::SliderPageStepAdd:
        HScroll(SB_PAGERIGHT);
        break;
      case QAbstractSlider::SliderPageStepSub:
        HScroll(SB_PAGELEFT);
        break;
      case QAbstractSlider::SliderToMinimum:
        HScroll(SB_LEFT);
        break;
      case QAbstractSlider::SliderToMaximum:
        HScroll(SB_RIGHT);
        break;
      case QAbstractSlider::SliderMove:
        HScroll(SB_THUMBTRACK, hbar_->sliderPosition());
        break;
      default:
        break;
    }
  });
  UpdateColumns();
}

int CColumnTreeCtrl::ScrollExtent() const { return style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this); }

int CColumnTreeCtrl::ColumnCount() const { return headerModel_->columnCount(); }

int CColumnTreeCtrl::ColumnStart(int column) const {
  int start = 0;
  for (int i = 0; i < column && i < kMaxColumns; ++i) start += widths_[i];
  return start;
}

int CColumnTreeCtrl::InsertColumn(int index, const QString& text, int format, int width) {
  int count = ColumnCount();
  if (count >= kMaxColumns) return -1;
  index = std::clamp(index, 0, count);
  // Formats follow their columns.
  for (int i = count; i > index; --i) formats_[i] = formats_[i - 1];
  formats_[index] = format;
  laying_ = true;
  headerModel_->insertColumn(index);
  headerModel_->setHeaderData(index, Qt::Horizontal, text);
  headerModel_->setHeaderData(index, Qt::Horizontal, QVariant(static_cast<int>(AlignmentOf(format) | Qt::AlignVCenter)),
                              Qt::TextAlignmentRole);
  header_->resizeSection(index, width);
  laying_ = false;
  corner_->resizeSection(0, ScrollExtent() + 5);
  UpdateColumns();
  return index;
}

void CColumnTreeCtrl::SetItemText(QTreeWidgetItem* item, int column, const QString& text) {
  if (item == nullptr) return;
  QStringList parts = SplitColumns(item->text(0));
  QString joined;
  for (int i = 0; i < ColumnCount(); ++i) {
    joined += i == column ? text : parts.value(i);
    joined += QLatin1Char('\t');
  }
  item->setText(0, joined);
}

QString CColumnTreeCtrl::GetItemText(const QTreeWidgetItem* item, int column) {
  return item != nullptr ? SplitColumns(item->text(0)).value(column) : QString();
}

void CColumnTreeCtrl::UpdateColumns() {
  int total = 0;
  for (int i = 0; i < kMaxColumns; ++i) {
    widths_[i] = i < ColumnCount() ? header_->sectionSize(i) : 0;
    total += widths_[i];
  }
  totalWidth_ = total;
  Layout();
}

void CColumnTreeCtrl::HeaderResized(int column, int, int newSize) {
  if (laying_) return;
  if (column == 0 && newSize < kMinFirstColumn) {
    header_->resizeSection(0, kMinFirstColumn + 1);
    return;
  }
  UpdateColumns();
  tree_->viewport()->update();
}

void CColumnTreeCtrl::SetEmptyTreeBitmap(const QImage& picture) { tree_->SetEmptyPicture(picture); }

int CColumnTreeCtrl::Range() { return totalWidth_ + (tree_->HasVerticalRange() ? ScrollExtent() : 0); }

void CColumnTreeCtrl::HScroll(int code, int trackPos) {
  int w = width();
  int range = Range();
  int offset = offset_;
  switch (code) {
    case SB_LINELEFT:
      offset -= kLineStep;
      break;
    case SB_LINERIGHT:
      offset += kLineStep;
      break;
    case SB_PAGELEFT:
      offset -= w;
      break;
    case SB_PAGERIGHT:
      offset += w;
      break;
    case SB_THUMBTRACK:
      offset = trackPos;
      break;
    case SB_LEFT:
      offset = 0;
      break;
    case SB_RIGHT:
      offset = range - w;
      break;
    default:
      return;
  }
  offset = std::max(0, std::min(offset, range - w));
  if (offset == offset_) return;
  offset_ = offset;
  Layout();
}

void CColumnTreeCtrl::Layout() {
  if (tree_ == nullptr) return;
  const int w = width();
  const int h = height();
  const int extent = ScrollExtent();
  const int c = tree_->HasVerticalRange() ? extent : 0;
  const int range = totalWidth_ + c;
  offset_ = std::max(0, std::min(offset_, range - w));

  hbar_->blockSignals(true);
  hbar_->setRange(0, std::max(0, range - w));
  hbar_->setPageStep(std::max(1, w));
  hbar_->setValue(offset_);
  hbar_->blockSignals(false);

  int treeWidth = w;
  int x = 0;
  if (w < range) {
    treeWidth = w + hbar_->value();
    x = -hbar_->value();
  }
  bool showBar = w < range && h >= headerHeight_ + extent;
  header_->setGeometry(x, 0, treeWidth - c, headerHeight_);
  corner_->setGeometry(w - extent, 0, extent, headerHeight_);
  tree_->setGeometry(x, headerHeight_, treeWidth, h - headerHeight_ - (showBar ? extent : 0));
  hbar_->setGeometry(0, h - extent, w - c, extent);
  hbar_->setVisible(showBar);
  corner_->setVisible(c != 0);
  update();
}

void CColumnTreeCtrl::resizeEvent(QResizeEvent*) { Layout(); }

void CColumnTreeCtrl::paintEvent(QPaintEvent*) {
  // The corner header shows exactly while the tree has a vertical scroll bar.
  if (!corner_->isVisibleTo(this)) return;
  int extent = ScrollExtent();
  QPainter painter(this);
  painter.fillRect(QRect(width() - extent, height() - extent, extent, extent), SysColor(COLOR_BTNFACE));
}

void CColumnTreeCtrl::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
    headerHeight_ = MeasureHeaderHeight(header_);
    Layout();
  }
  QWidget::changeEvent(event);
}

bool CColumnTreeCtrl::OnCommand(int, int code) { return CommandParent(this, code); }

intptr_t CColumnTreeCtrl::OnNotify(const UiNotify& notify) {
  if (notify.idFrom == kTreeId && notify.code == TVN_ITEMEXPANDED) Layout();
  NotifyParent(this, notify.code, notify.data);
  return 0;
}
