#include "frontend/dialogs/dlg_copy_file.h"

#include <QHeaderView>
#include <QTreeWidget>

#include "frontend/controls/folder_check_tree.h"
#include "frontend/controls/skin_progress.h"
#include "frontend/dialogs/dlg_folder_copy.h"
#include "frontend/model/file_copy.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/shell.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_COPY_FILE,
    "Copy file",
    300,
    226,
    {
        {CtrlKind::Text, IDC_STATIC, "Files to copy:", 7, 6, 200, 8},
        {CtrlKind::Placeholder, IDC_COPY_FILES, "", 7, 16, 286, 66},
        {CtrlKind::Text, IDC_STATIC, "Copy to the checked folder:", 7, 87, 200, 8},
        {CtrlKind::Placeholder, IDC_COPY_TREE, "", 7, 97, 286, 90},
        {CtrlKind::Placeholder, IDC_COPY_SPACE, "", 7, 191, 286, 11},
        {CtrlKind::PushButton, IDC_COPY_VIEW, "View folder files...", 7, 206, 80, 14},
        {CtrlKind::PushButton, IDC_COPY_TO_FOLDER, "Copy to folder", 91, 206, 70, 14},
        {CtrlKind::PushButton, IDCANCEL, "&Close", 243, 206, 50, 14},
    },
};

constexpr char kSelectFolder[] = "Please select a folder.";

}  // namespace

void ViewDestinationFolder(QWidget* owner, const std::string& folder) {
  if (folder.empty()) {
    ShowMessageBox(owner, kSelectFolder, nullptr, MB_ICONEXCLAMATION);
    return;
  }
  switch (OpenWithShell(owner, folder)) {
    case ShellOpenResult::kNotFound:
      ShowMessageBox(owner, "Can not find the folder.", nullptr, MB_ICONEXCLAMATION);
      break;
    case ShellOpenResult::kNoAssociation:
      ShowMessageBox(owner, "Can not open the folder.", nullptr, MB_ICONEXCLAMATION);
      break;
    default:
      break;
  }
}

CDlgCopyFile::CDlgCopyFile() : UiDialog(kTemplate) {
  files_ = SubclassItem(IDC_COPY_FILES, new QTreeWidget);
  files_->setRootIsDecorated(false);
  files_->setSelectionBehavior(QAbstractItemView::SelectRows);
  files_->header()->setSectionsMovable(true);
  tree_ = SubclassItem(IDC_COPY_TREE, new CFolderCheckTree);
  space_ = SubclassItem(IDC_COPY_SPACE, new CSkinProgressCtrl);
  SetDefaultId(IDC_COPY_TO_FOLDER);
}

CDlgCopyFile::~CDlgCopyFile() = default;

void CDlgCopyFile::SetSource(const std::string& folder, std::vector<ConvertResult>* results) {
  source_ = folder;
  results_ = results;
}

bool CDlgCopyFile::OnInitDialog() {
  space_->setFont(font());
  space_->SetBackgroundColour(0xFFFFFF);
  space_->SetRange(0, 100);

  tree_->InitImageList();
  tree_->SetNotifyTargets(nullptr, Handle());
  tree_->SetVolumeList(volumes_);
  tree_->FillDrives();

  files_->setColumnCount(3);
  files_->setHeaderLabels({QStringLiteral("File path"), QStringLiteral("File size"), QStringLiteral("Status")});
  files_->header()->resizeSection(0, 320);
  files_->header()->resizeSection(1, 100);
  files_->header()->resizeSection(2, 100);
  appending_ = 0;
  if (results_ != nullptr) {
    for (ConvertResult& r : *results_) {
      r.copyStatus = 1;
      const std::string path = JoinFolder(source_, r.outputFile);
      r.size = r.outputFile.empty() ? 0 : FileSize64(path);
      auto* row = new QTreeWidgetItem(files_);
      row->setText(0, QString::fromStdString(path));
      row->setText(1, QString::fromStdString(FormatFileSize(r.size)));
      row->setText(2, QStringLiteral("Appending"));
      row->setToolTip(0, row->text(0));
      appending_ += r.size;
    }
  }
  destination_.clear();
  ShowSpace();
  return true;
}

std::string CDlgCopyFile::FindDestination() const {
  std::function<const QTreeWidgetItem*(const QTreeWidgetItem*)> find = [&](const QTreeWidgetItem* item) {
    if (tree_->IsChecked(item)) return item;
    for (int i = 0; i < item->childCount(); ++i)
      if (CFolderCheckTree::IsBold(item->child(i))) return find(item->child(i));
    return static_cast<const QTreeWidgetItem*>(nullptr);
  };
  for (int i = 0; i < tree_->topLevelItemCount(); ++i)
    if (const QTreeWidgetItem* found = find(tree_->topLevelItem(i))) return tree_->ItemPath(found);
  return {};
}

void CDlgCopyFile::ShowSpace() {
  bool ok = false;
  total_ = free_ = 0;
  if (!destination_.empty()) ok = GetDiskSpace(destination_, &total_, &free_);
  if (!ok) total_ = free_ = 0;
  const SpaceDisplay display = MakeSpaceDisplay(ok, total_, free_, appending_);
  space_->SetText(display.text, kProgressShowPercent);
  space_->SetPos(display.position);
  space_->update();
}

intptr_t CDlgCopyFile::OnMessage(const UiMessage& message) {
  if (message.msg == kFolderTreeChanged) {
    destination_ = FindDestination();
    ShowSpace();
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgCopyFile::OnView() { ViewDestinationFolder(this, destination_); }

void CDlgCopyFile::OnCopy() {
  if (destination_.empty()) {
    ShowMessageBox(this, kSelectFolder, nullptr, MB_ICONEXCLAMATION);
    return;
  }
  if (results_ == nullptr) return;
  CDlgFolderCopy progress;
  progress.SetItems(results_, source_, destination_);
  if (copyHook_) copyHook_(progress);
  progress.DoModal();
  const std::vector<std::string>& errors = progress.Errors();
  for (size_t i = 0; i < results_->size() && static_cast<int>(i) < files_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = files_->topLevelItem(static_cast<int>(i));
    const int32_t status = (*results_)[i].copyStatus;
    if (status == 0) {
      row->setText(2, QStringLiteral("Copyed"));
      row->setToolTip(2, QString());
    } else if (status == 2) {
      row->setText(2, QStringLiteral("Error"));
      if (i < errors.size()) row->setToolTip(2, QString::fromStdString(errors[i]));
    }
  }
  tree_->ClearSelection();
  destination_.clear();
  ShowSpace();
}

bool CDlgCopyFile::OnCommand(int id, int code) {
  switch (id) {
    case IDC_COPY_VIEW:
      OnView();
      return true;
    case IDC_COPY_TO_FOLDER:
      OnCopy();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}
