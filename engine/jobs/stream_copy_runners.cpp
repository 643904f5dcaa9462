#include "engine/jobs/stream_copy_runners.h"

#include <cstring>
#include <vector>

#include "common/param_list.h"
#include "engine/jobs/job_cleanup.h"
#include "engine/jobs/media_chains.h"
#include "engine/jobs/run_loop.h"
#include "engine/jobs/stream_picking.h"
#include "platform/diagnostics.h"

namespace {

void AskGlobalHeader(IMediaModule* writer) {
  CParamList params;
  params.SetInt("GLOBALHEADER", 1);
  writer->SetParams(&params);
}

// Connects a copied stream to the writer: audio and text through a merger
// that regroups whole frames when it connects, video through the frame-rate
// change when one is given.
HRESULT ConnectCopiedStream(IJobGraph& graph, IModuleSource& modules, SourcePin tail, IMediaModule* writer,
                            const FrameRateChange* frameRate) {
  if (StreamKind(tail.module, tail.pin) != STREAM_VIDEO) {
    AddAudioMerger(graph, modules, tail, 1);
  } else if (frameRate && frameRate->enabled) {
    const HRESULT hr = AddFrameRateChange(graph, modules, tail, *frameRate);
    if (hr != S_OK) return hr;
  }
  const HRESULT hr = ConnectToWriterInput(graph, tail, writer);
  if (hr != S_OK) Diag(DiagLevel::kError, "the writer takes no type of stream %u", tail.pin);
  return hr;
}

}  // namespace

const DemuxOutput* FindDemuxOutput(uint32_t pin, int32_t count, const DemuxOutput* outputs) {
  if (!outputs) return nullptr;
  for (int32_t i = 0; i < count; ++i)
    if (outputs[i].stream >= 0 && static_cast<uint32_t>(outputs[i].stream) == pin) return &outputs[i];
  return nullptr;
}

HRESULT RunDemuxJobWith(const char* sourcePath, int32_t outputCount, const DemuxOutput* outputs,
                        const FrameRateChange* frameRate, IJobGraph& jobGraph, IModuleSource& modules,
                        uint8_t* control) {
  HRESULT hr = CheckJobPaths({sourcePath}, {});
  for (int32_t i = 0; hr == S_OK && outputs && i < outputCount; ++i)
    hr = CheckJobPaths({sourcePath}, {outputs[i].path}, IsFolderWriter(outputs[i].writerTag));
  if (hr != S_OK) return hr;

  CJobSetup setup(jobGraph);
  CTakeoverGraph& graph = setup.Graph();

  IMediaModule* reader = nullptr;
  hr = OpenSourceReader(modules, sourcePath, 0, 0, &reader, SOURCE_MODE_OWN_ONLY);
  if (reader) setup.Keep(reader);
  if (hr != S_OK) {
    LogSourceFailure(sourcePath, hr);
    return setup.End(hr);
  }

  IMediaModule* firstWriter = nullptr;
  const uint32_t pins = reader->GetOutputPinCount();
  for (uint32_t pin = 0; pin < pins; ++pin) {
    const DemuxOutput* item = FindDemuxOutput(pin, outputCount, outputs);
    if (!item) continue;
    OutputTarget target;
    target.Clear();
    std::memcpy(target.path, item->path, sizeof target.path);
    target.path[sizeof target.path - 1] = '\0';
    setup.NewOutput(target.path);
    IMediaModule* writer = nullptr;
    if ((hr = OpenWriter(modules, item->writerTag, target, &writer, nullptr)) != S_OK) return setup.End(hr);
    setup.Keep(writer);
    if (!firstWriter) firstWriter = writer;
    if ((hr = ConnectCopiedStream(graph, modules, {reader, pin}, writer, frameRate)) != S_OK) return setup.End(hr);
    if (item->globalHeader) AskGlobalHeader(writer);
  }
  if (!firstWriter) {
    Diag(DiagLevel::kError, "no output of the job names a stream of \"%s\"", sourcePath);
    return setup.End(E_NO_STREAM_PICKED);
  }
  HookProgress(graph, firstWriter, -1);
  return RunGraphLoop(graph, control, false);
}

HRESULT RunMuxJobWith(const JobInputList& inputs, const OutputTarget& output, const char* writerTag,
                      int32_t globalHeader, const FrameRateChange* frameRate, IJobGraph& jobGraph,
                      IModuleSource& modules, uint8_t* control) {
  HRESULT hr = CheckJobPaths(SourcePathsOf(inputs), {output.path}, IsFolderWriter(writerTag));
  if (hr != S_OK) return hr;

  CJobSetup setup(jobGraph);
  CTakeoverGraph& graph = setup.Graph();
  setup.NewOutput(output.path);

  IMediaModule* writer = nullptr;
  TrackLimits limits;
  hr = OpenWriter(modules, writerTag, output, &writer, &limits);
  if (hr != S_OK) return setup.End(hr);
  setup.Keep(writer);

  SourcePin firstVideo;
  bool haveVideo = false;
  std::vector<SourcePin> others;
  const int32_t count = inputs.count < 0 ? 0 : (inputs.count > kMaxJobInputs ? kMaxJobInputs : inputs.count);
  for (int32_t item = 0; item < count; ++item) {
    const JobInput& input = inputs.inputs[item];
    IMediaModule* reader = nullptr;
    hr = OpenSourceReader(modules, input.path, input.start < 0 ? 0 : input.start, input.stop < 0 ? 0 : input.stop,
                          &reader, SOURCE_MODE_OWN_ONLY, StreamDescriptionsOf(input));
    if (reader) setup.Keep(reader);
    if (hr != S_OK) {
      LogSourceFailure(input.path, hr);
      return setup.End(hr);
    }
    const uint32_t pins = reader->GetOutputPinCount();
    for (uint32_t pin = 0; pin < pins; ++pin) {
      if (!StreamSelected(input, pin)) continue;
      const int32_t kind = StreamKind(reader, pin);
      if (kind == STREAM_OTHER) {
        Diag(DiagLevel::kTrace, "stream %u of \"%s\" is of no known type: ignored", pin, input.path);
      } else if (kind != STREAM_VIDEO) {
        if (limits.audioTaken < limits.writer.maxAudio) {
          ++limits.audioTaken;
          others.push_back({reader, pin});
        } else {
          ConsoleLine("ignore a audio stream dure to track limits\n");
        }
      } else if (limits.videoTaken < limits.writer.maxVideo) {
        ++limits.videoTaken;
        if (!haveVideo) {
          firstVideo = {reader, pin};
          haveVideo = true;
        } else {
          others.push_back({reader, pin});
        }
      } else {
        ConsoleLine("ignore a video stream dure to track limits\n");
      }
    }
  }
  std::vector<SourcePin> streams;
  if (haveVideo) streams.push_back(firstVideo);
  streams.insert(streams.end(), others.begin(), others.end());
  if (streams.empty()) {
    Diag(DiagLevel::kError, "no stream of the sources to join");
    return setup.End(E_NO_STREAM_PICKED);
  }

  for (size_t i = 0; i < streams.size(); ++i) {
    const FrameRateChange* rate = i == 0 ? frameRate : nullptr;  // the leading video stream only
    if ((hr = ConnectCopiedStream(graph, modules, streams[i], writer, rate)) != S_OK) return setup.End(hr);
  }
  if (globalHeader) AskGlobalHeader(writer);
  HookProgress(graph, writer, -1);
  return RunGraphLoop(graph, control, false);
}
