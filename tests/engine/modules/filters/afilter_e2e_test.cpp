// A 44.1 kHz stereo WAV converted to 48 kHz MP3 by a copy of the engine,
// through the "ARESAMPLE" entry the front end puts in every audio task.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace {

TEST(AudioFilterEndToEnd, WavTo48kMp3KeepsTheDurationAndThePitch) {
  const std::string folder = MakeConvertFolder("afilter_e2e");
  const std::string source = folder + "/in.wav";
  const std::string output = folder + "/out.mp3";
  constexpr double kSeconds = 5.3;
  int status = -1;
  RunShell("ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=5.3 -ac 2 -c:a pcm_s16le " +
               ShellQuote(source),
           &status);
  ASSERT_EQ(0, status);
  ASSERT_EQ(
      "",
      WriteConvertJob(
          folder, {"--source",       source,       "--output",
                   output,           "--acodec",   "[FFM]MP3",
                   "--channels",     "2",          "--sample-rate",
                   "48000",          "--abitrate", "192000",
                   "--vcodec",       "NONE",       "--writer",
                   "[FFM]MP3",       "--afilter",  "ARESAMPLE=\"CHANNEL\"=2,\"SAMPLERATE\"=48000,\"BITSPERSAMPLE\"=16",
                   "--filter-flags", "1"}));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:ARESAMPLE")) << run.output;

  const std::string probe = RunShell(
      "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels "
      "-of csv=p=0 " +
          ShellQuote(output),
      &status, false);
  ASSERT_EQ(0, status);
  EXPECT_EQ("mp3,48000,2\n", probe);

  // The duration as decoded (the decoder drops the encoder's priming and
  // padding that the file declares).
  const std::string pcm = folder + "/decoded.raw";
  RunShell("ffmpeg -v error -y -i " + ShellQuote(output) + " -f s16le -ac 1 " + ShellQuote(pcm), &status);
  ASSERT_EQ(0, status);
  const std::vector<uint8_t> bytes = ReadFileBytes(pcm);
  const double seconds = double(bytes.size() / 2) / 48000.0;
  EXPECT_NEAR(seconds, kSeconds, 0.030);

  // Still a 440 Hz tone at 48 kHz: 880 sign changes in the second from 1 s to 2 s.
  ASSERT_GE(bytes.size(), size_t(2 * 96000));
  std::vector<int16_t> s(96000);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  int crossings = 0;
  for (size_t i = 48001; i < 96000; ++i)
    if ((s[i - 1] < 0) != (s[i] < 0)) ++crossings;
  EXPECT_NEAR(crossings, 880, 4);
}

}  // namespace
