// Menus as tables: a bar of popups, each a list of items with command ids.
#pragma once

#include <QPoint>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

struct MenuItem {
  const char* text;             // null: a separator; "\t" separates the shortcut text
  int id = 0;                   // the command sent when chosen; unused for popups
  std::vector<MenuItem> items;  // not empty: a popup
};

inline MenuItem MenuSeparator() { return MenuItem{nullptr, 0, {}}; }

// Adds the items to a menu; choosing one calls onCommand with its id.
void FillMenu(QMenu* menu, const std::vector<MenuItem>& items, const std::function<void(int)>& onCommand);
// A menu bar of the top-level popups.
QMenuBar* BuildMenuBar(QWidget* parent, const std::vector<MenuItem>& popups, const std::function<void(int)>& onCommand);
// The action of a command id below a menu bar or menu, or null.
QAction* FindMenuAction(const QWidget* menu, int id);
// Opens a popup menu at a screen point and waits; the chosen id, 0 when none.
int TrackPopupMenu(const std::vector<MenuItem>& items, const QPoint& globalPos, QWidget* owner);
