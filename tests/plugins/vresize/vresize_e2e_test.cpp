// A convert job whose video filter list holds a "VRESIZE" entry, run by a
// copy of the engine with the staged plug-in: the output's size, frame count
// and where the picture lands, read back with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace {

struct Rgb {
  int r, g, b;
};

// A 720x576 second at 25 fps: an 8-pixel green frame around four quadrants,
// white and blue above, red and yellow below.
bool MakeQuadrantSource(const std::string& path) {
  const std::string graph =
      "color=c=0x00FF00:s=720x576:r=25:d=1,"
      "drawbox=x=8:y=8:w=352:h=280:color=white:t=fill,"
      "drawbox=x=360:y=8:w=352:h=280:color=blue:t=fill,"
      "drawbox=x=8:y=288:w=352:h=280:color=red:t=fill,"
      "drawbox=x=360:y=288:w=352:h=280:color=yellow:t=fill,format=yuv420p";
  int status = -1;
  RunShell("ffmpeg -v error -y -f lavfi -i " + ShellQuote(graph) + " -c:v mpeg2video -q:v 2 " + ShellQuote(path),
           &status);
  return status == 0;
}

TEST(VResizeEndToEnd, CropScaleAndPadLandThePictureWhereItBelongs) {
  const std::string folder = MakeConvertFolder("vresize_e2e", {"vresize.so"});
  const std::string source = folder + "/quad.mpg";
  const std::string output = folder + "/out.mp4";
  ASSERT_TRUE(MakeQuadrantSource(source));
  // The entry as the front end writes it (flags 5).
  const std::string resize =
      "VRESIZE=\"WIDTH\"=320,\"HEIGHT\"=240,\"LEFTBAND\"=8,\"RIGHTBAND\"=8,\"TOPBAND\"=8,\"BOTTOMBAND\"=8,"
      "\"LEFTPAD\"=0,\"RIGHTPAD\"=0,\"TOPPAD\"=20,\"BOTTOMPAD\"=20";
  ASSERT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec",
                                         "[FFM]H264", "--vbitrate", "2000000", "--writer", "[FFM]MP4", "--vfilter",
                                         resize, "--filter-flags", "5"}));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  EXPECT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;
  EXPECT_TRUE(run.HasLine("FILTER:VRESIZE")) << run.output;

  int status = -1;
  const std::string probe = RunShell(
      "ffprobe -v error -select_streams v:0 -count_frames -show_entries "
      "stream=width,height,nb_read_frames -of csv=p=0 " +
          ShellQuote(output),
      &status, false);
  ASSERT_EQ(0, status);
  EXPECT_EQ("320,240,25\n", probe);

  // Frame 10 as RGB.
  const std::string frame = folder + "/frame.rgb";
  RunShell("ffmpeg -v error -y -i " + ShellQuote(output) +
               " -vf 'select=eq(n\\,10)' -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(frame),
           &status);
  ASSERT_EQ(0, status);
  const std::vector<uint8_t> rgb = ReadFileBytes(frame);
  ASSERT_EQ(rgb.size(), size_t(320 * 240 * 3));

  const Rgb black{0, 0, 0}, white{255, 255, 255}, blue{0, 0, 255}, red{255, 0, 0}, yellow{255, 255, 0};
  struct Probe {
    int x, y;
    Rgb want;
    const char* what;
  };
  // The picture fills rows 20-219; the quadrant edges fall on x 160 and y 120.
  // Points sit a few pixels off every edge so scaling and coding blur stay out.
  const Probe probes[] = {
      {5, 2, black, "top pad"},
      {160, 16, black, "top pad, last rows"},
      {314, 237, black, "bottom pad"},
      {160, 223, black, "bottom pad, first rows"},
      {80, 24, white, "picture's first rows"},
      {240, 215, yellow, "picture's last rows"},
      {1, 60, white, "left edge: band cropped"},
      {318, 60, blue, "right edge: band cropped"},
      {1, 180, red, "left edge, lower half"},
      {318, 180, yellow, "right edge, lower half"},
      {80, 60, white, "top left"},
      {240, 60, blue, "top right"},
      {80, 180, red, "bottom left"},
      {240, 180, yellow, "bottom right"},
      {155, 60, white, "left of the split"},
      {165, 60, blue, "right of the split"},
      {80, 115, white, "above the split"},
      {80, 125, red, "below the split"},
  };
  for (const Probe& p : probes) {
    const size_t i = (size_t(p.y) * 320 + size_t(p.x)) * 3;
    const Rgb got{rgb[i], rgb[i + 1], rgb[i + 2]};
    EXPECT_TRUE(std::abs(got.r - p.want.r) <= 48 && std::abs(got.g - p.want.g) <= 48 &&
                std::abs(got.b - p.want.b) <= 48)
        << p.what << " at (" << p.x << "," << p.y << "): " << got.r << "," << got.g << "," << got.b;
  }
}

}  // namespace
