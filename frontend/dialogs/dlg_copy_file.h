// "Copy file": the converted files with their sizes, a tree of volumes and
// folders to check one destination in, and a bar of the destination's disk
// space with what the copy would add; "Copy to folder" runs the progress
// window and marks each row "Copyed" or "Error".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frontend/model/convert_now.h"
#include "frontend/ui/ui_dialog.h"

class CFolderCheckTree;
class CSkinProgressCtrl;
class CDlgFolderCopy;
class IVolumeList;
class QTreeWidget;

constexpr int IDD_COPY_FILE = 209;
constexpr int IDC_COPY_FILES = 1079;
constexpr int IDC_COPY_SPACE = 1096;
constexpr int IDC_COPY_TREE = 1105;
constexpr int IDC_COPY_VIEW = 1260;
constexpr int IDC_COPY_TO_FOLDER = 1261;

class CDlgCopyFile : public UiDialog {
 public:
  CDlgCopyFile();
  ~CDlgCopyFile() override;

  // The output folder and the results (not owned).
  void SetSource(const std::string& folder, std::vector<ConvertResult>* results);
  // The volumes the tree offers (not owned; the system's when none is set).
  void SetVolumeList(IVolumeList* volumes) { volumes_ = volumes; }
  // Called with each progress window before it runs (tests look inside).
  void SetCopyHook(std::function<void(CDlgFolderCopy&)> hook) { copyHook_ = std::move(hook); }

  CFolderCheckTree* Tree() const { return tree_; }
  CSkinProgressCtrl* SpaceBar() const { return space_; }
  QTreeWidget* Files() const { return files_; }
  const std::string& Destination() const { return destination_; }
  int64_t AppendingTotal() const { return appending_; }

  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  std::string FindDestination() const;
  void ShowSpace();
  void OnView();
  void OnCopy();

  std::string source_;
  std::vector<ConvertResult>* results_ = nullptr;
  IVolumeList* volumes_ = nullptr;
  std::function<void(CDlgFolderCopy&)> copyHook_;
  std::string destination_;
  int64_t total_ = 0;
  int64_t free_ = 0;
  int64_t appending_ = 0;
  CFolderCheckTree* tree_ = nullptr;
  CSkinProgressCtrl* space_ = nullptr;
  QTreeWidget* files_ = nullptr;
};

// Opens a folder with the desktop; says "Please select a folder." for none,
// and the two folder messages when it cannot be opened.
void ViewDestinationFolder(QWidget* owner, const std::string& folder);
