// AVI files whose audio carries the Vorbis wave tags (written here: FFmpeg
// cannot write them), converted by a copy of the engine through "[ACM]VORBIS"
// and plugin/vorbis.acm; the failures each end with a code and a log line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/log_ring.h"
#include "tests/engine/modules/acm/avi_test_writer.h"
#include "tests/test_util/e2e_job.h"

namespace {

constexpr double kSeconds = 2.5;

class AcmEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("acm_e2e", {"vorbis.acm"});
    const std::string ogg = folder_ + "/in.ogg";
    int status = -1;
    std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2.5 -f lavfi -i "
        "sine=frequency=660:sample_rate=44100:duration=2.5 -filter_complex amerge=inputs=2 -c:a libvorbis -q:a 4 " +
            ShellQuote(ogg),
        &status);
    ASSERT_EQ(0, status) << out;
    out = RunShell("ffmpeg -v error -y -c:a libvorbis -i " + ShellQuote(ogg) + " -f s16le " +
                       ShellQuote(folder_ + "/reference.s16"),
                   &status);
    ASSERT_EQ(0, status) << out;
    ogg_ = ReadFileBytes(ogg);
    reference_ = ReadFileBytes(folder_ + "/reference.s16");
  }

  void SetUp() override {
    ASSERT_TRUE(ring_.Open(CLogRing::kName));
    std::vector<LogEntry> old;
    ring_.TakeEntries(old);
  }

  static std::string Avi(const std::string& name, uint16_t tag, const std::vector<uint8_t>& payload) {
    AviAudio a;
    a.tag = tag;
    a.channels = 2;
    a.rate = 44100;
    a.avgBytesPerSec = uint32_t(ogg_.size() / kSeconds);
    a.extra = FirstOggPage(ogg_);
    a.payload = payload;
    const std::string path = folder_ + "/" + name;
    EXPECT_TRUE(WriteAudioAvi(path, a));
    return path;
  }

  EngineRun Convert(const std::string& source, const std::string& output, const std::string& engineFolder = "") {
    const std::string folder = engineFolder.empty() ? folder_ : engineFolder;
    EXPECT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "RAW", "--raw-audio",
                                           "PC16", "--vcodec", "NONE", "--writer", "[FFM]WAV", "--channels", "2",
                                           "--sample-rate", "44100"}));
    return RunEngine(folder, {"-m", "test"});
  }

  std::string Log() {
    std::vector<LogEntry> entries;
    ring_.TakeEntries(entries);
    std::string all;
    for (const LogEntry& e : entries) all += e.text;
    return all;
  }

  static std::string folder_;
  static std::vector<uint8_t> ogg_, reference_;
  CLogRing ring_;
};
std::string AcmEndToEnd::folder_;
std::vector<uint8_t> AcmEndToEnd::ogg_, AcmEndToEnd::reference_;

int MaxDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int worst = 0;
  for (size_t i = 0; i + 1 < std::min(a.size(), b.size()); i += 2) {
    const int x = int16_t(a[i] | a[i + 1] << 8), y = int16_t(b[i] | b[i + 1] << 8);
    worst = std::max(worst, std::abs(x - y));
  }
  return worst;
}

TEST_F(AcmEndToEnd, VorbisInAviConvertsToWavWithLibvorbisPcm) {
  const std::string output = folder_ + "/out.wav";
  const EngineRun run = Convert(Avi("vorbis.avi", 0x674F, ogg_), output);
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run));
  EXPECT_TRUE(run.HasLine("FILTER:[ACM]VORBIS")) << run.output;
  int status = -1;
  RunShell("ffmpeg -v error -y -i " + ShellQuote(output) + " -f s16le " + ShellQuote(folder_ + "/out.s16"), &status);
  ASSERT_EQ(0, status);
  const std::vector<uint8_t> pcm = ReadFileBytes(folder_ + "/out.s16");
  EXPECT_EQ(reference_.size(), pcm.size());
  EXPECT_EQ(size_t(kSeconds * 44100) * 4, pcm.size());
  EXPECT_LE(MaxDifference(reference_, pcm), 1);
}

// Mode 3 keeps its headers outside the stream: the driver refuses it, no
// decoder takes the stream and the job ends with "no type fits".
TEST_F(AcmEndToEnd, ModeThreeIsRefused) {
  const EngineRun run = Convert(Avi("mode3.avi", 0x6751, ogg_), folder_ + "/mode3.wav");
  EXPECT_NE(0, run.status);
  EXPECT_EQ(0x80004005u, JobResult(run)) << run.output;
  EXPECT_NE(std::string::npos, run.output.find("acm: the driver refuses format 0x6751")) << run.output;
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Cannot render audio")) << log;
  EXPECT_NE(std::string::npos, log.find("Conversion failed,the return code is 80004005.")) << log;
}

TEST_F(AcmEndToEnd, MissingDriverFailsTheJobWithALogLine) {
  const std::string folder = MakeConvertFolder("acm_e2e_no_driver");
  const std::string source = Avi("no_driver.avi", 0x674F, ogg_);
  const EngineRun run = Convert(source, folder + "/out.wav", folder);
  EXPECT_EQ(0x80004005u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("cannot load " + folder + "/plugin/vorbis.acm")) << run.output;
  EXPECT_NE(std::string::npos, Log().find("cannot load the audio codec " + folder + "/plugin/vorbis.acm"));
}

// Garbage where the Ogg pages should be: every chunk is dropped, the job ends.
TEST_F(AcmEndToEnd, GarbageAudioIsDroppedWithALogLine) {
  std::vector<uint8_t> garbage(ogg_.size());
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 131 + i / 7);
  const EngineRun run = Convert(Avi("garbage.avi", 0x674F, garbage), folder_ + "/garbage.wav");
  EXPECT_NE(std::string::npos, run.output.find("acm: conversion failed")) << run.output;
  // One line for the run of failed chunks, not one per chunk.
  const std::string log = Log();
  const size_t first = log.find("audio decoding failed");
  ASSERT_NE(std::string::npos, first) << log;
  EXPECT_EQ(std::string::npos, log.find("audio decoding failed", first + 1)) << log;
}

}  // namespace
