// Conversions that fail: each ends with its code and one log-ring line saying
// what failed, read from the ring the way the front end does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_ring.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/log_lines.h"

namespace {

struct Case {
  const char* label;
  std::vector<std::string> options;  // after --source and --output; "SRC" and "DIR" are replaced
  uint32_t result;
  std::string line;  // the text of the one line that says what failed ("DIR" replaced)
};

std::string Expand(std::string text, const std::string& source, const std::string& folder) {
  for (size_t at; (at = text.find("SRC")) != std::string::npos;) text.replace(at, 3, source);
  for (size_t at; (at = text.find("DIR")) != std::string::npos;) text.replace(at, 3, folder);
  return text;
}

class JobFailureLog : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("job_failure_log");
    source_ = folder_ + "/in.avi";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=sample_rate=8000 -t 1 "
        "-c:v mpeg4 -c:a pcm_s16le -ac 1 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
    WriteFile(folder_ + "/junk.bin", std::vector<uint8_t>(64, 0x5A));
  }

  void SetUp() override {
    // Held open for the whole test, so the engine's lines stay in this ring.
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    std::vector<LogEntry> old;
    ring_.TakeEntries(old);
  }

  std::vector<std::string> Lines() { return TakeLogLines(ring_); }

  static std::string folder_, source_;
  CLogRing ring_;
};
std::string JobFailureLog::folder_, JobFailureLog::source_;

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += "  " + l + "\n";
  return all;
}

TEST_F(JobFailureLog, EachFailureEndsWithItsCodeAndOneLine) {
  const std::vector<std::string> av = {"--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC"};
  auto with = [](std::vector<std::string> a, std::vector<std::string> b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"a writer that refuses the codec",
       {"--source", "SRC", "--writer", "[FFM]MOV", "--vcodec", "[FFM]H263P", "--acodec", "NONE"},
       0x80004005,
       "muxer mov does not take h263p"},
      {"a decoder row given as video encoder",
       {"--source", "SRC", "--writer", "[FFM]MP4", "--vcodec", "[FFM]MPEG4", "--acodec", "NONE"},
       0x80040206,
       "no video encoder \"[FFM]MPEG4\""},
      {"an unknown audio encoder",
       {"--source", "SRC", "--writer", "[FFM]MP4", "--vcodec", "NONE", "--acodec", "[FFM]NOPE"},
       0x80040205,
       "no audio encoder \"[FFM]NOPE\""},
      {"an unknown writer tag", with({"--source", "SRC", "--writer", "[FFM]NOSUCH"}, av), 0x80040203,
       "no writer \"[FFM]NOSUCH\""},
      {"a missing source", with({"--source", "DIR/missing.avi", "--writer", "[FFM]MP4"}, av), 0x80040081,
       "the source \"DIR/missing.avi\" does not exist"},
      {"a source no reader knows", with({"--source", "DIR/junk.bin", "--writer", "[FFM]MP4"}, av), 0x80040012,
       "no reader recognises the source \"DIR/junk.bin\""},
      {"no stream to convert",
       {"--source", "SRC", "--writer", "[FFM]MP4", "--vcodec", "NONE", "--acodec", "NONE"},
       0x8004020A,
       "no stream of the sources to convert"},
      {"an unregistered video filter", with({"--source", "SRC", "--writer", "[FFM]MP4", "--vfilter", "VNOSUCH="}, av),
       0x80040207, "no filter \"VNOSUCH\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> options;
    for (const std::string& o : c.options) options.push_back(Expand(o, source_, folder_));
    options.push_back("--output");
    options.push_back(folder_ + "/out.mp4");
    ASSERT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(c.result, JobResult(run)) << run.output;
    const std::vector<std::string> lines = Lines();
    const std::string want = Expand(c.line, source_, folder_);
    int found = 0;
    for (const std::string& l : lines) found += l == want;
    EXPECT_EQ(1, found) << "want \"" << want << "\" in\n" << Joined(lines);
    char failed[64];
    std::snprintf(failed, sizeof failed, "Conversion failed,the return code is %08X.", c.result);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(failed, lines.back());
  }
}

TEST_F(JobFailureLog, AJobFileThatCannotBeReadIsLogged) {
  const std::string folder = MakeConvertFolder("job_failure_log_nofile");
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  EXPECT_EQ(0x80004005u, JobResult(run));
  const std::string line = "cannot open job file \"" + folder + "/default_0.dat\"";
  EXPECT_TRUE(run.HasLine(line)) << run.output;
  EXPECT_EQ(std::vector<std::string>{line}, Lines());
}

}  // namespace
