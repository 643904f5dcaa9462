// trivox_ctl: drives one engine job through an engine session, the way the
// front end does: control block and job block, engine start with the result
// pipe, control polling, log ring lines and the result.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/preview_surface.h"
#include "frontend/model/engine_session.h"
#include "frontend/model/engine_watch.h"
#include "platform/named_objects.h"
#include "platform/result_channel.h"
#include "platform/result_text.h"
#include "platform/version.h"
#include "platform/win_types.h"
#include "tools/tool_args.h"

namespace {

constexpr long kMaxRecordFile = 64L * 1024 * 1024;

const char kUsage[] =
    "usage: trivox_ctl run MODE RECORD_FILE [options]\n"
    "\n"
    "Plays the front end's part for one engine job: creates the control block\n"
    "\":CTRLDATA_<window>\" and the job block \"HWND_<window>\" holding the record\n"
    "file's bytes (as written by trivox_job), starts the engine with\n"
    "\"MODE HWND_<window>\" and the result pipe on fd 3 (TRIVOX_RESULT_FD), prints\n"
    "position and frame count as they change and the engine's log ring lines,\n"
    "then the line RESULT=XXXXXXXX with the engine's 32-bit result. In mode -b it\n"
    "first prints the rendered frame's time and the stop request word:\n"
    "\"frame at MS ms, stop request N\".\n"
    "In mode -p it creates the window's preview surface \":PREVIEW_<window>\" (up\n"
    "to 1920 x 1080) first, prints \"shown MS ms, frame N\" as the pictures on it\n"
    "change and \"surface frames N, last at MS ms\" at the end.\n"
    "\n"
    "MODE is one of -m -d -e -g -p -b.\n"
    "\n"
    "options:\n"
    "  --pause-at MS      pause the engine once its position reaches MS milliseconds\n"
    "  --pause-for MS     how long that pause lasts before resuming (default 1000)\n"
    "  --stop-after MS    request a stop once the position reaches MS milliseconds\n"
    "  --seek MS          post a seek to MS milliseconds once a position is reported\n"
    "  --seek-at MS       ... once the position reaches MS milliseconds instead\n"
    "  --seek-units N     the same with the target as written, in 100-ns units (any 64-bit value)\n"
    "  --no-surface       mode -p: create no preview surface\n"
    "  --dump-surface PATH  mode -p: write the last picture shown as a PPM file\n"
    "  --window HEX       window handle for the block names (default from the pid)\n"
    "  --engine PATH      engine to start (default: trivox_free beside this program)\n"
    "  --timeout SECONDS  kill the engine after this long (result FFFFFFFF); 0 = none\n"
    "  --engine-output    let the engine's standard output and error through\n"
    "                     (as TRIVOX_ENGINE_OUTPUT=1 in the environment does)\n"
    "\n"
    "SIGTERM or SIGINT asks the engine to stop, as the front end's Stop button does\n"
    "(a merge engine \"-g\" then writes out what it has received and ends).\n"
    "  -h, --help         this text\n"
    "\n"
    "Exit status: 0 when the result is 0, else as the engine's (low byte, 255 for 0).\n";

struct Options {
  std::string mode;
  std::string recordFile;
  long pauseAt = -1;
  long pauseFor = 1000;
  long stopAfter = -1;
  long seekTo = -1;
  long seekAt = -1;
  bool seekRaw = false;
  int64_t seekUnits = 0;  // 100-ns units
  bool surface = true;
  std::string dumpSurface;
  uint32_t window = 0;
  bool windowGiven = false;
  std::string engine;
  long timeoutSeconds = 0;
  bool engineOutput = false;
};

bool ParseLong(const char* text, long& out) {
  char* end = nullptr;
  errno = 0;
  long v = strtol(text, &end, 10);
  if (errno || !end || *end || end == text || v < 0) return false;
  out = v;
  return true;
}

int UsageError(const std::string& message) {
  fprintf(stderr, "trivox_ctl: %s\n(see trivox_ctl --help)\n", message.c_str());
  return 2;
}

bool ReadRecordFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open \"" + path + "\": " + strerror(errno);
    return false;
  }
  struct stat st {};
  if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
    fclose(f);
    error = "\"" + path + "\" is not a file";
    return false;
  }
  if (st.st_size <= 0 || st.st_size > kMaxRecordFile) {
    fclose(f);
    error = "\"" + path + "\" is empty or too large for a job block";
    return false;
  }
  bytes.resize(static_cast<size_t>(st.st_size));
  size_t got = fread(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  if (got != bytes.size()) {
    error = "cannot read \"" + path + "\"";
    return false;
  }
  return true;
}

void PrintLine(const std::string& line) {
  printf("%s\n", line.c_str());
  fflush(stdout);
}

void PrintWarning(const std::string& line) { fprintf(stderr, "trivox_ctl: %s\n", line.c_str()); }

// The surface's picture as a binary PPM (P6): false when there is none or the file fails.
bool DumpPicture(CPreviewSurface& surface, const std::string& path) {
  PreviewFrameInfo info;
  std::vector<uint8_t> pixels;
  if (!surface.ReadFrame(&info, &pixels)) return false;
  std::vector<uint8_t> rgb;
  rgb.reserve(static_cast<size_t>(info.width) * info.height * 3);
  for (int32_t y = 0; y < info.height; ++y)
    for (int32_t x = 0; x < info.width; ++x) {
      const uint8_t* p = pixels.data() + static_cast<size_t>(y) * info.stride + static_cast<size_t>(x) * 4;
      rgb.insert(rgb.end(), {p[2], p[1], p[0]});
    }
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok =
      fprintf(f, "P6\n%d %d\n255\n", info.width, info.height) > 0 && fwrite(rgb.data(), 1, rgb.size(), f) == rgb.size();
  return fclose(f) == 0 && ok;
}

int Run(const Options& o) {
  std::vector<uint8_t> record;
  std::string error;
  if (!ReadRecordFile(o.recordFile, record, error)) {
    fprintf(stderr, "trivox_ctl: %s\n", error.c_str());
    return 2;
  }
  if (!o.engine.empty()) SetEngineProgram(o.engine);
  if (o.engineOutput) SetEngineOutputShown(true);
  // Blocks of this user's programs that were killed: nobody holds them any more.
  RemoveLeftoverObjects();

  const uint32_t window = o.windowGiven ? o.window : NewToolWindowId();
  const EngineWatchOutput out{PrintLine, PrintWarning};
  EngineWatch watch;
  if (!watch.Prepare(window, out)) return 1;
  // The front end's preview window: the surface the player draws into.
  CPreviewSurface surface;
  if (o.mode == "-p" && o.surface && !surface.Create(window, 1920, 1080)) {
    PrintWarning("cannot create the preview surface");
    return 1;
  }
  std::unique_ptr<EngineSession> session = StartEngineWithBytes(window, o.mode[1], record, &error);
  if (!session) {
    PrintWarning(error);
    return 1;
  }
  printf("engine %d: %s %s %s\n", static_cast<int>(EngineSession::GetProcessId(session.get())), EngineProgram().c_str(),
         o.mode.c_str(), session->JobBlockName().c_str());
  fflush(stdout);

  EngineWatchOptions options;
  options.pauseAtMs = o.pauseAt;
  options.pauseForMs = o.pauseFor;
  options.stopAfterMs = o.stopAfter;
  options.seekToMs = o.seekTo;
  options.seekAtMs = o.seekAt;
  options.seekRaw = o.seekRaw;
  options.seekUnits = o.seekUnits;
  uint32_t lastShown = 0;
  if (surface.IsOpen())
    options.eachPoll = [&surface, &lastShown] {
      if (surface.FrameCounter() == lastShown) return;
      PreviewFrameInfo shown;
      if (!surface.ReadFrame(&shown, nullptr)) return;
      printf("shown %lld ms, frame %u\n", static_cast<long long>(shown.time / 10000), shown.counter);
      fflush(stdout);
      lastShown = shown.counter;
    };
  options.timeoutMs = o.timeoutSeconds * 1000;
  options.stopFlag = CatchStopSignals();
  const HRESULT result = watch.Run(*session, options, out);
  if (surface.IsOpen()) {
    PreviewFrameInfo shown;
    const bool any = surface.ReadFrame(&shown, nullptr);
    printf("surface frames %u, last at %lld ms\n", surface.FrameCounter(),
           any ? static_cast<long long>(shown.time / 10000) : -1LL);
    if (!o.dumpSurface.empty() && !DumpPicture(surface, o.dumpSurface))
      PrintWarning("cannot write the picture to \"" + o.dumpSurface + "\"");
  }
  if (o.mode == "-b") {
    if (uint8_t* ctl = EngineSession::GetControl(session.get()))
      printf("frame at %d ms, stop request %d\n", BlockWord(ctl, ControlBlock::kReportedPosition).load(),
             BlockWord(ctl, ControlBlock::kStopRequest).load());
  }
  printf("RESULT=%08X\n", static_cast<unsigned>(result));
  fflush(stdout);
  if (result != 0) fprintf(stderr, "trivox_ctl: the job failed: %s\n", ResultWithText(result).c_str());
  return ExitStatusForResult(result);
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerVersion(argc, argv, "trivox_ctl")) return 0;
  if (argc < 2 || !strcmp(argv[1], "-h") || !strcmp(argv[1], "--help")) {
    fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (strcmp(argv[1], "run") != 0) return UsageError(std::string("unknown command \"") + argv[1] + "\"");
  if (argc >= 3 && (!strcmp(argv[2], "-h") || !strcmp(argv[2], "--help"))) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (argc < 4) return UsageError("run needs a mode and a record file");
  Options o;
  o.mode = argv[2];
  o.recordFile = argv[3];
  static const char* kModes[] = {"-m", "-d", "-e", "-g", "-p", "-b"};
  bool known = false;
  for (const char* m : kModes) known = known || o.mode == m;
  if (!known) return UsageError("unknown mode \"" + o.mode + "\"");
  enum {
    kPauseAt,
    kPauseFor,
    kStopAfter,
    kSeek,
    kSeekUnits,
    kWindow,
    kEngine,
    kTimeout,
    kEngineOutput,
    kSeekAt,
    kNoSurface,
    kDumpSurface
  };
  const std::vector<ToolOption> table = {{"pause-at", true}, {"pause-for", true},   {"stop-after", true},
                                         {"seek", true},     {"seek-units", true},  {"window", true},
                                         {"engine", true},   {"timeout", true},     {"engine-output", false},
                                         {"seek-at", true},  {"no-surface", false}, {"dump-surface", true}};
  // The options follow the record file (it stands in getopt's program-name place).
  const ToolArgs args = ParseToolArgs(argc - 3, argv + 3, table, [&](size_t id, const std::string& v) -> std::string {
    const std::string name = std::string("--") + table[id].name;
    long n = 0;
    switch (id) {
      case kEngineOutput:
        o.engineOutput = true;
        return "";
      case kEngine:
        o.engine = v;
        return "";
      case kNoSurface:
        o.surface = false;
        return "";
      case kDumpSurface:
        o.dumpSurface = v;
        return "";
      case kSeekUnits: {
        char* end = nullptr;
        errno = 0;
        // Hexadecimal names the raw 64 bits (0xFFFFFFFFFFFFFFFF is -1).
        const bool hex = v.rfind("0x", 0) == 0 || v.rfind("0X", 0) == 0;
        const long long units =
            hex ? static_cast<long long>(strtoull(v.c_str(), &end, 16)) : strtoll(v.c_str(), &end, 10);
        if (v.empty() || *end || errno) return "--seek-units needs a 64-bit number, not \"" + v + "\"";
        o.seekRaw = true;
        o.seekUnits = units;
        return "";
      }
      case kWindow: {
        char* end = nullptr;
        errno = 0;
        const unsigned long w = strtoul(v.c_str(), &end, 16);
        if (v.empty() || *end || errno || w > 0xFFFFFFFFul) return "--window needs up to 8 hexadecimal digits";
        o.window = static_cast<uint32_t>(w);
        o.windowGiven = true;
        return "";
      }
      default:
        break;
    }
    if (!ParseLong(v.c_str(), n)) return name + " needs a number of 0 or more, not \"" + v + "\"";
    switch (id) {
      case kPauseAt:
        o.pauseAt = n;
        break;
      case kPauseFor:
        o.pauseFor = n;
        break;
      case kStopAfter:
        o.stopAfter = n;
        break;
      case kSeek:
        if (n > INT64_MAX / 10000) return "--seek: " + v + " ms is out of range (see --seek-units)";
        o.seekTo = n;
        break;
      case kSeekAt:
        o.seekAt = n;
        break;
      case kTimeout:
        o.timeoutSeconds = n;
        break;
    }
    return "";
  });
  if (!args.error.empty()) return UsageError(args.error);
  if (args.help) {
    fputs(kUsage, stdout);
    return 0;
  }
  if (!args.words.empty()) return UsageError("unexpected word \"" + args.words.front() + "\"");
  return Run(o);
}
