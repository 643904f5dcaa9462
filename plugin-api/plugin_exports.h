// The two functions every plug-in shared object exports. A plug-in defines
// them with exactly these signatures (include this header so the compiler
// checks them):
//
//   TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) { ... }
//   TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object) { ... }
#pragma once

#include <cstdint>

#include "platform/win_types.h"

class CParamList;

#define TRIVOX_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

// Sets *records to the plug-in's ModuleRecord array and returns its length.
// The array and every text it points at stay valid while the library is loaded.
TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records);

// Makes the object of one record. params holds "PATH" (the library's full
// path) and "INDEX" (the record's position, from 0). Reader, writer and coder
// records give a module holding one reference that answers IMRD, IMWR or
// IMTF; filter-object records give an IAudioFilter or IVideoFilter. 0 on
// success, *object null otherwise.
TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object);

using PluginGetRegisterFn = uint32_t (*)(void** records);
using PluginGetObjectFn = HRESULT (*)(CParamList* params, void** object);

constexpr const char kPluginGetRegisterName[] = "DllGetRegister";
constexpr const char kPluginGetObjectName[] = "DllGetObject";
