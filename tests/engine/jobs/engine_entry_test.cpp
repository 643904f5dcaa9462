#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "tests/test_util/engine_process.h"

namespace {

const std::vector<uint8_t> kFail = {0x05, 0x40, 0x00, 0x80};

bool HasUseTimeLine(const EngineRun& run) {
  return std::regex_search(run.output, std::regex("(^|\n)Use time:[0-9]+\\.[0-9]{3}\n"));
}

TEST(EngineEntry, CommandLineForms) {
  std::string folder = MakeEngineFolder("forms");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* last;
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {{"-x", "foo"}, 0, "RESULT=00000000", {0, 0, 0, 0}},
      {{"-M", "test"}, 0, "RESULT=00000000", {0, 0, 0, 0}},  // modes are case-sensitive
      {{}, 0, "RESULT=00000000", {0, 0, 0, 0}},
      {{"-m"}, 0, "RESULT=00000000", {0, 0, 0, 0}},
      {{"-m", "test", "x"}, 0, "RESULT=00000000", {0, 0, 0, 0}},
      {{"-p", "a", "b", "c"}, 255, "RESULT=FFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF}},
      {{"-m", "test"}, 5, "RESULT=80004005", kFail},  // no default_0.dat
      {{"-b", "test"}, 5, "RESULT=80004005", kFail},
  };
  for (const Case& c : cases) {
    std::string words;
    for (const std::string& a : c.args) words += " " + a;
    SCOPED_TRACE("trivox_free" + words);
    EngineRun run = RunEngine(folder, c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.LastLine(), c.last) << run.output;
    EXPECT_EQ(run.resultBytes, c.bytes);
    EXPECT_FALSE(HasUseTimeLine(run)) << run.output;
  }
}

TEST(EngineEntry, UnknownModeTouchesNoSharedBlock) {
  const char* ns = std::getenv("TRIVOX_SHM_NAMESPACE");
  ASSERT_NE(ns, nullptr);
  std::string folder = MakeEngineFolder("unknown_mode");
  EngineRun run = RunEngine(folder, {"-x", "HWND_00001234"});
  EXPECT_EQ(run.status, 0);
  DIR* dir = opendir("/dev/shm");
  ASSERT_NE(dir, nullptr);
  while (dirent* entry = readdir(dir))
    EXPECT_EQ(std::string(entry->d_name).find(ns), std::string::npos) << entry->d_name;
  closedir(dir);
}

TEST(EngineEntry, ResultWithoutTheResultDescriptor) {
  std::string folder = MakeEngineFolder("no_fd");
  EngineRun run = RunEngine(folder, {"-m", "test"}, false);
  EXPECT_EQ(run.status, 5);
  EXPECT_EQ(run.LastLine(), "RESULT=80004005");
  EXPECT_TRUE(run.resultBytes.empty());
}

// Each mode reads the record of its own kind from its own default_%d.dat.
TEST(EngineEntry, EachModeReadsItsOwnTestFile) {
  struct Mode {
    const char* arg;
    int number;
    std::function<std::vector<uint8_t>()> record;
    uint32_t result;  // what the runner answers to the record
  };
  auto convert = [] {
    auto job = std::make_unique<ConvertJob>();
    job->inputs.count = 1;
    SetJobText(job->inputs.inputs[0].path, "/nowhere/in.mp4");
    SetJobText(job->output.path, "/nowhere/out.mp3");
    return SerialiseRecord(*job);
  };
  const Mode modes[] = {
      // The runners refuse a job naming no writer (0x80040203) or no source
      // that exists (0x80040081).
      {"-m", 0, convert, 0x80040203},
      {"-d", 1,
       [] {
         DemuxJob job;
         SetJobText(job.sourcePath, "/nowhere/in.avi");
         return SerialiseRecord(job);
       },
       0x80040081},
      {"-e", 2,
       [] {
         auto job = std::make_unique<MuxJob>();
         return SerialiseRecord(*job);
       },
       0x80040203},
      {"-g", 3, convert, 0x80040203},
      {"-p", 4, convert, 0x80040203},
      {"-b", 5,
       [] {
         auto job = std::make_unique<FrameJob>();
         SetJobText(job->sourcePath, "/nowhere/in.avi");
         job->frameCount = 1;
         return SerialiseRecord(*job);
       },
       0x80040081},
  };
  for (const Mode& mode : modes) {
    SCOPED_TRACE(mode.arg);
    std::string folder = MakeEngineFolder(std::string("mode") + std::to_string(mode.number));
    WriteFile(folder + "/default_" + std::to_string(mode.number) + ".dat", mode.record());

    EngineRun run = RunEngine(folder, {mode.arg, "test"});
    char last[20];
    std::snprintf(last, sizeof last, "RESULT=%08X", mode.result);
    EXPECT_EQ(run.status, static_cast<int>(mode.result & 0xFF));
    EXPECT_EQ(run.LastLine(), last) << run.output;
    EXPECT_EQ(run.resultBytes,
              (std::vector<uint8_t>{static_cast<uint8_t>(mode.result), static_cast<uint8_t>(mode.result >> 8),
                                    static_cast<uint8_t>(mode.result >> 16), static_cast<uint8_t>(mode.result >> 24)}));
    EXPECT_TRUE(HasUseTimeLine(run)) << run.output;
    bool secondsLine = std::regex_search(run.output, std::regex("(^|\n)[0-9]+\\.[0-9]{6}\nUse time:"));
    EXPECT_EQ(secondsLine, std::string(mode.arg) == "-m") << run.output;

    // Every other mode looks for another file, which is not there.
    for (const Mode& other : modes) {
      if (other.number == mode.number) continue;
      EngineRun missing = RunEngine(folder, {other.arg, "test"});
      EXPECT_EQ(missing.LastLine(), "RESULT=80004005") << other.arg << "\n" << missing.output;
    }
  }
}

TEST(EngineEntry, ProbeFormReturnsZero) {
  std::string folder = MakeEngineFolder("probe");
  EngineRun run = RunEngine(folder, {"-l", ":PROC_00000001", "\"/nowhere/in.mp4\"", "0"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.LastLine(), "RESULT=00000000");
}

}  // namespace
