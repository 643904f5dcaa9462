// DVD titles into tasks, from scan records made here: the synthesised probe
// record, its track texts and limits, and the rows and tasks of a disc.
#include "frontend/model/dvd_titles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "frontend/model/param_text.h"
#include "platform/win_types.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/frontend/model/title_view_recorder.h"

namespace {

DvdTitleInfo Title(double duration, int chapters, int audio = 1, int subpictures = 1) {
  DvdTitleInfo t;
  std::memset(&t, 0, sizeof(t));
  t.valid = 1;
  t.duration = duration;
  t.chapterCount = chapters;
  for (int i = 0; i < chapters && i < kDvdInfoMaxChapters; ++i) t.chapters[i].duration = duration / chapters;
  t.videoKind = 11;
  t.videoStreamId = 0xE0;
  t.width = 720;
  t.height = 576;
  t.videoFormat = 1;
  t.audioCount = audio;
  for (int i = 0; i < audio && i < kDvdInfoMaxAudio; ++i) {
    t.audio[i].codec = 0x800;
    t.audio[i].streamId = 0x80 + i;
    t.audio[i].sampleRate = 48000;
    t.audio[i].channels = 2;
    std::snprintf(t.audio[i].language, sizeof(t.audio[i].language), "A%d", i);
  }
  t.subtitleCount = subpictures;
  for (int i = 0; i < subpictures && i < kDvdInfoMaxSubtitles; ++i) {
    t.subtitles[i].streamId = 0x20 + i;
    std::snprintf(t.subtitles[i].language, sizeof(t.subtitles[i].language), "S%d", i);
  }
  for (int i = 0; i < 16; ++i) t.palette[i] = 0x108080u + static_cast<uint32_t>(i);
  return t;
}

// Keys of a track text in their order.
std::vector<std::string> Keys(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  std::vector<std::string> keys;
  for (POSITION p = list.GetHeadPosition(); p; p = list.GetNext(p)) {
    char key[64];
    int32_t type = 0;
    list.GetAt(p, key, sizeof(key), &type);
    keys.push_back(key);
  }
  return keys;
}

int32_t Int(std::string_view text, const char* key) {
  CParamList list;
  ParseParamText(list, text);
  return list.GetType(key) == PARAM_TYPE_INT ? list.GetInt(key, 0) : -12345;
}

double Double(std::string_view text, const char* key) {
  CParamList list;
  ParseParamText(list, text);
  return list.GetType(key) == PARAM_TYPE_DOUBLE ? list.GetDouble(key, 0) : -12345.0;
}

std::string Text(std::string_view text, const char* key) {
  CParamList list;
  ParseParamText(list, text);
  return GetText(list, key);
}

int32_t Fcc(const char* code) { return static_cast<int32_t>(ParseFourCC(code)); }

std::unique_ptr<MediaInfoRecord> Record(const DvdTitleInfo& info, double length,
                                        std::vector<std::string>* notes = nullptr) {
  auto r = std::make_unique<MediaInfoRecord>();
  std::memset(r.get(), 0x5A, sizeof(*r));  // everything not written must come out zero
  MakeDvdTitleRecord(info, 1, length, *r, notes);
  return r;
}

TEST(DvdTitleRecord, FieldsAndTrackTexts) {
  DvdTitleInfo t = Title(61.5, 3, 2, 1);
  t.audio[1].codec = 0x1000;
  t.audio[1].streamId = 0xC1;
  const auto r = Record(t, 12.25);
  EXPECT_EQ(0, std::memcmp(r->palette, t.palette, sizeof(t.palette)));
  EXPECT_EQ(1, r->paletteValid);
  EXPECT_EQ(0, r->result);
  EXPECT_DOUBLE_EQ(12.25, r->length);
  EXPECT_STREQ("", r->info);
  EXPECT_EQ(0, r->reserved1);
  ASSERT_EQ(4, r->trackCount);
  EXPECT_EQ("", r->Track(4));
  EXPECT_EQ(0, r->tracks[4][0]);

  using K = std::vector<std::string>;
  EXPECT_EQ((K{"STREAMID", "TYPE", "WIDTH", "HEIGHT", "FRAMERATE", "PNAN", "PNAD", "FCC", "VFCC"}), Keys(r->Track(0)));
  EXPECT_EQ(0xE0, Int(r->Track(0), "STREAMID"));
  EXPECT_EQ(720, Int(r->Track(0), "WIDTH"));
  EXPECT_EQ(576, Int(r->Track(0), "HEIGHT"));
  EXPECT_EQ((K{"STREAMID", "LANG", "TYPE", "SAMPLERATE", "CHANNEL", "FCC", "VFCC"}), Keys(r->Track(1)));
  EXPECT_EQ(0x80, Int(r->Track(1), "STREAMID"));
  EXPECT_EQ("A0", Text(r->Track(1), "LANG"));
  EXPECT_EQ(1, Int(r->Track(1), "TYPE"));
  EXPECT_EQ(48000, Int(r->Track(1), "SAMPLERATE"));
  EXPECT_EQ(2, Int(r->Track(1), "CHANNEL"));
  EXPECT_EQ(0xC1, Int(r->Track(2), "STREAMID"));
  EXPECT_EQ((K{"STREAMID", "LANG", "TYPE", "FCC", "VFCC"}), Keys(r->Track(3)));
  EXPECT_EQ(0x20, Int(r->Track(3), "STREAMID"));
  EXPECT_EQ("S0", Text(r->Track(3), "LANG"));
  EXPECT_EQ(2, Int(r->Track(3), "TYPE"));
  EXPECT_EQ(0, Int(r->Track(3), "FCC"));
  EXPECT_EQ(Fcc("DVDS"), Int(r->Track(3), "VFCC"));
  EXPECT_EQ(0x53445644, Fcc("DVDS"));
}

TEST(DvdTitleRecord, VideoByFormatShapeAndKind) {
  struct Case {
    int32_t format, aspect, kind, width, height;
    double rate;
    int32_t pnan, pnad;
    const char* code;
  };
  const Case cases[] = {
      // The video format is 0 for NTSC: 29.97 frames a second, PAL 25.
      {0, 0, 11, 720, 480, 30000.0 / 1001, 480 * 4, 720 * 3, "MPG2"},
      {1, 0, 11, 720, 576, 25.0, 576 * 4, 720 * 3, "MPG2"},
      {0, 3, 11, 720, 480, 30000.0 / 1001, 480 * 16, 720 * 9, "MPG2"},
      {1, 3, 10, 352, 288, 25.0, 288 * 16, 352 * 9, "MPG1"},
      {1, 0, 10, 352, 576, 25.0, 576 * 4, 352 * 3, "MPG1"},
      {1, 2, 11, 720, 576, 25.0, 576 * 4, 720 * 3, "MPG2"},   // only code 3 is 16:9
      {1, 0, 11, 0x7FFFFFFF, 576, 25.0, 576 * 4, 0, "MPG2"},  // a product past int32 gives 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + "/" + std::to_string(c.aspect) + "/" + std::to_string(c.width));
    DvdTitleInfo t = Title(10, 1);
    t.videoFormat = c.format;
    t.aspect = c.aspect;
    t.videoKind = c.kind;
    t.width = c.width;
    t.height = c.height;
    const auto r = Record(t, 10);
    const std::string_view v = r->Track(0);
    EXPECT_DOUBLE_EQ(c.rate, Double(v, "FRAMERATE"));
    EXPECT_EQ(c.pnan, Int(v, "PNAN"));
    EXPECT_EQ(c.pnad, Int(v, "PNAD"));
    EXPECT_EQ(Fcc(c.code), Int(v, "FCC"));
    EXPECT_EQ(Fcc(c.code), Int(v, "VFCC"));
  }
  EXPECT_EQ(0x3147504D, Fcc("MPG1"));
  EXPECT_EQ(0x3247504D, Fcc("MPG2"));
}

TEST(DvdTitleRecord, AudioCodesByFormat) {
  struct Case {
    int32_t format;
    int32_t fcc;
    const char* vfcc;
  };
  const Case cases[] = {
      {0x800, 0x2000, "AC3A"}, {0x4000, 0x2001, "DTSA"}, {0x2000, 0x3026, "DPCM"}, {0x1000, 0x50, "MP2A"}};
  for (const Case& c : cases) {
    DvdTitleInfo t = Title(10, 1, 1, 0);
    t.audio[0].codec = c.format;
    const auto r = Record(t, 10);
    EXPECT_EQ(c.fcc, Int(r->Track(1), "FCC")) << c.vfcc;
    EXPECT_EQ(Fcc(c.vfcc), Int(r->Track(1), "VFCC")) << c.vfcc;
  }
  EXPECT_EQ(0x41334341, Fcc("AC3A"));
  EXPECT_EQ(0x41535444, Fcc("DTSA"));
  EXPECT_EQ(0x4D435044, Fcc("DPCM"));
  EXPECT_EQ(0x4132504D, Fcc("MP2A"));
  // Any other code writes neither key.
  DvdTitleInfo t = Title(10, 1, 1, 0);
  t.audio[0].codec = 0x8000;
  const auto r = Record(t, 10);
  EXPECT_EQ((std::vector<std::string>{"STREAMID", "LANG", "TYPE", "SAMPLERATE", "CHANNEL"}), Keys(r->Track(1)));
}

TEST(DvdTitleRecord, TracksCappedAudioFirstAndTheCutNoted) {
  struct Case {
    int32_t audio, subpictures;
    int32_t tracks, lastSubpictureId;
    size_t notes;
  };
  const Case cases[] = {
      {8, 32, 20, 0x2A, 1},                                              // 1 + 8 + 11: subpictures 12 to 32 left out
      {16, 32, 20, 0x22, 1}, {16, 0, 17, -1, 0},  {2, 17, 20, 0x30, 0},  // exactly full
      {0, 32, 20, 0x32, 1},  {40, -3, 17, -1, 2},  // counts the scan table cannot hold are cut to it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.audio) + " audio, " + std::to_string(c.subpictures) + " subpictures");
    std::vector<std::string> notes;
    const auto r = Record(Title(10, 1, c.audio, c.subpictures), 10, &notes);
    ASSERT_EQ(c.tracks, r->trackCount);
    const int32_t audio = std::min(std::max(c.audio, 0), kDvdInfoMaxAudio);
    for (int32_t k = 1; k <= audio; ++k) EXPECT_EQ(1, Int(r->Track(k), "TYPE")) << k;
    if (c.lastSubpictureId >= 0) {
      EXPECT_EQ(c.lastSubpictureId, Int(r->Track(c.tracks - 1), "STREAMID"));
    }
    EXPECT_EQ(c.notes, notes.size());
  }
  std::vector<std::string> notes;
  Record(Title(10, 1, 8, 32), 10, &notes);
  ASSERT_EQ(1u, notes.size());
  EXPECT_NE(std::string::npos, notes[0].find("subpicture tracks 12 to 32 left out")) << notes[0];
}

TEST(DvdTitleRecord, LanguageWithoutTerminatorStaysInItsField) {
  DvdTitleInfo t = Title(10, 1, 1, 1);
  std::memset(t.audio[0].language, 'x', sizeof(t.audio[0].language));
  std::memset(t.subtitles[0].language, 'y', sizeof(t.subtitles[0].language));
  const auto r = Record(t, 10);
  EXPECT_EQ(std::string(60, 'x'), Text(r->Track(1), "LANG"));
  EXPECT_EQ(std::string(64, 'y'), Text(r->Track(2), "LANG"));
}

struct Disc {
  std::vector<DvdTitleInfo> titles;
  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  bool Add(int32_t mainIndex, const std::string& path = "/media/disc") {
    return AddDvdTitles(titles.data(), static_cast<int32_t>(titles.size()), mainIndex, path, Mp4Choice(), TaskOptions{},
                        tasks, view, report);
  }
};

TEST(DvdTitles, RowsTasksAndTheMainTitle) {
  Disc d;
  d.titles = {Title(5.9, 1), Title(0, 0), Title(4.8, 3)};
  d.titles[1].valid = 0;
  d.titles[2].chapters[0].duration = 1.6;
  d.titles[2].chapters[1].duration = 1.4;
  d.titles[2].chapters[2].duration = 1.8;
  ASSERT_TRUE(d.Add(2)) << d.report.message;
  EXPECT_EQ(2, d.report.titles);
  EXPECT_EQ(5, d.report.rows);
  EXPECT_EQ(5u, d.tasks.size());

  // The checked main title comes first and is selected; an unreadable title
  // makes no row and the others keep the disc's numbers.
  const auto titles = d.view.Titles();
  ASSERT_EQ(2u, titles.size());
  EXPECT_EQ("Title-03", titles[0]->text);
  EXPECT_TRUE(titles[0]->checked);
  EXPECT_EQ("Title-01", titles[1]->text);
  EXPECT_FALSE(titles[1]->checked);
  EXPECT_EQ(titles[0], d.view.selected);
  EXPECT_EQ((std::vector<std::string>{"select Title-03"}), d.view.calls);

  const CTask& main = *titles[0]->task;
  EXPECT_EQ("dvd:3,1,3,/media/disc", main.GetSourceName());
  EXPECT_EQ("Title-03", main.title);
  EXPECT_EQ("/media/disc,Title 03", main.displayName);
  EXPECT_EQ(4u, main.duration);  // the title's duration truncated
  EXPECT_TRUE(main.checked);
  EXPECT_EQ(1, main.scaleMode);
  EXPECT_EQ(0, main.sources[0]->chosen[2]);  // no subtitle chosen
  EXPECT_EQ(1, main.sources[0]->chosen[0]);
  EXPECT_EQ(1, main.sources[0]->chosen[1]);
  EXPECT_DOUBLE_EQ(4.8, main.sources[0]->record.length);
  ASSERT_FALSE(main.job.settings.videoFilters.empty());
  const FilterEntry& levels = main.job.settings.videoFilters.front();
  EXPECT_STREQ("VLEVELS", levels.key);
  EXPECT_EQ(0, levels.flags);
  EXPECT_EQ("\"SRCMIN\"=16,\"SRCMAX\"=235,\"DSTMIN\"=0,\"DSTMAX\"=255,\"GAMMA\"=F1,\"CORING\"=0", levels.params);
  EXPECT_STREQ("VRESIZE", main.job.settings.videoFilters.back().key);

  // Chapters: first and last chapter both i, the chapter's length, the title's check.
  const auto chapters = d.view.ChildrenOf(titles[0]);
  ASSERT_EQ(3u, chapters.size());
  const double lengths[] = {1.6, 1.4, 1.8};
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    const CTask& c = *chapters[i - 1]->task;
    EXPECT_EQ("Title-03-chap-0" + std::to_string(i), chapters[i - 1]->text);
    EXPECT_TRUE(chapters[i - 1]->checked);
    EXPECT_TRUE(c.checked);
    EXPECT_EQ("dvd:3," + std::to_string(i) + "," + std::to_string(i) + ",/media/disc", c.GetSourceName());
    EXPECT_EQ("/media/disc,Title 03,Chapter 0" + std::to_string(i), c.displayName);
    EXPECT_DOUBLE_EQ(lengths[i - 1], c.sources[0]->record.length);
    EXPECT_EQ(i == 2 ? 1u : 2u, c.duration);  // rounded, as for any probed source
    EXPECT_STREQ("VLEVELS", c.job.settings.videoFilters.front().key);
    EXPECT_EQ(main.sources[0]->record.trackCount, c.sources[0]->record.trackCount);
  }
  // One chapter: no chapter rows.
  EXPECT_TRUE(d.view.ChildrenOf(titles[1]).empty());
  EXPECT_EQ("dvd:1,1,1,/media/disc", titles[1]->task->GetSourceName());
  EXPECT_EQ(5u, titles[1]->task->duration);
  ASSERT_EQ(1u, d.report.notes.size());
  EXPECT_NE(std::string::npos, d.report.notes[0].find("Title 02")) << d.report.notes[0];
}

TEST(DvdTitles, NoMainTitleChecksNothing) {
  for (int32_t mainIndex : {-1, 5, 1}) {  // none, past the titles, an unreadable one
    Disc d;
    d.titles = {Title(5, 2), Title(6, 1), Title(7, 1)};
    d.titles[1].valid = 0;
    ASSERT_TRUE(d.Add(mainIndex));
    for (const auto* row : d.view.order) EXPECT_FALSE(row->checked) << mainIndex;
    EXPECT_EQ(nullptr, d.view.selected);
    EXPECT_EQ("Title-01", d.view.Titles().front()->text);
  }
}

TEST(DvdTitles, FullChapterTableShowsAHundredRowsAndConvertsTheWholeTitle) {
  struct Case {
    int32_t chapterCount;
    const char* source;
    size_t rows;
  };
  const Case cases[] = {
      {99, "dvd:1,1,99,/d", 99},    {100, "dvd:1,1,999,/d", 100},
      {250, "dvd:1,1,999,/d", 100},  // a count past the table is cut to it
      {0, "dvd:1,1,999,/d", 0},      // no chapter table: the whole title
      {-4, "dvd:1,1,999,/d", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chapterCount);
    Disc d;
    d.titles = {Title(300, 1)};
    d.titles[0].chapterCount = c.chapterCount;
    ASSERT_TRUE(d.Add(0, "/d"));
    const auto title = d.view.Titles().at(0);
    EXPECT_EQ(c.source, title->task->GetSourceName());
    EXPECT_EQ(300u, title->task->duration);
    EXPECT_EQ(c.rows, d.view.ChildrenOf(title).size());
  }
  EXPECT_EQ(999, kDvdLastChapterOfAnyTitle);
}

TEST(DvdTitles, NothingToShowFailsWithAMessage) {
  Disc none;
  EXPECT_FALSE(none.Add(0));
  EXPECT_NE(std::string::npos, none.report.message.find("no DVD-Video title")) << none.report.message;

  Disc unreadable;
  unreadable.titles = {Title(5, 1), Title(5, 1)};
  for (auto& t : unreadable.titles) t.valid = 0;
  EXPECT_FALSE(unreadable.Add(0));
  EXPECT_NE(std::string::npos, unreadable.report.message.find("no title that can be converted"));
  EXPECT_TRUE(unreadable.tasks.empty());
  EXPECT_TRUE(unreadable.view.order.empty());

  // A disc path the job cannot hold: no task, the reason given.
  Disc far;
  far.titles = {Title(5, 1)};
  EXPECT_FALSE(far.Add(0, "/" + std::string(280, 'p')));
  EXPECT_NE(std::string::npos, far.report.message.find("bytes long")) << far.report.message;
  EXPECT_TRUE(far.tasks.empty());
}

TEST(DvdTitles, LoadingReplacesEveryEarlierTaskAlsoWhenItFails) {
  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  std::string message;
  ASSERT_TRUE(tasks.AddTask("/media/clip.mpg", MediaInfoRecord{}, Mp4Choice(), TaskOptions{}, message)) << message;
  EXPECT_FALSE(LoadDvdTitles("/no/such/disc", Mp4Choice(), TaskOptions{}, tasks, view, report));
  EXPECT_TRUE(tasks.empty());
  EXPECT_EQ((std::vector<std::string>{"begin", "end"}), view.calls);
  EXPECT_NE(std::string::npos, report.message.find("/no/such/disc")) << report.message;
}

TEST(DvdTitles, SourceText) {
  EXPECT_EQ("dvd:2,1,14,/media/cdrom/", DvdSourceText(2, 1, 14, "/media/cdrom/"));
  EXPECT_EQ("dvd:12,3,3,/a b,c", DvdSourceText(12, 3, 3, "/a b,c"));
}

}  // namespace
