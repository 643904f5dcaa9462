// A WAV with a 1 kHz tone on the left and a 100 Hz tone on the right,
// converted by a copy of the engine through "AEQ" with +12 dB on the bands
// either side of 1 kHz: the left channel gains 20/15 x 12 = 16 dB, the right
// stays, and the output keeps every sample.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/test_util/e2e_job.h"

namespace {

TEST(EqualizerEndToEnd, RaisesTheBandAndLeavesTheRest) {
  const std::string folder = MakeConvertFolder("eq_e2e");
  const std::string source = folder + "/in.wav";
  const std::string output = folder + "/out.wav";
  int status = -1;
  RunShell(
      "ffmpeg -v error -y -f lavfi -i sine=frequency=1000:sample_rate=44100:duration=3 -f lavfi -i "
      "sine=frequency=100:sample_rate=44100:duration=3 -filter_complex '[0][1]amerge=inputs=2' -c:a pcm_s16le " +
          ShellQuote(source),
      &status);
  ASSERT_EQ(0, status);
  ASSERT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "RAW", "--raw-audio",
                                         "PC16", "--vcodec", "NONE", "--writer", "[FFM]WAV", "--channels", "2",
                                         "--sample-rate", "44100", "--afilter", "AEQ=\"DB4\"=0,\"DB5\"=0"}));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;

  EXPECT_NEAR(MeanVolumeDb(output, 0) - MeanVolumeDb(source, 0), 16.0, 0.2);
  EXPECT_NEAR(MeanVolumeDb(output, 1) - MeanVolumeDb(source, 1), 0.0, 0.1);
  const std::string length =
      RunShell("ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 " + ShellQuote(output), &status, false);
  EXPECT_EQ("132300\n", length);
}

}  // namespace
