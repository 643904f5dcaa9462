#include "engine/jobs/stream_picking.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/modules/dvd/dvd_url.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/diagnostics.h"
#include "platform/text_case.h"
#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/stream_descriptions.h"

namespace {

int32_t KindOfMajorType(const GUID& major) {
  if (major == MEDIATYPE_Video) return STREAM_VIDEO;
  if (major == MEDIATYPE_Audio) return STREAM_AUDIO;
  if (major == MEDIATYPE_Text || IsSubtitleMajorType(major)) return STREAM_TEXT;
  return STREAM_OTHER;
}

bool IsUncompressed(const AM_MEDIA_TYPE* mt) { return IsRawPixelFormat(mt->subtype) || IsPcmSubtype(mt->subtype); }

HRESULT OpenReaderFile(IMediaModule* module, const char* path, int32_t start, int32_t stop,
                       const std::vector<std::string>& descriptions) {
  IMediaReader* reader = QueryAsReader(module);
  if (!reader) return E_NOINTERFACE;
  if (IStreamDescriptions* described = QueryStreamDescriptions(module)) {
    std::vector<const char*> texts;
    for (const std::string& text : descriptions) texts.push_back(text.c_str());
    const HRESULT hr = described->SetStreamDescriptions(texts.data(), static_cast<int32_t>(texts.size()));
    if (hr != S_OK) return hr;
  }
  return reader->OpenFile(path, start, stop);
}

struct PinCounts {
  int32_t video = 0;
  int32_t audio = 0;
  bool allDecodable = true;
};

PinCounts CountDecodablePins(IModuleSource& modules, IMediaModule* reader) {
  PinCounts counts;
  const uint32_t pins = reader->GetOutputPinCount();
  for (uint32_t pin = 0; pin < pins; ++pin) {
    const int32_t kind = StreamKind(reader, pin);
    if (kind != STREAM_VIDEO && kind != STREAM_AUDIO) continue;
    if (!HasDecoderFor(modules, reader, pin)) {
      counts.allDecodable = false;
      continue;
    }
    (kind == STREAM_VIDEO ? counts.video : counts.audio)++;
  }
  return counts;
}

PinCounts CountPins(IMediaModule* reader) {
  PinCounts counts;
  const uint32_t pins = reader->GetOutputPinCount();
  for (uint32_t pin = 0; pin < pins; ++pin) {
    const int32_t kind = StreamKind(reader, pin);
    if (kind == STREAM_VIDEO) ++counts.video;
    if (kind == STREAM_AUDIO) ++counts.audio;
  }
  return counts;
}

// "scheme:" in front of a path ("dvd:", "http:").
bool HasScheme(const char* path) {
  size_t n = 0;
  while (std::isalpha(static_cast<unsigned char>(path[n]))) ++n;
  return n >= 2 && path[n] == ':';
}

}  // namespace

std::vector<std::string> StreamDescriptionsOf(const JobInput& input) {
  const int32_t count = input.descriptionCount < 0                        ? 0
                        : input.descriptionCount > kMaxStreamDescriptions ? kMaxStreamDescriptions
                                                                          : input.descriptionCount;
  std::vector<std::string> texts;
  for (int32_t i = 0; i < count; ++i)
    texts.emplace_back(input.descriptions[i], strnlen(input.descriptions[i], kJobParamField));
  return texts;
}

void LogSourceFailure(const char* path, HRESULT hr) {
  struct stat st {};
  if (hr == E_SOURCE_NOT_FOUND && !HasScheme(path) && stat(path, &st) != 0)
    Diag(DiagLevel::kError, "the source \"%s\" does not exist", path);
  else if (hr == E_SOURCE_NOT_FOUND && !HasScheme(path) && !S_ISREG(st.st_mode))
    Diag(DiagLevel::kError, "the source \"%s\" is not a file", path);
  else if (hr == E_UNKNOWN_SOURCE_FORMAT)
    Diag(DiagLevel::kError, "no reader recognises the source \"%s\"", path);
  else
    Diag(DiagLevel::kError, "cannot open the source \"%s\" (%08X)", path, static_cast<unsigned>(hr));
}

bool StreamSelected(const JobInput& input, uint32_t pin) {
  if (input.selectedCount == 0) return true;
  const int32_t n = input.selectedCount < 0
                        ? 0
                        : (input.selectedCount > kMaxSelectedStreams ? kMaxSelectedStreams : input.selectedCount);
  for (int32_t i = 0; i < n; ++i)
    if (input.selected[i] == pin) return true;
  return false;
}

bool IsFolderWriter(const char* tag) { return std::strcmp(tag, "[FFM]IMAGE2") == 0; }

std::vector<const char*> SourcePathsOf(const JobInputList& sources) {
  const int32_t count = sources.count < 0 ? 0 : (sources.count > kMaxJobInputs ? kMaxJobInputs : sources.count);
  std::vector<const char*> paths;
  for (int32_t item = 0; item < count; ++item) paths.push_back(sources.inputs[item].path);
  return paths;
}

bool SameFile(const char* a, const char* b) {
  struct stat sa {
  }, sb{};
  if (stat(a, &sa) == 0 && stat(b, &sb) == 0) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  // Not both there: two spellings of one path still name the same file.
  std::error_code ec;
  const std::filesystem::path na = std::filesystem::absolute(a, ec).lexically_normal();
  if (ec) return false;
  const std::filesystem::path nb = std::filesystem::absolute(b, ec).lexically_normal();
  return !ec && na == nb;
}

HRESULT CheckJobPaths(const std::vector<const char*>& sources, const std::vector<const char*>& outputs,
                      bool folderOutput) {
  for (const char* path : sources) {
    struct stat st {};
    // Opening a FIFO or a socket would wait for a writer for ever.
    if (!HasScheme(path) && stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
      Diag(DiagLevel::kError, "the source \"%s\" is not a file", path);
      return E_SOURCE_NOT_FOUND;
    }
  }
  for (const char* output : outputs) {
    if (!output || !output[0]) continue;
    struct stat st {};
    // A link is replaced by the new file, never opened; anything else but a
    // file (a pipe, socket or device, whose open may block) is refused.
    if (lstat(output, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode) &&
        !(folderOutput && S_ISDIR(st.st_mode))) {
      Diag(DiagLevel::kError, "the output \"%s\" is not a file", output);
      return E_SOURCE_NOT_FOUND;
    }
    for (const char* path : sources) {
      std::string source = path;
      if (IsDvdUrl(source.c_str())) {
        const std::optional<DvdUrl> url = DvdUrlParse(source.c_str());
        if (!url) continue;
        source = url->path;
      } else if (HasScheme(source.c_str())) {
        continue;
      }
      if (SameFile(source.c_str(), output)) {
        Diag(DiagLevel::kError, "the output \"%s\" is the source \"%s\": refused, the source would be lost", output,
             path);
        return E_OUTPUT_IS_SOURCE;
      }
    }
  }
  return S_OK;
}

int32_t StreamKind(IMediaModule* module, uint32_t pin) {
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  if (module->GetOutputType(pin, 0, &mt) != S_OK) {
    ClearMediaTypeFormat(&mt);
    return STREAM_OTHER;
  }
  const int32_t kind = KindOfMajorType(mt.majortype);
  ClearMediaTypeFormat(&mt);
  return kind;
}

int32_t StreamKindAndRaw(IMediaModule* module, uint32_t pin, int32_t* raw) {
  *raw = 0;
  int32_t kind = STREAM_OTHER;
  AM_MEDIA_TYPE mt;
  for (uint32_t i = 0;; ++i) {
    InitMediaType(&mt);
    const bool got = module->GetOutputType(pin, i, &mt) == S_OK;
    if (got) {
      if (int32_t k = KindOfMajorType(mt.majortype); k != STREAM_OTHER) kind = k;
      if (IsUncompressed(&mt)) *raw = 1;
    }
    ClearMediaTypeFormat(&mt);
    if (!got || *raw) return kind;
  }
}

bool HasDecoderFor(IModuleSource& modules, IMediaModule* reader, uint32_t pin) {
  AM_MEDIA_TYPE mt;
  for (uint32_t i = 0;; ++i) {
    InitMediaType(&mt);
    if (reader->GetOutputType(pin, i, &mt) != S_OK) {
      ClearMediaTypeFormat(&mt);
      return false;
    }
    bool found = IsUncompressed(&mt);
    if (!found) {
      CMediaTypeList variants;
      variants.Add(&mt);
      for (int32_t v = 0; v < variants.GetCount() && !found; ++v) found = modules.HasDecoder(variants.GetAt(v));
    }
    ClearMediaTypeFormat(&mt);
    if (found) return true;
  }
}

HRESULT OpenWriter(IModuleSource& modules, const char* tag, const OutputTarget& output, IMediaModule** writer,
                   TrackLimits* limits) {
  *writer = nullptr;
  WriterLimits writerLimits;
  IMediaModule* module = modules.CreateWriter(tag, &writerLimits);
  if (!module) {
    Diag(DiagLevel::kError, "no writer \"%s\"", tag);
    return E_NO_WRITER;
  }
  if (limits) *limits = TrackLimits{writerLimits, 0, 0, 0};
  IMediaWriter* asWriter = QueryAsWriter(module);
  if (!asWriter) {
    Diag(DiagLevel::kError, "\"%s\" is not a writer", tag);
    DiscardModule(module);
    return E_NO_WRITER;
  }
  const uint64_t value = static_cast<uint64_t>(output.targetValue);
  const int32_t target[6] = {output.targetWord1,
                             output.targetWord2,
                             static_cast<int32_t>(value & 0xFFFFFFFFu),
                             static_cast<int32_t>(value >> 32),
                             output.numbered,
                             0};
  HRESULT hr = asWriter->SetOutput(output.path, target);
  if (hr != S_OK) {
    Diag(DiagLevel::kError, "the writer \"%s\" cannot write \"%s\" (%08X)", tag, output.path,
         static_cast<unsigned>(hr));
    DiscardModule(module);
    return hr;
  }
  *writer = module;
  return S_OK;
}

IMediaModule* CreateDirectShowReader(IModuleSource& modules) { return modules.CreateReaderByExtension(".dshowext"); }

HRESULT OpenSourceReader(IModuleSource& modules, const char* path, int32_t start, int32_t stop, IMediaModule** reader,
                         int32_t mode, const std::vector<std::string>& descriptions) {
  *reader = nullptr;
  IMediaModule* own = nullptr;
  HRESULT ownResult = E_UNKNOWN_SOURCE_FORMAT;
  PinCounts ownCounts;
  if (mode != SOURCE_MODE_DSHOW_ONLY) {
    bool isFile = false;
    own = modules.SelectReader(path, &isFile);
    if (own) {
      ownResult = OpenReaderFile(own, path, start, stop, descriptions);
      if (ownResult == S_OK) ownCounts = CountDecodablePins(modules, own);
    } else {
      ownResult = isFile ? E_UNKNOWN_SOURCE_FORMAT : E_SOURCE_NOT_FOUND;
    }
  }
  if (mode == SOURCE_MODE_OWN_ONLY) {
    *reader = own;
    return ownResult;
  }
  if (mode == SOURCE_MODE_OWN_WHEN_DECODABLE && own && ownResult == S_OK && ownCounts.allDecodable) {
    *reader = own;
    return S_OK;
  }

  // The own reader keeps a source whose video and audio it both reads: the
  // DirectShow graph could not change the choice, so it is not built.
  if (mode == SOURCE_MODE_OWN_OR_DSHOW && own && ownResult == S_OK && ownCounts.video > 0 && ownCounts.audio > 0) {
    Diag(DiagLevel::kTrace, "the own reader reads the video and the audio: no DirectShow reader is tried");
    *reader = own;
    return S_OK;
  }

  IMediaModule* dshow = CreateDirectShowReader(modules);
  HRESULT dshowResult = E_UNKNOWN_SOURCE_FORMAT;
  PinCounts dshowCounts;
  if (dshow) {
    dshowResult = OpenReaderFile(dshow, path, start, stop, descriptions);
    if (dshowResult == S_OK) dshowCounts = CountPins(dshow);
  }
  ConsoleLine("dshow %d %d\n", dshowCounts.video, dshowCounts.audio);

  if (mode == SOURCE_MODE_DSHOW_ONLY) {
    DiscardModule(own);
    *reader = dshow;
    return dshowResult;
  }
  // Without a DirectShow source reader there is nothing to replace the own reader with.
  if (dshow && mode == SOURCE_MODE_PREFER_DSHOW) {
    if ((dshowCounts.video > 0 || ownCounts.video == 0) && (dshowCounts.audio > 0 || ownCounts.audio == 0)) {
      DiscardModule(own);
      DiscardModule(dshow);
      IMediaModule* fresh = CreateDirectShowReader(modules);
      *reader = fresh;
      return fresh ? OpenReaderFile(fresh, path, start, stop, descriptions) : E_UNKNOWN_SOURCE_FORMAT;
    }
  } else if (dshow) {
    if ((ownCounts.video == 0 && dshowCounts.video > 0) || (ownCounts.audio == 0 && dshowCounts.audio > 0)) {
      DiscardModule(own);
      *reader = dshow;
      return dshowResult;
    }
  }
  DiscardModule(dshow);
  *reader = own;
  return ownResult;
}

SourceCuts CutsForSource(const char* path, int32_t start, int32_t stop, bool copyRule) {
  // Times come from the job record: negative ones mean 0, and the stop keeps
  // room for the five seconds added to it.
  if (start < 0) start = 0;
  if (stop < 0) stop = 0;
  if (stop > INT32_MAX - 5) stop = INT32_MAX - 5;
  SourceCuts cuts;
  const size_t length = std::strlen(path);
  if (length >= 6 && EqualsIgnoringCase(path + length - 5, ".flac")) {
    cuts.openStop = stop;
    cuts.startCut = start;
    return cuts;
  }
  if (copyRule) {
    cuts.openStart = start;
    cuts.openStop = stop;
    return cuts;
  }
  if (start >= 16) {
    cuts.openStart = start - 15;
    cuts.startCut = 15;
  } else {
    cuts.startCut = start;
  }
  if (stop != 0) {
    cuts.openStop = stop + 5;
    cuts.stopCut = stop - cuts.openStart;
  }
  return cuts;
}

HRESULT PickStreams(IJobGraph& graph, IModuleSource& modules, const JobInputList& sources,
                    const EncodeSettings& settings, std::vector<PickedStream>& picked,
                    std::vector<IMediaModule*>& readers, TrackLimits& limits, int32_t mode,
                    SubtitleWriterTable& subtitles) {
  picked.clear();
  readers.clear();
  const bool copyRule =
      EqualsIgnoringCase(settings.audioCodec, "COPY") || EqualsIgnoringCase(settings.videoCodec, "COPY");
  const bool noAudio = EqualsIgnoringCase(settings.audioCodec, "NONE");
  const bool noVideo = EqualsIgnoringCase(settings.videoCodec, "NONE");
  PickedStream firstVideo, firstAudio;
  bool haveVideo = false, haveAudio = false;
  std::vector<PickedStream> moreAudio;

  const int32_t count = sources.count < 0 ? 0 : (sources.count > kMaxJobInputs ? kMaxJobInputs : sources.count);
  for (int32_t item = 0; item < count; ++item) {
    const JobInput& input = sources.inputs[item];
    const SourceCuts cuts = CutsForSource(input.path, input.start, input.stop, copyRule);
    IMediaModule* reader = nullptr;
    HRESULT hr = OpenSourceReader(modules, input.path, cuts.openStart, cuts.openStop, &reader, mode,
                                  StreamDescriptionsOf(input));
    if (hr != S_OK) {
      LogSourceFailure(input.path, hr);
      DiscardModule(reader);
      return hr;
    }
    readers.push_back(reader);
    const uint32_t pins = reader->GetOutputPinCount();
    for (uint32_t pin = 0; pin < pins; ++pin) {
      if (!StreamSelected(input, pin)) continue;
      const PickedStream stream{reader, pin, cuts.startCut, cuts.stopCut};
      switch (StreamKind(reader, pin)) {
        case STREAM_AUDIO:
          if (noAudio) break;
          if (limits.audioTaken < limits.writer.maxAudio) {
            ++limits.audioTaken;
            if (!haveAudio) {
              firstAudio = stream;
              haveAudio = true;
            } else {
              moreAudio.push_back(stream);
            }
          } else {
            ConsoleLine("ignore a audio stream dure to track limits\n");
          }
          break;
        case STREAM_VIDEO:
          if (noVideo) break;
          if (limits.videoTaken < limits.writer.maxVideo) {
            ++limits.videoTaken;
            if (!haveVideo) {
              firstVideo = stream;
              haveVideo = true;
            }
          } else {
            ConsoleLine("ignore a video stream dure to track limits\n");
          }
          break;
        case STREAM_TEXT:
          if (!haveVideo) break;
          // Each subtitle stream gets a slot of its own while slots are free.
          for (IMediaModule*& slot : subtitles) {
            if (slot) continue;
            RenderSubtitleStream(graph, modules, {reader, pin}, &slot);
            break;
          }
          break;
        default:
          break;
      }
    }
  }
  if (haveVideo) picked.push_back(firstVideo);
  if (haveAudio) picked.push_back(firstAudio);
  picked.insert(picked.end(), moreAudio.begin(), moreAudio.end());
  return S_OK;
}
