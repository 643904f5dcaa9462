// The main window: for now its frame, menu and title tree with the five
// columns; the window's commands come with the main window's own work.
#pragma once

#include "frontend/ui/ui_dialog.h"

class CColumnTreeCtrl;

constexpr int IDD_DVD_MAIN = 102;
constexpr int IDC_TITLE_TREE = 1264;
constexpr int ID_FILE_EXIT = 32771;

class CDlgDvdMain : public UiDialog {
 public:
  explicit CDlgDvdMain(QWidget* parent = nullptr);

  CColumnTreeCtrl* TitleTree() const { return tree_; }
  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  // The close box ends the window as Cancel.
  void OnClose() override { EndDialog(IDCANCEL); }

 private:
  CColumnTreeCtrl* tree_ = nullptr;
};
