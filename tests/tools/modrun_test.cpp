#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util/file_bytes.h"
#include "tests/test_util/shell_command.h"

namespace fs = std::filesystem;

namespace {

CommandRun Modrun(const std::vector<std::string>& args) { return RunStagedTool("modrun", args); }

fs::path Dir() {
  const fs::path d = fs::path(TRIVOX_BINARY_DIR) / "fixtures" / "modrun";
  fs::create_directories(d);
  return d;
}

std::string At(const char* name) { return (Dir() / name).string(); }

bool Ffmpeg(const std::string& args) { return RunCommand("ffmpeg -v error -y " + args + " 2>&1").status == 0; }

class ModrunTool : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Three 720x576 frames and one second of 44.1 kHz stereo.
    ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=720x576:rate=25 -frames:v 3 -pix_fmt yuv420p -f rawvideo " +
                       ShellQuote(At("in.yuv"))));
    ASSERT_TRUE(
        Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=44100 -t 1 -ac 2 -f s16le " + ShellQuote(At("in.pcm"))));
  }
};

TEST_F(ModrunTool, ColourConverterMatchesTheCli) {
  const CommandRun r =
      Modrun({"--video", "720x576:i420", "--out-format", "rgb24", "VRECOLOR", At("in.yuv"), At("out.rgb")});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("output: 720x576 rgb24"), std::string::npos) << r.output;
  ASSERT_TRUE(Ffmpeg("-f rawvideo -pix_fmt yuv420p -s 720x576 -i " + ShellQuote(At("in.yuv")) +
                     " -vf scale=flags=fast_bilinear,format=bgr24,vflip -f rawvideo " + ShellQuote(At("cli.rgb"))));
  const auto ours = ReadFileBytes(At("out.rgb"));
  EXPECT_EQ(ours.size(), size_t(3 * 720 * 576 * 3));
  EXPECT_TRUE(ours == ReadFileBytes(At("cli.rgb")));
}

TEST_F(ModrunTool, ResizePluginMatchesTheCli) {
  const CommandRun r = Modrun({"--video", "720x576", "--params", "\"WIDTH\"=320,\"HEIGHT\"=240", "--set", "LEFTBAND=8",
                               "--set", "RIGHTBAND=8", "--set", "TOPBAND=8", "--set", "BOTTOMBAND=8", "--set",
                               "TOPPAD=20", "--set", "BOTTOMPAD=20", "VRESIZE", At("in.yuv"), At("out.yuv")});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("output: 320x240 i420"), std::string::npos) << r.output;
  ASSERT_TRUE(Ffmpeg("-f rawvideo -pix_fmt yuv420p -s 720x576 -i " + ShellQuote(At("in.yuv")) +
                     " -vf crop=704:560:8:8:exact=1,scale=320:200:flags=bicubic,pad=320:240:0:20:color=black"
                     " -f rawvideo " +
                     ShellQuote(At("cli.yuv"))));
  const auto ours = ReadFileBytes(At("out.yuv"));
  EXPECT_EQ(ours.size(), size_t(3 * 320 * 240 * 3 / 2));
  EXPECT_TRUE(ours == ReadFileBytes(At("cli.yuv")));
}

TEST_F(ModrunTool, AudioFilters) {
  // Volume 50 %: gain 128, (s * 128 + 128) >> 8 on every sample.
  CommandRun r = Modrun({"--audio", "44100:2:16", "--set", "VOL=50", "AVOL", At("in.pcm"), At("half.pcm")});
  ASSERT_EQ(r.status, 0) << r.output;
  const auto in = ReadFileBytes(At("in.pcm"));
  const auto half = ReadFileBytes(At("half.pcm"));
  ASSERT_EQ(half.size(), in.size());
  size_t wrong = 0;
  for (size_t i = 0; i + 1 < in.size(); i += 2) {
    int16_t s, h;
    std::memcpy(&s, &in[i], 2);
    std::memcpy(&h, &half[i], 2);
    if (h != int16_t((s * 128 + 128) >> 8)) ++wrong;
  }
  EXPECT_EQ(wrong, 0u);

  // 44.1 to 48 kHz: as many frames as the ratio gives (the tail is flushed).
  r = Modrun({"--audio", "44100:2:16", "--set", "SAMPLERATE=48000", "ARESAMPLE", At("in.pcm"), At("48k.pcm")});
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("output: 48000 Hz, 2 channels, 16 bits"), std::string::npos) << r.output;
  const int64_t frames = int64_t(ReadFileBytes(At("48k.pcm")).size() / 4);
  EXPECT_NEAR(frames, 48000, 1);
}

// A 101 x 57 picture with an alpha ramp (fully transparent in its first 20
// columns) at the top right of a 640 x 360 clip: only that area changes, by
// the blend of the picture's Y, U and V as the ffmpeg CLI converts them.
TEST_F(ModrunTool, WatermarkChangesOnlyItsArea) {
  const int W = 640, H = 360, w = 101, h = 57;
  ASSERT_TRUE(Ffmpeg("-f lavfi -i testsrc2=size=640x360:rate=25 -frames:v 3 -pix_fmt yuv420p -f rawvideo " +
                     ShellQuote(At("clip.yuv"))));
  ASSERT_TRUE(Ffmpeg("-f lavfi -i " +
                     ShellQuote("color=s=101x57,format=rgba,geq=r='X*2':g='Y*4':b=200:a='if(lt(X,20),0,X*2)'") +
                     " -frames:v 1 " + ShellQuote(At("mark.png"))));
  ASSERT_TRUE(Ffmpeg("-i " + ShellQuote(At("mark.png")) + " -pix_fmt rgba -f rawvideo " + ShellQuote(At("mark.rgba"))));
  ASSERT_TRUE(
      Ffmpeg("-i " + ShellQuote(At("mark.png")) + " -pix_fmt yuv444p -f rawvideo " + ShellQuote(At("mark.yuv"))));
  const CommandRun r = Modrun({"--video", "640x360", "--params",
                               "\"FILENAME\"=\"" + At("mark.png") + "\",\"ALPHA\"=F0.6,\"ALIGN\"=9,\"CUSTOM\"=5",
                               "VWATERMARK", At("clip.yuv"), At("marked.yuv")});
  ASSERT_EQ(r.status, 0) << r.output;
  const auto in = ReadFileBytes(At("clip.yuv"));
  const auto out = ReadFileBytes(At("marked.yuv"));
  const auto rgba = ReadFileBytes(At("mark.rgba"));
  const auto yuv = ReadFileBytes(At("mark.yuv"));
  ASSERT_EQ(out.size(), in.size());
  ASSERT_EQ(rgba.size(), size_t(w * h * 4));
  ASSERT_EQ(yuv.size(), size_t(w * h * 3));
  const size_t frameSize = size_t(W * H * 3 / 2);
  const int x0 = W - w;  // top right
  // Expected byte at (plane, row, column) of a frame, and whether it may differ by 1.
  auto expect = [&](const uint8_t* frame, int plane, int row, int col, bool* blended) {
    const int pitch = plane == 0 ? W : W / 2;
    const uint8_t original = frame[(plane == 0 ? 0 : W * H + (plane - 1) * (W / 2) * (H / 2)) + row * pitch + col];
    *blended = false;
    int pr, pc;  // picture position that feeds this byte
    if (plane == 0) {
      pr = row;
      pc = col - x0;
      if (pr >= h || pc < 0) return int(original);
    } else {
      pr = 2 * row;
      pc = 2 * (col - x0 / 2);
      if (row >= h / 2 || pc < 0 || pc / 2 >= w / 2) return int(original);
    }
    const int a = rgba[size_t(pr * w + pc) * 4 + 3];
    if (a == 0) return int(original);
    *blended = true;
    const double weight = 0.6 * a / 255.0;
    return int(weight * yuv[size_t(plane * w * h + pr * w + pc)] + (1 - weight) * original);
  };
  size_t changed = 0, bad = 0;
  for (size_t f = 0; f * frameSize < in.size(); ++f) {
    const uint8_t* a = &in[f * frameSize];
    const uint8_t* b = &out[f * frameSize];
    for (int plane = 0; plane < 3; ++plane) {
      const int pw = plane == 0 ? W : W / 2, ph = plane == 0 ? H : H / 2;
      const size_t base = plane == 0 ? 0 : size_t(W * H + (plane - 1) * (W / 2) * (H / 2));
      for (int row = 0; row < ph; ++row)
        for (int col = 0; col < pw; ++col) {
          bool blended = false;
          const int want = expect(a, plane, row, col, &blended);
          const int got = b[base + size_t(row * pw + col)];
          if (got != a[base + size_t(row * pw + col)]) ++changed;
          if (blended ? std::abs(got - want) > 1 : got != want) {
            if (++bad < 5)
              ADD_FAILURE() << "frame " << f << " plane " << plane << " (" << row << "," << col << "): " << got
                            << ", expected " << want;
          }
        }
    }
  }
  EXPECT_EQ(bad, 0u);
  EXPECT_GT(changed, size_t(3 * 57 * 60)) << "the watermark shows";
}

TEST_F(ModrunTool, RefusalsWriteNothing) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* message;
  };
  // 720x575 does not divide the file into whole frames.
  const Case cases[] = {
      {"unknown filter", {"--video", "720x576", "VNOSUCH", At("in.yuv"), At("x.out")}, 1, "no video filter named"},
      {"partial frame", {"--video", "720x575", "VRECOLOR", At("in.yuv"), At("x.out")}, 1, "whole number"},
      {"missing input", {"--video", "720x576", "VRECOLOR", At("none.yuv"), At("x.out")}, 1, "cannot read"},
      {"refused parameters",
       {"--video", "720x576", "--set", "COLORTYPE=99", "VRECOLOR", At("in.yuv"), At("x.out")},
       1,
       "refuses the parameters"},
      {"no such output format",
       {"--video", "720x576", "--out-format", "i420", "VRECOLOR", At("in.yuv"), At("x.out")},
       1,
       "offers no output type"},
      {"odd sample frame", {"--audio", "44100:11:16", "AVOL", At("in.pcm"), At("x.out")}, 1, "whole number"},
      {"both kinds", {"--video", "8x8", "--audio", "8000:1:16", "AVOL", At("in.pcm"), At("x.out")}, 2, "exactly one"},
      {"bad size", {"--video", "0x8", "VRECOLOR", At("in.yuv"), At("x.out")}, 2, "bad frame size"},
      {"bad bits", {"--audio", "8000:1:12", "AVOL", At("in.pcm"), At("x.out")}, 2, "bad --audio"},
      {"no output", {"--video", "8x8", "VRECOLOR", At("in.yuv")}, 2, "need NAME, IN and OUT"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(At("x.out"));
    const CommandRun r = Modrun(c.args);
    EXPECT_EQ(r.status, c.status) << r.output;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(At("x.out")));
  }
  const CommandRun help = Modrun({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("usage: modrun"), std::string::npos);
}

}  // namespace
