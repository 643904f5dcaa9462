#include "frontend/app/registry.h"

#include "frontend/app/ini_access.h"
#include "frontend/app/user_folders.h"
#include "platform/program_folder.h"

namespace {

constexpr const char* kMissing = "\x01missing";

bool SplitValuePath(std::string_view path, std::string_view& key, std::string_view& name) {
  size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos || slash == 0) return false;
  key = path.substr(0, slash);
  name = path.substr(slash + 1);
  return !name.empty();
}

bool ReadFrom(const std::string& file, std::string_view key, std::string_view name, std::string& value,
              size_t capacity) {
  std::string text = ReadIniString(file, key, name, kMissing);
  if (text == kMissing || text.size() + 1 > capacity) return false;
  value = text;
  return true;
}

}  // namespace

RegistryFiles DefaultRegistryFiles() {
  RegistryFiles files;
  files.machine = BesideProgram("registry.ini");
  files.user = GetUserConfigDir() + "/registry.ini";
  return files;
}

bool RegistryReadValue(const RegistryFiles& files, std::string_view valuePath, std::string& value, size_t capacity) {
  std::string_view key, name;
  if (!SplitValuePath(valuePath, key, name)) return false;
  // A key the machine file holds is answered there, found or not.
  const std::string& file = IniHasSection(files.machine, key) ? files.machine : files.user;
  return ReadFrom(file, key, name, value, capacity);
}

bool RegistryWriteValue(const RegistryFiles& files, std::string_view valuePath, std::string_view value) {
  std::string_view key, name;
  if (!SplitValuePath(valuePath, key, name)) return false;
  if (WriteIniString(files.machine, key, name, value)) return true;
  size_t slash = files.user.rfind('/');
  if (slash != std::string::npos && slash > 0) MakeFolders(files.user.substr(0, slash));
  return WriteIniString(files.user, key, name, value);
}

bool ClassesRootReadDefault(const RegistryFiles& files, std::string_view keyPath, std::string& value, size_t capacity) {
  std::string key = "SOFTWARE\\Classes\\" + std::string(keyPath);
  for (const std::string* file : {&files.machine, &files.user}) {
    if (IniHasSection(*file, key)) return ReadFrom(*file, key, "@", value, capacity);
  }
  return false;
}
