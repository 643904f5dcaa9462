#include "frontend/dialogs/dlg_filter_list.h"

#include <QListWidget>

#include "frontend/ui/message_box.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_FILTER_LIST,
    "Filter list",
    230,
    170,
    {
        {CtrlKind::ListBox, IDC_FILTER_LIST, "", 7, 7, 216, 100},
        {CtrlKind::Text, IDC_FILTER_DESCRIPTION, "", 7, 112, 216, 32},
        {CtrlKind::DefPushButton, IDOK, "OK", 119, 149, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 173, 149, 50, 14},
    },
};

}  // namespace

CDlgFilterList::CDlgFilterList(QWidget* parent) : UiDialog(kTemplate, parent) {}

bool CDlgFilterList::OnInitDialog() {
  auto* list = ItemAs<QListWidget>(IDC_FILTER_LIST);
  if (catalogue_ != nullptr)
    for (const FilterDesc& desc : *catalogue_) list->addItem(QString::fromStdString(desc.displayName));
  return true;
}

const FilterDesc* CDlgFilterList::Selected() const {
  const int row = ItemAs<QListWidget>(IDC_FILTER_LIST)->currentRow();
  if (catalogue_ == nullptr || row < 0 || row >= static_cast<int>(catalogue_->size())) return nullptr;
  return &(*catalogue_)[static_cast<size_t>(row)];
}

bool CDlgFilterList::OnCommand(int id, int code) {
  if (id != IDC_FILTER_LIST) return UiDialog::OnCommand(id, code);
  const FilterDesc* desc = Selected();
  if (code == LBN_SELCHANGE) {
    SetItemText(IDC_FILTER_DESCRIPTION, desc != nullptr ? QString::fromStdString(desc->tip) : QString());
  } else if (code == LBN_DBLCLK && desc != nullptr) {
    chosen_ = desc;
    EndDialog(IDOK);
  }
  return true;
}

void CDlgFilterList::OnOK() {
  const FilterDesc* desc = Selected();
  if (desc == nullptr) {
    ShowMessageBox(this, kSelectFilterMessage, nullptr, MB_ICONEXCLAMATION);
    return;
  }
  chosen_ = desc;
  EndDialog(IDOK);
}
