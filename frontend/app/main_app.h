// The application: start-up (options, codec tables, the VP6 codec, the
// application name), the main window's modal loop, and shut-down.
#pragma once

#include <string>

struct AppStartOptions {
  bool exitAfterInit = false;  // stop after start-up, without the main window
};

class CMainApp {
 public:
  // Start-up; then the main window runs until it closes. Always false: the
  // process ends after ExitInstance.
  bool InitInstance(const AppStartOptions& options);
  int ExitInstance();
  // What start-up found, one "NAME=value" line each.
  std::string StartupReport() const;
};
