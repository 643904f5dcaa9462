// The demultiplex (mode "-d") and multiplex (mode "-e") runners over a given
// graph and module source: streams are copied, not re-encoded. RunDemuxJob and
// RunMuxJob (job_runners.h) run them with the engine's own.
// Results: S_OK or the job's failure code, each failure with its log line.
#pragma once

#include <cstdint>

#include "common/job_records.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"

// The first output whose stream number is the pin, or null.
const DemuxOutput* FindDemuxOutput(uint32_t pin, int32_t count, const DemuxOutput* outputs);

// One output file per reader pin named by an output item. frameRate may be null.
HRESULT RunDemuxJobWith(const char* sourcePath, int32_t outputCount, const DemuxOutput* outputs,
                        const FrameRateChange* frameRate, IJobGraph& graph, IModuleSource& modules, uint8_t* control);

// The streams of the sources into one file: the first video stream leads, the
// others follow in the order found, as many as the writer takes.
HRESULT RunMuxJobWith(const JobInputList& inputs, const OutputTarget& output, const char* writerTag,
                      int32_t globalHeader, const FrameRateChange* frameRate, IJobGraph& graph, IModuleSource& modules,
                      uint8_t* control);
