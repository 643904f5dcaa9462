// Text subtitles burnt in end to end: a clip with a text subtitle stream, and
// a job naming a subtitle file through the "VSUBTITLE" entry, converted by a
// copy of the engine to uncompressed video, compared frame by frame with the
// conversion without subtitles.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "tests/test_util/e2e_job.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kFrames = 75;  // 3 s at 25 fps
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3 / 2;

const char* const kSrt =
    "1\n00:00:00,500 --> 00:00:01,500\nFirst subtitle\n\n"
    "2\n00:00:02,000 --> 00:00:02,800\nSecond one\n";

// Frames n with n * 40 ms inside [500, 1500) or [2000, 2800).
bool InInterval(int n) {
  const int ms = n * 40;
  return (ms >= 500 && ms < 1500) || (ms >= 2000 && ms < 2800);
}

// Rows of frame n whose luma differs between a and b: first and last (-1 when none).
std::pair<int, int> ChangedRows(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int n) {
  int first = -1, last = -1;
  for (int r = 0; r < kHeight; ++r) {
    const size_t at = kFrameBytes * size_t(n) + size_t(r) * kWidth;
    if (at + kWidth > a.size() || at + kWidth > b.size()) break;
    if (!std::equal(a.begin() + long(at), a.begin() + long(at + kWidth), b.begin() + long(at))) {
      if (first < 0) first = r;
      last = r;
    }
  }
  return {first, last};
}

// The highest V of frame n between rows top and bottom.
int MaxV(const std::vector<uint8_t>& f, int n, int top, int bottom) {
  int best = 0;
  const size_t v = kFrameBytes * size_t(n) + size_t(kWidth) * kHeight * 5 / 4;
  for (int r = top / 2; r <= bottom / 2; ++r)
    for (int c = 0; c < kWidth / 2; ++c) best = std::max<int>(best, f[v + size_t(r) * (kWidth / 2) + size_t(c)]);
  return best;
}

class TextSubtitleEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder(
        "vsubtitle_e2e_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()),
        {"vsubtitle.so"});
    srt_ = folder_ + "/clip.srt";
    WriteFile(srt_, std::vector<uint8_t>(kSrt, kSrt + std::string(kSrt).size()));
    // A grey clip with the subtitles as its timed-text stream.
    source_ = folder_ + "/clip.mp4";
    int status = -1;
    const std::string out =
        RunShell("ffmpeg -v error -y -f lavfi -i color=c=0x707070:s=320x240:r=25:d=3,format=yuv420p -i " +
                     ShellQuote(srt_) + " -map 0:v -map 1:s -c:v mpeg4 -q:v 2 -c:s mov_text " + ShellQuote(source_),
                 &status);
    ASSERT_EQ(0, status) << out;
  }

  // Converts the clip to raw YV12 in AVI and returns its frames as planar 4:2:0.
  std::vector<uint8_t> Convert(const std::string& name, std::vector<std::string> extra) {
    const std::string output = folder_ + "/" + name + ".avi";
    std::vector<std::string> options = {"--source", source_,    "--output",    output, "--acodec", "NONE",
                                        "--vcodec", "raw",      "--raw-video", "YV12", "--vtag",   "YV12",
                                        "--writer", "[FFM]AVI", "--width",     "320",  "--height", "240"};
    options.insert(options.end(), extra.begin(), extra.end());
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    lastOutput_ = run.output;
    const std::string raw = folder_ + "/" + name + ".yuv";
    int status = -1;
    RunShell("ffmpeg -v error -y -i " + ShellQuote(output) + " -f rawvideo -pix_fmt yuv420p " + ShellQuote(raw),
             &status);
    EXPECT_EQ(0, status);
    std::vector<uint8_t> frames = ReadFileBytes(raw);
    EXPECT_EQ(kFrameBytes * kFrames, frames.size());
    return frames;
  }

  std::string folder_, srt_, source_, lastOutput_;
};

// Frames differ from the plain conversion exactly inside the intervals; band(first, last, n)
// checks the changed rows of each frame that differs.
void ExpectDrawnInIntervals(const std::vector<uint8_t>& subtitled, const std::vector<uint8_t>& plain,
                            const std::function<void(int, int, int)>& band) {
  ASSERT_EQ(plain.size(), subtitled.size());
  for (int n = 0; n < kFrames; ++n) {
    SCOPED_TRACE(n);
    const auto [first, last] = ChangedRows(subtitled, plain, n);
    EXPECT_EQ(InInterval(n), first >= 0);
    if (first >= 0) band(first, last, n);
  }
}

// The chroma planes must not change outside the interval either: whole frames compared.
void ExpectUnchangedOutside(const std::vector<uint8_t>& subtitled, const std::vector<uint8_t>& plain) {
  for (int n = 0; n < kFrames; ++n) {
    if (InInterval(n)) continue;
    const auto from = long(kFrameBytes * size_t(n));
    EXPECT_TRUE(
        std::equal(subtitled.begin() + from, subtitled.begin() + from + long(kFrameBytes), plain.begin() + from))
        << "frame " << n;
  }
}

TEST_F(TextSubtitleEndToEnd, AStreamOfTheSourceIsDrawnInItsBandDuringItsIntervals) {
  const std::vector<uint8_t> plain = Convert("plain", {"--streams", "0"});
  const std::vector<uint8_t> subtitled = Convert("stream", {});
  EXPECT_NE(lastOutput_.find("FILTER:SUBTITLE"), std::string::npos) << lastOutput_;
  // The default style: 18-point text (15 lines at this height) above the 20-line bottom margin.
  ExpectDrawnInIntervals(subtitled, plain, [](int first, int last, int) {
    EXPECT_GE(first, kHeight - 60);
    EXPECT_LE(last, kHeight - 10);
  });
  ExpectUnchangedOutside(subtitled, plain);
}

TEST_F(TextSubtitleEndToEnd, AJobNamingASubtitleFileFollowsTheDialogsKeys) {
  const std::vector<uint8_t> plain = Convert("plain", {"--streams", "0"});
  // The dialog's text: the file, text at the top, red, without border and shadow.
  CParamList keys;
  keys.SetInt("scrAlignment", 8);
  keys.SetInt("maginRectt", 30);
  keys.SetInt("colors0", 0x0000FF);
  keys.SetDouble("outlineWidth", 0.0);
  keys.SetDouble("shadowDepth", 0.0);
  keys.SetDouble("fontSize", 24.0);
  keys.SetString("fontName", "DejaVu Sans");
  keys.SetString("SUBFILE", srt_.c_str());
  char* text = keys.ToText();
  const std::string entry = std::string("VSUBTITLE=") + text;
  keys.FreeText(text);
  const std::vector<uint8_t> subtitled = Convert("file", {"--streams", "0", "--vfilter", entry});
  EXPECT_NE(lastOutput_.find("FILTER:VSUBTITLE"), std::string::npos) << lastOutput_;
  // 30 script lines of margin are 25 picture lines at 240 of 288.
  ExpectDrawnInIntervals(subtitled, plain, [&](int first, int last, int n) {
    EXPECT_GE(first, 25 - 2);
    EXPECT_LE(last, 25 + 30);
    EXPECT_GT(MaxV(subtitled, n, first, last), 200);  // red
  });
  ExpectUnchangedOutside(subtitled, plain);
}

TEST_F(TextSubtitleEndToEnd, TheDialogsStyleAppliesToTheSourcesStream) {
  const std::vector<uint8_t> plain = Convert("plain", {"--streams", "0"});
  const std::vector<uint8_t> subtitled = Convert("styled", {"--vfilter", "VSUBTITLE=\"scrAlignment\"=8"});
  ExpectDrawnInIntervals(subtitled, plain, [](int, int last, int) { EXPECT_LT(last, kHeight / 3); });
}

TEST_F(TextSubtitleEndToEnd, AMissingSubtitleFileFailsTheJob) {
  ASSERT_EQ("", WriteConvertJob(folder_, {"--source", source_, "--output", folder_ + "/never.avi", "--acodec", "NONE",
                                          "--vcodec", "raw", "--raw-video", "YV12", "--writer", "[FFM]AVI", "--streams",
                                          "0", "--vfilter", "VSUBTITLE=\"SUBFILE\"=\"" + folder_ + "/none.srt\""}));
  const EngineRun run = RunEngine(folder_, {"-m", "test"});
  EXPECT_EQ(0x80070002u, JobResult(run)) << run.output;
  EXPECT_NE(run.output.find("cannot open the subtitle file"), std::string::npos) << run.output;
}

}  // namespace
