#include "frontend/app/main_app.h"

#include <QCoreApplication>
#include <memory>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/codec_availability.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/product.h"
#include "frontend/app/user_folders.h"
#include "frontend/ui/message_box.h"

bool CMainApp::InitInstance(const AppStartOptions& options) {
  LoadOptionSettings();
  // Missing table files leave the tables empty; lookups then find nothing.
  LoadCodecTables(ModulePath());
  if (!IsVp6Installed()) RegisterVp6Codec();
  SetAppName(kProductDisplayName);
  QCoreApplication::setApplicationName(QStringLiteral("velmo"));
  if (options.exitAfterInit) return false;

  auto mainWindow = std::make_unique<CDlgDvdMain>();
  mainWindow->DoModal();
  return false;
}

int CMainApp::ExitInstance() {
  FreeCodecTables();
  return 0;
}

std::string CMainApp::StartupReport() const {
  const OptionSettings* o = GetOptionSettings();
  std::string report;
  report += "MODE=" + std::to_string(o->mode) + "\n";
  report += "PREFRAME=" + std::to_string(o->preframe) + "\n";
  report += "OVERWRITE=" + std::to_string(o->overwrite) + "\n";
  report += "PRESEC=" + std::to_string(o->presec) + "\n";
  report += "DATA=" + GetUserDataDir() + "\n";
  report += "OUTPUT=" + ReadConvertOutPath() + "\n";
  report += "CODECS=" + std::to_string(TheVfccTable().Entries().size()) + "\n";
  report += std::string("VP6=") + (IsVp6Installed() ? "1" : "0") + "\n";
  return report;
}
