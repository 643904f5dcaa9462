// The watermark settings: the 14 keys and their defaults, the 320-byte
// settings file (layout, round trip, short and unterminated files), and the
// dialog behind its settings interface: what the controls show and what OK
// reads back, placement of a dropped picture, loading and saving "*.wam"
// files, the spin buttons, an over-long path; and the gallery entry.
#include <gtest/gtest.h>

#include <QImage>
#include <QSlider>
#include <QTimeEdit>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "common/param_list.h"
#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/controls/previews.h"
#include "frontend/controls/spin_slider.h"
#include "frontend/dialogs/dlg_watermark.h"
#include "frontend/model/param_text.h"
#include "frontend/model/subtitle_params.h"
#include "frontend/model/watermark_params.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "qt_test_util.h"
#include "tests/frontend/dialogs/filter_dialog_run.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/test_util/shell_command.h"

namespace {

using Lines = std::vector<std::string>;

const Lines kDefaultLines = {"FILENAME=",   "ALPHA=1", "FADEIN=0",  "FADEOUT=0", "BSTART=0",
                             "STARTTIME=0", "BEND=0",  "ENDTIME=0", "BTRANS=0",  "TRANSCOLOR=0",
                             "POSX=0",      "POSY=0",  "ALIGN=9",   "CUSTOM=0"};

Lines With(Lines lines, const Lines& changes) {
  for (const std::string& change : changes) {
    const std::string key = change.substr(0, change.find('=') + 1);
    for (std::string& line : lines)
      if (line.rfind(key, 0) == 0) line = change;
  }
  return lines;
}

WatermarkParams Sample() {
  WatermarkParams p;
  p.fileName = "/pictures/logo.png";
  p.padding[0] = 0xAB;
  p.padding[3] = 0xCD;
  p.alpha = 0.37;
  p.fadeIn = 500;
  p.fadeOut = 750;
  p.useStart = 1;
  p.startTime = 3661;
  p.useEnd = 1;
  p.endTime = 7322;
  p.useTransparent = 1;
  p.transColour = 0x00FF00FF;
  p.posX = -12;
  p.posY = 345;
  p.align = 0;
  p.custom = 0x12345678;
  return p;
}

void ExpectSame(const WatermarkParams& a, const WatermarkParams& b) {
  EXPECT_EQ(a.fileName, b.fileName);
  EXPECT_EQ(0, std::memcmp(a.padding, b.padding, 4));
  EXPECT_EQ(a.alpha, b.alpha);
  EXPECT_EQ(WatermarkParamText(a), WatermarkParamText(b));
}

uint32_t Word(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

TEST(WatermarkParams, AnEmptyTextGivesTheDefaultsAndTheTextHas14KeysInOrder) {
  const WatermarkParams p = LoadWatermarkParams("");
  EXPECT_EQ(9, p.align);
  EXPECT_EQ(1.0, p.alpha);
  const std::string text = WatermarkParamText(p);
  EXPECT_EQ(kDefaultLines, ParamTextLines(text));
  CParamList list;
  ParseParamText(list, text);
  EXPECT_EQ(PARAM_TYPE_STRING, list.GetType("FILENAME"));
  EXPECT_EQ(PARAM_TYPE_DOUBLE, list.GetType("ALPHA"));
  EXPECT_EQ(PARAM_TYPE_INT, list.GetType("TRANSCOLOR"));
  // Every key read back.
  const WatermarkParams sample = Sample();
  ExpectSame(LoadWatermarkParams(WatermarkParamText(sample)), [&] {
    WatermarkParams p2 = sample;
    std::memset(p2.padding, 0, 4);  // the text does not carry the file's padding
    return p2;
  }());
}

TEST(WatermarkParams, TheFileIs320BytesLaidOutLittleEndian) {
  const WatermarkParams p = Sample();
  const std::string bytes = EncodeWatermarkFile(p);
  ASSERT_EQ(320u, bytes.size());
  EXPECT_EQ("/pictures/logo.png", std::string(bytes.c_str()));
  EXPECT_EQ(char(0xAB), bytes[260]);
  EXPECT_EQ(char(0xCD), bytes[263]);
  double alpha = 0;
  std::memcpy(&alpha, bytes.data() + 264, 8);
  EXPECT_EQ(0.37, alpha);
  const std::vector<std::pair<size_t, uint32_t>> words = {
      {272, 500},        {276, 750},           {280, 1},   {284, 3661}, {288, 1},         {292, 7322}, {296, 1},
      {300, 0x00FF00FF}, {304, uint32_t(-12)}, {308, 345}, {312, 0},    {316, 0x12345678}};
  for (const auto& [at, value] : words) EXPECT_EQ(value, Word(bytes, at)) << "offset " << at;

  WatermarkParams back;
  ASSERT_TRUE(DecodeWatermarkFile(bytes, back));
  ExpectSame(p, back);
}

TEST(WatermarkParams, ShortFilesAreRefusedAndTheRecordStaysAsItWas) {
  TempDir dir;
  const WatermarkParams original = Sample();
  const std::string good = dir.File("good.wam");
  ASSERT_TRUE(WriteWatermarkFile(good, original));
  WatermarkParams read;
  ASSERT_TRUE(ReadWatermarkFile(good, read));
  ExpectSame(original, read);

  const std::string bytes = EncodeWatermarkFile(LoadWatermarkParams("\"ALIGN\"=3"));
  for (size_t size : {size_t(0), size_t(1), size_t(264), size_t(319)}) {
    const std::string path = dir.File("short.wam");
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(size));
    WatermarkParams kept = original;
    EXPECT_FALSE(ReadWatermarkFile(path, kept)) << size;
    ExpectSame(original, kept);
  }
  WatermarkParams kept = original;
  EXPECT_FALSE(ReadWatermarkFile(dir.File("missing.wam"), kept));
  EXPECT_FALSE(ReadWatermarkFile(dir.path(), kept)) << "a folder";
  ExpectSame(original, kept);
  // Longer files give their first 320 bytes.
  const std::string longer = dir.File("long.wam");
  std::ofstream(longer, std::ios::binary) << bytes << "trailing";
  ASSERT_TRUE(ReadWatermarkFile(longer, kept));
  EXPECT_EQ(3, kept.align);
  // Unwritable places leave no file.
  EXPECT_FALSE(WriteWatermarkFile(dir.File("no/such/folder/x.wam"), original));
}

TEST(WatermarkParams, AnUnterminatedNameFieldStopsAtItsLastByte) {
  std::string bytes = EncodeWatermarkFile(WatermarkParams{});
  std::memset(bytes.data(), 'a', 264);  // name field and padding without a NUL
  WatermarkParams p;
  ASSERT_TRUE(DecodeWatermarkFile(bytes, p));
  EXPECT_EQ(std::string(259, 'a'), p.fileName);
  // A name longer than the field is cut when encoded, never overrunning it.
  p.fileName = std::string(400, 'b');
  const std::string out = EncodeWatermarkFile(p);
  ASSERT_EQ(320u, out.size());
  EXPECT_EQ('\0', out[259]);
}

// ---- the dialog ----

std::string MakePicture(const TempDir& dir, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(255, 255, 255));
  const std::string path = dir.File("mark.png");
  EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
  return path;
}

int AlignChecked(CDlgWatermark& d) {
  int found = 0;
  for (int i = 0; i < 9; ++i)
    if (d.IsItemChecked(kWatermarkAlignIds[i])) found = i + 1;
  return found;
}

TEST(WatermarkDialog, AnEmptyTextAcceptedAtOnceGivesTheDefaults) {
  CDlgWatermark dialog;
  dialog.SetSource(720, 480, 1.0);
  FilterEditRun run = RunFilterEdit(dialog, "", [](CDlgWatermark& d) {
    EXPECT_EQ(100, d.AlphaSlider()->value());
    EXPECT_EQ(9, AlignChecked(d)) << "top right";
    EXPECT_EQ(0, d.ItemCheck(IDC_WM_CUSTOM_POS));
    for (int id : {IDC_WM_POSX, IDC_WM_POSY, IDC_WM_SPIN_X, IDC_WM_LABEL_X, IDC_WM_START, IDC_WM_END,
                   IDC_WM_USE_FADE_OUT, IDC_WM_FADE_IN, IDC_WM_FADE_OUT})
      EXPECT_FALSE(d.Item(id)->isEnabled()) << id;
    EXPECT_TRUE(d.FileEdit()->ShowsHint());
    EXPECT_EQ(QString::fromUtf8(kWatermarkHint), d.FileEdit()->Hint());
    EXPECT_EQ(kNoTransparentColour, d.Picker()->GetColor());
    EXPECT_FALSE(d.PictureLoaded());
  });
  ASSERT_EQ(S_OK, run.edit);
  EXPECT_EQ(kDefaultLines, ParamTextLines(run.text));
}

TEST(WatermarkDialog, WhatTheControlsShowAndWhatOkReadsBack) {
  struct Case {
    const char* what;
    std::string params;
    std::function<void(CDlgWatermark&)> step;
    Lines expected;
  };
  const std::string sample = WatermarkParamText(Sample());
  const std::vector<Case> cases = {
      {"every key comes back, CUSTOM untouched", sample,
       [](CDlgWatermark& d) {
         EXPECT_EQ(1, d.ItemCheck(IDC_WM_CUSTOM_POS));
         EXPECT_EQ(0, AlignChecked(d));
         EXPECT_TRUE(d.Item(IDC_WM_POSX)->isEnabled());
         EXPECT_EQ(37, d.AlphaSlider()->value());
         EXPECT_EQ(QTime(1, 1, 1), d.TimeEdit(IDC_WM_START)->time());
         EXPECT_EQ(QTime(2, 2, 2), d.TimeEdit(IDC_WM_END)->time());
         EXPECT_TRUE(d.Item(IDC_WM_FADE_OUT)->isEnabled());
         EXPECT_EQ(0x00FF00FFu, d.Picker()->GetColor());
       },
       With(kDefaultLines, {"FILENAME=/pictures/logo.png", "ALPHA=0.37", "FADEIN=500", "FADEOUT=750", "BSTART=1",
                            "STARTTIME=3661", "BEND=1", "ENDTIME=7322", "BTRANS=1", "TRANSCOLOR=16711935", "POSX=-12",
                            "POSY=345", "ALIGN=0", "CUSTOM=305419896"})},
      {"custom position with typed X and Y", "",
       [](CDlgWatermark& d) {
         d.SetItemCheck(IDC_WM_CUSTOM_POS, 1);
         d.OnCommand(IDC_WM_CUSTOM_POS, BN_CLICKED);
         EXPECT_TRUE(d.Item(IDC_WM_POSY)->isEnabled());
         EXPECT_EQ(0, AlignChecked(d));
         d.SetItemText(IDC_WM_POSX, "  -40xyz");
         d.SetItemText(IDC_WM_POSY, "77");
       },
       With(kDefaultLines, {"POSX=-40", "POSY=77", "ALIGN=0"})},
      {"unchecking custom position goes back to top right", "\"ALIGN\"=0",
       [](CDlgWatermark& d) {
         d.SetItemCheck(IDC_WM_CUSTOM_POS, 0);
         d.OnCommand(IDC_WM_CUSTOM_POS, BN_CLICKED);
         EXPECT_EQ(9, AlignChecked(d));
         EXPECT_FALSE(d.Item(IDC_WM_POSX)->isEnabled());
       },
       kDefaultLines},
      {"an anchor clicked", "", [](CDlgWatermark& d) { d.OnCommand(1202, BN_CLICKED); },
       With(kDefaultLines, {"ALIGN=2"})},
      {"a transparent colour of None writes 0 and 0", WatermarkParamText(Sample()),
       [](CDlgWatermark& d) {
         d.Picker()->SetColor(kNoTransparentColour);
         d.SetItemCheck(IDC_WM_CUSTOM_POS, 0);
         d.OnCommand(IDC_WM_CUSTOM_POS, BN_CLICKED);
         d.SetItemText(IDC_WM_POSX, "0");
         d.SetItemText(IDC_WM_POSY, "0");
       },
       With(kDefaultLines, {"FILENAME=/pictures/logo.png", "ALPHA=0.37", "FADEIN=500", "FADEOUT=750", "BSTART=1",
                            "STARTTIME=3661", "BEND=1", "ENDTIME=7322", "CUSTOM=305419896"})},
      {"a colour picked from the preview", "",
       [](CDlgWatermark& d) { SendMessage(d.Handle(), WM_WATERMARK_PICK_COLOR, 0x123456, 0); },
       With(kDefaultLines, {"BTRANS=1", "TRANSCOLOR=1193046"})},
      {"times, fades and opacity", "",
       [](CDlgWatermark& d) {
         d.SetItemCheck(IDC_WM_USE_START, 1);
         d.OnCommand(IDC_WM_USE_START, BN_CLICKED);
         EXPECT_TRUE(d.Item(IDC_WM_START)->isEnabled());
         d.TimeEdit(IDC_WM_START)->setTime(QTime(0, 1, 30));
         d.SetItemCheck(IDC_WM_USE_END, 1);
         d.OnCommand(IDC_WM_USE_END, BN_CLICKED);
         EXPECT_TRUE(d.Item(IDC_WM_USE_FADE_OUT)->isEnabled());
         EXPECT_FALSE(d.Item(IDC_WM_FADE_OUT)->isEnabled());
         d.TimeEdit(IDC_WM_END)->setTime(QTime(0, 2, 0));
         d.SetItemCheck(IDC_WM_USE_FADE_IN, 1);
         d.OnCommand(IDC_WM_USE_FADE_IN, BN_CLICKED);
         EXPECT_TRUE(d.Item(IDC_WM_FADE_IN_MS)->isEnabled());
         d.SetItemText(IDC_WM_FADE_IN, "250");
         d.SetItemText(IDC_WM_FADE_OUT, "900");  // its box stays clear: no fade-out
         d.AlphaSlider()->setValue(55);
       },
       With(kDefaultLines, {"ALPHA=0.55", "FADEIN=250", "BSTART=1", "STARTTIME=90", "BEND=1", "ENDTIME=120"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CDlgWatermark dialog;
    dialog.SetSource(320, 240, 1.0);
    FilterEditRun run = RunFilterEdit(dialog, c.params, c.step);
    ASSERT_EQ(S_OK, run.edit);
    EXPECT_EQ(c.expected, ParamTextLines(run.text));
  }
}

TEST(WatermarkDialog, CancelKeepsNothingAndTheProtocolHoldsNoText) {
  CDlgWatermark dialog;
  FilterEditRun run = RunFilterEdit(
      dialog, "\"ALIGN\"=4", [](CDlgWatermark& d) { d.OnCommand(1203, BN_CLICKED); }, true);
  EXPECT_EQ(S_FALSE, run.edit);
  uint32_t length = 0;
  EXPECT_EQ(SETUP_E_NO_SETTINGS, dialog.GetParams(nullptr, &length));
  EXPECT_EQ(4, dialog.Params().align);
  EXPECT_EQ(E_POINTER, dialog.SetParams(nullptr, 3));
  EXPECT_EQ(E_POINTER, dialog.GetParams(nullptr, nullptr));
  // Text after the NUL is not read.
  const char bytes[] = "\"ALIGN\"=5\0\"POSX\"=9";
  ASSERT_EQ(S_OK, dialog.SetParams(bytes, sizeof bytes));
  EXPECT_EQ(5, dialog.Params().align);
  EXPECT_EQ(0, dialog.Params().posX);
}

TEST(WatermarkDialog, ADroppedPictureIsPlacedByItsAnchor) {
  TempDir dir;
  const std::string picture = MakePicture(dir, 40, 20);
  struct Case {
    int align;
    int x, y;
  };
  const std::vector<Case> cases = {{9, 280, 0}, {1, 0, 220}, {5, 140, 110}, {3, 280, 220}, {7, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.align);
    CDlgWatermark dialog;
    dialog.SetSource(320, 240, 1.0);
    FilterEditRun run = RunFilterEdit(dialog, "", [&](CDlgWatermark& d) {
      SendFileDrop(*d.FileEdit(), picture);
      EXPECT_TRUE(d.PictureLoaded());
      EXPECT_EQ(40, d.PictureWidth());
      if (c.align != 9) d.OnCommand(kWatermarkAlignIds[c.align - 1], BN_CLICKED);
      EXPECT_EQ(c.x, d.ItemInt(IDC_WM_POSX));
      EXPECT_EQ(c.y, d.ItemInt(IDC_WM_POSY));
      const QRect frame = d.Preview()->FrameRect();
      EXPECT_EQ(QSize(320, 240), frame.size());
      EXPECT_EQ(QPoint(c.x, c.y), d.Preview()->PicturePos() - frame.topLeft());
    });
    ASSERT_EQ(S_OK, run.edit);
    CParamList list;
    ParseParamText(list, run.text);
    EXPECT_EQ(picture, std::string(list.GetStringPtr("FILENAME")));
    EXPECT_EQ(c.align, list.GetInt("ALIGN", -1));
  }
}

TEST(WatermarkDialog, ACustomPositionStaysTheUsersAndTheSpinsMoveThePreview) {
  TempDir dir;
  const std::string picture = MakePicture(dir, 40, 20);
  CDlgWatermark dialog;
  dialog.SetSource(320, 240, 1.0);
  const std::string params = "\"FILENAME\"=\"" + picture + "\",\"ALIGN\"=0,\"POSX\"=-10,\"POSY\"=30";
  FilterEditRun run = RunFilterEdit(dialog, params, [&](CDlgWatermark& d) {
    EXPECT_TRUE(d.PictureLoaded());
    EXPECT_EQ(QPoint(-10, 30), d.Preview()->PicturePos() - d.Preview()->FrameRect().topLeft());
    // The picture chosen again: the position the frame cuts stays as typed.
    SendFileDrop(*d.FileEdit(), picture);
    EXPECT_EQ(-10, d.ItemInt(IDC_WM_POSX));
    d.Spin(IDC_WM_SPIN_X)->Step(1);
    d.Spin(IDC_WM_SPIN_Y)->Step(-1);
    EXPECT_EQ(-9, d.ItemInt(IDC_WM_POSX));
    EXPECT_EQ(29, d.ItemInt(IDC_WM_POSY));
    EXPECT_EQ(QPoint(-9, 29), d.Preview()->PicturePos() - d.Preview()->FrameRect().topLeft())
        << "the preview shows the stepped position";
    d.SetItemText(IDC_WM_POSX, "4000");
    d.Spin(IDC_WM_SPIN_X)->Step(1);
    EXPECT_EQ(4000, d.ItemInt(IDC_WM_POSX)) << "the spin's range ends at 4000";
  });
  ASSERT_EQ(S_OK, run.edit);
  EXPECT_EQ(With(kDefaultLines, {"FILENAME=" + picture, "POSX=4000", "POSY=29", "ALIGN=0"}), ParamTextLines(run.text));
}

TEST(WatermarkDialog, AMissingPictureLeavesThePlacementAlone) {
  CDlgWatermark dialog;
  dialog.SetSource(320, 240, 1.0);
  FilterEditRun run = RunFilterEdit(dialog, "\"FILENAME\"=\"/no/such/picture.png\",\"POSX\"=5", [](CDlgWatermark& d) {
    EXPECT_FALSE(d.PictureLoaded());
    EXPECT_FALSE(d.Preview()->HasPicture());
    d.OnCommand(1201, BN_CLICKED);
    EXPECT_EQ(5, d.ItemInt(IDC_WM_POSX));
  });
  ASSERT_EQ(S_OK, run.edit);
  EXPECT_EQ(With(kDefaultLines, {"FILENAME=/no/such/picture.png", "POSX=5", "ALIGN=1"}), ParamTextLines(run.text));
}

TEST(WatermarkDialog, AnOverLongPicturePathIsRefusedOnOk) {
  MessageBoxRecorder boxes;
  CDlgWatermark dialog;
  const std::string path = "/" + std::string(300, 'p') + ".png";
  bool stayedOpen = false;
  FilterEditRun run = RunFilterEdit(
      dialog, "",
      [&](CDlgWatermark& d) {
        d.FileEdit()->SetText(QString::fromStdString(path));
        d.OnCommand(IDOK, BN_CLICKED);
        stayedOpen = d.InModalLoop();
      },
      true);
  EXPECT_TRUE(stayedOpen);
  EXPECT_EQ(S_FALSE, run.edit);
  ASSERT_EQ(1u, boxes.Shown().size());
  EXPECT_NE(std::string::npos, boxes.Texts()[0].find("too long"));
}

// Answers the save and load file dialogs from a list.
struct Chooser {
  std::vector<std::pair<bool, std::string>> asked;
  std::vector<std::string> answers;
  WamFileChooser previous;
  Chooser() {
    previous = SetWamFileChooser([this](QWidget*, bool save, std::string& path) {
      asked.push_back({save, ""});
      if (answers.empty()) return false;
      path = answers.front();
      answers.erase(answers.begin());
      return true;
    });
  }
  ~Chooser() { SetWamFileChooser(previous); }
};

TEST(WatermarkDialog, SavingAndLoadingConfigFiles) {
  TempDir dir;
  MessageBoxRecorder boxes;
  Chooser chooser;
  const std::string saved = dir.File("saved.wam");
  chooser.answers = {saved};
  CDlgWatermark dialog;
  const std::string sample = WatermarkParamText(Sample());
  // Save writes what the controls show, cancelled or not.
  RunFilterEdit(
      dialog, sample,
      [](CDlgWatermark& d) {
        d.OnCommand(1199, BN_CLICKED);
        d.OnCommand(IDC_WM_SAVE, BN_CLICKED);
      },
      true);
  ASSERT_EQ(1u, chooser.asked.size());
  EXPECT_TRUE(chooser.asked[0].first);
  WatermarkParams fromFile;
  ASSERT_TRUE(ReadWatermarkFile(saved, fromFile));
  EXPECT_EQ(5, fromFile.align);
  EXPECT_EQ(0x12345678, fromFile.custom);
  EXPECT_EQ(0, dialog.Params().align) << "Cancel kept nothing";
  EXPECT_TRUE(boxes.Shown().empty());

  // Loading it into a fresh dialog shows and returns it.
  chooser.answers = {saved};
  CDlgWatermark other;
  FilterEditRun run = RunFilterEdit(other, "", [](CDlgWatermark& d) {
    d.OnCommand(IDC_WM_LOAD, BN_CLICKED);
    EXPECT_EQ(5, AlignChecked(d));
    EXPECT_EQ(37, d.AlphaSlider()->value());
  });
  ASSERT_EQ(S_OK, run.edit);
  EXPECT_EQ(With(ParamTextLines(sample), {"ALIGN=5"}), ParamTextLines(run.text));

  // A 319-byte file and an unwritable place: a message each, nothing changes.
  const std::string shortFile = dir.File("short.wam");
  std::ofstream(shortFile, std::ios::binary) << EncodeWatermarkFile(Sample()).substr(0, 319);
  chooser.answers = {shortFile, dir.File("missing/folder/x.wam")};
  CDlgWatermark third;
  run = RunFilterEdit(third, "\"ALIGN\"=2", [](CDlgWatermark& d) {
    d.OnCommand(IDC_WM_LOAD, BN_CLICKED);
    EXPECT_EQ(2, AlignChecked(d));
    d.OnCommand(IDC_WM_SAVE, BN_CLICKED);
  });
  ASSERT_EQ(S_OK, run.edit);
  EXPECT_EQ(With(kDefaultLines, {"ALIGN=2"}), ParamTextLines(run.text));
  EXPECT_EQ((std::vector<std::string>{kWamOpenFailed, kWamSaveFailed}), boxes.Texts());
  for (const MessageBoxRequest& box : boxes.Shown()) EXPECT_EQ(unsigned(MB_ICONSTOP), box.flags & 0xF0u);
  // A dialog cancelled by the user writes nothing.
  CDlgWatermark fourth;
  boxes.Clear();
  RunFilterEdit(fourth, "", [](CDlgWatermark& d) { d.OnCommand(IDC_WM_LOAD, BN_CLICKED); });
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST(WatermarkDialog, TheGalleryPrintsThePlacementAndTheText) {
  TempDir dir;
  const std::string picture = MakePicture(dir, 40, 20);
  const std::string wam = dir.File("g.wam");
  const std::string shot = std::string(VELMO_ARTIFACT_DIR) + "/gallery_watermark.png";
  const CommandRun run =
      RunStagedTool("velmo-gallery", {"watermark", "--frame", "320x240", "--file", picture, "--align", "3", "--save",
                                      wam, "--accept", "--screenshot", shot});
  ASSERT_EQ(0, run.status) << run.output;
  for (const char* line : {"picture=40x20\n", "in-frame=280,220\n", "result=OK\n", "ALIGN=3\n", "POSX=280\n"})
    EXPECT_NE(std::string::npos, run.output.find(line)) << line << run.output;
  WatermarkParams p;
  EXPECT_TRUE(ReadWatermarkFile(wam, p));
  EXPECT_EQ(3, p.align);
  EXPECT_FALSE(QImage(QString::fromStdString(shot)).isNull());
  EXPECT_EQ(2, RunStagedTool("velmo-gallery", {"watermark", "--align", "0"}).status);
  EXPECT_EQ(2, RunStagedTool("velmo-gallery", {"watermark", "--frame", "0x5"}).status);
}

}  // namespace
