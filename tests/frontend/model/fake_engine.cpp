// A stand-in engine for the session tests, copied as "trivox_free" into a
// test's program folder. What it does comes from "fake_engine.txt" beside it,
// one "word value" per line:
//   delay MS        sleep first
//   report FILE     write what it was given (arguments, descriptors, job block, control words) to FILE
//   word20 N        store N in the control block's result word
//   render FILE     in "-b" mode: write the frame job's fields to FILE and a small picture to its output path
//   wait-stop       wait (at most 60 s) for the stop request, then end with the stop level as result
//   probe-ret HEX   in "-l" mode: write a record with that RET, the path as MINFO and two tracks
//                   (without it, "-l" writes nothing)
//   fail-path TEXT  in "-l" mode: end with exit status 3 when the path holds TEXT
//   result HEX      end with that result (reported on the result pipe)
//   exit N          end with exit status N and no result report
//   signal N        end by that signal
//   hang            sleep 60 s
//   log TEXT        append TEXT to the log ring
//   logs N TEXT     append N lines "TEXT 1" ... "TEXT N" to the log ring
//   position MS F   store the position and frame words
//   play MS FPS     advance the position in real time up to MS (frames at FPS),
//                   standing still while paused; a stop request ends it with 0
//   journal FILE    append "mode=L source=PATH pass=FLAG reader=ID pid=PID" to FILE
//   only-mode L     the lines after it apply only in mode -L
//   only-source T   the lines after it apply only when the job's first source holds T
//   all             the lines after it apply again in every run
// Called as "trivox_free --leave-blocks WINDOW" it creates the window's job
// and control blocks with the position word 77 and ends without closing them.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/job_records.h"
#include "common/log_ring.h"
#include "common/media_info_record.h"
#include "common/shared_block.h"
#include "platform/program_folder.h"
#include "platform/result_channel.h"

namespace {

std::string Link(const char* path) {
  char buf[512];
  ssize_t n = readlink(path, buf, sizeof(buf) - 1);
  if (n < 0) return "?";
  buf[n] = 0;
  return buf;
}

void SleepMs(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The control block named after "HWND_<window>[_n]".
bool OpenControl(const std::string& jobName, CSharedBlock& control) {
  if (jobName.rfind("HWND_", 0) != 0 || jobName.size() < 13) return false;
  return control.OpenExisting(":CTRLDATA_" + jobName.substr(5, 8));
}

int LeaveBlocks(const std::string& window) {
  static CSharedBlock control, job;
  control.Create(":CTRLDATA_" + window, ControlBlock::kSize);
  BlockWord(control.View(), ControlBlock::kPosition).store(77);
  job.Create("HWND_" + window, 64, CSharedBlock::Backing::PagingOnly);
  _exit(0);
}

void WriteProbe(const std::string& blockName, std::string path, HRESULT ret) {
  CSharedBlock block;
  if (!block.OpenExisting(blockName)) _exit(90);
  NamedMutexLock lock(block.Mutex());
  if (!path.empty() && path[0] == '"') path = path.substr(1, path.size() >= 2 ? path.size() - 2 : 0);
  auto* r = reinterpret_cast<MediaInfoRecord*>(block.View());
  r->result = ret;
  r->length = 12.5;
  std::snprintf(r->info, sizeof(r->info), "%s", path.c_str());
  r->trackCount = 2;
  std::snprintf(r->tracks[0], sizeof(r->tracks[0]), "\"TYPE\"=0,\"STREAMID\"=0,\"WIDTH\"=320,\"HEIGHT\"=240");
  std::snprintf(r->tracks[1], sizeof(r->tracks[1]), "\"TYPE\"=1,\"STREAMID\"=1,\"SAMPLERATE\"=44100");
}

void Render(const std::string& file, const std::string& jobName) {
  CSharedBlock job;
  if (!job.OpenExisting(jobName)) _exit(92);
  std::vector<uint8_t> bytes;
  {
    NamedMutexLock lock(job.Mutex());
    const int32_t size = BlockWord(job.View(), 0).load();
    if (size < 0 || static_cast<size_t>(size) + 4 > job.Size()) _exit(93);
    bytes.assign(job.View() + 4, job.View() + 4 + size);
  }
  FrameJob frame;
  std::string reason;
  if (!ParseJobRecord(frame, bytes, reason)) _exit(94);
  std::ofstream out(file);
  out << "inputs=" << frame.inputs.count << "\n"
      << "input0=" << frame.inputs.inputs[0].path << "\n"
      << "source=" << frame.sourcePath << "\n"
      << "stream=" << frame.stream << "\n"
      << "mode=" << frame.sourceMode << "\n"
      << "frame=" << frame.frameCount << "\n"
      << "sec=" << frame.startSeconds << "\n"
      << "out=" << frame.outputPath << "\n";
  std::ofstream picture(frame.outputPath, std::ios::binary);
  picture << "BM fake picture";
}

// The convert job of modes m, g and p; false when there is none to read.
bool ReadConvertJob(const std::string& jobName, ConvertJob& job) {
  CSharedBlock block;
  if (!block.OpenExisting(jobName)) return false;
  std::vector<uint8_t> bytes;
  {
    NamedMutexLock lock(block.Mutex());
    const int32_t size = BlockWord(block.View(), 0).load();
    if (size < 0 || static_cast<size_t>(size) + 4 > block.Size()) return false;
    bytes.assign(block.View() + 4, block.View() + 4 + size);
  }
  std::string reason;
  return ParseJobRecord(job, bytes, reason);
}

CLogRing& Ring() {
  static CLogRing ring;
  if (!ring.IsOpen()) ring.Open(CLogRing::kName);
  return ring;
}

void Play(const std::string& jobName, long untilMs, long fps) {
  CSharedBlock control;
  if (!OpenControl(jobName, control)) _exit(91);
  uint8_t* view = control.View();
  using Clock = std::chrono::steady_clock;
  auto last = Clock::now();
  long position = 0;
  while (position < untilMs) {
    SleepMs(10);
    const auto now = Clock::now();
    const long step = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count());
    last = now;
    if (BlockWord(view, ControlBlock::kStopRequest).load() != 0) ExitWithResult(0);
    if (BlockWord(view, ControlBlock::kPauseRequest).load() != 0) continue;
    position = std::min(position + step, untilMs);
    BlockWord(view, ControlBlock::kPosition).store(static_cast<int32_t>(position));
    if (fps > 0) BlockWord(view, ControlBlock::kFrames).store(static_cast<int32_t>(position * fps / 1000));
  }
}

void Report(const std::string& file, int argc, char** argv) {
  std::ofstream out(file);
  for (int i = 1; i < argc; ++i) out << "arg" << i << "=" << argv[i] << "\n";
  const char* fd = std::getenv("TRIVOX_RESULT_FD");
  out << "result_fd=" << (fd ? fd : "") << "\n";
  out << "stdin=" << Link("/proc/self/fd/0") << "\n";
  out << "stdout=" << Link("/proc/self/fd/1") << "\n";
  out << "own_group=" << (getpgrp() == getpid() ? 1 : 0) << "\n";
  if (argc == 3) {
    CSharedBlock job;
    if (job.OpenExisting(argv[2])) {
      NamedMutexLock lock(job.Mutex());
      const int32_t size = BlockWord(job.View(), 0).load();
      out << "job_size=" << size << "\n";
      if (size >= 0 && static_cast<size_t>(size) + 4 <= job.Size()) {
        std::ofstream bytes(file + ".job", std::ios::binary);
        bytes.write(reinterpret_cast<const char*>(job.View() + 4), size);
      }
    }
    CSharedBlock control;
    if (OpenControl(argv[2], control)) out << "position=" << BlockWord(control.View(), 0).load() << "\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--leave-blocks") == 0) return LeaveBlocks(argv[2]);
  std::ifstream script(BesideProgram("fake_engine.txt"));
  const std::string mode = argc >= 2 && argv[1][0] == '-' ? std::string(argv[1] + 1) : std::string();
  ConvertJob job;
  const bool haveJob = argc == 3 && (mode == "m" || mode == "g" || mode == "p") && ReadConvertJob(argv[2], job);
  const std::string source = haveJob && job.inputs.count > 0 ? job.inputs.inputs[0].path : "";
  bool applies = true;
  std::string onlyMode, onlySource;
  std::string line;
  while (std::getline(script, line)) {
    std::istringstream words(line);
    std::string word, value;
    words >> word;
    std::getline(words >> std::ws, value);
    if (word == "only-mode" || word == "only-source" || word == "all") {
      if (word != "only-source") onlyMode = word == "only-mode" ? value : "";
      if (word != "only-mode") onlySource = word == "only-source" ? value : "";
      applies = (onlyMode.empty() || onlyMode == mode) &&
                (onlySource.empty() || source.find(onlySource) != std::string::npos);
      continue;
    }
    if (!applies) continue;
    if (word == "log") {
      LogRingPrintf(&Ring(), "%s", value.c_str());
    } else if (word == "logs") {
      std::istringstream parts(value);
      long n = 0;
      std::string text;
      parts >> n;
      std::getline(parts >> std::ws, text);
      for (long i = 1; i <= n; ++i) LogRingPrintf(&Ring(), "%s %ld", text.c_str(), i);
    } else if (word == "position" && argc == 3) {
      CSharedBlock control;
      long ms = 0, frames = 0;
      std::istringstream(value) >> ms >> frames;
      if (OpenControl(argv[2], control)) {
        BlockWord(control.View(), ControlBlock::kPosition).store(static_cast<int32_t>(ms));
        BlockWord(control.View(), ControlBlock::kFrames).store(static_cast<int32_t>(frames));
      }
    } else if (word == "play" && argc == 3) {
      long ms = 0, fps = 0;
      std::istringstream(value) >> ms >> fps;
      Play(argv[2], ms, fps);
    } else if (word == "journal") {
      std::ofstream out(value, std::ios::app);
      out << "mode=" << mode << " source=" << source << " pass=" << (haveJob ? job.settings.passFlag : -1)
          << " reader=" << (haveJob ? job.settings.passReaderId : -1) << " pid=" << getpid() << "\n";
    } else if (word == "delay") {
      SleepMs(std::atol(value.c_str()));
    } else if (word == "report") {
      Report(value, argc, argv);
    } else if (word == "word20" && argc == 3) {
      CSharedBlock control;
      if (OpenControl(argv[2], control))
        BlockWord(control.View(), ControlBlock::kReportedPosition).store(std::atoi(value.c_str()));
    } else if (word == "render" && argc == 3) {
      Render(value, argv[2]);
    } else if (word == "wait-stop" && argc == 3) {
      CSharedBlock control;
      if (!OpenControl(argv[2], control)) _exit(91);
      for (int i = 0; i < 6000 && BlockWord(control.View(), ControlBlock::kStopRequest).load() == 0; ++i) SleepMs(10);
      ExitWithResult(BlockWord(control.View(), ControlBlock::kStopLevel).load());
    } else if (word == "fail-path" && argc == 5) {
      if (std::strstr(argv[3], value.c_str())) _exit(3);
    } else if (word == "probe-ret" && argc == 5) {
      WriteProbe(argv[2], argv[3], static_cast<HRESULT>(std::strtoul(value.c_str(), nullptr, 16)));
    } else if (word == "result") {
      ExitWithResult(static_cast<HRESULT>(std::strtoul(value.c_str(), nullptr, 16)));
    } else if (word == "exit") {
      _exit(std::atoi(value.c_str()));
    } else if (word == "signal") {
      signal(std::atoi(value.c_str()), SIG_DFL);
      raise(std::atoi(value.c_str()));
    } else if (word == "hang") {
      SleepMs(60000);
    }
  }
  ExitWithResult(0);
}
