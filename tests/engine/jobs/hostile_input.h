// Shared by the hostile-input conversions: a folder of sources made at set-up, each
// case converted to MP4 by the engine, its result, output and log line checked.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/log_ring.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/log_lines.h"

struct HostileCase {
  const char* label;
  const char* source;
  const char* mode;  // the reader choice
  uint32_t result;
  const char* line;  // part of the log line saying what went wrong, or null
};

class HostileInput : public ::testing::Test {
 protected:
  static void Make(const std::string& name, const std::string& args) {
    ASSERT_TRUE(RunFfmpeg(args + " " + ShellQuote(folder_ + "/" + name))) << name;
  }

  // The first place of a four-letter tag in the bytes.
  static size_t Find(const std::vector<uint8_t>& d, const char* tag) {
    for (size_t i = 0; i + 4 <= d.size(); ++i)
      if (std::memcmp(&d[i], tag, 4) == 0) return i;
    return std::string::npos;
  }

  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    TakeLogLines(ring_);
  }

  // A failed case leaves no output; a case with a line finds it in the log.
  void ConvertEach(const std::vector<HostileCase>& cases) {
    const std::string output = folder_ + "/out.mp4";
    for (const HostileCase& c : cases) {
      SCOPED_TRACE(c.label);
      std::filesystem::remove(output);
      ASSERT_EQ("", WriteConvertJob(folder_,
                                    {"--source", folder_ + "/" + c.source, "--source-mode", c.mode, "--output", output,
                                     "--writer", "[FFM]MP4", "--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC"}));
      const EngineRun run = RunEngine(folder_, {"-m", "test"});
      const std::vector<std::string> lines = TakeLogLines(ring_);
      std::string joined;
      for (const std::string& l : lines) joined += "  " + l + "\n";
      EXPECT_EQ(c.result, JobResult(run)) << run.output << joined;
      EXPECT_EQ(c.result == 0, std::filesystem::exists(output));
      if (!c.line) continue;
      bool found = false;
      for (const std::string& l : lines) found = found || l.find(c.line) != std::string::npos;
      EXPECT_TRUE(found) << c.line << " in\n" << joined;
    }
  }

  static std::string folder_;
  CLogRing ring_;
};
inline std::string HostileInput::folder_;
