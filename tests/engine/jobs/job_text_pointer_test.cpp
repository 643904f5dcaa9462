// Filter texts of a job that carry address values ("P..."): the engine never
// takes an address from a job, so each job ends with a result of its own (here
// a whole conversion that ignores the value), never a fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "plugin-api/subtitle_types.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

TEST(JobTextPointers, AddressValuesInFilterTextsAreIgnored) {
  const std::string folder = MakeConvertFolder("job_text_pointer", {"vsubtitle.so"});
  const std::string source = folder + "/clip.mp4";
  int status = -1;
  const std::string made =
      RunShell("ffmpeg -v error -y -f lavfi -i color=c=0x707070:s=160x120:r=25:d=1,format=yuv420p -c:v mpeg4 " +
                   ShellQuote(source),
               &status);
  ASSERT_EQ(0, status) << made;

  const std::string ass = std::to_string(static_cast<int32_t>(kSubtitleCodeAss));
  struct Case {
    const char* label;
    std::string filter;
  } cases[] = {
      {"a sample address", "VSUBTITLE=\"SAMPLE\"=P4141414141414141"},
      {"a format block address with its length",
       "VSUBTITLE=\"VFCC\"=" + ass + ",\"DATALEN\"=4096,\"DATA\"=P4141414141414141"},
      {"the DVD overlay's sample and palette",
       "VSUBTITLEDVD=\"SAMPLE\"=P4141414141414141,\"PALETTE\"=P4141414141414141"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string output = folder + "/out" + std::to_string(++n) + ".avi";
    ASSERT_EQ("", WriteConvertJob(folder,
                                  {"--source", source,        "--output", output,   "--acodec",  "NONE",     "--vcodec",
                                   "raw",      "--raw-video", "YV12",     "--vtag", "YV12",      "--writer", "[FFM]AVI",
                                   "--width",  "160",         "--height", "120",    "--vfilter", c.filter}));
    const EngineRun run = RunEngine(folder, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    EXPECT_NE(run.output.find("is ignored"), std::string::npos) << run.output;
    EXPECT_TRUE(fs::exists(output));
  }
}

}  // namespace
