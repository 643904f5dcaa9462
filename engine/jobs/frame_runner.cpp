#include "engine/jobs/frame_runner.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "common/param_list.h"
#include "engine/jobs/convert_runner.h"
#include "engine/jobs/job_cleanup.h"
#include "engine/jobs/run_loop.h"
#include "engine/jobs/stream_picking.h"
#include "engine/modules/image/bmp_writer.h"
#include "platform/diagnostics.h"

namespace {

// The stream descriptions the job carries for its source: those of the input
// item with the source's path.
std::vector<std::string> DescriptionsOfSource(const FrameJob& job) {
  const int32_t count =
      job.inputs.count < 0 ? 0 : (job.inputs.count > kMaxJobInputs ? kMaxJobInputs : job.inputs.count);
  for (int32_t i = 0; i < count; ++i)
    if (std::strncmp(job.inputs.inputs[i].path, job.sourcePath, kJobPathField) == 0)
      return StreamDescriptionsOf(job.inputs.inputs[i]);
  return {};
}

}  // namespace

HRESULT RunFrameJobWith(const FrameJob& job, IJobGraph& jobGraph, IModuleSource& modules, uint8_t* control,
                        bool player) {
  HRESULT hr = CheckJobPaths({job.sourcePath}, {job.outputPath});
  if (hr != S_OK) return hr;

  CJobSetup setup(jobGraph);
  CTakeoverGraph& graph = setup.Graph();

  IMediaModule* reader = nullptr;
  hr = OpenSourceReader(modules, job.sourcePath, job.startSeconds < 0 ? 0 : job.startSeconds, 0, &reader,
                        job.sourceMode, DescriptionsOfSource(job));
  if (reader) setup.Keep(reader);
  if (hr != S_OK) {
    LogSourceFailure(job.sourcePath, hr);
    return setup.End(hr);
  }

  IMediaModule* writer = CBmpWriter::Create(nullptr);
  if (!writer) {
    Diag(DiagLevel::kError, "cannot make the bitmap writer");
    return setup.End(E_OUTOFMEMORY);
  }
  setup.Keep(writer);
  auto* bitmap = static_cast<CBmpWriter*>(writer);
  bitmap->SetOutput(job.outputPath, nullptr);
  ConsoleLine("begin render\n");
  std::fflush(stdout);

  int32_t raw = 0;
  if (job.stream < 0 || StreamKindAndRaw(reader, static_cast<uint32_t>(job.stream), &raw) != STREAM_VIDEO) {
    Diag(DiagLevel::kError, "the stream %d of \"%s\" is not a video stream", static_cast<int>(job.stream),
         job.sourcePath);
    return setup.End(E_UNKNOWN_SOURCE_FORMAT);
  }

  // Decoded and converted to 32-bit RGB, nothing else.
  EncodeSettings settings;
  settings.Clear();
  SetJobText(settings.videoCodec, "raw");
  settings.rawVideoCode = static_cast<int32_t>(MakeFourcc('R', 'G', '3', '2'));
  const SourcePin source{reader, static_cast<uint32_t>(job.stream)};
  hr = BuildVideoChain(graph, modules, source, writer, settings, raw != 0, nullptr, 0, 0, nullptr);
  if (hr != S_OK) {
    Diag(DiagLevel::kError, "Cannot render video ,%s", FirstSubtypeText(reader, source.pin).c_str());
    return setup.End(hr);
  }

  CParamList params;
  params.SetInt("FRAMENUM", job.frameCount);
  if (control) {
    params.SetPtr("STOPPTR", control + ControlBlock::kStopRequest);
    bitmap->ReportPositionTo(reinterpret_cast<int32_t*>(control + ControlBlock::kReportedPosition));
  }
  writer->SetParams(&params);

  return RunGraphLoop(graph, control, player);
}
