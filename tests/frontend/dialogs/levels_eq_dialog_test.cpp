// The levels, tweak and equaliser dialogs behind their settings interface:
// what they show for a text, presets, spins, sliders and the read-out, the two
// levels messages, what OK writes, and their gallery entries.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <functional>
#include <string>
#include <vector>

#include "frontend/controls/bitmap_slider.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_equalizer.h"
#include "frontend/dialogs/dlg_levels.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"
#include "qt_test_util.h"
#include "tests/frontend/dialogs/filter_dialog_run.h"
#include "tests/test_util/shell_command.h"

namespace {

using Lines = std::vector<std::string>;

struct EditRun {
  HRESULT edit = E_FAIL;
  std::string text;
  Lines lines;  // the text's "key=value" lines
};

// RunFilterEdit with the text's lines.
template <class Dialog>
EditRun RunEdit(Dialog& dialog, const std::string& params,
                const std::function<void(std::type_identity_t<Dialog>&)>& step = {}, bool cancel = false) {
  const FilterEditRun edit = RunFilterEdit(dialog, params, step, cancel);
  EXPECT_EQ(edit.set, S_OK);
  EditRun run{edit.edit, edit.text, {}};
  if (edit.edit == S_OK && !edit.text.empty()) run.lines = ParamTextLines(edit.text);
  return run;
}

void Choose(UiDialog& dialog, int comboId, int index) {
  dialog.ItemAs<QComboBox>(comboId)->setCurrentIndex(index);
  dialog.OnCommand(comboId, CBN_SELCHANGE);
}

// ---- levels ----

TEST(LevelsDialog, AnEmptyTextShowsKeepUnchangedAndWritesTheSixDefaults) {
  CDlgLevels dialog;
  EditRun run = RunEdit<CDlgLevels>(dialog, "", [](CDlgLevels& d) {
    EXPECT_EQ(d.PresetIndex(), 0);
    EXPECT_EQ(d.ItemAs<QComboBox>(IDC_ADJUST_PRESET)->currentText(), "Keep unchanged");
    EXPECT_EQ(d.ItemAs<QComboBox>(IDC_ADJUST_PRESET)->count(), 5);
    EXPECT_EQ(d.ItemText(IDC_LEVELS_INPUT_MIN), "0");
    EXPECT_EQ(d.ItemText(IDC_LEVELS_INPUT_MAX), "255");
    EXPECT_EQ(d.ItemText(IDC_LEVELS_GAMMA), "1.000");
    EXPECT_EQ(d.ItemCheck(IDC_ADJUST_CORING), 0);
    EXPECT_EQ(d.windowTitle(), "LEVELS");
  });
  EXPECT_EQ(run.edit, S_OK);
  EXPECT_EQ(run.lines, (Lines{"SRCMIN=0", "SRCMAX=255", "DSTMIN=0", "DSTMAX=255", "GAMMA=1", "CORING=0"}));
}

TEST(LevelsDialog, AGammaWithinATenThousandthStillSelectsItsPreset) {
  CDlgLevels dialog;
  RunEdit<CDlgLevels>(dialog, "\"SRCMIN\"=0,\"SRCMAX\"=255,\"DSTMIN\"=16,\"DSTMAX\"=235,\"GAMMA\"=F1.00005",
                      [](CDlgLevels& d) {
                        EXPECT_EQ(d.ItemAs<QComboBox>(IDC_ADJUST_PRESET)->currentText(), "PC->TV");
                        EXPECT_EQ(d.ItemText(IDC_LEVELS_GAMMA), "1.000");
                      });
  CDlgLevels none;
  RunEdit<CDlgLevels>(none, "\"DSTMIN\"=20", [](CDlgLevels& d) { EXPECT_EQ(d.PresetIndex(), -1); });
}

TEST(LevelsDialog, AChosenPresetFillsTheFieldsAndIsWritten) {
  CDlgLevels dialog;
  EditRun run = RunEdit<CDlgLevels>(dialog, "", [](CDlgLevels& d) {
    Choose(d, IDC_ADJUST_PRESET, 2);  // "TV->PC"
    EXPECT_EQ(d.ItemText(IDC_LEVELS_INPUT_MIN), "16");
    EXPECT_EQ(d.ItemText(IDC_LEVELS_INPUT_MAX), "235");
    EXPECT_EQ(d.Spin(IDC_LEVELS_INPUT_MIN_SPIN)->GetPos(), 16);
    Choose(d, IDC_ADJUST_PRESET, 4);  // "Invert the image": minimum above maximum is fine
    EXPECT_EQ(d.ItemText(IDC_LEVELS_OUTPUT_MIN), "255");
    EXPECT_EQ(d.ItemText(IDC_LEVELS_OUTPUT_MAX), "0");
    EXPECT_EQ(d.ItemCheck(IDC_ADJUST_CORING), 1);
  });
  EXPECT_EQ(run.lines, (Lines{"SRCMIN=0", "SRCMAX=255", "DSTMIN=255", "DSTMAX=0", "GAMMA=1", "CORING=1"}));
}

TEST(LevelsDialog, OkRefusesBadLevelsThenBadGammasAndStaysOpen) {
  MessageBoxRecorder boxes;
  CDlgLevels dialog;
  struct Step {
    const char* outputMin;
    const char* gamma;
    const char* message;  // null: accepted
  };
  const Step steps[] = {
      {"256", "1.0", kLevelsRangeMessage},
      {"-1", "1.0", kLevelsRangeMessage},
      {"0", "0.005", kGammaRangeMessage},
      {"0", "10.5", kGammaRangeMessage},
      {"0", "nan", kGammaRangeMessage},
      {"0", "abc", kGammaRangeMessage},
      {"0", "0.01", nullptr},
  };
  EditRun run = RunEdit<CDlgLevels>(dialog, "", [&](CDlgLevels& d) {
    for (const Step& s : steps) {
      boxes.Clear();
      d.SetItemText(IDC_LEVELS_OUTPUT_MIN, s.outputMin);
      d.SetItemText(IDC_LEVELS_GAMMA, s.gamma);
      d.OnCommand(IDOK, BN_CLICKED);
      if (s.message == nullptr) {
        EXPECT_TRUE(boxes.Texts().empty());
        continue;
      }
      ASSERT_EQ(boxes.Texts(), Lines{s.message}) << s.outputMin << " " << s.gamma;
      EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
      EXPECT_EQ(boxes.Shown()[0].caption, AppName());
      EXPECT_TRUE(d.IsOpen());
    }
  });
  EXPECT_EQ(run.edit, S_OK);
  EXPECT_EQ(run.lines, (Lines{"SRCMIN=0", "SRCMAX=255", "DSTMIN=0", "DSTMAX=255", "GAMMA=0.01", "CORING=0"}));

  CDlgLevels top;
  run = RunEdit<CDlgLevels>(top, "", [](CDlgLevels& d) { d.SetItemText(IDC_LEVELS_GAMMA, "10.0"); });
  EXPECT_EQ(run.edit, S_OK);
  EXPECT_EQ(run.lines[4], "GAMMA=10");
}

TEST(LevelsDialog, SpinsStepTheirEditsWithin0To255AndOkReadsTheEdits) {
  CDlgLevels dialog;
  EditRun run = RunEdit<CDlgLevels>(dialog, "\"SRCMAX\"=300", [](CDlgLevels& d) {
    EXPECT_EQ(d.ItemText(IDC_LEVELS_INPUT_MAX), "255") << "the spin holds the value to its range";
    struct Row {
      int edit, spin;
      const char* typed;
      int step;
      const char* shown;
    };
    const Row rows[] = {
        {IDC_LEVELS_INPUT_MIN, IDC_LEVELS_INPUT_MIN_SPIN, "254", 1, "255"},
        {IDC_LEVELS_INPUT_MIN, IDC_LEVELS_INPUT_MIN_SPIN, "255", 1, "255"},
        {IDC_LEVELS_OUTPUT_MIN, IDC_LEVELS_OUTPUT_MIN_SPIN, "-5", 1, "1"},
        {IDC_LEVELS_OUTPUT_MAX, IDC_LEVELS_OUTPUT_MAX_SPIN, "0", -1, "0"},
        {IDC_LEVELS_INPUT_MAX, IDC_LEVELS_INPUT_MAX_SPIN, "100", -1, "99"},
    };
    for (const Row& r : rows) {
      d.SetItemText(r.edit, r.typed);
      d.Spin(r.spin)->Step(r.step);
      EXPECT_EQ(d.ItemText(r.edit), r.shown) << r.typed << " " << r.step;
      EXPECT_EQ(d.Spin(r.spin)->GetPos(), d.ItemText(r.edit).toInt());
    }
    d.SetItemText(IDC_LEVELS_INPUT_MIN, " 12xyz");  // read as atoi reads
    d.SetItemText(IDC_LEVELS_GAMMA, "2.5e0");
    d.SetItemCheck(IDC_ADJUST_CORING, 1);
  });
  EXPECT_EQ(run.lines, (Lines{"SRCMIN=12", "SRCMAX=99", "DSTMIN=1", "DSTMAX=0", "GAMMA=2.5", "CORING=1"}));
}

TEST(LevelsDialog, TheSettingsProtocol) {
  CDlgLevels dialog;
  uint32_t length = 0;
  EXPECT_EQ(dialog.GetParams(nullptr, &length), SETUP_E_NO_SETTINGS);
  EXPECT_EQ(dialog.SetParams(nullptr, 4), E_POINTER);
  EditRun cancelled = RunEdit<CDlgLevels>(
      dialog, "\"SRCMIN\"=5", [](CDlgLevels& d) { Choose(d, IDC_ADJUST_PRESET, 1); }, true);
  EXPECT_EQ(cancelled.edit, S_FALSE);
  EXPECT_EQ(dialog.GetParams(nullptr, &length), SETUP_E_NO_SETTINGS);
  EXPECT_EQ(dialog.Params().inputMin, 5) << "Cancel keeps nothing";
  EditRun accepted = RunEdit<CDlgLevels>(dialog, "");
  ASSERT_EQ(accepted.edit, S_OK);
  length = 0;
  EXPECT_EQ(dialog.GetParams(nullptr, &length), SETUP_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, accepted.text.size() + 1);
  EXPECT_LT(length, 1024u);
  // Created as a settings object for a filter list.
  std::unique_ptr<IFilterSetup> setup = CreateLevelsSetup();
  EXPECT_NE(dynamic_cast<CDlgLevels*>(setup.get()), nullptr);
}

// ---- tweak ----

TEST(TweakDialog, AnEmptyTextShowsTheMiddleAndWritesTheDefaults) {
  CDlgTweak dialog;
  EditRun run = RunEdit<CDlgTweak>(dialog, "", [](CDlgTweak& d) {
    for (int id : {IDC_TWEAK_HUE, IDC_TWEAK_SATURATION, IDC_TWEAK_BRIGHTNESS, IDC_TWEAK_CONTRAST}) {
      EXPECT_EQ(d.Slider(id)->GetPos(), 0) << id;
      EXPECT_EQ(d.Slider(id)->minimum(), -100);
      EXPECT_EQ(d.Slider(id)->maximum(), 100);
      EXPECT_EQ(d.Slider(id)->pageStep(), 10);
    }
    EXPECT_EQ(d.ItemCheck(IDC_ADJUST_CORING), 1);
    EXPECT_EQ(d.windowTitle(), "TWEAK");
  });
  EXPECT_EQ(run.edit, S_OK);
  EXPECT_EQ(run.lines, (Lines{"HUE=0", "SAT=1", "BRIGHT=0", "CONTRAST=1", "CORING=1"}));
}

TEST(TweakDialog, ValuesGoThroughTheirSliderPositions) {
  CDlgTweak dialog;
  EditRun run = RunEdit<CDlgTweak>(dialog, "\"HUE\"=F-100,\"SAT\"=F2.5,\"BRIGHT\"=F50,\"CONTRAST\"=F0.5,\"CORING\"=0",
                                   [](CDlgTweak& d) {
                                     EXPECT_EQ(d.Slider(IDC_TWEAK_HUE)->GetPos(), -56);
                                     EXPECT_EQ(d.Slider(IDC_TWEAK_SATURATION)->GetPos(), 17);
                                     EXPECT_EQ(d.Slider(IDC_TWEAK_BRIGHTNESS)->GetPos(), 20);
                                     EXPECT_EQ(d.Slider(IDC_TWEAK_CONTRAST)->GetPos(), -50);
                                     EXPECT_EQ(d.ItemCheck(IDC_ADJUST_CORING), 0);
                                   });
  EXPECT_EQ(run.lines, (Lines{"HUE=-100.8", "SAT=2.53", "BRIGHT=51", "CONTRAST=0.5", "CORING=0"}));
}

TEST(TweakDialog, ResetCentresTheSlidersAndLeavesCoring) {
  CDlgTweak dialog;
  EditRun run = RunEdit<CDlgTweak>(dialog, "\"HUE\"=F90,\"SAT\"=F0.2,\"CORING\"=1", [](CDlgTweak& d) {
    d.Slider(IDC_TWEAK_BRIGHTNESS)->SetPos(80);
    d.SetItemCheck(IDC_ADJUST_CORING, 0);
    d.OnCommand(IDC_TWEAK_RESET, BN_CLICKED);
    for (int id : {IDC_TWEAK_HUE, IDC_TWEAK_SATURATION, IDC_TWEAK_BRIGHTNESS, IDC_TWEAK_CONTRAST})
      EXPECT_EQ(d.Slider(id)->GetPos(), 0) << id;
    EXPECT_EQ(d.ItemCheck(IDC_ADJUST_CORING), 0);
  });
  EXPECT_EQ(run.lines, (Lines{"HUE=0", "SAT=1", "BRIGHT=0", "CONTRAST=1", "CORING=0"}));
  std::unique_ptr<IFilterSetup> setup = CreateTweakSetup();
  EXPECT_NE(dynamic_cast<CDlgTweak*>(setup.get()), nullptr);
}

// ---- equaliser ----

const Lines kNeutralLines = {"DB0=31", "DB1=31", "DB2=31", "DB3=31", "DB4=31", "DB5=31",
                             "DB6=31", "DB7=31", "DB8=31", "DB9=31", "DB10=31"};

class EqualizerDialogTest : public testing::Test {
 protected:
  void SetUp() override { SetResourceFolder(TRIVOX_STAGE_DIR "/resource"); }
};

TEST_F(EqualizerDialogTest, AnEmptyTextSelectsFlatAndWritesElevenNeutralSettings) {
  CDlgEqualizer dialog;
  EditRun run = RunEdit<CDlgEqualizer>(dialog, "", [](CDlgEqualizer& d) {
    EXPECT_EQ(d.windowTitle(), "EQUALIZER");
    auto* combo = d.ItemAs<QComboBox>(IDC_EQ_PRESET);
    EXPECT_EQ(combo->count(), 18);
    EXPECT_EQ(combo->currentText(), "Flat");
    for (int i = 0; i < kEqualizerSettings; ++i) {
      CBitmapSlider* s = d.Slider(i);
      EXPECT_TRUE(s->IsVertical());
      EXPECT_EQ(s->GetRangeMin(), 0);
      EXPECT_EQ(s->GetRangeMax(), 63);
      EXPECT_EQ(s->GetPos(), 31);
      EXPECT_TRUE(s->HasChannel() && s->HasThumb()) << i;
    }
  });
  EXPECT_EQ(run.edit, S_OK);
  EXPECT_EQ(run.lines, kNeutralLines);
}

TEST_F(EqualizerDialogTest, ValuesOfAPresetSelectItAndMovingASliderLeavesTheSelection) {
  const std::string rock = EqualizerParamText(EqualizerPresets()[13].settings);
  CDlgEqualizer dialog;
  EditRun run = RunEdit<CDlgEqualizer>(dialog, rock, [](CDlgEqualizer& d) {
    EXPECT_EQ(d.ItemAs<QComboBox>(IDC_EQ_PRESET)->currentText(), "Rock");
    d.Slider(0)->SetPos(5);
    EXPECT_EQ(d.ItemAs<QComboBox>(IDC_EQ_PRESET)->currentText(), "Rock");
  });
  EXPECT_EQ(run.lines, (Lines{"DB0=5", "DB1=24", "DB2=41", "DB3=45", "DB4=38", "DB5=25", "DB6=17", "DB7=14", "DB8=14",
                              "DB9=14", "DB10=31"}));
  CDlgEqualizer none;
  RunEdit<CDlgEqualizer>(none, "\"DB3\"=0", [](CDlgEqualizer& d) { EXPECT_EQ(d.PresetIndex(), -1); });
}

TEST_F(EqualizerDialogTest, PresetsMoveTheSlidersAndResetGoesBackToFlat) {
  CDlgEqualizer dialog;
  EditRun run = RunEdit<CDlgEqualizer>(dialog, "\"DB10\"=50,\"DB2\"=300", [](CDlgEqualizer& d) {
    EXPECT_EQ(d.Slider(2)->GetPos(), 63) << "held to the range";
    EXPECT_EQ(d.Slider(10)->GetPos(), 50);
    Choose(d, IDC_EQ_PRESET, 6);  // "Full Treble"
    for (int i = 0; i < kEqualizerSettings; ++i)
      EXPECT_EQ(d.Slider(i)->GetPos(), EqualizerPresets()[6].settings[size_t(i)]);
    d.ItemAs<QComboBox>(IDC_EQ_PRESET)->setCurrentIndex(-1);
    d.OnCommand(IDC_EQ_PRESET, CBN_SELCHANGE);  // nothing selected: ignored
    EXPECT_EQ(d.Slider(9)->GetPos(), 4);
    d.OnCommand(IDC_EQ_RESET, BN_CLICKED);
    EXPECT_EQ(d.PresetIndex(), 3);
  });
  EXPECT_EQ(run.lines, kNeutralLines);
}

TEST_F(EqualizerDialogTest, DraggingABandShowsItsGain) {
  CDlgEqualizer dialog;
  RunEdit<CDlgEqualizer>(
      dialog, "",
      [](CDlgEqualizer& d) {
        CBitmapSlider* band = d.Slider(4);
        const auto send = [band](QEvent::Type type, int y) {
          const QPointF at(5, y);
          QMouseEvent e(type, at, band->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
          QApplication::sendEvent(band, &e);
        };
        send(QEvent::MouseButtonPress, band->PixelOfPosition(31));
        struct Row {
          int position;
          const char* shown;
        };
        // The first pixel that gives a position (pixels and positions do
        // not map one to one).
        const auto pixelFor = [band](int position) {
          for (int y = 0; y < band->height(); ++y)
            if (band->PositionOfPixel(y) == position) return y;
          return -1;
        };
        for (const Row& r : {Row{0, "+12.0 dB"}, Row{63, "-12.0 dB"}, Row{31, "+0.0 dB"}, Row{32, "-0.2 dB"}}) {
          send(QEvent::MouseMove, pixelFor(r.position));
          EXPECT_EQ(band->GetPos(), r.position);
          EXPECT_TRUE(WaitUntil([&] { return d.ItemText(IDC_EQ_READOUT) == r.shown; }))
              << r.position << " shows " << d.ItemText(IDC_EQ_READOUT).toStdString();
        }
        send(QEvent::MouseButtonRelease, band->PixelOfPosition(32));
      },
      true);
}

TEST_F(EqualizerDialogTest, TheSlidersStandOnThePaintedScale) {
  CDlgEqualizer dialog;
  RunEdit<CDlgEqualizer>(
      dialog, "\"DB4\"=0",
      [](CDlgEqualizer& d) {
        EXPECT_EQ(d.Slider(10)->geometry(), QRect(20, 46, 11, 106)) << "the preamplifier leftmost";
        for (int k = 0; k < kEqualizerBands; ++k) EXPECT_EQ(d.Slider(k)->geometry().left(), 76 + 27 * k);
        const QImage shot = d.Client()->grab().toImage();
        SaveArtifact(shot, "equalizer.png");
        const QColor face = d.palette().color(QPalette::Window);
        // Ticks beside band 0 (a = 90) at +12, 0 and -12 dB.
        for (int y : {50, 99, 147}) {
          EXPECT_FALSE(Near(shot.pixelColor(88, y), face, 40)) << y;
          EXPECT_FALSE(Near(shot.pixelColor(74, y), face, 40)) << y;
          EXPECT_TRUE(Near(shot.pixelColor(88, y + 2), face, 8)) << y;
        }
        EXPECT_GT(CountOtherThan(shot, QRect(42, 45, 30, 10), face), 5) << "\"+12 db\"";
        EXPECT_GT(CountOtherThan(shot, QRect(15, 156, 40, 10), face), 5) << "\"PREAMP\"";
        // Band 4's thumb at the top (+12 dB), band 5's in the middle.
        const int a4 = 90 + 27 * 4;
        EXPECT_TRUE(Near(shot.pixelColor(a4 - 11, 46 + 2), QColor(192, 192, 192)));
        EXPECT_FALSE(Near(shot.pixelColor(a4 + 27 - 11, 46 + 2), QColor(192, 192, 192)));
        EXPECT_LT(d.ItemRect(IDC_EQ_PRESET).top(), d.Client()->height());
        EXPECT_GT(d.ItemRect(IDC_EQ_PRESET).top(), 166) << "the list sits below the scale";
      },
      true);
  std::unique_ptr<IFilterSetup> setup = CreateEqualizerSetup();
  EXPECT_NE(dynamic_cast<CDlgEqualizer*>(setup.get()), nullptr);
}

// ---- gallery ----

Lines KeyLines(const std::string& output, const std::string& first) {
  Lines out;
  size_t start = 0;
  bool on = false;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    if (line.rfind(first + "=", 0) == 0) on = true;
    if (on && line.find('=') != std::string::npos && line.rfind("message:", 0) != 0) out.push_back(line);
    start = end + 1;
  }
  return out;
}

std::string Printed(const std::string& output, const std::string& key) {
  const size_t at = output.find("\n" + key + "=") != std::string::npos ? output.find("\n" + key + "=") + 1
                    : output.rfind(key + "=", 0) == 0                  ? 0
                                                                       : std::string::npos;
  if (at == std::string::npos) return "<none>";
  const size_t from = at + key.size() + 1;
  return output.substr(from, output.find('\n', from) - from);
}

TEST(EqualizerGallery, ANeutralEqualizerPrintsElevenThirtyOnes) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/gallery_equalizer.png";
  CommandRun run = RunStagedTool("velmo-gallery", {"equalizer", "--accept", "--screenshot", picture});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Printed(run.output, "preset"), "Flat");
  EXPECT_EQ(Printed(run.output, "result"), "OK");
  EXPECT_EQ(KeyLines(run.output, "DB0"), kNeutralLines);
  EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull());

  run = RunStagedTool("velmo-gallery", {"equalizer", "--preset", "Rock", "--drag", "10:0", "--accept"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Printed(run.output, "readout"), "+12.0 dB");
  EXPECT_EQ(KeyLines(run.output, "DB0"), (Lines{"DB0=19", "DB1=24", "DB2=41", "DB3=45", "DB4=38", "DB5=25", "DB6=17",
                                                "DB7=14", "DB8=14", "DB9=14", "DB10=0"}));
  run = RunStagedTool("velmo-gallery", {"equalizer", "--drag", "11:0"});
  EXPECT_EQ(run.status, 2);
}

TEST(LevelsGallery, LevelsAndTweakPrintTheirKeys) {
  CommandRun run = RunStagedTool("velmo-gallery", {"levels", "--preset", "PC->TV", "--accept"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Printed(run.output, "preset"), "Keep unchanged");
  EXPECT_EQ(KeyLines(run.output, "SRCMIN"),
            (Lines{"SRCMIN=0", "SRCMAX=255", "DSTMIN=16", "DSTMAX=235", "GAMMA=1", "CORING=0"}));
  run = RunStagedTool("velmo-gallery", {"levels", "--gamma", "20", "--accept"});
  EXPECT_NE(run.output.find("Gamma should between 0.01-10.0!"), std::string::npos) << run.output;
  EXPECT_EQ(Printed(run.output, "result"), "CANCEL");

  run = RunStagedTool("velmo-gallery", {"tweak", "--params", "\"SAT\"=F2.5", "--accept"});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Printed(run.output, "positions"), "0,17,0,0");
  EXPECT_EQ(KeyLines(run.output, "HUE"), (Lines{"HUE=0", "SAT=2.53", "BRIGHT=0", "CONTRAST=1", "CORING=1"}));
}

}  // namespace
