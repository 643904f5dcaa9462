#include "frontend/app/snapshot_folder.h"

#include "frontend/app/app_settings.h"
#include "frontend/app/ini_access.h"
#include "frontend/app/user_folders.h"

namespace {
constexpr size_t kSnapOutPathMax = 250;
}

std::string CSnapshotFolderSetting::Read() {
  std::string path = ReadIniString(SettingsFilePath(), "CONFIG", "SNAPOUTPATH", "");
  if (!path.empty() && path.size() <= kSnapOutPathMax) return path;
  path = GetDefaultOutputDir() + "/Snapshot";
  MakeFolders(path);
  return path;
}

bool CSnapshotFolderSetting::Write(const std::string& folder) {
  if (folder.size() > kSnapOutPathMax) return false;
  return WriteIniString(SettingsFilePath(), "CONFIG", "SNAPOUTPATH", folder);
}
