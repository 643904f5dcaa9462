#include "engine/jobs/engine_entry.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/codec_tables.h"
#include "engine/jobs/job_block_reader.h"
#include "engine/jobs/job_runners.h"
#include "engine/jobs/run_loop.h"
#include "engine/registry/module_registry.h"
#include "platform/diagnostics.h"
#include "platform/named_objects.h"
#include "platform/program_folder.h"
#include "platform/result_channel.h"

namespace {

constexpr JobMode kJobModes[] = {
    {"-m", 0, false}, {"-d", 1, false}, {"-e", 2, false}, {"-p", 4, true}, {"-b", 5, true}, {"-g", 3, false},
};

DemuxJob g_demuxJob;
MuxJob g_muxJob;
ConvertJob g_convertJob;
FrameJob g_frameJob;

bool g_playerFlag = false;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A job that cannot be read: the reason on standard output and in the log ring; E_FAIL.
__attribute__((format(printf, 1, 2))) HRESULT RefuseJob(const char* format, ...) {
  va_list args;
  va_start(args, format);
  DiagV(DiagLevel::kError, format, args);
  va_end(args);
  return E_FAIL;
}

JobRecord& RecordOfMode(const JobMode& mode) {
  switch (mode.fileNumber) {
    case 1:
      return g_demuxJob;
    case 2:
      return g_muxJob;
    case 5:
      return g_frameJob;
    default:
      return g_convertJob;
  }
}

// Start-up before the arguments are looked at. COM needs nothing here and
// nothing is registered into FFmpeg.
void StartUp() {
  InstallFaultHandler();
  // Blocks of this user's programs that were killed: nobody holds them any more.
  RemoveLeftoverObjects();
  InstallStopSignals();
  LoadCodecTables();
  TheModuleRegistry().Init();  // built-ins, then plugin/*.so
}

HRESULT ReadJob(const JobMode& mode, const std::string& blockName, JobRecord& record) {
  if (blockName == "test") return ReadTestJobFile(TestJobFileName(mode.fileNumber), record);
  std::vector<uint8_t> bytes;
  std::string why;
  HRESULT hr = ReadJobFromBlock(blockName, bytes, &why);
  if (hr != S_OK && !why.empty())
    return RefuseJob("cannot open the job block \"%s\": %s\n", blockName.c_str(), why.c_str());
  if (hr != S_OK) return RefuseJob("cannot open the job block \"%s\"\n", blockName.c_str());
  std::string reason;
  if (!ParseJobRecord(record, bytes, reason))
    return RefuseJob("malformed job record in block \"%s\": %s\n", blockName.c_str(), reason.c_str());
  return S_OK;
}

HRESULT RunMode(const JobMode& mode) {
  const std::string which = mode.argument;
  if (which == "-m") {
    ConvertJob& job = g_convertJob;
    LogEngineLine("Start converting media file \"%s\"...", job.inputs.inputs[0].path);
    Clock::time_point start = Clock::now();
    HRESULT hr = RunConvertJob(job);
    ConsoleLine("%f\n", SecondsSince(start));
    CloseJobChannel();
    // Numbered output starts with "<path>_0".
    const std::string written = std::string(job.output.path) + (job.output.numbered ? "_0" : "");
    struct stat st {};
    if (hr == S_OK && job.settings.passFlag == 0 && lstat(written.c_str(), &st) != 0)
      LogEngineLine("Conversion stopped,nothing was written to \"%s\".", job.output.path);
    else if (hr == S_OK)
      LogEngineLine("Conversion finished,the destination file is \"%s\".", job.output.path);
    else
      LogEngineLine("Conversion failed,the return code is %08X.", static_cast<unsigned>(hr));
    return hr;
  }
  if (which == "-d") {
    DemuxJob& job = g_demuxJob;
    HRESULT hr =
        RunDemuxJob(job.sourcePath, static_cast<int32_t>(job.outputs.size()), job.outputs.data(), &job.frameRate);
    job.outputs.clear();
    job.outputs.shrink_to_fit();
    return hr;
  }
  if (which == "-e") {
    MuxJob& job = g_muxJob;
    return RunMuxJob(job.inputs, job.output, job.writerTag, job.globalHeader, job.frameRate);
  }
  if (which == "-g") return RunPassJob(g_convertJob);
  if (which == "-p") return RunConvertJob(g_convertJob);
  return RunFrameJob(g_frameJob);
}

}  // namespace

const JobMode* FindJobMode(const char* argument) {
  if (!argument) return nullptr;
  for (const JobMode& mode : kJobModes)
    if (std::strcmp(argument, mode.argument) == 0) return &mode;
  return nullptr;
}

ConvertJob& TheConvertJob() { return g_convertJob; }
DemuxJob& TheDemuxJob() { return g_demuxJob; }
MuxJob& TheMuxJob() { return g_muxJob; }
FrameJob& TheFrameJob() { return g_frameJob; }

bool PlayerFlag() { return g_playerFlag; }

std::string TestJobFileName(int number) { return BesideProgram("default_" + std::to_string(number) + ".dat"); }

HRESULT ReadTestJobFile(const std::string& path, JobRecord& record) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return RefuseJob("cannot open job file \"%s\"\n", path.c_str());
  struct stat st {};
  if (fstat(fileno(file), &st) != 0) {
    std::fclose(file);
    return RefuseJob("cannot read the size of job file \"%s\"\n", path.c_str());
  }
  const char* refusal = nullptr;
  if (!S_ISREG(st.st_mode))
    refusal = "is not a file";
  else if (st.st_size == 0)
    refusal = "is empty";
  else if (st.st_size > kMaxTestJobFileSize)
    refusal = "is too large";
  if (refusal) {
    std::fclose(file);
    return RefuseJob("job file \"%s\" %s\n", path.c_str(), refusal);
  }
  std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
  size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (got != bytes.size()) return RefuseJob("cannot read job file \"%s\"\n", path.c_str());
  std::string reason;
  if (!ParseJobRecord(record, bytes, reason))
    return RefuseJob("malformed job record in \"%s\": %s\n", path.c_str(), reason.c_str());
  return S_OK;
}

HRESULT EngineMain(int argc, char** argv) {
  Clock::time_point started = Clock::now();
  StartUp();

  if (argc == 5) {
    if (std::strcmp(argv[1], "-l") != 0) return static_cast<HRESULT>(0xFFFFFFFFu);
    return RunProbeCommand(argv[2], argv[3], argv[4]);
  }
  if (argc != 3) return S_OK;

  const JobMode* mode = FindJobMode(argv[1]);
  if (!mode) return S_OK;
  g_playerFlag = mode->player;

  std::string why;
  if (!OpenEngineWord(&why)) return RefuseJob("cannot open the engine word: %s\n", why.c_str());
  JobRecord& record = RecordOfMode(*mode);
  HRESULT hr = ReadJob(*mode, argv[2], record);
  if (hr != S_OK) {
    CloseEngineWord();
    return hr;
  }

  hr = RunMode(*mode);

  CloseMuteCell();
  CloseEngineWord();
  ConsoleLine("Use time:%.3f\n", SecondsSince(started));
  return hr;
}
