#include "frontend/app/ini_access.h"

#include "frontend/model/ini_file.h"
#include "frontend/model/output_names.h"

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view fallback) {
  IniDocument doc;
  std::string value;
  if (doc.LoadFile(path) && doc.Find(section, key, &value)) return value;
  return std::string(fallback);
}

int32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key, int32_t fallback) {
  IniDocument doc;
  std::string value;
  if (!doc.LoadFile(path) || !doc.Find(section, key, &value) || value.empty()) return fallback;
  return ParseIniInt(value);
}

bool IniHasSection(const std::string& path, std::string_view section) {
  IniDocument doc;
  if (!doc.LoadFile(path)) return false;
  for (const std::string& name : doc.SectionNames())
    if (EqualsIgnoringCase(name, section)) return true;
  return false;
}

bool WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
  if (key.empty()) return false;
  const std::string s(section), k(key), v(value);
  return IniWriteString(s.c_str(), k.c_str(), v.c_str(), path.c_str()) == 1;
}
