// End-to-end helpers: an engine copy with its data files and plug-ins, jobs
// written by trivox_job, shell commands for ffmpeg and ffprobe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_util/engine_process.h"
#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

// Runs a shell command; its standard output (and standard error when
// withErrors) and exit status.
std::string RunShell(const std::string& command, int* status, bool withErrors = true);

// Seconds of the file's first audio stream from its decoded samples; -1 when it has none.
double DecodedAudioSeconds(const std::string& path);

// The mean volume (dB, ffmpeg's volumedetect) of one channel of the file's audio; NaN when
// ffmpeg reports none.
double MeanVolumeDb(const std::string& path, int channel);

// Runs "ffmpeg -v error -y ARGS"; true when it exited with 0.
bool RunFfmpeg(const std::string& args);

// A fresh engine copy named after the test, with vfcc.dat, muxer.dat and the
// named staged plug-ins ("vresize.so") in its plugin/ folder.
std::string MakeConvertFolder(const std::string& name, const std::vector<std::string>& plugins = {});

// Writes <folder>/default_0.dat with trivox_job write convert and the
// options; empty on success, else trivox_job's output.
std::string WriteConvertJob(const std::string& folder, const std::vector<std::string>& options);

// The job result sent on the result pipe, or 0xDEADBEEF when none came.
uint32_t JobResult(const EngineRun& run);
