#include "frontend/dialogs/dlg_log.h"

#include "frontend/dialogs/log_list.h"
#include "frontend/model/log_reader.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_LOG,
    "Log window",
    300,
    200,
    {
        {CtrlKind::Placeholder, IDC_LOG_LIST, "", 7, 7, 286, 165},
        {CtrlKind::DefPushButton, IDOK, "OK", 243, 179, 50, 14},
    },
};

}  // namespace

CDlgLog::CDlgLog(QWidget* parent, const LogLines* lines)
    : UiDialog(kTemplate, parent), lines_(lines ? *lines : TheLogLines()) {}

bool CDlgLog::OnInitDialog() {
  // The list is made when the window opens: it shows the lines of that moment.
  list_ = SubclassItem(IDC_LOG_LIST, new CLogListCtrl(lines_));
  return true;
}
