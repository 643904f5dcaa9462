// The merging side of a pass job (mode "-g") over a given graph and module
// source; RunPassJob (job_runners.h) runs it with the engine's own.
// Results: S_OK or the job's failure code, each failure with its log line.
#pragma once

#include <cstdint>

#include "common/job_records.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"

// How long a stopped merge may take to drain its queued samples into the
// output before the whole graph is stopped.
constexpr int kPassDrainMilliseconds = 10000;

// control: the job's control block view or null.
HRESULT RunPassJobWith(ConvertJob& job, IJobGraph& graph, IModuleSource& modules, uint8_t* control);
