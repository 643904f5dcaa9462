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
};

class CMainApp {
 public:
  // Start-up; then the main window runs until it closes. Always false: the
  // process ends after ExitInstance.
  bool InitInstance(const AppStartOptions& options);
  // The process's exit status: 0, or 1 when a start-up load or screenshot failed.
  int ExitInstance();
  // What start-up found, one "NAME=value" line each.
  std::string StartupReport() const;

 private:
  int status_ = 0;
};
