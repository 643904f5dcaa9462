// The "Video filter" and "Audio filter" pages of the filter property sheet:
// a task's filter chain in order, with adding a filter picked from the
// installed descriptions, configuring, deleting and moving entries. Every
// change goes into the task at once.
#pragma once

#include <string>
#include <vector>

#include "frontend/controls/prop_sheet.h"
#include "frontend/dialogs/filter_dialog_table.h"
#include "frontend/model/profile_db.h"

class CDragListCtrl;
class CTask;

constexpr int IDD_VIDEO_FILTER = 119;
constexpr int IDD_AUDIO_FILTER = 147;
constexpr int IDC_FILTERS = 1001;
constexpr int IDC_FILTER_ADD = 1000;
constexpr int IDC_FILTER_CONFIG = 1128;
constexpr int IDC_FILTER_DELETE = 1099;
constexpr int IDC_FILTER_UP = 1101;
constexpr int IDC_FILTER_DOWN = 1104;

// The type column's texts by the entry's flags.
inline constexpr char kFilterManual[] = "Manual";
inline constexpr char kFilterAutomatic[] = "Automatic";
inline constexpr char kFilterAutomaticRemovable[] = "Automatic(Removable)";

class CFilterListPage : public CPropertyPage {
 public:
  // audio: which list of the task; preview and dataFolder: for dialogs that
  // show a frame of the source.
  CFilterListPage(bool audio, CTask& task, const PreviewFrameOptions& preview, std::string dataFolder);
  ~CFilterListPage() override;

  // The installed descriptions of the page's kind. Without a call before the
  // page opens they are read from the filter folder.
  void SetDescriptions(std::vector<FilterDesc> descriptions);
  const std::vector<FilterDesc>& Descriptions() const { return descriptions_; }

  bool IsAudio() const { return audio_; }
  CDragListCtrl* List() const { return list_; }
  // The working items, in row order.
  const std::vector<FilterItem>& Items() const { return items_; }

  bool OnSetActive() override;
  bool OnCommand(int id, int code) override;

  // The buttons' actions.
  void AddFilter();
  void ConfigSelected();
  void DeleteSelected();
  void MoveSelected(int delta);

 protected:
  bool OnInitDialog() override;

 private:
  std::vector<FilterEntry>& Entries();
  void Fill();
  void UpdateConfigButton();
  bool Configure(FilterItem& item);

  bool audio_;
  CTask& task_;
  PreviewFrameOptions preview_;
  std::string dataFolder_;
  std::vector<FilterDesc> descriptions_;
  bool haveDescriptions_ = false;
  std::vector<FilterItem> items_;
  CDragListCtrl* list_ = nullptr;
};

// The video filter list.
class CDlgFilter : public CFilterListPage {
 public:
  CDlgFilter(CTask& task, const PreviewFrameOptions& preview, std::string dataFolder)
      : CFilterListPage(false, task, preview, std::move(dataFolder)) {}
};

// The audio filter list.
class CDlgAFilter : public CFilterListPage {
 public:
  CDlgAFilter(CTask& task, const PreviewFrameOptions& preview, std::string dataFolder)
      : CFilterListPage(true, task, preview, std::move(dataFolder)) {}
};
