// Conversions to Windows Media files through the "[DS]WMV" writer, and
// sources only the "DSHOW" reader takes, engine process and all: the file
// ffprobe and ffmpeg see, streams left out, outputs that cannot be written,
// and sources that cannot be read.
#include <gtest/gtest.h>

#include <cstdio>
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

struct Probed {
  std::string codec;
  double duration = 0;
  int sampleRate = 0;
  int channels = 0;
};

// codec_type -> what ffprobe says of the stream.
std::map<std::string, Probed> ProbeStreams(const std::string& path, std::string* format = nullptr) {
  int status = -1;
  const std::string out = RunShell(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,duration,sample_rate,channels -of csv=p=0 " +
          ShellQuote(path),
      &status, false);
  std::map<std::string, Probed> streams;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string v; std::getline(fields, v, ',');) f.push_back(v);
    f.resize(5);
    // Audio rows: name,type,sample_rate,channels,duration; video rows: name,type,duration.
    Probed p;
    p.codec = f[0];
    if (f[1] == "audio") {
      p.sampleRate = std::atoi(f[2].c_str());
      p.channels = std::atoi(f[3].c_str());
      p.duration = std::atof(f[4].c_str());
    } else {
      p.duration = std::atof(f[2].c_str());
    }
    streams[f[1]] = p;
  }
  if (format)
    *format =
        RunShell("ffprobe -v error -show_entries format=format_name -of csv=p=0 " + ShellQuote(path), &status, false);
  return streams;
}

double FormatDuration(const std::string& path) {
  int status = -1;
  return std::atof(
      RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(path), &status, false)
          .c_str());
}

bool DecodesCleanly(const std::string& path) {
  int status = -1;
  const std::string errors = RunShell("ffmpeg -v error -i " + ShellQuote(path) + " -f null -", &status);
  return status == 0 && errors.empty();
}

class WindowsMediaEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("wm_e2e");
    source_ = folder_ + "/in.mp4";
    mkv_ = folder_ + "/in.mkv";
    int status = -1;
    std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
        "-t 3 -c:v mpeg4 -q:v 4 -c:a aac -ac 2 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
    out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
        "-t 2 -c:v mpeg4 -c:a pcm_s16le -ac 2 " +
            ShellQuote(mkv_),
        &status);
    ASSERT_EQ(0, status) << out;
  }
  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    std::vector<LogEntry> old;
    ring_.TakeEntries(old);
  }
  std::vector<std::string> Lines() { return TakeLogLines(ring_); }
  bool Logged(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& l : lines)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
  EngineRun Convert(const std::string& source, const std::string& output, std::vector<std::string> options) {
    options.insert(options.begin(), {"--source", source, "--output", output});
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    return RunEngine(folder_, {"-m", "test"});
  }
  // A job as the front end writes it for a Windows Media profile: raw streams
  // into the writer, the codecs and their settings in the writer's keys.
  EngineRun ConvertToWmv(const std::string& output, const std::string& keys, int sampleRate = 44100) {
    return Convert(source_, output,
                   {"--writer", "[DS]WMV", "--vcodec", "RAW", "--raw-video", "YV12", "--acodec", "RAW", "--raw-audio",
                    "PC16", "--sample-rate", std::to_string(sampleRate), "--channels", "2", "--afilter",
                    "ARESAMPLE=\"CHANNEL\"=2,\"SAMPLERATE\"=" + std::to_string(sampleRate) + ",\"BITSPERSAMPLE\"=16",
                    "--writer-params", keys});
  }

  static std::string folder_, source_, mkv_;
  CLogRing ring_;
};
std::string WindowsMediaEndToEnd::folder_, WindowsMediaEndToEnd::source_, WindowsMediaEndToEnd::mkv_;

const char kWmvKeys[] =
    "\"VCODEC\"=\"[DS]WMV2\",\"VBITRATE\"=800,\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0,"
    "\"SAMPLERATE\"=44100,\"CHANNEL\"=2";

}  // namespace

TEST_F(WindowsMediaEndToEnd, Wmv2AndWma9MakeAPlayableAsfFile) {
  const std::string output = folder_ + "/out.wmv";
  const EngineRun run = ConvertToWmv(output, kWmvKeys);
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  std::string format;
  const auto streams = ProbeStreams(output, &format);
  EXPECT_EQ("asf", format.substr(0, 3));
  ASSERT_EQ(1u, streams.count("video")) << run.output;
  ASSERT_EQ(1u, streams.count("audio")) << run.output;
  EXPECT_EQ("wmv2", streams.at("video").codec);
  EXPECT_EQ("wmav2", streams.at("audio").codec);
  EXPECT_EQ(44100, streams.at("audio").sampleRate);
  EXPECT_EQ(2, streams.at("audio").channels);
  EXPECT_NEAR(3.0, FormatDuration(output), 0.3);
  EXPECT_TRUE(DecodesCleanly(output));
  // Nothing but the file is left in the folder.
  for (const auto& e : fs::directory_iterator(folder_))
    EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp")) << e.path();
}

TEST_F(WindowsMediaEndToEnd, AStreamWithoutAFormatIsLeftOutAndTheOtherWritten) {
  struct Case {
    const char* name;
    std::string keys;
    int sampleRate;
    const char* kept;     // the stream still written
    const char* dropped;  // the stream left out
    const char* logged;
  };
  const std::vector<Case> cases = {
      {"unknown audio codec", "\"VCODEC\"=\"[DS]WMV2\",\"VBITRATE\"=500,\"ACODEC\"=\"[DS]OGG\"", 44100, "video",
       "audio", "\"[DS]OGG\" is no Windows Media audio codec"},
      {"unknown video codec", "\"VCODEC\"=\"[DS]XVID\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0", 44100, "audio",
       "video", "\"[DS]XVID\" is no Windows Media video codec"},
      {"video codec without an encoder", "\"VCODEC\"=\"[DS]WMV3\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0", 44100,
       "audio", "video", "(C00D0BC4)"},
      {"PCM at a rate the formats lack", "\"VCODEC\"=\"[DS]WMV2\",\"ACODEC\"=\"[DS]WMA9\",\"ABITRATE\"=128.0", 11025,
       "video", "audio", "(C00D0BC2)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = folder_ + "/part.wmv";
    fs::remove(output);
    const EngineRun run = ConvertToWmv(output, c.keys, c.sampleRate);
    ASSERT_EQ(0u, JobResult(run)) << run.output;
    const std::vector<std::string> lines = Lines();
    EXPECT_TRUE(Logged(lines, c.logged)) << run.output;
    const auto streams = ProbeStreams(output);
    EXPECT_EQ(1u, streams.count(c.kept));
    EXPECT_EQ(0u, streams.count(c.dropped));
    EXPECT_TRUE(DecodesCleanly(output));
  }
}

TEST_F(WindowsMediaEndToEnd, AnOutputThatCannotBeCreatedFailsTheJobAndLeavesNoFile) {
  const std::string output = folder_ + "/no such folder/out.wmv";
  const EngineRun run = ConvertToWmv(output, kWmvKeys);
  EXPECT_NE(0u, JobResult(run)) << run.output;
  EXPECT_NE(0xDEADBEEFu, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("cannot create map")) << run.output;
  EXPECT_TRUE(Logged(Lines(), "cannot create map"));
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(WindowsMediaEndToEnd, MatroskaSourceConvertsThroughTheDirectShowReader) {
  const std::string output = folder_ + "/from_mkv.avi";
  const EngineRun run = Convert(mkv_, output,
                                {"--writer", "[FFM]AVI", "--vcodec", "[FFM]MJPG", "--acodec", "[FFM]MP3",
                                 "--sample-rate", "44100", "--channels", "2"});
  ASSERT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("Reader:DSHOW")) << run.output;
  const auto streams = ProbeStreams(output);
  ASSERT_EQ(1u, streams.count("video"));
  ASSERT_EQ(1u, streams.count("audio"));
  EXPECT_NEAR(2.0, FormatDuration(output), 0.3);
  EXPECT_TRUE(DecodesCleanly(output));
}

TEST_F(WindowsMediaEndToEnd, SourcesTheDirectShowReaderCannotOpenFailWithTheMapCode) {
  WriteFile(folder_ + "/script.avs", std::vector<uint8_t>{'V', 'e', 'r', 's', 'i', 'o', 'n', '(', ')', '\n'});
  std::vector<uint8_t> junk(4096, 0x3C);
  WriteFile(folder_ + "/junk.mkv", junk);
  // A script only the "AVS" row takes: the map's code. A file no reader can
  // read: the reader choice answers with the unknown format.
  const struct {
    const char* name;
    uint32_t result;
  } cases[] = {{"script.avs", 0x80040200u}, {"junk.mkv", 0x80040012u}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string source = folder_ + "/" + c.name;
    const std::string output = folder_ + "/bad.avi";
    const EngineRun run =
        Convert(source, output, {"--writer", "[FFM]AVI", "--vcodec", "[FFM]MJPG", "--acodec", "[FFM]MP3"});
    EXPECT_EQ(c.result, JobResult(run)) << run.output;
    EXPECT_TRUE(run.HasLine("cannot create map")) << run.output;
    char code[16];
    std::snprintf(code, sizeof code, "%08X", c.result);
    EXPECT_TRUE(Logged(Lines(), code));
    EXPECT_FALSE(fs::exists(output));
  }
}
