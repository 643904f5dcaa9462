// velmo-cli: usage errors, the job record it prints and writes, output names, the DVD title tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/dvd/dvd_fixture.h"
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
      {"unknown profile name", {"job", "--profile", "No Such Profile"}, "no profile named \"No Such Profile\""},
      {"dvd-scan without a path", {"dvd-scan"}, "needs the PATH"},
      {"dvd-scan with two paths", {"dvd-scan", "/a", "/b"}, "one PATH"},
      {"over-long profile text", {"job", "--profile", "muxer=" + std::string(64, 'M')}, "does not fit its field of 63"},
      {"over-long track", {"job", "--track", std::string(1024, 't')}, "does not fit its field of 1023"},
      {"more than 32 tracks", tooManyTracks, "at most 32 tracks"},
      {"outname without sources", {"outname", "--profile", "ext=mp4"}, "at least one --source"},
      {"drives with a path", {"drives", "/dev/sr0"}, "drives takes no PATH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const CommandRun run = RunStagedTool("velmo-cli", c.args);
    EXPECT_EQ(2, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find(c.message)) << run.output;
  }
}

TEST(VelmoCli, DrivesListsTheDrivesOfTheGivenSystemFiles) {
  const std::string dir = Folder("drives");
  fs::create_directories(dir + "/block/sr0");
  fs::create_directories(dir + "/labels");
  std::ofstream(dir + "/mounts") << "/dev/sr0 /media/u/FILM\\040ONE udf ro 0 0\n";
  fs::create_symlink("../../sr0", dir + "/labels/FILM\\x20ONE");
  const CommandRun run = RunStagedTool(
      "velmo-cli", {"drives", "--sys-block", dir + "/block", "--mounts", dir + "/mounts", "--labels", dir + "/labels"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(run.output, "/media/u/FILM ONE\tFILM ONE\t/dev/sr0\n");
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

// The tree's lines of a dvd-scan run (the DVD libraries add lines of their own).
std::vector<std::string> TreeLines(const std::string& output) {
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);)
    if (line.rfind("[", 0) == 0 || line.rfind("    [", 0) == 0 || line.rfind("      ", 0) == 0 ||
        line.rfind("note: ", 0) == 0 || line.find(" titles, ") != std::string::npos)
      lines.push_back(line);
  return lines;
}

TEST(VelmoCli, DvdScanPrintsTheTitleTree) {
  REQUIRE_DVD_FIXTURES();
  const std::string disc = DvdFixture("basic");
  const CommandRun run = RunStagedTool("velmo-cli", {"dvd-scan", disc});
  ASSERT_EQ(0, run.status) << run.output;
  const std::vector<std::string> want = {
      "[x] Title-01  00:00:06  dvd:1,1,3," + disc,
      "       0 * 720x576[4:3],25fps MPEG-2 Video",
      "       1 * 48 kHZ stereo AC-3 (0x80) ,English",
      "       2   48 kHZ stereo MP2 (0xC0) ,Deutsch",
      "       3   DVD Subpicture (0x20) ,English",
      "       4   DVD Subpicture (0x21) ,Francais",
      "    [x] Title-01-chap-01  00:00:02  dvd:1,1,1," + disc,
      "    [x] Title-01-chap-02  00:00:02  dvd:1,2,2," + disc,
      "    [x] Title-01-chap-03  00:00:02  dvd:1,3,3," + disc,
      "[ ] Title-02  00:00:04  dvd:2,1,2," + disc,
      "       0 * 720x576[4:3],25fps MPEG-2 Video",
      "       1 * 48 kHZ stereo AC-3 (0x80) ,English",
      "       2   48 kHZ stereo MP2 (0xC0) ,Deutsch",
      "       3   DVD Subpicture (0x20) ,English",
      "       4   DVD Subpicture (0x21) ,Francais",
      "    [ ] Title-02-chap-01  00:00:02  dvd:2,1,1," + disc,
      "    [ ] Title-02-chap-02  00:00:02  dvd:2,2,2," + disc,
      "[ ] Title-03  00:00:02  dvd:3,1,1," + disc,
      "       0 * 720x576[16:9],25fps MPEG-2 Video",
      "       1   48 kHZ stereo DVD LPCM (0xA0) ,Francais",
      "       2 * 48 kHZ stereo AC-3 (0x80) ,Espanol",
      "       3   DVD Subpicture (0x20) ,English",
      "       4   DVD Subpicture (0x21) ,English",
      "[ ] Title-04  00:00:03  dvd:4,1,2," + disc,
      "       0 * 352x576[4:3],25fps MPEG-1 Video",
      "       1 * 48 kHZ stereo MP2 (0xC0) ,Italiano",
      "    [ ] Title-04-chap-01  00:00:01  dvd:4,1,1," + disc,
      "    [ ] Title-04-chap-02  00:00:02  dvd:4,2,2," + disc,
      "4 titles, 11 rows; selected: Title-01",
  };
  EXPECT_EQ(want, TreeLines(run.output)) << run.output;

  // The voted main title of an NTSC image comes first.
  const CommandRun menu = RunStagedTool("velmo-cli", {"dvd-scan", DvdFixture("menu31.iso")});
  ASSERT_EQ(0, menu.status) << menu.output;
  const std::vector<std::string> lines = TreeLines(menu.output);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ("[x] Title-03  00:00:02  dvd:3,1,2," + DvdFixture("menu31.iso"), lines[0]);
  EXPECT_EQ("       0 * 720x480[4:3],29.97fps MPEG-2 Video", lines[1]);
  EXPECT_EQ("31 titles, 93 rows; selected: Title-03", lines.back());
}

TEST(VelmoCli, DvdScanWritesTheSelectedTitlesRecord) {
  REQUIRE_DVD_FIXTURES();
  const std::string folder = Folder("dvd-scan");
  const std::string record = folder + "/default_0.dat";
  const std::string disc = DvdFixture("basic");
  for (const std::string& profile : {std::string("V_10_MP4/1"), std::string("mp4 h.264 + aac")}) {
    SCOPED_TRACE(profile);
    fs::remove(record);
    const CommandRun run = RunStagedTool(
        "velmo-cli", {"dvd-scan", disc, "--profile", profile, "--folder", folder + "/out", "--out", record});
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("convert record of Title-01 written to " + record + "; output " +
                                                 folder + "/out/Title-01.mp4"))
        << run.output;
    const CommandRun dump = RunStagedTool("trivox_job", {"dump", record});
    ASSERT_EQ(0, dump.status) << dump.output;
    for (const std::string& line :
         {"source[0].path: \"dvd:1,1,3," + disc + "\"", std::string("source[0].streams: 0,1"),
          std::string("source[0].descriptions: 5"), std::string("source[0].paletteValid: 1"),
          std::string("settings.writer: \"[FFM]MP4\""), std::string("settings.vcodec: \"[FFM]H264\""),
          std::string("videoFilters[0].key: \"VLEVELS\""), std::string("videoFilters[0].flags: 0"),
          "output.path: \"" + folder + "/out/Title-01.mp4\""})
      EXPECT_NE(std::string::npos, dump.output.find(line + "\n")) << line << "\n" << dump.output;
  }
}

TEST(VelmoCli, DvdScanNotesWhatItLeavesOutAndFailsOnNoDisc) {
  REQUIRE_DVD_FIXTURES();
  const std::string many = std::string(TRIVOX_BINARY_DIR) + "/fixtures/dvd-many/many";
  if (fs::exists(many + "/../.complete")) {
    const CommandRun run = RunStagedTool("velmo-cli", {"dvd-scan", many});
    ASSERT_EQ(0, run.status) << run.output;
    const std::vector<std::string> lines = TreeLines(run.output);
    EXPECT_EQ(1, std::count(lines.begin(), lines.end(), "[x] Title-01  00:00:42  dvd:1,1,999," + many));
    EXPECT_EQ(100, std::count_if(lines.begin(), lines.end(),
                                 [](const std::string& l) { return l.rfind("    [x]", 0) == 0; }));
    EXPECT_NE(std::string::npos, run.output.find("note: Title 01: rows for its first 100 chapters")) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("note: Title 01: subpicture tracks 12 to 32 left out")) << run.output;
    EXPECT_EQ("1 titles, 101 rows; selected: Title-01", lines.back());
  }
  const std::string empty = DvdFixture("broken/empty");
  const CommandRun run = RunStagedTool("velmo-cli", {"dvd-scan", empty});
  EXPECT_EQ(1, run.status) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("velmo-cli: Cannot read a DVD-Video structure at \"" + empty))
      << run.output;
  EXPECT_TRUE(TreeLines(run.output).empty()) << run.output;
}

}  // namespace
