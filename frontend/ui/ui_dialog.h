// A dialog built from a template: controls addressed by id, commands and
// notifications routed to virtual handlers, timers by id, a message id, Enter
// and Esc routed as dialogs route them, and a modal loop.
//
// A dialog class holds a static DialogTemplate, passes it to this constructor,
// subclasses its custom controls and fills them in OnInitDialog, answers
// OnCommand / OnNotify / OnTimer / OnMessage, and ends with EndDialog.
#pragma once

#include <QDialog>
#include <map>
#include <vector>

#include "frontend/ui/control_ids.h"
#include "frontend/ui/dialog_template.h"
#include "frontend/ui/dialog_units.h"
#include "frontend/ui/menu_template.h"
#include "frontend/ui/messages.h"

class QAction;
class QMenuBar;

class UiDialog : public QDialog, public MessageTarget, public CommandTarget {
 public:
  explicit UiDialog(const DialogTemplate& tpl, QWidget* parent = nullptr);
  ~UiDialog() override;

  // Opens the dialog, runs OnInitDialog and the modal loop until EndDialog;
  // returns EndDialog's result. Timers and the message id end with the loop.
  int DoModal();
  // Opens the dialog without a loop: a modeless window, or a child widget of
  // parent when one is given. DestroyWindow closes it.
  void Create(QWidget* childOf = nullptr);
  void DestroyWindow();
  // Ends the modal loop (or, before it started, makes DoModal return at once).
  void EndDialog(int result);
  bool IsOpen() const { return open_; }
  bool InModalLoop() const { return inLoop_; }
  int TemplateId() const { return templateId_; }

  // Controls.
  QWidget* Item(int id) const;
  template <class W>
  W* ItemAs(int id) const {
    return qobject_cast<W*>(Item(id));
  }
  QString ItemText(int id) const;
  void SetItemText(int id, const QString& text);
  // The integer of an item's text; ok false when it is not one.
  int ItemInt(int id, bool* ok = nullptr) const;
  void SetItemInt(int id, int value);
  // 0 unchecked, 1 checked, 2 indeterminate; -1 when not a check box or radio.
  int ItemCheck(int id) const;
  // A check box or radio button that is checked (not indeterminate).
  bool IsItemChecked(int id) const { return ItemCheck(id) == 1; }
  void SetItemCheck(int id, int check);
  // Checks one radio button of first..last and clears the others.
  void CheckRadio(int first, int last, int check);
  void EnableItem(int id, bool enable);
  void ShowItem(int id, bool show);
  void FocusItem(int id);
  // The item's rectangle in client coordinates.
  QRect ItemRect(int id) const;
  // Puts a custom control in the place of the template's control of that id
  // (usually a Placeholder) and returns it; the old one is deleted.
  template <class W>
  W* SubclassItem(int id, W* control) {
    ReplaceItem(id, control);
    return control;
  }

  // The id Enter presses when no push button has the focus.
  int DefaultId() const { return defaultId_; }
  void SetDefaultId(int id) { defaultId_ = id; }

  // The client area (where the controls sit), its font and base units.
  QWidget* Client() const { return client_; }
  const DialogBaseUnits& BaseUnits() const { return units_; }
  QRect MapDialogRect(const QRect& du) const { return DialogUnitsToPixels(du, units_); }

  // A menu bar above the client area; commands arrive as OnCommand(id, 0).
  void SetMenu(const std::vector<MenuItem>& popups);
  QMenuBar* Menu() const { return menuBar_; }
  QAction* MenuAction(int id) const;

  // Timers: setting an id again restarts it; they fire OnTimer(id) while the
  // dialog is open.
  bool SetTimer(int id, int milliseconds);
  bool KillTimer(int id);
  bool HasTimer(int id) const { return timers_.count(id) != 0; }

  // CommandTarget: IDOK -> OnOK, IDCANCEL -> OnCancel.
  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

 protected:
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // The close box; sends IDCANCEL unless that button is disabled.
  virtual void OnClose();
  virtual void OnTimer(int id);
  // Called when the dialog closes (after its timers and message id are gone).
  virtual void OnDestroy() {}
  intptr_t OnMessage(const UiMessage& message) override;

  // Enter and Esc as dialogs route them; other keys go on.
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls(const DialogTemplate& tpl);
  QWidget* MakeControl(const ControlTemplate& row, class QButtonGroup*& radioGroup);
  void HookCommands(QWidget* control);
  void ReplaceItem(int id, QWidget* control);
  void RouteReturn();
  void Close();
  void KillAllTimers();

  int templateId_;
  QWidget* client_ = nullptr;
  QMenuBar* menuBar_ = nullptr;
  DialogBaseUnits units_;
  std::map<int, QWidget*> items_;
  std::map<int, int> timers_;  // our id -> Qt's timer id
  int defaultId_ = IDOK;
  int result_ = 0;
  bool open_ = false;
  bool ended_ = false;
  bool inLoop_ = false;
};
