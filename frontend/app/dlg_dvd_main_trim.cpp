// The main window's "Trim..." command: the clip range dialog over a working
// copy of the selected task, kept when accepted.
#include <QTreeWidgetItem>

#include "frontend/app/app_settings.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_clip_range.h"
#include "frontend/model/task.h"

namespace {

// The row's columns that follow the clip: duration and estimated size.
constexpr int kDurationColumn = 1;
constexpr int kEstimatedColumn = 2;

}  // namespace

void CDlgDvdMain::OnTrim() {
  CTask* task = GetSelectedTask();
  if (task == nullptr) return;
  SetDefaultTaskFrom(*task);
  CTask& working = GetDefaultTask();
  const OptionSettings& options = *GetOptionSettings();
  ClipRangeSettings settings;
  settings.mode = options.mode;
  settings.preframe = options.preframe;
  settings.presec = options.presec;
  settings.dataFolder = GetPreviewDir();
  CDlgClipRange clip(working, settings, this);
  if (clip.DoModal() != IDOK) return;
  task->CopySettings(working);
  if (QTreeWidgetItem* row = FindTaskRow(task)) {
    tree_->SetItemText(row, kDurationColumn, QString::fromStdString(task->GetDurationText()));
    tree_->SetItemText(row, kEstimatedColumn, QString::fromStdString(task->GetEstimatedSizeText()));
  }
}
