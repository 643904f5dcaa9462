// A DVD title converted with its subpicture stream burnt in: trivox_free -m
// test on a "dvd:" job with the disc's palette and a "VRESIZE" entry, frames
// of the output read back with ffmpeg at times inside and outside the
// subpictures' intervals.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "common/dvd/dvd_title_reader.h"
#include "platform/win_types.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/test_util/e2e_job.h"

namespace {

struct Rgb {
  int r, g, b;
};

const std::string kVideoDesc =
    "\"TYPE\"=0,\"STREAMID\"=224,\"VFCC\"=" + std::to_string(int32_t(MakeFourcc('M', 'P', 'G', '2'))) +
    ",\"WIDTH\"=720,\"HEIGHT\"=576,\"FRAMERATE\"=F25.0";
const std::string kSubDesc =
    "\"TYPE\"=2,\"STREAMID\"=32,\"VFCC\"=" + std::to_string(int32_t(MakeFourcc('D', 'V', 'D', 'S')));

std::string PaletteText(const std::array<uint32_t, 16>& palette) {
  std::string text;
  for (uint32_t w : palette) {
    char word[16];
    std::snprintf(word, sizeof word, "%s0x%06X", text.empty() ? "" : ",", w);
    text += word;
  }
  return text;
}

class SubpictureEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    folder_ = MakeConvertFolder(
        "spu_e2e_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()), {"vresize.so"});
    DvdNavHandlePtr handle = DvdNavInit(DvdFixture("basic").c_str());
    ASSERT_TRUE(handle);
    DvdTitlePtr title = DvdNavTitleScan(*handle, 1);
    ASSERT_TRUE(title);
    palette_ = PaletteText(title->palette);
    DvdNavClose(handle);
  }

  // Converts title 1 (6 s) with its first subpicture stream to MP4.
  void Convert(const std::string& output, bool withPalette, bool withResize) {
    std::vector<std::string> options = {"--source",   "dvd:1,1,3," + DvdFixture("basic"),
                                        "--desc",     kVideoDesc,
                                        "--desc",     kSubDesc,
                                        "--output",   output,
                                        "--acodec",   "NONE",
                                        "--vcodec",   "[FFM]H264",
                                        "--vbitrate", "6000000",
                                        "--writer",   "[FFM]MP4",
                                        "--width",    "720",
                                        "--height",   "576"};
    if (withPalette) options.insert(options.end(), {"--palette-valid", "1", "--palette", palette_});
    if (withResize) options.insert(options.end(), {"--vfilter", "VRESIZE="});
    ASSERT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    ASSERT_EQ(0u, JobResult(run)) << run.output;
    EXPECT_EQ(withResize, run.HasLine("FILTER:VSUBTITLEDVD")) << run.output;
    EXPECT_TRUE(run.HasLine("FILTER:SUBTITLE")) << run.output;
  }

  // The output's frame at a time, as RGB.
  std::vector<uint8_t> FrameAt(const std::string& file, double seconds) {
    const std::string raw = folder_ + "/frame.rgb";
    int status = -1;
    RunShell("ffmpeg -v error -y -ss " + std::to_string(seconds) + " -i " + ShellQuote(file) +
                 " -frames:v 1 -f rawvideo -pix_fmt rgb24 " + ShellQuote(raw),
             &status);
    EXPECT_EQ(0, status);
    std::vector<uint8_t> rgb = ReadFileBytes(raw);
    EXPECT_EQ(size_t(720 * 576 * 3), rgb.size());
    return rgb;
  }

  static Rgb At(const std::vector<uint8_t>& rgb, int x, int y) {
    const size_t i = (size_t(y) * 720 + size_t(x)) * 3;
    if (i + 2 >= rgb.size()) return {-1, -1, -1};
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  static bool White(Rgb c) { return c.r > 225 && c.g > 225 && c.b > 225; }
  static bool Black(Rgb c) { return c.r < 30 && c.g < 30 && c.b < 30; }
  static bool Yellow(Rgb c) { return c.r > 225 && c.g > 225 && c.b < 40; }

  std::string folder_;
  std::string palette_;
};

// Stream 0x20 shows a white box with a black border over (200-519, 470-529)
// from 0.5 to 2.0 s and a yellow one over (100-299, 60-99) from 3.0 to 4.5 s;
// where the points probed lie the title's own picture is neither white, black nor yellow.
TEST_F(SubpictureEndToEnd, PicturesCarryTheDiscColoursInsideTheirIntervalsOnly) {
  const std::string output = folder_ + "/title1.mp4";
  Convert(output, true, true);
  struct Probe {
    double seconds;
    bool white, yellow;
  };
  const Probe probes[] = {{0.2, false, false}, {0.8, true, false}, {1.9, true, false},
                          {2.4, false, false}, {3.5, false, true}, {4.8, false, false}};
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.seconds);
    const std::vector<uint8_t> frame = FrameAt(output, p.seconds);
    for (int x : {220, 360, 500}) EXPECT_EQ(p.white, White(At(frame, x, 500))) << x;
    EXPECT_EQ(p.white, Black(At(frame, 202, 500)));  // the border
    EXPECT_EQ(p.white, Black(At(frame, 360, 527)));
    for (int x : {110, 150, 220}) EXPECT_EQ(p.yellow, Yellow(At(frame, x, 80))) << x;
    EXPECT_FALSE(Yellow(At(frame, 360, 500)));
  }
}

TEST_F(SubpictureEndToEnd, WithoutThePaletteGreyLevelsAreGuessedAndWithoutResizeNothingIsBurnt) {
  const std::string guessed = folder_ + "/guessed.mp4";
  Convert(guessed, false, true);
  // Two opaque colours: the first met (the border's) white, the second black.
  std::vector<uint8_t> frame = FrameAt(guessed, 1.0);
  EXPECT_TRUE(Black(At(frame, 360, 500)));
  EXPECT_TRUE(White(At(frame, 202, 500)));

  const std::string plain = folder_ + "/plain.mp4";
  Convert(plain, true, false);
  frame = FrameAt(plain, 1.0);
  EXPECT_FALSE(White(At(frame, 360, 500)));
  EXPECT_FALSE(Black(At(frame, 202, 500)));
}

}  // namespace
