// Video codec drivers shaped like Video for Windows compressors, on our own
// terms: a codec is a shared object exporting
//   extern "C" intptr_t DriverProc(uintptr_t driverId, void* driver,
//                                  uint32_t msg, intptr_t lParam1, intptr_t lParam2);
// named in the registry files by the value "<type>.<handler>" ("vidc.vp62") of
// the Drivers32 key, as an absolute path or a bare file name in the plug-in
// folder. Opening an instance loads the library (DRV_LOAD and DRV_ENABLE once
// per library) and sends DRV_OPEN with an ICOPEN record; the driver's answer is
// the instance's driver id for every later message. Closing sends DRV_CLOSE,
// and the last instance of a library DRV_DISABLE and DRV_FREE before it is
// unloaded. User-interface thread; the table of loaded libraries is locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "frontend/model/registry_files.h"
#include "platform/win_types.h"

using DriverProcFn = intptr_t (*)(uintptr_t driverId, void* driver, uint32_t msg, intptr_t lParam1, intptr_t lParam2);
inline constexpr const char* kDriverProcName = "DriverProc";
inline constexpr const char* kDrivers32Key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

// Driver messages.
constexpr uint32_t DRV_LOAD = 0x0001;
constexpr uint32_t DRV_ENABLE = 0x0002;
constexpr uint32_t DRV_OPEN = 0x0003;
constexpr uint32_t DRV_CLOSE = 0x0004;
constexpr uint32_t DRV_DISABLE = 0x0005;
constexpr uint32_t DRV_FREE = 0x0006;
// Compressor messages.
constexpr uint32_t ICM_GETSTATE = 0x5000;          // (buffer or 0, size): the state's size with no buffer
constexpr uint32_t ICM_SETSTATE = 0x5001;          // (state, size): bytes taken, 0 when refused
constexpr uint32_t ICM_CONFIGURE = 0x500A;         // (window, 0): the driver's own dialog
constexpr intptr_t ICMF_CONFIGURE_QUERY = 0x0001;  // ICM_CONFIGURE (-1, this): ICERR_OK when it has one

constexpr uint32_t ICMODE_COMPRESS = 1;
constexpr uint32_t ICMODE_DECOMPRESS = 2;
constexpr FOURCC ICTYPE_VIDEO = MakeFourcc('V', 'I', 'D', 'C');

// Driver answers.
constexpr intptr_t ICERR_OK = 0;
constexpr intptr_t ICERR_UNSUPPORTED = -1;
constexpr intptr_t ICERR_BADSIZE = -7;
constexpr intptr_t ICERR_BADHANDLE = -8;
constexpr intptr_t ICERR_ABORT = -10;

// What DRV_OPEN gets in lParam2; the driver may set dwError.
struct ICOPEN {
  uint32_t dwSize;
  FOURCC fccType;
  FOURCC fccHandler;
  uint32_t dwVersion;
  uint32_t dwFlags;  // ICMODE_*
  intptr_t dwError;
  void* pV1Reserved;
  void* pV2Reserved;
  uint32_t dnDevNode;
};

// Where drivers are looked up.
struct VfwDriverFolders {
  RegistryFiles registry;
  std::string pluginFolder;  // bare file names in the registry live here
};
// "<program folder>/registry.ini", "$XDG_CONFIG_HOME/velmo/registry.ini" and
// "<program folder>/plugin"; the application sets its own at start-up.
VfwDriverFolders DefaultVfwDriverFolders();
void SetVfwDriverFolders(const VfwDriverFolders& folders);
VfwDriverFolders GetVfwDriverFolders();

// "vidc.vp62" for ('VIDC', 'VP62'): both codes lower-cased, trailing blanks
// dropped; empty when a code holds a byte that cannot be part of a value name.
std::string VfwDriverValueName(FOURCC type, FOURCC handler);
// The driver file the registry names for the pair; empty (and why) when there
// is none, the value is not an absolute path or a bare file name, or the file
// is not a regular file of at most 259 bytes of path.
std::string FindVfwDriverFile(const VfwDriverFolders& folders, FOURCC type, FOURCC handler, std::string* why = nullptr);

class VfwInstance;
using HIC = VfwInstance*;

// Opens an instance of the registered driver; null (and why) when it cannot
// be found or loaded, exports no DriverProc, or refuses to load or open.
HIC ICOpen(FOURCC type, FOURCC handler, uint32_t mode, std::string* why = nullptr);
// The same with a driver file given directly.
HIC ICOpenFile(const std::string& file, FOURCC type, FOURCC handler, uint32_t mode, std::string* why = nullptr);
// Closes an instance; ICERR_OK, or ICERR_BADHANDLE for null.
intptr_t ICClose(HIC hic);
// The driver's answer; ICERR_BADHANDLE for null.
intptr_t ICSendMessage(HIC hic, uint32_t msg, intptr_t lParam1, intptr_t lParam2);

// ICERR_OK when the driver has a configuration dialog.
inline intptr_t ICQueryConfigure(HIC hic) { return ICSendMessage(hic, ICM_CONFIGURE, -1, ICMF_CONFIGURE_QUERY); }
// Shows the driver's dialog owned by a window id (0 for none).
inline intptr_t ICConfigure(HIC hic, intptr_t window) { return ICSendMessage(hic, ICM_CONFIGURE, window, 0); }
inline intptr_t ICGetStateSize(HIC hic) { return ICSendMessage(hic, ICM_GETSTATE, 0, 0); }
inline intptr_t ICGetState(HIC hic, void* state, uint32_t size) {
  return ICSendMessage(hic, ICM_GETSTATE, reinterpret_cast<intptr_t>(state), size);
}
inline intptr_t ICSetState(HIC hic, const void* state, uint32_t size) {
  return ICSendMessage(hic, ICM_SETSTATE, reinterpret_cast<intptr_t>(state), size);
}

struct IcCloser {
  void operator()(HIC hic) const { ICClose(hic); }
};
// An instance closed when it goes.
using UniqueHic = std::unique_ptr<VfwInstance, IcCloser>;
