#include "example_dialog.h"

#include "frontend/ui/message_box.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_EXAMPLE,
    "Output name",
    220,
    90,
    {
        {CtrlKind::Text, IDC_STATIC, "&Name:", 7, 9, 40, 8},
        {CtrlKind::Edit, IDC_EXAMPLE_NAME, "", 50, 7, 163, 14},
        {CtrlKind::CheckBox, IDC_EXAMPLE_NUMBERED, "Add a &number:", 7, 28, 80, 10},
        {CtrlKind::Edit, IDC_EXAMPLE_NUMBER, "", 90, 26, 40, 14, kCtrlNumber},
        {CtrlKind::Text, IDC_EXAMPLE_STATUS, "", 7, 50, 206, 8},
        {CtrlKind::DefPushButton, IDOK, "OK", 109, 69, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 163, 69, 50, 14},
    },
};

}  // namespace

CDlgExample::CDlgExample(QWidget* parent) : UiDialog(kTemplate, parent) {}

bool CDlgExample::OnInitDialog() {
  SetItemText(IDC_EXAMPLE_NAME, name);
  SetItemCheck(IDC_EXAMPLE_NUMBERED, numbered ? 1 : 0);
  SetItemInt(IDC_EXAMPLE_NUMBER, number);
  EnableItem(IDC_EXAMPLE_NUMBER, numbered);
  SetTimer(kExampleTimerId, 50);
  return true;
}

bool CDlgExample::OnCommand(int id, int code) {
  if (id == IDC_EXAMPLE_NUMBERED && code == BN_CLICKED) {
    EnableItem(IDC_EXAMPLE_NUMBER, IsItemChecked(IDC_EXAMPLE_NUMBERED));
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgExample::OnOK() {
  QString text = ItemText(IDC_EXAMPLE_NAME).trimmed();
  if (text.isEmpty()) {
    ShowMessageBox(this, "Please enter a name.", nullptr, MB_ICONEXCLAMATION);
    FocusItem(IDC_EXAMPLE_NAME);
    return;
  }
  bool ok = false;
  int value = ItemInt(IDC_EXAMPLE_NUMBER, &ok);
  if (IsItemChecked(IDC_EXAMPLE_NUMBERED) && (!ok || value < 1)) {
    ShowMessageBox(this, "The number must be 1 or more.", nullptr, MB_ICONEXCLAMATION);
    return;
  }
  name = text;
  numbered = IsItemChecked(IDC_EXAMPLE_NUMBERED);
  if (numbered) number = value;
  EndDialog(IDOK);
}

void CDlgExample::OnTimer(int id) {
  if (id != kExampleTimerId) return;
  ++ticks;
  SetItemText(IDC_EXAMPLE_STATUS, QStringLiteral("%1%").arg(progress));
}

intptr_t CDlgExample::OnMessage(const UiMessage& message) {
  if (message.msg == WM_EXAMPLE_PROGRESS) {
    progress = static_cast<int>(message.wParam);
    return 1;
  }
  return 0;
}
