// Conversions through the engine into every "[FFM]" writer row: a job made by
// trivox_job, run by trivox_free -m test beside a copy of the staged engine,
// the output checked with ffprobe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util/ffm_test_media.h"

namespace fs = std::filesystem;

namespace {

using ffmtest::ProbeFile;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string RunText(const std::string& command, int* status = nullptr) {
  std::string out;
  FILE* f = popen(command.c_str(), "r");
  if (f == nullptr) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof(buf), f)) > 0) out.append(buf, n);
  int s = pclose(f);
  if (status) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  return out;
}

// A folder with a copy of the staged engine, its tables and plug-ins.
std::string EngineFolder() {
  static const std::string folder = [] {
    const fs::path dir = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "ffm_writer_e2e";
    fs::create_directories(dir / "plugin");
    const fs::path stage(TRIVOX_STAGE_DIR);
    for (const char* f : {"trivox_free", "vfcc.dat", "muxer.dat"}) {
      fs::copy_file(stage / f, dir / f, fs::copy_options::overwrite_existing);
    }
    for (const auto& e : fs::directory_iterator(stage / "plugin")) {
      fs::copy_file(e.path(), dir / "plugin" / e.path().filename(), fs::copy_options::overwrite_existing);
    }
    return dir.string();
  }();
  return folder;
}

// Sources made by the ffmpeg CLI: near-lossless video with PCM audio.
std::string Source(const std::string& name) {
  if (name == "av") {
    return ffmtest::MakeClip("e2e_av.avi",
                             "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i "
                             "sine=frequency=440:sample_rate=44100 -t 2 -c:v mpeg4 -q:v 2 -c:a pcm_s16le -ac 2");
  }
  if (name == "qcif") {
    return ffmtest::MakeClip("e2e_qcif.avi",
                             "-f lavfi -i testsrc=size=176x144:rate=25 -f lavfi -i "
                             "sine=frequency=440:sample_rate=8000 -t 2 -c:v mpeg4 -q:v 2 -c:a pcm_s16le -ac 1");
  }
  if (name == "wb") {
    return ffmtest::MakeClip("e2e_wb.wav",
                             "-f lavfi -i sine=frequency=440:sample_rate=16000 -t 2 -c:a pcm_s16le -ac 1");
  }
  if (name == "low") {
    return ffmtest::MakeClip("e2e_low.wav",
                             "-f lavfi -i sine=frequency=440:sample_rate=22050 -t 2 -c:a pcm_s16le -ac 1");
  }
  if (name == "long") {
    return ffmtest::MakeClip("e2e_long.wav",
                             "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 10 -c:a pcm_s16le -ac 2");
  }
  return "";
}

struct EngineResult {
  int status = -1;
  std::string output;
};

// shell: run before the engine in the same shell (limits, traps).
EngineResult Convert(const std::string& source, const std::string& output, const std::string& options,
                     const std::string& shell = "") {
  EngineResult run;
  const std::string record = EngineFolder() + "/default_0.dat";
  std::string job = RunText(std::string(TRIVOX_STAGE_DIR) + "/trivox_job write convert " + Quote(record) +
                                " --source " + Quote(source) + " --output " + Quote(output) + " " + options + " 2>&1",
                            &run.status);
  if (run.status != 0) {
    run.output = job;
    return run;
  }
  run.output =
      RunText("cd " + Quote(EngineFolder()) + " && " + shell + " timeout 120 ./trivox_free -m test 2>&1", &run.status);
  return run;
}

struct Row {
  const char* writer;
  const char* ext;
  const char* source;
  const char* options;  // codecs and settings
  const char* format;
  const char* audio;  // "" for none
  const char* video;
  double duration;
};

const char* const kAv = "--width 320 --height 240 --channels 2 --sample-rate 44100 --vbitrate 800000 --abitrate 128000";

const Row kRows[] = {
    {"[FFM]AVI", "avi", "av", "--vcodec [PLUGIN]MPEG4 --acodec [FFM]MP3", "avi", "mp3", "mpeg4", 2.0},
    {"[FFM]MP4", "mp4", "av", "--vcodec [FFM]H264 --acodec [FFM]AAC --writer-params '\"GLOBALHEADER\"=1'",
     "mov,mp4,m4a,3gp,3g2,mj2", "aac", "h264", 2.0},
    {"[FFM]3GP", "3gp", "qcif",
     "--vcodec [FFM]H263 --acodec [FFM]AMR_NB --width 176 --height 144 --channels 1 --sample-rate 8000 --abitrate "
     "12200",
     "mov,mp4,m4a,3gp,3g2,mj2", "amr_nb", "h263", 2.0},
    {"[FFM]ASF", "asf", "av", "--vcodec [PLUGIN]MPEG4 --acodec [FFM]MP3", "asf", "mp3", "mpeg4", 2.0},
    {"[FFM]3G2", "3g2", "av", "--vcodec [FFM]H264 --acodec [FFM]AAC --writer-params '\"GLOBALHEADER\"=1'",
     "mov,mp4,m4a,3gp,3g2,mj2", "aac", "h264", 2.0},
    {"[FFM]MOV", "mov", "av", "--vcodec [FFM]H264 --acodec [FFM]AAC --writer-params '\"GLOBALHEADER\"=1'",
     "mov,mp4,m4a,3gp,3g2,mj2", "aac", "h264", 2.0},
    {"[FFM]MPEG1", "mpg", "av", "--vcodec [FFM]MPEG1 --acodec [FFM]MP2", "mpeg", "mp2", "mpeg1video", 2.0},
    {"[FFM]MPEGTS", "ts", "av", "--vcodec [FFM]H264 --acodec [FFM]AAC", "mpegts", "aac", "h264", 2.0},
    {"[FFM]MPEG2", "mpg", "av", "--vcodec [FFM]MPEG2 --acodec [FFM]AC3 --sample-rate 48000", "mpeg", "ac3",
     "mpeg2video", 2.0},
    {"[FFM]AIFF", "aiff", "long", "--vcodec NONE --acodec COPY", "aiff", "pcm_s16le", "", 10.0},
    {"[FFM]SWF", "swf", "av", "--vcodec [FFM]FLV --acodec [FFM]MP3", "swf", "mp3", "flv1", 2.0},
    {"[FFM]MP3", "mp3", "low", "--vcodec NONE --acodec [FFM]MP3 --channels 1 --sample-rate 22050 --abitrate 64000",
     "mp3", "mp3", "", 2.0},
    {"[FFM]FLAC", "flac", "av", "--vcodec NONE --acodec [FFM]FLAC", "flac", "flac", "", 2.0},
    {"[FFM]RAWVIDEO", "raw", "av", "--vcodec [FFM]H264 --acodec NONE", "h264", "", "h264", 2.0},
    {"[FFM]RAWAUDIO", "raw", "av", "--vcodec NONE --acodec [FFM]AC3 --sample-rate 48000", "ac3", "ac3", "", 2.0},
    {"[FFM]AAC", "aac", "av", "--vcodec NONE --acodec [FFM]AAC", "aac", "aac", "", 2.0},
    {"[FFM]WAV", "wav", "av", "--vcodec NONE --acodec COPY", "wav", "pcm_s16le", "", 2.0},
    {"[FFM]OGG", "ogg", "av", "--vcodec NONE --acodec [FFM]VORBIS", "ogg", "vorbis", "", 2.0},
    {"[FFM]AMR", "amr", "qcif", "--vcodec NONE --acodec [FFM]AMR_NB --channels 1 --sample-rate 8000 --abitrate 12200",
     "amr", "amr_nb", "", 2.0},
    {"[FFM]AWB", "awb", "wb", "--vcodec NONE --acodec [FFM]AMR_WB --channels 1 --sample-rate 16000 --abitrate 23850",
     "amr", "amr_wb", "", 2.0},
    {"[FFM]FLV", "flv", "av", "--vcodec [FFM]FLV --acodec [FFM]MP3", "flv", "mp3", "flv1", 2.0},
    {"[FFM]GIF", "gif", "av", "--vcodec [FFM]GIF --acodec NONE", "gif", "", "gif", 2.0},
    {"[FFM]MPEG2PS", "mpg", "av", "--vcodec [FFM]MPEG2 --acodec [FFM]MP2", "mpeg", "mp2", "mpeg2video", 2.0},
    {"[FFM]MPEG2TS", "mpg", "av", "--vcodec [FFM]MPEG2 --acodec [FFM]MP2", "mpegts", "mp2", "mpeg2video", 2.0},
};

class EngineRows : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
  }
};

TEST_P(EngineRows, ConvertsIntoTheContainer) {
  const Row& row = GetParam();
  const std::string source = Source(row.source);
  ASSERT_FALSE(source.empty());
  const std::string output = EngineFolder() + "/out_" + std::string(row.writer + 5) + "." + row.ext;
  fs::remove(output);
  EngineResult run = Convert(source, output, std::string(kAv) + " --writer " + Quote(row.writer) + " " + row.options);
  EXPECT_NE(run.output.find("FILTER:" + std::string(row.writer)), std::string::npos) << run.output;
  ffmtest::ProbedFile p = ProbeFile(output);
  EXPECT_EQ(p.format, row.format) << p.raw << run.output;
  std::vector<std::string> want;
  if (row.audio[0]) want.push_back(std::string("audio:") + row.audio);
  if (row.video[0]) want.push_back(std::string("video:") + row.video);
  EXPECT_EQ(p.codecs, want) << p.raw;
  EXPECT_NEAR(p.duration, row.duration, 0.1) << p.raw;
}

INSTANTIATE_TEST_SUITE_P(FfmWriterRows, EngineRows, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.writer + 5); });

TEST(EngineConversion, H264IntoMp4WithGlobalHeaderHasAvcC) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  const std::string output = EngineFolder() + "/avcc.mp4";
  fs::remove(output);
  Convert(Source("av"), output,
          std::string(kAv) +
              " --writer [FFM]MP4 --vcodec [FFM]H264 --acodec [FFM]AAC --writer-params '\"GLOBALHEADER\"=1'");
  const std::string info = RunText(
      "ffprobe -v error -select_streams v -show_entries stream=is_avc,nal_length_size -of "
      "default=nw=1 " +
      Quote(output));
  EXPECT_NE(info.find("is_avc=true"), std::string::npos) << info;
  EXPECT_EQ(ffmtest::ProbeFrameCount(output, "v"), 50);
}

// The encoder's final STREAMINFO (total samples, MD5 of the audio) reaches the
// file: the header that was written first is brought up to date at the end.
TEST(EngineConversion, FlacKeepsItsLengthAndChecksum) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  const std::string source =
      ffmtest::MakeClip("e2e_odd.wav", "-f lavfi -i sine=frequency=440:sample_rate=44100 -t 3.3 -c:a pcm_s16le -ac 2");
  const std::string output = EngineFolder() + "/length.flac";
  fs::remove(output);
  EngineResult run = Convert(source, output, "--writer [FFM]FLAC --vcodec NONE --acodec [FFM]FLAC");
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<uint8_t> bytes = ffmtest::ReadFile(output);
  ASSERT_GE(bytes.size(), 42u);
  ASSERT_EQ(0, std::memcmp(bytes.data(), "fLaC", 4));
  const uint8_t* info = bytes.data() + 8;  // STREAMINFO after the block header
  uint64_t total = 0;
  for (int i = 13; i < 18; ++i) total = total << 8 | info[i];
  total &= (uint64_t{1} << 36) - 1;
  EXPECT_EQ(total, 145530u) << "3.3 s at 44,100 Hz, no padding";
  char md5[33];
  for (int i = 0; i < 16; ++i) std::snprintf(md5 + 2 * i, 3, "%02x", info[18 + i]);
  const std::string pcm = RunText("ffmpeg -v error -i " + Quote(source) + " -f md5 -c:a pcm_s16le -");
  EXPECT_EQ("MD5=" + std::string(md5) + "\n", pcm);
  const std::string probed = RunText("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(output));
  EXPECT_NEAR(std::stod(probed), 3.3, 0.001) << probed;
}

TEST(EngineConversion, Image2WritesNumberedPictures) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  const std::string output = EngineFolder() + "/frames.jpg";
  fs::remove_all(output);
  Convert(Source("av"), output, std::string(kAv) + " --writer [FFM]IMAGE2 --vcodec [FFM]MJPG --acodec NONE");
  EXPECT_TRUE(fs::is_regular_file(output + "/1.jpg"));
  EXPECT_TRUE(fs::is_regular_file(output + "/50.jpg"));
  EXPECT_FALSE(fs::exists(output + "/51.jpg"));
}

TEST(EngineConversion, SucceedsWithResultZero) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  const std::string output = EngineFolder() + "/ok.wav";
  EngineResult run = Convert(Source("av"), output, std::string(kAv) + " --writer [FFM]WAV --vcodec NONE --acodec COPY");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("\nok\n"), std::string::npos) << run.output;
}

TEST(EngineConversion, FullDiskOrUnwritablePlaceFails) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  struct Case {
    std::string output;
    const char* shell;
    const char* line;
  };
  // Writes beyond 50 kilobytes fail (EFBIG), as on a full disk.
  const Case cases[] = {
      {EngineFolder() + "/full.avi", "trap '' XFSZ; ulimit -f 50;", "write error on '"},
      {"/proc/no/such/folder/out.avi", "", "can not open file '"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.output);
    fs::remove(c.output);
    EngineResult run =
        Convert(Source("av"), c.output,
                std::string(kAv) + " --writer [FFM]AVI --vcodec [PLUGIN]MPEG4 --acodec [FFM]MP3", c.shell);
    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("\nok\n"), std::string::npos);
    EXPECT_NE(run.output.find(c.line), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(c.output));
  }
}

// A job that fails, early or half way, leaves the file that was at its output
// byte for byte; a finished one replaces it. No temporary file stays behind.
TEST(EngineConversion, OutputFileIsReplacedOnlyByAFinishedJob) {
  if (!ffmtest::HaveFfmpeg()) GTEST_SKIP();
  const fs::path dir = fs::path(EngineFolder()) / "replace";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string output = (dir / "out.wav").string();
  const std::vector<uint8_t> user = {'k', 'e', 'e', 'p', 0, 1, 2, 3, 0xFE, 0xFF};
  const std::string wav = "--writer [FFM]WAV --vcodec NONE --acodec COPY --channels 2 --sample-rate 44100";
  struct Case {
    const char* name;
    std::string source;
    std::string shell;
  };
  const Case failures[] = {
      {"missing source", EngineFolder() + "/no_such_source.wav", ""},
      // Writes beyond a few hundred kilobytes fail (EFBIG), as on a full disk.
      {"write error", Source("long"), "trap '' XFSZ; ulimit -f 400;"},
  };
  auto leftovers = [&] {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(dir)) {
      if (e.path().filename().string().find(".trivox-") != std::string::npos) found.push_back(e.path().string());
    }
    return found;
  };
  for (const Case& c : failures) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(ffmtest::WriteFile(output, user));
    EngineResult run = Convert(c.source, output, wav, c.shell);
    EXPECT_NE(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("\nok\n"), std::string::npos) << run.output;
    EXPECT_EQ(ffmtest::ReadFile(output), user);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
  EngineResult run = Convert(Source("long"), output, wav, "trap '' XFSZ; ulimit -f 400;");
  EXPECT_NE(run.output.find("write error on '" + output + "'"), std::string::npos) << run.output;
  // Without a new file a failed job leaves none.
  fs::remove(output);
  Convert(Source("long"), output, wav, "trap '' XFSZ; ulimit -f 400;");
  EXPECT_FALSE(fs::exists(output));
  EXPECT_EQ(leftovers(), std::vector<std::string>{});

  ASSERT_TRUE(ffmtest::WriteFile(output, user));
  run = Convert(Source("long"), output, wav);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NEAR(ProbeFile(output).duration, 10.0, 0.1);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
