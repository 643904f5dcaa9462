// Job records as readable text, one "name: value" line per field, headed by
// the record's kind and its serialised size.
#pragma once

#include <cstddef>
#include <string>

#include "common/job_records.h"

std::string DumpJobRecord(const ConvertJob& job, size_t bytes);
std::string DumpJobRecord(const DemuxJob& job, size_t bytes);
std::string DumpJobRecord(const MuxJob& job, size_t bytes);
std::string DumpJobRecord(const FrameJob& job, size_t bytes);
