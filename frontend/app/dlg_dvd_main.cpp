#include "frontend/app/dlg_dvd_main.h"

#include "frontend/app/product.h"
#include "frontend/controls/column_tree.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_DVD_MAIN,
    "",
    540,
    262,
    {
        {CtrlKind::Placeholder, IDC_TITLE_TREE, "", 7, 20, 339, 145},
    },
};

const std::vector<MenuItem> kMenu = {
    {"&File", 0, {{"&Exit", ID_FILE_EXIT, {}}}},
};

struct ColumnRow {
  const char* text;
  int width;
};
constexpr ColumnRow kColumns[] = {
    {"Title", 150}, {"Duration", 80}, {"Estimated size", 95}, {"Output size", 95}, {"Status", 60},
};

}  // namespace

CDlgDvdMain::CDlgDvdMain(QWidget* parent) : UiDialog(kTemplate, parent) {
  tree_ = SubclassItem(IDC_TITLE_TREE, new CColumnTreeCtrl);
}

bool CDlgDvdMain::OnInitDialog() {
  setWindowTitle(QString::fromUtf8(kProductDisplayName));
  SetMenu(kMenu);
  for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
    tree_->InsertColumn(i, QString::fromUtf8(kColumns[i].text), HDF_LEFT, kColumns[i].width);
  }
  CCustomTreeChildCtrl& tree = tree_->Tree();
  tree.SetStateImageList(CreateCheckBoxImageList(16, Qt::white, true));
  tree.ModifyTreeStyle(0, TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_FULLROWSELECT);
  tree_->OnInitialize();
  return true;
}

bool CDlgDvdMain::OnCommand(int id, int code) {
  if (id == ID_FILE_EXIT) {
    EndDialog(IDOK);
    return true;
  }
  return UiDialog::OnCommand(id, code);
}
