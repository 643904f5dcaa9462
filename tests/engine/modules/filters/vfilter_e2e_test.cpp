// A conversion whose video filter list holds "VLEVELS" (inverting the
// picture) and "VWATERMARK" (an opaque picture at the top left), run by a
// copy of the engine: the MP4's frames show both, read back with ffmpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace {

TEST(VideoFilterEndToEnd, LevelsAndWatermarkShowInTheOutput) {
  const std::string folder = MakeConvertFolder("vfilter_e2e");
  const std::string source = folder + "/grey.mpg";
  const std::string mark = folder + "/mark.png";
  const std::string output = folder + "/out.mp4";
  int status = -1;
  // Dark grey on the left half, light grey on the right, for one second.
  RunShell("ffmpeg -v error -y -f lavfi -i " +
               ShellQuote("color=c=0x404040:s=320x240:r=25:d=1,drawbox=x=160:y=0:w=160:h=240:color=0xC0C0C0:t=fill,"
                          "format=yuv420p") +
               " -c:v mpeg2video -q:v 2 " + ShellQuote(source),
           &status);
  ASSERT_EQ(0, status);
  RunShell("ffmpeg -v error -y -f lavfi -i color=c=red:s=64x48,format=rgb24 -frames:v 1 " + ShellQuote(mark), &status);
  ASSERT_EQ(0, status);

  const std::string levels =
      "VLEVELS=\"SRCMIN\"=0,\"SRCMAX\"=255,\"DSTMIN\"=255,\"DSTMAX\"=0,\"GAMMA\"=F1.0,\"CORING\"=0";
  const std::string watermark = "VWATERMARK=\"FILENAME\"=\"" + mark + "\",\"ALPHA\"=F1.0,\"ALIGN\"=7";
  ASSERT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec",
                                         "[FFM]H264", "--vbitrate", "2000000", "--writer", "[FFM]MP4", "--vfilter",
                                         levels, "--vfilter", watermark}));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:VLEVELS")) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:VWATERMARK")) << run.output;

  const std::string probe = RunShell(
      "ffprobe -v error -select_streams v:0 -count_frames -show_entries stream=width,height,nb_read_frames "
      "-of csv=p=0 " +
          ShellQuote(output),
      &status, false);
  ASSERT_EQ(0, status);
  EXPECT_EQ("320,240,25\n", probe);

  const std::string frame = folder + "/frame.rgb";
  RunShell("ffmpeg -v error -y -i " + ShellQuote(output) +
               " -vf 'select=eq(n\\,12)' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(frame),
           &status);
  ASSERT_EQ(0, status);
  const std::vector<uint8_t> rgb = ReadFileBytes(frame);
  ASSERT_EQ(rgb.size(), size_t(320 * 240 * 3));
  struct Probe {
    int x, y, r, g, b;
    const char* what;
  };
  // 0x40 grey inverted comes out near 0xBF, 0xC0 near 0x3F; the mark stays red.
  const Probe probes[] = {
      {20, 20, 255, 0, 0, "watermark"},
      {58, 42, 255, 0, 0, "watermark, near its corner"},
      {80, 20, 0xBF, 0xBF, 0xBF, "dark half, inverted"},
      {20, 120, 0xBF, 0xBF, 0xBF, "below the watermark"},
      {240, 20, 0x3F, 0x3F, 0x3F, "light half, inverted"},
      {300, 220, 0x3F, 0x3F, 0x3F, "bottom right"},
  };
  for (const Probe& p : probes) {
    const size_t i = (size_t(p.y) * 320 + size_t(p.x)) * 3;
    EXPECT_TRUE(std::abs(rgb[i] - p.r) <= 24 && std::abs(rgb[i + 1] - p.g) <= 24 && std::abs(rgb[i + 2] - p.b) <= 24)
        << p.what << " at (" << p.x << "," << p.y << "): " << int(rgb[i]) << "," << int(rgb[i + 1]) << ","
        << int(rgb[i + 2]);
  }
}

}  // namespace
