// Runs a filter dialog as the filter list does: SetParams, then Edit with a
// step inside the open dialog; OK is pressed when the step leaves the dialog
// showing (Cancel with cancel). The text read back has no NUL.
#pragma once

#include <functional>
#include <string>
#include <type_traits>

#include "frontend/ui/filter_setup.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/ui_dialog.h"
#include "frontend/ui/win_defs.h"

struct FilterEditRun {
  HRESULT set = E_FAIL;   // what SetParams answered
  HRESULT edit = E_FAIL;  // what Edit answered
  std::string text;       // the accepted text, when Edit gave S_OK
};

template <class Dialog>
FilterEditRun RunFilterEdit(Dialog& dialog, const std::string& params,
                            const std::function<void(std::type_identity_t<Dialog>&)>& step = {}, bool cancel = false) {
  FilterEditRun run;
  run.set = dialog.SetParams(params.c_str(), static_cast<uint32_t>(params.size()));
  ModalScript script;
  script.Then([&](UiDialog&) {
    if (step) step(dialog);
    if (dialog.isVisible()) dialog.OnCommand(cancel ? IDCANCEL : IDOK, BN_CLICKED);
  });
  run.edit = dialog.Edit(nullptr);
  if (run.edit == S_OK && ReadSetupParams(dialog, run.text) == S_OK && !run.text.empty()) run.text.pop_back();
  return run;
}
