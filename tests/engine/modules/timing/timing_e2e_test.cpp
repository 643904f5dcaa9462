// The timing modules on real media: the reframer through modrun, frame-rate
// change, clip range and normalise through conversions by a copy of the
// engine, and the audio merger on an MP3 stream made by libmp3lame.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "common/log_ring.h"
#include "engine/modules/bitstream/bitstream_mpeg_audio.h"
#include "engine/modules/timing/audio_merger.h"
#include "tests/engine/modules/timing/timing_harness.h"
#include "tests/test_util/e2e_job.h"

namespace fs = std::filesystem;

namespace {

std::string Folder(const std::string& name) {
  const fs::path d = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "timing" / name;
  fs::create_directories(d);
  return d.string();
}

void Ffmpeg(const std::string& args) {
  int status = -1;
  const std::string out = RunShell("ffmpeg -v error -y " + args, &status);
  ASSERT_EQ(0, status) << out;
}

double ProbeNumber(const std::string& file, const std::string& stream, const std::string& entry) {
  int status = -1;
  const std::string out = RunShell(
      "ffprobe -v error -select_streams " + stream + " -show_entries " + entry + " -of csv=p=0 " + ShellQuote(file),
      &status, false);
  EXPECT_EQ(0, status);
  return std::atof(out.c_str());
}

// The first frame whose mean brightness passes half scale, in seconds.
double FlashTime(const std::string& file) {
  int status = -1;
  const std::string out =
      RunShell("ffprobe -v error -show_entries frame=pts_time:frame_tags=lavfi.signalstats.YAVG -of csv=p=0 -f lavfi " +
                   ShellQuote("movie=" + file + ",signalstats"),
               &status, false);
  EXPECT_EQ(0, status);
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    double t = 0, y = 0;
    if (std::sscanf(line.c_str(), "%lf,%lf", &t, &y) == 2 && y > 128) return t;
  }
  return -1;
}

// The first audio sample louder than 1,000 (decoded to mono 44.1 kHz), in seconds.
double BeepTime(const std::string& file) {
  const std::string pcm = file + ".beep.raw";
  Ffmpeg("-i " + ShellQuote(file) + " -vn -ac 1 -ar 44100 -f s16le " + ShellQuote(pcm));
  const std::vector<uint8_t> bytes = ReadFileBytes(pcm);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    int16_t v;
    std::memcpy(&v, &bytes[i], 2);
    if (std::abs(v) > 1000) return double(i / 2) / 44100.0;
  }
  return -1;
}

// Ten seconds of black video with one white flash and one beep, both at `at` seconds.
void MakeFlashAndBeep(const std::string& path, const std::string& rate, double at) {
  char video[256], audio[256];
  std::snprintf(video, sizeof video,
                "color=c=black:s=160x120:r=%s:d=10,"
                "drawbox=x=0:y=0:w=160:h=120:color=white:t=fill:enable='between(t,%g,%g)'",
                rate.c_str(), at, at + 0.2);
  std::snprintf(audio, sizeof audio,
                "sine=f=1000:sample_rate=44100:d=10,volume=volume=0:enable='not(between(t,%g,%g))'", at, at + 0.2);
  Ffmpeg("-f lavfi -i " + ShellQuote(video) + " -f lavfi -i " + ShellQuote(audio) +
         " -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -ac 2 " + ShellQuote(path));
}

EngineRun Convert(const std::string& folder, const std::vector<std::string>& options) {
  EXPECT_EQ("", WriteConvertJob(folder, options));
  EngineRun run = RunEngine(folder, {"-m", "test"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  return run;
}

const std::vector<std::string> kH264Aac = {"--vcodec",      "[FFM]H264",  "--vbitrate", "1000000",    "--acodec",
                                           "[FFM]AAC",      "--abitrate", "128000",     "--channels", "2",
                                           "--sample-rate", "44100",      "--writer",   "[FFM]MP4"};

std::vector<std::string> With(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(TimingModrun, ReframeDropsAndRepeatsToTheNewRate) {
  struct Case {
    const char* label;
    const char* rate;  // of the source
    double seconds;
    const char* fps;
    int32_t num, den;
    int frames;  // delivered, within one
    int drops, duplicates;
  };
  const Case cases[] = {
      {"29.97 to 23.976 drops one frame in five", "30000/1001", 10, "30000/1001", 1001, 24000, 240, 60, 0},
      {"25 to 50 repeats every frame", "25", 2, "25/1", 1, 50, 99, 0, 49},
  };
  const std::string dir = Folder("modrun");
  CLogRing ring;
  ASSERT_TRUE(ring.Open(CLogRing::kName));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string in = dir + "/in.yuv", out = dir + "/out.yuv", times = dir + "/times.txt";
    Ffmpeg("-f lavfi -i testsrc2=size=64x48:rate=" + std::string(c.rate) + " -t " + std::to_string(c.seconds) +
           " -pix_fmt yuv420p -f rawvideo " + ShellQuote(in));
    const size_t inputFrames = ReadFileBytes(in).size() / (64 * 48 * 3 / 2);
    std::vector<LogEntry> old;
    ring.TakeEntries(old);
    const CommandRun r =
        RunStagedTool("modrun", {"--video", "64x48", "--fps", c.fps, "--set", "FRAMENUM=" + std::to_string(c.num),
                                 "--set", "FRAMEDEN=" + std::to_string(c.den), "--times", times, "VREFRAME", in, out});
    ASSERT_EQ(0, r.status) << r.output;

    const std::vector<uint8_t> timesText = ReadFileBytes(times);
    std::istringstream lines(std::string(timesText.begin(), timesText.end()));
    int n = 0;
    for (std::string line; std::getline(lines, line); ++n) {
      long long start = -1, stop = -1;
      ASSERT_EQ(2, std::sscanf(line.c_str(), "%lld %lld", &start, &stop)) << line;
      EXPECT_EQ(int64_t(n) * c.num * 10000000 / c.den, start) << "frame " << n;
      EXPECT_EQ(start + 10000, stop);
    }
    EXPECT_NEAR(c.frames, n, 1);
    EXPECT_EQ(size_t(n) * 64 * 48 * 3 / 2, ReadFileBytes(out).size());

    // The module's close line: every input frame is delivered, dropped or repeated.
    std::vector<LogEntry> entries;
    ring.TakeEntries(entries);
    ASSERT_EQ(1u, entries.size());
    int drops = -1, duplicates = -1;
    ASSERT_EQ(2, std::sscanf(entries[0].text.c_str(), "Drop %d frames,duplicate %d frames", &drops, &duplicates))
        << entries[0].text;
    EXPECT_NEAR(c.drops, drops, 1);
    EXPECT_NEAR(c.duplicates, duplicates, 1);
    EXPECT_EQ(n, int(inputFrames) - drops + duplicates);
  }
}

TEST(TimingEndToEnd, ConversionTo23976KeepsTheDurationAndTheSound) {
  const std::string folder = MakeConvertFolder("timing_film");
  const std::string source = folder + "/in.avi", output = folder + "/out.mp4";
  MakeFlashAndBeep(source, "30000/1001", 5.0);
  const EngineRun run = Convert(folder, With({"--source", source, "--output", output, "--vfilter",
                                              "VREFRAME=\"FRAMENUM\"=1001,\"FRAMEDEN\"=24000", "--filter-flags", "9"},
                                             kH264Aac));
  EXPECT_TRUE(run.HasLine("FILTER:VREFRAME")) << run.output;

  int status = -1;
  EXPECT_EQ(
      "24000/1001\n",
      RunShell("ffprobe -v error -select_streams v -show_entries stream=r_frame_rate -of csv=p=0 " + ShellQuote(output),
               &status, false));
  const double sourceDuration = ProbeNumber(source, "v", "stream=duration");
  const double video = ProbeNumber(output, "v", "stream=duration");
  const double audio = ProbeNumber(output, "a", "stream=duration");
  EXPECT_NEAR(sourceDuration, video, 0.1);
  EXPECT_NEAR(audio, video, 0.1);
  EXPECT_NEAR(240, ProbeNumber(output, "v", "stream=nb_frames"), 3);
  // The flash and the beep stay together (a frame may be shown up to 1.8
  // output frames after its time).
  const double flash = FlashTime(output), beep = BeepTime(output);
  EXPECT_NEAR(FlashTime(source), flash, 0.1);
  EXPECT_NEAR(BeepTime(source), beep, 0.03);
  EXPECT_NEAR(beep, flash, 0.1);
}

TEST(TimingEndToEnd, ClipRangeTwoToFiveSeconds) {
  const std::string folder = MakeConvertFolder("timing_clip");
  const std::string source = folder + "/in.avi", output = folder + "/out.mp4";
  MakeFlashAndBeep(source, "25", 3.0);
  const EngineRun run =
      Convert(folder, With({"--source", source, "--start", "2", "--stop", "5", "--output", output}, kH264Aac));
  EXPECT_TRUE(run.HasLine("FILTER:SDELAY")) << run.output;
  EXPECT_NEAR(3.0, ProbeNumber(output, "v", "stream=duration"), 0.05);
  EXPECT_NEAR(3.0, ProbeNumber(output, "a", "stream=duration"), 0.05);
  EXPECT_NEAR(0.0, ProbeNumber(output, "v", "stream=start_time"), 0.01);
  EXPECT_NEAR(0.0, ProbeNumber(output, "a", "stream=start_time"), 0.01);
  // What was at 3 s is at 1 s, picture and sound alike.
  const double flash = FlashTime(output), beep = BeepTime(output);
  EXPECT_NEAR(FlashTime(source) - 2.0, flash, 0.045);
  EXPECT_NEAR(BeepTime(source) - 2.0, beep, 0.03);
}

// The reader opens a late start a few seconds early; inside a group of pictures that began
// before that, it decodes from the key frame, so the cut begins with a whole picture.
TEST(TimingEndToEnd, LateStartInsideALongGroupOfPicturesBeginsWithAWholePicture) {
  const std::string folder = MakeConvertFolder("timing_late_start");
  const std::string source = folder + "/in.mp4", output = folder + "/out.mp4";
  Ffmpeg(
      "-f lavfi -i testsrc=s=160x120:r=25:d=20 -f lavfi -i sine=sample_rate=44100:d=20 -c:v libx264 -g 500 -bf 2 "
      "-pix_fmt yuv420p -c:a aac " +
      ShellQuote(source));
  Convert(folder, With({"--source", source, "--start", "17", "--stop", "18", "--output", output}, kH264Aac));
  const std::string ours = folder + "/first.png", cli = folder + "/cli.png";
  Ffmpeg("-i " + ShellQuote(output) + " -frames:v 1 " + ShellQuote(ours));
  Ffmpeg("-ss 17 -i " + ShellQuote(source) + " -frames:v 1 " + ShellQuote(cli));
  int status = -1;
  const std::string psnr = RunShell("ffmpeg -nostdin -i " + ShellQuote(ours) + " -i " + ShellQuote(cli) +
                                        " -lavfi psnr -f null - 2>&1 | grep -o 'average:[0-9.a-z]*'",
                                    &status);
  const size_t colon = psnr.find(':');
  ASSERT_NE(colon, std::string::npos) << psnr;
  const std::string value = psnr.substr(colon + 1);
  EXPECT_TRUE(value.rfind("inf", 0) == 0 || std::atof(value.c_str()) > 30) << psnr;
}

TEST(TimingEndToEnd, FrameRateRecordRestampsACopiedStream) {
  const std::string folder = MakeConvertFolder("timing_restamp");
  const std::string source = folder + "/in.avi", output = folder + "/out.avi";
  Ffmpeg("-f lavfi -i testsrc=s=160x120:r=25:d=4 -c:v mpeg4 -q:v 3 " + ShellQuote(source));
  const EngineRun run =
      Convert(folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec", "COPY", "--writer",
                       "[FFM]AVI", "--fr-enabled", "1", "--fr-num", "1", "--fr-den", "20"});
  EXPECT_TRUE(run.HasLine("FILTER:VCHANGEFRAME")) << run.output;
  int status = -1;
  EXPECT_EQ("20/1,100\n", RunShell("ffprobe -v error -count_frames -show_entries stream=r_frame_rate,nb_read_frames "
                                   "-of csv=p=0 " +
                                       ShellQuote(output),
                                   &status, false));
  EXPECT_NEAR(5.0, ProbeNumber(output, "v", "stream=duration"), 0.01);
}

// volumedetect's max_volume of the file from `from` seconds on.
double MaxVolume(const std::string& file, double from) {
  int status = -1;
  const std::string out = RunShell("ffmpeg -hide_banner -nostats -ss " + std::to_string(from) + " -i " +
                                       ShellQuote(file) + " -af volumedetect -f null -",
                                   &status);
  EXPECT_EQ(0, status) << out;
  const size_t at = out.find("max_volume:");
  return at == std::string::npos ? 1.0 : std::atof(out.c_str() + at + 11);
}

TEST(TimingEndToEnd, NormaliseBringsAQuietSineUp) {
  struct Case {
    const char* label;
    double volume;  // of lavfi's sine, itself at about -21 dB
    double rise;    // expected change of the peak in dB; 0: to full scale
  };
  const Case cases[] = {
      {"to full scale", 2.0, 0}, {"by at most 20 dB", 0.1, 20.0},  // 32,767 / 3,276
  };
  const std::string folder = MakeConvertFolder("timing_normalize");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string source = folder + "/quiet.wav", output = folder + "/out.flac";
    Ffmpeg("-f lavfi -i sine=f=440:sample_rate=44100:d=10,volume=" + std::to_string(c.volume) +
           " -ac 2 -c:a pcm_s16le " + ShellQuote(source));
    // The entries as the front end writes them for the volume setting 0.
    Convert(folder, {"--source",       source,
                     "--output",       output,
                     "--acodec",       "[FFM]FLAC",
                     "--channels",     "2",
                     "--sample-rate",  "44100",
                     "--vcodec",       "NONE",
                     "--writer",       "[FFM]FLAC",
                     "--afilter",      "ARESAMPLE=\"CHANNEL\"=2,\"SAMPLERATE\"=44100,\"BITSPERSAMPLE\"=16",
                     "--filter-flags", "1",
                     "--afilter",      "ANORMALIZE=",
                     "--filter-flags", "1"});
    // The gain rises by a fifth per 0.54-s block: settled after 7 s.
    const double before = MaxVolume(source, 7), after = MaxVolume(output, 7);
    if (c.rise == 0) {
      EXPECT_LE(after, 0.0);
      EXPECT_GE(after, -0.3);
    } else {
      EXPECT_NEAR(before + c.rise, after, 0.2);
    }
    // As decoded: the file does not state its length.
    const std::string pcm = folder + "/decoded.raw";
    Ffmpeg("-i " + ShellQuote(output) + " -ac 1 -ar 44100 -f s16le " + ShellQuote(pcm));
    EXPECT_NEAR(10.0, double(ReadFileBytes(pcm).size()) / 88200.0, 0.1);
  }
}

TEST(TimingEndToEnd, MergerTakesTheWholeFramesOfAJunkPrefixedMp3) {
  const std::string dir = Folder("merger");
  const std::string clean = dir + "/clean.mp3";
  Ffmpeg("-f lavfi -i sine=f=440:sample_rate=44100:d=3 -c:a libmp3lame -b:a 128k -write_xing 0 -id3v2_version 0 " +
         ShellQuote(clean));
  const std::vector<uint8_t> frames = ReadFileBytes(clean);
  ASSERT_FALSE(frames.empty());
  std::vector<uint8_t> stream;
  for (int i = 0; i < 777; ++i) stream.push_back(i % 97 == 0 ? 0xFF : uint8_t((i * 7 + 3) & 0x7F));
  stream.insert(stream.end(), frames.begin(), frames.end());
  int status = -1;
  const int packets = std::atoi(
      RunShell("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " + ShellQuote(clean),
               &status, false)
          .c_str());
  ASSERT_GT(packets, 100);

  ModuleHarness h(CAudioMerger::Create(nullptr));
  TypeHolder in;
  MakeWaveType(in.Get(), FourccGuid(0x55), 44100, 2, 0, 0x55);
  ASSERT_EQ(S_OK, h->SetInputType(0, in.Get(), 0));
  ASSERT_EQ(S_OK, h->Run());
  for (size_t at = 0; at < stream.size(); at += 1000) {
    const size_t end = std::min(stream.size(), at + 1000);
    h.Feed(std::vector<uint8_t>(stream.begin() + long(at), stream.begin() + long(end)), REFERENCE_TIME(at) * 100);
  }
  h.End();
  EXPECT_EQ(size_t(packets), h.samples.size());
  int64_t position = 0;
  for (const Delivered& d : h.samples) {
    int32_t samples = 0;
    EXPECT_EQ(int32_t(d.data.size()), ParseMpegAudioHeader(d.data.data(), int32_t(d.data.size()), &samples));
    EXPECT_EQ(position * 10000000 / 44100, d.start);
    position += samples;
  }
  EXPECT_EQ(frames, h.AllData());
}

}  // namespace
