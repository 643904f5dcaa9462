// Title list, main title and scan of the DVD fixtures.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_menu_vote.h"
#include "common/dvd/dvd_title_list.h"
#include "common/dvd/dvd_trace.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

std::string g_trace;
void CaptureTrace(const char* text) { g_trace += text; }

class DvdScan : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    g_trace.clear();
    previous_ = DvdSetTraceSink(CaptureTrace);
    info_ = std::make_unique<DvdTitleInfo[]>(kDvdInfoMaxTitles);
  }
  void TearDown() override { DvdSetTraceSink(previous_); }

  int Fill(const std::string& name, bool vote = true) {
    return DvdFillTitleInfo(DvdFixture(name).c_str(), info_.get(), vote);
  }

  DvdTraceSink previous_ = nullptr;
  std::unique_ptr<DvdTitleInfo[]> info_;
};

std::vector<double> Chapters(const DvdTitleInfo& t) {
  std::vector<double> out;
  for (int i = 0; i < t.chapterCount; ++i) out.push_back(t.chapters[i].duration);
  return out;
}

void ExpectDurations(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "chapter " << i + 1;
}

struct AudioWant {
  int codec, id, channels;
  const char* language;
  int extension;
};

void ExpectAudio(const DvdTitleInfo& t, const std::vector<AudioWant>& want) {
  ASSERT_EQ(t.audioCount, static_cast<int>(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    const DvdAudioInfo& a = t.audio[i];
    EXPECT_EQ(a.codec, want[i].codec) << i;
    EXPECT_EQ(a.streamId, want[i].id) << i;
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.channels, want[i].channels) << i;
    EXPECT_STREQ(a.language, want[i].language) << i;
    EXPECT_EQ(a.codeExtension, want[i].extension) << i;
  }
}

struct SubWant {
  int id;
  const char* language;
  int extension;
};

void ExpectSubtitles(const DvdTitleInfo& t, const std::vector<SubWant>& want) {
  ASSERT_EQ(t.subtitleCount, static_cast<int>(want.size()));
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(t.subtitles[i].zero, 0);
    EXPECT_EQ(t.subtitles[i].streamId, want[i].id) << i;
    EXPECT_STREQ(t.subtitles[i].language, want[i].language) << i;
    EXPECT_EQ(t.subtitles[i].codeExtension, want[i].extension) << i;
  }
}

TEST_F(DvdScan, BasicDiscTitles) {
  ASSERT_EQ(Fill("basic"), 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(info_[i].valid, 1) << i;

  const DvdTitleInfo& t1 = info_[0];
  EXPECT_NEAR(t1.duration, 6.0, 1e-6);
  ExpectDurations(Chapters(t1), {1.84, 1.92, 2.24});
  EXPECT_EQ(t1.videoKind, 11);
  EXPECT_EQ(t1.videoStreamId, 0xE0);
  EXPECT_EQ(t1.width, 720);
  EXPECT_EQ(t1.height, 576);
  EXPECT_EQ(t1.videoFormat, 1);
  EXPECT_EQ(t1.aspect, 0);
  ExpectAudio(t1, {{kDvdAudioAc3, 0x80, 2, "English", 0}, {kDvdAudioMpeg, 0xC0, 2, "Deutsch", 2}});
  ExpectSubtitles(t1, {{0x20, "English", 0}, {0x21, "Francais", 2}});
  EXPECT_EQ(t1.palette[0], 0xeb8080u);
  EXPECT_EQ(t1.palette[1], 0x108080u);
  EXPECT_EQ(t1.palette[2], 0xd29210u);

  // Program 2 of title 2 is not a chapter: chapter 1 runs over its first two cells.
  const DvdTitleInfo& t2 = info_[1];
  EXPECT_NEAR(t2.duration, 4.0, 1e-6);
  ExpectDurations(Chapters(t2), {2.32, 1.68});

  const DvdTitleInfo& t3 = info_[2];
  EXPECT_NEAR(t3.duration, 2.0, 1e-6);
  EXPECT_EQ(t3.aspect, 3);
  EXPECT_EQ(t3.videoFormat, 1);
  ExpectAudio(t3, {{kDvdAudioLpcm, 0xA0, 2, "Francais", 0}, {kDvdAudioAc3, 0x80, 2, "Espanol", 0}});
  ExpectSubtitles(t3, {{0x20, "English", 0}, {0x21, "English", 0}});
  EXPECT_EQ(t3.palette[0], 0xaa10a6u);

  const DvdTitleInfo& t4 = info_[3];
  EXPECT_NEAR(t4.duration, 3.0, 1e-6);
  ExpectDurations(Chapters(t4), {1.36, 1.64});
  EXPECT_EQ(t4.videoKind, 10);
  EXPECT_EQ(t4.width, 352);
  EXPECT_EQ(t4.height, 576);
  ExpectAudio(t4, {{kDvdAudioMpeg, 0xC0, 2, "Italiano", 0}});
  EXPECT_EQ(t4.subtitleCount, 0);
  for (uint32_t colour : t4.palette) EXPECT_EQ(colour, 0x108080u);

  EXPECT_EQ(DvdMainTitleIndex(), 0);
  EXPECT_EQ(GetMainTitleIndex(), 0);
}

TEST_F(DvdScan, TitleScanCellsAndSubpictureOrder) {
  DvdNavHandlePtr handle = DvdInit(DvdFixture("basic").c_str());
  ASSERT_NE(handle, nullptr);
  DvdTitlePtr title = DvdTitleScan(*handle, 1);
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->chapters.size(), 3u);
  const DvdChapterRecord& c1 = title->chapters[0];
  ASSERT_EQ(c1.cells.size(), 2u);
  EXPECT_EQ(c1.cells[0].cellIndex, 0);
  EXPECT_EQ(c1.cells[1].cellIndex, 1);
  EXPECT_EQ(c1.cells[0].firstSector, 0);
  EXPECT_EQ(c1.cells[1].firstSector, c1.cells[0].lastSector + 1);
  EXPECT_EQ(c1.lastSector, c1.cells[1].lastSector);
  const DvdChapterRecord& c3 = title->chapters[2];
  // Title 2 follows title 1 in the same title set: the last chapter ends just before it.
  const DvdTitlePtr next = DvdTitleScan(*handle, 2);
  ASSERT_NE(next, nullptr);
  const DvdChapterRecord& n1 = next->chapters.at(0);
  EXPECT_GT(c3.lastSector, c3.cells.at(0).firstSector);
  EXPECT_EQ(c3.lastSector, c3.cells.back().lastSector);
  EXPECT_EQ(c3.lastSector + 1, n1.cells.at(0).firstSector);

  // 16:9 without pan-scan: letterbox stream first, then the wide one.
  title = DvdTitleScan(*handle, 3);
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->subtitles.size(), 2u);
  EXPECT_EQ(title->subtitles[0].streamId, 0x21BD);
  EXPECT_EQ(title->subtitles[1].streamId, 0x20BD);
  EXPECT_EQ(title->audio.at(0).streamId, 0xA0BD);

  EXPECT_EQ(DvdTitleScan(*handle, 0), nullptr);
  EXPECT_EQ(DvdTitleScan(*handle, 5), nullptr);
  EXPECT_EQ(g_dvdBackend->angleCount(*handle), 1);
  DvdClose(handle);
  EXPECT_EQ(handle, nullptr);
}

TEST_F(DvdScan, IsoScansLikeItsFolder) {
  ASSERT_EQ(Fill("basic"), 4);
  auto folder = std::make_unique<DvdTitleInfo[]>(kDvdInfoMaxTitles);
  std::memcpy(folder.get(), info_.get(), sizeof(DvdTitleInfo) * kDvdInfoMaxTitles);
  ASSERT_EQ(Fill("basic.iso"), 4);
  EXPECT_EQ(std::memcmp(folder.get(), info_.get(), sizeof(DvdTitleInfo) * 4), 0);
  const std::optional<std::string> name = g_dvdBackend->name(DvdFixture("basic.iso").c_str());
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(*name, "FIXTURE_BASIC");
  ASSERT_EQ(Fill("menu31.iso"), 31);
  EXPECT_EQ(DvdMainTitleIndex(), 2);
}

TEST_F(DvdScan, MainTitleByVoteOrLongest) {
  struct Case {
    const char* disc;
    bool vote;
    int titles;
    int mainIndex;
  } cases[] = {
      {"menu31", true, 31, 2},   // voted title 3
      {"menu31", false, 31, 0},  // no vote asked: longest
      {"menu30", true, 30, 0},   // 30 titles never vote
      {"root31", true, 31, 3},   // root menu only: title 4
      {"plain31", true, 31, 0},  // no menus: longest
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Fill(c.disc, c.vote), c.titles) << c.disc;
    EXPECT_EQ(DvdMainTitleIndex(), c.mainIndex) << c.disc << " vote " << c.vote;
  }
  const DvdTitleInfo& t1 = info_[0];  // plain31 title 1
  EXPECT_NEAR(t1.duration, 4.0, 1e-6);
  ExpectDurations(Chapters(t1), {1.934, 2.066});
  EXPECT_EQ(t1.videoFormat, 0);
  EXPECT_EQ(t1.width, 720);
  EXPECT_EQ(t1.height, 480);
}

TEST_F(DvdScan, VoteRecordsAndEventBudget) {
  DvdNavHandlePtr handle = DvdInit(DvdFixture("menu31").c_str());
  ASSERT_NE(handle, nullptr);
  g_trace.clear();
  EXPECT_EQ(DvdFindMainTitle(handle->nav.get()), 3);
  for (const char* line : {"Title 3,chapter 1\n", "Title 5,chapter 1\n", "Title 7,chapter 1\n", "Title 3,chapter 2\n",
                           "Title 9,chapter 1\n"})
    EXPECT_NE(g_trace.find(line), std::string::npos) << line;
  DvdClose(handle);

  // A vote that runs out of navigator events counts nothing.
  handle = DvdInit(DvdFixture("menu31").c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(DvdFindMainTitle(handle->nav.get(), 5), 0);
  DvdClose(handle);

  handle = DvdInit(DvdFixture("plain31").c_str());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(DvdFindMainTitle(handle->nav.get()), 0);
  DvdClose(handle);
}

TEST_F(DvdScan, BrokenDiscs) {
  ASSERT_EQ(Fill("menu31"), 31);
  ASSERT_EQ(DvdMainTitleIndex(), 2);
  // A disc that cannot be opened leaves the main title alone.
  EXPECT_EQ(Fill("broken/empty"), 0);
  EXPECT_EQ(Fill("broken/noudf.iso"), 0);
  EXPECT_EQ(Fill("no/such/disc"), 0);
  EXPECT_EQ(DvdMainTitleIndex(), 2);

  struct Case {
    const char* disc;
    std::vector<int> valid;
  } cases[] = {
      {"broken/badifo", {1, 1, 0, 1}},
      {"broken/badaspect", {1, 1, 1, 0}},
      {"broken/trunc", {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    for (int i = 0; i < 4; ++i) std::strcpy(info_[i].label, "kept");
    ASSERT_EQ(Fill(c.disc), 4) << c.disc;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(info_[i].valid, c.valid[i]) << c.disc << " title " << i + 1;
      if (c.valid[i] == 0) {
        EXPECT_EQ(info_[i].duration, 0.0);
        EXPECT_EQ(info_[i].chapterCount, 0);
        EXPECT_EQ(info_[i].audioCount, 0);
        EXPECT_EQ(info_[i].label[0], 0);
      } else {
        EXPECT_STREQ(info_[i].label, "kept");
      }
    }
    EXPECT_EQ(DvdMainTitleIndex(), 0) << c.disc;
  }
}

TEST_F(DvdScan, CapacityBoundsTheFill) {
  auto small = std::make_unique<DvdTitleInfo[]>(5);
  EXPECT_EQ(DvdFillTitleInfo(DvdFixture("menu31").c_str(), small.get(), 5, true), 5);
  EXPECT_EQ(DvdMainTitleIndex(), 0);  // the vote's title 3 lies inside, but 5 titles never vote
}

TEST_F(DvdScan, LibraryMessagesGoToTheTraceNotStderr) {
  std::fflush(stderr);
  std::string path = (std::filesystem::temp_directory_path() / "dvd_scan_stderr_XXXXXX").string();
  const int fd = mkstemp(path.data());
  ASSERT_GE(fd, 0);
  const int saved = dup(2);
  dup2(fd, 2);
  Fill("basic");
  Fill("broken/badifo");
  Fill("broken/empty");
  Fill("broken/noudf.iso");
  Fill("no/such/disc");
  EXPECT_FALSE(g_dvdBackend->name(DvdFixture("no/such/disc").c_str()).has_value());
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  const off_t size = lseek(fd, 0, SEEK_END);
  close(fd);
  unlink(path.c_str());
  EXPECT_EQ(size, 0);
  EXPECT_NE(g_trace.find("libdvdread: "), std::string::npos);
  EXPECT_NE(g_trace.find("libdvdnav: "), std::string::npos);
}

}  // namespace
