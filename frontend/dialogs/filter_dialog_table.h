// Configuring one entry of a task's filter lists: the working item the filter
// pages keep per row, the table that picks a filter's own settings dialog by
// its key, and the rule that takes a dialog's text back (accepted only when
// it is shorter than 1,024 bytes with its NUL).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontend/model/crop_resize.h"
#include "frontend/model/profile_db.h"

class CTask;
class IFilterSetup;
class QWidget;
struct FilterEntry;

// One row of a filter page: the entry's key and text with what its
// description says about it.
struct FilterItem {
  std::string key;  // the engine's filter key, e.g. "VRESIZE"
  std::string displayName;
  std::string tip;
  int32_t enableAdv = 0;  // the filter can be configured
  int32_t changeSize = 0;
  int32_t changeFps = 0;
  std::string params;   // parameter text
  int entryIndex = -1;  // the task's entry it mirrors (its place in the list)
  std::vector<OptionDesc> options;
  std::vector<std::string> limits;
};

// An item for a task's entry: from the description of its key (compared
// without case) when there is one, else named by the key and not configurable.
FilterItem MakeFilterItem(const FilterEntry& entry, int entryIndex, const std::vector<FilterDesc>& descriptions);
// An item for a description (key, names, flags, OPTION text, options, limits).
FilterItem MakeFilterItem(const FilterDesc& desc);

// What a settings object is made and finished with.
struct FilterSetupContext {
  QWidget* owner = nullptr;
  CTask* task = nullptr;  // the task whose list holds the item
  const FilterItem* item = nullptr;
  PreviewFrameOptions preview;  // for dialogs that show a frame of the source
  std::string dataFolder;       // where such frames go
};

// A filter with a settings dialog of its own: make gives the object prepared
// for the item (its source set), accepted (may be null) carries what the task
// takes from an accepted dialog besides the text.
struct FilterDialogRow {
  const char* key;
  std::unique_ptr<IFilterSetup> (*make)(const FilterSetupContext& context);
  void (*accepted)(const FilterSetupContext& context, IFilterSetup& setup);
};

// The rows of each list; a key without a row is edited in "Advance settings".
const std::vector<FilterDialogRow>& VideoFilterDialogs();
const std::vector<FilterDialogRow>& AudioFilterDialogs();
const FilterDialogRow* FindFilterDialog(const std::vector<FilterDialogRow>& rows, std::string_view key);

// Gives setup the text, runs it and reads the result back. true, params
// replaced, only when it was accepted and its text with the NUL is shorter
// than 1,024 bytes; otherwise params stays as it was.
bool RunFilterSetup(QWidget* owner, IFilterSetup& setup, std::string& params);

// Configures an item of the video or audio list through its row of the table
// (or "Advance settings" over the item's options): true when its text was
// replaced.
bool EditVideoFilterParams(const FilterSetupContext& context, FilterItem& item);
bool EditAudioFilterParams(const FilterSetupContext& context, FilterItem& item);
