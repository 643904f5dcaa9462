// Subtitle files whose styling would take minutes and gigabytes to draw:
// each conversion ends with a whole output, and a stop during a heavy render
// ends the job. How long they may take is the test's ctest time limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "tests/test_util/e2e_job.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kFrames = 50;  // 2 s at 25 fps
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3 / 2;

std::string Srt(const std::string& text) { return "1\n00:00:00,000 --> 00:00:10,000\n" + text + "\n"; }

const char* const kHostileAss =
    "[Script Info]\nScriptType: v4.00+\nPlayResX: 384\nPlayResY: 288\n\n"
    "[V4+ Styles]\n"
    "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
    "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
    "MarginR, MarginV, Encoding\n"
    "Style: Default,DejaVu Sans,99999,&H00FFFFFF,&H00FFFFFF,&H00000000,&H00000000,0,0,0,0,99999,99999,99999,0,1,"
    "9999,9999,2,10,10,10,1\n\n"
    "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
    "Dialogue: 0,0:00:00.00,0:00:10.00,Default,,0,0,0,,{\\blur999\\be99\\fscx99999}Styled\n"
    "Dialogue: 1,0:00:00.00,0:00:10.00,Default,,0,0,0,,{\\p1\\bord9999}m 0 0 l 99999 99999 0 99999{\\p0}\n";

class HostileSubtitles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = MakeConvertFolder("vsubtitle_hostile", {"vsubtitle.so"});
    source_ = folder_ + "/clip.mp4";
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i color=c=0x707070:s=320x240:r=25:d=2,format=yuv420p -c:v mpeg4 -q:v 2 " +
                          ShellQuote(source_)));
    longSource_ = folder_ + "/long.mp4";
    ASSERT_TRUE(RunFfmpeg("-f lavfi -i color=c=0x707070:s=320x240:r=25:d=60,format=yuv420p -c:v mpeg4 -q:v 2 " +
                          ShellQuote(longSource_)));
  }

  static std::string Entry(const std::string& subtitleFile) {
    CParamList keys;
    keys.SetString("fontName", "DejaVu Sans");
    keys.SetString("SUBFILE", subtitleFile.c_str());
    char* text = keys.ToText();
    const std::string entry = std::string("VSUBTITLE=") + text;
    keys.FreeText(text);
    return entry;
  }

  static std::vector<std::string> Job(const std::string& source, const std::string& output,
                                      const std::string& subtitleFile) {
    return {"--source",    source,
            "--output",    output,
            "--acodec",    "NONE",
            "--vcodec",    "raw",
            "--raw-video", "YV12",
            "--vtag",      "YV12",
            "--writer",    "[FFM]AVI",
            "--width",     "320",
            "--height",    "240",
            "--streams",   "0",
            "--vfilter",   Entry(subtitleFile)};
  }

  static std::string folder_, source_, longSource_;
};
std::string HostileSubtitles::folder_, HostileSubtitles::source_, HostileSubtitles::longSource_;

TEST_F(HostileSubtitles, EachConversionEndsWithAWholeOutput) {
  struct Case {
    const char* name;
    const char* extension;
    std::string content;
  };
  const Case cases[] = {
      {"font_size_99999", "srt", Srt("{\\fs99999}Huge")},
      {"font_size_10000", "srt", Srt("{\\fs10000}Big")},
      {"drawing", "srt", Srt("{\\p1}m 0 0 l 99999 99999 0 99999{\\p0}")},
      {"clip_border_shadow", "srt",
       Srt("{\\clip(m 0 0 l 99999 0 99999 99999)\\bord9999\\shad9999\\fsp99999\\fscy99999}Clip")},
      {"relative_steps", "srt", Srt("{\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10\\fs+10}Grow")},
      {"script", "ass", kHostileAss},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string subtitles = folder_ + "/" + c.name + "." + c.extension;
    WriteFile(subtitles, std::vector<uint8_t>(c.content.begin(), c.content.end()));
    const std::string output = folder_ + "/" + c.name + ".avi";
    ASSERT_EQ("", WriteConvertJob(folder_, Job(source_, output, subtitles)));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    const std::string raw = folder_ + "/" + c.name + ".yuv";
    EXPECT_TRUE(RunFfmpeg("-i " + ShellQuote(output) + " -f rawvideo -pix_fmt yuv420p " + ShellQuote(raw)));
    EXPECT_EQ(kFrameBytes * kFrames, ReadFileBytes(raw).size());
  }
}

TEST_F(HostileSubtitles, AStopDuringAHeavyRenderEndsTheJob) {
  const std::string subtitles = folder_ + "/heavy.ass";
  const std::string script = kHostileAss;
  WriteFile(subtitles, std::vector<uint8_t>(script.begin(), script.end()));
  ASSERT_EQ("", WriteConvertJob(folder_, Job(longSource_, folder_ + "/stopped.avi", subtitles)));
  const CommandRun ctl = RunCommand(ShellQuote(std::string(TRIVOX_STAGE_DIR) + "/trivox_ctl") + " run -m " +
                                    ShellQuote(folder_ + "/default_0.dat") + " --engine " +
                                    ShellQuote(folder_ + "/trivox_free") + " --stop-after 200 --timeout 120 2>&1");
  EXPECT_EQ(0, ctl.status) << ctl.output;
  EXPECT_NE(std::string::npos, ctl.output.find("RESULT=00000000")) << ctl.output;
  // Stopped well before the end of the 60-s source.
  int status = -1;
  const std::string frames = RunShell(
      "ffprobe -v error -select_streams v:0 -count_packets -show_entries "
      "stream=nb_read_packets -of csv=p=0 " +
          ShellQuote(folder_ + "/stopped.avi"),
      &status, false);
  EXPECT_LT(std::atoi(frames.c_str()), 1000) << frames;
}

}  // namespace
