// trivox_free: the conversion engine.
#include <cstdio>
#include <cstring>

#include "engine/graph/engine_log.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/job_block_reader.h"
#include "platform/diagnostics.h"
#include "platform/result_channel.h"
#include "platform/version.h"

namespace {

constexpr const char kUsage[] =
    "Usage: trivox_free -m|-d|-e|-g|-p|-b JOB_BLOCK   or   trivox_free -l PROBE_BLOCK FILE MODE\n";

constexpr const char kHelp[] =
    "Converts, previews, probes, splits, joins and merges media files and DVD titles.\n"
    "The job is read from the named shared-memory block the front end writes.\n"
    "\n"
    "  -m JOB_BLOCK   convert (also joins and merges)\n"
    "  -d JOB_BLOCK   demux into streams\n"
    "  -e JOB_BLOCK   mux streams into a file\n"
    "  -g JOB_BLOCK   pass (analysis) run\n"
    "  -p JOB_BLOCK   play a preview\n"
    "  -b JOB_BLOCK   render one frame\n"
    "  -l PROBE_BLOCK FILE MODE\n"
    "                 probe FILE (MODE: source mode) into PROBE_BLOCK\n"
    "  -m test        convert the job in default_0.dat beside the engine\n"
    "  -h, --help     show this help\n"
    "      --version  show the version\n"
    "\n"
    "The last line of the output is RESULT=XXXXXXXX, the job's result code (0 on success).\n";

bool AsksForHelp(int argc, char** argv) {
  return argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
}

// The command lines the engine acts on; anything else ends at once with S_OK.
bool IsJobCommandLine(int argc, char** argv) {
  if (argc == 5) return std::strcmp(argv[1], "-l") == 0;
  return argc == 3 && FindJobMode(argv[1]) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  if (AsksForHelp(argc, argv)) {
    ConsoleLine("%s%s", kUsage, kHelp);
    return 0;
  }
  if (AnswerVersion(argc, argv, "trivox_free")) return 0;
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (!IsJobCommandLine(argc, argv)) std::fputs(kUsage, stderr);
  HRESULT result = EngineMain(argc, argv);
  // Threads may still run: close the shared blocks and leave with _exit.
  CloseJobChannel();
  CloseEngineLog();
  ExitWithResult(result);
}
