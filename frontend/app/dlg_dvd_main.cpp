#include "frontend/app/dlg_dvd_main.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QShortcut>
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/product.h"
#include "frontend/app/snapshot_folder.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/controls/hover_button.h"
#include "frontend/controls/icon_button.h"
#include "frontend/controls/image_list.h"
#include "frontend/controls/profile_combo.h"
#include "frontend/dialogs/dlg_about.h"
#include "frontend/dialogs/dlg_aspect.h"
#include "frontend/dialogs/dlg_file_info.h"
#include "frontend/dialogs/dlg_filter_pages.h"
#include "frontend/dialogs/dlg_log.h"
#include "frontend/dialogs/dlg_output_format.h"
#include "frontend/dialogs/dlg_preview.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/filter_entry_edit.h"
#include "frontend/model/media_info.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/title_choices.h"
#include "frontend/ui/menu_xp.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/shell.h"

namespace {

constexpr int IDC_LABEL = IDC_STATIC;

// The main window's side of the preview panel.
class PreviewPanelLink final : public IPreviewPanel {
 public:
  explicit PreviewPanelLink(CDlgPreview& panel) : panel_(panel) {}
  void SetTask(CTask* task) override { panel_.SetTask(task); }
  void TaskRemoved(const CTask* task) override { panel_.OnTaskRemoved(task); }

 private:
  CDlgPreview& panel_;
};

const DialogTemplate kTemplate = {
    IDD_DVD_MAIN,
    "",
    540,
    262,
    {
        {CtrlKind::Placeholder, IDC_TITLE_TREE, "", 7, 20, 339, 145},
        {CtrlKind::Placeholder, IDC_PREVIEW_PLACE, "", 353, 20, 180, 145},
        {CtrlKind::PushButton, IDC_ADD_DVD, "Add DVD...", 9, 167, 62, 12},
        {CtrlKind::PushButton, IDC_DELETE, "Del", 74, 167, 40, 12},
        {CtrlKind::PushButton, ID_TRIM, "Trim...", 117, 167, 48, 12},
        {CtrlKind::PushButton, IDC_EDIT_FILTERS, "Edit...", 168, 167, 48, 12},
        {CtrlKind::Text, IDC_LABEL, "Audio track:", 7, 189, 50, 8},
        {CtrlKind::ComboDropList, IDC_AUDIO_TRACK, "", 58, 187, 122, 100},
        {CtrlKind::Text, IDC_LABEL, "Subtitle track:", 186, 189, 52, 8},
        {CtrlKind::ComboDropList, IDC_SUBTITLE_TRACK, "", 240, 187, 106, 100},
        {CtrlKind::Text, IDC_LABEL, "Deinterlace:", 7, 206, 50, 8},
        {CtrlKind::ComboDropList, IDC_DEINTERLACE, "", 58, 204, 122, 100},
        {CtrlKind::CheckBox, IDC_JOIN, "Join titles and chapters", 186, 205, 160, 10},
        {CtrlKind::Text, IDC_LABEL, "Output format:", 7, 223, 50, 8},
        {CtrlKind::ComboDropList, IDC_PROFILE, "", 58, 221, 288, 100},
        {CtrlKind::Text, IDC_LABEL, "Output folder:", 7, 242, 50, 8},
        {CtrlKind::Edit, IDC_OUTPUT_FOLDER, "", 58, 240, 186, 13},
        {CtrlKind::PushButton, IDC_BROWSE_OUTPUT, "&Browse...", 248, 239, 48, 14},
        {CtrlKind::PushButton, IDC_VIEW_OUTPUT, "View", 298, 239, 48, 14},
        {CtrlKind::PushButton, IDC_START, "&Start", 353, 232, 180, 24},
    },
};

const std::string& AboutText() {
  static const std::string text = std::string("&About ") + kProductDisplayName + "...";
  return text;
}

std::vector<MenuItem> MainMenu() {
  return {
      {"&File",
       0,
       {{"Add DVD...", ID_FILE_ADD_DVD, {}},
        {"&Delete", IDC_DELETE, {}},
        MenuSeparator(),
        {"&Exit", ID_FILE_EXIT, {}}}},
      {"&Edit",
       0,
       {{"&Video Filters",
         0,
         {{"&Subtitle...", IDC_SUBTITLE_FILTER, {}},
          {"&Wartermark...", IDC_WATERMARK_FILTER, {}},
          {"&More Video Filters...", ID_MORE_VIDEO_FILTERS, {}}}},
        {"&Audio Filters", 0, {{"More Audio Filters...", ID_MORE_AUDIO_FILTERS, {}}}},
        {"&Resize...", IDC_EDIT_FILTERS, {}}}},
      {"&View",
       0,
       {{"&Modify Output Filename...", ID_OUTPUT_FILENAME, {}},
        {"M&odify Metadata...", ID_METADATA, {}},
        MenuSeparator(),
        {"&Log Window...", ID_LOG_WINDOW, {}}}},
      {"&Convert",
       0,
       {{"Output &Format...", ID_OUTPUT_FORMAT, {}},
        {"Output Folder...", IDC_BROWSE_OUTPUT, {}},
        MenuSeparator(),
        {"&Convert Now!", IDC_START, {}}}},
      {"&Help", 0, {{"&Index...\tF1", ID_HELP_INDEX, {}}, {AboutText().c_str(), ID_APP_ABOUT, {}}}},
  };
}

struct ColumnRow {
  const char* text;
  int width;
};
constexpr ColumnRow kColumns[] = {
    {"Title", 150}, {"Duration", 80}, {"Estimated size", 95}, {"Output size", 95}, {"Status", 60},
};
enum Column { kColTitle, kColDuration, kColEstimated, kColOutput, kColStatus };

// Pictures of the buttons and the empty tree.
constexpr int kBitmapDelete = 144;
constexpr int kBitmapAddDvd = 146;
constexpr int kBitmapEdit = 152;
constexpr int kBitmapTrim = 185;
constexpr int kBitmapEmptyTree = 212;
constexpr int kBitmapMenuIcons = 128;
// The Start button's normal and hover icons: 18 x 18 tiles on navy.
constexpr int kBitmapStartIcons = 181;
constexpr int kStartIconSize = 18;
constexpr QRgb kStartIconMask = 0x000080;

// The frame around the tree and the button band below it.
const QColor kFrameColor(127, 157, 185);
const QColor kBandColor(237, 245, 255);
constexpr int kBandHeight = 30;
const QColor kEdgeShadow(172, 168, 153);

// A menu text that shows '&' as it is.
std::string MenuText(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '&') out += '&';
  }
  return out;
}

}  // namespace

CDlgDvdMain::CDlgDvdMain(QWidget* parent, IDvdDriveList* drives) : UiDialog(kTemplate, parent), driveList_(drives) {
  if (driveList_ == nullptr) {
    systemDrives_ = std::make_unique<SystemDvdDriveList>();
    driveList_ = systemDrives_.get();
  }
  tree_ = SubclassItem(IDC_TITLE_TREE, new CColumnTreeCtrl);
  auto* help = new QShortcut(QKeySequence::HelpContents, this);
  connect(help, &QShortcut::activated, this, [this] { OnCommand(ID_HELP, 0); });
  Client()->installEventFilter(this);
  SubclassItem(IDC_PROFILE, new CProfileCombo);
  for (int id : {IDC_ADD_DVD, IDC_DELETE, ID_TRIM, IDC_EDIT_FILTERS}) {
    const QString text = ItemText(id);
    CHoverButton* button = SubclassItem(id, new CHoverButton);
    button->setText(text);
  }
  const QString startText = ItemText(IDC_START);
  SubclassItem(IDC_START, new CIconButton)->setText(startText);
  // The output choice new tasks get; a missing or damaged defaults file
  // leaves none chosen.
  if (!LoadDefaultSettings(profileName_, profileIndex_, profileLine_, settings_)) {
    settings_.Clear();
    profileName_.clear();
    profileLine_.clear();
    profileIndex_ = 1;
  }
}

CDlgDvdMain::~CDlgDvdMain() {
  // Rows point at tasks: they go first.
  notify_ = false;
  ClearRows();
  while (waitCursors_ > 0) {
    QApplication::restoreOverrideCursor();
    --waitCursors_;
  }
}

bool CDlgDvdMain::OnInitDialog() {
  setWindowTitle(QString::fromUtf8(kProductDisplayName));
  setWindowIcon(LoadProgramIcon());
  SetMenu(MainMenu());
  CMenuXP::AttachWindow(this, true);
  CMenuXP::UpdateMenuBar(this);
  SetMenuImages();

  // The output folder.
  auto* folder = ItemAs<QLineEdit>(IDC_OUTPUT_FOLDER);
  folder->setMaxLength(static_cast<int>(kMaxOutputFolder));
  const std::string outPath = ReadConvertOutPath();
  tasks_.SetOutputFolder(outPath);
  folder->setText(Qs(outPath));

  CImageList startIcons(kStartIconSize, kStartIconSize);
  if (startIcons.AddMasked(LoadBitmapResource(kBitmapStartIcons), kStartIconMask) >= 0)
    static_cast<CIconButton*>(Item(IDC_START))->SetIcon(startIcons.Image(0).toImage(), startIcons.Image(1).toImage());

  QComboBox* profile = Combo(IDC_PROFILE);
  profile->addItem(Qs(profileLine_));
  profile->setCurrentIndex(0);

  // The hover buttons sit on the band below the tree.
  const QRect treeRect = ItemRect(IDC_TITLE_TREE);
  const struct {
    int id;
    int bitmap;
  } buttons[] = {{IDC_ADD_DVD, kBitmapAddDvd},
                 {IDC_DELETE, kBitmapDelete},
                 {ID_TRIM, kBitmapTrim},
                 {IDC_EDIT_FILTERS, kBitmapEdit}};
  for (const auto& b : buttons) {
    auto* button = static_cast<CHoverButton*>(Item(b.id));
    button->SetBitmap(b.bitmap);
    QRect r = button->geometry();
    r.setHeight(std::min(r.height(), kBandHeight - 4));
    r.moveTop(treeRect.bottom() + 1 + (kBandHeight - r.height()) / 2);
    button->setGeometry(r);
  }

  // Recent-list files of an older layout: the newer one takes the name.
  const std::string recent2 = GetUserConfigDir() + "/recent2.lst";
  std::error_code ec;
  if (std::filesystem::exists(recent2, ec)) {
    const std::string recent = GetUserConfigDir() + "/recent.lst";
    std::filesystem::remove(recent, ec);
    std::filesystem::rename(recent2, recent, ec);
  }

  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    tree_->InsertColumn(i, QString::fromUtf8(kColumns[i].text), HDF_LEFT, kColumns[i].width);
  }
  CCustomTreeChildCtrl& tree = tree_->Tree();
  tree.SetStateImageList(CreateCheckBoxImageList(16, Qt::white, true));
  tree.ModifyTreeStyle(0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_FULLROWSELECT);
  tree_->OnInitialize();

  EnableItem(IDC_AUDIO_TRACK, false);
  EnableItem(IDC_SUBTITLE_TRACK, false);
  EnableItem(IDC_DEINTERLACE, false);
  QComboBox* deinterlace = Combo(IDC_DEINTERLACE);
  deinterlace->addItem(QString::fromUtf8(kNoDeinterlace));
  deinterlace->addItem(QString::fromUtf8(kForceDeinterlace));

  // The preview panel: a child at the placeholder's top-left corner.
  if (preview_ == nullptr) {
    snapshotFolder_ = std::make_unique<CSnapshotFolderSetting>();
    ownPreview_ = std::make_unique<CDlgPreview>(nullptr, nullptr, snapshotFolder_.get());
    ownPreview_->Create(Client());
    ownPreview_->move(ItemRect(IDC_PREVIEW_PLACE).topLeft());
    ownPreview_->raise();
    ownPreviewLink_ = std::make_unique<PreviewPanelLink>(*ownPreview_);
    preview_ = ownPreviewLink_.get();
  }
  if (preview_ != nullptr) preview_->SetTask(nullptr);
  tree_->SetEmptyTreeBitmap(LoadBitmapResource(kBitmapEmptyTree));
  return true;
}

// The menu icons: tiles of bitmap 128 by command.
void CDlgDvdMain::SetMenuImages() {
  CImageList images(16, 16);
  if (images.AddMasked(LoadBitmapResource(kBitmapMenuIcons), kMaskMagenta) < 0) return;
  static const struct {
    int id;
    int image;
  } kImages[] = {{ID_FILE_ADD_DVD, 7}, {IDC_DELETE, 8},     {IDC_EDIT_FILTERS, 11},   {ID_OUTPUT_FORMAT, 12},
                 {IDC_START, 4},       {ID_HELP_INDEX, 16}, {IDC_SUBTITLE_FILTER, 5}, {IDC_WATERMARK_FILTER, 6}};
  for (const auto& entry : kImages) CMenuXP::SetCommandImage(entry.id, images.Image(entry.image));
  CMenuXP::UpdateMenuBar(this);
}

// ---- rows ----

QComboBox* CDlgDvdMain::Combo(int id) const { return ItemAs<QComboBox>(id); }

CTask* CDlgDvdMain::TaskOfRow(const QTreeWidgetItem* row) {
  return row == nullptr ? nullptr : reinterpret_cast<CTask*>(CMutiTreeCtrl::ItemData(row));
}

void CDlgDvdMain::SetRowTexts(QTreeWidgetItem* row, CTask& task) {
  tree_->SetItemText(row, kColDuration, Qs(task.GetDurationText()));
  tree_->SetItemText(row, kColStatus, QStringLiteral("Ready"));
  tree_->SetItemText(row, kColEstimated, Qs(task.GetEstimatedSizeText()));
  tree_->SetItemText(row, kColOutput, Qs(task.GetOutputSizeText()));
}

QTreeWidgetItem* CDlgDvdMain::AddTaskRow(CTask& task, const std::string& text, QTreeWidgetItem* parent, bool checked) {
  CCustomTreeChildCtrl& tree = tree_->Tree();
  const TreeInsert where = checked && parent == nullptr ? TreeInsert::First : TreeInsert::Last;
  QTreeWidgetItem* row = tree.InsertItem(QString(), parent, where, reinterpret_cast<quintptr>(&task));
  tree_->SetItemText(row, kColTitle, Qs(text));
  tree.SetCheck(row, checked ? 2 : 0);
  SetRowTexts(row, task);
  rows_[&task] = row;
  return row;
}

QTreeWidgetItem* CDlgDvdMain::FindTaskRow(const CTask* task) const {
  const auto it = rows_.find(task);
  return it == rows_.end() ? nullptr : it->second;
}

CTask* CDlgDvdMain::GetSelectedTask() {
  CTask* task = TaskOfRow(tree_->Tree().currentItem());
  if (task == nullptr) ShowMessageBox(this, "Please select a item from the list.", nullptr, MB_ICONEXCLAMATION);
  return task;
}

void CDlgDvdMain::ClearRows() {
  rows_.clear();
  tree_->Tree().clear();
}

// ---- loading ----

void CDlgDvdMain::BeginLoad() {
  rows_.clear();
  notify_ = false;
  tree_->setUpdatesEnabled(false);
  tree_->Tree().clear();
  if (preview_ != nullptr) preview_->SetTask(nullptr);
  notify_ = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ++waitCursors_;
}

IDvdTitleView::Row CDlgDvdMain::AddTaskRow(CTask& task, const std::string& text, Row parent, bool checked) {
  auto* parentRow = const_cast<QTreeWidgetItem*>(static_cast<const QTreeWidgetItem*>(parent));
  return AddTaskRow(task, text, parentRow, checked);
}

void CDlgDvdMain::SelectRow(Row row) {
  auto* item = const_cast<QTreeWidgetItem*>(static_cast<const QTreeWidgetItem*>(row));
  tree_->Tree().setCurrentItem(item);
  // The chosen title shows its chapters.
  if (item != nullptr) item->setExpanded(true);
}

void CDlgDvdMain::EndLoad() {
  // Drawing resumes after a failed load too, so the emptied tree is shown.
  tree_->setUpdatesEnabled(true);
  tree_->Layout();
  tree_->Tree().viewport()->update();
  tree_->update();
  if (waitCursors_ > 0) {
    QApplication::restoreOverrideCursor();
    --waitCursors_;
  }
}

bool CDlgDvdMain::LoadDvdTitles(const std::string& path) {
  TaskOptions options;
  options.mode = GetOptionSettings()->mode;
  options.overwrite = GetOptionSettings()->overwrite != 0;
  return ::LoadDvdTitles(path, settings_, options, tasks_, *this, loadReport_);
}

// ---- the selection panel ----

void CDlgDvdMain::RefreshSelection() {
  QComboBox* audio = Combo(IDC_AUDIO_TRACK);
  QComboBox* subtitle = Combo(IDC_SUBTITLE_TRACK);
  CTask* task = TaskOfRow(tree_->Tree().currentItem());
  if (task == nullptr) {
    if (preview_ != nullptr) preview_->SetTask(nullptr);
    audio->clear();
    subtitle->clear();
    EnableItem(IDC_AUDIO_TRACK, false);
    EnableItem(IDC_SUBTITLE_TRACK, false);
    return;
  }
  EnableItem(IDC_AUDIO_TRACK, true);
  EnableItem(IDC_SUBTITLE_TRACK, true);
  EnableItem(IDC_DEINTERLACE, true);
  audio->clear();
  subtitle->clear();
  if (preview_ != nullptr) preview_->SetTask(task);
  Combo(IDC_DEINTERLACE)->setCurrentIndex(HasForcedDeinterlace(*task) ? 1 : 0);
  subtitle->addItem(QString::fromUtf8(kNoSubtitle), 0);
  int audioCurrent = 0, subtitleCurrent = 0;
  if (!task->sources.empty()) {
    const MediaInfo& source = *task->sources.front();
    for (int32_t i = 0; i < source.record.TrackCount(); ++i) {
      const std::string_view track = source.record.Track(i);
      const int32_t type = ParseStreamCodes(track).type;
      QComboBox* combo = type == kStreamAudio ? audio : type == kStreamSubtitle ? subtitle : nullptr;
      if (combo == nullptr) continue;
      combo->addItem(Qs(TrackSummaryText(track)), i);
      if (source.chosen[i]) (type == kStreamAudio ? audioCurrent : subtitleCurrent) = combo->count() - 1;
    }
  }
  audio->setCurrentIndex(audio->count() > 0 ? audioCurrent : -1);
  subtitle->setCurrentIndex(subtitleCurrent);
}

QTreeWidgetItem* CDlgDvdMain::SelectedTitleRow() const {
  QTreeWidgetItem* row = tree_->Tree().currentItem();
  return row != nullptr && row->parent() != nullptr ? row->parent() : row;
}

std::vector<CTask*> CDlgDvdMain::TitleTasks(QTreeWidgetItem* title) const {
  std::vector<CTask*> tasks;
  if (title == nullptr) return tasks;
  if (CTask* task = TaskOfRow(title)) tasks.push_back(task);
  for (int i = 0; i < title->childCount(); ++i)
    if (CTask* task = TaskOfRow(title->child(i))) tasks.push_back(task);
  return tasks;
}

void CDlgDvdMain::OnTrackChoice(int comboId, int32_t type) {
  QComboBox* combo = Combo(comboId);
  if (combo->currentIndex() < 0) return;
  const int32_t index = combo->currentData().toInt();
  for (CTask* task : TitleTasks(SelectedTitleRow())) ChooseTrack(*task, type, index);
}

void CDlgDvdMain::OnDeinterlaceChoice() {
  const bool force = Combo(IDC_DEINTERLACE)->currentIndex() == 1;
  for (CTask* task : TitleTasks(SelectedTitleRow())) SetForcedDeinterlace(*task, force);
}

// ---- commands ----

std::vector<MenuItem> CDlgDvdMain::DrivePopupItems() {
  drives_ = driveList_->Drives();
  if (drives_.size() > kMaxDvdDrives) drives_.resize(kMaxDvdDrives);
  driveTexts_.clear();
  for (const DvdDrive& drive : drives_)
    driveTexts_.push_back(MenuText(drive.label.empty() ? drive.root : drive.root + " " + drive.label));
  std::vector<MenuItem> items;
  for (size_t i = 0; i < drives_.size(); ++i)
    items.push_back({driveTexts_[i].c_str(), ID_DRIVE_FIRST + static_cast<int>(i), {}});
  if (!drives_.empty()) items.push_back(MenuSeparator());
  items.push_back({"Import from DVD folder...", ID_IMPORT_FOLDER, {}});
  return items;
}

void CDlgDvdMain::OnAddDvd() {
  const std::vector<MenuItem> items = DrivePopupItems();
  QMenu menu(this);
  int chosen = 0;
  FillMenu(&menu, items, [&chosen](int id) { chosen = id; });
  CMenuXP::ConvertMenu(this, &menu, CMenuXP::IsAttached(this));
  // The popup rises above the button.
  const QPoint corner = Item(IDC_ADD_DVD)->mapToGlobal(QPoint(0, 0));
  menu.exec(QPoint(corner.x(), corner.y() - menu.sizeHint().height()));
  if (chosen != 0) OnCommand(chosen, 0);
}

void CDlgDvdMain::OnLoadDrive(int id) {
  const size_t index = static_cast<size_t>(id - ID_DRIVE_FIRST);
  if (index >= drives_.size()) return;
  const std::string root = drives_[index].root;
  if (!LoadDvdTitles(root)) {
    RefreshSelection();
    ShowMessageBox(this, "Please make sure you have inserted a DVD disk in your DVD ROM " + root, nullptr,
                   MB_ICONEXCLAMATION);
  }
}

void CDlgDvdMain::OnImportFolder() {
  std::string folder;
  if (BrowseForFolderWithShell(this, folder)) LoadDisc(folder);
}

bool CDlgDvdMain::LoadDisc(const std::string& path) {
  if (LoadDvdTitles(path)) return true;
  RefreshSelection();
  ShowMessageBox(this, "Can not find valid DVD video structure in folder " + path, nullptr, MB_ICONEXCLAMATION);
  return false;
}

void CDlgDvdMain::OnDelete() {
  if (GetSelectedTask() == nullptr) return;
  QTreeWidgetItem* title = SelectedTitleRow();
  const std::vector<CTask*> tasks = TitleTasks(title);
  for (CTask* task : tasks) {
    rows_.erase(task);
    if (preview_ != nullptr) preview_->TaskRemoved(task);
  }
  // The title below (else above) becomes the selected row.
  CCustomTreeChildCtrl& tree = tree_->Tree();
  const int at = tree.indexOfTopLevelItem(title);
  QTreeWidgetItem* next = tree.topLevelItem(at + 1) != nullptr ? tree.topLevelItem(at + 1) : tree.topLevelItem(at - 1);
  if (next != nullptr) tree.setCurrentItem(next);
  // The row goes before its tasks, so no row ever points at a freed task.
  delete title;
  for (CTask* task : tasks) tasks_.Remove(task);
  if (tree.currentItem() == nullptr) RefreshSelection();
  tree_->Layout();
}

void CDlgDvdMain::OnBrowseOutput() {
  std::string folder = ItemText(IDC_OUTPUT_FOLDER).toStdString();
  if (!BrowseForFolderWithShell(this, folder)) return;
  if (folder.size() > kMaxOutputFolder) {
    char limit[128];
    std::snprintf(limit, sizeof(limit), "The output folder's path is too long: at most %zu bytes are kept.\n",
                  kMaxOutputFolder);
    ShowMessageBox(this, limit + folder, nullptr, MB_ICONEXCLAMATION);
    return;
  }
  SetItemText(IDC_OUTPUT_FOLDER, Qs(folder));
  WriteConvertOutPath(folder);
  tasks_.SetOutputFolder(folder);
}

void CDlgDvdMain::OnViewOutput() { OpenFolderWithShell(this, ItemText(IDC_OUTPUT_FOLDER).toStdString()); }

// The profile box's click is this command.
static_assert(kProfileComboCommand == ID_OUTPUT_FORMAT);

void CDlgDvdMain::OnOutputFormat() {
  CDlgOutputFormat dialog(this);
  dialog.SetCurrentProfile(profileName_, profileIndex_);
  dialog.Settings() = settings_;
  if (dialog.DoModal() != IDOK) return;
  settings_ = dialog.Settings();
  dialog.FormatProfileSummary(profileLine_, profileName_, profileIndex_);
  QComboBox* profile = Combo(IDC_PROFILE);
  profile->clear();
  profile->addItem(Qs(profileLine_));
  profile->setCurrentIndex(0);
  if (!SaveDefaultSettings(profileName_, profileIndex_, profileLine_, settings_))
    ShowMessageBox(this, "The output format could not be saved as the default.", nullptr, MB_ICONEXCLAMATION);
  std::string message;
  if (!tasks_.ApplyProfile(settings_, GetOptionSettings()->mode, message))
    ShowMessageBox(this, message, nullptr, MB_ICONEXCLAMATION);
  for (const auto& task : tasks_) {
    QTreeWidgetItem* row = FindTaskRow(task.get());
    if (row == nullptr) continue;
    tree_->SetItemText(row, kColEstimated, Qs(task->GetEstimatedSizeText()));
    tree_->SetItemText(row, kColOutput, Qs(task->GetOutputSizeText()));
  }
  tree_->Tree().viewport()->update();
}

void CDlgDvdMain::OnHelp() {
  const std::string guide = ModulePath() + "/" + kHelpFileName;
  switch (OpenWithShell(this, guide)) {
    case ShellOpenResult::kOpened:
      break;
    case ShellOpenResult::kNotFound:
      ShowMessageBox(this, "The user guide is missing. It belongs in the program folder:\n" + guide, nullptr,
                     MB_ICONEXCLAMATION);
      break;
    case ShellOpenResult::kNoAssociation:
      ShowMessageBox(this, "Nothing on this desktop opens the user guide. Open it in a web browser:\n" + guide, nullptr,
                     MB_ICONEXCLAMATION);
      break;
  }
}

void CDlgDvdMain::OnAbout() {
  CDlgAbout about(this);
  about.webAddress = kProductWebAddress;
  about.supportAddress = kProductSupportAddress;
  about.description = kProductDescription;
  about.DoModal();
}

void CDlgDvdMain::SetPreviewPanel(IPreviewPanel* panel) { preview_ = panel; }

void CDlgDvdMain::OnFilterSheet(int startPage) {
  CTask* task = GetSelectedTask();
  if (task == nullptr) return;
  SetDefaultTaskFrom(*task);
  CTask& edited = GetDefaultTask();
  const OptionSettings* options = GetOptionSettings();
  const PreviewFrameOptions preview{options->mode, options->preframe, options->presec};
  CDlgAspect resize(edited, preview, GetPreviewDir());
  CDlgFilter video(edited, preview, GetPreviewDir());
  CDlgAFilter audio(edited, preview, GetPreviewDir());
  CMyPropSheet sheet(QStringLiteral("Edit"), this, startPage);
  for (CPropertyPage* page : std::initializer_list<CPropertyPage*>{&resize, &video, &audio}) sheet.AddPage(page);
  if (sheet.DoModal() != IDOK) return;
  task->CopySettings(edited);
  if (QTreeWidgetItem* row = FindTaskRow(task)) {
    tree_->SetItemText(row, kColDuration, Qs(task->GetDurationText()));
    tree_->SetItemText(row, kColEstimated, Qs(task->GetEstimatedSizeText()));
  }
  RefreshSelection();
}

bool CDlgDvdMain::OnCommand(int id, int code) {
  if (id >= ID_DRIVE_FIRST && id <= ID_DRIVE_LAST) {
    OnLoadDrive(id);
    return true;
  }
  switch (id) {
    case IDC_ADD_DVD:
      OnAddDvd();
      return true;
    case ID_IMPORT_FOLDER:
    case ID_FILE_ADD_DVD:
      OnImportFolder();
      return true;
    case IDC_DELETE:
      OnDelete();
      return true;
    case ID_FILE_EXIT:
      EndDialog(IDOK);
      return true;
    case IDC_AUDIO_TRACK:
      if (code == CBN_SELCHANGE) OnTrackChoice(IDC_AUDIO_TRACK, kStreamAudio);
      return true;
    case IDC_SUBTITLE_TRACK:
      if (code == CBN_SELCHANGE) OnTrackChoice(IDC_SUBTITLE_TRACK, kStreamSubtitle);
      return true;
    case IDC_DEINTERLACE:
      if (code == CBN_SELCHANGE) OnDeinterlaceChoice();
      return true;
    case IDC_SUBTITLE_FILTER:
      if (CTask* task = GetSelectedTask()) {
        CDlgSubtitle subtitle;
        EditVideoFilterEntry(this, *task, "VSUBTITLE", subtitle);
      }
      return true;
    case IDC_WATERMARK_FILTER:
      if (CTask* task = GetSelectedTask()) {
        CDlgWatermark watermark;
        watermark.SetSource(task->outputVideo.width, task->outputVideo.height, task->GetTargetAspect());
        EditVideoFilterEntry(this, *task, "VWATERMARK", watermark);
      }
      return true;
    case IDC_EDIT_FILTERS:
      OnFilterSheet(0);
      return true;
    case ID_MORE_VIDEO_FILTERS:
      OnFilterSheet(1);
      return true;
    case ID_MORE_AUDIO_FILTERS:
      OnFilterSheet(2);
      return true;
    case IDC_PROFILE:  // its drop-down is not a choice
      return true;
    case IDC_START:
      OnConvertNow();
      return true;
    case ID_OUTPUT_FORMAT:
      OnOutputFormat();
      return true;
    case ID_TRIM:
      OnTrim();
      return true;
    case IDC_BROWSE_OUTPUT:
      OnBrowseOutput();
      return true;
    case IDC_VIEW_OUTPUT:
      OnViewOutput();
      return true;
    case ID_HELP_INDEX:
    case ID_HELP:
      OnHelp();
      return true;
    case ID_OUTPUT_FILENAME:
    case ID_METADATA:
      if (CTask* task = GetSelectedTask())
        RunFileInfoSheet(this, *task, ReadConvertOutPath(), id == ID_METADATA ? 1 : 0);
      return true;
    case ID_APP_ABOUT:
      OnAbout();
      return true;
    case ID_LOG_WINDOW: {
      CDlgLog log(this);
      log.DoModal();
      return true;
    }
    default:
      return UiDialog::OnCommand(id, code);
  }
}

intptr_t CDlgDvdMain::OnNotify(const UiNotify& notify) {
  if (notify.idFrom == IDC_TITLE_TREE) {
    if (notify.code == TVN_SELCHANGED) {
      if (notify_) RefreshSelection();
      return 0;
    }
    if (notify.code == NM_DBLCLK) {
      // The file-info sheet of the row.
      OnCommand(ID_OUTPUT_FILENAME, 0);
      return 0;
    }
  }
  return UiDialog::OnNotify(notify);
}

// ---- drawing ----

bool CDlgDvdMain::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Client() && event->type() == QEvent::Paint) PaintFrame();
  return UiDialog::eventFilter(watched, event);
}

void CDlgDvdMain::PaintFrame() {
  QPainter painter(Client());
  // The edge under the menu: a dark line over a white one.
  const int w = Client()->width();
  painter.setPen(kEdgeShadow);
  painter.drawLine(0, 0, w - 1, 0);
  painter.setPen(Qt::white);
  painter.drawLine(0, 1, w - 1, 1);
  // The frame around the tree, one pixel outside it, and the band below.
  const QRect tree = ItemRect(IDC_TITLE_TREE).adjusted(-1, -1, 1, 1);
  painter.setPen(kFrameColor);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(tree.adjusted(0, 0, -1, -1));
  const QRect band(tree.left(), tree.bottom(), tree.width(), kBandHeight);
  painter.setBrush(kBandColor);
  painter.drawRect(band.adjusted(0, 0, -1, -1));
}
