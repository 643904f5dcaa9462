#include "engine/jobs/pass_runner.h"

#include <chrono>
#include <cstdio>

#include "common/param_list.h"
#include "engine/jobs/convert_runner.h"
#include "engine/jobs/engine_entry.h"
#include "engine/jobs/job_channel.h"
#include "engine/jobs/job_cleanup.h"
#include "engine/jobs/job_runners.h"
#include "engine/jobs/media_chains.h"
#include "engine/jobs/run_loop.h"
#include "engine/jobs/stream_picking.h"
#include "engine/registry/registry_module_source.h"
#include "platform/diagnostics.h"

namespace {

using Clock = std::chrono::steady_clock;

// The merged video's frame rate when the job names none.
constexpr int32_t kDefaultFramesPerSecond = 25;

// A stop request ends a merge: the pass reader ends its streams after what is
// already queued and the encoders and the writer drain into a complete file.
// Only a drain that takes too long stops the whole graph.
class CDrainOnStopGraph final : public IJobGraph {
 public:
  CDrainOnStopGraph(IJobGraph& inner, IMediaModule* reader) : inner_(inner), reader_(reader) {}

  void Connect(IMediaModule* source, uint32_t sourcePin, IMediaModule* destination, uint32_t destinationPin) override {
    inner_.Connect(source, sourcePin, destination, destinationPin);
  }
  bool SetHook(IMediaModule* source, uint32_t sourcePin, SampleHook hook) override {
    return inner_.SetHook(source, sourcePin, hook);
  }
  bool FindConnection(IMediaModule* module, uint32_t pin, IMediaModule** other, uint32_t* otherPin,
                      int direction) override {
    return inner_.FindConnection(module, pin, other, otherPin, direction);
  }
  HRESULT Run() override { return inner_.Run(); }
  int32_t GetState() override {
    const int32_t state = inner_.GetState();
    if (state != 1 && draining_ && !stopped_ && Clock::now() >= deadline_) {
      Diag(DiagLevel::kWarning, "the merged streams did not drain in time: the graph is stopped");
      stopped_ = true;
      inner_.Stop();
    }
    return state;
  }
  HRESULT Stop() override {
    if (draining_) return S_OK;
    draining_ = true;
    deadline_ = Clock::now() + std::chrono::milliseconds(kPassDrainMilliseconds);
    Diag(DiagLevel::kTrace, "end of the merged streams");
    std::fflush(stdout);
    return reader_->Stop();
  }
  HRESULT Pause(int32_t pause) override { return inner_.Pause(pause); }
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh) override { return inner_.Seek(timeLow, timeHigh); }
  HRESULT CloseWriters() override { return inner_.CloseWriters(); }
  void Release() override { inner_.Release(); }

 private:
  IJobGraph& inner_;
  IMediaModule* reader_;
  bool draining_ = false;
  bool stopped_ = false;
  Clock::time_point deadline_;
};

}  // namespace

HRESULT RunPassJob(ConvertJob& job) {
  CRegistryModuleSource modules(TheModuleRegistry());
  CMediaJobGraph graph;
  return RunPassJobWith(job, graph, modules, GetControlData(CurrentJobChannel()));
}

HRESULT RunPassJobWith(ConvertJob& job, IJobGraph& jobGraph, IModuleSource& modules, uint8_t* control) {
  const EncodeSettings& settings = job.settings;
  CJobSetup setup(jobGraph);
  CTakeoverGraph& graph = setup.Graph();
  setup.NewOutput(job.output.path);

  IMediaModule* writer = nullptr;
  TrackLimits limits;
  HRESULT hr = OpenWriter(modules, settings.writerTag, job.output, &writer, &limits);
  if (hr != S_OK) return setup.End(hr);
  setup.Keep(writer);

  IMediaModule* reader = modules.CreateReaderByExtension(".passre");
  if (!reader) {
    Diag(DiagLevel::kError, "no reader for the merged streams");
    return setup.End(E_UNKNOWN_SOURCE_FORMAT);
  }
  setup.Keep(reader);
  // The pictures come only once the graph runs, too late to take their rate.
  int32_t rateNum = settings.frameRateNum, rateDen = settings.frameRateDen;
  if (settings.videoTrackCount > 0 && (rateNum <= 0 || rateDen <= 0)) {
    Diag(DiagLevel::kWarning, "the merge job names no frame rate: the merged video is written at %d frames per second",
         kDefaultFramesPerSecond);
    rateNum = 1;
    rateDen = kDefaultFramesPerSecond;
  }
  CParamList params;
  params.SetInt("VWIDTH", settings.width);
  params.SetInt("VHEIGHT", settings.height);
  params.SetInt("VFRAMERATEDEN", rateDen);
  params.SetInt("VFRAMERATENUM", rateNum);
  params.SetInt("ASAMPLERATE", settings.sampleRate);
  params.SetInt("ACHANNEL", settings.channels);
  params.SetInt("ATRACK", settings.audioTrackCount);
  params.SetInt("VTRACK", settings.videoTrackCount);
  reader->SetParams(&params);

  const uint32_t pins = reader->GetOutputPinCount();
  if (pins == 0) {
    Diag(DiagLevel::kError, "the merge job names no video or audio track");
    return setup.End(E_NO_STREAM_PICKED);
  }
  for (uint32_t pin = 0; pin < pins; ++pin) {
    int32_t raw = 0;
    const int32_t kind = StreamKindAndRaw(reader, pin, &raw);
    const SourcePin source{reader, pin};
    if (kind == STREAM_VIDEO) {
      hr = BuildPassVideoChain(graph, modules, source, writer, settings);
      if (hr != S_OK) {
        Diag(DiagLevel::kError, "Cannot render video ,%s", FirstSubtypeText(reader, pin).c_str());
        return setup.End(hr);
      }
    } else if (kind == STREAM_AUDIO) {
      hr = BuildPassAudioChain(graph, modules, source, writer, settings);
      if (hr != S_OK) {
        Diag(DiagLevel::kError, "Cannot render audio");
        return setup.End(hr);
      }
    } else {
      Diag(DiagLevel::kError, "the merged stream %u has no video or audio type", pin);
      return setup.End(E_UNKNOWN_SOURCE_FORMAT);
    }
  }

  CParamList writerParams;
  writerParams.ParseText(settings.writerParams);
  if (settings.audioTag) writerParams.SetInt("ATAG", settings.audioTag);
  if (settings.videoTag) writerParams.SetInt("VTAG", settings.videoTag);
  writer->SetParams(&writerParams);

  CDrainOnStopGraph draining(graph, reader);
  const HRESULT written = RunGraphLoop(draining, control, false);
  ConsoleLine("type=%s\n", settings.writerTag);
  std::fflush(stdout);
  return written;
}
