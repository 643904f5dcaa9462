// The subtitle dialog's text drawn by the engine: a text written by the dialog
// (a file dropped on it, a larger font and a red text colour chosen) given to
// a conversion of a grey clip; the subtitle appears in that colour and is
// taller than with the dialog's defaults.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>
#include <string>
#include <vector>

#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/font_dialog.h"
#include "frontend/ui/modal_script.h"
#include "tests/test_util/e2e_job.h"

namespace {

constexpr int kWidth = 320, kHeight = 240, kFrames = 50;  // 2 s at 25 fps
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3 / 2;
constexpr int kShown = 25;  // a frame inside the subtitle's interval

const char* const kSrt = "1\n00:00:00,400 --> 00:00:01,600\nHello there\n";

// The text the dialog returns after step ran in it and OK was pressed.
std::string DialogText(const std::function<void(CDlgSubtitle&)>& step) {
  CDlgSubtitle dialog;
  dialog.SetParams("", 0);
  ModalScript script;
  script.Then([&](UiDialog&) {
    step(dialog);
    dialog.OnCommand(IDOK, BN_CLICKED);
  });
  std::string text;
  if (dialog.Edit(nullptr) != S_OK || ReadSetupParams(dialog, text) != S_OK || text.empty()) return "";
  text.pop_back();  // the NUL
  return text;
}

class SubtitleDialogEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder("fe_subtitle_e2e", {"vsubtitle.so"});
    srt_ = folder_ + "/clip.srt";
    WriteFile(srt_, std::vector<uint8_t>(kSrt, kSrt + std::string(kSrt).size()));
    source_ = folder_ + "/clip.mp4";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i color=c=0x707070:s=320x240:r=25:d=2,format=yuv420p "
        "-c:v mpeg4 -q:v 2 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
  }

  // The clip converted to raw 4:2:0 frames, with a "VSUBTITLE" entry when text is given.
  std::vector<uint8_t> Convert(const std::string& name, const std::string& text) {
    const std::string output = folder_ + "/" + name + ".avi";
    std::vector<std::string> options = {"--source", source_,    "--output",    output, "--acodec", "NONE",
                                        "--vcodec", "raw",      "--raw-video", "YV12", "--vtag",   "YV12",
                                        "--writer", "[FFM]AVI", "--width",     "320",  "--height", "240"};
    if (!text.empty()) options.insert(options.end(), {"--vfilter", "VSUBTITLE=" + text});
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    const std::string raw = folder_ + "/" + name + ".yuv";
    int status = -1;
    RunShell("ffmpeg -v error -y -i " + ShellQuote(output) + " -f rawvideo -pix_fmt yuv420p " + ShellQuote(raw),
             &status);
    EXPECT_EQ(0, status);
    std::vector<uint8_t> frames = ReadFileBytes(raw);
    EXPECT_EQ(kFrameBytes * kFrames, frames.size());
    return frames;
  }

  std::string folder_, srt_, source_;
};

// First and last row of frame n whose luma differs; -1 when none.
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

// The highest U and V of frame n between two rows.
std::pair<int, int> MaxChroma(const std::vector<uint8_t>& f, int n, int top, int bottom) {
  int u = 0, v = 0;
  const size_t base = kFrameBytes * size_t(n) + size_t(kWidth) * kHeight;
  const size_t plane = size_t(kWidth / 2) * (kHeight / 2);
  for (int r = top / 2; r <= bottom / 2; ++r)
    for (int c = 0; c < kWidth / 2; ++c) {
      u = std::max<int>(u, f[base + size_t(r) * (kWidth / 2) + size_t(c)]);
      v = std::max<int>(v, f[base + plane + size_t(r) * (kWidth / 2) + size_t(c)]);
    }
  return {u, v};
}

TEST_F(SubtitleDialogEndToEnd, TheDialogsColourAndFontSizeReachThePicture) {
  const std::string defaults = DialogText([&](CDlgSubtitle& d) { SendFileDrop(*d.FileEdit(), srt_); });
  const int dpi = ScreenPixelsPerInchY();
  FontDialogHook previous = SetFontDialogHook([dpi](QWidget*, LogFont& font) {
    font.faceName = "DejaVu Sans";
    font.height = -MulDiv(36, dpi, 72);
    return true;
  });
  const std::string styled = DialogText([&](CDlgSubtitle& d) {
    SendFileDrop(*d.FileEdit(), srt_);
    d.OnCommand(IDC_SUB_FONT, BN_CLICKED);
    d.Picker(IDC_SUB_TEXT_COLOUR)->SetColor(0x0000FF);  // red
  });
  SetFontDialogHook(previous);
  ASSERT_NE(defaults.find(srt_), std::string::npos) << defaults;
  ASSERT_NE(styled.find("DejaVu Sans"), std::string::npos) << styled;

  const std::vector<uint8_t> plain = Convert("plain", "");
  const std::vector<uint8_t> small = Convert("defaults", defaults);
  const std::vector<uint8_t> large = Convert("styled", styled);
  ASSERT_EQ(plain.size(), large.size());
  ASSERT_EQ(plain.size(), small.size());

  // Nothing drawn before the interval, the subtitle inside it.
  EXPECT_EQ(ChangedRows(large, plain, 2).first, -1);
  const auto [smallTop, smallBottom] = ChangedRows(small, plain, kShown);
  const auto [top, bottom] = ChangedRows(large, plain, kShown);
  ASSERT_GE(smallTop, 0);
  ASSERT_GE(top, 0);
  // Bottom centre above the 20-line margin. 36 points are 30 picture lines at
  // 240 of 288 against 15 for 18 points: capitals some 11 lines taller.
  EXPECT_GT(top, kHeight / 2);
  EXPECT_LE(bottom, kHeight - 10);
  EXPECT_GE(bottom - top, (smallBottom - smallTop) + 6)
      << top << ".." << bottom << " vs " << smallTop << ".." << smallBottom;
  // Red text on grey: V well above the grey's 128; the default white text is not red.
  EXPECT_GT(MaxChroma(large, kShown, top, bottom).second, 200);
  EXPECT_LT(MaxChroma(small, kShown, smallTop, smallBottom).second, 150);
}

}  // namespace
