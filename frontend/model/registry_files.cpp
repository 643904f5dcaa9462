#include "frontend/model/registry_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "frontend/model/ini_file.h"
#include "frontend/model/output_names.h"
#include "frontend/model/user_folders.h"

namespace {

bool SplitValuePath(std::string_view path, std::string_view& key, std::string_view& name) {
  size_t slash = path.rfind('\\');
  if (slash == std::string_view::npos || slash == 0) return false;
  key = path.substr(0, slash);
  name = path.substr(slash + 1);
  return !name.empty();
}

bool HasSection(const IniDocument& doc, std::string_view section) {
  for (const std::string& name : doc.SectionNames())
    if (EqualsIgnoringCase(name, section)) return true;
  return false;
}

// The file's document when it holds the key's section.
bool LoadWithSection(const std::string& file, std::string_view key, IniDocument& doc) {
  return doc.LoadFile(file) && HasSection(doc, key);
}

bool ReadFrom(const IniDocument& doc, std::string_view key, std::string_view name, std::string& value,
              size_t capacity) {
  std::string text;
  if (!doc.Find(key, name, &text) || text.size() + 1 > capacity) return false;
  value = text;
  return true;
}

bool WriteTo(const std::string& file, std::string_view key, std::string_view name, std::string_view value) {
  const std::string k(key), n(name), v(value);
  return IniWriteString(k.c_str(), n.c_str(), v.c_str(), file.c_str()) == 1;
}

}  // namespace

bool RegistryReadValue(const RegistryFiles& files, std::string_view valuePath, std::string& value, size_t capacity) {
  std::string_view key, name;
  if (!SplitValuePath(valuePath, key, name)) return false;
  // A key the machine file holds is answered there, found or not.
  IniDocument doc;
  if (!LoadWithSection(files.machine, key, doc) && !doc.LoadFile(files.user)) return false;
  return ReadFrom(doc, key, name, value, capacity);
}

bool RegistryWriteValue(const RegistryFiles& files, std::string_view valuePath, std::string_view value) {
  std::string_view key, name;
  if (!SplitValuePath(valuePath, key, name)) return false;
  if (WriteTo(files.machine, key, name, value)) return true;
  size_t slash = files.user.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    std::error_code ec;
    std::filesystem::create_directories(files.user.substr(0, slash), ec);
  }
  return WriteTo(files.user, key, name, value);
}

bool ClassesRootReadDefault(const RegistryFiles& files, std::string_view keyPath, std::string& value, size_t capacity) {
  std::string key = "SOFTWARE\\Classes\\" + std::string(keyPath);
  for (const std::string* file : {&files.machine, &files.user}) {
    IniDocument doc;
    if (LoadWithSection(*file, key, doc)) return ReadFrom(doc, key, "@", value, capacity);
  }
  return false;
}

bool RegistryReadDword(const RegistryFiles& files, std::string_view valuePath, uint32_t& value) {
  std::string text;
  if (!RegistryReadValue(files, valuePath, text, 64)) return false;
  constexpr std::string_view kPrefix = "dword:";
  if (text.size() != kPrefix.size() + 8 || !EqualsIgnoringCase(text.substr(0, kPrefix.size()), kPrefix)) return false;
  uint32_t result = 0;
  for (char c : text.substr(kPrefix.size())) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return false;
    result = (result << 4) | static_cast<uint32_t>(digit);
  }
  value = result;
  return true;
}

bool RegistryWriteDword(const RegistryFiles& files, std::string_view valuePath, uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "dword:%08x", static_cast<unsigned>(value));
  return RegistryWriteValue(files, valuePath, text);
}

std::string UserRegistryFile() {
  const std::string& config = CurrentUserFolders().config;
  return config.empty() ? std::string() : config + "/registry.ini";
}
