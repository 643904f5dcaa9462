// Seeks during a conversion, posted through the control block as the front
// end does: every target, near the 64-bit limits too, gives an output whose
// stamps hold together (presentation not before decode, decode times rising,
// audio and video resuming together), no stretch of the source is written
// twice, and a seek past the end ends the job.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace {

struct Packet {
  double pts, dts;
};

// Packets per stream type ("video", "audio") in file order, from ffprobe.
std::map<std::string, std::vector<Packet>> ProbePackets(const std::string& path) {
  int status = -1;
  const std::string text =
      RunShell("ffprobe -v error -show_entries packet=codec_type,pts_time,dts_time -of csv=p=0 " + ShellQuote(path),
               &status, false);
  std::map<std::string, std::vector<Packet>> packets;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    std::replace(line.begin(), line.end(), ',', ' ');
    std::istringstream fields(line);
    std::string type;
    Packet p{};
    if (fields >> type >> p.pts >> p.dts) packets[type].push_back(p);
  }
  return packets;
}

double Duration(const std::string& path) {
  int status = -1;
  const std::string text =
      RunShell("ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuote(path), &status, false);
  return std::atof(text.c_str());
}

// The first presentation time after a jump of more than a second, or -1.
double ResumedAt(const std::vector<Packet>& packets) {
  std::vector<double> pts;
  for (const Packet& p : packets) pts.push_back(p.pts);
  std::sort(pts.begin(), pts.end());
  for (size_t i = 1; i < pts.size(); ++i)
    if (pts[i] - pts[i - 1] > 1.0) return pts[i];
  return -1;
}

class Seek : public ::testing::Test {
 protected:
  // MPEG-2 video: its decoder's slice threads keep a seek's flush cheap under the
  // thread sanitizer, where flushing frame threads is very slow.
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("seek");
    source_ = folder_ + "/in.mp4";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=sample_rate=44100 -t 30 "
        "-c:v mpeg2video -g 12 -q:v 5 -c:a aac " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
    shortSource_ = folder_ + "/short.mp4";
    const std::string shortOut = RunShell(
        "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i sine=sample_rate=44100 -t 10 "
        "-c:v mpeg2video -g 12 -q:v 5 -c:a aac " +
            ShellQuote(shortSource_),
        &status);
    ASSERT_EQ(0, status) << shortOut;
  }

  // Runs the job through trivox_ctl with the seek option; the output's path.
  std::string Convert(const std::string& source, const std::vector<std::string>& seek, const std::string& label) {
    const std::string output = folder_ + "/" + label + ".mp4";
    EXPECT_EQ("", WriteConvertJob(folder_, {"--source", source, "--output", output, "--writer", "[FFM]MP4", "--vcodec",
                                            "[FFM]H264", "--acodec", "[FFM]AAC"}));
    std::string command = ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -m " +
                          ShellQuote(folder_ + "/default_0.dat") + " --engine " + ShellQuote(folder_ + "/trivox_free") +
                          " --timeout 120";
    for (const std::string& s : seek) command += " " + ShellQuote(s);
    const CommandRun run = RunCommand(command + " 2>&1");
    EXPECT_EQ(0, run.status) << run.output;
    EXPECT_NE(std::string::npos, run.output.find("RESULT=00000000")) << run.output;
    return output;
  }

  static void ExpectConsistentStamps(const std::map<std::string, std::vector<Packet>>& packets) {
    for (const auto& [type, list] : packets) {
      SCOPED_TRACE(type);
      int early = 0, falling = 0;
      for (size_t i = 0; i < list.size(); ++i) {
        early += list[i].pts < list[i].dts - 1e-6;
        if (i > 0) falling += list[i].dts <= list[i - 1].dts;
        EXPECT_LT(list[i].pts - list[i].dts, 1.0) << "packet " << i;
      }
      EXPECT_EQ(0, early) << "packets presented before they are decoded";
      EXPECT_EQ(0, falling) << "decode times that do not rise";
    }
  }

  static std::string folder_, source_, shortSource_;
};
std::string Seek::folder_, Seek::source_, Seek::shortSource_;

TEST_F(Seek, EveryTargetGivesConsistentStamps) {
  enum Expect { kResumeNear, kContinue, kEnded };
  struct Case {
    const char* label;
    std::vector<std::string> seek;
    Expect expect;
    double target;  // seconds, for kResumeNear
  };
  const Case cases[] = {
      {"forward", {"--seek", "20000"}, kResumeNear, 20.0},
      {"back to the start", {"--seek", "0"}, kContinue, 0},
      {"one second", {"--seek", "1000"}, kContinue, 0},
      {"negative", {"--seek-units", "-1"}, kContinue, 0},
      {"lowest 64-bit value", {"--seek-units", "0x8000000000000000"}, kContinue, 0},
      {"past the end", {"--seek", "1000000"}, kEnded, 0},
      {"highest 64-bit value", {"--seek-units", "0x7FFFFFFFFFFFFFFF"}, kEnded, 0},
      {"the last frame", {"--seek", "29990"}, kResumeNear, 29.99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string label = c.label;
    std::replace(label.begin(), label.end(), ' ', '_');
    const std::string output = Convert(source_, c.seek, label);
    const auto packets = ProbePackets(output);
    ASSERT_EQ(1u, packets.count("video"));
    ASSERT_EQ(1u, packets.count("audio"));
    ExpectConsistentStamps(packets);
    const double video = ResumedAt(packets.at("video")), audio = ResumedAt(packets.at("audio"));
    const double duration = Duration(output);
    switch (c.expect) {
      case kResumeNear:
        // Both resume at the key frame before the target, together.
        EXPECT_GT(video, c.target - 1.0);
        EXPECT_LE(video, c.target + 0.1);
        EXPECT_NEAR(video, audio, 0.5);
        EXPECT_LT(duration, 30.5);
        break;
      case kContinue: {
        // Back in time: the output goes on after what was written without
        // writing it again, both streams alike (they still end together).
        EXPECT_LT(duration, 30.5);
        EXPECT_LE(packets.at("video").size(), 750u);
        double videoEnd = 0, audioEnd = 0;
        for (const Packet& p : packets.at("video")) videoEnd = std::max(videoEnd, p.pts);
        for (const Packet& p : packets.at("audio")) audioEnd = std::max(audioEnd, p.pts);
        EXPECT_NEAR(videoEnd, audioEnd, 0.5);
        break;
      }
      case kEnded:
        // An end of stream: what was converted so far, nothing claimed beyond it.
        EXPECT_EQ(-1, video);
        EXPECT_EQ(-1, audio);
        EXPECT_LT(duration, 30.5);
        EXPECT_LT(packets.at("video").back().pts, 29.0);
        break;
    }
  }
}

TEST_F(Seek, NoSeekMakesTheOutputLonger) {
  // 250 pictures in 10 s; seeks back, to the middle and near the end, posted
  // at once or after part of the source was written.
  struct Case {
    const char* label;
    std::vector<std::string> seek;
  };
  const Case cases[] = {
      {"start_at_once", {"--seek", "0"}},       {"start_after_5s", {"--seek", "0", "--seek-at", "5000"}},
      {"middle_at_once", {"--seek", "5000"}},   {"middle_after_8s", {"--seek", "5000", "--seek-at", "8000"}},
      {"near_end_at_once", {"--seek", "9990"}}, {"near_end_after_2s", {"--seek", "9990", "--seek-at", "2000"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string output = Convert(shortSource_, c.seek, c.label);
    const auto packets = ProbePackets(output);
    ASSERT_EQ(1u, packets.count("video"));
    ExpectConsistentStamps(packets);
    EXPECT_LE(packets.at("video").size(), 250u);
    EXPECT_LT(Duration(output), 10.2);
    if (packets.count("audio")) {
      EXPECT_LT(DecodedAudioSeconds(output), 10.1);
    }
  }
}

TEST_F(Seek, PastTheEndOfADvdTitleEndsIt) {
  const std::string disc = std::string(TRIVOX_STAGE_DIR) + "/sample_dvd";
  int status = -1;
  RunShell("test -d " + ShellQuote(disc + "/VIDEO_TS"), &status);
  if (status != 0) GTEST_SKIP() << "no sample DVD in the stage folder";
  for (const char* target : {"1000000", "0x7FFFFFFFFFFFFFFF"}) {
    SCOPED_TRACE(target);
    const std::string option = std::string(target).rfind("0x", 0) == 0 ? "--seek-units" : "--seek";
    const std::string output = Convert("dvd:2,1,99," + disc, {option, target}, "dvd");
    ExpectConsistentStamps(ProbePackets(output));
    EXPECT_LE(Duration(output), 12.5) << "the title is 12 s long";
  }
}

}  // namespace
