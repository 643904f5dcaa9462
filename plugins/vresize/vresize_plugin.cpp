// Plug-in exports: one video filter object, "VRESIZE".
#include <cstdint>

#include "common/param_list.h"
#include "platform/win_types.h"
#include "plugin-api/plugin_helpers.h"
#include "plugins/vresize/vresize_filter.h"

namespace {

ModuleRecord g_records[1] = {MakeFilterObjectRecord(kRecordVideoFilterObject, "VRESIZE")};

void* Make(CParamList* params, int32_t) { return static_cast<IVideoFilter*>(CVResizeFilter::Create(params)); }

}  // namespace

TRIVOX_PLUGIN_EXPORTS(g_records, Make)
