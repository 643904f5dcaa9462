#include "frontend/ui/menu_template.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include "frontend/ui/menu_xp.h"

void FillMenu(QMenu* menu, const std::vector<MenuItem>& items, const std::function<void(int)>& onCommand) {
  for (const MenuItem& item : items) {
    if (item.text == nullptr) {
      menu->addSeparator();
    } else if (!item.items.empty()) {
      FillMenu(menu->addMenu(QString::fromUtf8(item.text)), item.items, onCommand);
    } else {
      QAction* action = menu->addAction(QString::fromUtf8(item.text));
      action->setData(item.id);
      int id = item.id;
      if (onCommand) QObject::connect(action, &QAction::triggered, menu, [onCommand, id] { onCommand(id); });
    }
  }
}

QMenuBar* BuildMenuBar(QWidget* parent, const std::vector<MenuItem>& popups,
                       const std::function<void(int)>& onCommand) {
  auto* bar = new QMenuBar(parent);
  for (const MenuItem& popup : popups) {
    if (popup.items.empty()) {
      QAction* action = bar->addAction(QString::fromUtf8(popup.text != nullptr ? popup.text : ""));
      action->setData(popup.id);
      int id = popup.id;
      if (onCommand) QObject::connect(action, &QAction::triggered, bar, [onCommand, id] { onCommand(id); });
    } else {
      FillMenu(bar->addMenu(QString::fromUtf8(popup.text)), popup.items, onCommand);
    }
  }
  return bar;
}

QAction* FindMenuAction(const QWidget* menu, int id) {
  for (QAction* action : menu->findChildren<QAction*>()) {
    if (!action->isSeparator() && action->menu() == nullptr && action->data().isValid() &&
        action->data().toInt() == id) {
      return action;
    }
  }
  return nullptr;
}

int TrackPopupMenu(const std::vector<MenuItem>& items, const QPoint& globalPos, QWidget* owner) {
  QMenu menu(owner);
  FillMenu(&menu, items, {});
  CMenuXP::ConvertMenu(owner, &menu, owner != nullptr && CMenuXP::IsAttached(owner->window()));
  QAction* chosen = menu.exec(globalPos);
  return chosen != nullptr && chosen->data().isValid() ? chosen->data().toInt() : 0;
}
