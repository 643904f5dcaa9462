// Running the progress dialog in tests: a task list, the dialog's modal loop
// with a check every 50 ms while it is open, and a watchdog that ends a run
// that would not end by itself.
#pragma once

#include <QString>
#include <functional>
#include <string>

#include "frontend/dialogs/dlg_convert_progress.h"
#include "frontend/model/task_list.h"

struct ProgressRun {
  int result = 0;
  int64_t ms = 0;         // DoModal's time
  bool watchdog = false;  // the run had to be ended by the test
  bool loopStarted = false;
};

// Runs dlg modally; poll(dlg, msSinceStart) is called every 50 ms while its
// loop runs. After limitMs the test presses Stop, and ends the loop 20 s later.
ProgressRun RunProgress(CDlgConvertProgress& dlg, const std::function<void(CDlgConvertProgress&, int64_t)>& poll,
                        int64_t limitMs = 30000);

// Presses a button of the dialog as the user does.
void Click(CDlgConvertProgress& dlg, int id);

// The dialog's log list, one "time|text" per row.
std::vector<std::string> LogRows(const CDlgConvertProgress& dlg);

std::string Text(const CDlgConvertProgress& dlg, int id);
