// Convert Now: the checks before a run, the run, its outcomes in the rows and
// the completion dialog.
#include <QComboBox>
#include <QTreeWidgetItem>

#include "frontend/app/app_settings.h"
#include "frontend/app/codec_availability.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_convert_done.h"
#include "frontend/dialogs/dlg_convert_progress.h"
#include "frontend/dialogs/dlg_frame_rate.h"
#include "frontend/model/convert_now.h"
#include "frontend/model/convert_progress.h"
#include "frontend/model/output_names.h"
#include "frontend/ui/message_box.h"
#include "platform/result_text.h"

namespace {

// Columns of the title tree: the two sizes and the status.
constexpr int kStatusColumn = 4;
constexpr int kEstimatedColumn = 2;
constexpr int kOutputColumn = 3;

}  // namespace

void CDlgDvdMain::SetOutputFolder(const std::string& folder) {
  SetItemText(IDC_OUTPUT_FOLDER, QString::fromStdString(folder));
  tasks_.SetOutputFolder(folder);
}

bool CDlgDvdMain::UseOutputChoice(const OutputSettings& settings, const std::string& name, int32_t index,
                                  const std::string& line, std::string& message) {
  if (!tasks_.ApplyProfile(settings, GetOptionSettings()->mode, message)) return false;
  settings_ = settings;
  profileName_ = name;
  profileIndex_ = index;
  profileLine_ = line;
  if (QComboBox* profile = Combo(IDC_PROFILE)) {
    profile->clear();
    profile->addItem(QString::fromStdString(line));
    profile->setCurrentIndex(0);
  }
  for (const auto& task : tasks_) {
    if (QTreeWidgetItem* row = FindTaskRow(task.get())) {
      tree_->SetItemText(row, kEstimatedColumn, QString::fromStdString(task->GetEstimatedSizeText()));
      tree_->SetItemText(row, kOutputColumn, QString::fromStdString(task->GetOutputSizeText()));
    }
  }
  return true;
}

int CDlgDvdMain::OnConvertNow() {
  CCustomTreeChildCtrl& tree = tree_->Tree();
  const auto refuse = [this](const std::string& text) {
    ShowMessageBox(this, text, nullptr, MB_ICONEXCLAMATION);
    return kConvertRefused;
  };

  bool anyChecked = false;
  for (int i = 0; i < tree.topLevelItemCount() && !anyChecked; ++i) {
    QTreeWidgetItem* title = tree.topLevelItem(i);
    anyChecked = tree.GetCheck(title) == 2;
    for (int c = 0; c < title->childCount() && !anyChecked; ++c) anyChecked = tree.GetCheck(title->child(c)) == 2;
  }
  if (!anyChecked) return refuse(kNoTitlesMessage);

  std::string folder = ItemText(IDC_OUTPUT_FOLDER).toStdString();
  switch (CheckOutputFolder(folder)) {
    case OutputFolderState::kNotADirectory:
      return refuse(kBadOutputPathMessage);
    case OutputFolderState::kNotWritable:
      return refuse(kUnwritableOutputMessage);
    case OutputFolderState::kUsable:
      break;
  }
  if (EqualsIgnoringCase(settings_.videoCodec, "[DS]VP62") && !IsVp6Installed()) return refuse(kNoVp6Message);

  const bool merge = IsItemChecked(IDC_JOIN);
  std::vector<bool> takesPart;
  for (const auto& task : tasks_) {
    const QTreeWidgetItem* row = FindTaskRow(task.get());
    const QTreeWidgetItem* parent = row != nullptr ? row->parent() : nullptr;
    takesPart.push_back(row != nullptr && tree.GetCheck(row) == 2 && (parent == nullptr || tree.GetCheck(parent) != 2));
  }
  const RunCheck check = PrepareRunTasks(tasks_, takesPart, merge, settings_.name, GetOptionSettings()->overwrite != 0);
  if (!check.ok) return refuse(check.message);
  if (check.needsRealMedia && !IsRealMediaInstalled() &&
      ShowMessageBox(this, kNoRealMediaQuestion, nullptr, MB_OKCANCEL | MB_ICONEXCLAMATION) != IDOK)
    return kConvertRefused;

  const std::vector<CTask*> copied = CopiedVideoTasks(tasks_);
  if (!copied.empty()) {
    CDlgFrameRateList rates(this);
    rates.SetTaskList(copied);
    if (rates.DoModal() != IDOK) return kConvertRefused;
  }

  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  tasks_.SetOutputFolder(folder);
  {
    CDlgConvertProgress progress(this);
    progress.tasks = &tasks_;
    progress.merge = merge ? 1 : 0;
    progress.outputNames.SetFolder(folder);
    progress.DoModal();
  }

  std::vector<ConvertResult> results;
  int failed = 0;
  for (const auto& task : tasks_) {
    if (!task->checked || !task->finished) continue;
    QTreeWidgetItem* row = FindTaskRow(task.get());
    if (row != nullptr) {
      tree.SetCheck(row, 0);
      tree_->SetItemText(row, kStatusColumn, QString::fromStdString(TaskStatusText(*task)));
      row->setToolTip(kStatusColumn,
                      task->resultCode != 0 ? QString::fromStdString(ResultText(task->resultCode)) : QString());
      if (task->resultCode == 0) {
        tree_->SetItemText(row, kEstimatedColumn, QString::fromStdString(task->GetEstimatedSizeText()));
        tree_->SetItemText(row, kOutputColumn, QString::fromStdString(task->GetOutputSizeText()));
      }
    }
    if (task->resultCode != 0) ++failed;
    results.push_back(MakeConvertResult(*task));
  }
  tree.viewport()->update();
  if (results.empty()) return kConvertStopped;

  CDlgConvertDone done(this);
  done.SetResults(&results, ChooseTransfer(settings_), folder, merge);
  done.DoModal();
  return failed == 0 ? kConvertAllDone : kConvertSomeFailed;
}
