#include "engine/core/job_block_reader.h"

#include <cstdarg>
#include <cstdio>

HRESULT ReadJobFromBlock(const std::string& blockName, std::vector<uint8_t>& bytes) {
  bytes.clear();
  std::printf("job block \"%s\": shared job blocks are not available\n", blockName.c_str());
  return E_FAIL;
}

void CloseJobChannel() {}

void OpenEngineWord() {}

void CloseEngineWord() {}

void LogEngineLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
}
