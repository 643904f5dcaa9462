// Plug-in exports: one video encoder, "[PLUGIN]MPEG4".
#include <cstdint>

#include "platform/win_types.h"
#include "plugin-api/plugin_helpers.h"
#include "plugins/mpeg4enc/mpeg4_encoder.h"

namespace {

ModuleRecord g_records[1] = {MakeCoderRecord("[PLUGIN]MPEG4", MEDIATYPE_Video, MEDIASUBTYPE_YV12, MEDIATYPE_Video,
                                             FourccGuid(kMpeg4OutputFourcc))};

}  // namespace

TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) {
  if (records == nullptr) return 0;
  *records = g_records;
  return 1;
}

TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (PluginRecordIndex(params) != 0) return E_INVALIDARG;
  return PluginHandOut(CMpeg4Encoder::Create(params), object);
}
