#include "frontend/ui/control_ids.h"

#include <QVariant>
#include <QWidget>

#include "frontend/ui/messages.h"
#include "frontend/ui/win_defs.h"

namespace {
constexpr const char* kIdProperty = "velmoControlId";
}

void SetControlId(QWidget* control, int id) { control->setProperty(kIdProperty, id); }

int ControlId(const QWidget* control) {
  QVariant v = control->property(kIdProperty);
  return v.isValid() ? v.toInt() : IDC_STATIC;
}

CommandTarget* FindCommandTarget(QWidget* control) {
  for (QWidget* w = control != nullptr ? control->parentWidget() : nullptr; w != nullptr; w = w->parentWidget()) {
    if (auto* target = dynamic_cast<CommandTarget*>(w)) return target;
  }
  return nullptr;
}

bool CommandParent(QWidget* from, int code) {
  CommandTarget* target = FindCommandTarget(from);
  return target != nullptr && target->OnCommand(ControlId(from), code);
}

intptr_t NotifyParent(QWidget* from, int code, void* data) {
  CommandTarget* target = FindCommandTarget(from);
  if (target == nullptr) return 0;
  UiNotify notify;
  notify.from = from;
  notify.idFrom = ControlId(from);
  notify.code = code;
  notify.data = data;
  return target->OnNotify(notify);
}

intptr_t SendParentMessage(QWidget* from, uint32_t msg, uint64_t wParam, int64_t lParam) {
  for (QWidget* w = from != nullptr ? from->parentWidget() : nullptr; w != nullptr; w = w->parentWidget()) {
    auto* target = dynamic_cast<MessageTarget*>(w);
    if (target != nullptr && target->Handle() != 0) return SendMessage(target->Handle(), msg, wParam, lParam);
  }
  return 0;
}
