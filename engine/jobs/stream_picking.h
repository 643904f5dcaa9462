// Opening a conversion's writer and sources and picking the streams to
// convert: one video stream, the audio streams the writer can take, and text
// streams for subtitles.
// Results: HRESULT functions answer S_OK or the job codes below; bool for found.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "engine/jobs/media_chains.h"

constexpr HRESULT E_NO_WRITER = MakeHResult(0x80040203u);
constexpr HRESULT E_NO_STREAM_PICKED = MakeHResult(0x8004020Au);
constexpr HRESULT E_UNKNOWN_SOURCE_FORMAT = MakeHResult(0x80040012u);
constexpr HRESULT E_SOURCE_NOT_FOUND = MakeHResult(0x80040081u);  // also "not a file"
// The output names the same file as a source (a sharing violation on the source).
constexpr HRESULT E_OUTPUT_IS_SOURCE = MakeHResult(0x80070020u);

// Refusals before anything is opened, each with its log line: a source path
// that exists but is not a regular file (a FIFO would block the open) and an
// output that exists and is neither a regular file nor a link (a folder is
// let through only for folderOutput) give E_SOURCE_NOT_FOUND; an output that
// is a source (the same file through links too, or another spelling of its
// path; a "dvd:" source's disc image included) gives E_OUTPUT_IS_SOURCE.
// Null or empty outputs are skipped.
HRESULT CheckJobPaths(const std::vector<const char*>& sources, const std::vector<const char*>& outputs,
                      bool folderOutput = false);
// True for a writer whose output is a folder (the picture sequence).
bool IsFolderWriter(const char* tag);
// The paths of the job's sources.
std::vector<const char*> SourcePathsOf(const JobInputList& sources);
// True when both paths name one file: the same device and inode where both
// exist, else the same absolute path once "." and ".." are taken out.
bool SameFile(const char* a, const char* b);

// Which readers open a source (the output settings' source mode).
enum : int32_t {
  SOURCE_MODE_OWN_OR_DSHOW = 0,
  SOURCE_MODE_PREFER_DSHOW = 1,
  SOURCE_MODE_OWN_WHEN_DECODABLE = 2,
  SOURCE_MODE_DSHOW_ONLY = 3,
  SOURCE_MODE_OWN_ONLY = 4,
};

enum : int32_t { STREAM_VIDEO = 0, STREAM_AUDIO = 1, STREAM_TEXT = 2, STREAM_OTHER = 255 };

struct TrackLimits {
  WriterLimits writer;
  int32_t videoTaken = 0;
  int32_t audioTaken = 0;
  int32_t reserved = 0;
};

struct PickedStream {
  IMediaModule* reader = nullptr;
  uint32_t pin = 0;
  int32_t startCut = 0;  // seconds
  int32_t stopCut = 0;
};

// Kind of the pin's first output type.
int32_t StreamKind(IMediaModule* module, uint32_t pin);
// Kind of the last recognised output type; *raw = 1 (and the walk stops) at
// an uncompressed type.
int32_t StreamKindAndRaw(IMediaModule* module, uint32_t pin, int32_t* raw);
// True when an uncompressed type comes first or a registered decoder takes one
// of the pin's types (or their codec-table variants).
bool HasDecoderFor(IModuleSource& modules, IMediaModule* reader, uint32_t pin);

// Writer by tag with its output set; on a SetOutput error the writer is
// closed and *writer is null.
HRESULT OpenWriter(IModuleSource& modules, const char* tag, const OutputTarget& output, IMediaModule** writer,
                   TrackLimits* limits);
// *reader may be set even on error (the caller closes it). descriptions: the
// job's stream descriptions of the source, handed to every reader that takes
// them (IStreamDescriptions) before it opens the source.
HRESULT OpenSourceReader(IModuleSource& modules, const char* path, int32_t start, int32_t stop, IMediaModule** reader,
                         int32_t mode, const std::vector<std::string>& descriptions = {});
IMediaModule* CreateDirectShowReader(IModuleSource& modules);

// The source's stream descriptions, each cut at its field.
std::vector<std::string> StreamDescriptionsOf(const JobInput& input);
// True when the source uses the reader's output pin (no selection: every pin).
bool StreamSelected(const JobInput& input, uint32_t pin);
// The log line of a source that could not be opened (the result of OpenSourceReader).
void LogSourceFailure(const char* path, HRESULT hr);

// Opening start and stop and the cuts of a source (seconds).
struct SourceCuts {
  int32_t openStart = 0;
  int32_t openStop = 0;
  int32_t startCut = 0;
  int32_t stopCut = 0;
};
SourceCuts CutsForSource(const char* path, int32_t start, int32_t stop, bool copyRule);

// Picks the streams of every source; picked holds the first video stream,
// then the first audio stream, then further audio streams in order found.
// readers gets every reader left open, also on error: the caller closes those
// the graph has not taken (a reader joins it with its first connection).
HRESULT PickStreams(IJobGraph& graph, IModuleSource& modules, const JobInputList& sources,
                    const EncodeSettings& settings, std::vector<PickedStream>& picked,
                    std::vector<IMediaModule*>& readers, TrackLimits& limits, int32_t mode,
                    SubtitleWriterTable& subtitles);
