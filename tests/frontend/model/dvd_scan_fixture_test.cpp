// DVD titles into tasks on the fixture discs (folders and UDF images): rows,
// the main title, chapters, track texts and codes, damaged and foreign input,
// and a title with more chapters and streams than the scan tables hold.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/codec_tables.h"
#include "frontend/model/dvd_titles.h"
#include "tests/common/dvd/dvd_fixture.h"
#include "tests/frontend/model/model_test_util.h"
#include "tests/frontend/model/title_view_recorder.h"

namespace fs = std::filesystem;

namespace {

std::string ManyFixture() { return std::string(TRIVOX_BINARY_DIR) + "/fixtures/dvd-many/many"; }

struct Load {
  CTaskList tasks;
  TitleViewRecorder view;
  DvdLoadReport report;
  bool loaded = false;

  explicit Load(const std::string& path) {
    loaded = LoadDvdTitles(path, Mp4Choice(), TaskOptions{}, tasks, view, report);
  }
  std::vector<std::string> TitleTexts() const {
    std::vector<std::string> texts;
    for (const auto* row : view.Titles()) texts.push_back(row->text);
    return texts;
  }
};

// Per track of a task's source: "TYPE VFCC STREAMID" and its display text.
struct Track {
  int32_t type;
  std::string vfcc;
  int32_t id;
  std::string text;
};

std::vector<Track> Tracks(const CTask& task) {
  std::vector<Track> tracks;
  const MediaInfoRecord& r = task.sources.at(0)->record;
  for (int32_t k = 0; k < r.TrackCount(); ++k) {
    StreamCodes codes;
    const std::string text = ParseStreamParams(r.Track(k), codes);
    const std::string vfcc(reinterpret_cast<const char*>(&codes.vfcc), 4);
    StreamInfo info;
    ParseStreamInfo(r.Track(k), info);
    tracks.push_back({codes.type, vfcc, info.streamId, text});
  }
  return tracks;
}

double FrameRate(const CTask& task) {
  StreamInfo v;
  ParseStreamInfo(task.sources.at(0)->record.Track(0), v);
  return v.frameRate;
}

class DvdScanFixture : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() { LoadCodecTables(TRIVOX_STAGE_DIR); }
  void SetUp() override { REQUIRE_DVD_FIXTURES(); }
};

TEST_P(DvdScanFixture, BasicDiscTree) {
  const std::string path = DvdFixture(GetParam());
  Load d(path);
  ASSERT_TRUE(d.loaded) << d.report.message;
  EXPECT_EQ((std::vector<std::string>{"Title-01", "Title-02", "Title-03", "Title-04"}), d.TitleTexts());
  EXPECT_EQ(4, d.report.titles);
  EXPECT_EQ(4 + 3 + 2 + 2, d.report.rows);

  const auto titles = d.view.Titles();
  ASSERT_EQ(4u, titles.size());
  // The longest title is the main one: checked, first, selected, with its chapters.
  EXPECT_TRUE(titles[0]->checked);
  EXPECT_EQ(titles[0], d.view.selected);
  for (size_t i = 1; i < titles.size(); ++i) EXPECT_FALSE(titles[i]->checked) << titles[i]->text;

  const CTask& t1 = *titles[0]->task;
  EXPECT_EQ("dvd:1,1,3," + path, t1.GetSourceName());
  EXPECT_EQ(path + ",Title 01", t1.displayName);
  EXPECT_EQ("00:00:06", t1.GetDurationText());
  EXPECT_NEAR(6.0, t1.sources[0]->record.length, 0.05);
  const auto chapters = d.view.ChildrenOf(titles[0]);
  ASSERT_EQ(3u, chapters.size());
  double sum = 0;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(chapters[i]->checked);
    EXPECT_EQ("Title-01-chap-0" + std::to_string(i + 1), chapters[i]->text);
    EXPECT_EQ("dvd:1," + std::to_string(i + 1) + "," + std::to_string(i + 1) + "," + path,
              chapters[i]->task->GetSourceName());
    sum += chapters[i]->task->sources[0]->record.length;
  }
  EXPECT_NEAR(6.0, sum, 0.1);

  const std::vector<Track> tracks1 = Tracks(t1);
  ASSERT_EQ(5u, tracks1.size());
  EXPECT_EQ("720x576[4:3],25fps MPEG-2 Video", tracks1[0].text);
  EXPECT_EQ("MPG2", tracks1[0].vfcc);
  EXPECT_EQ("AC3A", tracks1[1].vfcc);
  EXPECT_EQ(0x80, tracks1[1].id);
  EXPECT_EQ("48 kHZ stereo AC-3 (0x80) ,English", tracks1[1].text);
  EXPECT_EQ("MP2A", tracks1[2].vfcc);
  EXPECT_EQ(0xC0, tracks1[2].id);
  EXPECT_EQ("48 kHZ stereo MP2 (0xC0) ,Deutsch", tracks1[2].text);
  EXPECT_EQ("DVDS", tracks1[3].vfcc);
  EXPECT_EQ("DVD Subpicture (0x20) ,English", tracks1[3].text);
  EXPECT_EQ("DVD Subpicture (0x21) ,Francais", tracks1[4].text);
  // Default streams: the video and the audio with the lowest stream id; no subpicture.
  const MediaInfo& source = *t1.sources[0];
  EXPECT_EQ((std::vector<int32_t>{1, 1, 0, 0, 0}), std::vector<int32_t>(source.chosen, source.chosen + 5));

  EXPECT_EQ("dvd:2,1,2," + path, titles[1]->task->GetSourceName());
  EXPECT_EQ(2u, d.view.ChildrenOf(titles[1]).size());

  // Title 3: 16:9, LPCM before AC-3 (the AC-3 track has the lower id and is chosen), one chapter.
  const CTask& t3 = *titles[2]->task;
  EXPECT_EQ("dvd:3,1,1," + path, t3.GetSourceName());
  EXPECT_TRUE(d.view.ChildrenOf(titles[2]).empty());
  const std::vector<Track> tracks3 = Tracks(t3);
  ASSERT_EQ(5u, tracks3.size());
  EXPECT_EQ("720x576[16:9],25fps MPEG-2 Video", tracks3[0].text);
  EXPECT_EQ("DPCM", tracks3[1].vfcc);
  EXPECT_EQ(0xA0, tracks3[1].id);
  EXPECT_EQ("48 kHZ stereo DVD LPCM (0xA0) ,Francais", tracks3[1].text);
  EXPECT_EQ("AC3A", tracks3[2].vfcc);
  EXPECT_EQ(0, t3.sources[0]->chosen[1]);
  EXPECT_EQ(1, t3.sources[0]->chosen[2]);

  // Title 4: MPEG-1 with MPEG audio.
  const std::vector<Track> tracks4 = Tracks(*titles[3]->task);
  ASSERT_EQ(2u, tracks4.size());
  EXPECT_EQ("MPG1", tracks4[0].vfcc);
  EXPECT_EQ("MP2A", tracks4[1].vfcc);
  EXPECT_EQ(0xC0, tracks4[1].id);
  for (const auto& t : d.tasks) EXPECT_DOUBLE_EQ(25.0, FrameRate(*t)) << t->title;
  EXPECT_TRUE(d.report.notes.empty());
}

TEST_P(DvdScanFixture, ReloadReplacesTheTree) {
  const std::string path = DvdFixture(GetParam());
  Load d(path);
  ASSERT_TRUE(d.loaded);
  const size_t rows = d.view.order.size();
  DvdLoadReport report;
  ASSERT_TRUE(LoadDvdTitles(path, OutputSettings(), TaskOptions{}, d.tasks, d.view, report));
  EXPECT_EQ(rows, d.view.order.size());
  EXPECT_EQ(rows, d.tasks.size());
  EXPECT_EQ((std::vector<std::string>{"begin", "select Title-01", "end", "begin", "select Title-01", "end"}),
            d.view.calls);
}

INSTANTIATE_TEST_SUITE_P(FolderAndImage, DvdScanFixture, ::testing::Values("basic", "basic.iso"), [](const auto& info) {
  return std::string(info.param == std::string("basic") ? "Folder" : "Image");
});

class DvdScanNtsc : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { REQUIRE_DVD_FIXTURES(); }
};

TEST_P(DvdScanNtsc, VotedMainTitleAndNtscRate) {
  Load d(DvdFixture(GetParam()));
  ASSERT_TRUE(d.loaded) << d.report.message;
  ASSERT_EQ(31u, d.view.Titles().size());
  const auto* main = d.view.Titles().front();
  EXPECT_EQ("Title-03", main->text);  // the menus' vote
  EXPECT_TRUE(main->checked);
  EXPECT_EQ(main, d.view.selected);
  for (const auto* row : d.view.order) EXPECT_EQ(row == main || row->parent == main, row->checked) << row->text;
  for (const auto& t : d.tasks) {
    EXPECT_NEAR(29.97, FrameRate(*t), 0.001) << t->title;
    EXPECT_EQ("720x480[4:3],29.97fps MPEG-2 Video", Tracks(*t).at(0).text);
  }
  // The titles after it stay in disc order.
  EXPECT_EQ("Title-01", d.view.Titles()[1]->text);
  EXPECT_EQ("Title-31", d.view.Titles().back()->text);
}

INSTANTIATE_TEST_SUITE_P(FolderAndImage, DvdScanNtsc, ::testing::Values("menu31", "menu31.iso"), [](const auto& info) {
  return std::string(info.param == std::string("menu31") ? "Folder" : "Image");
});

TEST(DvdScanBadInput, NoTitlesAndAMessage) {
  REQUIRE_DVD_FIXTURES();
  TempDir dir;
  // A folder of random files, one of them posing as the disc's information file.
  const std::string noise = dir.File("noise");
  fs::create_directories(noise + "/VIDEO_TS");
  std::mt19937 random(31);
  for (const char* name : {"VIDEO_TS/VIDEO_TS.IFO", "VIDEO_TS/VTS_01_0.IFO", "VIDEO_TS/VTS_01_1.VOB", "readme.bin"}) {
    std::ofstream out(noise + "/" + name, std::ios::binary);
    for (int i = 0; i < 64 * 1024; ++i) out.put(static_cast<char>(random()));
  }
  // A damaged disc: the basic disc with its menu information zeroed.
  const std::string damaged = dir.File("damaged");
  fs::copy(DvdFixture("basic"), damaged, fs::copy_options::recursive);
  for (const char* name : {"VIDEO_TS.IFO", "VIDEO_TS.BUP"}) {
    const std::string file = damaged + "/VIDEO_TS/" + name;
    const auto size = fs::file_size(file);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << std::string(size, '\0');
  }
  // A disc cut short: the information file of its first title set ends early.
  const std::string cut = dir.File("cut");
  fs::copy(DvdFixture("basic"), cut, fs::copy_options::recursive);
  fs::resize_file(cut + "/VIDEO_TS/VIDEO_TS.IFO", 100);
  fs::resize_file(cut + "/VIDEO_TS/VIDEO_TS.BUP", 100);
  const std::string file = Touch(dir.File("plain.txt"), 5000);

  for (const std::string& path :
       {DvdFixture("broken/empty"), noise, damaged, cut, DvdFixture("broken/noudf.iso"), file, dir.File("missing")}) {
    SCOPED_TRACE(path);
    Load d(path);
    EXPECT_FALSE(d.loaded);
    EXPECT_EQ(0, d.report.titles);
    EXPECT_TRUE(d.tasks.empty());
    EXPECT_TRUE(d.view.order.empty());
    EXPECT_NE(std::string::npos, d.report.message.find(path)) << d.report.message;
    EXPECT_EQ((std::vector<std::string>{"begin", "end"}), d.view.calls);
  }
}

TEST(DvdScanBadInput, UnreadableTitleKeepsTheDiscNumbers) {
  REQUIRE_DVD_FIXTURES();
  Load d(DvdFixture("broken/badifo"));
  ASSERT_TRUE(d.loaded) << d.report.message;
  EXPECT_EQ((std::vector<std::string>{"Title-01", "Title-02", "Title-04"}), d.TitleTexts());
  EXPECT_EQ("dvd:4,1,2," + DvdFixture("broken/badifo"), d.view.Titles()[2]->task->GetSourceName());
  ASSERT_EQ(1u, d.report.notes.size());
  EXPECT_NE(std::string::npos, d.report.notes[0].find("Title 03")) << d.report.notes[0];
}

TEST(DvdScanLimits, MoreChaptersAndStreamsThanTheTablesHold) {
  if (!fs::exists(ManyFixture() + "/../.complete")) GTEST_SKIP() << "many-track DVD fixture missing";
  LoadCodecTables(TRIVOX_STAGE_DIR);
  Load d(ManyFixture());
  ASSERT_TRUE(d.loaded) << d.report.message;
  ASSERT_EQ(1u, d.view.Titles().size());
  const auto* title = d.view.Titles().front();
  EXPECT_TRUE(title->checked);
  // 105 chapters on the disc: 100 rows; the title's task reads to the title's end.
  EXPECT_EQ("dvd:1,1,999," + ManyFixture(), title->task->GetSourceName());
  EXPECT_EQ(42u, title->task->duration);
  const auto chapters = d.view.ChildrenOf(title);
  ASSERT_EQ(100u, chapters.size());
  EXPECT_EQ("Title-01-chap-100", chapters.back()->text);
  EXPECT_EQ("dvd:1,100,100," + ManyFixture(), chapters.back()->task->GetSourceName());
  // 8 audio and 32 subpicture streams: the video, every audio track, 11 subpictures.
  const std::vector<Track> tracks = Tracks(*title->task);
  ASSERT_EQ(20u, tracks.size());
  for (int i = 1; i <= 8; ++i) {
    EXPECT_EQ("AC3A", tracks[i].vfcc);
    EXPECT_EQ(0x80 + i - 1, tracks[i].id);
  }
  for (int i = 9; i < 20; ++i) {
    EXPECT_EQ("DVDS", tracks[i].vfcc);
    EXPECT_EQ(0x20 + i - 9, tracks[i].id);
  }
  EXPECT_EQ("48 kHZ stereo AC-3 (0x87) ,Dansk", tracks[8].text);
  ASSERT_EQ(2u, d.report.notes.size());
  EXPECT_NE(std::string::npos, d.report.notes[0].find("first 100 chapters")) << d.report.notes[0];
  EXPECT_NE(std::string::npos, d.report.notes[1].find("subpicture tracks 12 to 32 left out")) << d.report.notes[1];
}

}  // namespace
