// Codecs installed outside the system: the VP6 video codec (a shared object
// named by the registry value "vidc.vp62" of the Drivers32 key, exporting
// "DriverProc") and the RealMedia decoders (a folder named by a classes-root
// key holding "drvc.so" or "cook3260.so").
#pragma once

#include <string>

#include "frontend/app/registry.h"

inline constexpr const char* kVp6DriverValue = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32\\vidc.vp62";
inline constexpr const char* kVp6CodecFile = "plugin/vp6vfw.so";

// The registered VP6 codec loads and exports "DriverProc".
bool IsVp6Installed(const RegistryFiles& files = DefaultRegistryFiles());
// Registers "<program folder>/plugin/vp6vfw.so" as "vidc.vp62"; false when the
// file is missing or no registry file can be written.
bool RegisterVp6Codec(const std::string& programFolder, const RegistryFiles& files = DefaultRegistryFiles());
bool RegisterVp6Codec();
// A RealMedia codec folder with one of its decoders exists.
bool IsRealMediaInstalled(const RegistryFiles& files = DefaultRegistryFiles());
