// trivox_ctl: drives one engine job through shared memory, the way the front end
// does: control block and job block, engine start with the result pipe, control
// polling, log ring lines and the result.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/log_ring.h"
#include "common/preview_surface.h"
#include "common/shared_block.h"
#include "platform/program_folder.h"
#include "platform/result_channel.h"
#include "platform/win_types.h"

extern char** environ;

namespace {

constexpr long kMaxRecordFile = 64L * 1024 * 1024;
constexpr int kPollMs = 100;

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
    "  --no-surface       mode -p: create no preview surface\n"
    "  --dump-surface PATH  mode -p: write the last picture shown as a PPM file\n"
    "  --window HEX       window handle for the block names (default from the pid)\n"
    "  --engine PATH      engine to start (default: trivox_free beside this program)\n"
    "  --timeout SECONDS  kill the engine after this long (result FFFFFFFF); 0 = none\n"
    "  --engine-output    let the engine's standard output and error through\n"
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
  bool surface = true;
  std::string dumpSurface;
  uint32_t window = 0;
  bool windowGiven = false;
  std::string engine;
  long timeoutSeconds = 0;
  bool engineOutput = false;
};

volatile sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int) { g_stopSignal = 1; }

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

void PrintLogLines(CLogRing& ring) {
  std::vector<LogEntry> entries;
  ring.TakeEntries(entries);
  for (auto& e : entries) {
    while (!e.text.empty() && (e.text.back() == '\n' || e.text.back() == '\r')) e.text.pop_back();
    printf("[%s] %s\n", FormatLogTime(e.time).c_str(), e.text.c_str());
  }
  fflush(stdout);
}

// The job block name: "HWND_%08X", or with "_n" when that name is taken.
std::string ChooseJobBlockName(uint32_t window) {
  char base[32];
  snprintf(base, sizeof(base), "HWND_%08X", window);
  if (!CSharedBlock::Exists(base)) return base;
  for (int n = 0;; ++n) {
    std::string name = std::string(base) + "_" + std::to_string(n);
    if (!CSharedBlock::Exists(name)) return name;
  }
}

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

  const uint32_t window = o.windowGiven ? o.window : ((static_cast<uint32_t>(getpid()) & 0xFFFFFFu) << 8) | 1u;
  CSharedBlock control;
  if (!control.Create(ControlBlock::NameForWindow(window), ControlBlock::kSize) ||
      control.Size() < ControlBlock::kSize) {
    fprintf(stderr, "trivox_ctl: cannot create the control block\n");
    return 1;
  }
  uint8_t* ctl = control.View();
  if (control.Created())
    for (size_t off : ControlBlock::kHeaderWordsClearedOnCreate) BlockWord(ctl, off).store(0);
  // This run's counters start from zero even on a reused block.
  BlockWord(ctl, ControlBlock::kPosition).exchange(0);
  BlockWord(ctl, ControlBlock::kFrames).exchange(0);

  const std::string jobName = ChooseJobBlockName(window);
  CSharedBlock job;
  if (!job.Create(jobName, record.size() + 4, CSharedBlock::Backing::PagingOnly) || job.Size() < record.size() + 4) {
    fprintf(stderr, "trivox_ctl: cannot create the job block \"%s\"\n", jobName.c_str());
    return 1;
  }
  {
    NamedMutexLock lock(job.Mutex());
    BlockWord(job.View(), 0).store(static_cast<int32_t>(record.size()));
    memcpy(job.View() + 4, record.data(), record.size());
  }

  // The front end's preview window: the surface the player draws into.
  CPreviewSurface surface;
  if (o.mode == "-p" && o.surface && !surface.Create(window, 1920, 1080)) {
    fprintf(stderr, "trivox_ctl: cannot create the preview surface\n");
    return 1;
  }
  uint32_t lastShown = 0;

  CLogRing ring;
  if (!ring.Open(CLogRing::kName)) fprintf(stderr, "trivox_ctl: cannot open the log ring\n");
  {
    std::vector<LogEntry> old;
    ring.TakeEntries(old);  // lines from before this run are not ours
  }

  // The result pipe: its write end becomes the engine's fd 3.
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    perror("trivox_ctl: pipe");
    return 1;
  }
  int writeEnd = fcntl(pipeFds[1], F_DUPFD_CLOEXEC, 10);
  close(pipeFds[1]);
  const int readEnd = pipeFds[0];

  const std::string engine = o.engine.empty() ? BesideProgram("trivox_free") : o.engine;
  std::vector<std::string> argStrings = {engine, o.mode, jobName};
  std::vector<char*> args;
  for (auto& a : argStrings) args.push_back(a.data());
  args.push_back(nullptr);

  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, writeEnd, 3);
  if (!o.engineOutput) {
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  }
  setenv("TRIVOX_RESULT_FD", "3", 1);
  pid_t pid = -1;
  int spawnError = posix_spawn(&pid, engine.c_str(), &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  close(writeEnd);
  if (spawnError != 0) {
    fprintf(stderr, "trivox_ctl: cannot start \"%s\": %s\n", engine.c_str(), strerror(spawnError));
    close(readEnd);
    return 1;
  }
  printf("engine %d: %s %s %s\n", static_cast<int>(pid), engine.c_str(), o.mode.c_str(), jobName.c_str());
  fflush(stdout);

  struct sigaction onStop {};
  onStop.sa_handler = OnStopSignal;
  sigemptyset(&onStop.sa_mask);
  sigaction(SIGTERM, &onStop, nullptr);
  sigaction(SIGINT, &onStop, nullptr);

  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  int32_t lastPosition = 0, lastFrames = 0;
  bool paused = false, pauseDone = false, stopped = false, seekPosted = false, killed = false;
  Clock::time_point pausedAt;
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      perror("trivox_ctl: waitpid");
      break;
    }
    PrintLogLines(ring);
    const int32_t position = BlockWord(ctl, ControlBlock::kPosition).load();
    const int32_t frames = BlockWord(ctl, ControlBlock::kFrames).load();
    if (position != lastPosition || frames != lastFrames) {
      printf("position %d ms, frames %d\n", position, frames);
      fflush(stdout);
      lastPosition = position;
      lastFrames = frames;
    }
    if (surface.IsOpen() && surface.FrameCounter() != lastShown) {
      PreviewFrameInfo shown;
      if (surface.ReadFrame(&shown, nullptr)) {
        printf("shown %lld ms, frame %u\n", static_cast<long long>(shown.time / 10000), shown.counter);
        lastShown = shown.counter;
      }
    }
    const bool seekDue = o.seekAt >= 0 ? position >= o.seekAt : (position != 0 || frames != 0);
    if (o.seekTo >= 0 && !seekPosted && seekDue) {
      WriteSeekTarget(ctl, static_cast<int64_t>(o.seekTo) * 10000);
      BlockWord(ctl, ControlBlock::kSeekRequest).exchange(1);
      BlockWord(ctl, ControlBlock::kSeekPending).exchange(1);
      seekPosted = true;
      printf("seek to %ld ms\n", o.seekTo);
    }
    if (o.pauseAt >= 0 && !pauseDone && !paused && position >= o.pauseAt) {
      BlockWord(ctl, ControlBlock::kPauseRequest).exchange(1);
      paused = true;
      pausedAt = Clock::now();
      printf("pause at %d ms\n", position);
    }
    if (paused && Clock::now() - pausedAt >= std::chrono::milliseconds(o.pauseFor)) {
      BlockWord(ctl, ControlBlock::kPauseRequest).exchange(0);
      paused = false;
      pauseDone = true;
      printf("resume\n");
    }
    const bool stopAsked = o.stopAfter >= 0 && position >= o.stopAfter;
    if ((stopAsked || g_stopSignal) && !stopped) {
      BlockWord(ctl, ControlBlock::kStopLevel).exchange(10);
      BlockWord(ctl, ControlBlock::kStopRequest).exchange(1);
      stopped = true;
      if (stopAsked)
        printf("stop at %d ms\n", position);
      else
        printf("stop on signal\n");
    }
    fflush(stdout);
    if (o.timeoutSeconds > 0 && !killed && Clock::now() - started >= std::chrono::seconds(o.timeoutSeconds)) {
      fprintf(stderr, "trivox_ctl: engine still running after %ld s, killed\n", o.timeoutSeconds);
      kill(pid, SIGKILL);
      killed = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
  PrintLogLines(ring);
  if (surface.IsOpen()) {
    PreviewFrameInfo shown;
    const bool any = surface.ReadFrame(&shown, nullptr);
    printf("surface frames %u, last at %lld ms\n", surface.FrameCounter(),
           any ? static_cast<long long>(shown.time / 10000) : -1LL);
    if (!o.dumpSurface.empty() && !DumpPicture(surface, o.dumpSurface))
      fprintf(stderr, "trivox_ctl: cannot write the picture to \"%s\"\n", o.dumpSurface.c_str());
  }
  if (o.mode == "-b")
    printf("frame at %d ms, stop request %d\n", BlockWord(ctl, ControlBlock::kReportedPosition).load(),
           BlockWord(ctl, ControlBlock::kStopRequest).load());

  // The exact result from the pipe, else what the exit status tells.
  HRESULT result = 0;
  uint8_t bytes[4];
  size_t got = 0;
  while (got < 4) {
    ssize_t n = read(readEnd, bytes + got, 4 - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(readEnd);
  if (killed) {
    result = static_cast<HRESULT>(0xFFFFFFFFu);
  } else if (got == 4) {
    result = static_cast<HRESULT>(static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                                  (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24));
  } else if (WIFSIGNALED(status)) {
    HRESULT fault = FaultCodeForSignal(WTERMSIG(status));
    result = fault ? fault : static_cast<HRESULT>(0xFFFFFFFFu);
    fprintf(stderr, "trivox_ctl: engine ended by signal %d\n", WTERMSIG(status));
  } else {
    result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (result != 0) fprintf(stderr, "trivox_ctl: engine reported no result; exit status %d\n", result);
  }
  printf("RESULT=%08X\n", static_cast<unsigned>(result));
  fflush(stdout);
  return ExitStatusForResult(result);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !strcmp(argv[1], "-h") || !strcmp(argv[1], "--help")) {
    fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (strcmp(argv[1], "run") != 0) return UsageError(std::string("unknown command \"") + argv[1] + "\"");
  if (argc < 4) return UsageError("run needs a mode and a record file");
  Options o;
  o.mode = argv[2];
  o.recordFile = argv[3];
  static const char* kModes[] = {"-m", "-d", "-e", "-g", "-p", "-b"};
  bool known = false;
  for (const char* m : kModes) known = known || o.mode == m;
  if (!known) return UsageError("unknown mode \"" + o.mode + "\"");
  for (int i = 4; i < argc; ++i) {
    std::string opt = argv[i];
    if (opt == "-h" || opt == "--help") {
      fputs(kUsage, stdout);
      return 0;
    }
    if (opt == "--engine-output") {
      o.engineOutput = true;
      continue;
    }
    if (opt == "--no-surface") {
      o.surface = false;
      continue;
    }
    if (i + 1 >= argc) return UsageError(opt + " needs a value");
    const char* v = argv[++i];
    long n = 0;
    if (opt == "--engine") {
      o.engine = v;
    } else if (opt == "--dump-surface") {
      o.dumpSurface = v;
    } else if (opt == "--window") {
      char* end = nullptr;
      unsigned long w = strtoul(v, &end, 16);
      if (!*v || *end || w > 0xFFFFFFFFul) return UsageError("--window needs up to 8 hexadecimal digits");
      o.window = static_cast<uint32_t>(w);
      o.windowGiven = true;
    } else if (!ParseLong(v, n)) {
      return UsageError(opt + " needs a number of 0 or more, not \"" + v + "\"");
    } else if (opt == "--pause-at") {
      o.pauseAt = n;
    } else if (opt == "--pause-for") {
      o.pauseFor = n;
    } else if (opt == "--stop-after") {
      o.stopAfter = n;
    } else if (opt == "--seek") {
      o.seekTo = n;
    } else if (opt == "--seek-at") {
      o.seekAt = n;
    } else if (opt == "--timeout") {
      o.timeoutSeconds = n;
    } else {
      return UsageError("unknown option \"" + opt + "\"");
    }
  }
  return Run(o);
}
