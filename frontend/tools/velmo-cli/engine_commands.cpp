// velmo-cli probe, render-frame and convert: the engine run through engine
// sessions, as the front end runs it.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "frontend/model/engine_session.h"
#include "frontend/model/engine_watch.h"
#include "frontend/model/media_info.h"
#include "frontend/model/task_list.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "frontend/tools/velmo-cli/dvd_source.h"
#include "frontend/tools/velmo-cli/profile_option.h"
#include "frontend/tools/velmo-cli/task_args.h"
#include "platform/result_text.h"

namespace {

constexpr int32_t kDefaultDecoderMode = 4;  // the MODE option's default: internal decoders only

const CliOption kEngineOption = {"engine", true, "PATH", "engine to start (default: trivox_free beside velmo-cli)"};
const CliOption kModeOption = {"mode", true, "N", "decoder mode given to the engine (default 4)"};

uint32_t ParseMs(const std::string& option, const std::string& text) {
  const int32_t value = ParseInt32(option, text);
  if (value <= 0) Usage(option + " needs a number above 0");
  return static_cast<uint32_t>(value);
}

void PrintRecord(const MediaInfoRecord& r) {
  std::printf("RET=%08X\nLENGTH=%.3f\nTRACK=%d\n", static_cast<unsigned>(r.result), r.length, r.trackCount);
  std::printf("MINFO=%.*s\n", static_cast<int>(sizeof(r.info)), r.info);
  for (int32_t i = 0; i < r.TrackCount(); ++i) {
    const std::string_view text = r.Track(i);
    std::printf("TRACK %d,INFO=%.*s\n", i, static_cast<int>(text.size()), text.data());
  }
}

// Probes a source; false with the reason when the engine fails or does not recognise it.
bool ProbeSource(const std::string& path, int32_t mode, uint32_t timeoutMs, MediaInfoRecord& record,
                 std::string& message) {
  if (!ProbeMedia(path, mode, record, timeoutMs, &message)) {
    message = "cannot probe \"" + path + "\": " + message;
    return false;
  }
  if (record.result != 0) {
    message = "\"" + path + "\" is not a media file the engine recognises: RET=" + ResultWithText(record.result);
    return false;
  }
  return true;
}

}  // namespace

int ProbeCommand(int argc, char** argv) {
  enum { kEngine, kMode, kTimeout };
  const std::vector<CliOption> options = {
      kEngineOption, kModeOption, {"timeout", true, "MS", "give up after this long (default 15000)"}};
  int32_t mode = kDefaultDecoderMode;
  uint32_t timeoutMs = kProbeTimeoutMs;
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, options,
      [&](size_t id, const std::string& value) {
        if (id == kEngine) SetEngineProgram(value);
        if (id == kMode) mode = ParseInt32("--mode", value);
        if (id == kTimeout) timeoutMs = ParseMs("--timeout", value);
      },
      &help);
  if (help) {
    std::printf(
        "Usage: velmo-cli probe [OPTION]... FILE\n"
        "Probes FILE with the engine (\"trivox_free -l\") as the media scan does and prints\n"
        "the record: RET, LENGTH, TRACK, MINFO and one \"TRACK n,INFO=\" line per track.\n"
        "Exit status 0 when the engine recognised the file, 1 when it did not or failed.\n\n%s",
        OptionHelp(options).c_str());
    return 0;
  }
  if (rest.size() != 1) Usage("probe takes one file");
  auto record = std::make_unique<MediaInfoRecord>();
  std::string message;
  if (!ProbeMedia(rest[0], mode, *record, timeoutMs, &message))
    return CommandFailed("cannot probe \"" + rest[0] + "\": " + message);
  PrintRecord(*record);
  if (record->result != 0)
    return CommandFailed("\"" + rest[0] +
                         "\" is not a media file the engine recognises: RET=" + ResultWithText(record->result));
  return 0;
}

int RenderFrameCommand(int argc, char** argv) {
  enum { kEngine, kMode, kSec, kFrame, kStream, kOut, kTimeout };
  const std::vector<CliOption> options = {
      kEngineOption,
      kModeOption,
      {"sec", true, "SECONDS", "time of the frame in the source (default 0)"},
      {"frame", true, "N", "frame number given to the engine with the time (default 0)"},
      {"stream", true, "N", "the source's video track (default: its first video track, found by a probe)"},
      {"out", true, "FILE", "the picture to write (a bitmap)"},
      {"timeout", true, "MS", "give up after this long (default 8000)"},
  };
  auto job = std::make_unique<FrameJob>();
  int32_t stream = -1;
  std::string out;
  uint32_t timeoutMs = kFrameRenderTimeoutMs;
  job->sourceMode = kDefaultDecoderMode;
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, options,
      [&](size_t id, const std::string& value) {
        switch (id) {
          case kEngine:
            SetEngineProgram(value);
            break;
          case kMode:
            job->sourceMode = ParseInt32("--mode", value);
            break;
          case kSec:
            job->startSeconds = ParseInt32("--sec", value);
            if (job->startSeconds < 0) Usage("--sec cannot be negative");
            break;
          case kFrame:
            job->frameCount = ParseInt32("--frame", value);
            if (job->frameCount < 0) Usage("--frame cannot be negative");
            break;
          case kStream:
            stream = ParseInt32("--stream", value);
            if (stream < 0 || stream >= kMaxProbeTracks) Usage("--stream needs a track index from 0 to 31");
            break;
          case kOut:
            out = value;
            break;
          case kTimeout:
            timeoutMs = ParseMs("--timeout", value);
            break;
        }
      },
      &help);
  if (help) {
    std::printf(
        "Usage: velmo-cli render-frame FILE --out PICTURE [OPTION]...\n"
        "Renders one frame of FILE's video track with the engine (\"trivox_free -b\") as the\n"
        "crop and clip previews do, and prints the time the engine reports for it. The\n"
        "picture appears only when the render succeeded.\n\n%s",
        OptionHelp(options).c_str());
    return 0;
  }
  if (rest.size() != 1) Usage("render-frame takes one source file");
  if (out.empty()) Usage("render-frame needs --out");

  const std::string source = AbsolutePath(rest[0]);
  const std::string target = AbsolutePath(out);
  std::string message;
  if (stream < 0) {
    auto record = std::make_unique<MediaInfoRecord>();
    if (!ProbeSource(source, job->sourceMode, kProbeTimeoutMs, *record, message)) return CommandFailed(message);
    for (int32_t i = 0; i < record->TrackCount() && stream < 0; ++i)
      if (ParseStreamCodes(record->Track(i)).type == kStreamVideo) stream = i;
    if (stream < 0) return CommandFailed("\"" + source + "\" has no video track");
  }
  // The engine writes a file beside the target, renamed over it once whole.
  const std::string partial = target + ".part" + std::to_string(getpid());
  job->inputs.count = 1;
  job->stream = stream;
  if (!SetJobText(job->inputs.inputs[0].path, source) || !SetJobText(job->sourcePath, source))
    return CommandFailed("the source path is longer than the 259 bytes a job holds");
  if (!SetJobText(job->outputPath, partial))
    return CommandFailed("the picture path is longer than the 259 bytes a job holds");

  int64_t at = 0;
  std::error_code ec;
  std::filesystem::remove(partial, ec);
  if (!RunEngineBitmap(NewToolWindowId(), *job, at, timeoutMs, &message)) {
    std::filesystem::remove(partial, ec);
    return CommandFailed("cannot render the frame: " + message);
  }
  if (!std::filesystem::is_regular_file(partial, ec) || std::filesystem::file_size(partial, ec) == 0) {
    std::filesystem::remove(partial, ec);
    return CommandFailed("the engine reported success but wrote no picture");
  }
  std::filesystem::rename(partial, target, ec);
  if (ec) {
    std::filesystem::remove(partial, ec);
    return CommandFailed("cannot write " + target + ": " + ec.message());
  }
  std::printf("frame at %lld ms\nwritten %s\n", static_cast<long long>(at), target.c_str());
  return 0;
}

int ConvertCommand(int argc, char** argv) {
  std::vector<CliOption> options = TaskCliOptions();
  const size_t first = options.size();
  enum { kEngine, kMode, kTimeout, kEngineOutput };
  options.push_back(kEngineOption);
  options.push_back(kModeOption);
  options.push_back({"timeout", true, "SECONDS", "kill the engine after this long (default: no limit)"});
  options.push_back({"engine-output", false, "", "let the engine's standard output and error through"});
  TaskArgs args;
  args.options.mode = kDefaultDecoderMode;
  int64_t timeoutMs = 0;
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, options,
      [&](size_t id, const std::string& value) {
        if (HandleTaskOption(id, value, args)) return;
        switch (id - first) {
          case kEngine:
            SetEngineProgram(value);
            break;
          case kMode:
            args.options.mode = ParseInt32("--mode", value);
            break;
          case kTimeout:
            timeoutMs = static_cast<int64_t>(ParseMs("--timeout", value)) * 1000;
            break;
          case kEngineOutput:
            SetEngineOutputShown(true);
            break;
        }
      },
      &help);
  if (help) {
    std::printf(
        "Usage: velmo-cli convert --source PATH --profile CHOICE... [OPTION]...\n"
        "Converts one source as the main window's Convert Now does: probes it with the engine\n"
        "(unless --track gives its streams), makes its task, starts the engine for the task in\n"
        "an engine session, shows position, frames and the engine's log lines until the end,\n"
        "then RESULT=XXXXXXXX. SIGINT or SIGTERM asks the engine to stop.\n"
        "A DVD source, \"dvd:TITLE,FIRST,LAST,DISC\" (chapters FIRST to LAST of the title; a\n"
        "LAST past the title's last chapter reads to its end) or \"dvd:DISC\" (title 1, chapter 1,\n"
        "as the engine reads it), is not probed: the disc or DVD folder DISC is scanned as the\n"
        "main window loads it, and the task is made as the main window makes a DVD title's task\n"
        "(the tracks and length from the scan, scale mode 1, the levels filter, the output named\n"
        "Title-NN, Title-NN-chap-NN or Title-NN-chap-NN-NN). --track, --length and --scale-mode\n"
        "still win. A malformed dvd: text, a disc that cannot be read, or a title or chapter the\n"
        "disc does not have fails with status 1 before the engine starts.\n\n"
        "%s\nProfile fields (--profile FIELD=VALUE):\n%s",
        OptionHelp(options).c_str(), ProfileFieldHelp().c_str());
    return 0;
  }
  if (!rest.empty()) Usage("convert takes no words besides its options: \"" + rest.front() + "\"");
  if (args.source.empty()) Usage("convert needs --source");

  std::string message;
  CTaskList dvdTasks;  // holds a DVD source's task, made by the list as the main window's are
  std::unique_ptr<CTask> fileTask;
  CTask* task = nullptr;
  if (IsDvdSource(args.source)) {
    task = MakeDvdTaskFromArgs(args, dvdTasks, message);
  } else {
    if (args.record->trackCount == 0) {
      const double length = args.record->length;
      if (!ProbeSource(AbsolutePath(args.source), args.options.mode, kProbeTimeoutMs, *args.record, message))
        return CommandFailed(message);
      if (args.lengthGiven) args.record->length = length;
    }
    fileTask = MakeTaskFromArgs(args, message);
    task = fileTask.get();
  }
  if (!task) return CommandFailed(message);
  std::printf("output %s\n", task->job.output.path);

  const uint32_t window = NewToolWindowId();
  const EngineWatchOutput out{[](const std::string& line) {
                                std::printf("%s\n", line.c_str());
                                std::fflush(stdout);
                              },
                              [](const std::string& line) { std::fprintf(stderr, "velmo-cli: %s\n", line.c_str()); }};
  EngineWatch watch;
  if (!watch.Prepare(window, out)) return 1;
  std::unique_ptr<EngineSession> session = StartEngineConvert(window, task->job, &message);
  if (!session) return CommandFailed("cannot start the conversion: " + message);
  std::printf("engine %d: %s -m %s\n", static_cast<int>(EngineSession::GetProcessId(session.get())),
              EngineProgram().c_str(), session->JobBlockName().c_str());
  std::fflush(stdout);

  EngineWatchOptions watchOptions;
  watchOptions.timeoutMs = timeoutMs;
  watchOptions.stopFlag = CatchStopSignals();
  const HRESULT result = watch.Run(*session, watchOptions, out);
  std::printf("RESULT=%08X\n", static_cast<unsigned>(result));
  std::fflush(stdout);
  if (result != 0) return CommandFailed("the conversion failed with code " + ResultWithText(result));
  return 0;
}
