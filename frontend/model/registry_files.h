// Registry values in two ini files: the machine's "<program folder>/registry.ini"
// and the user's "<settings folder>/registry.ini". A key is an ini section
// named by its path ("SOFTWARE\Microsoft\...\Drivers32"), a value a key of it,
// "@" the default value. Classes-root keys live under "SOFTWARE\Classes\".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct RegistryFiles {
  std::string machine;
  std::string user;
};

// Reads "key path\value name". The machine file answers when it holds the
// key; only when it does not is the user file asked. False when the value is
// missing or does not fit capacity - 1 bytes (it is never cut).
bool RegistryReadValue(const RegistryFiles& files, std::string_view valuePath, std::string& value, size_t capacity);
// Writes "key path\value name" into the machine file, or into the user file
// (its folder created) when the machine file cannot be written.
bool RegistryWriteValue(const RegistryFiles& files, std::string_view valuePath, std::string_view value);
// REG_DWORD values, kept as "dword:" and eight hexadecimal digits. Reading is
// false when the value is missing or not in that form.
bool RegistryReadDword(const RegistryFiles& files, std::string_view valuePath, uint32_t& value);
bool RegistryWriteDword(const RegistryFiles& files, std::string_view valuePath, uint32_t value);
// The default value of a classes-root key (machine file first, then user).
bool ClassesRootReadDefault(const RegistryFiles& files, std::string_view keyPath, std::string& value, size_t capacity);

// The user's file: "registry.ini" in the per-user settings folder; empty when
// there is none.
std::string UserRegistryFile();
