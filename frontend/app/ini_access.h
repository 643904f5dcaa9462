// The few ini operations the application needs, over the model's ini files
// (Windows profile-file rules: sections and keys without case, first match
// wins, values trimmed, a quoted value loses its quotes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The key's value, or fallback when the file, section or key is missing.
std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view fallback);
// The integer at the start of the value (ParseIniInt of the model's ini files);
// fallback when the value is missing or empty.
int32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key, int32_t fallback);
// Whether the file holds the section.
bool IniHasSection(const std::string& path, std::string_view section);
// Sets a key, creating the section and the file (not its folder) as needed.
// The file is replaced whole; false when it cannot be written (no folder, a
// read-only file, not a regular file).
bool WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value);
