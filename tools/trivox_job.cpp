// trivox_job: writes a job record file from command-line options, or dumps one
// as readable text.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/job_dump.h"
#include "common/job_records.h"
#include "platform/utf_text.h"
#include "platform/version.h"
#include "platform/win_types.h"
#include "tools/tool_args.h"

namespace {

enum Kind { kConvert = 1, kDemux = 2, kMux = 4, kFrame = 8 };
constexpr int kWithSources = kConvert | kMux | kFrame;
constexpr int kAnyKind = kConvert | kDemux | kMux | kFrame;

const char* KindName(Kind kind) {
  switch (kind) {
    case kConvert:
      return "convert";
    case kDemux:
      return "demux";
    case kMux:
      return "mux";
    case kFrame:
      return "frame";
  }
  return "?";
}

bool ParseKind(std::string_view text, Kind& kind) {
  for (Kind k : {kConvert, kDemux, kMux, kFrame})
    if (text == KindName(k)) {
      kind = k;
      return true;
    }
  return false;
}

struct UsageError {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw UsageError{message}; }

// The records being written; only the one of the chosen kind is used.
struct Job {
  Kind kind = kConvert;
  std::unique_ptr<ConvertJob> convert = std::make_unique<ConvertJob>();
  std::unique_ptr<DemuxJob> demux = std::make_unique<DemuxJob>();
  std::unique_ptr<MuxJob> mux = std::make_unique<MuxJob>();
  std::unique_ptr<FrameJob> frame = std::make_unique<FrameJob>();
  FilterEntry* lastFilter = nullptr;

  JobRecord& Record() {
    switch (kind) {
      case kDemux:
        return *demux;
      case kMux:
        return *mux;
      case kFrame:
        return *frame;
      default:
        return *convert;
    }
  }
  JobInputList& Inputs() {
    switch (kind) {
      case kMux:
        return mux->inputs;
      case kFrame:
        return frame->inputs;
      default:
        return convert->inputs;
    }
  }
  JobInput& LastInput(const std::string& option) {
    JobInputList& list = Inputs();
    if (list.count == 0) Fail(option + " needs a --source before it");
    return list.inputs[list.count - 1];
  }
  OutputTarget& Target() { return kind == kMux ? mux->output : convert->output; }
  FrameRateChange& FrameRate() {
    switch (kind) {
      case kDemux:
        return demux->frameRate;
      case kMux:
        return mux->frameRate;
      default:
        return convert->frameRate;
    }
  }
  DemuxOutput& LastOutput(const std::string& option) {
    if (demux->outputs.empty()) Fail(option + " needs an --out-stream before it");
    return demux->outputs.back();
  }
};

// ---- value parsing ----

template <typename T>
T ParseNumber(const std::string& option, const std::string& text) {
  std::string_view s = text;
  bool negative = !s.empty() && s.front() == '-';
  if (negative) s.remove_prefix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) Fail(option + ": \"" + text + "\" is not a number");
  using U = std::make_unsigned_t<T>;
  // Hexadecimal values may name the full unsigned range (0xFFFFFFFF).
  if (!negative && base == 16 && magnitude <= static_cast<uint64_t>(static_cast<U>(-1)))
    return static_cast<T>(static_cast<U>(magnitude));
  if (!negative && magnitude <= static_cast<uint64_t>(std::numeric_limits<T>::max())) return static_cast<T>(magnitude);
  if (std::is_signed_v<T> && negative && magnitude <= static_cast<uint64_t>(std::numeric_limits<T>::max()) + 1)
    return static_cast<T>(-static_cast<int64_t>(magnitude - 1) - 1);
  Fail(option + ": " + text + " is out of range");
}

int32_t Int32Of(const std::string& option, const std::string& text) { return ParseNumber<int32_t>(option, text); }

// A four-letter code ("PC16") or a number.
int32_t CodeOf(const std::string& option, const std::string& text) {
  if (text.size() == 4 && !(text[0] >= '0' && text[0] <= '9') && text[0] != '-')
    return static_cast<int32_t>(MakeFourcc(text[0], text[1], text[2], text[3]));
  return Int32Of(option, text);
}

template <size_t N>
void SetText(const std::string& option, char (&field)[N], const std::string& text) {
  if (!SetJobText(field, text))
    Fail(option + ": text of " + std::to_string(text.size()) + " bytes does not fit its field of " +
         std::to_string(N - 1));
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t comma = text.find(',', start);
    parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return parts;
}

template <size_t N>
void SetWide(const std::string& option, char16_t (&field)[N], const std::string& text) {
  bool valid = true;
  const std::u16string out = Utf8ToUtf16(text, &valid);
  if (!valid) Fail(option + ": text is not UTF-8");
  if (out.size() >= N)
    Fail(option + ": text of " + std::to_string(out.size()) + " UTF-16 units does not fit its field of " +
         std::to_string(N - 1));
  std::fill(std::begin(field), std::end(field), u'\0');
  std::copy(out.begin(), out.end(), field);
}

void AddFilter(Job& job, std::vector<FilterEntry>& list, const std::string& option, const std::string& value) {
  size_t eq = value.find('=');
  if (eq == std::string::npos) Fail(option + ": expected KEY=PARAMETER-TEXT");
  FilterEntry entry;
  entry.flags = kFilterUserAdded;
  SetText(option, entry.key, value.substr(0, eq));
  entry.params = value.substr(eq + 1);
  list.push_back(std::move(entry));
  job.lastFilter = &list.back();
}

// ---- the option table ----

struct Option {
  const char* name;
  int kinds;
  const char* value;
  const char* help;
  std::function<void(Job&, const std::string&, const std::string&)> apply;
};

#define INT_FIELD(expr) [](Job& j, const std::string& o, const std::string& v) { expr = Int32Of(o, v); }
#define TEXT_FIELD(expr) [](Job& j, const std::string& o, const std::string& v) { SetText(o, expr, v); }

const std::vector<Option>& Options() {
  static const std::vector<Option> options = {
      // Source list.
      {"--source", kWithSources, "PATH", "add a source (at most 8); the source options below apply to the last one",
       [](Job& j, const std::string& o, const std::string& v) {
         JobInputList& list = j.Inputs();
         if (list.count >= kMaxJobInputs) Fail(o + ": at most " + std::to_string(kMaxJobInputs) + " sources");
         JobInput& input = list.inputs[list.count];
         input.Clear();
         SetText(o, input.path, v);
         ++list.count;
       }},
      {"--start", kWithSources, "SECONDS", "start time of the source", INT_FIELD(j.LastInput(o).start)},
      {"--stop", kWithSources, "SECONDS", "stop time of the source (0 = to the end)", INT_FIELD(j.LastInput(o).stop)},
      {"--streams", kWithSources, "N,N,...", "reader output pins to use (at most 20; empty = every stream)",
       [](Job& j, const std::string& o, const std::string& v) {
         JobInput& input = j.LastInput(o);
         input.selectedCount = 0;
         if (v.empty()) return;
         for (const std::string& part : SplitList(v)) {
           if (input.selectedCount >= kMaxSelectedStreams) Fail(o + ": at most 20 streams");
           int32_t pin = Int32Of(o, part);
           if (pin < 0 || pin > 255) Fail(o + ": stream number " + part + " is not a byte");
           input.selected[input.selectedCount++] = static_cast<uint8_t>(pin);
         }
       }},
      {"--desc", kWithSources, "TEXT", "add a stream description parameter text to the source (at most 20)",
       [](Job& j, const std::string& o, const std::string& v) {
         JobInput& input = j.LastInput(o);
         if (input.descriptionCount >= kMaxStreamDescriptions) Fail(o + ": at most 20 stream descriptions");
         SetText(o, input.descriptions[input.descriptionCount], v);
         ++input.descriptionCount;
       }},
      {"--palette-valid", kWithSources, "N", "palette flag of the source", INT_FIELD(j.LastInput(o).paletteValid)},
      {"--palette", kWithSources, "X,...", "the source's 16 palette entries (YCrCb)",
       [](Job& j, const std::string& o, const std::string& v) {
         JobInput& input = j.LastInput(o);
         std::vector<std::string> parts = SplitList(v);
         if (parts.size() != 16) Fail(o + ": expected 16 entries");
         for (size_t i = 0; i < 16; ++i) input.palette[i] = ParseNumber<uint32_t>(o, parts[i]);
       }},
      // Tags.
      {"--artist", kWithSources, "TEXT", "tag: artist",
       [](Job& j, const std::string& o, const std::string& v) { SetWide(o, j.Inputs().tags.artist, v); }},
      {"--title", kWithSources, "TEXT", "tag: title",
       [](Job& j, const std::string& o, const std::string& v) { SetWide(o, j.Inputs().tags.title, v); }},
      {"--album", kWithSources, "TEXT", "tag: album",
       [](Job& j, const std::string& o, const std::string& v) { SetWide(o, j.Inputs().tags.album, v); }},
      {"--comment", kWithSources, "TEXT", "tag: comment",
       [](Job& j, const std::string& o, const std::string& v) { SetWide(o, j.Inputs().tags.comment, v); }},
      {"--year", kWithSources, "N", "tag: year", INT_FIELD(j.Inputs().tags.year)},
      {"--track", kWithSources, "N", "tag: track number", INT_FIELD(j.Inputs().tags.track)},
      {"--genre", kWithSources, "TEXT", "tag: genre", TEXT_FIELD(j.Inputs().tags.genre)},
      {"--tags-enabled", kWithSources, "N", "write the tags into the output when nonzero",
       INT_FIELD(j.Inputs().tags.enabled)},
      // Output target (the bitmap path of a frame job).
      {"--output", kConvert | kMux | kFrame, "PATH", "output path (the bitmap's path in a frame job)",
       [](Job& j, const std::string& o, const std::string& v) {
         if (j.kind == kFrame)
           SetText(o, j.frame->outputPath, v);
         else
           SetText(o, j.Target().path, v);
       }},
      {"--target1", kConvert | kMux, "N", "first target word", INT_FIELD(j.Target().targetWord1)},
      {"--target2", kConvert | kMux, "N", "second target word", INT_FIELD(j.Target().targetWord2)},
      {"--target-value", kConvert | kMux, "N", "64-bit target value",
       [](Job& j, const std::string& o, const std::string& v) { j.Target().targetValue = ParseNumber<int64_t>(o, v); }},
      {"--numbered", kConvert | kMux, "N", "numbered output files when nonzero", INT_FIELD(j.Target().numbered)},
      // Encode settings.
      {"--source-mode", kConvert | kFrame, "N", "reader choice (0 to 4)",
       [](Job& j, const std::string& o, const std::string& v) {
         if (j.kind == kFrame)
           j.frame->sourceMode = Int32Of(o, v);
         else
           j.convert->settings.sourceMode = Int32Of(o, v);
       }},
      {"--acodec", kConvert, "TAG", "audio codec tag: COPY, NONE, raw or an encoder",
       TEXT_FIELD(j.convert->settings.audioCodec)},
      {"--audio-setting1", kConvert, "N", "audio setting kept for the front end",
       INT_FIELD(j.convert->settings.audioSetting1)},
      {"--channels", kConvert, "N", "output channels", INT_FIELD(j.convert->settings.channels)},
      {"--abitrate", kConvert, "N", "audio bit rate", INT_FIELD(j.convert->settings.audioBitrate)},
      {"--audio-setting2", kConvert, "N", "audio setting kept for the front end",
       INT_FIELD(j.convert->settings.audioSetting2)},
      {"--sample-rate", kConvert, "N", "output sample rate", INT_FIELD(j.convert->settings.sampleRate)},
      {"--pass", kConvert, "N", "output to the pass writer when nonzero", INT_FIELD(j.convert->settings.passFlag)},
      {"--pass-reader", kConvert, "PID", "process id of the merging engine",
       INT_FIELD(j.convert->settings.passReaderId)},
      {"--vcodec", kConvert, "TAG", "video codec tag: COPY, NONE, raw or an encoder",
       TEXT_FIELD(j.convert->settings.videoCodec)},
      {"--video-setting", kConvert, "N", "video setting kept for the front end",
       INT_FIELD(j.convert->settings.videoSetting)},
      {"--width", kConvert, "N", "output video width", INT_FIELD(j.convert->settings.width)},
      {"--height", kConvert, "N", "output video height", INT_FIELD(j.convert->settings.height)},
      {"--vbitrate", kConvert, "N", "video bit rate", INT_FIELD(j.convert->settings.videoBitrate)},
      {"--frame-rate-num", kConvert, "N", "frame-rate numerator of the pass reader",
       INT_FIELD(j.convert->settings.frameRateNum)},
      {"--frame-rate-den", kConvert, "N", "frame-rate denominator of the pass reader",
       INT_FIELD(j.convert->settings.frameRateDen)},
      {"--writer", kConvert | kMux, "TAG", "writer registry tag, e.g. [FFM]MP3",
       [](Job& j, const std::string& o, const std::string& v) {
         if (j.kind == kMux)
           SetText(o, j.mux->writerTag, v);
         else
           SetText(o, j.convert->settings.writerTag, v);
       }},
      {"--atag", kConvert, "CODE", "audio tag of the writer: four letters or a number",
       [](Job& j, const std::string& o, const std::string& v) { j.convert->settings.audioTag = CodeOf(o, v); }},
      {"--vtag", kConvert, "CODE", "video tag of the writer: four letters or a number",
       [](Job& j, const std::string& o, const std::string& v) { j.convert->settings.videoTag = CodeOf(o, v); }},
      {"--raw-audio", kConvert, "CODE", "raw audio code: PC08, PC16, PC24, PC32 or a number",
       [](Job& j, const std::string& o, const std::string& v) { j.convert->settings.rawAudioCode = CodeOf(o, v); }},
      {"--raw-video", kConvert, "CODE", "raw video codec code: four letters or a number",
       [](Job& j, const std::string& o, const std::string& v) { j.convert->settings.rawVideoCode = CodeOf(o, v); }},
      {"--atracks", kConvert, "N", "audio track count of the pass reader",
       INT_FIELD(j.convert->settings.audioTrackCount)},
      {"--vtracks", kConvert, "N", "video track count of the pass reader",
       INT_FIELD(j.convert->settings.videoTrackCount)},
      {"--writer-params", kConvert, "TEXT", "writer parameter text", TEXT_FIELD(j.convert->settings.writerParams)},
      {"--aparams", kConvert, "TEXT", "audio encoder parameter text", TEXT_FIELD(j.convert->settings.audioParams)},
      {"--vparams", kConvert, "TEXT", "video encoder parameter text", TEXT_FIELD(j.convert->settings.videoParams)},
      {"--afilter", kConvert, "KEY=TEXT", "append an audio filter (flags 2) with its parameter text",
       [](Job& j, const std::string& o, const std::string& v) {
         AddFilter(j, j.convert->settings.audioFilters, o, v);
       }},
      {"--vfilter", kConvert, "KEY=TEXT", "append a video filter (flags 2) with its parameter text",
       [](Job& j, const std::string& o, const std::string& v) {
         AddFilter(j, j.convert->settings.videoFilters, o, v);
       }},
      {"--filter-flags", kConvert, "N", "flags of the last filter added",
       [](Job& j, const std::string& o, const std::string& v) {
         if (!j.lastFilter) Fail(o + " needs an --afilter or --vfilter before it");
         j.lastFilter->flags = Int32Of(o, v);
       }},
      // Frame-rate change.
      {"--fr-enabled", kConvert | kDemux | kMux, "N", "frame-rate change first in the video chain when nonzero",
       INT_FIELD(j.FrameRate().enabled)},
      {"--fr-num", kConvert | kDemux | kMux, "N", "frame-rate change numerator (FRAMENUM)",
       INT_FIELD(j.FrameRate().numerator)},
      {"--fr-den", kConvert | kDemux | kMux, "N", "frame-rate change denominator (FRAMEDEN)",
       INT_FIELD(j.FrameRate().denominator)},
      // Demux and frame jobs.
      {"--source-path", kDemux | kFrame, "PATH", "path of the source file",
       [](Job& j, const std::string& o, const std::string& v) {
         if (j.kind == kDemux)
           SetText(o, j.demux->sourcePath, v);
         else
           SetText(o, j.frame->sourcePath, v);
       }},
      {"--out-stream", kDemux, "N", "add a demux output for this reader pin; the --out options apply to the last one",
       [](Job& j, const std::string& o, const std::string& v) {
         DemuxOutput out;
         out.stream = Int32Of(o, v);
         j.demux->outputs.push_back(out);
       }},
      {"--out-writer", kDemux, "TAG", "writer tag of the output", TEXT_FIELD(j.LastOutput(o).writerTag)},
      {"--out-path", kDemux, "PATH", "path of the output", TEXT_FIELD(j.LastOutput(o).path)},
      {"--out-global-header", kDemux, "N", "GLOBALHEADER of the output", INT_FIELD(j.LastOutput(o).globalHeader)},
      {"--global-header", kMux, "N", "GLOBALHEADER of the writer", INT_FIELD(j.mux->globalHeader)},
      {"--stream", kFrame, "N", "reader output pin to render", INT_FIELD(j.frame->stream)},
      {"--frame-count", kFrame, "N", "frame number (FRAMENUM)", INT_FIELD(j.frame->frameCount)},
      {"--frame-start", kFrame, "SECONDS", "start time in seconds", INT_FIELD(j.frame->startSeconds)},
  };
  return options;
}

#undef INT_FIELD
#undef TEXT_FIELD

void PrintHelp() {
  std::printf(
      "Usage:\n"
      "  trivox_job write KIND FILE [OPTION VALUE]...   write a job record file\n"
      "  trivox_job dump [--kind KIND] FILE             print a job record file as text\n"
      "  trivox_job --help\n"
      "\n"
      "KIND is convert (modes -m, -p, -g), demux (-d), mux (-e) or frame (-b). dump takes the\n"
      "kind from a file named default_N.dat (0, 3, 4 convert; 1 demux; 2 mux; 5 frame) unless\n"
      "--kind is given. Numbers are decimal or 0x hexadecimal. Texts longer than their field are\n"
      "refused. Every option takes one value; the kinds it applies to are in brackets.\n\n");
  for (const Option& option : Options()) {
    std::string kinds;
    for (Kind k : {kConvert, kDemux, kMux, kFrame})
      if (option.kinds & k) kinds += std::string(kinds.empty() ? "" : ",") + KindName(k);
    std::string left = std::string(option.name) + " " + option.value;
    std::printf("  %-26s %s [%s]\n", left.c_str(), option.help, kinds.c_str());
  }
}

// ---- writing ----

// getopt_long over the command's own words (argv[0] is the command).
ToolArgs ParseCommand(int argc, char** argv, const std::vector<ToolOption>& options,
                      const std::function<void(size_t, const std::string&)>& handle) {
  ToolArgs args = ParseToolArgs(argc, argv, options, [&](size_t index, const std::string& value) {
    handle(index, value);
    return std::string();
  });
  if (!args.error.empty()) Fail(args.error);
  return args;
}

int WriteCommand(int argc, char** argv) {
  Job job;
  // The kind comes first, so that every option can be checked against it.
  if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintHelp();
    return 0;
  }
  if (argc < 3) Fail("write needs KIND and FILE");
  if (!ParseKind(argv[1], job.kind)) Fail(std::string("unknown kind \"") + argv[1] + "\"");
  std::vector<ToolOption> table;
  for (const Option& option : Options()) table.push_back({option.name + 2, true});
  const ToolArgs args = ParseCommand(argc, argv, table, [&](size_t index, const std::string& value) {
    const Option& option = Options()[index];
    const std::string name = option.name;
    if (!(option.kinds & job.kind)) Fail("option " + name + " does not apply to a " + KindName(job.kind) + " job");
    option.apply(job, name, value);
  });
  if (args.help) {
    PrintHelp();
    return 0;
  }
  if (args.words.size() != 2) Fail("write needs KIND and FILE");
  const std::string path = args.words[1];
  std::vector<uint8_t> bytes = SerialiseRecord(job.Record());
  std::string temp = path + ".tmp";
  FILE* file = std::fopen(temp.c_str(), "wb");
  if (!file) {
    std::fprintf(stderr, "trivox_job: cannot create %s: %s\n", temp.c_str(), std::strerror(errno));
    return 1;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = (std::fclose(file) == 0) && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::fprintf(stderr, "trivox_job: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    std::remove(temp.c_str());
    return 1;
  }
  return 0;
}

// ---- dumping ----

bool KindFromFileName(const std::string& path, Kind& kind) {
  std::string base = path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  if (base.size() != 13 || base.compare(0, 8, "default_") != 0 || base.compare(9, 4, ".dat") != 0) return false;
  switch (base[8]) {
    case '0':
    case '3':
    case '4':
      kind = kConvert;
      return true;
    case '1':
      kind = kDemux;
      return true;
    case '2':
      kind = kMux;
      return true;
    case '5':
      kind = kFrame;
      return true;
    default:
      return false;
  }
}

int DumpCommand(int argc, char** argv) {
  Job job;
  bool haveKind = false;
  const ToolArgs args = ParseCommand(argc, argv, {{"kind", true}}, [&](size_t, const std::string& value) {
    if (!ParseKind(value, job.kind)) Fail("--kind needs convert, demux, mux or frame");
    haveKind = true;
  });
  if (args.help) {
    PrintHelp();
    return 0;
  }
  if (args.words.empty()) Fail("dump needs a FILE");
  if (args.words.size() > 1) Fail("dump takes one FILE");
  const std::string path = args.words[0];
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    std::fprintf(stderr, "trivox_job: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  if (!S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "trivox_job: %s is not a file\n", path.c_str());
    return 1;
  }
  if (!haveKind && !KindFromFileName(path, job.kind)) Fail("cannot tell the kind of " + path + ": give --kind");

  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    std::fprintf(stderr, "trivox_job: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (bytes.size() > static_cast<size_t>(INT32_MAX)) break;
  }
  bool readError = std::ferror(file);
  std::fclose(file);
  if (readError) {
    std::fprintf(stderr, "trivox_job: cannot read %s\n", path.c_str());
    return 1;
  }
  std::string reason;
  if (!ParseJobRecord(job.Record(), bytes, reason)) {
    std::fprintf(stderr, "trivox_job: %s: malformed %s job record: %s\n", path.c_str(), KindName(job.kind),
                 reason.c_str());
    return 1;
  }
  std::string text;
  switch (job.kind) {
    case kConvert:
      text = DumpJobRecord(*job.convert, bytes.size());
      break;
    case kDemux:
      text = DumpJobRecord(*job.demux, bytes.size());
      break;
    case kMux:
      text = DumpJobRecord(*job.mux, bytes.size());
      break;
    case kFrame:
      text = DumpJobRecord(*job.frame, bytes.size());
      break;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersion(argc, argv, "trivox_job")) return 0;
  std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    PrintHelp();
    return 0;
  }
  try {
    if (command == "write") return WriteCommand(argc - 1, argv + 1);
    if (command == "dump") return DumpCommand(argc - 1, argv + 1);
    Fail(command.empty() ? "no command given" : "unknown command \"" + command + "\"");
  } catch (const UsageError& error) {
    std::fprintf(stderr, "trivox_job: %s (see trivox_job --help)\n", error.message.c_str());
    return 2;
  }
}
