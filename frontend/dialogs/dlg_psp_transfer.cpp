#include "frontend/dialogs/dlg_psp_transfer.h"

#include <sys/stat.h>

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>

#include "frontend/controls/drag_list.h"
#include "frontend/controls/skin_progress.h"
#include "frontend/dialogs/dlg_media_scan.h"
#include "frontend/dialogs/file_dialogs.h"
#include "frontend/model/file_copy.h"
#include "frontend/model/media_info.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/shell.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_PSP_TRANSFER,
    "PSP transfer",
    340,
    206,
    {
        {CtrlKind::Text, IDC_STATIC, "PSP drive:", 7, 9, 40, 8},
        {CtrlKind::ComboDropList, IDC_PSP_DRIVES, "", 50, 7, 170, 100},
        {CtrlKind::Placeholder, IDC_PSP_SPACE, "", 7, 24, 326, 11},
        {CtrlKind::Placeholder, IDC_PSP_TOOLBAR, "", 7, 39, 80, 14},
        {CtrlKind::Placeholder, IDC_PSP_FILES, "", 7, 55, 326, 124},
        {CtrlKind::PushButton, IDC_PSP_COPY, "Copy to PSP", 7, 185, 60, 14},
        {CtrlKind::PushButton, IDC_PSP_VIEW, "View PSP files...", 71, 185, 70, 14},
        {CtrlKind::PushButton, IDCANCEL, "&Cancel", 283, 185, 50, 14},
    },
};

enum Columns { kColType, kColSource, kColFolder, kColName, kColSize, kColStatus };

// A "PSP" folder that is a folder itself, not a link to one.
bool HasPspFolder(const std::string& root) {
  struct stat st;
  return ::lstat(JoinFolder(root, "PSP").c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

CDlgPspCopy::CDlgPspCopy() : CCopyProgressDialog(CopyProgressTemplate(IDD_PSP_COPY)) {}

int64_t CDlgPspCopy::ComputeTotal() const {
  int64_t total = 0;
  for (const PspCopyItem* item : items_) total += item->size;
  return total;
}

void CDlgPspCopy::Work() {
  CreatePspFolders(root_, nullptr);  // a folder that cannot be made fails its copies
  for (size_t i = 0; i < items_.size(); ++i) {
    BeforeItem(i);
    PspCopyItem& item = *items_[i];
    const std::string target = MakePspTargetName(root_, item);
    PostStarting(item.sourcePath);
    const CopyResult copied = CopyFileWithProgress(
        item.sourcePath, target, [this](int64_t bytes) { SetCurrent(bytes); }, &cancel_);
    if (copied.outcome == CopyOutcome::kCopied) {
      item.copyStatus = 0;
      if (item.hasThumbnail) CopyFileWithProgress(item.thumbnailPath, ThumbnailTarget(target), {}, nullptr);
      FinishItem(item.size);
    } else if (copied.outcome == CopyOutcome::kCancelled) {
      item.pspFileName.clear();
      break;
    } else {
      item.pspFileName.clear();
      item.copyStatus = 2;
    }
  }
  PostCode(kCopyDone);
}

CDlgPspTransfer::CDlgPspTransfer() : UiDialog(kTemplate) {
  space_ = SubclassItem(IDC_PSP_SPACE, new CSkinProgressCtrl);
  files_ = SubclassItem(IDC_PSP_FILES, new CDragListCtrl);
  files_->EnableRowDrag(true);
  drives_ = ItemAs<QComboBox>(IDC_PSP_DRIVES);

  auto* bar = SubclassItem(IDC_PSP_TOOLBAR, new QWidget);
  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  const struct {
    int id;
    QStyle::StandardPixmap icon;
    const char* tip;
  } buttons[] = {{ID_PSP_ADD, QStyle::SP_DialogOpenButton, "Add files"},
                 {ID_PSP_REMOVE, QStyle::SP_TrashIcon, "Remove"},
                 {ID_PSP_UP, QStyle::SP_ArrowUp, "Move up"},
                 {ID_PSP_DOWN, QStyle::SP_ArrowDown, "Move down"}};
  for (const auto& b : buttons) {
    auto* button = new QToolButton(bar);
    button->setIcon(QApplication::style()->standardIcon(b.icon));
    button->setIconSize(QSize(16, 15));
    button->setAutoRaise(true);
    button->setToolTip(QString::fromUtf8(b.tip));
    const int id = b.id;
    connect(button, &QToolButton::clicked, this, [this, id] { OnCommand(id, BN_CLICKED); });
    layout->addWidget(button);
  }
  layout->addStretch(1);
}

CDlgPspTransfer::~CDlgPspTransfer() = default;

void CDlgPspTransfer::SetFiles(std::vector<ConvertResult>* results, const std::string& folder, int width, int height,
                               bool h264) {
  presets_ = results;
  presetFolder_ = folder;
  width_ = width;
  height_ = height;
  h264_ = h264;
}

bool CDlgPspTransfer::OnInitDialog() {
  space_->setFont(font());
  space_->SetBackgroundColour(0xFFFFFF);
  space_->SetRange(0, 100);

  files_->setColumnCount(6);
  files_->setHeaderLabels({"Type", "Source file", "PSP path", "PSP filename", "File size", "Status"});
  const int widths[] = {40, 150, 90, 100, 80, 70};
  for (int i = 0; i < 6; ++i) files_->header()->resizeSection(i, widths[i]);

  if (volumes_ == nullptr) {
    systemVolumes_ = std::make_unique<SystemVolumeList>();
    volumes_ = systemVolumes_.get();
  }
  appending_ = 0;
  FillDrives(ListRemovableDrives(*volumes_));
  SelectDrive();
  if (presets_ != nullptr) {
    for (const ConvertResult& r : *presets_) AddItem(JoinFolder(presetFolder_, r.outputFile), width_, height_, h264_);
    ShowSpace();
  }
  SetTimer(kPspPollTimer, 1000);
  return true;
}

void CDlgPspTransfer::OnDestroy() {
  files_->clear();
  items_.clear();
}

void CDlgPspTransfer::FillDrives(const std::vector<std::string>& roots) {
  drives_->clear();
  for (const std::string& root : roots) drives_->addItem(QString::fromStdString(root));
}

void CDlgPspTransfer::SelectDrive() {
  if (drives_->count() == 0) {
    drives_->addItem(QString::fromUtf8(kPspNotConnected));
    drives_->setCurrentIndex(0);
    drives_->setEnabled(false);
    space_->setEnabled(false);
    space_->SetText({}, 0);
    space_->SetPos(0);
    space_->update();
    drive_.clear();
    return;
  }
  int chosen = 0;
  for (int i = 0; i < drives_->count(); ++i) {
    if (HasPspFolder(drives_->itemText(i).toStdString())) {
      chosen = i;
      break;
    }
  }
  drives_->setCurrentIndex(chosen);
  drives_->setEnabled(true);
  space_->setEnabled(true);
  drive_ = drives_->currentText().toStdString();
  ShowSpace();
}

void CDlgPspTransfer::ShowSpace() {
  bool ok = false;
  total_ = free_ = 0;
  if (!drive_.empty()) ok = GetDiskSpace(drive_, &total_, &free_);
  if (!ok) total_ = free_ = 0;
  const SpaceDisplay display = MakeSpaceDisplay(ok, total_, free_, appending_);
  space_->SetText(display.text, kProgressShowPercent);
  space_->SetPos(display.position);
  space_->update();
}

void CDlgPspTransfer::OnTimer(int id) {
  if (id != kPspPollTimer) {
    UiDialog::OnTimer(id);
    return;
  }
  const std::vector<std::string> roots = ListRemovableDrives(*volumes_);
  const int listed = drives_->isEnabled() ? drives_->count() : 0;
  if (static_cast<int>(roots.size()) == listed) return;
  const bool keep = !drive_.empty() && std::find(roots.begin(), roots.end(), drive_) != roots.end();
  FillDrives(roots);
  if (keep) {
    drives_->setCurrentIndex(drives_->findText(QString::fromStdString(drive_)));
    drives_->setEnabled(true);
    space_->setEnabled(true);
  } else {
    SelectDrive();
  }
}

void CDlgPspTransfer::OnDriveChanged() {
  const std::string selected = drives_->currentText().toStdString();
  if (!drives_->isEnabled() || selected == drive_) return;
  drive_ = selected;
  ShowSpace();
}

void CDlgPspTransfer::AddItem(const std::string& path, int width, int height, bool h264) {
  auto item = std::make_unique<PspCopyItem>(MakePspItem(path, width, height, h264));
  auto* row = new QTreeWidgetItem(files_);
  files_->SetItemData(files_->indexOfTopLevelItem(row), reinterpret_cast<intptr_t>(item.get()));
  row->setText(kColType, item->audio ? QStringLiteral("Audio") : QStringLiteral("Video"));
  row->setText(kColSource, QString::fromStdString(path));
  row->setToolTip(kColSource, row->text(kColSource));
  row->setText(kColFolder, QString::fromStdString(item->pspFolder));
  row->setText(kColSize, QString::fromStdString(FormatFileSize(FileSize64(path))));
  row->setText(kColStatus, QStringLiteral("Appending"));
  appending_ += item->size;
  items_.push_back(std::move(item));
}

PspCopyItem* CDlgPspTransfer::RowItem(int row) const {
  return reinterpret_cast<PspCopyItem*>(files_->GetItemData(row));
}

std::vector<PspCopyItem*> CDlgPspTransfer::Items() const {
  std::vector<PspCopyItem*> items;
  for (int row = 0; row < files_->GetItemCount(); ++row) items.push_back(RowItem(row));
  return items;
}

int CDlgPspTransfer::SelectedRow() const {
  QTreeWidgetItem* current = files_->currentItem();
  return current != nullptr && current->isSelected() ? files_->indexOfTopLevelItem(current) : -1;
}

void CDlgPspTransfer::OnAddFiles() {
  CFileFilter filter;
  filter.Add("Video Files(*.mp4)", "*.mp4");
  filter.Add("Audio Files(*.mp3;*.wma)", "*.mp3;*.wma");
  std::vector<std::string> chosen;
  if (!BrowseForFiles(this, "Select file", {}, filter.GetFilterString(), true, chosen) || chosen.empty()) return;
  MediaInfoRecords records;
  ScanMediaFiles(chosen, records, probeNumber_);
  std::string unknown;
  const int before = files_->topLevelItemCount();
  for (size_t i = 0; i < chosen.size(); ++i) {
    const MediaInfoRecord* record = i < records.size() ? records[i].get() : nullptr;
    if (record == nullptr || record->result != 0) {
      unknown += chosen[i] + "\n";
      continue;
    }
    int width = 0, height = 0;
    bool h264 = false;
    for (int32_t t = 0; t < record->TrackCount(); ++t) {
      StreamInfo info;
      ParseStreamInfo(record->Track(t), info);
      if (info.type != kStreamVideo) continue;
      width = info.width;
      height = info.height;
      StreamCodes codes;
      ParseStreamParams(record->Track(t), codes);
      constexpr uint32_t kH264 = uint32_t('H') | uint32_t('2') << 8 | uint32_t('6') << 16 | uint32_t('4') << 24;
      h264 = codes.vfcc == kH264 || codes.fcc == kH264;
    }
    AddItem(chosen[i], width, height, h264);
  }
  if (!unknown.empty())
    ShowMessageBox(this, "Cannot detect some of the file type:\n" + unknown, nullptr, MB_ICONEXCLAMATION);
  if (files_->topLevelItemCount() > before) files_->setCurrentItem(files_->topLevelItem(before));
  ShowSpace();
}

void CDlgPspTransfer::OnRemove() {
  const int row = SelectedRow();
  if (row < 0) {
    if (files_->topLevelItemCount() > 0) files_->setCurrentItem(files_->topLevelItem(0));
    return;
  }
  PspCopyItem* item = RowItem(row);
  if (item->copyStatus == 1) appending_ -= item->size;
  files_->DeleteItem(row);
  std::erase_if(items_, [item](const std::unique_ptr<PspCopyItem>& owned) { return owned.get() == item; });
  ShowSpace();
  const int next = row > 0 ? row - 1 : 0;
  if (next < files_->topLevelItemCount()) files_->setCurrentItem(files_->topLevelItem(next));
}

void CDlgPspTransfer::OnMove(int delta) {
  const int row = SelectedRow();
  if (row >= 0) files_->MoveItem(row, delta);
}

void CDlgPspTransfer::OnCopy() {
  if (drive_.empty()) {
    ShowMessageBox(this, "Please connect PSP to PC.", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  std::vector<PspCopyItem*> pending;
  for (int row = 0; row < files_->GetItemCount(); ++row) {
    PspCopyItem* item = RowItem(row);
    if (item->copyStatus != 1) continue;
    item->rowIndex = row;
    pending.push_back(item);
  }
  if (pending.empty()) {
    ShowMessageBox(this, "Please add video files to copy to PSP.", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  CDlgPspCopy copy;
  copy.SetItems(pending, drive_);
  if (copyHook_) copyHook_(copy);
  copy.DoModal();
  appending_ = 0;
  for (PspCopyItem* item : pending) {
    QTreeWidgetItem* row = files_->topLevelItem(item->rowIndex);
    if (item->copyStatus == 0) {
      row->setText(kColName, QString::fromStdString(item->pspFileName));
      row->setText(kColStatus, QStringLiteral("Copyed"));
    } else if (item->copyStatus == 2) {
      row->setText(kColStatus, QStringLiteral("Error"));
    }
  }
  for (const auto& item : items_)
    if (item->copyStatus == 1) appending_ += item->size;
  ShowSpace();
}

void CDlgPspTransfer::OnView() {
  switch (OpenWithShell(this, drive_)) {
    case ShellOpenResult::kNotFound:
      ShowMessageBox(this, "Can not find the driver.", nullptr, MB_ICONEXCLAMATION);
      break;
    case ShellOpenResult::kNoAssociation:
      ShowMessageBox(this, "Can not open the driver.", nullptr, MB_ICONEXCLAMATION);
      break;
    default:
      break;
  }
}

bool CDlgPspTransfer::OnCommand(int id, int code) {
  switch (id) {
    case ID_PSP_ADD:
      OnAddFiles();
      return true;
    case ID_PSP_REMOVE:
      OnRemove();
      return true;
    case ID_PSP_UP:
      OnMove(-1);
      return true;
    case ID_PSP_DOWN:
      OnMove(1);
      return true;
    case IDC_PSP_DRIVES:
      if (code == CBN_SELCHANGE) OnDriveChanged();
      return true;
    case IDC_PSP_COPY:
      OnCopy();
      return true;
    case IDC_PSP_VIEW:
      OnView();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}
