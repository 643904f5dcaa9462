// The equaliser dialog's text run by the engine: "Full Bass" chosen in the
// dialog and given to a conversion of a WAV with a 100 Hz tone on the left and
// a 2 kHz tone on the right. The 60-170 Hz band (+5.92 dB) raises the left by
// 20/15 x 5.92 dB; the 1-3 kHz band (-2.88 dB) lowers the right by 20/15 x 2.88.
#include <gtest/gtest.h>

#include <QComboBox>
#include <cstdlib>
#include <string>

#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/resources.h"
#include "tests/test_util/e2e_job.h"

namespace {

// The text the dialog returns after a preset was chosen in its list.
std::string PresetText(const char* name) {
  CDlgEqualizer dialog;
  dialog.SetParams("", 0);
  ModalScript script;
  script.Then([&](UiDialog&) {
    auto* combo = dialog.ItemAs<QComboBox>(IDC_EQ_PRESET);
    combo->setCurrentIndex(combo->findText(name));
    dialog.OnCommand(IDC_EQ_PRESET, CBN_SELCHANGE);
    dialog.OnCommand(IDOK, BN_CLICKED);
  });
  std::string text;
  if (dialog.Edit(nullptr) != S_OK || ReadSetupParams(dialog, text) != S_OK || text.empty()) return "";
  text.pop_back();
  return text;
}

TEST(EqualizerDialogEndToEnd, APresetFromTheDialogRaisesAndLowersItsBands) {
  SetResourceFolder(TRIVOX_STAGE_DIR "/resource");
  const std::string text = PresetText("Full Bass");
  ASSERT_NE(text.find("\"DB1\"=16"), std::string::npos) << text;
  ASSERT_NE(text.find("\"DB5\"=39"), std::string::npos) << text;

  const std::string folder = MakeConvertFolder("fe_equalizer_e2e");
  const std::string source = folder + "/in.wav";
  const std::string output = folder + "/out.wav";
  int status = -1;
  const std::string made = RunShell(
      "ffmpeg -v error -y -f lavfi -i sine=frequency=100:sample_rate=44100:duration=3 -f lavfi -i "
      "sine=frequency=2000:sample_rate=44100:duration=3 -filter_complex '[0][1]amerge=inputs=2' -c:a pcm_s16le " +
          ShellQuote(source),
      &status);
  ASSERT_EQ(0, status) << made;
  ASSERT_EQ("", WriteConvertJob(folder, {"--source", source, "--output", output, "--acodec", "RAW", "--raw-audio",
                                         "PC16", "--vcodec", "NONE", "--writer", "[FFM]WAV", "--channels", "2",
                                         "--sample-rate", "44100", "--afilter", "AEQ=" + text}));
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  ASSERT_EQ(0, run.status) << run.output;
  EXPECT_EQ(0u, JobResult(run)) << run.output;

  EXPECT_NEAR(MeanVolumeDb(output, 0) - MeanVolumeDb(source, 0), 20.0 / 15 * 5.92, 0.3);
  EXPECT_NEAR(MeanVolumeDb(output, 1) - MeanVolumeDb(source, 1), -20.0 / 15 * 2.88, 0.3);
}

}  // namespace
