#include "tests/test_util/e2e_job.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

std::string RunShell(const std::string& command, int* status, bool withErrors) {
  CommandRun run = RunCommand(command + (withErrors ? " 2>&1" : " 2>/dev/null"));
  *status = run.status;
  return run.output;
}

double DecodedAudioSeconds(const std::string& path) {
  int status = -1;
  const double rate = std::atof(
      RunShell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 " + ShellQuote(path),
               &status, false)
          .c_str());
  const double bytes =
      std::atof(RunShell("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a:0 -f s16le -ac 1 - | wc -c",
                         &status, false)
                    .c_str());
  return rate > 0 ? bytes / 2 / rate : -1;
}

double MeanVolumeDb(const std::string& path, int channel) {
  int status = -1;
  const std::string out = RunShell("ffmpeg -hide_banner -nostats -i " + ShellQuote(path) + " -af 'pan=mono|c0=c" +
                                       std::to_string(channel) + ",volumedetect' -f null - 2>&1",
                                   &status);
  const size_t at = out.find("mean_volume:");
  return at == std::string::npos ? std::nan("") : std::strtod(out.c_str() + at + 12, nullptr);
}

bool RunFfmpeg(const std::string& args) {
  int status = -1;
  RunShell("ffmpeg -v error -y " + args, &status);
  return status == 0;
}

std::string MakeConvertFolder(const std::string& name, const std::vector<std::string>& plugins) {
  const std::string folder = MakeEngineFolder(name);
  for (const char* data : {"vfcc.dat", "muxer.dat"})
    fs::copy_file(fs::path(TRIVOX_STAGE_DIR) / data, fs::path(folder) / data);
  fs::create_directories(fs::path(folder) / "plugin");
  for (const std::string& p : plugins)
    fs::copy_file(fs::path(TRIVOX_STAGE_DIR) / "plugin" / p, fs::path(folder) / "plugin" / p);
  return folder;
}

std::string WriteConvertJob(const std::string& folder, const std::vector<std::string>& options) {
  std::string command = ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_job") + " write convert " +
                        ShellQuote(folder + "/default_0.dat");
  for (const std::string& o : options) {
    command += ' ';
    command += ShellQuote(o);
  }
  int status = -1;
  std::string out = RunShell(command, &status);
  return status == 0 ? std::string() : (out.empty() ? std::string("trivox_job failed") : out);
}

uint32_t JobResult(const EngineRun& run) {
  if (run.resultBytes.size() != 4) return 0xDEADBEEF;
  return run.resultBytes[0] | run.resultBytes[1] << 8 | run.resultBytes[2] << 16 |
         static_cast<uint32_t>(run.resultBytes[3]) << 24;
}
