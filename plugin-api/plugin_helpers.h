// Helpers for plug-in authors: building registration records and handing
// objects out of DllGetObject. The module base classes (media_module.h) and the
// media-type helpers (media_type_helpers.h) are built into this library too.
// Results: HRESULT functions answer S_OK or a failure code.
#pragma once

#include <cstdint>

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
