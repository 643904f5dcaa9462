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

// Record 0 and record 1.
void* Make(CParamList*, int32_t index) {
  if (index == 0) return static_cast<IMediaModule*>(new CSampleWriter);
  return static_cast<IMediaModule*>(new CSampleReader);
}

}  // namespace

TRIVOX_PLUGIN_EXPORTS(g_records, Make)
