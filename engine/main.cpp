// trivox_free: the conversion engine.
#include <cstdio>

#include "engine/graph/engine_log.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/job_block_reader.h"
#include "platform/result_channel.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  HRESULT result = EngineMain(argc, argv);
  // Threads may still run: close the shared blocks and leave with _exit.
  CloseJobChannel();
  CloseEngineLog();
  ExitWithResult(result);
}
