// Test plug-in loaded after the broken files: a writer and a reader found by
// its last four bytes.
#include "plugin-api/plugin_helpers.h"
#include "tests/plugin-api/sample_modules.h"

namespace {

const char* const kTrailer[] = {"-4, 4, , 54 41 47 21"};

ModuleRecord g_records[] = {
    MakeWriterRecord("[PLUGIN]SECOND", "sec", 0, 1, 0, 0),
    MakeReaderRecord("tagged", "[PLUGIN]TAGGED", "", kTrailer, 1),
};

}  // namespace

TRIVOX_PLUGIN_EXPORT uint32_t DllGetRegister(void** records) {
  *records = g_records;
  return 2;
}

TRIVOX_PLUGIN_EXPORT HRESULT DllGetObject(CParamList* params, void** object) {
  *object = nullptr;
  switch (PluginRecordIndex(params)) {
    case 0:
      return PluginHandOut(new CSampleWriter, object);
    case 1:
      return PluginHandOut(new CSampleReader, object);
    default:
      return E_INVALIDARG;
  }
}
