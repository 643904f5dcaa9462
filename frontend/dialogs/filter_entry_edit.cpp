#include "frontend/dialogs/filter_entry_edit.h"

#include <strings.h>

#include <string>

#include "frontend/model/task.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/message_box.h"

namespace {

constexpr int32_t kUserFilterFlags = 2;

}  // namespace

bool EditVideoFilterEntry(QWidget* owner, CTask& task, const char* key, IFilterSetup& setup) {
  CTask scratch;
  scratch.CopySettings(task);
  std::vector<FilterEntry>& filters = scratch.VideoFilters();
  size_t index = 0;
  while (index < filters.size() && strcasecmp(filters[index].key, key) != 0) ++index;
  if (index == filters.size() && scratch.AppendVideoFilter(key, "", kUserFilterFlags) == nullptr) {
    ShowMessageBox(owner, std::string("The filter \"") + key + "\" cannot be added to the task.", nullptr, MB_ICONSTOP);
    return false;
  }
  const std::string& params = filters[index].params;
  setup.SetParams(params.c_str(), static_cast<uint32_t>(params.size() + 1));
  if (setup.Edit(owner) != S_OK) return false;
  std::string text;
  if (ReadSetupParams(setup, text) != S_OK) return false;
  if (text.size() >= kFilterDialogTextLimit) {
    ShowMessageBox(owner, "The filter's settings are too long to keep: shorten the file path.", nullptr,
                   MB_ICONEXCLAMATION);
    return false;
  }
  const size_t nul = text.find('\0');
  filters[index].params = text.substr(0, nul);
  task.CopySettings(scratch);
  return true;
}
