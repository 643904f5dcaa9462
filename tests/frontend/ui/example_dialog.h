// The example dialog: the pattern every dialog of the front end follows.
//
// - ids: one constexpr per control, the template id first;
// - a static DialogTemplate table (dialog units of the template's font);
// - members for what the dialog edits, filled by the caller before DoModal
//   and read back after IDOK;
// - OnInitDialog moves members into controls, OnOK validates and moves them
//   back, OnCommand answers the controls' commands, OnTimer polls,
//   OnMessage takes what a worker thread posted;
// - user errors are message boxes (ShowMessageBox, captioned with the
//   application name) and leave the dialog open.
#pragma once

#include <QString>

#include "frontend/ui/ui_dialog.h"

constexpr int IDD_EXAMPLE = 900;
constexpr int IDC_EXAMPLE_NAME = 1001;
constexpr int IDC_EXAMPLE_NUMBERED = 1002;
constexpr int IDC_EXAMPLE_NUMBER = 1003;
constexpr int IDC_EXAMPLE_STATUS = 1004;
constexpr int kExampleTimerId = 1;
constexpr uint32_t WM_EXAMPLE_PROGRESS = WM_USER + 1;

class CDlgExample : public UiDialog {
 public:
  explicit CDlgExample(QWidget* parent = nullptr);

  // In and out.
  QString name;
  bool numbered = false;
  int number = 1;
  // Progress a worker posted, shown by the timer.
  int progress = 0;
  int ticks = 0;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, int code) override;
  void OnTimer(int id) override;
  intptr_t OnMessage(const UiMessage& message) override;
};
