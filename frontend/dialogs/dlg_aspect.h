// The "Resize" page of the filter property sheet: the source and output
// picture sizes of a task, the source and output pixel shapes and the picture
// resize mode. Every choice goes into the task at once and the task lays its
// "VRESIZE" entry out again; "Custom picture resize..." opens the crop,
// resize and pad dialog on that entry.
#pragma once

#include <string>

#include "frontend/controls/prop_sheet.h"
#include "frontend/model/crop_resize.h"

class CTask;

constexpr int IDD_ASPECT = 143;
constexpr int IDC_ASPECT_OUTPUT_SIZE = 1190;
constexpr int IDC_ASPECT_SOURCE_SIZE = 1189;
constexpr int IDC_ASPECT_SOURCE = 1187;
constexpr int IDC_ASPECT_RESIZE_MODE = 1021;
constexpr int IDC_ASPECT_OUTPUT = 1015;
constexpr int IDC_ASPECT_CUSTOM = 1098;

class CDlgAspect : public CPropertyPage {
 public:
  // The task the page edits (the settings dialogs' working copy), the option
  // words of preview frames and the per-user data folder the frames go to.
  CDlgAspect(CTask& task, const PreviewFrameOptions& preview, std::string dataFolder, QWidget* parent = nullptr);
  ~CDlgAspect() override;

  bool OnCommand(int id, int code) override;  // the lists and the button

  // The page becomes the one shown: it reads the task again.
  bool OnSetActive() override;

 protected:
  bool OnInitDialog() override;

 private:
  void Refresh();
  void CustomResize();

  CTask& task_;
  PreviewFrameOptions preview_;
  std::string dataFolder_;
};
