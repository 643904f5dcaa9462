// DVD titles converted end to end: trivox_free -m test on "dvd:" jobs made by
// trivox_job, beside a copy of the staged engine, the output checked with ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/engine_process.h"
#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

std::string RunText(const std::string& command, int* status = nullptr) {
  CommandRun run = RunCommand(command);
  if (status) *status = run.status;
  return run.output;
}

const std::string kVideo = "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(MakeFourcc("MPG2")) +
                           ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0";
const std::string kAc3 = "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(MakeFourcc("AC3A")) +
                         ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";
const std::string kMp2 = "\"TYPE\"=1,\"STREAMID\"=192,\"VFCC\"=" + std::to_string(MakeFourcc("MP2A")) +
                         ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";
const char* const kMp4 = "--writer [FFM]MP4 --vcodec [FFM]H264 --acodec [FFM]AAC --writer-params '\"GLOBALHEADER\"=1'";
const char* const kAvi = "--writer [FFM]AVI --vcodec [PLUGIN]MPEG4 --acodec [FFM]MP3";
const char* const kSizes =
    "--width 320 --height 240 --channels 2 --sample-rate 44100 --vbitrate 800000 --abitrate 128000";

uint32_t ResultOf(const EngineRun& run) {
  if (run.resultBytes.size() != 4) return 0xDEADBEEF;
  return run.resultBytes[0] | run.resultBytes[1] << 8 | run.resultBytes[2] << 16 |
         static_cast<uint32_t>(run.resultBytes[3]) << 24;
}

struct Probe {
  std::vector<std::string> codecs;  // sorted
  double duration = -1;
};

Probe ProbeFile(const std::string& path) {
  Probe p;
  const std::string text =
      RunText("ffprobe -v error -show_entries format=duration:stream=codec_name -of default=nw=1 " + ShellQuote(path) +
              " 2>/dev/null");
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    const std::string line = text.substr(at, nl - at);
    at = nl + 1;
    if (line.rfind("codec_name=", 0) == 0) p.codecs.push_back(line.substr(11));
    if (line.rfind("duration=", 0) == 0) p.duration = std::atof(line.c_str() + 9);
  }
  std::sort(p.codecs.begin(), p.codecs.end());
  return p;
}

class DvdEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    folder_ = MakeEngineFolder("dvd_" + name);
    for (const char* data : {"vfcc.dat", "muxer.dat"})
      fs::copy_file(fs::path(TRIVOX_STAGE_DIR) / data, fs::path(folder_) / data);
    fs::create_directories(fs::path(folder_) / "plugin");
    for (const auto& e : fs::directory_iterator(fs::path(TRIVOX_STAGE_DIR) / "plugin"))
      fs::copy_file(e.path(), fs::path(folder_) / "plugin" / e.path().filename());
  }

  // Writes default_0.dat beside the engine copy.
  void MakeJob(const std::string& source, const std::vector<std::string>& descs, const std::string& output,
               const std::string& options) {
    std::string command = std::string(TRIVOX_STAGE_DIR) + "/trivox_job write convert " + ShellQuote(Record()) +
                          " --source " + ShellQuote(source);
    for (const std::string& d : descs) command += " --desc " + ShellQuote(d);
    command += " --output " + ShellQuote(output) + " " + options + " " + kSizes + " 2>&1";
    int status = -1;
    const std::string out = RunText(command, &status);
    ASSERT_EQ(status, 0) << out;
  }
  std::string Record() const { return folder_ + "/default_0.dat"; }

  std::string folder_;
};

TEST_F(DvdEndToEnd, TitlesConvertToMp4AndAvi) {
  // A disc folder whose path has spaces, made from the fixture.
  const fs::path spaced = fs::path(folder_) / "my disc (copy)";
  fs::copy(DvdFixture("basic"), spaced, fs::copy_options::recursive);
  struct Case {
    const char* label;
    std::string disc;
    int first, last;
    const std::string* audio;
    const char* options;
    const char* ext;
    std::vector<std::string> codecs;
    double duration;  // the chapters' length from the disc's scan
  };
  const Case cases[] = {
      {"folder to MP4", DvdFixture("basic"), 1, 3, &kAc3, kMp4, "mp4", {"aac", "h264"}, 6.0},
      {"folder to AVI", DvdFixture("basic"), 1, 3, &kMp2, kAvi, "avi", {"mp3", "mpeg4"}, 6.0},
      {"image to MP4", DvdFixture("basic.iso"), 1, 3, &kAc3, kMp4, "mp4", {"aac", "h264"}, 6.0},
      {"image to AVI", DvdFixture("basic.iso"), 1, 3, &kMp2, kAvi, "avi", {"mp3", "mpeg4"}, 6.0},
      {"chapters 2-3 to MP4", DvdFixture("basic"), 2, 3, &kAc3, kMp4, "mp4", {"aac", "h264"}, 4.16},
      {"chapter 1 of the image to AVI", DvdFixture("basic.iso"), 1, 1, &kMp2, kAvi, "avi", {"mp3", "mpeg4"}, 1.84},
      {"path with spaces", spaced.string(), 1, 3, &kAc3, kMp4, "mp4", {"aac", "h264"}, 6.0},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string source = "dvd:1," + std::to_string(c.first) + "," + std::to_string(c.last) + "," + c.disc;
    const std::string output = folder_ + "/out" + std::to_string(++n) + "." + c.ext;
    MakeJob(source, {kVideo, *c.audio}, output, c.options);
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    ASSERT_EQ(ResultOf(run), 0u) << run.output;
    EXPECT_EQ(run.status, 0);
    const Probe p = ProbeFile(output);
    EXPECT_EQ(p.codecs, c.codecs);
    EXPECT_NEAR(p.duration, c.duration, 0.2);
  }
}

// The README's first conversion: the sample DVD staged by the build, its main title
// as dvdscan names it, no stream descriptors in the job (the probed streams), to MP4.
TEST_F(DvdEndToEnd, SampleDvdMainTitleToMp4) {
  const std::string disc = std::string(TRIVOX_STAGE_DIR) + "/sample_dvd";
  if (!fs::exists(disc + "/.complete")) GTEST_SKIP() << "no sample DVD staged (ffmpeg or dvdauthor missing)";
  const std::string scan = RunText(std::string(TRIVOX_STAGE_DIR) + "/dvdscan " + ShellQuote(disc) + " 2>/dev/null");
  const size_t at = scan.find("Main title: ");
  ASSERT_NE(at, std::string::npos) << scan;
  const int main = std::atoi(scan.c_str() + at + 12);
  EXPECT_EQ(main, 2);  // the longest title
  const std::string output = folder_ + "/sample.mp4";
  std::string command = std::string(TRIVOX_STAGE_DIR) + "/trivox_job write convert " + ShellQuote(Record()) +
                        " --source " + ShellQuote("dvd:" + std::to_string(main) + ",1,99," + disc) + " --output " +
                        ShellQuote(output) + " " + kMp4 + " 2>&1";
  int status = -1;
  const std::string job = RunText(command, &status);
  ASSERT_EQ(status, 0) << job;
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  ASSERT_EQ(ResultOf(run), 0u) << run.output;
  const Probe p = ProbeFile(output);
  EXPECT_EQ(p.codecs, (std::vector<std::string>{"aac", "h264"}));
  EXPECT_NEAR(p.duration, 12.0, 0.2);
}

TEST_F(DvdEndToEnd, TruncatedVobFailsTheJobAndLogsWhere) {
  const std::string disc = DvdFixture("broken/trunc");
  MakeJob("dvd:1,1,3," + disc, {kVideo, kAc3}, folder_ + "/out.mp4", kMp4);
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  EXPECT_EQ(ResultOf(run), 0x8007001Eu) << run.output;
  EXPECT_EQ(run.status, 0x1E);
  EXPECT_FALSE(run.HasLine("ok"));
  // The log lines, as a controlled job shows them.
  int status = -1;
  const std::string log = RunText(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl run -m " + ShellQuote(Record()) +
                                      " --engine " + ShellQuote(folder_ + "/trivox_free") + " --timeout 60 2>&1",
                                  &status);
  EXPECT_NE(log.find("DVD: reading title 1 of \"" + disc + "\" failed in chapter 3"), std::string::npos) << log;
  EXPECT_NE(log.find("RESULT=8007001E"), std::string::npos) << log;
}

TEST_F(DvdEndToEnd, DiscThatCannotBeOpenedGivesTheSourceError) {
  const std::string sources[] = {"dvd:1,1,1," + DvdFixture("no such disc"), "dvd:1,1,1," + DvdFixture("broken/empty"),
                                 "dvd:7,1,1," + DvdFixture("basic")};
  for (const std::string& source : sources) {
    SCOPED_TRACE(source);
    MakeJob(source, {kVideo, kAc3}, folder_ + "/out.mp4", kMp4);
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(ResultOf(run), 0x80040081u) << run.output;
    EXPECT_EQ(run.status, 0x81);
  }
}

// A frame of a title rendered as the crop and clip dialogs ask for it: the
// 720 x 576 bitmap holds the title's eleventh picture as the ffmpeg CLI decodes it.
TEST_F(DvdEndToEnd, TitleFrameRendersToABitmap) {
  const std::string disc = DvdFixture("basic");
  const std::string source = "dvd:1,1,3," + disc;
  const std::string output = folder_ + "/preview.bmp";
  int status = -1;
  const std::string job =
      RunText(std::string(TRIVOX_STAGE_DIR) + "/trivox_job write frame " + ShellQuote(folder_ + "/default_5.dat") +
                  " --source " + ShellQuote(source) + " --desc " + ShellQuote(kVideo) + " --desc " + ShellQuote(kAc3) +
                  " --source-path " + ShellQuote(source) + " --stream 0 --frame-count 10" + " --output " +
                  ShellQuote(output) + " 2>&1",
              &status);
  ASSERT_EQ(status, 0) << job;
  const EngineRun run = RunEngine(folder_, {"-b", "test"});
  ASSERT_EQ(ResultOf(run), 0u) << run.output;
  const std::vector<uint8_t> file = ReadFileBytes(output);
  const size_t row = 720 * 4, rows = 576;
  ASSERT_EQ(file.size(), 54 + 1658880u);
  // Title 1 opens its title set's VOB: its eleventh picture, top row first.
  const std::string cli = RunText("ffmpeg -v error -i " + ShellQuote(disc + "/VIDEO_TS/VTS_01_1.VOB") +
                                  " -map 0:v -frames:v 11 -pix_fmt bgra -f rawvideo - 2>/dev/null");
  ASSERT_EQ(cli.size(), 11 * row * rows);
  size_t differing = 0;
  for (size_t r = 0; r < rows; ++r)  // the bitmap's rows run bottom-up
    differing += std::memcmp(file.data() + 54 + (rows - 1 - r) * row, cli.data() + 10 * row * rows + r * row, row) != 0;
  EXPECT_EQ(differing, 0u);
}

}  // namespace
