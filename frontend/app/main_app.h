// The application: start-up (options, the profile store, codec tables, the
// VP6 codec, the application name), the main window's modal loop, and
// shut-down.
#pragma once

#include <string>

struct AppStartOptions {
  bool exitAfterInit = false;  // stop after start-up, without the main window
  std::string loadDvd;         // a disc, ISO image or DVD folder loaded once the window shows
  // Set: the window is drawn into this PNG once shown (and loaded), its title
  // tree and track lists are printed, message boxes go to standard error, and
  // the window closes.
  std::string screenshot;
  // The output choice: a profile of the profile tree, "NODE/NUMBER"
  // ("V_10_MP4/1") or its display name, taken as it stands.
  std::string profile;
  std::string outputFolder;  // the output folder for this run
  // Convert the checked rows once loaded. With a screenshot the picture is of
  // the completion dialog.
  bool convertChecked = false;
  // Ends once the run ends: the frame-rate list is accepted, the completion
  // dialog closed, the rows printed; status 0 only when every task is "Done".
  bool exitWhenDone = false;
};

class CMainApp {
 public:
  // Start-up; then the main window runs until it closes. Always false: the
  // process ends after ExitInstance.
  bool InitInstance(const AppStartOptions& options);
  // The process's exit status: 0; 1 when a start-up load, a screenshot or
  // an unattended run failed; 2 when the profile asked for is unusable.
  int ExitInstance();
  // What start-up found, one "NAME=value" line each.
  std::string StartupReport() const;

 private:
  int status_ = 0;
};
