// The "File info" sheet of a task: the output file name and rename rule
// ("Filename") and the tags written into the output ("Metadata"). Both pages
// edit the task they are given, and only when the sheet's OK is pressed.
#pragma once

#include <string>

#include "frontend/controls/prop_sheet.h"

class CTask;

constexpr int IDD_OUTPUT_NAMES = 160;
constexpr int IDC_NAMES_SOURCE = 1255;
constexpr int IDC_NAMES_FOLDER = 1025;
constexpr int IDC_NAMES_OUTPUT = 1020;
constexpr int IDC_NAMES_RENAME = 1131;
constexpr int IDC_NAMES_OVERWRITE = 1132;

constexpr int IDD_METADATA = 167;
constexpr int IDC_META_ENABLE = 1226;
constexpr int IDC_META_TITLE = 1217;
constexpr int IDC_META_ARTIST = 1221;
constexpr int IDC_META_TRACK = 1037;
constexpr int IDC_META_ALBUM = 1222;
constexpr int IDC_META_YEAR = 1223;
constexpr int IDC_META_GENRE = 1224;
constexpr int IDC_META_COMMENT = 1225;

class CDlgOutputNames : public CPropertyPage {
 public:
  CDlgOutputNames();
  void SetTask(CTask* task) { task_ = task; }
  // The conversion output folder the page shows.
  void SetOutputFolder(const std::string& folder) { folder_ = folder; }

 protected:
  bool OnInitDialog() override;
  // Takes the typed name; a name that cannot name a file is refused with a
  // message and the page stays.
  bool OnApply() override;

 private:
  CTask* task_ = nullptr;
  std::string folder_;
};

class CDlgMetadata : public CPropertyPage {
 public:
  CDlgMetadata();
  void SetTarget(CTask* task) { task_ = task; }
  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  bool OnApply() override;

 private:
  void EnableFields(bool enable);
  CTask* task_ = nullptr;
};

// Opens the sheet on a task at page 0 (file name) or 1 (metadata); true when
// OK was pressed.
bool RunFileInfoSheet(QWidget* parent, CTask& task, const std::string& outputFolder, int startPage);
