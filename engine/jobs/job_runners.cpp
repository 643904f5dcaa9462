#include "engine/jobs/job_runners.h"

#include "engine/jobs/convert_runner.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/frame_runner.h"
#include "engine/jobs/job_channel.h"
#include "engine/jobs/speaker_mute.h"
#include "engine/jobs/stream_copy_runners.h"
#include "engine/modules/player/preview_player.h"
#include "engine/registry/registry_module_source.h"

namespace {

// The speakers of a play job are the preview player's own sound.
class CPlayerSpeakers final : public ISpeakerMute {
 public:
  bool SetMute(int32_t line, bool mute) override {
    if (line != MIXER_LINE_SPEAKERS && line != MIXER_LINE_WAVE_OUT) return false;
    SetPreviewPlayerMute(mute);
    return true;
  }
};

CPlayerSpeakers g_playerSpeakers;

}  // namespace

HRESULT RunConvertJob(ConvertJob& job) {
  if (PlayerFlag()) SetSpeakerMuteTarget(&g_playerSpeakers);
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
