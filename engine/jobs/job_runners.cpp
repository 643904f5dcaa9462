#include "engine/jobs/job_runners.h"

#include <cstdio>

#include "engine/graph/engine_log.h"
#include "engine/jobs/convert_runner.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/job_channel.h"
#include "engine/registry/registry_module_source.h"

namespace {

HRESULT NotImplemented(const char* runner) {
  std::printf("%s: not implemented\n", runner);
  EngineLog("this job mode is not available (%s)\n", runner);
  return E_NOTIMPL;
}

}  // namespace

HRESULT RunConvertJob(ConvertJob& job) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunConvertJobWith(job, graph, modules, GetControlData(CurrentJobChannel()), PlayerFlag());
}

HRESULT RunDemuxJob(const char*, int32_t, DemuxOutput*, FrameRateChange*) { return NotImplemented("RunDemuxJob"); }

HRESULT RunMuxJob(JobInputList&, OutputTarget&, const char*, int32_t, FrameRateChange&) {
  return NotImplemented("RunMuxJob");
}

HRESULT RunFrameJob(FrameJob&) { return NotImplemented("RunFrameJob"); }
