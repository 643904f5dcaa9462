// Bad default_%d.dat files end the engine with 0x80004005 and a reason.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/job_records.h"
#include "tests/test_util/child_run.h"
#include "tests/test_util/engine_process.h"

namespace {

std::vector<uint8_t> GoodConvertJob() {
  auto job = std::make_unique<ConvertJob>();
  job->inputs.count = 2;
  SetJobText(job->inputs.inputs[0].path, "/nowhere/a.mp4");
  SetJobText(job->inputs.inputs[1].path, "/nowhere/b.mp4");
  job->inputs.inputs[1].descriptionCount = 1;
  SetJobText(job->inputs.inputs[1].descriptions[0], "\"TYPE\"=1");
  SetJobText(job->settings.writerTag, "[FFM]MP3");
  FilterEntry f;
  f.flags = 2;
  SetJobText(f.key, "AVOLUME");
  f.params = "\"VOLUME\"=150";
  job->settings.audioFilters.push_back(f);
  return SerialiseRecord(*job);
}

TEST(JobFiles, BadTestFilesFailWithEFail) {
  const std::vector<uint8_t> good = GoodConvertJob();
  struct Case {
    const char* name;
    std::function<void(const std::string& file)> make;
    const char* reason;  // part of the engine's one-line reason
  };
  std::mt19937 rng(7);
  const std::vector<Case> cases = {
      {"truncated",
       [&](const std::string& f) {
         WriteFile(f, {good.begin(), good.begin() + 100});
       },
       "truncated"},
      {"cut in the last field",
       [&](const std::string& f) {
         WriteFile(f, {good.begin(), good.end() - 1});
       },
       "truncated"},
      {"trailing bytes",
       [&](const std::string& f) {
         auto bytes = good;
         bytes.insert(bytes.end(), {1, 2, 3});
         WriteFile(f, bytes);
       },
       "left over"},
      {"garbage",
       [&](const std::string& f) {
         std::vector<uint8_t> bytes(5000);
         for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
         bytes[0] = 0xFF;  // a negative source count, whatever the rest holds
         WriteFile(f, bytes);
       },
       "sources"},
      {"path longer than its field",
       [&](const std::string& f) {
         std::vector<uint8_t> bytes(8 + 300 + 2000, 0);
         bytes[0] = 1;  // one source, with a path of 300 bytes
         bytes[4] = 0x2C;
         bytes[5] = 0x01;
         std::fill(bytes.begin() + 8, bytes.begin() + 308, 'p');
         WriteFile(f, bytes);
       },
       "source path"},
      {"oversized",
       [&](const std::string& f) {
         WriteFile(f, good);
         ASSERT_EQ(truncate(f.c_str(), 65L * 1024 * 1024), 0);  // sparse, no disk used
       },
       "too large"},
      {"empty", [&](const std::string& f) { WriteFile(f, {}); }, "empty"},
      {"folder", [&](const std::string& f) { std::filesystem::create_directory(f); }, "not a file"},
      {"unreadable",
       [&](const std::string& f) {
         WriteFile(f, good);
         chmod(f.c_str(), 0);
       },
       "cannot open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string folder = MakeEngineFolder(std::string("bad_") + c.name);
    c.make(folder + "/default_0.dat");
    // Root reads anything: the engine runs without that privilege.
    EXPECT_EQ(
        0, RunUnprivileged([&] {
          EngineRun run = RunEngine(folder, {"-m", "test"});
          if (run.status == 5 && run.LastLine() == "RESULT=80004005" && run.output.find(c.reason) != std::string::npos)
            return 0;
          std::fprintf(stderr, "status %d, output:\n%s\n", run.status, run.output.c_str());
          return 1;
        }));
  }
}

TEST(JobFiles, ASoundFileReachesTheRunner) {
  std::string folder = MakeEngineFolder("good");
  WriteFile(folder + "/default_0.dat", GoodConvertJob());
  EngineRun run = RunEngine(folder, {"-m", "test"});
  // Read as sound: the runner's own answer, never the reading failure.
  EXPECT_EQ(run.LastLine().rfind("RESULT=", 0), 0u) << run.output;
  EXPECT_NE(run.LastLine(), "RESULT=80004005") << run.output;
}

TEST(JobFiles, TheBuildStagesAConvertJob) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(TRIVOX_STAGE_DIR "/default_0.dat", "rb");
  ASSERT_NE(f, nullptr) << "default_0.dat is not staged";
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  auto job = std::make_unique<ConvertJob>();
  std::string reason;
  ASSERT_TRUE(ParseJobRecord(*job, bytes, reason)) << reason;
  EXPECT_EQ(job->inputs.count, 1);
  EXPECT_STRNE(job->settings.writerTag, "");
}

}  // namespace
