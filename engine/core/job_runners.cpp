#include "engine/core/job_runners.h"

#include <cstdio>

namespace {

HRESULT NotImplemented(const char* runner) {
  std::printf("%s: not implemented\n", runner);
  return E_NOTIMPL;
}

}  // namespace

HRESULT RunConvertJob(ConvertJob&) { return NotImplemented("RunConvertJob"); }

HRESULT RunPassJob(ConvertJob&) { return NotImplemented("RunPassJob"); }

HRESULT RunDemuxJob(const char*, int32_t, DemuxOutput*, FrameRateChange*) { return NotImplemented("RunDemuxJob"); }

HRESULT RunMuxJob(JobInputList&, OutputTarget&, const char*, int32_t, FrameRateChange&) {
  return NotImplemented("RunMuxJob");
}

HRESULT RunFrameJob(FrameJob&) { return NotImplemented("RunFrameJob"); }

HRESULT RunProbeCommand(const char*, const char*, const char*) { return NotImplemented("RunProbeCommand"); }
