// The conversion runner (modes "-m" and "-p") over a given graph and module
// source; RunConvertJob (job_runners.h) runs it with the engine's own.
// Results: S_OK or the job's failure code, each failure with its log line.
#pragma once

#include <cstdint>
#include <string>

#include "common/job_records.h"
#include "engine/jobs/job_graph.h"
#include "engine/registry/module_source.h"
#include "platform/utf_text.h"

// control: the job's control block view or null; player: the preview modes.
HRESULT RunConvertJobWith(ConvertJob& job, IJobGraph& graph, IModuleSource& modules, uint8_t* control, bool player);

// The subtype of the stream's first output type as text (zero GUID when none).
std::string FirstSubtypeText(IMediaModule* module, uint32_t pin);

// Writes the job's tags into the finished output for the writers that carry
// them (results ignored).
void WriteOutputTags(const ConvertJob& job);
