// A tree of the mounted volumes and, listed as they are clicked, their
// folders, each with a check box, to pick destination folders. In
// single-folder mode (the default) at most one folder is checked; otherwise
// checks cover whole subtrees and a parent is checked when all its children
// are. Checked items and their ancestors are bold. Every change sends message
// 4024 to the notify window.
#pragma once

#include <QIcon>
#include <memory>
#include <string>
#include <vector>

#include "frontend/controls/check_tree.h"
#include "frontend/model/volumes.h"
#include "frontend/ui/messages.h"

class QLabel;
class QMenu;

// Sent to the notify window on every check change: wParam 0, lParam 0.
constexpr uint32_t kFolderTreeChanged = 4024;

// Context-menu commands.
constexpr int ID_FOLDER_NOTHING = 32000;
constexpr int ID_FOLDER_SELECT = 32003;
constexpr int ID_FOLDER_DESELECT = 32004;
constexpr int ID_FOLDER_DISPLAY = 32005;

// State images of the folder tree: 1 unchecked, 2 checked.
constexpr int kFolderUnchecked = 1;
constexpr int kFolderChecked = 2;

class CFolderCheckTree : public CMutiTreeCtrl {
 public:
  explicit CFolderCheckTree(QWidget* parent = nullptr);
  ~CFolderCheckTree() override;

  void SetSingleFolder(bool single) { single_ = single; }
  bool SingleFolder() const { return single_; }
  // Either may be none (null, 0).
  void SetNotifyTargets(QLabel* label, WindowId notify);
  // The folder, open folder, removable and fixed volume icons; check boxes.
  void InitImageList();
  // The volumes to list (not owned; the system's when none is given).
  void SetVolumeList(IVolumeList* volumes) { volumes_ = volumes; }
  // Adds every volume root and lists its folders.
  void FillDrives();
  // Single-folder mode: unchecks the checked item; else nothing.
  void ClearSelection();

  // The item's path: its volume root, then each folder followed by '/'.
  std::string ItemPath(const QTreeWidgetItem* item) const;
  bool IsChecked(const QTreeWidgetItem* item) const { return StateImage(item) == kFolderChecked; }
  static bool IsBold(const QTreeWidgetItem* item);
  QTreeWidgetItem* CheckedItem() const { return current_; }
  int SelectedFolderCount() const;
  // Lists the folders of an item (adding only what is new).
  void ListFolders(QTreeWidgetItem* item);
  // Checks (single-folder: alone; else with the subtree) or unchecks with the
  // subtree, recomputes parents and bold, and sends the change notice.
  void CheckItem(QTreeWidgetItem* item, bool check);
  // The path of a root, or null for a folder item.
  const Volume* RootVolume(const QTreeWidgetItem* item) const;
  // The context menu of an item as texts and commands (separators are 0 and "").
  struct MenuLine {
    std::string text;
    int command;
    bool separator;
  };
  std::vector<MenuLine> ContextMenuLines(QTreeWidgetItem* item) const;
  // Runs a context-menu command on the current item.
  void RunMenuCommand(int command);
  // Folder-tree "press" at a viewport point, as the left button does.
  void PressAt(const QPoint& pos, bool right);

  void DrawItem(QPainter* painter, const QStyleOptionViewItem& option, QTreeWidgetItem* item) override;
  QRect LabelRect(const QTreeWidgetItem* item) const override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, const std::string& path, int image);
  void SetChecked(QTreeWidgetItem* item, bool checked);
  void SetSubtree(QTreeWidgetItem* item, bool checked);
  void RecomputeParents(QTreeWidgetItem* item);
  void RecomputeBold(QTreeWidgetItem* item);
  void Notify();
  int CountIn(const QTreeWidgetItem* item) const;
  void CollectChecked(const QTreeWidgetItem* item, std::vector<const QTreeWidgetItem*>& out) const;

  bool single_ = true;
  QTreeWidgetItem* current_ = nullptr;
  WindowId notify_ = 0;
  QLabel* label_ = nullptr;
  IVolumeList* volumes_ = nullptr;
  std::unique_ptr<IVolumeList> systemVolumes_;
  std::vector<Volume> roots_;
  std::vector<QIcon> icons_;
};

// Folder-tree image indexes.
enum FolderImages { kImageFolder = 0, kImageFolderOpen = 1, kImageRemovable = 3, kImageFixed = 5 };
