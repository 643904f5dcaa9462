#include "frontend/dialogs/filter_dialog_table.h"

#include <strings.h>

#include <cctype>

#include "frontend/dialogs/adv_codec_setup.h"
#include "frontend/dialogs/dlg_crop_resize.h"
#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/dialogs/filter_entry_edit.h"
#include "frontend/model/task.h"
#include "frontend/model/whole_file.h"

namespace {

// A dialog that needs nothing but the text.
template <class Dialog>
std::unique_ptr<IFilterSetup> MakePlain(const FilterSetupContext&) {
  return std::make_unique<Dialog>();
}

// "VRESIZE": the source picture and a frame of it to crop on.
std::unique_ptr<IFilterSetup> MakeCropResize(const FilterSetupContext& c) {
  auto dialog = std::make_unique<CDlgCropResize>();
  // A job the engine cannot run (a path too long for it) leaves the black frame.
  FrameJob job;
  BuildPreviewJob(*c.task, c.preview, JoinPath(c.dataFolder, "preview.bmp"), job);
  dialog->SetSource(c.task->sourceVideo.width, c.task->sourceVideo.height, c.task->GetSourceAspect(),
                    c.task->GetTargetAspect(), job, c.dataFolder);
  return dialog;
}

void CropResizeAccepted(const FilterSetupContext& c, IFilterSetup& setup) {
  c.task->scaleMode = static_cast<CDlgCropResize&>(setup).ScaleMode();
}

// "VWATERMARK": the output frame the picture sits on.
std::unique_ptr<IFilterSetup> MakeWatermark(const FilterSetupContext& c) {
  auto dialog = std::make_unique<CDlgWatermark>();
  dialog->SetSource(c.task->outputVideo.width, c.task->outputVideo.height, c.task->GetTargetAspect());
  return dialog;
}

std::string Upper(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return text;
}

bool EditFilterParams(const std::vector<FilterDialogRow>& rows, const FilterSetupContext& context, FilterItem& item) {
  FilterSetupContext c = context;
  c.item = &item;
  if (const FilterDialogRow* row = FindFilterDialog(rows, item.key)) {
    std::unique_ptr<IFilterSetup> setup = row->make(c);
    if (!setup || !RunFilterSetup(c.owner, *setup, item.params)) return false;
    if (row->accepted != nullptr) row->accepted(c, *setup);
    return true;
  }
  CAdvCodecSetup setup;
  setup.Attach(&item.options, &item.limits);
  setup.SetTitles(Upper(item.displayName), "");
  return RunFilterSetup(c.owner, setup, item.params);
}

}  // namespace

const std::vector<FilterDialogRow>& VideoFilterDialogs() {
  static const std::vector<FilterDialogRow> rows = {
      {"VRESIZE", MakeCropResize, CropResizeAccepted},
      {"VSUBTITLE", MakePlain<CDlgSubtitle>, nullptr},
      {"VWATERMARK", MakeWatermark, nullptr},
      {"VLEVELS", MakePlain<CDlgLevels>, nullptr},
      {"VTWEAK", MakePlain<CDlgTweak>, nullptr},
  };
  return rows;
}

const std::vector<FilterDialogRow>& AudioFilterDialogs() {
  static const std::vector<FilterDialogRow> rows = {
      {"AEQ", MakePlain<CDlgEqualizer>, nullptr},
  };
  return rows;
}

const FilterDialogRow* FindFilterDialog(const std::vector<FilterDialogRow>& rows, std::string_view key) {
  const std::string name(key);
  for (const FilterDialogRow& row : rows)
    if (strcasecmp(row.key, name.c_str()) == 0) return &row;
  return nullptr;
}

FilterItem MakeFilterItem(const FilterDesc& desc) {
  FilterItem item;
  item.key = desc.name;
  item.displayName = desc.displayName;
  item.tip = desc.tip;
  item.enableAdv = desc.enableAdv;
  item.changeSize = desc.changeSize;
  item.changeFps = desc.changeFps;
  item.params = desc.option;
  item.options = desc.options;
  item.limits = desc.limits;
  return item;
}

FilterItem MakeFilterItem(const FilterEntry& entry, int entryIndex, const std::vector<FilterDesc>& descriptions) {
  const std::string key(entry.key, strnlen(entry.key, sizeof(entry.key)));
  FilterItem item;
  bool found = false;
  for (const FilterDesc& desc : descriptions)
    if (strcasecmp(desc.name.c_str(), key.c_str()) == 0) {
      item = MakeFilterItem(desc);
      found = true;
      break;
    }
  if (!found) {
    item.key = key;
    item.displayName = key;
    item.enableAdv = 0;
  }
  item.params = entry.params;
  item.entryIndex = entryIndex;
  return item;
}

bool RunFilterSetup(QWidget* owner, IFilterSetup& setup, std::string& params) {
  if (setup.SetParams(params.c_str(), static_cast<uint32_t>(params.size() + 1)) != S_OK) return false;
  if (setup.Edit(owner) != S_OK) return false;
  std::string text;
  if (ReadSetupParams(setup, text) != S_OK || text.size() >= kFilterDialogTextLimit) return false;
  params = text.substr(0, text.find('\0'));
  return true;
}

bool EditVideoFilterParams(const FilterSetupContext& context, FilterItem& item) {
  return EditFilterParams(VideoFilterDialogs(), context, item);
}

bool EditAudioFilterParams(const FilterSetupContext& context, FilterItem& item) {
  return EditFilterParams(AudioFilterDialogs(), context, item);
}
