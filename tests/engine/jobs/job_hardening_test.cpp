// Jobs that must not block, must not destroy their source and must not leave
// anything behind: FIFOs and other non-files, an output that is a source, links
// at the output, a full disk, a missing job block, a stop before anything was
// written, stop signals, killed and crashed runs.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "common/control_block.h"
#include "common/log_ring.h"
#include "common/shared_block.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/log_lines.h"
#include "tests/test_util/shm_namespace.h"

namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kMp4 = {"--writer", "[FFM]MP4", "--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC"};

std::vector<std::string> Job(const std::string& source, const std::string& output) {
  std::vector<std::string> options = {"--source", source, "--output", output};
  options.insert(options.end(), kMp4.begin(), kMp4.end());
  return options;
}

// A job of the mode from one source into one output, as <folder>/default_N.dat:
// "-m" an MP4 conversion, "-d" the source's first stream split off and
// "-e" the source joined, both into AVI, "-b" the first frame as a bitmap.
// Empty on success, else trivox_job's output.
std::string WriteModeJobIn(const std::string& folder, const std::string& mode, const std::string& source,
                           const std::string& output) {
  if (mode == "-m") return WriteConvertJob(folder, Job(source, output));
  std::vector<std::string> args;
  if (mode == "-d")
    args = {"demux",        "1",        "--source-path", source, "--out-stream", "0",
            "--out-writer", "[FFM]AVI", "--out-path",    output};
  else if (mode == "-e")
    args = {"mux", "2", "--source", source, "--output", output, "--writer", "[FFM]AVI"};
  else
    args = {"frame", "5", "--source-path", source, "--stream", "0", "--frame-count", "0", "--output", output};
  const std::string record = folder + "/default_" + args[1] + ".dat";
  std::string command =
      ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_job") + " write " + args[0] + " " + ShellQuote(record);
  for (size_t i = 2; i < args.size(); ++i) command += " " + ShellQuote(args[i]);
  int status = -1;
  const std::string out = RunShell(command, &status);
  return status == 0 ? std::string() : (out.empty() ? std::string("trivox_job failed") : out);
}

// Hidden temporary outputs of the engine's naming in a folder.
std::vector<std::string> Temporaries(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (!name.empty() && name[0] == '.' && name.find(".trivox-") != std::string::npos) found.push_back(name);
  }
  return found;
}

// A process id that no process has now: a child that has ended.
pid_t DeadPid() {
  const pid_t pid = fork();
  if (pid == 0) _exit(0);
  int status = 0;
  waitpid(pid, &status, 0);
  return pid;
}

class JobHardening : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    RemoveNamespaceObjects();
    folder_ = MakeConvertFolder("job_hardening");
    source_ = folder_ + "/in.avi";
    long_ = folder_ + "/long.mp4";
    int status = -1;
    std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=sample_rate=8000 -t 1 "
        "-c:v mpeg4 -c:a pcm_s16le -ac 1 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
    out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc2=size=640x360:rate=25 -f lavfi -i sine=sample_rate=44100 -t 60 "
        "-c:v mpeg4 -q:v 5 -c:a aac " +
            ShellQuote(long_),
        &status);
    ASSERT_EQ(0, status) << out;
  }

  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    std::vector<LogEntry> old;
    ring_.TakeEntries(old);
    work_ = folder_ + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(work_);
    fs::create_directories(work_);
  }

  std::vector<std::string> Lines() { return TakeLogLines(ring_); }

  static std::string WriteModeJob(const std::string& mode, const std::string& source, const std::string& output) {
    return WriteModeJobIn(folder_, mode, source, output);
  }

  static std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& l : lines) all += "  " + l + "\n";
    return all;
  }

  // Starts the long conversion into output and waits until its temporary file exists.
  StartedEngine StartLongConversion(const std::string& output) {
    EXPECT_EQ("", WriteConvertJob(folder_, Job(long_, output)));
    StartedEngine engine = StartEngine(folder_, {"-m", "test"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Temporaries(work_).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(Temporaries(work_).empty()) << "the conversion never began writing";
    return engine;
  }

  static std::string folder_, source_, long_;
  std::string work_;
  CLogRing ring_;
};
std::string JobHardening::folder_, JobHardening::source_, JobHardening::long_;

TEST_F(JobHardening, PathsRefusedBeforeAnythingIsOpenedInEveryMode) {
  const std::string fifo = work_ + "/fifo";
  ASSERT_EQ(0, mkfifo(fifo.c_str(), 0600));
  const std::string folder = work_ + "/folder";
  fs::create_directories(folder);
  const std::string copy = work_ + "/copy.avi";
  fs::copy_file(source_, copy);
  const std::string link = work_ + "/link.mp4";
  fs::create_symlink(copy, link);
  const std::string hard = work_ + "/hard.mp4";
  fs::create_hard_link(copy, hard);
  const std::string dotted = work_ + "/./copy.avi";
  const std::string around = work_ + "/folder/../copy.avi";
  const auto notFile = [](const std::string& what, const std::string& path) {
    return "the " + what + " \"" + path + "\" is not a file";
  };
  const auto isSource = [&](const std::string& output) {
    return "the output \"" + output + "\" is the source \"" + copy + "\": refused, the source would be lost";
  };
  struct Case {
    const char* label;
    std::string source, output;
    uint32_t result;
    std::string line;
    bool everyMode;  // else the convert mode only (the check is the same for all)
  };
  const Case cases[] = {
      {"a FIFO as the source", fifo, work_ + "/out.mp4", 0x80040081, notFile("source", fifo), true},
      {"a folder as the source", folder, work_ + "/out.mp4", 0x80040081, notFile("source", folder), false},
      {"a FIFO as the output", copy, fifo, 0x80040081, notFile("output", fifo), true},
      {"a folder as the output", copy, folder, 0x80040081, notFile("output", folder), true},
      {"a device as the output", copy, "/dev/null", 0x80040081, notFile("output", "/dev/null"), true},
      {"the source itself", copy, copy, 0x80070020, isSource(copy), true},
      {"the source by another spelling", copy, dotted, 0x80070020, isSource(dotted), true},
      {"the source by a way round", copy, around, 0x80070020, isSource(around), false},
      {"a link to the source", copy, link, 0x80070020, isSource(link), true},
      {"a hard link of the source", copy, hard, 0x80070020, isSource(hard), false},
  };
  const auto before = fs::file_size(copy);
  for (const std::string mode : {"-m", "-d", "-e", "-b"}) {
    for (const Case& c : cases) {
      if (!c.everyMode && mode != "-m") continue;
      SCOPED_TRACE(mode + ": " + c.label);
      ASSERT_EQ("", WriteModeJob(mode, c.source, c.output));
      const auto started = std::chrono::steady_clock::now();
      const EngineRun run = RunEngine(folder_, {mode, "test"});
      EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20)) << "the engine waited";
      EXPECT_EQ(c.result, JobResult(run)) << run.output;
      const std::vector<std::string> lines = Lines();
      int found = 0;
      for (const std::string& l : lines) found += l == c.line;
      EXPECT_EQ(1, found) << "want \"" << c.line << "\" in\n" << Joined(lines);
      EXPECT_EQ(before, fs::file_size(copy)) << "the source changed";
      EXPECT_TRUE(fs::is_fifo(fifo));
      EXPECT_TRUE(fs::is_symlink(link));
      EXPECT_TRUE(fs::is_empty(folder));
      EXPECT_EQ(std::vector<std::string>{}, Temporaries(work_));
    }
  }
}

// Links at the output are replaced by the new file, never written through;
// links planted at the temporary names a run would once have used (the
// engine's process id and a counter) are never met.
TEST_F(JobHardening, LinksAtTheOutputAreReplacedNotFollowed) {
  const std::string victim = work_ + "/victim.txt";
  WriteFile(victim, {'k', 'e', 'e', 'p'});
  const std::string missing = work_ + "/missing.mp4";
  struct Case {
    const char* label;
    const char* mode;
    std::string target;  // what the link at the output names
    bool plant;          // links to the victim at the guessable temporary names
  };
  const Case cases[] = {
      {"a dangling link", "-m", missing, false},
      {"a link to another file", "-m", victim, false},
      {"a dangling link, frame render", "-b", missing, false},
      {"a link to another file, multiplex", "-e", victim, false},
      {"links planted at guessable temporary names", "-m", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string output = work_ + (std::string(c.mode) == "-b" ? "/out.bmp" : "/out.mp4");
    fs::remove(output);
    if (!c.target.empty()) fs::create_symlink(c.target, output);
    ASSERT_EQ("", WriteModeJob(c.mode, source_, output));
    std::string plant;
    if (c.plant) {
      const std::string name = fs::path(output).filename().string();
      plant = "for n in 0 1 2 3; do ln -s " + ShellQuote(victim) + " " + ShellQuote(work_) + "/." + name +
              ".trivox-$$-$n.mp4; done; ";
    }
    // exec keeps the shell's process id for the engine.
    int status = -1;
    const std::string out = RunShell(
        "cd " + ShellQuote(folder_) + " && sh -c " + ShellQuote(plant + "exec ./trivox_free " + c.mode + " test"),
        &status, false);
    EXPECT_EQ(0, status) << out;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(output))) << "the link was kept";
    EXPECT_GT(fs::file_size(output), 0u);
    EXPECT_FALSE(fs::exists(missing)) << "written through a dangling link";
    EXPECT_EQ(std::vector<uint8_t>({'k', 'e', 'e', 'p'}), ReadFileBytes(victim));
    for (const std::string& name : Temporaries(work_)) {
      EXPECT_TRUE(c.plant && fs::is_symlink(work_ + "/" + name)) << name;
      fs::remove(work_ + "/" + name);
    }
    Lines();
  }
}

// A full disk ends every kind of job with a failure and a log line, and
// leaves nothing at the output: a picture sequence, a multiplexed file and a
// stream split off.
TEST_F(JobHardening, AFullDiskFailsTheJob) {
  const std::string disk = work_ + "/disk";
  fs::create_directories(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};
  const std::string clip = work_ + "/pictures.avi";
  int status = -1;
  const std::string made = RunShell(
      "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -t 4 -c:v mpeg4 "
      "-q:v 2 " +
          ShellQuote(clip),
      &status);
  ASSERT_EQ(0, status) << made;
  struct Case {
    const char* label;
    const char* mode;
    std::string output;
  };
  const Case cases[] = {
      {"pictures", "-m", disk + "/frames"},
      {"multiplex", "-e", disk + "/joined.avi"},
      {"demultiplex", "-d", disk + "/video.avi"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ("", std::string(c.mode) == "-m"
                      ? WriteConvertJob(folder_,
                                        {"--source", clip, "--output", c.output, "--writer", "[FFM]IMAGE2", "--vcodec",
                                         "[FFM]MJPG", "--acodec", "NONE", "--width", "320", "--height", "240"})
                      : WriteModeJob(c.mode, clip, c.output));
    const EngineRun run = RunEngine(folder_, {c.mode, "test"});
    EXPECT_NE(0u, JobResult(run)) << run.output;
    EXPECT_NE(0xDEADBEEFu, JobResult(run)) << run.output;
    const std::vector<std::string> lines = Lines();
    int writeErrors = 0;
    for (const std::string& l : lines) writeErrors += l.rfind("write error on '", 0) == 0;
    EXPECT_EQ(1, writeErrors) << Joined(lines);
    EXPECT_FALSE(fs::exists(c.output));
    EXPECT_TRUE(fs::is_empty(disk)) << "something was left behind";
  }
}

TEST_F(JobHardening, AMissingJobBlockIsLogged) {
  const EngineRun run = RunEngine(folder_, {"-m", "HWND_DEADBEEF"});
  EXPECT_EQ(0x80040203u, JobResult(run)) << run.output;
  const std::vector<std::string> lines = Lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("the job block \"HWND_DEADBEEF\" does not exist: its record is empty", lines.front()) << Joined(lines);
  EXPECT_EQ("Conversion failed,the return code is 80040203.", lines.back()) << Joined(lines);
}

TEST_F(JobHardening, AStopBeforeAnythingWasWrittenSaysSo) {
  // The front end's control block, its stop request already set.
  const uint32_t window = 0x00ABC001;
  CSharedBlock control;
  ASSERT_TRUE(control.Create(ControlBlock::NameForWindow(window), ControlBlock::kSize));
  BlockWord(control.View(), ControlBlock::kStopRequest).store(1);
  const std::string output = work_ + "/stopped.mp4";
  ASSERT_EQ("", WriteConvertJob(folder_, Job(long_, output)));
  const CommandRun ctl = RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -m " +
                                    ShellQuote(folder_ + "/default_0.dat") + " --window 00ABC001 --engine " +
                                    ShellQuote(folder_ + "/trivox_free") + " --timeout 60 2>&1");
  EXPECT_EQ(0, ctl.status) << ctl.output;
  EXPECT_NE(std::string::npos, ctl.output.find("Conversion stopped,nothing was written to \"" + output + "\"."))
      << ctl.output;
  EXPECT_EQ(std::string::npos, ctl.output.find("Conversion finished")) << ctl.output;
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(std::vector<std::string>{}, Temporaries(work_));
}

TEST_F(JobHardening, StopSignalsEndTheJobAndDropTheOutput) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const std::string output = work_ + "/out.mp4";
    WriteFile(output, {'o', 'l', 'd'});  // an earlier result stays as it was
    StartedEngine engine = StartLongConversion(output);
    ASSERT_EQ(0, kill(engine.pid, signal));
    const auto started = std::chrono::steady_clock::now();
    const EngineRun run = FinishEngine(engine);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(0xC000013Au, JobResult(run)) << run.output;
    EXPECT_EQ(0x3A, run.status);
    EXPECT_EQ(3u, fs::file_size(output));
    EXPECT_EQ(std::vector<std::string>{}, Temporaries(work_));
    const std::vector<std::string> lines = Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ("Conversion failed,the return code is C000013A.", lines.back()) << Joined(lines);
    // Nothing of the engine's is left in shared memory (the log ring is held here).
    EXPECT_EQ(std::vector<std::string>{}, NamespaceObjects("VIVEZAZAD"));
  }
}

TEST_F(JobHardening, ACrashedEngineRemovesItsTemporaryFileAndObjects) {
  StartedEngine engine = StartLongConversion(work_ + "/out.mp4");
  ASSERT_EQ(0, kill(engine.pid, SIGSEGV));
  const EngineRun run = FinishEngine(engine);
  EXPECT_EQ(0xC0000005u, JobResult(run)) << run.output;
  EXPECT_EQ(std::vector<std::string>{}, Temporaries(work_));
  EXPECT_FALSE(fs::exists(work_ + "/out.mp4"));
  EXPECT_EQ(std::vector<std::string>{}, NamespaceObjects("VIVEZAZAD"));
}

TEST_F(JobHardening, LeftoversOfKilledRunsAreRemovedByTheNext) {
  // A run killed outright leaves its temporary file and engine word.
  StartedEngine engine = StartLongConversion(work_ + "/out.mp4");
  ASSERT_EQ(0, kill(engine.pid, SIGKILL));
  FinishEngine(engine);
  ASSERT_EQ(1u, Temporaries(work_).size());
  int words = 0;
  for (const std::string& name : NamespaceObjects()) words += name.find("_LID") != std::string::npos;
  ASSERT_EQ(2, words) << "the killed engine's word (mapping and mutex)";
  // Another leftover of a process that is gone, and an engine word of a live one.
  const pid_t dead = DeadPid();
  const std::string stale = work_ + "/.other.mp4.trivox-" + std::to_string(dead) + "-3.mp4";
  WriteFile(stale, {1, 2, 3});
  const std::string foreign = work_ + "/.other.mp4.trivox-" + std::to_string(getppid()) + "-0.mp4";
  WriteFile(foreign, {1});  // its process is alive: not ours to remove
  CSharedBlock live;
  ASSERT_TRUE(live.Create(EngineWordName(static_cast<uint32_t>(getpid())), kEngineWordSize));

  ASSERT_EQ("", WriteConvertJob(folder_, Job(source_, work_ + "/out.mp4")));
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_EQ(std::vector<std::string>{fs::path(foreign).filename().string()}, Temporaries(work_));
  EXPECT_TRUE(fs::exists(work_ + "/out.mp4"));
  // Only the live engine word (mapping and mutex) and the ring remain.
  std::vector<std::string> left = NamespaceObjects("VIVEZAZAD");
  EXPECT_EQ(2u, left.size()) << Joined(left);
  for (const std::string& name : left) {
    char pid[16];
    std::snprintf(pid, sizeof pid, "_LID%08X", static_cast<unsigned>(getpid()));
    EXPECT_NE(std::string::npos, name.find(pid)) << name;
  }
}

TEST_F(JobHardening, AReaderThatHasGoneCostsTheOutputLinesNotTheResult) {
  ASSERT_EQ("", WriteConvertJob(folder_, Job(source_, work_ + "/out.mp4")));
  // Standard output is a pipe whose reader ends at once; the result goes to a file.
  const std::string result = work_ + "/result.bin";
  int status = -1;
  const std::string script = "cd " + ShellQuote(folder_) + " && TRIVOX_RESULT_FD=3 ./trivox_free -m test 3>" +
                             ShellQuote(result) + " 2>/dev/null | head -c 0; echo status=${PIPESTATUS[0]}";
  const std::string out = RunShell("bash -c " + ShellQuote(script), &status);
  EXPECT_NE(std::string::npos, out.find("status=0")) << out << " (141 is death by SIGPIPE)";
  EXPECT_EQ(std::vector<uint8_t>(4, 0), ReadFileBytes(result));
  EXPECT_TRUE(fs::exists(work_ + "/out.mp4"));
}

}  // namespace
