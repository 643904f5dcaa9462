// Control ids and how controls reach the dialog they sit in: commands (a
// button pressed, a selection changed) and notifications (richer controls).
#pragma once

#include <cstdint>

class QWidget;

void SetControlId(QWidget* control, int id);
// The control's id, or IDC_STATIC (-1) when it has none.
int ControlId(const QWidget* control);

// What a control tells its dialog.
struct UiNotify {
  QWidget* from = nullptr;
  int idFrom = 0;
  int code = 0;
  void* data = nullptr;  // code-specific
};

// A window that takes commands and notifications from its controls.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // true when handled.
  virtual bool OnCommand(int id, int code) = 0;
  virtual intptr_t OnNotify(const UiNotify& notify) = 0;
};

// The nearest ancestor of a control that takes commands, or null.
CommandTarget* FindCommandTarget(QWidget* control);

// Sends a command (the control's id and a code) to the nearest target; false
// when none handled it.
bool CommandParent(QWidget* from, int code);
// Sends a notification from a control to the nearest target; 0 when none.
intptr_t NotifyParent(QWidget* from, int code, void* data = nullptr);
// Sends a private message from a control to the nearest open window above it
// that takes messages (its dialog); that window's answer, 0 when none.
intptr_t SendParentMessage(QWidget* from, uint32_t msg, uint64_t wParam = 0, int64_t lParam = 0);
