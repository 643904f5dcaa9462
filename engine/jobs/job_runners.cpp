#include "engine/jobs/job_runners.h"

#include "engine/jobs/convert_runner.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/frame_runner.h"
#include "engine/jobs/job_channel.h"
#include "engine/jobs/stream_copy_runners.h"
#include "engine/registry/registry_module_source.h"

HRESULT RunConvertJob(ConvertJob& job) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunConvertJobWith(job, graph, modules, GetControlData(CurrentJobChannel()), PlayerFlag());
}

HRESULT RunDemuxJob(const char* sourcePath, int32_t outputCount, DemuxOutput* outputs, FrameRateChange* frameRate) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunDemuxJobWith(sourcePath, outputCount, outputs, frameRate, graph, modules,
                         GetControlData(CurrentJobChannel()));
}

HRESULT RunMuxJob(JobInputList& inputs, OutputTarget& output, const char* writerTag, int32_t globalHeader,
                  FrameRateChange& frameRate) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunMuxJobWith(inputs, output, writerTag, globalHeader, &frameRate, graph, modules,
                       GetControlData(CurrentJobChannel()));
}

HRESULT RunFrameJob(FrameJob& job) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunFrameJobWith(job, graph, modules, GetControlData(CurrentJobChannel()), PlayerFlag());
}
