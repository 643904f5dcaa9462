// Merging through engine processes: a "-g" engine started first by trivox_ctl,
// then one "-m" engine per clip whose pass writer feeds the merge's queues;
// the merged file checked with ffprobe and the ffmpeg CLI. Also NTSC and PAL
// joins into AVI keeping their rate and their sound's length, a merge job
// naming no rate, a merging process that dies, one that is missing and one
// whose queues cannot be made.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/xqueue.h"
#include "platform/named_objects.h"
#include "tests/platform/child_process.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"
#include "tests/test_util/shm_namespace.h"

namespace {

using Clock = std::chrono::steady_clock;

// Under ThreadSanitizer the engine's decoding runs many times slower: a
// conversion that stops early still decodes what its reader had queued.
#if defined(__SANITIZE_THREAD__)
constexpr int kSlowdown = 12;
#else
constexpr int kSlowdown = 1;
#endif

std::string Stage(const std::string& tool) { return std::string(TRIVOX_STAGE_DIR) + "/" + tool; }

// Reads lines until one starts with `prefix` (returned) or the time is up ("");
// the lines before it go to `seen` when given.
std::string ReadUntil(ChildProcess& child, const std::string& prefix, int seconds,
                      std::vector<std::string>* seen = nullptr) {
  const auto deadline = Clock::now() + std::chrono::seconds(seconds);
  while (Clock::now() < deadline) {
    std::string line = child.ReadLine(1000);
    if (line.rfind(prefix, 0) == 0) return line;
    if (seen && !line.empty()) seen->push_back(line);
  }
  return "";
}

// What the merging engine writes: the other fields of its job are fixed.
struct MergeOutput {
  std::string writer = "[FFM]MP4";
  std::string videoCodec = "[FFM]H264";
  std::string audioCodec = "[FFM]AAC";
  int32_t frameRateNum = 1;  // seconds per frame: num / den; 0 = none named
  int32_t frameRateDen = 25;
  int32_t sampleRate = 44100;
};

class PassEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
    RemoveNamespaceObjects();
    folder_ = MakeConvertFolder(std::string("pass_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    // A dark, quiet clip and a bright, loud one: the join shows in both streams.
    dark_ = ffmtest::MakeClip("pass_dark.avi",
                              "-f lavfi -i color=c=0x303030:size=320x240:rate=25 -f lavfi -i "
                              "sine=frequency=440:sample_rate=44100 -af volume=0.5 -t 10 -c:v mpeg4 -q:v 3 "
                              "-c:a pcm_s16le -ac 2");
    bright_ = ffmtest::MakeClip("pass_bright.avi",
                                "-f lavfi -i color=c=0xD0D0D0:size=320x240:rate=25 -f lavfi -i "
                                "sine=frequency=440:sample_rate=44100 -af volume=4 -t 10 -c:v mpeg4 -q:v 3 "
                                "-c:a pcm_s16le -ac 2");
    ASSERT_FALSE(dark_.empty());
    ASSERT_FALSE(bright_.empty());
    output_ = folder_ + "/merged.mp4";
  }

  // The merge job into `record`.
  void WriteMergeRecord(const std::string& record, const MergeOutput& out = {}) {
    std::vector<std::string> args = {"write",
                                     "convert",
                                     record,
                                     "--output",
                                     output_,
                                     "--writer",
                                     out.writer,
                                     "--vcodec",
                                     out.videoCodec,
                                     "--acodec",
                                     out.audioCodec,
                                     "--width",
                                     "320",
                                     "--height",
                                     "240",
                                     "--frame-rate-num",
                                     std::to_string(out.frameRateNum),
                                     "--frame-rate-den",
                                     std::to_string(out.frameRateDen),
                                     "--sample-rate",
                                     std::to_string(out.sampleRate),
                                     "--channels",
                                     "2",
                                     "--vtracks",
                                     "1",
                                     "--atracks",
                                     "1",
                                     "--vbitrate",
                                     "800000",
                                     "--abitrate",
                                     "128000",
                                     "--writer-params",
                                     "\"GLOBALHEADER\"=1"};
    if (out.audioCodec == "raw") args.insert(args.end(), {"--raw-audio", "PC16"});
    const CommandRun job = RunStagedTool("trivox_job", args);
    ASSERT_EQ(job.status, 0) << job.output;
  }

  // A conversion of `source` whose output goes to the merging engine `pid`.
  std::string WritePassRecord(const std::string& source, int32_t pid, const std::string& name,
                              int32_t sampleRate = 44100) {
    const std::string record = folder_ + "/" + name + ".dat";
    const CommandRun job = RunStagedTool("trivox_job", {"write",
                                                        "convert",
                                                        record,
                                                        "--source",
                                                        source,
                                                        "--output",
                                                        folder_ + "/" + name + ".unused",
                                                        "--writer",
                                                        "BUFWR",
                                                        "--pass",
                                                        "1",
                                                        "--pass-reader",
                                                        std::to_string(pid),
                                                        "--vcodec",
                                                        "[FFM]H264",
                                                        "--acodec",
                                                        "[FFM]AAC",
                                                        "--width",
                                                        "320",
                                                        "--height",
                                                        "240",
                                                        "--sample-rate",
                                                        std::to_string(sampleRate),
                                                        "--channels",
                                                        "2"});
    EXPECT_EQ(job.status, 0) << job.output;
    return record;
  }

  std::vector<std::string> Ctl(const std::string& mode, const std::string& record) {
    return {Stage("trivox_ctl"),
            "run",
            mode,
            record,
            "--engine",
            folder_ + "/trivox_free",
            "--timeout",
            std::to_string(120 * kSlowdown)};
  }

  // Starts the merging engine through trivox_ctl; its process id, or 0.
  int32_t StartMerge(const MergeOutput& out = {}) {
    WriteMergeRecord(folder_ + "/merge.dat", out);
    merge_ = std::make_unique<ChildProcess>(Ctl("-g", folder_ + "/merge.dat"));
    const std::string line = ReadUntil(*merge_, "engine ", 10);
    int pid = 0;
    if (std::sscanf(line.c_str(), "engine %d:", &pid) != 1) return 0;
    // Its queues are made once its graph runs.
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!SharedMemory::Exists(CXQueue::MappingName("PID" + std::to_string(pid) + "_A0")) && Clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return pid;
  }

  CommandRun RunCtl(const std::string& mode, const std::string& record) {
    std::string command;
    for (const std::string& a : Ctl(mode, record)) command += ShellQuote(a) + " ";
    return RunCommand(command + "2>&1");
  }

  std::string folder_, dark_, bright_, output_;
  std::unique_ptr<ChildProcess> merge_;
};

// A part of a join: video at `rate` for `videoSeconds`, and 3.010 s of 48-kHz sound.
std::string JoinClip(const std::string& name, const std::string& rate, const std::string& videoSeconds) {
  return ffmtest::MakeClip("pass_join_" + name + ".avi",
                           "-f lavfi -i testsrc2=size=320x240:rate=" + rate + ":duration=" + videoSeconds +
                               " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3.010 -c:v mpeg4 -q:v 3 "
                               "-c:a pcm_s16le -ac 2");
}

// The first video stream's r_frame_rate and duration in seconds as ffprobe reads them.
std::pair<std::string, double> VideoRateAndLength(const std::string& path) {
  const CommandRun run = RunCommand(
      "ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate,duration "
      "-of csv=p=0 " +
      ShellQuote(path));
  const size_t comma = run.output.find(',');
  if (comma == std::string::npos) return {run.output, -1};
  return {run.output.substr(0, comma), std::atof(run.output.c_str() + comma + 1)};
}

// Mean luma of each frame (scaled to 8 x 8 grey).
std::vector<double> FrameLuma(const std::string& path) {
  const CommandRun run =
      RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -map 0:v -vf scale=8:8,format=gray -f rawvideo -");
  std::vector<double> luma;
  for (size_t at = 0; at + 64 <= run.output.size(); at += 64) {
    double sum = 0;
    for (size_t i = 0; i < 64; ++i) sum += static_cast<uint8_t>(run.output[at + i]);
    luma.push_back(sum / 64);
  }
  return luma;
}

std::vector<double> FrameTimes(const std::string& path) {
  const CommandRun run =
      RunCommand("ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 " + ShellQuote(path));
  std::vector<double> times;
  std::istringstream lines(run.output);
  for (std::string line; std::getline(lines, line);)
    if (!line.empty()) times.push_back(std::stod(line));
  return times;
}

// RMS of each 10-ms window of the decoded audio, mixed to mono.
std::vector<double> AudioLevels(const std::string& path) {
  const CommandRun run = RunCommand("ffmpeg -v error -i " + ShellQuote(path) + " -map 0:a -ac 1 -ar 44100 -f s16le -");
  std::vector<double> levels;
  const size_t samples = run.output.size() / 2;
  for (size_t at = 0; at + 441 <= samples; at += 441) {
    double sum = 0;
    for (size_t i = 0; i < 441; ++i) {
      int16_t v;
      std::memcpy(&v, run.output.data() + 2 * (at + i), 2);
      sum += static_cast<double>(v) * v;
    }
    levels.push_back(std::sqrt(sum / 441));
  }
  return levels;
}

}  // namespace

TEST_F(PassEndToEnd, TwoClipsMergeIntoOneFile) {
  const int32_t pid = StartMerge();
  ASSERT_NE(pid, 0);
  int n = 0;
  for (const std::string& clip : {dark_, bright_}) {
    const CommandRun run = RunCtl("-m", WritePassRecord(clip, pid, "part" + std::to_string(n++)));
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("RESULT=00000000"), std::string::npos) << run.output;
  }
  // The front end's Stop after the last task: the merge writes what it has and ends.
  merge_->Signal(SIGTERM);
  EXPECT_EQ(ReadUntil(*merge_, "RESULT=", 60 * kSlowdown), "RESULT=00000000");
  EXPECT_EQ(merge_->Wait(), 0);

  const ffmtest::ProbedFile probed = ffmtest::ProbeFile(output_);
  EXPECT_EQ(probed.codecs, (std::vector<std::string>{"audio:aac", "video:h264"})) << probed.raw;
  EXPECT_NEAR(probed.duration, 20.0, 0.2) << probed.raw;

  // The join: the first bright frame and the first loud audio meet at 10 s.
  const std::vector<double> luma = FrameLuma(output_);
  const std::vector<double> times = FrameTimes(output_);
  ASSERT_EQ(luma.size(), 500u);
  ASSERT_EQ(times.size(), 500u);
  size_t firstBright = 0;
  while (firstBright < luma.size() && luma[firstBright] < 128) ++firstBright;
  EXPECT_EQ(firstBright, 250u);
  ASSERT_LT(firstBright, times.size());
  const double videoJoin = times[firstBright];
  EXPECT_NEAR(videoJoin, 10.0, 0.05);

  const std::vector<double> levels = AudioLevels(output_);
  ASSERT_GT(levels.size(), 1950u);
  // Mid level between the two clips' (about 1,450 and 11,600).
  size_t firstLoud = 0;
  while (firstLoud < levels.size() && levels[firstLoud] < 5000) ++firstLoud;
  const double audioJoin = static_cast<double>(firstLoud) * 0.01;
  EXPECT_NEAR(audioJoin, videoJoin, 0.05);
  // No gap of silence in either part.
  for (size_t w = 20; w < levels.size() - 20; ++w) ASSERT_GT(levels[w], 500) << "at " << w * 0.01 << " s";
}

TEST_F(PassEndToEnd, ConversionEndsWhenItsMergingProcessDies) {
  // No merging process at all.
  {
    const auto t = Clock::now();
    const CommandRun run = RunCtl("-m", WritePassRecord(dark_, 0x7FFFFFF0, "orphan"));
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.output.find("RESULT=8007001D"), std::string::npos) << run.output;
    EXPECT_LT(Clock::now() - t, std::chrono::seconds(10 * kSlowdown));
  }
  // A merging process that stops reading, then dies while the conversion waits on it.
  const int32_t pid = StartMerge();
  ASSERT_NE(pid, 0);
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  ChildProcess conversion(Ctl("-m", WritePassRecord(bright_, pid, "part")));
  ASSERT_NE(ReadUntil(conversion, "engine ", 10), "");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  ASSERT_EQ(kill(pid, SIGKILL), 0);
  const auto killed = Clock::now();
  EXPECT_EQ(ReadUntil(conversion, "RESULT=", 30 * kSlowdown), "RESULT=8007001D");
  EXPECT_LT(Clock::now() - killed, std::chrono::seconds(5 * kSlowdown));
  EXPECT_NE(conversion.Wait(), 0);
  merge_->Wait();
}

TEST_F(PassEndToEnd, MergeFailsWhenItsQueuesCannotBeMade) {
  // Files (shared memory included) may not grow past 200 KB: the queues of
  // 320 x 240 pictures and of audio samples cannot be made.
  WriteMergeRecord(folder_ + "/default_3.dat");
  const auto t = Clock::now();
  const CommandRun run = RunCommand("cd " + ShellQuote(folder_) +
                                    " && trap '' XFSZ && ulimit -f 200 && timeout 60 ./trivox_free -g test 2>&1");
  EXPECT_LT(Clock::now() - t, std::chrono::seconds(30));
  EXPECT_NE(run.status, 0) << run.output;
  EXPECT_NE(run.status, 124) << "still running: " << run.output;
  EXPECT_NE(run.output.find("cannot create the queue \"PID"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("RESULT=00000000"), std::string::npos) << run.output;
}

TEST_F(PassEndToEnd, MergedVideoKeepsTheSourceRateAndEndsWithItsSound) {
  // Each part's sound runs 7 or 10 ms past its last picture: every part is
  // padded to a whole frame past its sound, so that in AVI, which counts
  // pictures, the video stays as long as the sound join after join.
  const struct {
    const char* name;
    const char* rate;  // ffmpeg's rate, and ffprobe's
    const char* videoSeconds;
    int32_t num, den;  // the merge job's: seconds per frame
  } cases[] = {
      {"ntsc", "30000/1001", "3.003", 1001, 30000},
      {"pal", "25/1", "3", 1, 25},
  };
  constexpr double kPartSeconds = 3.010;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string clip = JoinClip(c.name, c.rate, c.videoSeconds);
    ASSERT_FALSE(clip.empty());
    output_ = folder_ + "/merged_" + c.name + ".avi";
    MergeOutput out;
    out.writer = "[FFM]AVI";
    out.videoCodec = "[FFM]MPEG2";
    out.audioCodec = "raw";
    out.frameRateNum = c.num;
    out.frameRateDen = c.den;
    out.sampleRate = 48000;
    const int32_t pid = StartMerge(out);
    ASSERT_NE(pid, 0);
    for (int part = 0; part < 2; ++part) {
      const CommandRun run =
          RunCtl("-m", WritePassRecord(clip, pid, std::string(c.name) + std::to_string(part), 48000));
      EXPECT_EQ(run.status, 0) << run.output;
    }
    merge_->Signal(SIGTERM);
    EXPECT_EQ(ReadUntil(*merge_, "RESULT=", 60 * kSlowdown), "RESULT=00000000");
    EXPECT_EQ(merge_->Wait(), 0);

    const auto [rate, videoSeconds] = VideoRateAndLength(output_);
    EXPECT_EQ(rate, c.rate);
    EXPECT_NEAR(videoSeconds, 2 * kPartSeconds, 0.1);
    const double frame = static_cast<double>(c.num) / c.den;
    const double audioSeconds = static_cast<double>(ffmtest::CliAudioSampleCount(output_)) / 48000;
    EXPECT_GE(audioSeconds, 2 * kPartSeconds - 0.001);  // no sound lost
    EXPECT_LT(audioSeconds, 2 * (kPartSeconds + frame));
    EXPECT_NEAR(videoSeconds, audioSeconds, 0.002);
    const CommandRun decode = RunCommand("ffmpeg -v error -i " + ShellQuote(output_) + " -f null - 2>&1");
    EXPECT_EQ(decode.status, 0);
    EXPECT_EQ(decode.output, "");
  }
}

TEST_F(PassEndToEnd, AMergeJobWithoutAFrameRateSaysWhichItWrites) {
  const std::string clip = JoinClip("pal", "25/1", "3");
  ASSERT_FALSE(clip.empty());
  output_ = folder_ + "/merged.avi";
  MergeOutput out;
  out.writer = "[FFM]AVI";
  out.videoCodec = "[FFM]MPEG2";
  out.audioCodec = "raw";
  out.frameRateNum = 0;
  out.frameRateDen = 0;
  out.sampleRate = 48000;
  const int32_t pid = StartMerge(out);
  ASSERT_NE(pid, 0);
  const CommandRun run = RunCtl("-m", WritePassRecord(clip, pid, "part", 48000));
  EXPECT_EQ(run.status, 0) << run.output;
  merge_->Signal(SIGTERM);
  std::vector<std::string> lines;
  EXPECT_EQ(ReadUntil(*merge_, "RESULT=", 60 * kSlowdown, &lines), "RESULT=00000000");
  EXPECT_EQ(merge_->Wait(), 0);
  const bool said = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("the merge job names no frame rate: the merged video is written at 25 frames per second") !=
           std::string::npos;
  });
  EXPECT_TRUE(said) << ::testing::PrintToString(lines);
  EXPECT_EQ(VideoRateAndLength(output_).first, "25/1");
}
