// Broken test plug-in: both exports, no records.
#include "plugin-api/plugin_exports.h"

TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) {
  *records = nullptr;
  return 0;
}

TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList*, void** object) {
  *object = nullptr;
  return E_FAIL;
}
