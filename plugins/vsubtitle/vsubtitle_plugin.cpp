// Plug-in exports: one video filter object, "VSUBTITLE".
#include <cstdint>

#include "common/param_list.h"
#include "platform/win_types.h"
#include "plugin-api/plugin_helpers.h"
#include "plugins/vsubtitle/vsubtitle_filter.h"

namespace {

ModuleRecord g_records[1] = {MakeFilterObjectRecord(kRecordVideoFilterObject, "VSUBTITLE")};

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
  IVideoFilter* filter = CVSubtitleFilter::Create(params);
  if (filter == nullptr) return E_OUTOFMEMORY;
  *object = filter;
  return 0;
}
