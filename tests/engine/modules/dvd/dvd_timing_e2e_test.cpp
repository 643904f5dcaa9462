// Multi-cell DVD titles converted end to end: titles made of several cells, programs and VOB
// files (whose clocks start again at 0), with pictures that share a packet and so carry no time
// of their own, converted by trivox_free to MP4 and AVI. The files must decode without a
// complaint, with stamps rising in every stream, every picture of the title once, and sound as
// long as the picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/e2e_job.h"

namespace {

int32_t Fcc(const char (&s)[5]) { return static_cast<int32_t>(MakeFourcc(s[0], s[1], s[2], s[3])); }

std::string Shell(const std::string& command) {
  int status = -1;
  return RunShell(command, &status, false);
}

struct Stamps {
  int videoPackets = 0;
  std::string firstFault;  // "" when the decode times of every stream rise
};

// Packets of the file with their stream and decode time (in the stream's own units).
Stamps ReadStamps(const std::string& path) {
  std::istringstream lines(
      Shell("ffprobe -v error -show_entries packet=stream_index,dts,codec_type -of csv=p=0 " + ShellQuote(path)));
  Stamps stamps;
  std::map<int, long long> last;
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string type, index, dts;
    std::getline(fields, type, ',');
    std::getline(fields, index, ',');
    std::getline(fields, dts, ',');
    if (type == "video") ++stamps.videoPackets;
    if (dts.empty() || dts == "N/A") continue;
    const int stream = std::atoi(index.c_str());
    const long long value = std::atoll(dts.c_str());
    if (last.count(stream) && value <= last[stream] && stamps.firstFault.empty())
      stamps.firstFault = "stream " + index + ": " + dts + " after " + std::to_string(last[stream]);
    last[stream] = value;
  }
  return stamps;
}

// Seconds of the first audio stream from its decoded samples.
double AudioSeconds(const std::string& path) {
  const double rate = std::atof(
      Shell("ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 " + ShellQuote(path))
          .c_str());
  const double bytes = std::atof(
      Shell("ffmpeg -nostdin -v error -i " + ShellQuote(path) + " -map 0:a:0 -f s16le -ac 1 - | wc -c").c_str());
  return rate > 0 ? bytes / 2 / rate : -1;
}

class DvdTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    if (Shell("command -v ffprobe").empty()) GTEST_SKIP() << "ffprobe missing";
    folder_ = MakeConvertFolder("dvd_timing");
  }

  std::string folder_;
};

TEST_F(DvdTiming, MultiCellTitlesKeepOneRisingTimeLine) {
  struct Case {
    const char* disc;
    int width, height;
    const char* rate;
    int frames;  // pictures of the title's sources
    double fps;
  } discs[] = {
      // Cells, a program that is no chapter, a still first file (pictures sharing packets) and a
      // second VOB file whose clock starts again at 0.
      {"cells", 720, 480, "F29.97", 180, 30000.0 / 1001},
      // Two VOB files of 12 s, each clock from 0.
      {"long", 720, 576, "F25.0", 600, 25.0},
  };
  struct Output {
    const char* ext;
    const char* writer;
    const char* acodec;
    const char* writerParams;
    double audioSlack;  // what the audio encoder adds to its last frame (seconds)
  } outputs[] = {
      {"mp4", "[FFM]MP4", "[FFM]AAC", "\"GLOBALHEADER\"=1", 0},
      // An MP3 stream in AVI keeps the encoder's delay and its last frame's padding.
      {"avi", "[FFM]AVI", "[FFM]MP3", "", 2 * 1152 / 48000.0},
  };
  for (const Case& c : discs) {
    const std::string video = "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(Fcc("MPG2")) +
                              ",\"WIDTH\"=" + std::to_string(c.width) + ",\"HEIGHT\"=" + std::to_string(c.height) +
                              ",\"FRAMERATE\"=" + c.rate;
    const std::string audio =
        "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(Fcc("AC3A")) + ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";
    for (const Output& o : outputs) {
      SCOPED_TRACE(std::string(c.disc) + " to " + o.ext);
      const std::string output = folder_ + "/" + c.disc + "." + o.ext;
      ASSERT_EQ(WriteConvertJob(folder_, {"--source",        "dvd:1,1,99," + DvdFixture(c.disc),
                                          "--desc",          video,
                                          "--desc",          audio,
                                          "--output",        output,
                                          "--writer",        o.writer,
                                          "--vcodec",        "[FFM]H264",
                                          "--acodec",        o.acodec,
                                          "--writer-params", o.writerParams,
                                          "--width",         "320",
                                          "--height",        "240",
                                          "--vbitrate",      "400000",
                                          "--abitrate",      "96000"}),
                "");
      const EngineRun run = RunEngine(folder_, {"-m", "test"});
      ASSERT_EQ(JobResult(run), 0u) << run.output;

      EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i " + ShellQuote(output) + " -f null - 2>&1"), "");
      const Stamps stamps = ReadStamps(output);
      EXPECT_EQ(stamps.firstFault, "");
      EXPECT_NEAR(stamps.videoPackets, c.frames, 1);
      const double pictureSeconds = stamps.videoPackets / c.fps;
      EXPECT_NEAR(AudioSeconds(output) - o.audioSlack / 2, pictureSeconds, 1 / c.fps + o.audioSlack / 2);
    }
  }
}

}  // namespace

namespace {

// A range that ends before its title does: the sound of its last pictures lies in the next
// chapter's first VOBU, and the range begins with its first picture (sound muxed ahead of it
// belongs to the chapter before). Picture and sound end together.
TEST_F(DvdTiming, ChapterRangesEndPictureAndSoundTogether) {
  const std::string video = "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(Fcc("MPG2")) +
                            ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0";
  const std::string audio =
      "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(Fcc("AC3A")) + ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";
  for (const char* range : {"1,1,1", "1,2,2", "1,1,2"}) {
    SCOPED_TRACE(range);
    const std::string output = folder_ + "/range.mp4";
    ASSERT_EQ(WriteConvertJob(folder_, {"--source",        std::string("dvd:") + range + "," + DvdFixture("basic"),
                                        "--desc",          video,
                                        "--desc",          audio,
                                        "--output",        output,
                                        "--writer",        "[FFM]MP4",
                                        "--vcodec",        "[FFM]H264",
                                        "--acodec",        "[FFM]AAC",
                                        "--writer-params", "\"GLOBALHEADER\"=1",
                                        "--width",         "320",
                                        "--height",        "240",
                                        "--vbitrate",      "400000",
                                        "--abitrate",      "96000"}),
              "");
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    ASSERT_EQ(JobResult(run), 0u) << run.output;
    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i " + ShellQuote(output) + " -f null - 2>&1"), "");
    const Stamps stamps = ReadStamps(output);
    EXPECT_EQ(stamps.firstFault, "");
    EXPECT_NEAR(AudioSeconds(output), stamps.videoPackets / 25.0, 1 / 25.0);
  }
}

}  // namespace
