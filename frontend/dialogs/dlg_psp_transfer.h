// "PSP transfer": copies video and audio files onto the portable player
// mounted as a removable volume, into the folders it reads and under its file
// names. Removable volumes are polled every second; the one holding a "PSP"
// folder is preferred. The list of files can be added to, pruned and
// reordered; "Copy to PSP" copies the pending ones in "Copy progress".
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "frontend/dialogs/dlg_folder_copy.h"
#include "frontend/model/psp_transfer.h"
#include "frontend/model/volumes.h"

class CDragListCtrl;
class CSkinProgressCtrl;
class QComboBox;

constexpr int IDD_PSP_TRANSFER = 116;
constexpr int IDD_PSP_COPY = 191;
constexpr int IDC_PSP_VIEW = 1000;
constexpr int IDC_PSP_COPY = 1022;
constexpr int IDC_PSP_FILES = 1079;
constexpr int IDC_PSP_DRIVES = 1082;
constexpr int IDC_PSP_TOOLBAR = 1087;
constexpr int IDC_PSP_SPACE = 1096;
constexpr int ID_PSP_ADD = 32771;
constexpr int ID_PSP_REMOVE = 32772;
constexpr int ID_PSP_UP = 32773;
constexpr int ID_PSP_DOWN = 32774;
constexpr int kPspPollTimer = 500;

inline constexpr char kPspNotConnected[] = "PSP NOT CONNECTED";

// Copies the pending items onto the device: makes the device folders, then
// each file under MakePspTargetName, with its ".THM" beside it.
class CDlgPspCopy : public CCopyProgressDialog {
 public:
  CDlgPspCopy();
  // Not owned.
  void SetItems(std::vector<PspCopyItem*> items, const std::string& root) {
    items_ = std::move(items);
    root_ = root;
  }

 protected:
  int64_t ComputeTotal() const override;
  void Work() override;

 private:
  std::vector<PspCopyItem*> items_;
  std::string root_;
};

class CDlgPspTransfer : public UiDialog {
 public:
  CDlgPspTransfer();
  ~CDlgPspTransfer() override;

  // Preset files for the next DoModal (results may be null).
  void SetFiles(std::vector<ConvertResult>* results, const std::string& folder, int width, int height, bool h264);
  // The volumes polled (not owned; the system's when none is set).
  void SetVolumeList(IVolumeList* volumes) { volumes_ = volumes; }
  // Called with each copy window before it runs.
  void SetCopyHook(std::function<void(CDlgPspCopy&)> hook) { copyHook_ = std::move(hook); }
  // The probe number of the media scan used by "add files".
  void SetProbeNumber(int32_t number) { probeNumber_ = number; }

  // Appends a row for a file of that video size (0, 0 for audio).
  void AddItem(const std::string& path, int width, int height, bool h264);

  const std::string& CurrentDrive() const { return drive_; }
  int64_t AppendingTotal() const { return appending_; }
  // The list's rows can be dragged to a new place; each row holds its item.
  CDragListCtrl* Files() const { return files_; }
  QComboBox* Drives() const { return drives_; }
  CSkinProgressCtrl* SpaceBar() const { return space_; }
  // The rows' items, in row order.
  std::vector<PspCopyItem*> Items() const;

  bool OnCommand(int id, int code) override;
  void OnTimer(int id) override;

 protected:
  bool OnInitDialog() override;
  void OnDestroy() override;

 private:
  void FillDrives(const std::vector<std::string>& roots);
  void SelectDrive();
  void ShowSpace();
  void OnAddFiles();
  void OnRemove();
  void OnMove(int delta);
  void OnCopy();
  void OnView();
  void OnDriveChanged();
  int SelectedRow() const;
  PspCopyItem* RowItem(int row) const;

  std::vector<ConvertResult>* presets_ = nullptr;
  std::string presetFolder_;
  int width_ = 0, height_ = 0;
  bool h264_ = false;
  int32_t probeNumber_ = 0;
  IVolumeList* volumes_ = nullptr;
  std::unique_ptr<IVolumeList> systemVolumes_;
  std::function<void(CDlgPspCopy&)> copyHook_;
  std::string drive_;
  int64_t total_ = 0, free_ = 0, appending_ = 0;
  std::vector<std::unique_ptr<PspCopyItem>> items_;  // owned here, in no order
  CSkinProgressCtrl* space_ = nullptr;
  QComboBox* drives_ = nullptr;
  CDragListCtrl* files_ = nullptr;
};
