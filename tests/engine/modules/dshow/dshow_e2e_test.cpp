// Conversions through the DirectShow rows, engine process and all: an
// ffmpeg-made Windows Media file read by the "ASF" row and decoded by
// "[DS]WMV" and "[DS]WMA"; "[DS]VP62" without a VP6 compressor; sources the
// ASF row cannot read.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_ring.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/log_lines.h"

namespace fs = std::filesystem;

namespace {

// codec_type -> {codec_name, duration} of each stream, from ffprobe.
std::map<std::string, std::pair<std::string, double>> ProbeStreams(const std::string& path) {
  int status = -1;
  const std::string out =
      RunShell("ffprobe -v error -show_entries stream=codec_type,codec_name,duration -of csv=p=0 " + ShellQuote(path),
               &status, false);
  std::map<std::string, std::pair<std::string, double>> streams;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string name, type, duration;
    std::getline(fields, name, ',');
    std::getline(fields, type, ',');
    std::getline(fields, duration, ',');
    streams[type] = {name, std::atof(duration.c_str())};
  }
  return streams;
}

class DShowEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("dshow_e2e");
    source_ = folder_ + "/in.wmv";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
        "-t 3 -c:v wmv2 -b:v 600k -c:a wmav2 -b:a 128k -ac 2 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
  }
  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    std::vector<LogEntry> old;
    ring_.TakeEntries(old);
  }
  std::vector<std::string> Lines() { return TakeLogLines(ring_); }
  EngineRun Convert(const std::string& source, const std::string& output, std::vector<std::string> options) {
    options.insert(options.begin(), {"--source", source, "--output", output});
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    return RunEngine(folder_, {"-m", "test"});
  }

  static std::string folder_, source_;
  CLogRing ring_;
};
std::string DShowEndToEnd::folder_, DShowEndToEnd::source_;

}  // namespace

TEST_F(DShowEndToEnd, WindowsMediaConvertsToMp4ThroughTheDirectShowRows) {
  const std::string output = folder_ + "/out.mp4";
  const EngineRun run = Convert(source_, output,
                                {"--writer", "[FFM]MP4", "--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC",
                                 "--writer-params", "\"GLOBALHEADER\"=1"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  // The job names its reader and the two decoders.
  EXPECT_TRUE(run.HasLine("Reader:ASF")) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:[DS]WMV")) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:[DS]WMA")) << run.output;
  const auto in = ProbeStreams(source_);
  const auto out = ProbeStreams(output);
  ASSERT_EQ(1u, out.count("video"));
  ASSERT_EQ(1u, out.count("audio"));
  EXPECT_EQ("h264", out.at("video").first);
  EXPECT_EQ("aac", out.at("audio").first);
  EXPECT_NEAR(in.at("video").second, out.at("video").second, 0.1);
  EXPECT_NEAR(in.at("audio").second, out.at("audio").second, 0.1);
  int status = -1;
  const std::string decode = RunShell("ffmpeg -v error -i " + ShellQuote(output) + " -f null -", &status);
  EXPECT_EQ(0, status);
  EXPECT_EQ("", decode);
}

TEST_F(DShowEndToEnd, Vp62WithoutACompressorEndsTheJobNamingTheEncoder) {
  const std::string output = folder_ + "/out.flv";
  const EngineRun run =
      Convert(source_, output, {"--writer", "[FFM]FLV", "--vcodec", "[DS]VP62", "--acodec", "[FFM]MP3"});
  EXPECT_EQ(0x80040206u, JobResult(run)) << run.output;
  const std::vector<std::string> lines = Lines();
  int found = 0;
  for (const std::string& l : lines) found += l == "no video encoder \"[DS]VP62\"";
  EXPECT_EQ(1, found);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("Conversion failed,the return code is 80040206.", lines.back());
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(DShowEndToEnd, SourcesTheAsfRowCannotReadFailCleanly) {
  // The ASF header's signature followed by nothing FFmpeg can read, and the
  // real file cut short in its header.
  std::vector<uint8_t> fake = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  fake.resize(2048, 0x5A);
  WriteFile(folder_ + "/fake.wmv", fake);
  std::vector<uint8_t> cut = ReadFileBytes(source_);
  cut.resize(600);
  WriteFile(folder_ + "/cut.wmv", cut);
  for (const char* name : {"fake.wmv", "cut.wmv"}) {
    SCOPED_TRACE(name);
    const std::string source = folder_ + "/" + name;
    const std::string output = folder_ + "/bad.mp4";
    const EngineRun run =
        Convert(source, output, {"--writer", "[FFM]MP4", "--vcodec", "[FFM]H264", "--acodec", "[FFM]AAC"});
    EXPECT_EQ(0x80040200u, JobResult(run)) << run.output;
    const std::vector<std::string> lines = Lines();
    int found = 0;
    for (const std::string& l : lines) found += l == "cannot open the source \"" + source + "\" (80040200)";
    EXPECT_EQ(1, found);
    EXPECT_FALSE(fs::exists(output));
  }
}
