// The subtitle dialog behind its settings interface: the 27 keys and their
// defaults, reading flags and types, what the controls show and what OK reads
// back, the character sets, the font dialog, the settings protocol, a dropped
// file, an over-long path; and the gallery entry that prints the keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QSlider>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/dialogs/dlg_subtitle.h"
#include "frontend/dialogs/font_dialog.h"
#include "frontend/model/param_text.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/dialogs/filter_dialog_run.h"
#include "tests/test_util/shell_command.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kDefaultLines = {"maginRectl=20",  "maginRectr=20",  "maginRectt=20",    "maginRectb=20", "scrAlignment=2",
                             "outlineWidth=2", "shadowDepth=3",  "colors0=16777215", "colors2=0",     "colors3=0",
                             "alpha0=0",       "alpha2=0",       "alpha3=128",       "charSet=1",     "fontName=Arial",
                             "fontSize=18",    "fontScaleX=100", "fontScaleY=100",   "fontAngleZ=0",  "fontSpacing=0",
                             "fontWeight=700", "fItalic=0",      "fUnderline=0",     "fStrikeOut=0",  "delay=0",
                             "mul=1",          "SUBFILE="};

// The lines of a text with some replaced ("key=value" by key).
Lines With(Lines lines, const Lines& changes) {
  for (const std::string& change : changes) {
    const std::string key = change.substr(0, change.find('=') + 1);
    for (std::string& line : lines)
      if (line.rfind(key, 0) == 0) line = change;
  }
  return lines;
}

std::string Text(const std::function<void(CParamList&)>& fill) {
  CParamList list;
  fill(list);
  return ParamListText(list);
}

TEST(SubtitleDialog, AnEmptyTextAcceptedAtOnceWritesThe27KeysWithTheirDefaultsInOrder) {
  CDlgSubtitle dialog;
  FilterEditRun run = RunFilterEdit(dialog, "");
  ASSERT_EQ(run.edit, S_OK);
  EXPECT_EQ(ParamTextLines(run.text), kDefaultLines);
  EXPECT_EQ(kDefaultLines.size(), 27u);
  // The secondary colour never appears.
  EXPECT_EQ(run.text.find("colors1"), std::string::npos);
  EXPECT_EQ(run.text.find("alpha1"), std::string::npos);
  // Types as the filter reads them.
  CParamList list;
  ParseParamText(list, run.text);
  EXPECT_EQ(list.GetType("outlineWidth"), PARAM_TYPE_DOUBLE);
  EXPECT_EQ(list.GetType("mul"), PARAM_TYPE_DOUBLE);
  EXPECT_EQ(list.GetType("fItalic"), PARAM_TYPE_INT);
  EXPECT_EQ(list.GetType("SUBFILE"), PARAM_TYPE_STRING);
}

TEST(SubtitleDialog, KeysAreReadWithTheirTypesAndFlagsOnlyForOne) {
  struct Case {
    const char* what;
    std::string params;
    Lines changed;
  };
  const std::vector<Case> cases = {
      {"fItalic 2 is not italic", Text([](CParamList& l) { l.SetInt("fItalic", 2); }), {}},
      {"flags of 1",
       Text([](CParamList& l) {
         l.SetInt("fItalic", 1);
         l.SetInt("fUnderline", 1);
         l.SetInt("fStrikeOut", -1);
       }),
       {"fItalic=1", "fUnderline=1"}},
      {"an integer where a double belongs keeps the default",
       Text([](CParamList& l) { l.SetInt("outlineWidth", 5); }),
       {}},
      {"colour 1 and alpha 1 are dropped",
       Text([](CParamList& l) {
         l.SetInt("colors1", 0x123456);
         l.SetInt("alpha1", 9);
       }),
       {}},
      {"alphas beyond 255 are cut", Text([](CParamList& l) { l.SetInt("alpha3", 300); }), {"alpha3=255"}},
      {"every kind of key",
       Text([](CParamList& l) {
         l.SetInt("maginRectl", 5);
         l.SetInt("maginRectb", 40);
         l.SetInt("scrAlignment", 7);
         l.SetInt("colors0", 0x00FF00);
         l.SetInt("alpha0", 55);
         l.SetInt("charSet", 204);
         l.SetString("fontName", "DejaVu Serif");
         l.SetDouble("fontSize", 24.0);
         l.SetInt("fontWeight", 400);
         l.SetInt("delay", -1500);
         l.SetDouble("mul", 1.25);
         l.SetString("SUBFILE", "/media/film, \"cut\".srt");
       }),
       {"maginRectl=5", "maginRectb=40", "scrAlignment=7", "colors0=65280", "alpha0=55", "charSet=204",
        "fontName=DejaVu Serif", "fontSize=24", "fontWeight=400", "delay=-1500", "mul=1.25",
        "SUBFILE=/media/film, \"cut\".srt"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDlgSubtitle dialog;
    FilterEditRun run = RunFilterEdit(dialog, c.params);
    ASSERT_EQ(run.edit, S_OK);
    EXPECT_EQ(ParamTextLines(run.text), With(kDefaultLines, c.changed));
  }
}

TEST(SubtitleDialog, TheControlsShowTheStyleAndOKReadsThemBack) {
  CDlgSubtitle dialog;
  const std::string params = Text([](CParamList& l) {
    l.SetDouble("outlineWidth", 2.7);
    l.SetDouble("fontAngleZ", 45.0);
    l.SetDouble("mul", 1.0);
    l.SetInt("alpha3", 128);
    l.SetInt("scrAlignment", 7);
    l.SetInt("maginRectr", 33);
    l.SetInt("colors2", 0x0000FF);
    l.SetString("fontName", "DejaVu Sans");
  });
  FilterEditRun run = RunFilterEdit(dialog, params, [](CDlgSubtitle& d) {
    EXPECT_EQ(d.ItemText(IDC_SUB_BORDER_WIDTH), "2");  // truncated
    EXPECT_EQ(d.ItemText(IDC_SUB_ANGLE), "45");
    EXPECT_EQ(d.ItemText(IDC_SUB_FACTOR), "1.00");
    EXPECT_EQ(d.ItemText(IDC_SUB_RIGHT), "33");
    EXPECT_EQ(d.AlphaSlider(IDC_SUB_SHADOW_ALPHA)->value(), 127);
    EXPECT_EQ(d.AlphaSlider(IDC_SUB_TEXT_ALPHA)->value(), 255);
    EXPECT_EQ(d.ItemCheck(IDC_SUB_ALIGN_TL), 1);
    EXPECT_EQ(d.Picker(IDC_SUB_BORDER_COLOUR)->GetColor(), 0x0000FFu);
    EXPECT_EQ(d.Picker(IDC_SUB_TEXT_COLOUR)->GetColor(), 0xFFFFFFu);
    EXPECT_EQ(d.ItemText(IDC_SUB_FONT), "DejaVu Sans");
    EXPECT_EQ(d.FileEdit()->text(), "<You can drag and drop files here>");
    SaveArtifact(d.grab().toImage(), "subtitle_dialog.png");

    // What the user changes.
    d.SetItemText(IDC_SUB_LEFT, "12");
    d.SetItemText(IDC_SUB_TOP, "abc");  // not a number: 0
    d.SetItemText(IDC_SUB_SHADOW_DEPTH, "4.5");
    d.SetItemText(IDC_SUB_SCALE_X, "150");
    d.SetItemText(IDC_SUB_DELAY, "-250");
    d.SetItemText(IDC_SUB_FACTOR, "1,5");  // no locale: reads 1
    d.SetItemCheck(IDC_SUB_ALIGN_TL, 0);
    d.SetItemCheck(IDC_SUB_ALIGN_BR, 1);
    d.AlphaSlider(IDC_SUB_TEXT_ALPHA)->setValue(200);
    d.Picker(IDC_SUB_SHADOW_COLOUR)->SetColor(kDefaultColour);  // "Default": black
    d.Picker(IDC_SUB_TEXT_COLOUR)->SetColor(0x00FFFF);
    d.FileEdit()->SetText("/media/film.srt");
  });
  ASSERT_EQ(run.edit, S_OK);
  EXPECT_EQ(ParamTextLines(run.text),
            With(kDefaultLines, {"maginRectl=12", "maginRectr=33", "maginRectt=0", "scrAlignment=3", "outlineWidth=2",
                                 "shadowDepth=4.5", "colors0=65535", "colors2=255", "alpha0=55", "fontName=DejaVu Sans",
                                 "fontScaleX=150", "fontAngleZ=45", "delay=-250", "mul=1", "SUBFILE=/media/film.srt"}));

  // A second round keeps the text, the angle of 45 among it; the edits show
  // whole numbers, so the shadow depth of 4.5 comes back as 4.
  CDlgSubtitle again;
  FilterEditRun second = RunFilterEdit(again, run.text);
  EXPECT_EQ(ParamTextLines(second.text), With(ParamTextLines(run.text), {"shadowDepth=4"}));
}

TEST(SubtitleDialog, TheCharacterSetListAndItsSelection) {
  CDlgSubtitle dialog;
  std::vector<std::pair<std::string, int>> items;
  FilterEditRun run =
      RunFilterEdit(dialog, Text([](CParamList& l) { l.SetInt("charSet", 129); }), [&](CDlgSubtitle& d) {
        auto* combo = d.ItemAs<QComboBox>(IDC_SUB_CHARSET);
        for (int i = 0; i < combo->count(); ++i)
          items.emplace_back(combo->itemText(i).toStdString(), combo->itemData(i).toInt());
        EXPECT_EQ(combo->currentIndex(), 4);  // HANGEUL before HANGUL
        combo->setCurrentIndex(17);
      });
  const std::vector<std::pair<std::string, int>> expected = {
      {"ANSI (0)", 0},           {"DEFAULT (1)", 1},     {"SYMBOL (2)", 2},         {"SHIFTJIS (128)", 128},
      {"HANGEUL (129)", 129},    {"HANGUL (129)", 129},  {"GB2312 (134)", 134},     {"CHINESEBIG5 (136)", 136},
      {"OEM (255)", 255},        {"JOHAB (130)", 130},   {"HEBREW (177)", 177},     {"ARABIC (178)", 178},
      {"GREEK (161)", 161},      {"TURKISH (162)", 162}, {"VIETNAMESE (163)", 163}, {"THAI (222)", 222},
      {"EASTEUROPE (238)", 238}, {"RUSSIAN (204)", 204}, {"MAC (77)", 77},          {"BALTIC (186)", 186}};
  EXPECT_EQ(items, expected);
  EXPECT_EQ(ParamTextLines(run.text), With(kDefaultLines, {"charSet=204"}));

  // A code the list does not offer selects nothing and is kept.
  CDlgSubtitle other;
  FilterEditRun kept = RunFilterEdit(other, Text([](CParamList& l) { l.SetInt("charSet", 3); }), [](CDlgSubtitle& d) {
    EXPECT_EQ(d.ItemAs<QComboBox>(IDC_SUB_CHARSET)->currentIndex(), -1);
  });
  EXPECT_EQ(ParamTextLines(kept.text), With(kDefaultLines, {"charSet=3"}));
}

TEST(SubtitleDialog, TheFontDialogStartsFromTheStyleAndItsChoiceIsKeptOnlyOnOK) {
  const int dpi = ScreenPixelsPerInchY();
  LogFont seen;
  bool answer = true;
  FontDialogHook previous = SetFontDialogHook([&](QWidget*, LogFont& font) {
    seen = font;
    if (!answer) return false;
    font.faceName = "DejaVu Serif";
    font.height = -MulDiv(30, dpi, 72);
    font.weight = 400;
    font.italic = true;
    font.charSet = 129;
    return true;
  });
  CDlgSubtitle dialog;
  FilterEditRun run =
      RunFilterEdit(dialog, Text([](CParamList& l) { l.SetDouble("fontSize", 17.6); }), [](CDlgSubtitle& d) {
        d.OnCommand(IDC_SUB_FONT, BN_CLICKED);
        EXPECT_EQ(d.ItemText(IDC_SUB_FONT), "DejaVu Serif");
        EXPECT_EQ(d.ItemAs<QComboBox>(IDC_SUB_CHARSET)->currentIndex(), 4);  // HANGEUL, the first 129
      });
  EXPECT_EQ(seen.faceName, "Arial");
  EXPECT_EQ(seen.height, -MulDiv(18, dpi, 72));  // 17.6 rounded
  EXPECT_EQ(seen.weight, 700);
  EXPECT_EQ(seen.charSet, 1);
  EXPECT_FALSE(seen.italic);
  EXPECT_EQ(ParamTextLines(run.text), With(kDefaultLines, {"charSet=129", "fontName=DejaVu Serif", "fontSize=30",
                                                           "fontWeight=400", "fItalic=1"}));

  // A cancelled font dialog changes nothing; nor does a font chosen in a cancelled dialog.
  answer = false;
  CDlgSubtitle second;
  FilterEditRun unchanged = RunFilterEdit(second, "", [](CDlgSubtitle& d) { d.OnCommand(IDC_SUB_FONT, BN_CLICKED); });
  EXPECT_EQ(ParamTextLines(unchanged.text), kDefaultLines);
  answer = true;
  FilterEditRun cancelled = RunFilterEdit(
      second, "", [](CDlgSubtitle& d) { d.OnCommand(IDC_SUB_FONT, BN_CLICKED); }, true);
  EXPECT_EQ(cancelled.edit, S_FALSE);
  EXPECT_EQ(ParamTextLines(RunFilterEdit(second, "").text), kDefaultLines);
  SetFontDialogHook(previous);
}

TEST(SubtitleDialog, SettingsProtocolCancelAndErrors) {
  CDlgSubtitle dialog;
  uint32_t length = 0;
  EXPECT_EQ(dialog.GetParams(nullptr, &length), SETUP_E_NO_SETTINGS);
  EXPECT_EQ(dialog.SetParams(nullptr, 4), E_POINTER);
  EXPECT_EQ(RunFilterEdit(dialog, "", {}, true).edit, S_FALSE);
  EXPECT_EQ(dialog.GetParams(nullptr, &length), SETUP_E_NO_SETTINGS);  // Cancel keeps nothing

  FilterEditRun run = RunFilterEdit(dialog, "");
  ASSERT_EQ(run.edit, S_OK);
  length = 3;
  char small[3];
  EXPECT_EQ(dialog.GetParams(small, &length), SETUP_E_BUFFER_TOO_SMALL);
  EXPECT_EQ(length, run.text.size() + 1);
  std::string buffer(length, 'x');
  EXPECT_EQ(dialog.GetParams(buffer.data(), &length), S_OK);
  EXPECT_EQ(buffer, run.text + std::string(1, '\0'));
  EXPECT_LT(length, 1024u);  // what callers accept

  // A text with its NUL counted, and bytes after it ignored.
  const std::string withNul = std::string("\"fItalic\"=1") + '\0' + "garbage";
  EXPECT_EQ(dialog.SetParams(withNul.data(), static_cast<uint32_t>(withNul.size())), S_OK);
  EXPECT_TRUE(dialog.Params().italic);
}

TEST(SubtitleDialog, ADroppedFileIsTheSubtitleFileAndAnOverlongPathIsRefused) {
  CDlgSubtitle dialog;
  FilterEditRun dropped = RunFilterEdit(dialog, "", [](CDlgSubtitle& d) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/media/a film.srt")});
    QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d.FileEdit(), &enter);
    QDropEvent drop(QPointF(4, 4), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(d.FileEdit(), &drop);
  });
  EXPECT_EQ(ParamTextLines(dropped.text), With(kDefaultLines, {"SUBFILE=/media/a film.srt"}));

  MessageBoxRecorder boxes;
  const std::string tooLong = "/" + std::string(300, 'p') + ".srt";
  bool stayedOpen = false;
  FilterEditRun refused = RunFilterEdit(dialog, "", [&](CDlgSubtitle& d) {
    d.FileEdit()->setFocus();
    d.FileEdit()->SetText(QString::fromStdString(tooLong));
    d.OnCommand(IDOK, BN_CLICKED);
    stayedOpen = d.InModalLoop();
    d.OnCommand(IDCANCEL, BN_CLICKED);
  });
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(refused.edit, S_FALSE);
  ASSERT_EQ(boxes.Texts().size(), 1u);
  EXPECT_NE(boxes.Texts()[0].find("too long"), std::string::npos);
}

TEST(SubtitleDialog, TheGalleryPrintsThe27Keys) {
  const std::string picture = std::string(VELMO_ARTIFACT_DIR) + "/gallery_subtitle.png";
  CommandRun run = RunStagedTool("velmo-gallery", {"subtitle", "--params", "\"fItalic\"=2", "--text-colour", "0000FF",
                                                   "--file", "/media/x.srt", "--accept", "--screenshot", picture});
  ASSERT_EQ(run.status, 0) << run.output;
  Lines printed;
  size_t start = 0;
  while (start < run.output.size()) {
    size_t end = run.output.find('\n', start);
    if (end == std::string::npos) end = run.output.size();
    const std::string line = run.output.substr(start, end - start);
    const size_t equals = line.find('=');
    const bool keyLine = equals != std::string::npos && equals > 0 &&
                         std::all_of(line.begin(), line.begin() + long(equals), [](char c) { return std::isalnum(c); });
    if (keyLine && line.rfind("result=", 0) != 0) printed.push_back(line);  // standard error is mixed in
    start = end + 1;
  }
  EXPECT_NE(run.output.find("result=OK"), std::string::npos);
  EXPECT_EQ(printed, With(kDefaultLines, {"colors0=255", "SUBFILE=/media/x.srt"}));
  EXPECT_FALSE(QImage(QString::fromStdString(picture)).isNull());
}

}  // namespace
