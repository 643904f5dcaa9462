#include "frontend/app/codec_availability.h"

#include <sys/stat.h>

#include "common/codec_tables.h"
#include "platform/dynamic_library.h"

namespace {

constexpr size_t kPathCapacity = 260;

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return path.size() < kPathCapacity && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool IsVp6Installed(const RegistryFiles& files) {
  std::string path;
  if (!RegistryReadValue(files, kVp6DriverValue, path, kPathCapacity) || path.empty()) return false;
  DynamicLibrary library;
  return library.Open(path) && library.Symbol("DriverProc") != nullptr;
}

bool RegisterVp6Codec(const std::string& programFolder, const RegistryFiles& files) {
  std::string path = programFolder + "/" + kVp6CodecFile;
  if (!IsRegularFile(path)) return false;
  return RegistryWriteValue(files, kVp6DriverValue, path);
}

bool RegisterVp6Codec() { return RegisterVp6Codec(ModulePath()); }

bool IsRealMediaInstalled(const RegistryFiles& files) {
  static const char* const kKeys[] = {"Software\\RealNetworks\\Preferences\\DT_Codecs",
                                      "Helix\\HelixSDK\\10.0\\Preferences\\DT_Codecs"};
  for (const char* key : kKeys) {
    std::string folder;
    if (!ClassesRootReadDefault(files, key, folder, kPathCapacity)) continue;
    // The stored folder ends with its own separator.
    if (IsRegularFile(folder + "drvc.so") || IsRegularFile(folder + "cook3260.so")) return true;
  }
  return false;
}
