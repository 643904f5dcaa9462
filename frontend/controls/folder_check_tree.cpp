#include "frontend/controls/folder_check_tree.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <algorithm>
#include <filesystem>

#include "frontend/ui/shell.h"
#include "frontend/ui/sys_colors.h"

namespace fs = std::filesystem;

namespace {

constexpr int kPathRole = Qt::UserRole + 10;
constexpr int kImageRole = Qt::UserRole + 11;
constexpr int kBoldRole = Qt::UserRole + 12;
constexpr int kRootRole = Qt::UserRole + 13;  // index of the root's volume + 1

// The sub-folders of a folder, sorted by name; links to folders count.
std::vector<std::string> SubFolders(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc)) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool HasSubFolder(const std::string& path) {
  std::error_code ec;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc)) return true;
  }
  return false;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

CFolderCheckTree::CFolderCheckTree(QWidget* parent) : CMutiTreeCtrl(parent) {
  ModifyTreeStyle(0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT);
}

CFolderCheckTree::~CFolderCheckTree() = default;

void CFolderCheckTree::SetNotifyTargets(QLabel* label, WindowId notify) {
  label_ = label;
  notify_ = notify;
}

void CFolderCheckTree::InitImageList() {
  QStyle* style = QApplication::style();
  icons_ = {style->standardIcon(QStyle::SP_DirClosedIcon), style->standardIcon(QStyle::SP_DirOpenIcon),
            style->standardIcon(QStyle::SP_DriveNetIcon),  style->standardIcon(QStyle::SP_DriveFDIcon),
            style->standardIcon(QStyle::SP_DriveCDIcon),   style->standardIcon(QStyle::SP_DriveHDIcon)};
  std::vector<QPixmap> boxes = CreateCheckBoxImageList(16, SysColor(COLOR_WINDOW), true);
  if (boxes.size() >= 4) SetStateImageList({boxes[0], boxes[1], boxes[3]});
}

QTreeWidgetItem* CFolderCheckTree::AddItem(QTreeWidgetItem* parent, const QString& text, const std::string& path,
                                           int image) {
  const int count = parent != nullptr ? parent->childCount() : topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* child = parent != nullptr ? parent->child(i) : topLevelItem(i);
    if (child->text(0) == text) return child;
  }
  QTreeWidgetItem* item = InsertItem(text, parent, TreeInsert::Last);
  item->setData(0, kPathRole, QString::fromStdString(WithSlash(path)));
  item->setData(0, kImageRole, image);
  SetStateImage(item, kFolderUnchecked);
  item->setChildIndicatorPolicy(HasSubFolder(path) ? QTreeWidgetItem::ShowIndicator
                                                   : QTreeWidgetItem::DontShowIndicatorWhenChildless);
  return item;
}

void CFolderCheckTree::FillDrives() {
  IVolumeList* list = volumes_;
  if (list == nullptr) {
    if (!systemVolumes_) systemVolumes_ = std::make_unique<SystemVolumeList>();
    list = systemVolumes_.get();
  }
  roots_ = list->Volumes();
  for (size_t i = 0; i < roots_.size(); ++i) {
    const Volume& v = roots_[i];
    const QString text = QString::fromStdString(v.label.empty() ? v.root : v.root + " [" + v.label + "]");
    QTreeWidgetItem* root = AddItem(nullptr, text, v.root, v.removable ? kImageRemovable : kImageFixed);
    root->setData(0, kRootRole, static_cast<int>(i + 1));
    ListFolders(root);
  }
}

const Volume* CFolderCheckTree::RootVolume(const QTreeWidgetItem* item) const {
  const int index = item != nullptr ? item->data(0, kRootRole).toInt() : 0;
  return index > 0 && static_cast<size_t>(index) <= roots_.size() ? &roots_[index - 1] : nullptr;
}

std::string CFolderCheckTree::ItemPath(const QTreeWidgetItem* item) const {
  return item != nullptr ? item->data(0, kPathRole).toString().toStdString() : std::string();
}

bool CFolderCheckTree::IsBold(const QTreeWidgetItem* item) {
  return item != nullptr && item->data(0, kBoldRole).toBool();
}

void CFolderCheckTree::ListFolders(QTreeWidgetItem* item) {
  if (item == nullptr) return;
  const std::string path = ItemPath(item);
  for (const std::string& name : SubFolders(path)) {
    const int before = item->childCount();
    QTreeWidgetItem* child = AddItem(item, QString::fromStdString(name), path + name, kImageFolder);
    if (item->childCount() > before && !single_ && IsChecked(item)) SetSubtree(child, true);
  }
}

void CFolderCheckTree::SetChecked(QTreeWidgetItem* item, bool checked) {
  SetStateImage(item, checked ? kFolderChecked : kFolderUnchecked);
  item->setData(0, kBoldRole, checked);
  QFont f = font();
  f.setBold(checked);
  item->setFont(0, f);
}

void CFolderCheckTree::SetSubtree(QTreeWidgetItem* item, bool checked) {
  SetChecked(item, checked);
  for (int i = 0; i < item->childCount(); ++i) SetSubtree(item->child(i), checked);
}

void CFolderCheckTree::RecomputeParents(QTreeWidgetItem* item) {
  if (single_) return;
  for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
    bool all = p->childCount() > 0;
    for (int i = 0; i < p->childCount() && all; ++i) all = IsChecked(p->child(i));
    SetStateImage(p, all ? kFolderChecked : kFolderUnchecked);
  }
}

void CFolderCheckTree::RecomputeBold(QTreeWidgetItem* item) {
  for (QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent()) {
    bool bold = IsChecked(p);
    for (int i = 0; i < p->childCount() && !bold; ++i) bold = IsBold(p->child(i));
    p->setData(0, kBoldRole, bold);
    QFont f = font();
    f.setBold(bold);
    p->setFont(0, f);
  }
}

void CFolderCheckTree::Notify() {
  if (notify_ != 0) SendMessage(notify_, kFolderTreeChanged, 0, 0);
  if (label_ != nullptr) label_->setText(QStringLiteral("%1 Selected Folder(s)").arg(SelectedFolderCount()));
}

void CFolderCheckTree::CheckItem(QTreeWidgetItem* item, bool check) {
  if (item == nullptr) return;
  if (!check) {
    SetSubtree(item, false);
  } else if (single_) {
    if (current_ != nullptr && current_ != item) {
      SetChecked(current_, false);
      RecomputeBold(current_);
    }
    SetChecked(item, true);
    current_ = item;
  } else {
    SetSubtree(item, true);
  }
  RecomputeParents(item);
  RecomputeBold(item);
  viewport()->update();
  Notify();
}

void CFolderCheckTree::ClearSelection() {
  if (!single_ || current_ == nullptr) return;
  SetChecked(current_, false);
  RecomputeBold(current_);
  current_ = nullptr;
  viewport()->update();
}

int CFolderCheckTree::CountIn(const QTreeWidgetItem* item) const {
  if (IsChecked(item)) return 1;
  int n = 0;
  for (int i = 0; i < item->childCount(); ++i)
    if (IsBold(item->child(i))) n += CountIn(item->child(i));
  return n;
}

int CFolderCheckTree::SelectedFolderCount() const {
  int n = 0;
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (IsBold(topLevelItem(i))) n += CountIn(topLevelItem(i));
  return n;
}

void CFolderCheckTree::CollectChecked(const QTreeWidgetItem* item, std::vector<const QTreeWidgetItem*>& out) const {
  for (int i = 0; i < item->childCount(); ++i) {
    const QTreeWidgetItem* child = item->child(i);
    if (IsChecked(child)) out.push_back(child);
    CollectChecked(child, out);
  }
}

std::vector<CFolderCheckTree::MenuLine> CFolderCheckTree::ContextMenuLines(QTreeWidgetItem* item) const {
  std::vector<MenuLine> lines;
  if (item == nullptr) return lines;
  const std::string pad27(27, ' '), pad28(28, ' ');
  const std::string what = RootVolume(item) != nullptr ? "Display Disk " + RootVolume(item)->root
                                                       : "Display Folder " + item->text(0).toStdString();
  lines.push_back({pad27 + what + pad28, ID_FOLDER_DISPLAY, false});
  lines.push_back({"", 0, true});
  if (IsChecked(item)) {
    lines.push_back(
        {single_ ? "Deselect this folder" : "Deselect this folder and all SubFolder", ID_FOLDER_DESELECT, false});
  } else {
    lines.push_back({single_ ? "Select this folder" : "Select this folder and all SubFolder", ID_FOLDER_SELECT, false});
  }
  lines.push_back({"", 0, true});
  bool childBold = false;
  for (int i = 0; i < item->childCount() && !childBold; ++i) childBold = IsBold(item->child(i));
  if (childBold) {
    std::vector<const QTreeWidgetItem*> checked;
    CollectChecked(item, checked);
    for (const QTreeWidgetItem* c : checked) lines.push_back({ItemPath(c), ID_FOLDER_NOTHING, false});
  } else {
    lines.push_back({"0 Subfolder Selected", 0, false});
  }
  return lines;
}

void CFolderCheckTree::RunMenuCommand(int command) {
  QTreeWidgetItem* item = currentItem();
  if (item == nullptr) return;
  switch (command) {
    case ID_FOLDER_DISPLAY:
      OpenWithShell(this, ItemPath(item));
      break;
    case ID_FOLDER_SELECT:
      CheckItem(item, true);
      break;
    case ID_FOLDER_DESELECT:
      CheckItem(item, false);
      break;
    default:
      break;
  }
}

void CFolderCheckTree::PressAt(const QPoint& pos, bool right) {
  const TreeHit hit = HitTest(pos);
  if (hit.item == nullptr) return;
  setCurrentItem(hit.item);
  setFocus();
  ListFolders(hit.item);
  if (right) {
    QMenu menu(this);
    for (const MenuLine& line : ContextMenuLines(hit.item)) {
      if (line.separator) {
        menu.addSeparator();
        continue;
      }
      QAction* action = menu.addAction(QString::fromStdString(line.text));
      action->setData(line.command);
    }
    QAction* chosen = menu.exec(viewport()->mapToGlobal(pos));
    if (chosen != nullptr) RunMenuCommand(chosen->data().toInt());
    return;
  }
  if (!single_) Notify();
  if (hit.flags & TVHT_ONITEMSTATEICON) {
    CheckItem(hit.item, !IsChecked(hit.item));
  } else if (hit.flags & (TVHT_ONITEMLABEL | TVHT_ONITEMICON | TVHT_ONITEMRIGHT | TVHT_ONITEMBUTTON)) {
    hit.item->setExpanded(!hit.item->isExpanded());
  }
}

void CFolderCheckTree::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton || event->button() == Qt::RightButton) {
    PressAt(event->position().toPoint(), event->button() == Qt::RightButton);
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void CFolderCheckTree::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier && currentItem() != nullptr) {
    CheckItem(currentItem(), !IsChecked(currentItem()));
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

QRect CFolderCheckTree::LabelRect(const QTreeWidgetItem* item) const {
  QRect r = CMutiTreeCtrl::LabelRect(item);
  if (r.isNull()) return r;
  QFont f = font();
  f.setBold(IsBold(item));
  r.translate(18, 0);
  r.setWidth(QFontMetrics(f).horizontalAdvance(item->text(0)) + 6);
  return r;
}

void CFolderCheckTree::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, QTreeWidgetItem* item) {
  DrawStateImage(painter, item);
  const QRect label = LabelRect(item);
  int image = item->data(0, kImageRole).toInt();
  if (image == kImageFolder && option.state & QStyle::State_Selected) image = kImageFolderOpen;
  if (image >= 0 && static_cast<size_t>(image) < icons_.size())
    painter->drawPixmap(label.left() - 18, label.top() + (label.height() - 16) / 2, icons_[image].pixmap(16, 16));
  const bool selected = option.state & QStyle::State_Selected;
  QColor text = SysColor(isEnabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  if (selected && hasFocus()) {
    painter->fillRect(label, SysColor(COLOR_HIGHLIGHT));
    text = SysColor(COLOR_HIGHLIGHTTEXT);
  }
  QFont f = font();
  f.setBold(IsBold(item));
  painter->setFont(f);
  painter->setPen(text);
  painter->drawText(label.adjusted(3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, item->text(0));
}
