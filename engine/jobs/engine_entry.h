// Entry of the engine: start-up, command line, job record, mode dispatch.
// Results: S_OK or the job's failure code.
#pragma once

#include <string>

#include "common/job_records.h"
#include "platform/win_types.h"

struct JobMode {
  const char* argument;  // "-m", "-d", ...
  int fileNumber;        // n of "default_%d.dat"
  bool player;           // preview modes poll the mute cell
};

// The mode of a first argument (exact match), or null.
const JobMode* FindJobMode(const char* argument);

// The process's job records, one of each kind.
ConvertJob& TheConvertJob();
DemuxJob& TheDemuxJob();
MuxJob& TheMuxJob();
FrameJob& TheFrameJob();

// Set in modes "-p" and "-b".
bool PlayerFlag();

// "<engine folder>/default_<n>.dat".
std::string TestJobFileName(int number);

// Largest test job file the engine reads.
constexpr long kMaxTestJobFileSize = 64L * 1024 * 1024;

// Reads a job record from a test job file. E_FAIL (with a line on standard
// output) when the file is missing, not a regular file, empty, too large,
// unreadable, or does not hold exactly one sound record.
HRESULT ReadTestJobFile(const std::string& path, JobRecord& record);

// The engine's entry; returns the process's result.
HRESULT EngineMain(int argc, char** argv);
