// The levels and tweak dialogs' texts run by the engine over a grey clip:
// "Invert the image" chosen in the levels dialog turns luma Y into about
// 251 - Y (inverted inside the TV range), and the tweak dialog's brightness
// slider at 20 (51) lifts it by 51.
#include <gtest/gtest.h>

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/ui/modal_script.h"
#include "tests/test_util/e2e_job.h"
#include "tests/test_util/file_bytes.h"

namespace {

constexpr int kWidth = 160, kHeight = 120, kFrames = 10;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * 3 / 2;

template <class Dialog>
std::string DialogText(const std::function<void(Dialog&)>& step) {
  Dialog dialog;
  dialog.SetParams("", 0);
  ModalScript script;
  script.Then([&](UiDialog&) {
    step(dialog);
    dialog.OnCommand(IDOK, BN_CLICKED);
  });
  std::string text;
  if (dialog.Edit(nullptr) != S_OK || ReadSetupParams(dialog, text) != S_OK || text.empty()) return "";
  text.pop_back();
  return text;
}

class AdjustDialogsEndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = MakeConvertFolder("fe_levels_e2e");
    source_ = folder_ + "/grey.mp4";
    int status = -1;
    const std::string out = RunShell(
        "ffmpeg -v error -y -f lavfi -i color=c=0x707070:s=160x120:r=25:d=0.4,format=yuv420p -c:v mpeg4 -q:v 2 " +
            ShellQuote(source_),
        &status);
    ASSERT_EQ(0, status) << out;
  }

  // The mean luma of the clip's middle frame after a conversion with a filter entry.
  double MeanLuma(const std::string& name, const std::string& filter) {
    const std::string output = folder_ + "/" + name + ".avi";
    std::vector<std::string> options = {"--source", source_,    "--output",    output, "--acodec", "NONE",
                                        "--vcodec", "raw",      "--raw-video", "YV12", "--vtag",   "YV12",
                                        "--writer", "[FFM]AVI", "--width",     "160",  "--height", "120"};
    if (!filter.empty()) options.insert(options.end(), {"--vfilter", filter});
    EXPECT_EQ("", WriteConvertJob(folder_, options));
    const EngineRun run = RunEngine(folder_, {"-m", "test"});
    EXPECT_EQ(0u, JobResult(run)) << run.output;
    const std::string raw = folder_ + "/" + name + ".yuv";
    int status = -1;
    RunShell("ffmpeg -v error -y -i " + ShellQuote(output) + " -f rawvideo -pix_fmt yuv420p " + ShellQuote(raw),
             &status);
    const std::vector<uint8_t> frames = ReadFileBytes(raw);
    EXPECT_EQ(kFrameBytes * kFrames, frames.size());
    if (frames.size() < kFrameBytes * kFrames) return -1;
    const size_t base = kFrameBytes * (kFrames / 2);
    double sum = 0;
    for (size_t i = 0; i < size_t(kWidth) * kHeight; ++i) sum += frames[base + i];
    return sum / (double(kWidth) * kHeight);
  }

  std::string folder_, source_;
};

TEST_F(AdjustDialogsEndToEnd, AnInvertingLevelsPresetAndATweakedBrightnessReachThePicture) {
  const double plain = MeanLuma("plain", "");
  ASSERT_GT(plain, 90);
  ASSERT_LT(plain, 130);

  const std::string levels = DialogText<CDlgLevels>([](CDlgLevels& d) {
    auto* combo = d.ItemAs<QComboBox>(IDC_ADJUST_PRESET);
    combo->setCurrentIndex(combo->findText("Invert the image"));
    d.OnCommand(IDC_ADJUST_PRESET, CBN_SELCHANGE);
  });
  ASSERT_FALSE(levels.empty());
  EXPECT_NEAR(MeanLuma("inverted", "VLEVELS=" + levels), 251 - plain, 2.0);

  const std::string tweak = DialogText<CDlgTweak>([](CDlgTweak& d) { d.Slider(IDC_TWEAK_BRIGHTNESS)->SetPos(20); });
  ASSERT_FALSE(tweak.empty());
  EXPECT_NEAR(MeanLuma("brighter", "VTWEAK=" + tweak), plain + 51, 2.0);
}

}  // namespace
