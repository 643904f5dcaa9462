// velmo-cli: usage errors, the job record it prints and writes, output names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

const std::string kVideo = "\"TYPE\"=0,\"STREAMID\"=0,\"WIDTH\"=720,\"HEIGHT\"=480,\"FRAMERATE\"=F25";
const std::string kAudio = "\"TYPE\"=1,\"STREAMID\"=1,\"SAMPLERATE\"=48000,\"CHANNEL\"=2,\"BITSIZE\"=16";

std::string Folder(const std::string& name) {
  const fs::path folder = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "velmo-cli" / name;
  fs::remove_all(folder);
  fs::create_directories(folder);
  return folder.string();
}

std::vector<std::string> JobArgs(const std::string& source) {
  return {"job",
          "--source",
          source,
          "--track",
          kVideo,
          "--track",
          kAudio,
          "--length",
          "10",
          "--profile",
          "muxer=[FFM]MP4",
          "--profile",
          "vcodec=[FFM]H264",
          "--profile",
          "acodec=[FFM]AAC",
          "--profile",
          "ext=mp4",
          "--profile",
          "width=640",
          "--profile",
          "height=480",
          "--scale-mode",
          "1"};
}

TEST(VelmoCli, HelpForEveryCommand) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"job", "--help"}, {"outname", "--help"}, {"job", "-h"}}) {
    const CommandRun run = RunStagedTool("velmo-cli", args);
    EXPECT_EQ(0, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("Usage: velmo-cli")) << run.output;
  }
}

TEST(VelmoCli, UsageErrorsExitTwo) {
  struct Case {
    const char* label;
    std::vector<std::string> args;
    const char* message;
  };
  std::vector<std::string> tooManyTracks = {"job", "--source", "/in/clip.mp4"};
  for (int i = 0; i < 33; ++i) tooManyTracks.insert(tooManyTracks.end(), {"--track", kVideo});
  const Case cases[] = {
      {"no command", {}, "no command given"},
      {"unknown command", {"transmogrify"}, "unknown command \"transmogrify\""},
      {"unknown option", {"job", "--frobnicate"}, "unknown option --frobnicate"},
      {"missing value", {"job", "--source"}, "--source needs a value"},
      {"no source", {"job", "--track", kVideo}, "job needs --source"},
      {"no tracks", {"job", "--source", "/in/clip.mp4"}, "--track TEXT"},
      {"two sources", {"job", "--source", "/a", "--source", "/b"}, "one --source"},
      {"stray word", {"job", "--source", "/a", "--track", kVideo, "extra"}, "\"extra\""},
      {"bad number", {"job", "--source", "/a", "--scale-mode", "one"}, "\"one\" is not a whole number"},
      {"bad length", {"job", "--source", "/a", "--length", "1,5"}, "\"1,5\" is not a number"},
      {"unknown profile field", {"job", "--profile", "colour=red"}, "unknown field \"colour\""},
      {"profile name without a database", {"job", "--profile", "MP4"}, "no profile named \"MP4\""},
      {"over-long profile text", {"job", "--profile", "muxer=" + std::string(64, 'M')}, "does not fit its field of 63"},
      {"over-long track", {"job", "--track", std::string(1024, 't')}, "does not fit its field of 1023"},
      {"more than 32 tracks", tooManyTracks, "at most 32 tracks"},
      {"outname without sources", {"outname", "--profile", "ext=mp4"}, "at least one --source"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const CommandRun run = RunStagedTool("velmo-cli", c.args);
    EXPECT_EQ(2, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.message)) << run.output;
  }
}

TEST(VelmoCli, JobPrintsWhatItWritesAsTrivoxJobDumpsIt) {
  const std::string folder = Folder("job");
  const std::string record = folder + "/default_0.dat";
  std::vector<std::string> args = JobArgs(folder + "/in/clip.mp4");
  args.insert(args.end(), {"--folder", folder + "/out", "--out", record});
  const CommandRun job = RunStagedTool("velmo-cli", args);
  ASSERT_EQ(0, job.status) << job.output;
  const CommandRun dump = RunStagedTool("trivox_job", {"dump", record});
  ASSERT_EQ(0, dump.status) << dump.output;
  EXPECT_EQ(dump.output, job.output);
  EXPECT_NE(std::string::npos, job.output.find("output.path: \"" + folder + "/out/clip.mp4\"")) << job.output;
  EXPECT_NE(std::string::npos, job.output.find("\\\"TOPPAD\\\"=26,\\\"BOTTOMPAD\\\"=28")) << job.output;
  EXPECT_NE(std::string::npos, job.output.find("source[0].streams: 0,1")) << job.output;
  EXPECT_FALSE(fs::exists(record + ".tmp"));
}

TEST(VelmoCli, JobRefusesWhatDoesNotFitItsRecord) {
  const std::string folder = Folder("refusal");
  const std::string record = folder + "/default_0.dat";
  struct Case {
    const char* label;
    std::string source;
    std::string outFolder;
    const char* message;
  };
  const Case cases[] = {
      {"source path past its field", "/in/" + std::string(300, 's') + ".mp4", folder, "308 bytes long"},
      {"output path past its field", "/in/clip.mp4", "/" + std::string(260, 'o'), "bytes long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> args = JobArgs(c.source);
    args.insert(args.end(), {"--folder", c.outFolder, "--out", record});
    const CommandRun run = RunStagedTool("velmo-cli", args);
    EXPECT_EQ(1, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.message)) << run.output;
    EXPECT_FALSE(fs::exists(record));
  }
}

TEST(VelmoCli, OutnameNumbersOneRun) {
  const std::string folder = Folder("outname");
  fs::create_directories(folder + "/out");
  std::ofstream(folder + "/out/clip[1].mp4") << "keep";
  const std::vector<std::string> base = {"outname",
                                         "--source",
                                         folder + "/a/clip.mov",
                                         "--source",
                                         folder + "/b/clip.mov",
                                         "--source",
                                         folder + "/b/other.mov",
                                         "--profile",
                                         "ext=mp4",
                                         "--folder",
                                         folder + "/out"};
  CommandRun run = RunStagedTool("velmo-cli", base);
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(folder + "/out/clip.mp4\n" + folder + "/out/clip[2].mp4\n" + folder + "/out/other.mp4\n", run.output);
  std::vector<std::string> overwrite = base;
  overwrite.push_back("--overwrite");
  run = RunStagedTool("velmo-cli", overwrite);
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(folder + "/out/clip.mp4\n" + folder + "/out/clip[1].mp4\n" + folder + "/out/other.mp4\n", run.output);
  // outname only names; the file that was there is untouched.
  const std::vector<uint8_t> kept = ReadFileBytes(folder + "/out/clip[1].mp4");
  EXPECT_EQ("keep", std::string(kept.begin(), kept.end()));
}

}  // namespace
