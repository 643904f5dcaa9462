// The "Advance settings" dialog and its settings object: rows and groups
// laid out from the options, values shown and edited through the combos with
// the LIMIT combinations, and the settings interface's contract.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "frontend/controls/option_combo.h"
#include "frontend/dialogs/adv_codec_setup.h"
#include "frontend/dialogs/dlg_advance_settings.h"
#include "frontend/model/param_text.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"

namespace {

using L = AdvanceLayout;

OptionDesc Opt(const std::string& name, int32_t type, const std::string& values, const std::string& def,
               bool editable = false, const std::string& unit = "") {
  OptionDesc o;
  o.name = name;
  o.displayName = name;
  o.type = type;
  o.valueText = values;
  o.values = SplitCommaList(values);
  o.defaultValue = def;
  o.editable = editable ? 1 : 0;
  o.unit = unit;
  return o;
}

OptionDesc Editable(const std::string& name, int32_t min, int32_t max, int32_t div, const std::string& def) {
  OptionDesc o = Opt(name, kOptionInt, "", def, true, "pixels");
  o.minInt = min;
  o.maxInt = max;
  o.div = div;
  return o;
}

OptionDesc Hidden(OptionDesc o) {
  o.visible = 0;
  return o;
}

// Four main keys and six others, one of each hidden among them.
std::vector<OptionDesc> TenRows() {
  OptionDesc fps = Opt("FRAMERATE", kOptionFloat, "0,25,29.97", "0", false, "fps");
  fps.words = {{"0", "Original"}};
  return {Editable("WIDTH", 16, 1920, 16, "720"),
          Opt("GOP", kOptionInt, "12,15,25", "12", true, "frames"),
          Editable("HEIGHT", 16, 1088, 2, "576"),
          Hidden(Opt("SECRET", kOptionInt, "1", "1")),
          Opt("BITRATE", kOptionInt, "1000,2000", "1000", false, "kbps"),
          fps,
          Opt("FCC", kOptionText, "XVID,DIVX", "XVID"),
          Opt("B1", kOptionInt, "0,1", "0"),
          Opt("B2", kOptionInt, "0,1", "1"),
          Opt("B3", kOptionFloat, "0.5,1", "1"),
          Hidden(Opt("VOL", kOptionInt, "100", "100")),
          Opt("B4", kOptionText, "a,b", "b")};
}

const std::vector<std::string> kNoLimits;

// Runs the dialog; step sees it open, then the dialog is ended with OK or Cancel.
int RunDialog(CDlgAdvanceSettings& dialog, const std::function<void(CDlgAdvanceSettings&)>& step, int end = IDOK) {
  ModalScript script;
  script.Then([&](UiDialog& d) {
    step(static_cast<CDlgAdvanceSettings&>(d));
    d.OnCommand(end, BN_CLICKED);
  });
  return dialog.DoModal();
}

std::vector<QLabel*> Labels(CDlgAdvanceSettings& d) {
  std::vector<QLabel*> out;
  for (QObject* child : d.Client()->children())
    if (auto* label = qobject_cast<QLabel*>(child)) out.push_back(label);
  return out;
}

QLabel* LabelAt(CDlgAdvanceSettings& d, int x, int y) {
  for (QLabel* label : Labels(d))
    if (label->geometry().topLeft() == QPoint(x, y)) return label;
  return nullptr;
}

TEST(AdvanceSettings, FourCommonAndSixExtraRows) {
  const std::vector<OptionDesc> options = TenRows();
  CDlgAdvanceSettings dialog;
  dialog.SetOptions(&options, &kNoLimits);
  dialog.LoadParams("\"WIDTH\"=640,\"FCC\"=\"DIVX\"");
  bool ran = false;
  RunDialog(dialog, [&](CDlgAdvanceSettings& d) {
    ran = true;
    // The rows in descriptor order, main keys first; hidden options have none.
    std::vector<std::string> keys;
    for (COptionCombo* c : d.Combos()) keys.push_back(c->GetOptionName());
    EXPECT_EQ(keys, (std::vector<std::string>{"WIDTH", "HEIGHT", "BITRATE", "FRAMERATE", "GOP", "FCC", "B1", "B2", "B3",
                                              "B4"}));
    for (size_t i = 0; i < d.Combos().size(); ++i) {
      const int top = i < 4 ? L::kFirstRowTop + 25 * static_cast<int>(i) : 151 + 25 * static_cast<int>(i - 4);
      COptionCombo* combo = d.Combos()[i];
      EXPECT_EQ(combo->geometry().topLeft(), QPoint(140, top)) << combo->GetOptionName();
      EXPECT_EQ(combo->width(), 160);
      QLabel* label = LabelAt(d, 20, top);
      ASSERT_NE(label, nullptr) << combo->GetOptionName();
      EXPECT_EQ(label->text().toStdString(), combo->Option().displayName + ":");
      EXPECT_EQ(label->size(), QSize(100, 20));
      EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
      QLabel* unit = LabelAt(d, 310, top);
      ASSERT_NE(unit, nullptr);
      EXPECT_EQ(unit->text().toStdString(), combo->Option().unit);
      EXPECT_EQ(unit->size(), QSize(40, 20));
    }
    ASSERT_NE(d.CommonGroup(), nullptr);
    EXPECT_EQ(d.CommonGroup()->title(), "Common settings");
    EXPECT_EQ(d.CommonGroup()->geometry(), QRect(QPoint(11, 11), QPoint(359, 130)));  // bottom 25 * 4 + 31
    ASSERT_NE(d.ExtraGroup(), nullptr);
    EXPECT_EQ(d.ExtraGroup()->title(), "Extra settings");
    EXPECT_EQ(d.ExtraGroup()->geometry(), QRect(QPoint(11, 136), QPoint(359, 305)));  // 151 - 15 .. 151 + 150 + 5
    EXPECT_EQ(d.ContentEnd(), 316);
    EXPECT_EQ(d.ItemRect(IDOK), QRect(180, 316, 80, 25));
    EXPECT_EQ(d.ItemRect(IDCANCEL), QRect(280, 316, 80, 25));
    EXPECT_EQ(d.Client()->height(), 316 + 35);
    EXPECT_GE(d.Client()->width(), 371);
    EXPECT_EQ(d.windowTitle(), "Advance settings");

    // Every value shown: fitted from the text or its DEFAULT.
    EXPECT_EQ(d.ComboFor("WIDTH")->currentText(), "640");
    EXPECT_EQ(d.ComboFor("HEIGHT")->currentText(), "576");
    EXPECT_EQ(d.ComboFor("FRAMERATE")->currentText(), "Original");
    EXPECT_EQ(d.ComboFor("FCC")->currentText(), "DIVX");
    EXPECT_EQ(d.ComboFor("B3")->currentText(), "1");
    EXPECT_EQ(d.ComboFor("B4")->currentText(), "b");
    EXPECT_TRUE(d.ComboFor("GOP")->isEditable());
    EXPECT_FALSE(d.ComboFor("B1")->isEditable());

    // The picture: text in the rows' label and value boxes, the group frames.
    QImage image = d.grab().toImage();
    SaveArtifact(image, "advance_ten_rows.png");
    const QColor background = d.palette().color(QPalette::Window);
    for (COptionCombo* combo : d.Combos()) {
      const QRect row = combo->geometry();
      EXPECT_GT(CountOtherThan(image, QRect(20, row.top() + 3, 90, 14), background), 5) << combo->GetOptionName();
      EXPECT_GT(CountOtherThan(image, row.adjusted(4, 4, -24, -4), background), 20) << combo->GetOptionName();
    }
    EXPECT_GT(CountOtherThan(image, QRect(11, 40, 3, 80), background, 12), 60);  // the common group's left edge
  });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(dialog.Combos().empty());  // the generated controls go with the window
  EXPECT_EQ(ParamListText(dialog.Params()),
            "\"WIDTH\"=640,\"GOP\"=12,\"HEIGHT\"=576,\"SECRET\"=1,\"BITRATE\"=1000,\"FRAMERATE\"=D0000000000000000,"
            "\"FCC\"=\"DIVX\",\"B1\"=0,\"B2\"=1,\"B3\"=D000000000000F03F,\"VOL\"=100,\"B4\"=\"b\"");
}

TEST(AdvanceSettings, GroupsFollowWhatTheDescriptionHolds) {
  struct Case {
    std::vector<OptionDesc> options;
    int rows;
    bool common, extra;
    int end;
    int firstTop;
  };
  const Case cases[] = {
      // Only main keys: "Common settings" alone.
      {{Opt("SAMPLERATE", kOptionInt, "44100", "44100"), Opt("CHANNEL", kOptionInt, "2", "2"),
        Hidden(Opt("ARAWFCC", kOptionText, "PC16", "PC16"))},
       2,
       true,
       false,
       25 * 2 + 41,
       28},
      // Only other options: rows without any group box.
      {{Opt("GOP", kOptionInt, "12", "12"), Opt("B", kOptionInt, "1", "1"), Opt("C", kOptionInt, "1", "1")},
       3,
       false,
       false,
       20 + 25 * 3 + 15,
       20},
      // Everything hidden: only OK and Cancel.
      {{Hidden(Opt("GOP", kOptionInt, "12", "12"))}, 0, false, false, 35, 0},
      {{}, 0, false, false, 35, 0},
  };
  for (const Case& c : cases) {
    CDlgAdvanceSettings dialog;
    dialog.SetOptions(&c.options, &kNoLimits);
    dialog.LoadParams("");
    RunDialog(dialog, [&](CDlgAdvanceSettings& d) {
      EXPECT_EQ(static_cast<int>(d.Combos().size()), c.rows);
      EXPECT_EQ(d.CommonGroup() != nullptr, c.common);
      EXPECT_EQ(d.ExtraGroup() != nullptr, c.extra);
      EXPECT_EQ(d.ContentEnd(), c.end);
      EXPECT_EQ(d.ItemRect(IDOK), QRect(180, c.end, 80, 25));
      EXPECT_EQ(d.Client()->height(), c.end + 35);
      if (c.rows > 0) {
        EXPECT_EQ(d.Combos()[0]->y(), c.firstTop);
      }
    });
  }
  // Without lists nothing is built: the buttons stay where the template puts them.
  CDlgAdvanceSettings bare;
  const QRect templateOk = bare.ItemRect(IDOK);
  const QSize templateSize = bare.Client()->size();
  RunDialog(bare, [&](CDlgAdvanceSettings& d) {
    EXPECT_TRUE(d.Combos().empty());
    EXPECT_EQ(d.ItemRect(IDOK), templateOk);
    EXPECT_EQ(d.Client()->size(), templateSize);
  });
}

TEST(AdvanceSettings, TitlesNameTheWindowAndTheSecondGroup) {
  const std::vector<OptionDesc> options = TenRows();
  CDlgAdvanceSettings dialog;
  dialog.SetOptions(&options, &kNoLimits);
  dialog.SetTitles("Crop settings " + std::string(100, 'x'), "Bands");
  dialog.LoadParams("");
  RunDialog(dialog, [](CDlgAdvanceSettings& d) {
    EXPECT_EQ(d.windowTitle().size(), 63);
    EXPECT_TRUE(d.windowTitle().startsWith("Crop settings "));
    ASSERT_NE(d.ExtraGroup(), nullptr);
    EXPECT_EQ(d.ExtraGroup()->title(), "Bands");
    EXPECT_EQ(d.CommonGroup()->title(), "Common settings");
  });
}

TEST(AdvanceSettings, EditsAreValidatedFittedAndResnapped) {
  // Sizes that belong together, each with its rate.
  std::vector<OptionDesc> options = {Editable("WIDTH", 16, 1920, 16, "720"), Editable("HEIGHT", 16, 1088, 2, "576"),
                                     Opt("FRAMERATE", kOptionFloat, "0,15,25,29.97", "0"),
                                     Opt("GOP", kOptionInt, "12,15", "12", true)};
  options[3].minInt = 1;
  options[3].maxInt = 600;
  const std::vector<std::string> limits = {"\"FRAMERATE\"=F25,\"WIDTH\"=720,\"HEIGHT\"=576",
                                           "\"FRAMERATE\"=F29.97,\"WIDTH\"=720,\"HEIGHT\"=480",
                                           "\"WIDTH\"=352,\"HEIGHT\"=288"};
  MessageBoxRecorder boxes;
  CDlgAdvanceSettings dialog;
  dialog.SetOptions(&options, &limits);
  dialog.LoadParams("\"FRAMERATE\"=F25,\"WIDTH\"=720,\"HEIGHT\"=576,\"GOP\"=15");
  RunDialog(dialog, [&](CDlgAdvanceSettings& d) {
    // Picking 29.97 moves the size to the combination that holds it.
    COptionCombo* fps = d.ComboFor("FRAMERATE");
    fps->setCurrentIndex(3);
    emit fps->activated(3);
    EXPECT_EQ(d.ComboFor("HEIGHT")->currentText(), "480");
    // A rate no combination holds: the one without a rate, nearest by size.
    fps->setCurrentIndex(1);
    emit fps->activated(1);
    EXPECT_EQ(d.ComboFor("WIDTH")->currentText(), "352");
    EXPECT_EQ(d.ComboFor("HEIGHT")->currentText(), "288");
    EXPECT_EQ(fps->currentText(), "15");
    EXPECT_TRUE(boxes.Texts().empty());

    // A typed value: refused with its message, then fitted to DIV.
    COptionCombo* gop = d.ComboFor("GOP");
    gop->setEditText("1.5");
    EXPECT_FALSE(gop->CommitEdit());
    gop->setEditText("601");
    EXPECT_FALSE(gop->CommitEdit());
    EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{"The input value should be a valid integer number!",
                                                       "The input value should between 1 and 600!"}));
    EXPECT_EQ(d.Params().GetInt("GOP", 0), 15);  // refusals never reach the list
    gop->setEditText("250");
    EXPECT_TRUE(gop->CommitEdit());
    EXPECT_EQ(d.Params().GetInt("GOP", 0), 250);
    // Back to 25: the combination without a rate is still the nearest.
    fps->setCurrentIndex(2);
    emit fps->activated(2);
    EXPECT_EQ(d.ComboFor("WIDTH")->currentText(), "352");
    EXPECT_EQ(d.ComboFor("HEIGHT")->currentText(), "288");
    // A width typed (the '.' never arrives) and left in the box: OK checks it
    // first, and the size moves to the combination that holds it.
    COptionCombo* width = d.ComboFor("WIDTH");
    width->setFocus();
    width->lineEdit()->selectAll();
    QTest::keyClicks(width, "7.20");
    EXPECT_EQ(width->lineEdit()->text(), "720");
  });
  EXPECT_EQ(dialog.Params().GetInt("WIDTH", 0), 720);
  EXPECT_EQ(dialog.Params().GetInt("HEIGHT", 0), 576);
  EXPECT_EQ(dialog.Params().GetDouble("FRAMERATE", -1), 25.0);
  EXPECT_EQ(dialog.Params().GetInt("GOP", 0), 250);
  EXPECT_EQ(boxes.Texts().size(), 2u);
}

TEST(AdvanceSettings, OkStaysOpenWhileTheTypedValueIsRefused) {
  std::vector<OptionDesc> options = {Editable("WIDTH", 16, 1920, 2, "720")};
  MessageBoxRecorder boxes;
  CDlgAdvanceSettings dialog;
  dialog.SetOptions(&options, &kNoLimits);
  dialog.LoadParams("");
  bool stayed = false;
  ModalScript script;
  script.Then([&](UiDialog& d) {
    auto& adv = static_cast<CDlgAdvanceSettings&>(d);
    COptionCombo* width = adv.ComboFor("WIDTH");
    width->setFocus();
    width->lineEdit()->selectAll();
    QTest::keyClicks(width, "5");
    d.OnCommand(IDOK, BN_CLICKED);
    stayed = d.isVisible();
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(stayed);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"The input value should between 16 and 1920!"});
}

// ---- the settings object ----

TEST(AdvCodecSetup, TextsAndBuffers) {
  CAdvCodecSetup setup;
  uint32_t length = 100;
  EXPECT_EQ(setup.GetParams(nullptr, &length), SETUP_E_NO_SETTINGS);
  EXPECT_EQ(setup.Edit(nullptr), SETUP_E_NO_SETTINGS);
  for (uint32_t given : {3u, 4u}) {  // "abc" with or without its NUL
    ASSERT_EQ(setup.SetParams("abc", given), S_OK);
    length = 0;
    EXPECT_EQ(setup.GetParams(nullptr, &length), SETUP_E_BUFFER_TOO_SMALL);
    EXPECT_EQ(length, 4u);
  }
  char buffer[8] = "xxxxxxx";
  length = 3;
  EXPECT_EQ(setup.GetParams(buffer, &length), SETUP_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, 4u);
  EXPECT_STREQ(buffer, "xxxxxxx");
  length = sizeof(buffer);
  EXPECT_EQ(setup.GetParams(buffer, &length), S_OK);
  EXPECT_EQ(length, 4u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(setup.GetParams(buffer, nullptr), E_POINTER);

  ASSERT_EQ(setup.SetParams(nullptr, 0), S_OK);  // an empty text
  std::string bytes;
  EXPECT_EQ(ReadSetupParams(setup, bytes), S_OK);
  EXPECT_EQ(bytes, std::string(1, '\0'));
  ASSERT_EQ(setup.SetParams("ab\0cd", 5), S_OK);  // a text ends at its NUL
  EXPECT_EQ(ReadSetupParams(setup, bytes), S_OK);
  EXPECT_EQ(bytes, std::string("ab\0", 3));
  EXPECT_EQ(setup.SetParams(nullptr, 5), E_POINTER);
  EXPECT_EQ(setup.Reserved(1, 2), S_OK);
  IFilterSetup& asInterface = setup;
  EXPECT_EQ(asInterface.Reserved(-5, 0), S_OK);
}

TEST(AdvCodecSetup, AttachTellsWhetherThereIsAnythingBeyondTheMainKeys) {
  const std::vector<std::string> limits;
  const std::vector<OptionDesc> mainOnly = {Opt("WIDTH", kOptionInt, "0", "0"), Opt("vol", kOptionInt, "1", "1")};
  const std::vector<OptionDesc> hiddenExtra = {Opt("BITRATE", kOptionInt, "1", "1"),
                                               Hidden(Opt("GOP", kOptionInt, "1", "1"))};
  const std::vector<OptionDesc> withExtra = TenRows();
  CAdvCodecSetup setup;
  EXPECT_EQ(setup.Attach(&mainOnly, &limits), E_NOTIMPL);
  EXPECT_EQ(setup.Attach(&hiddenExtra, &limits), E_NOTIMPL);
  EXPECT_EQ(setup.Attach(nullptr, &limits), E_NOTIMPL);
  EXPECT_EQ(setup.Attach(&withExtra, &limits), S_OK);
  // Attached but with no text yet, or without a LIMIT list: not prepared.
  EXPECT_EQ(setup.Edit(nullptr), SETUP_E_NO_SETTINGS);
  CAdvCodecSetup noLimits;
  noLimits.Attach(&withExtra, nullptr);
  noLimits.SetParams("", 0);
  EXPECT_EQ(noLimits.Edit(nullptr), SETUP_E_NO_SETTINGS);
}

TEST(AdvCodecSetup, EditRunsTheDialogAndKeepsItsTextOnlyOnOk) {
  const std::vector<OptionDesc> options = TenRows();
  CAdvCodecSetup setup;
  ASSERT_EQ(setup.Attach(&options, &kNoLimits), S_OK);
  setup.SetTitles("MPEG-4", "More");
  const std::string start = "\"WIDTH\"=725,\"GOP\"=25";
  setup.SetParams(start.c_str(), static_cast<uint32_t>(start.size() + 1));

  ModalScript script;
  script.Then([](UiDialog& d) {
    EXPECT_EQ(d.TemplateId(), IDD_ADVANCE_SETTINGS);
    EXPECT_EQ(d.windowTitle(), "MPEG-4");
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  script.Then([](UiDialog& d) {
    auto& adv = static_cast<CDlgAdvanceSettings&>(d);
    COptionCombo* b2 = adv.ComboFor("B2");
    b2->setCurrentIndex(0);
    emit b2->activated(0);
    d.OnCommand(IDOK, BN_CLICKED);
  });
  EXPECT_EQ(setup.Edit(nullptr), S_FALSE);
  EXPECT_EQ(*setup.Text(), start);
  EXPECT_EQ(setup.Edit(nullptr), S_OK);
  EXPECT_EQ(script.Unscripted(), 0);
  std::string bytes;
  ASSERT_EQ(ReadSetupParams(setup, bytes), S_OK);
  EXPECT_EQ(bytes,
            std::string("\"WIDTH\"=720,\"GOP\"=25,\"HEIGHT\"=576,\"SECRET\"=1,\"BITRATE\"=1000,\"FRAMERATE\"="
                        "D0000000000000000,\"FCC\"=\"XVID\",\"B1\"=0,\"B2\"=0,\"B3\"=D000000000000F03F,\"VOL\"=100,"
                        "\"B4\"=\"b\"") +
                std::string(1, '\0'));
}

}  // namespace
