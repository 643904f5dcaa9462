// Broken test plug-in: exports DllGetRegister but no DllGetObject.
#include "plugin-api/module_record.h"
#include "plugin-api/plugin_helpers.h"

namespace {
ModuleRecord g_records[] = {MakeWriterRecord("[PLUGIN]MISSING", "mis", 0, 1, 0, 1)};
}

TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) {
  *records = g_records;
  return 1;
}
