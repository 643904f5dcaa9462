// The frame-render runner (mode "-b") over a given graph and module source;
// RunFrameJob (job_runners.h) runs it with the engine's own.
// Results: S_OK or the job's failure code, each failure with its log line.
#pragma once

#include <cstdint>

#include "common/job_records.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"

// Decodes the job's stream from its start time into a bitmap writer that saves
// frame "FRAMENUM" to the job's output path. control: the job's control block
// view or null (the writer then has no stop word and reports no time).
HRESULT RunFrameJobWith(const FrameJob& job, IJobGraph& graph, IModuleSource& modules, uint8_t* control, bool player);
