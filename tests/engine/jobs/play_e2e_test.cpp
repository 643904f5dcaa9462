// trivox_free -p run by trivox_ctl as the front end's preview runs it: a 3-s
// clip played through SDL's disk and dummy audio drivers (the disk file holds
// what was played), pictures counted on the preview surface, positions from
// the control block; a seek during play; a DVD title; no surface, no audio
// device, a stalled one, a muted preview, types the player refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/control_block.h"
#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/ffm_test_media.h"

namespace {

constexpr uint32_t kWindow = 0x00E26001;
constexpr size_t kBytesPerSecond = 192000;

// Under ThreadSanitizer every picture FFmpeg's frame threads hand over goes
// through the sanitizer's suppressed-race path: an MPEG-4 clip decodes at a
// third of real time and every picture would come late. MJPEG decodes on the
// calling thread and keeps the pace.
#if defined(__SANITIZE_THREAD__)
constexpr const char* kVideoCodec = "mjpeg";
#else
constexpr const char* kVideoCodec = "mpeg4";
#endif

// Numbers of the lines that begin with `prefix` followed by a number.
std::vector<long long> Numbers(const std::string& text, const std::string& prefix, size_t from = 0) {
  std::vector<long long> out;
  for (size_t at = text.find(prefix, from); at != std::string::npos; at = text.find(prefix, at + 1))
    if (at == 0 || text[at - 1] == '\n') out.push_back(std::atoll(text.c_str() + at + prefix.size()));
  return out;
}

// One stretch of played sound found in the source: where it lies in the
// played file and in the source, and how long it is (seconds).
struct SoundRun {
  double played, source, length;
};

// Walks the played file: silence is skipped, everything else must be the
// source's PCM; each stretch is found in the source and followed as far as
// it matches. A stretch that is not the source's ends the walk (foreign set).
std::vector<SoundRun> SourceRuns(const std::vector<uint8_t>& played, const std::vector<uint8_t>& source,
                                 bool* foreign) {
  std::vector<SoundRun> runs;
  *foreign = false;
  constexpr size_t kWindowBytes = 256;
  size_t at = 0;
  while (at + kWindowBytes <= played.size()) {
    if (played[at] == 0 && played[at + 1] == 0 && played[at + 2] == 0 && played[at + 3] == 0) {
      at += 4;
      continue;
    }
    const auto found = std::search(source.begin(), source.end(), played.begin() + at,
                                   played.begin() + static_cast<std::ptrdiff_t>(at + kWindowBytes));
    if (found == source.end()) {
      *foreign = true;
      break;
    }
    const size_t from = static_cast<size_t>(found - source.begin());
    size_t n = 0;
    while (at + n < played.size() && from + n < source.size() && played[at + n] == source[from + n]) ++n;
    n -= n % 4;
    runs.push_back({double(at) / kBytesPerSecond, double(from) / kBytesPerSecond, double(n) / kBytesPerSecond});
    at += std::max<size_t>(n, 4);
  }
  return runs;
}

class PlayEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ffmtest::HaveFfmpeg()) GTEST_SKIP() << "ffmpeg CLI missing";
    folder_ = MakeConvertFolder(std::string("play_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    // A rising tone on each channel: no stretch of it repeats, so played sound is found in one place.
    clip_ =
        ffmtest::MakeClip(std::string("play_testsrc_") + kVideoCodec + ".avi",
                          "-f lavfi -i testsrc=size=320x240:rate=25 -f lavfi -i " +
                              ShellQuote("aevalsrc=0.5*sin(2*PI*(200+150*t)*t)|0.5*sin(2*PI*(300+100*t)*t):s=48000") +
                              " -t 3 -c:v " + kVideoCodec + " -q:v 2 -g 25 -c:a pcm_s16le");
    ASSERT_FALSE(clip_.empty());
    disk_ = folder_ + "/played.raw";
  }

  void WriteJob(const std::string& source, std::vector<std::string> extra = {}) {
    char params[96];
    std::snprintf(params, sizeof params, "\"HWND\"=%d,\"WIDTH\"=320,\"HEIGHT\"=240", static_cast<int>(kWindow));
    std::vector<std::string> options = {"--source",        source,     "--output",    "",     "--writer",      "PLAYER",
                                        "--writer-params", params,     "--vcodec",    "RAW",  "--raw-video",   "RG24",
                                        "--acodec",        "RAW",      "--raw-audio", "PCMA", "--sample-rate", "48000",
                                        "--channels",      "2",        "--width",     "320",  "--height",      "240",
                                        "--vfilter",       "VCAPTURE="};
    options.insert(options.end(), extra.begin(), extra.end());
    ASSERT_EQ(WriteConvertJob(folder_, options), "");
  }

  // trivox_ctl run -p with the audio driver (and any more environment) and options.
  CommandRun Play(const std::string& environment, const std::string& options = "") {
    char window[16];
    std::snprintf(window, sizeof window, "%X", static_cast<unsigned>(kWindow));
    std::remove(disk_.c_str());
    return RunCommand(environment + " SDL_DISKAUDIOFILE=" + ShellQuote(disk_) + " " +
                      ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -p " +
                      ShellQuote(folder_ + "/default_0.dat") + " --window " + window + " --engine " +
                      ShellQuote(folder_ + "/trivox_free") + " --timeout 60 --engine-output " + options + " 2>&1");
  }

  std::vector<uint8_t> SourcePcm() {
    const CommandRun pcm = RunCommand("ffmpeg -v error -i " + ShellQuote(clip_) + " -f s16le -ac 2 -ar 48000 -");
    return std::vector<uint8_t>(pcm.output.begin(), pcm.output.end());
  }

  static bool Succeeded(const CommandRun& run) { return run.output.find("\nRESULT=00000000\n") != std::string::npos; }
  static long long SurfaceFrames(const CommandRun& run) {
    const auto n = Numbers(run.output, "surface frames ");
    return n.empty() ? -1 : n.back();
  }
  static double UseTime(const CommandRun& run) {
    const auto at = run.output.find("Use time:");
    return at == std::string::npos ? -1 : std::atof(run.output.c_str() + at + 9);
  }

  std::string folder_, clip_, disk_;
};

TEST_F(PlayEndToEnd, ClipPlaysItsSoundPicturesAndPositionsInRealTime) {
  WriteJob(clip_);
  const std::string picture = folder_ + "/last.ppm";
  const CommandRun run = Play("SDL_AUDIODRIVER=disk", "--dump-surface " + ShellQuote(picture));
  ASSERT_TRUE(Succeeded(run)) << run.output;

  // The last picture on the surface is the clip's last frame as the ffmpeg CLI decodes it.
  const std::vector<uint8_t> ppm = ReadFileBytes(picture);
  const std::string header = "P6\n320 240\n255\n";
  ASSERT_EQ(ppm.size(), header.size() + 320 * 240 * 3);
  EXPECT_EQ(std::string(ppm.begin(), ppm.begin() + static_cast<std::ptrdiff_t>(header.size())), header);
  const CommandRun cli =
      RunCommand("ffmpeg -v error -sseof -0.04 -i " + ShellQuote(clip_) + " -frames:v 1 -pix_fmt rgb24 -f rawvideo -");
  ASSERT_EQ(cli.output.size(), 320u * 240u * 3u);
  double difference = 0;
  for (size_t i = 0; i < cli.output.size(); ++i)
    difference += std::abs(int(ppm[header.size() + i]) - int(static_cast<uint8_t>(cli.output[i])));
  EXPECT_LT(difference / cli.output.size(), 4.0) << "same picture, top row first";

  // The played file holds the source's sound in order, silence apart.
  bool foreign = false;
  const std::vector<SoundRun> runs = SourceRuns(ReadFileBytes(disk_), SourcePcm(), &foreign);
  EXPECT_FALSE(foreign);
  double covered = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    covered += runs[i].length;
    if (i > 0) {
      EXPECT_GE(runs[i].source, runs[i - 1].source + runs[i - 1].length - 0.001) << "out of order";
    }
  }
  EXPECT_GE(covered, 2.7);

  EXPECT_NEAR(SurfaceFrames(run), 75, 2);
  const std::vector<long long> positions = Numbers(run.output, "position ");
  ASSERT_FALSE(positions.empty());
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << run.output;
  EXPECT_GE(positions.back(), 2900);
  EXPECT_LE(positions.back(), 3000);
}

TEST_F(PlayEndToEnd, DummyDeviceTakesRealTime) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=dummy");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  EXPECT_GE(UseTime(run), 2.9) << run.output;
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LE(UseTime(run), 3.5) << run.output;
#endif
  EXPECT_NEAR(SurfaceFrames(run), 75, 2);
}

// At 500 ms a seek to 2 s (a key frame): the pictures and the sound both go
// on from there.
TEST_F(PlayEndToEnd, SeekMovesPicturesAndSoundTogether) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=disk", "--seek-at 500 --seek 2000");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  const size_t seek = run.output.find("\nplayer done\n");
  ASSERT_NE(seek, std::string::npos) << run.output;
  const std::vector<long long> before = Numbers(run.output.substr(0, seek), "shown ");
  ASSERT_FALSE(before.empty());
  EXPECT_LT(before.back(), 1500);
  // Pictures after the marker: at most one from before it, then from 2 s on.
  std::vector<long long> after = Numbers(run.output, "shown ", seek);
  if (!after.empty() && after.front() < 2000) after.erase(after.begin());
  ASSERT_FALSE(after.empty()) << run.output;
  EXPECT_LT(after.front(), 2100);
  EXPECT_TRUE(std::is_sorted(after.begin(), after.end()));
  EXPECT_GE(after.front(), 2000);
  EXPECT_EQ(after.back(), 2960);

  bool foreign = false;
  const std::vector<SoundRun> runs = SourceRuns(ReadFileBytes(disk_), SourcePcm(), &foreign);
  EXPECT_FALSE(foreign);
  ASSERT_GE(runs.size(), 2u) << "one stretch before the seek, one after";
  EXPECT_NEAR(runs[0].source, 0, 0.01);
  EXPECT_LT(runs[0].source + runs[0].length, 1.5);
  EXPECT_NEAR(runs[1].source, 2.0, 0.05) << "the sound resumes at the target";
  EXPECT_GE(runs[1].source + runs[1].length, 2.95);
}

// A pause of the job holds the player's clock for its second. On release
// the clock restarts at the last sound handed to the device (up to 300 ms
// ahead of the picture), so the play goes on from at most that far on.
TEST_F(PlayEndToEnd, PauseHoldsThePlay) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=dummy", "--pause-at 1000 --pause-for 1000");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  const size_t resume = run.output.find("\nresume\n");
  ASSERT_NE(resume, std::string::npos) << run.output;
  const std::vector<long long> before = Numbers(run.output.substr(0, resume), "shown ");
  const std::vector<long long> after = Numbers(run.output, "shown ", resume);
  ASSERT_FALSE(before.empty());
  ASSERT_FALSE(after.empty());
  EXPECT_GT(after.front(), before.back());
  // 300 ms of sound ahead and a poll of trivox_ctl: far less than the second held.
  EXPECT_LE(after.front(), before.back() + 600) << run.output;
  EXPECT_EQ(after.back(), 2960);
  EXPECT_GE(SurfaceFrames(run), 75 - 11);
  EXPECT_GE(UseTime(run), 3.6) << "3 s of clip and the held second, less the sound handed ahead";
}

TEST_F(PlayEndToEnd, DvdTitlePlays) {
  REQUIRE_DVD_FIXTURES();
  const std::string disc = DvdFixture("basic");
  const int32_t mpg2 = static_cast<int32_t>(MakeFourcc('M', 'P', 'G', '2'));
  const int32_t ac3 = static_cast<int32_t>(MakeFourcc('A', 'C', '3', 'A'));
  WriteJob("dvd:1,1,3," + disc,
           {"--desc",
            "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(mpg2) +
                ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0",
            "--desc",
            "\"TYPE\"=1,\"STREAMID\"=128,\"VFCC\"=" + std::to_string(ac3) + ",\"CHANNEL\"=2,\"SAMPLERATE\"=48000"});
  const CommandRun run = Play("SDL_AUDIODRIVER=disk");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  const std::string probe = RunCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                       ShellQuote(disc + "/VIDEO_TS/VTS_01_1.VOB"))
                                .output;
  const double seconds = std::atof(probe.c_str());
  ASSERT_GT(seconds, 1.0);
  // The title's pictures at 25 a second, their sound beside them.
  const long long frames = SurfaceFrames(run);
  const auto shown = Numbers(run.output, "shown ");
  ASSERT_FALSE(shown.empty());
  EXPECT_GE(shown.back(), (seconds - 0.5) * 1000) << "to the title's end";
  EXPECT_GE(frames, shown.back() / 40 + 1 - 4) << "hardly any picture late";
  const std::vector<uint8_t> played = ReadFileBytes(disk_);
  size_t sound = 0;
  for (size_t at = 0; at + 4 <= played.size(); at += 4)
    sound += (played[at] | played[at + 1] | played[at + 2] | played[at + 3]) != 0 ? 4 : 0;
  EXPECT_NEAR(double(sound) / kBytesPerSecond, frames / 25.0, 0.5) << "the title's sound played";
}

TEST_F(PlayEndToEnd, WindowWithoutSurfaceStillPlaysTheSound) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=disk", "--no-surface");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  EXPECT_NE(run.output.find("has no preview surface"), std::string::npos);
  bool foreign = false;
  double covered = 0;
  for (const SoundRun& r : SourceRuns(ReadFileBytes(disk_), SourcePcm(), &foreign)) covered += r.length;
  EXPECT_GE(covered, 2.7);
  const std::vector<long long> positions = Numbers(run.output, "position ");
  ASSERT_FALSE(positions.empty());
  EXPECT_GE(positions.back(), 2900);
  EXPECT_GE(UseTime(run), 2.9) << "still paced";
}

TEST_F(PlayEndToEnd, WithoutAnAudioDeviceThePicturesStillPlay) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=no-such-driver");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  EXPECT_NE(run.output.find("playing without sound"), std::string::npos);
  EXPECT_NEAR(SurfaceFrames(run), 75, 2);
  EXPECT_GE(UseTime(run), 2.9);
}

// The disk device sleeps 100 s after its first buffer: the player gives the
// sound up after a bounded wait and the pictures go on to the end.
TEST_F(PlayEndToEnd, StalledAudioDeviceIsGivenUp) {
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=disk SDL_DISKAUDIODELAY=100000");
  ASSERT_TRUE(Succeeded(run)) << run.output;
  EXPECT_NE(run.output.find("the audio output has stalled"), std::string::npos) << run.output;
  EXPECT_LT(UseTime(run), 8.0);
  EXPECT_GE(SurfaceFrames(run), 15);
  const auto last = Numbers(run.output, "shown ");
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last.back(), 2960);
}

TEST_F(PlayEndToEnd, MutedPreviewPlaysSilenceAtThePace) {
  MuteCell cell;
  ASSERT_TRUE(cell.Open());
  cell.Write(1);
  WriteJob(clip_);
  const CommandRun run = Play("SDL_AUDIODRIVER=disk");
  cell.Write(0);
  ASSERT_TRUE(Succeeded(run)) << run.output;
  const std::vector<uint8_t> played = ReadFileBytes(disk_);
  EXPECT_GE(played.size(), 2 * kBytesPerSecond);
  size_t sound = 0;
  for (size_t at = 0; at + 4 <= played.size(); at += 4)
    sound += (played[at] | played[at + 1] | played[at + 2] | played[at + 3]) != 0 ? 4 : 0;
  EXPECT_LT(sound, kBytesPerSecond / 20) << "at most the first moments before the mute reached the player";
}

TEST_F(PlayEndToEnd, TypesThePlayerRefusesFailTheJob) {
  struct Case {
    const char* label;
    std::vector<std::string> options;
    const char* logged;
  };
  const Case cases[] = {
      {"pictures in YV12", {"--raw-video", "YV12"}, "Cannot render video"},
      {"sound of 24 bits", {"--raw-audio", "PC24"}, "Cannot render audio"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    WriteJob(clip_, c.options);
    const CommandRun run = Play("SDL_AUDIODRIVER=dummy");
    EXPECT_FALSE(Succeeded(run));
    EXPECT_NE(run.output.find("RESULT="), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(c.logged), std::string::npos) << run.output;
    EXPECT_EQ(SurfaceFrames(run), 0);
  }
}

}  // namespace
