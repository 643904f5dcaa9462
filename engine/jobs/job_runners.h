// The runners of the engine's job modes, and the probe command.
// Results: S_OK or the job's failure code.
#pragma once

#include <cstdint>

#include "common/job_records.h"
#include "platform/win_types.h"

// Modes "-m" and "-p".
HRESULT RunConvertJob(ConvertJob& job);
// Mode "-g": the merging side of a pass job.
HRESULT RunPassJob(ConvertJob& job);
// Mode "-d": one output file per selected stream. frameRate may be null.
HRESULT RunDemuxJob(const char* sourcePath, int32_t outputCount, DemuxOutput* outputs, FrameRateChange* frameRate);
// Mode "-e": the streams of several sources into one file.
HRESULT RunMuxJob(JobInputList& inputs, OutputTarget& output, const char* writerTag, int32_t globalHeader,
                  FrameRateChange& frameRate);
// Mode "-b": frames of one video stream into bitmap files.
HRESULT RunFrameJob(FrameJob& job);
// "-l": probes the file into the probe block; the words as given on the command
// line. S_OK whatever the probe found; E_FAIL when the block cannot be mapped.
HRESULT RunProbeCommand(const char* blockName, const char* pathWord, const char* sourceModeWord);
