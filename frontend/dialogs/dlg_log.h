// The log window: every log line read from the engines during this run of
// the program, oldest first, and "OK".
#pragma once

#include "frontend/ui/ui_dialog.h"

class CLogListCtrl;
class LogLines;

constexpr int IDD_LOG = 159;
constexpr int IDC_LOG_LIST = 1191;

class CDlgLog : public UiDialog {
 public:
  // lines: what the window shows (the program's lines when null; not owned).
  explicit CDlgLog(QWidget* parent = nullptr, const LogLines* lines = nullptr);

  CLogListCtrl* List() const { return list_; }

 protected:
  bool OnInitDialog() override;

 private:
  const LogLines& lines_;
  CLogListCtrl* list_ = nullptr;
};
