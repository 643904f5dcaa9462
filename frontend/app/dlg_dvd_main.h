// The main window: the titles of one DVD as a checkable tree with chapter
// rows, the selected row's audio, subtitle and deinterlace choices, the output
// profile line and folder, and the commands of its menu and buttons. Every row
// is one task of the window's task list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "frontend/model/dvd_drives.h"
#include "frontend/model/dvd_titles.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/task_list.h"
#include "frontend/ui/ui_dialog.h"

class CColumnTreeCtrl;
class CDlgPreview;
class CSnapshotFolderSetting;
class QComboBox;
class QTreeWidgetItem;

constexpr int IDD_DVD_MAIN = 102;

// Controls of the main window.
constexpr int IDC_ADD_DVD = 1000;
constexpr int IDC_DELETE = 1002;
constexpr int IDC_EDIT_FILTERS = 1009;
constexpr int IDC_SUBTITLE_FILTER = 1010;
constexpr int IDC_WATERMARK_FILTER = 1013;
constexpr int IDC_PROFILE = 1014;
constexpr int IDC_BROWSE_OUTPUT = 1019;
constexpr int IDC_START = 1031;
constexpr int IDC_AUDIO_TRACK = 1070;
constexpr int IDC_SUBTITLE_TRACK = 1071;
constexpr int IDC_DEINTERLACE = 1072;
constexpr int IDC_OUTPUT_FOLDER = 1141;
constexpr int IDC_JOIN = 1147;
constexpr int IDC_VIEW_OUTPUT = 1185;
constexpr int IDC_TITLE_TREE = 1264;
constexpr int IDC_PREVIEW_PLACE = 1273;

// Menu commands.
constexpr int ID_FILE_EXIT = 32771;
constexpr int ID_OUTPUT_FORMAT = 32772;
constexpr int ID_APP_ABOUT = 32773;
constexpr int ID_MORE_VIDEO_FILTERS = 32777;
constexpr int ID_MORE_AUDIO_FILTERS = 32778;
constexpr int ID_HELP_INDEX = 32783;
constexpr int ID_LOG_WINDOW = 32788;
constexpr int ID_OUTPUT_FILENAME = 32789;
constexpr int ID_METADATA = 32793;
constexpr int ID_TRIM = 32794;
constexpr int ID_IMPORT_FOLDER = 32800;
constexpr int ID_DRIVE_FIRST = 32802;  // one per drive of the popup, up to 32
constexpr int ID_DRIVE_LAST = 32833;
constexpr int ID_FILE_ADD_DVD = 32836;
constexpr int ID_HELP = 57670;

// The user guide in the program folder, opened by Help > Index and F1.
inline constexpr const char* kHelpFileName = "velmo.html";

// The row texts of the deinterlace list and the first row of the subtitle list.
inline constexpr char kNoDeinterlace[] = "No deinterlace";
inline constexpr char kForceDeinterlace[] = "Force deinterlace";
inline constexpr char kNoSubtitle[] = "No subtitle";

// The longest output folder the settings file keeps.
constexpr size_t kMaxOutputFolder = 250;

// The embedded player panel as the main window uses it.
class IPreviewPanel {
 public:
  virtual ~IPreviewPanel() = default;
  // The task whose source the panel shows; null for none.
  virtual void SetTask(CTask* task) = 0;
  // The task is about to be freed: the panel stops when it plays it.
  virtual void TaskRemoved(const CTask* task) = 0;
};

class CDlgDvdMain : public UiDialog, private IDvdTitleView {
 public:
  // drives: where the drive popup finds drives (the system's when null; not owned).
  explicit CDlgDvdMain(QWidget* parent = nullptr, IDvdDriveList* drives = nullptr);
  ~CDlgDvdMain() override;

  CColumnTreeCtrl* TitleTree() const { return tree_; }
  CTaskList& Tasks() { return tasks_; }

  // The current output choice: settings, profile name and number, the line
  // the profile box shows.
  const OutputSettings& CurrentSettings() const { return settings_; }
  const std::string& ProfileName() const { return profileName_; }
  int32_t ProfileIndex() const { return profileIndex_; }
  const std::string& ProfileLine() const { return profileLine_; }

  // Replaces the rows and tasks by the titles of the disc, ISO image or DVD
  // folder at path; false when none was found (the tree is then empty, and
  // still drawn). The caller tells the user.
  bool LoadDvdTitles(const std::string& path);
  const DvdLoadReport& LastLoadReport() const { return loadReport_; }
  // Loads a DVD folder (or image) as the folder import does: when nothing was
  // found the selection panel is refreshed and the user told.
  bool LoadDisc(const std::string& path);

  // A row for the task under parent (the root when null): a checked row under
  // the root goes first, every other row last; its columns filled and its
  // check set (and propagated).
  QTreeWidgetItem* AddTaskRow(CTask& task, const std::string& text, QTreeWidgetItem* parent, bool checked);
  QTreeWidgetItem* FindTaskRow(const CTask* task) const;
  static CTask* TaskOfRow(const QTreeWidgetItem* row);
  // The selected row's task; with none, says so and returns null.
  CTask* GetSelectedTask();
  // Rebuilds the selection panel (track and deinterlace lists, preview) from
  // the selected row.
  void RefreshSelection();

  // The first popup of the drive menu as the "Add DVD..." button opens it.
  std::vector<MenuItem> DrivePopupItems();
  void SetPreviewPanel(IPreviewPanel* panel);

  // Convert Now (the "Start" button): checks the checked rows and the output
  // choice, runs the progress dialog and then the completion dialog.
  enum ConvertOutcome { kConvertRefused, kConvertStopped, kConvertAllDone, kConvertSomeFailed };
  int OnConvertNow();
  // The output folder as the edit shows it and new tasks get it.
  void SetOutputFolder(const std::string& folder);
  // Makes the choice current and applies it to every task; false with a
  // message, nothing changed, when a task cannot take it.
  bool UseOutputChoice(const OutputSettings& settings, const std::string& name, int32_t index, const std::string& line,
                       std::string& message);

  bool OnCommand(int id, int code) override;
  intptr_t OnNotify(const UiNotify& notify) override;

 protected:
  bool OnInitDialog() override;
  // The close box ends the window as Cancel; Enter and Esc do not end it
  // (only Exit and the close box do).
  void OnClose() override { EndDialog(IDCANCEL); }
  void OnOK() override {}
  void OnCancel() override {}
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // IDvdTitleView: the loader's side of the tree.
  void BeginLoad() override;
  Row AddTaskRow(CTask& task, const std::string& text, Row parent, bool checked) override;
  void SelectRow(Row row) override;
  void EndLoad() override;

  QComboBox* Combo(int id) const;
  QTreeWidgetItem* SelectedTitleRow() const;
  std::vector<CTask*> TitleTasks(QTreeWidgetItem* title) const;
  void SetRowTexts(QTreeWidgetItem* row, CTask& task);
  void ClearRows();

  void OnAddDvd();
  void OnLoadDrive(int id);
  void OnImportFolder();
  void OnDelete();
  void OnTrackChoice(int comboId, int32_t type);
  void OnDeinterlaceChoice();
  void OnBrowseOutput();
  void OnViewOutput();
  void SetMenuImages();
  void OnOutputFormat();
  void OnTrim();  // dlg_dvd_main_trim.cpp
  // The "Edit" sheet (Resize, Video filter, Audio filter) over the selected task.
  void OnFilterSheet(int startPage);
  // Opens the user guide with the desktop's handler; says where the guide is
  // when it is missing or nothing opens it.
  void OnHelp();
  void OnAbout();
  void PaintFrame();

  CColumnTreeCtrl* tree_ = nullptr;
  CTaskList tasks_;
  std::unordered_map<const CTask*, QTreeWidgetItem*> rows_;
  OutputSettings settings_;
  std::string profileName_;
  int32_t profileIndex_ = 1;
  std::string profileLine_;
  DvdLoadReport loadReport_;
  bool notify_ = true;
  int waitCursors_ = 0;
  std::unique_ptr<IDvdDriveList> systemDrives_;
  IDvdDriveList* driveList_;
  std::vector<DvdDrive> drives_;  // as the drive popup last listed them
  std::vector<std::string> driveTexts_;
  IPreviewPanel* preview_ = nullptr;
  // The panel the window makes itself when none was given.
  std::unique_ptr<CSnapshotFolderSetting> snapshotFolder_;
  std::unique_ptr<CDlgPreview> ownPreview_;
  std::unique_ptr<IPreviewPanel> ownPreviewLink_;
};
