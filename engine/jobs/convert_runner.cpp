#include "engine/jobs/convert_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/jobs/job_cleanup.h"
#include "engine/jobs/run_loop.h"
#include "engine/jobs/stream_picking.h"
#include "engine/jobs/tag_io.h"
#include "platform/diagnostics.h"
#include "platform/utf_text.h"
#include "plugin-api/media_type_helpers.h"

namespace {

// The first source of the job that carries a disc palette (for burnt-in DVD subpictures).
const uint32_t* DvdPaletteOf(const JobInputList& inputs) {
  const int32_t count = std::clamp(inputs.count, 0, kMaxJobInputs);
  for (int32_t i = 0; i < count; ++i)
    if (inputs.inputs[i].paletteValid) return inputs.inputs[i].palette;
  return nullptr;
}

// Writers whose outputs get the job's tags from the tag library.
bool IsTagWriterByLibrary(const char* tag) {
  static const char* const kTags[] = {"[FFM]MP3", "[PLUGIN]OGGMUXER", "[FFM]AAC", "[DS]WMV", "[PLUGIN]FLACMUXER"};
  for (const char* t : kTags)
    if (std::strcmp(tag, t) == 0) return true;
  return false;
}

}  // namespace

std::string FirstSubtypeText(IMediaModule* module, uint32_t pin) {
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  GUID subtype{};
  if (module->GetOutputType(pin, 0, &mt) == S_OK) subtype = mt.subtype;
  ClearMediaTypeFormat(&mt);
  char text[40];
  FormatGuid(subtype, text);
  return text;
}

void WriteOutputTags(const ConvertJob& job) {
  const TagInfo& tags = job.inputs.tags;
  if (!tags.enabled) return;
  const char* writerTag = job.settings.writerTag;
  const bool library = IsTagWriterByLibrary(writerTag);
  const bool ape = std::strcmp(writerTag, "[PLUGIN]QUENZIL") == 0;
  if (!library && !ape) return;
  TagInfo info{};
  CopyTagFields(tags, info);
  // The output stays as written when its tags cannot be added.
  if (!(library ? TagWrite(job.output.path, &info) : ApeTagWrite(job.output.path, &info)))
    Diag(DiagLevel::kWarning, "cannot write the tags into \"%s\"", job.output.path);
}

HRESULT RunConvertJobWith(ConvertJob& job, IJobGraph& jobGraph, IModuleSource& modules, uint8_t* control, bool player) {
  EncodeSettings& settings = job.settings;
  const bool pass = settings.passFlag != 0;
  HRESULT hr;
  // The DVD subpicture overlay reads the disc palette from the sources.

  // Modules made here stay ours until the graph takes them; whatever it never
  // took is closed on return, and a job ending before the graph runs leaves
  // no output file of its own behind.
  CJobSetup setup(jobGraph);
  CTakeoverGraph& graph = setup.Graph();
  if (!pass) setup.NewOutput(job.output.path);

  hr = CheckJobPaths(SourcePathsOf(job.inputs), {pass ? nullptr : job.output.path}, IsFolderWriter(settings.writerTag));
  if (hr != S_OK) return hr;

  IMediaModule* writer = nullptr;
  TrackLimits limits;
  if (pass) {
    writer = modules.CreateWriter("BUFWR", &limits.writer);
    if (!writer) {
      Diag(DiagLevel::kError, "no writer \"BUFWR\"");
      return E_NO_WRITER;
    }
  } else if ((hr = OpenWriter(modules, settings.writerTag, job.output, &writer, &limits)) != S_OK) {
    return setup.End(hr);
  }
  setup.Keep(writer);

  SubtitleWriterTable subtitles{};
  std::vector<PickedStream> picked;
  std::vector<IMediaModule*> readers;
  hr = PickStreams(graph, modules, job.inputs, settings, picked, readers, limits, settings.sourceMode, subtitles);
  for (IMediaModule* reader : readers) setup.Keep(reader);
  if (hr != S_OK) return setup.End(hr);
  if (picked.empty()) {
    Diag(DiagLevel::kError, "no stream of the sources to convert");
    return setup.End(E_NO_STREAM_PICKED);
  }

  for (const PickedStream& stream : picked) {
    int32_t raw = 0;
    const int32_t kind = StreamKindAndRaw(stream.reader, stream.pin, &raw);
    const SourcePin source{stream.reader, stream.pin};
    if (kind == STREAM_VIDEO) {
      if (pass && std::strcmp(settings.videoCodec, "COPY") != 0 && std::strcmp(settings.videoCodec, "RAW") != 0) {
        SetJobText(settings.videoCodec, "RAW");
        settings.rawVideoCode = static_cast<int32_t>(MakeFourcc('Y', 'V', '1', '2'));
      }
      hr = BuildVideoChain(graph, modules, source, writer, settings, raw != 0, &subtitles, stream.startCut,
                           stream.stopCut, &job.frameRate, DvdPaletteOf(job.inputs));
      if (hr != S_OK) {
        Diag(DiagLevel::kError, "Cannot render video ,%s", FirstSubtypeText(stream.reader, stream.pin).c_str());
        return setup.End(hr);
      }
    } else if (kind == STREAM_AUDIO) {
      if (pass && std::strcmp(settings.audioCodec, "COPY") != 0 && std::strcmp(settings.audioCodec, "RAW") != 0) {
        SetJobText(settings.audioCodec, "RAW");
        settings.rawAudioCode = static_cast<int32_t>(MakeFourcc('P', 'C', '1', '6'));
      }
      hr = BuildAudioChain(graph, modules, source, writer, settings, raw != 0, stream.startCut, stream.stopCut);
      if (hr != S_OK) {
        Diag(DiagLevel::kError, "Cannot render audio");
        return setup.End(hr);
      }
    }
  }

  CParamList params;
  params.ParseText(settings.writerParams);
  if (settings.audioTag) params.SetInt("ATAG", settings.audioTag);
  if (settings.videoTag) params.SetInt("VTAG", settings.videoTag);
  if (pass) {
    params.SetInt("PID", settings.passReaderId);
  } else if (std::strcmp(settings.writerTag, "[PLUGIN]RMVB") == 0 && job.inputs.tags.enabled) {
    char text[256];
    const TagInfo& tags = job.inputs.tags;
    CopyUtf8Bounded(Utf16FieldToUtf8(tags.title, 128), text, sizeof text);
    params.SetString("TITLE", text);
    CopyUtf8Bounded(Utf16FieldToUtf8(tags.artist, 128), text, sizeof text);
    params.SetString("AUTHOR", text);
  }
  writer->SetParams(&params);

  if (!HookProgress(graph, writer, -1)) {
    Diag(DiagLevel::kError, "the writer has no video or audio input to report progress from");
    return setup.End(E_FAIL);
  }

  HRESULT written = RunGraphLoop(graph, control, player);
  ConsoleLine("type=%s\n", settings.writerTag);
  std::fflush(stdout);
  if (written == STATUS_CONTROL_C_EXIT) setup.RemoveNewOutputs();  // a writer that wrote in place
  if (written != S_OK) return written;                             // the output could not be written
  if (pass) return S_OK;
  WriteOutputTags(job);
  return S_OK;
}
