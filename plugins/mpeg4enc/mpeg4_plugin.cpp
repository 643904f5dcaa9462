// Plug-in exports: one video encoder, "[PLUGIN]MPEG4".
#include <cstdint>

#include "platform/win_types.h"
#include "plugin-api/plugin_helpers.h"
#include "plugins/mpeg4enc/mpeg4_encoder.h"

namespace {

ModuleRecord g_records[1] = {MakeCoderRecord("[PLUGIN]MPEG4", MEDIATYPE_Video, MEDIASUBTYPE_YV12, MEDIATYPE_Video,
                                             FourccGuid(kMpeg4OutputFourcc))};

void* Make(CParamList* params, int32_t) { return static_cast<IMediaModule*>(CMpeg4Encoder::Create(params)); }

}  // namespace

TRIVOX_PLUGIN_EXPORTS(g_records, Make)
