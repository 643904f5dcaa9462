#include "frontend/app/app_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frontend/app/ini_access.h"
#include "frontend/app/user_folders.h"
#include "frontend/model/task.h"

namespace {
constexpr size_t kConvertOutPathMax = 250;
}

std::string SettingsFilePath() { return GetUserConfigDir() + "/setting.ini"; }

OptionSettings* GetOptionSettings() {
  static OptionSettings options;
  return &options;
}

void LoadOptionSettingsFrom(const std::string& iniPath) {
  OptionSettings* o = GetOptionSettings();
  o->mode = ReadIniInt(iniPath, "OPTION", "MODE", 4);
  o->preframe = ReadIniInt(iniPath, "OPTION", "PREFRAME", 2);
  o->overwrite = ReadIniInt(iniPath, "OPTION", "OVERWRITE", 0);
  o->presec = ReadIniInt(iniPath, "OPTION", "PRESEC", 20);
}

void LoadOptionSettings() { LoadOptionSettingsFrom(SettingsFilePath()); }

std::string ReadConvertOutPath() {
  std::string path = ReadIniString(SettingsFilePath(), "CONFIG", "CONVERTOUTPATH", "");
  // A value too long for its field is not cut into another folder's name.
  if (path.empty() || path.size() > kConvertOutPathMax) return GetDefaultOutputDir();
  return path;
}

bool WriteConvertOutPath(const std::string& path) {
  return WriteIniString(SettingsFilePath(), "CONFIG", "CONVERTOUTPATH", path);
}

CTask& GetDefaultTask() {
  static CTask task;
  return task;
}

void SetDefaultTaskFrom(const CTask& task) { GetDefaultTask().CopySettings(task); }

int64_t GetFileSize64(const std::string& path) {
  // Non-blocking, so that a named pipe does not hang the caller.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st;
  int64_t size = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
  close(fd);
  return size;
}
