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

// A video track's descriptor (MPEG-2, stream 0xE0) and the AC-3 track's (substream 0x80).
std::string VideoDescriptor(int width, int height, const char* rate) {
  return "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(MakeFourcc("MPG2")) +
         ",\"WIDTH\"=" + std::to_string(width) + ",\"HEIGHT\"=" + std::to_string(height) + ",\"FRAMERATE\"=" + rate;
}
const std::string kAc3 = "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(MakeFourcc("AC3A")) +
                         ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000";

struct Output {
  const char* ext;
  const char* writer;
  const char* acodec;
  const char* writerParams;
  double audioSlack;  // what the audio encoder adds to its last frame (seconds)
};
const Output kMp4 = {"mp4", "[FFM]MP4", "[FFM]AAC", "\"GLOBALHEADER\"=1", 0};
// An MP3 stream in AVI keeps the encoder's delay and its last frame's padding.
const Output kAvi = {"avi", "[FFM]AVI", "[FFM]MP3", "", 2 * 1152 / 48000.0};

class DvdTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    if (Shell("command -v ffprobe").empty()) GTEST_SKIP() << "ffprobe missing";
    folder_ = MakeConvertFolder("dvd_timing");
  }

  // Converts the source to folder/NAME.EXT at 320x240 and checks that the file decodes without
  // a complaint and that its decode times rise in every stream; its stamps.
  Stamps Convert(const std::string& source, const std::string& video, const std::string& name, const Output& o) {
    const std::string output = OutputPath(name, o);
    EXPECT_EQ(
        WriteConvertJob(folder_, {"--source", source,   "--desc",          video,          "--desc",     kAc3,
                                  "--output", output,   "--writer",        o.writer,       "--vcodec",   "[FFM]H264",
                                  "--acodec", o.acodec, "--writer-params", o.writerParams, "--width",    "320",
                                  "--height", "240",    "--vbitrate",      "400000",       "--abitrate", "96000"}),
        "");
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(JobResult(run), 0u) << run.output;
    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i " + ShellQuote(output) + " -f null - 2>&1"), "");
    const Stamps stamps = ReadStamps(output);
    EXPECT_EQ(stamps.firstFault, "");
    return stamps;
  }
  std::string OutputPath(const std::string& name, const Output& o) const { return folder_ + "/" + name + "." + o.ext; }

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
  for (const Case& c : discs) {
    for (const Output& o : {kMp4, kAvi}) {
      SCOPED_TRACE(std::string(c.disc) + " to " + o.ext);
      const Stamps stamps =
          Convert("dvd:1,1,99," + DvdFixture(c.disc), VideoDescriptor(c.width, c.height, c.rate), c.disc, o);
      EXPECT_NEAR(stamps.videoPackets, c.frames, 1);
      const double pictureSeconds = stamps.videoPackets / c.fps;
      EXPECT_NEAR(DecodedAudioSeconds(OutputPath(c.disc, o)) - o.audioSlack / 2, pictureSeconds,
                  1 / c.fps + o.audioSlack / 2);
    }
  }
}

// A range that ends before its title does: the sound of its last pictures lies in the next
// chapter's first VOBU, and the range begins with its first picture (sound muxed ahead of it
// belongs to the chapter before). Picture and sound end together.
TEST_F(DvdTiming, ChapterRangesEndPictureAndSoundTogether) {
  for (const char* range : {"1,1,1", "1,2,2", "1,1,2"}) {
    SCOPED_TRACE(range);
    const Stamps stamps = Convert(std::string("dvd:") + range + "," + DvdFixture("basic"),
                                  VideoDescriptor(720, 576, "F25.0"), "range", kMp4);
    EXPECT_NEAR(DecodedAudioSeconds(OutputPath("range", kMp4)), stamps.videoPackets / 25.0, 1 / 25.0);
  }
}

}  // namespace
