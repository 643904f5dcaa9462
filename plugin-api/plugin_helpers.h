// Helpers for plug-in authors: building registration records and handing
// objects out of DllGetObject. The module base classes (media_module.h) and the
// media-type helpers (media_type_helpers.h) are built into this library too.
// Results: HRESULT functions answer S_OK or a failure code.
#pragma once

#include <cstdint>
#include <iterator>

#include "platform/guid.h"
#include "platform/media_types.h"
#include "plugin-api/module_interfaces.h"
#include "plugin-api/module_record.h"
#include "plugin-api/plugin_exports.h"

// Texts longer than their fields are cut to fit, always NUL-terminated.
// signatures: signatureCount texts such as "0,4,,52494646"; the array must
// outlive the record.
ModuleRecord MakeReaderRecord(const char* name, const char* tag, const char* extensions,
                              const char* const* signatures = nullptr, uint32_t signatureCount = 0);
// Stream limits as minimum/maximum audio and video streams.
ModuleRecord MakeWriterRecord(const char* tag, const char* extension, int32_t minAudio, int32_t maxAudio,
                              int32_t minVideo, int32_t maxVideo);
// An encoder takes MEDIATYPE_Audio/MEDIASUBTYPE_PCM or MEDIATYPE_Video/
// MEDIASUBTYPE_YV12 as input; any other input makes the coder a decoder.
ModuleRecord MakeCoderRecord(const char* name, const GUID& inputMajor, const GUID& inputSubtype,
                             const GUID& outputMajor, const GUID& outputSubtype);
// kind: kRecordAudioFilterObject or kRecordVideoFilterObject.
ModuleRecord MakeFilterObjectRecord(uint32_t kind, const char* name);

// The record position asked for in DllGetObject's parameters, or -1.
int32_t PluginRecordIndex(CParamList* params);

// Stores a new module (holding its one reference) for DllGetObject: 0, or
// E_OUTOFMEMORY when module is null. object may not be null.
HRESULT PluginHandOut(IMediaModule* module, void** object);

// DllGetRegister's body: *out = records, returns count (0 when out is null).
uint32_t PluginListRecords(ModuleRecord* records, uint32_t count, void** out);

// Makes the object of record index (0 <= index < count); null when it cannot.
using PluginMakeFn = void* (*)(CParamList* params, int32_t index);

// DllGetObject's body: E_POINTER without object, E_INVALIDARG for an index
// outside the records, E_OUTOFMEMORY when make gives null, else S_OK.
HRESULT PluginMakeObject(CParamList* params, void** object, uint32_t count, PluginMakeFn make);

// Defines both exports of a plug-in from its record array and its maker.
#define TRIVOX_PLUGIN_EXPORTS(records, make)                                                  \
  TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** out) {                                  \
    return PluginListRecords(records, static_cast<uint32_t>(std::size(records)), out);        \
  }                                                                                           \
  TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object) {              \
    return PluginMakeObject(params, object, static_cast<uint32_t>(std::size(records)), make); \
  }
