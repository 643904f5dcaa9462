// The demo's job, built as the front end builds it, keeps the display aspect
// of the sample DVD's 4:3 PAL title.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

TEST(DemoJob, TheTitleKeepsItsDisplayAspect) {
  const std::string disc = std::string(TRIVOX_STAGE_DIR) + "/sample_dvd";
  if (!fs::is_directory(disc + "/VIDEO_TS")) GTEST_SKIP() << "no sample DVD in the stage folder";
  const std::string folder = MakeConvertFolder("demo_job", {"vresize.so"});
  int status = -1;
  const std::string out = RunShell("bash " + ShellQuote(std::string(TRIVOX_SOURCE_DIR) + "/scripts/demo_job.sh") + " " +
                                       ShellQuote(TRIVOX_STAGE_DIR) + " " + ShellQuote(disc) + " " +
                                       ShellQuote(folder + "/out") + " " + ShellQuote(folder + "/default_0.dat"),
                                   &status, false);
  ASSERT_EQ(0, status) << out;
  const std::string output = folder + "/out/sample_dvd.mp4";
  EXPECT_EQ(output + "\n", out);
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  const std::string probe = RunShell(
      "ffprobe -v error -select_streams v -show_entries stream=width,height,sample_aspect_ratio,display_aspect_ratio "
      "-of compact=p=0 " +
          ShellQuote(output),
      &status, false);
  EXPECT_EQ("width=720|height=576|sample_aspect_ratio=16:15|display_aspect_ratio=4:3\n", probe);
  const std::string duration =
      RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(output), &status, false);
  EXPECT_NEAR(12.0, std::stod(duration), 0.2);
}
