// The file-info rules and pages: the output name's "[n]" suffix and
// extension, the tag head's UTF-16 fields at their offsets with room for
// their terminators, and the "File info" sheet editing a task only on OK.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <climits>
#include <cstring>

#include "frontend/dialogs/dlg_file_info.h"
#include "frontend/model/file_info.h"
#include "frontend/model/task.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "platform/utf_text.h"
#include "qt_test_util.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

// ---- the output name ----

TEST(OutputFileName, SuffixAndExtensionRule) {
  struct Case {
    const char* typed;
    const char* ext;
    int32_t number;
    const char* title;
    const char* newExt;
    int32_t newNumber;
  } cases[] = {
      {"clip[2].avi", "mp4", 2, "clip", "avi", 2},          // the suffix of the task's number is kept apart
      {"clip.avi", "mp4", 2, "clip", "avi", 0},             // no suffix: no number
      {"clip[3].avi", "mp4", 2, "clip[3]", "avi", 0},       // another number is part of the title
      {"clip[2]", "mp4", 2, "clip", "mp4", 2},              // no extension keeps the old one
      {"clip", "mp4", 0, "clip", "mp4", 0},                 //
      {"[2].avi", "mp4", 2, "[2]", "avi", 0},               // only the suffix: not longer than it
      {"my.movie[2].mkv", "mp4", 2, "my.movie", "mkv", 2},  // the last '.' splits
      {"clip[0].avi", "mp4", 0, "clip", "avi", 0},          //
      {"pre_clip[2]", "@pre_", 2, "clip", "@pre_", 2},      // a name prefix is not taken into the title
      {"other[2]", "@pre_", 2, "other", "@pre_", 2},        //
      {"\u00c9t\u00e9 \u65e5\u672c.ogg", "mp3", 0, "\u00c9t\u00e9 \u65e5\u672c", "ogg", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    OutputFileName out;
    std::string message;
    ASSERT_TRUE(SplitOutputFileName(c.typed, c.ext, c.number, out, message)) << message;
    EXPECT_EQ(out.title, c.title);
    EXPECT_EQ(out.ext, c.newExt);
    EXPECT_EQ(out.number, c.newNumber);
  }
}

TEST(OutputFileName, NamesThatCannotNameAFileInTheFolderAreRefused) {
  for (const char* typed : {"", ".avi", "..", ".", "../../etc/passwd", "sub/clip.avi", "clip.a/b"}) {
    SCOPED_TRACE(typed);
    OutputFileName out;
    out.title = "kept";
    std::string message;
    EXPECT_FALSE(SplitOutputFileName(typed, "mp4", 1, out, message));
    EXPECT_FALSE(message.empty());
    EXPECT_EQ(out.title, "kept");
  }
}

TEST(OutputFileName, TheTitleIsCutToItsFieldOnACharacterBoundary) {
  OutputFileName out;
  std::string message;
  ASSERT_TRUE(SplitOutputFileName(std::string(300, 'a') + "[4].avi", "mp4", 4, out, message));
  EXPECT_EQ(out.title, std::string(kTitleFieldBytes, 'a'));
  EXPECT_EQ(out.number, 4);
  std::string wide;
  for (int i = 0; i < 200; ++i) wide += "\u00e9";  // two bytes each
  ASSERT_TRUE(SplitOutputFileName(wide + ".avi", "mp4", 0, out, message));
  EXPECT_EQ(out.title.size(), 254u);
  EXPECT_EQ(Utf8ToUtf16(out.title), std::u16string(127, u'\u00e9'));
}

// ---- the tag head ----

std::u16string FieldAt(const TagInfo& tags, size_t offset) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&tags);
  std::u16string text;
  for (size_t i = offset; i + 1 < offset + 256; i += 2) {
    const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) return text;
    text += unit;
  }
  ADD_FAILURE() << "no terminator in the field at " << offset;
  return text;
}

int32_t IntAt(const TagInfo& tags, size_t offset) {
  int32_t value;
  std::memcpy(&value, reinterpret_cast<const char*>(&tags) + offset, 4);
  return value;
}

TEST(TagFields, TheFieldsStandAtTheirOffsetsWithTheirTerminators) {
  TagInfo tags;
  std::memset(&tags, 0x55, sizeof tags);
  TagFields f;
  f.enabled = true;
  f.artist = u"\u00c4rtist \U0001D11E";
  f.title = u"T\u00eftle";
  f.album = u"\u65e5\u672c";
  f.comment = u"c";
  f.track = "7";
  f.year = "1999";
  f.genre = "Synthpop";
  StoreTagFields(f, tags);
  EXPECT_EQ(FieldAt(tags, 0), f.artist);
  EXPECT_EQ(FieldAt(tags, 256), f.title);
  EXPECT_EQ(FieldAt(tags, 512), f.album);
  EXPECT_EQ(FieldAt(tags, 768), f.comment);
  EXPECT_EQ(IntAt(tags, 1024), 1999);
  EXPECT_EQ(IntAt(tags, 1028), 7);
  EXPECT_STREQ(reinterpret_cast<const char*>(&tags) + 1032, "Synthpop");
  EXPECT_EQ(IntAt(tags, 1064), 1);
  // The rest of each field is zeroed, not left as it was.
  EXPECT_EQ(tags.comment[127], u'\0');
  EXPECT_EQ(tags.genre[31], '\0');
}

TEST(TagFields, LongTextsKeepRoomForTheirTerminators) {
  TagInfo tags{};
  TagFields f;
  f.enabled = true;
  f.artist = std::u16string(400, u'a');
  f.title = std::u16string(126, u'b') + u"\U0001D11E";  // the pair would take units 126 and 127
  f.album = std::u16string(127, u'c');
  f.genre = std::string(29, 'g') + "\u00e9\u00e9";  // 33 bytes: cut before the second
  StoreTagFields(f, tags);
  EXPECT_EQ(FieldAt(tags, 0), std::u16string(kTagTextUnits, u'a'));
  EXPECT_EQ(FieldAt(tags, 256), std::u16string(126, u'b'));  // never half a pair
  EXPECT_EQ(FieldAt(tags, 512), f.album);
  EXPECT_EQ(std::string(tags.genre), std::string(29, 'g') + "\u00e9");
}

TEST(TagFields, ShownNumbersAndTheEnabledMark) {
  TagInfo tags{};
  TagFields shown = ShowTagFields(tags);
  EXPECT_EQ(shown.track, "");
  EXPECT_EQ(shown.year, "");
  EXPECT_FALSE(shown.enabled);

  TagFields f;
  f.enabled = true;
  f.title = u"kept";
  f.track = "7";
  f.year = "987";
  StoreTagFields(f, tags);
  shown = ShowTagFields(tags);
  EXPECT_EQ(shown.track, "07");
  EXPECT_EQ(shown.year, "0987");
  EXPECT_EQ(shown.title, u"kept");
  EXPECT_TRUE(shown.enabled);

  // Clearing the mark keeps the texts, marked not to be written.
  TagFields off;
  off.enabled = false;
  StoreTagFields(off, tags);
  EXPECT_EQ(tags.enabled, 0);
  EXPECT_EQ(ShowTagFields(tags).title, u"kept");
  EXPECT_EQ(tags.track, 7);
}

TEST(TagFields, NumbersAreReadAsAtoiReadsThem) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {{"7", 7},
               {"007", 7},
               {" 12", 12},
               {"12abc", 12},
               {"abc", 0},
               {"", 0},
               {"-3", -3},
               {"+4", 4},
               {"- 4", 0},
               {"1999", 1999},
               {"99999999999", INT_MAX},
               {"-99999999999", INT_MIN}};
  for (const auto& c : cases) EXPECT_EQ(ParseTagNumber(c.text), c.value) << c.text;
  EXPECT_EQ(FormatTagNumber(0, 4), "");
  EXPECT_EQ(FormatTagNumber(5, 4), "0005");
  EXPECT_EQ(FormatTagNumber(123, 2), "123");
}

TEST(TagFields, TheGenreTable) {
  EXPECT_STREQ(kGenreNames[0], "Blues");
  EXPECT_STREQ(kGenreNames[13], "Pop");
  EXPECT_STREQ(kGenreNames[17], "Rock");
  EXPECT_STREQ(kGenreNames[79], "Hard Rock");
  EXPECT_STREQ(kGenreNames[80], "Folk");
  EXPECT_STREQ(kGenreNames[125], "Dance Hall");
  EXPECT_STREQ(kGenreNames[147], "Synthpop");
  for (const char* name : kGenreNames) {
    ASSERT_NE(name, nullptr);
    EXPECT_LE(std::strlen(name), size_t(kGenreChars)) << name;
  }
}

// ---- the sheet ----

class FileInfoSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string message;
    auto record = Probe({"\"TYPE\"=1,\"STREAMID\"=0,\"SAMPLERATE\"=44100,\"CHANNEL\"=2,\"BITSIZE\"=16"}, 3.0);
    task = MakeTask("/media/music/song.wav", *record, OutputSettings(), TaskOptions(), message);
    ASSERT_NE(task, nullptr) << message;
    task->title = "song";
    task->outputExt = "mp3";
    task->outputNumber = 2;
  }

  // Runs the sheet at a page; step runs in it, then OK (or Cancel).
  bool Run(int page, const std::function<void(CMyPropSheet&)>& step, bool ok = true) {
    ModalScript script;
    script.Then([&](UiDialog& d) {
      auto& sheet = static_cast<CMyPropSheet&>(d);
      step(sheet);
      d.OnCommand(ok ? IDOK : IDCANCEL, BN_CLICKED);
      if (d.InModalLoop() && d.isVisible()) {
        stayedOpen = true;
        d.EndDialog(IDABORT);
      }
    });
    const bool accepted = RunFileInfoSheet(nullptr, *task, "/home/user/Videos", page);
    EXPECT_EQ(script.Remaining(), 0u);
    return accepted;
  }

  TagInfo& Tags() { return task->sources.front()->record.tags; }

  std::unique_ptr<CTask> task;
  MessageBoxRecorder boxes;
  bool stayedOpen = false;
};

TEST_F(FileInfoSheet, TheNamePageShowsTheTaskAndStoresTheTypedNameOnOk) {
  EXPECT_TRUE(Run(0, [](CMyPropSheet& sheet) {
    EXPECT_EQ(sheet.windowTitle(), "File info");
    ASSERT_EQ(sheet.GetPageCount(), 2);
    EXPECT_EQ(sheet.GetActiveIndex(), 0);
    EXPECT_EQ(sheet.Tabs()->tabText(0), "Filename");
    EXPECT_EQ(sheet.Tabs()->tabText(1), "Metadata");
    CPropertyPage* page = sheet.GetPage(0);
    EXPECT_EQ(page->ItemText(IDC_NAMES_SOURCE), "/media/music/song.wav");
    EXPECT_EQ(page->ItemText(IDC_NAMES_FOLDER), "/home/user/Videos");
    EXPECT_EQ(page->ItemText(IDC_NAMES_OUTPUT), "song[2].mp3");
    EXPECT_EQ(page->ItemCheck(IDC_NAMES_RENAME), 1);
    EXPECT_EQ(page->ItemCheck(IDC_NAMES_OVERWRITE), 0);
    EXPECT_EQ(page->ItemAs<QLineEdit>(IDC_NAMES_OUTPUT)->maxLength(), kOutputFileNameChars);
    page->SetItemText(IDC_NAMES_OUTPUT, QString::fromUtf8("Ch\u00e2teau[2].ogg"));
    page->CheckRadio(IDC_NAMES_RENAME, IDC_NAMES_OVERWRITE, IDC_NAMES_OVERWRITE);
  }));
  EXPECT_EQ(task->title, "Ch\u00e2teau");
  EXPECT_EQ(task->outputExt, "ogg");
  EXPECT_EQ(task->outputNumber, 2);
  EXPECT_EQ(task->overwrite, 1);
  EXPECT_EQ(task->GetOutputFileName(), "Ch\u00e2teau[2].ogg");

  // Shown again as stored; a name without the suffix drops the number.
  EXPECT_TRUE(Run(0, [](CMyPropSheet& sheet) {
    CPropertyPage* page = sheet.GetPage(0);
    EXPECT_EQ(page->ItemText(IDC_NAMES_OUTPUT), QString::fromUtf8("Ch\u00e2teau[2].ogg"));
    EXPECT_EQ(page->ItemCheck(IDC_NAMES_OVERWRITE), 1);
    page->SetItemText(IDC_NAMES_OUTPUT, "plain");
    page->CheckRadio(IDC_NAMES_RENAME, IDC_NAMES_OVERWRITE, IDC_NAMES_RENAME);
  }));
  EXPECT_EQ(task->GetOutputFileName(), "plain.ogg");
  EXPECT_EQ(task->overwrite, 0);
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(FileInfoSheet, CancelLeavesTheTaskAsItWas) {
  EXPECT_FALSE(Run(
      0,
      [](CMyPropSheet& sheet) {
        sheet.GetPage(0)->SetItemText(IDC_NAMES_OUTPUT, "other.avi");
        sheet.SetActivePage(1);
        sheet.GetPage(1)->SetItemCheck(IDC_META_ENABLE, 1);
        sheet.GetPage(1)->SetItemText(IDC_META_TITLE, "T");
      },
      false));
  EXPECT_EQ(task->GetOutputFileName(), "song[2].mp3");
  EXPECT_EQ(Tags().enabled, 0);
  EXPECT_EQ(Tags().title[0], u'\0');
}

TEST_F(FileInfoSheet, ANameThatCannotBeAFileKeepsTheSheetOpen) {
  EXPECT_FALSE(Run(0, [](CMyPropSheet& sheet) { sheet.GetPage(0)->SetItemText(IDC_NAMES_OUTPUT, "../up.mp3"); }));
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_NE(boxes.Shown()[0].text.find("output file name"), std::string::npos);
  EXPECT_EQ(task->GetOutputFileName(), "song[2].mp3");
}

TEST_F(FileInfoSheet, TheMetadataPageEditsTheFirstSourcesTagHead) {
  const QString artist = QString::fromUtf8("\u00c4rtist \U0001D11E");
  EXPECT_TRUE(Run(1, [&](CMyPropSheet& sheet) {
    EXPECT_EQ(sheet.GetActiveIndex(), 1);
    CPropertyPage* page = sheet.GetPage(1);
    auto* genre = page->ItemAs<QComboBox>(IDC_META_GENRE);
    ASSERT_EQ(genre->count(), kGenreCount);
    EXPECT_EQ(genre->itemText(0), "Blues");
    EXPECT_EQ(genre->itemText(147), "Synthpop");
    EXPECT_EQ(genre->lineEdit()->maxLength(), kGenreChars);
    EXPECT_EQ(page->ItemAs<QLineEdit>(IDC_META_COMMENT)->maxLength(), kTagTextUnits);
    // Nothing enabled yet: the fields are off until the box is ticked.
    EXPECT_EQ(page->ItemCheck(IDC_META_ENABLE), 0);
    for (int id : {IDC_META_TITLE, IDC_META_ARTIST, IDC_META_TRACK, IDC_META_ALBUM, IDC_META_YEAR, IDC_META_COMMENT,
                   IDC_META_GENRE})
      EXPECT_FALSE(page->Item(id)->isEnabled()) << id;
    EXPECT_EQ(page->ItemText(IDC_META_TRACK), "");
    page->SetItemCheck(IDC_META_ENABLE, 1);
    page->OnCommand(IDC_META_ENABLE, BN_CLICKED);
    for (int id : {IDC_META_TITLE, IDC_META_ARTIST, IDC_META_TRACK, IDC_META_ALBUM, IDC_META_YEAR, IDC_META_COMMENT,
                   IDC_META_GENRE})
      EXPECT_TRUE(page->Item(id)->isEnabled()) << id;
    page->SetItemText(IDC_META_TITLE, QString::fromUtf8("T\u00eftle \u65e5\u672c"));
    page->SetItemText(IDC_META_ARTIST, artist);
    page->SetItemText(IDC_META_ALBUM, "Album");
    page->SetItemText(IDC_META_COMMENT, QString::fromUtf8("\u00e7a va"));
    page->SetItemText(IDC_META_TRACK, "7");
    page->SetItemText(IDC_META_YEAR, "1999");
    genre->setCurrentIndex(13);
  }));
  EXPECT_EQ(Tags().enabled, 1);
  EXPECT_EQ(Utf16ToUtf8(Tags().title), "T\u00eftle \u65e5\u672c");
  EXPECT_EQ(Utf16ToUtf8(Tags().artist), artist.toStdString());
  EXPECT_EQ(Utf16ToUtf8(Tags().album), "Album");
  EXPECT_EQ(Utf16ToUtf8(Tags().comment), "\u00e7a va");
  EXPECT_EQ(Tags().track, 7);
  EXPECT_EQ(Tags().year, 1999);
  EXPECT_STREQ(Tags().genre, "Pop");
  // Only the page that was shown wrote: the name is as it was.
  EXPECT_EQ(task->GetOutputFileName(), "song[2].mp3");

  // Shown again; clearing "Enable Metadata" keeps the texts, marked off.
  EXPECT_TRUE(Run(1, [&](CMyPropSheet& sheet) {
    CPropertyPage* page = sheet.GetPage(1);
    EXPECT_EQ(page->ItemCheck(IDC_META_ENABLE), 1);
    EXPECT_EQ(page->ItemText(IDC_META_ARTIST), artist);
    EXPECT_EQ(page->ItemText(IDC_META_TRACK), "07");
    EXPECT_EQ(page->ItemText(IDC_META_YEAR), "1999");
    EXPECT_EQ(page->ItemText(IDC_META_GENRE), "Pop");
    page->SetItemText(IDC_META_TITLE, "changed while off");
    page->SetItemCheck(IDC_META_ENABLE, 0);
    page->OnCommand(IDC_META_ENABLE, BN_CLICKED);
    EXPECT_FALSE(page->Item(IDC_META_TITLE)->isEnabled());
  }));
  EXPECT_EQ(Tags().enabled, 0);
  EXPECT_EQ(Utf16ToUtf8(Tags().title), "T\u00eftle \u65e5\u672c");
  EXPECT_EQ(Tags().track, 7);
  // The job the task sends carries the head.
  std::string message;
  ASSERT_TRUE(task->BuildJobSources(message)) << message;
  EXPECT_EQ(Utf16ToUtf8(task->job.inputs.tags.artist), artist.toStdString());
}

TEST_F(FileInfoSheet, ATypedGenreIsKeptAsText) {
  EXPECT_TRUE(Run(1, [](CMyPropSheet& sheet) {
    CPropertyPage* page = sheet.GetPage(1);
    page->SetItemCheck(IDC_META_ENABLE, 1);
    page->OnCommand(IDC_META_ENABLE, BN_CLICKED);
    page->SetItemText(IDC_META_GENRE, QString::fromUtf8("Chanson fran\u00e7aise"));
    page->SetItemText(IDC_META_YEAR, "next year");
  }));
  EXPECT_STREQ(Tags().genre, "Chanson fran\u00e7aise");
  EXPECT_EQ(Tags().year, 0);
}

}  // namespace
