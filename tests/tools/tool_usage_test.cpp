// Every tool's command line: --help answers 0 with its usage on standard
// output, usage errors answer 2 with a message, and the few cases that used to
// be taken for something else.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/version.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

struct Case {
  const char* tool;
  std::vector<std::string> args;
  int status;
  const char* text;  // expected in the output
};

std::string Joined(const std::vector<std::string>& args) {
  std::string out;
  for (const std::string& a : args) out += " " + a;
  return out;
}

TEST(ToolUsage, HelpAndUsageErrors) {
  const Case cases[] = {
      {"dvdscan", {"--help"}, 0, "usage: dvdscan"},
      {"dvdscan", {"-h"}, 0, "usage: dvdscan"},
      {"dvdscan", {}, 2, "give one PATH"},
      {"dvdscan", {"--nonsense", "/x"}, 2, "unknown option --nonsense"},
      {"dvdscan", {"a", "b"}, 2, "give one PATH"},
      {"dvdcat", {"--help"}, 0, "usage: dvdcat"},
      {"dvdcat", {}, 2, "give one \"dvd:\" path"},
      {"dvdcat", {"/no/such/disc"}, 2, "not a \"dvd:\" path: /no/such/disc"},
      {"dvdcat", {"-x", "dvd:/d"}, 2, "unknown option -x"},
      {"trivox_job", {"--help"}, 0, "trivox_job write KIND FILE"},
      {"trivox_job", {"write", "--help"}, 0, "trivox_job write KIND FILE"},
      {"trivox_job", {"dump", "--help"}, 0, "trivox_job dump"},
      {"trivox_job", {}, 2, "no command given"},
      {"trivox_job", {"dump", "--kind"}, 2, "--kind needs a value"},
      {"trivox_job", {"dump", "--kind", "convert", "a", "b"}, 2, "dump takes one FILE"},
      {"trivox_ctl", {"--help"}, 0, "usage: trivox_ctl run"},
      {"trivox_ctl", {"run", "--help"}, 0, "usage: trivox_ctl run"},
      {"trivox_ctl", {}, 2, "usage: trivox_ctl run"},
      {"trivox_ctl", {"run", "-m", "job.dat", "--seek"}, 2, "--seek needs a value"},
      {"trivox_ctl", {"run", "-m", "job.dat", "--bogus", "1"}, 2, "unknown option --bogus"},
      {"trivox_ctl", {"run", "-m", "job.dat", "--seek", "x"}, 2, "--seek needs a number"},
      {"trivox_ctl", {"run", "-m", "job.dat", "--seek-units", "1y"}, 2, "--seek-units needs a 64-bit number"},
      {"trivox_ctl", {"run", "-m", "job.dat", "extra"}, 2, "unexpected word \"extra\""},
      {"trivox_ctl", {"run", "-q", "job.dat"}, 2, "unknown mode \"-q\""},
      {"modrun", {"--help"}, 0, "usage: modrun"},
      {"modrun", {"--video"}, 2, "--video needs a value"},
      {"modrun", {"--video", "12", "A", "B", "C"}, 2, "bad frame size"},
      {"modrun", {"--video", "16x16", "A", "B"}, 2, "need NAME, IN and OUT"},
      {"mktables", {"--help"}, 0, "usage: mktables"},
      {"mktables", {"a"}, 2, "give three paths"},
      {"mkformats", {"--help"}, 0, "Usage: mkformats"},
      {"mkformats", {"--x"}, 2, "unknown option --x"},
      {"mkformats", {"pack"}, 2, "Usage: mkformats"},
      {"velmo-cli", {"--help"}, 0, "velmo-cli"},
      {"velmo-cli", {"profiles", "--bogus"}, 2, "unknown option --bogus"},
      {"velmo-cli", {"profiles", "--program-folder"}, 2, "--program-folder needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tool) + Joined(c.args));
    const CommandRun run = RunStagedTool(c.tool, c.args);
    EXPECT_EQ(c.status, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.text)) << run.output;
  }
}

TEST(ToolUsage, HelpGoesToStandardOutput) {
  for (const char* tool : {"dvdscan", "dvdcat", "trivox_job", "trivox_ctl", "modrun", "mktables", "mkformats"}) {
    const CommandRun run = RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/" + tool) + " --help 2>/dev/null");
    EXPECT_EQ(0, run.status) << tool;
    EXPECT_GT(run.output.size(), 40u) << tool;
  }
}

TEST(ToolUsage, EveryInstalledProgramAnswersItsVersion) {
  for (const char* tool : {"trivox_free", "trivox_job", "trivox_ctl", "dvdscan", "dvdcat", "velmo", "velmo-cli"}) {
    const CommandRun run = RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/" + tool) + " --version 2>&1");
    EXPECT_EQ(0, run.status) << tool;
    EXPECT_EQ(std::string(tool) + " " + kTrivoxVersion + "\n", run.output);
  }
}

// The engine acts only on its job command lines; anything else still ends at once with
// RESULT=00000000, now after a usage line on standard error.
TEST(ToolUsage, EngineWithoutAJobShowsItsUsage) {
  const std::string engine = ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_free");
  for (const char* args : {"", " -x", " -m", " -q job"}) {
    SCOPED_TRACE(args);
    const CommandRun err = RunCommand(engine + args + " 2>&1 >/dev/null");
    EXPECT_EQ(0, err.status);
    EXPECT_EQ(0u, err.output.find("Usage: trivox_free -m|")) << err.output;
    const CommandRun out = RunCommand(engine + args + " 2>/dev/null");
    EXPECT_NE(std::string::npos, out.output.find("RESULT=00000000")) << out.output;
  }
  const CommandRun help = RunCommand(engine + " --help 2>/dev/null");
  EXPECT_EQ(0, help.status);
  EXPECT_NE(std::string::npos, help.output.find("-l PROBE_BLOCK FILE MODE")) << help.output;
}

TEST(ToolUsage, DumpOfAMissingFileSaysSo) {
  const std::string missing = std::string(TRIVOX_BINARY_DIR) + "/no-such-job.dat";
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"dump", missing}, std::vector<std::string>{"dump", "--kind", "mux", missing}}) {
    const CommandRun run = RunStagedTool("trivox_job", args);
    EXPECT_EQ(1, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("cannot open " + missing + ": No such file or directory"))
        << run.output;
  }
}

TEST(ToolUsage, DvdcatKeepsTheLibraryBannerOutOfItsOutput) {
  const std::string disc = std::string(TRIVOX_STAGE_DIR) + "/sample_dvd";
  if (!fs::is_directory(disc + "/VIDEO_TS")) GTEST_SKIP() << "no sample DVD in the stage folder";
  const std::string dvdcat = ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/dvdcat");
  const std::string url = ShellQuote("dvd:1,1,1," + disc);
  const CommandRun quiet = RunCommand(dvdcat + " " + url + " 2>&1 >/dev/null");
  EXPECT_EQ(0, quiet.status) << quiet.output;
  EXPECT_EQ("", quiet.output);
  const CommandRun bytes = RunCommand(dvdcat + " " + url + " 2>/dev/null | wc -c");
  EXPECT_GT(std::stol(bytes.output), 100000);
}

}  // namespace
