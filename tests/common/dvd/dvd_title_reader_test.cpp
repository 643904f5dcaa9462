// Title reader pieces over in-memory title set tables.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/dvd/dvd_language.h"
#include "common/dvd/dvd_menu_vote.h"
#include "common/dvd/dvd_title_list.h"
#include "common/dvd/dvd_title_reader.h"

namespace {

dvd_time_t Time(int h, int m, int s, uint8_t frame) {
  auto bcd = [](int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); };
  return dvd_time_t{bcd(h), bcd(m), bcd(s), frame};
}

// 25 fps time of whole seconds plus frames.
dvd_time_t Pal(int seconds, int frames = 0) {
  return Time(seconds / 3600, seconds / 60 % 60, seconds % 60,
              static_cast<uint8_t>(0x40 | (frames / 10) << 4 | (frames % 10)));
}

// A title set built in memory: PGCs of cells, titles of parts.
class FakeTitleSet {
 public:
  FakeTitleSet() {
    mat_.vts_video_attr.mpeg_version = 1;
    mat_.vts_video_attr.video_format = 1;
    ifo_.vtsi_mat = &mat_;
    ifo_.vts_ptt_srpt = &pttSrpt_;
    ifo_.vts_pgcit = &pgcit_;
    ifo_.vts_c_adt = &adt_;
    SetCellAddresses({{0, 99}, {100, 199}});
  }

  // Cells of the given seconds; program p starts at cell programFirst[p-1] (1-based).
  pgc_t* AddPgc(const std::vector<int>& cellSeconds, const std::vector<uint8_t>& programFirst) {
    auto pgc = std::make_unique<pgc_t>();
    std::memset(pgc.get(), 0, sizeof(pgc_t));
    auto& cells = cells_.emplace_back(cellSeconds.size());
    std::memset(cells.data(), 0, sizeof(cell_playback_t) * cells.size());
    int total = 0;
    uint32_t sector = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
      cells[i].playback_time = Pal(cellSeconds[i]);
      cells[i].first_sector = sector;
      cells[i].last_sector = sector + 9;
      sector += 10;
      total += cellSeconds[i];
    }
    auto& map = maps_.emplace_back(programFirst);
    pgc->nr_of_cells = static_cast<uint8_t>(cells.size());
    pgc->nr_of_programs = static_cast<uint8_t>(map.size());
    pgc->cell_playback = cells.data();
    pgc->program_map = map.data();
    pgc->playback_time = Pal(total);
    pgcs_.push_back(std::move(pgc));
    return pgcs_.back().get();
  }

  // A title of (pgc, program) parts.
  void AddTitle(const std::vector<std::pair<int, int>>& parts) {
    auto& p = parts_.emplace_back();
    for (auto [pgcn, pgn] : parts) p.push_back(ptt_info_t{static_cast<uint16_t>(pgcn), static_cast<uint16_t>(pgn)});
  }

  void SetCellAddresses(const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
    adrs_.clear();
    for (auto [first, last] : ranges) {
      cell_adr_t a{};
      a.start_sector = first;
      a.last_sector = last;
      adrs_.push_back(a);
    }
  }

  vtsi_mat_t& mat() { return mat_; }

  const ifo_handle_t* Ifo() {
    srps_.resize(pgcs_.size());
    for (size_t i = 0; i < pgcs_.size(); ++i) srps_[i].pgc = pgcs_[i].get();
    pgcit_.nr_of_pgci_srp = static_cast<uint16_t>(pgcs_.size());
    pgcit_.pgci_srp = srps_.data();
    titles_.resize(parts_.size());
    for (size_t i = 0; i < parts_.size(); ++i) {
      titles_[i].nr_of_ptts = static_cast<uint16_t>(parts_[i].size());
      titles_[i].ptt = parts_[i].data();
    }
    pttSrpt_.nr_of_srpts = static_cast<uint16_t>(titles_.size());
    pttSrpt_.title = titles_.data();
    adt_.nr_of_vobs = static_cast<uint16_t>(adrs_.size());
    adt_.last_byte = static_cast<uint32_t>(C_ADT_SIZE + adrs_.size() * sizeof(cell_adr_t) - 1);
    adt_.cell_adr_table = adrs_.data();
    return &ifo_;
  }

 private:
  ifo_handle_t ifo_{};
  vtsi_mat_t mat_{};
  vts_ptt_srpt_t pttSrpt_{};
  pgcit_t pgcit_{};
  c_adt_t adt_{};
  std::vector<cell_adr_t> adrs_;
  std::vector<pgci_srp_t> srps_;
  std::vector<ttu_t> titles_;
  std::vector<std::vector<ptt_info_t>> parts_;
  std::vector<std::unique_ptr<pgc_t>> pgcs_;
  std::vector<std::vector<cell_playback_t>> cells_;
  std::vector<std::vector<uint8_t>> maps_;
};

using TitlePtr = DvdTitlePtr;

const DvdChapterRecord* Chapter(const DvdTitle* t, int i) { return &t->chapters.at(i); }

TEST(DvdTime, ConvertsBcdTimesWithFrameRates) {
  struct Case {
    dvd_time_t time;
    int64_t ms;
  } cases[] = {
      {Time(1, 2, 3, 0xD5), 3723500},  // 29.97 fps, 15 frames, fraction dropped
      {Time(1, 2, 3, 0x15), 3723000},  // no rate: frames ignored
      {Time(1, 2, 3, 0x95), 3723000},  // rate code 2 is no rate either
      {Time(0, 0, 4, 0x50), 4400},     // 25 fps, 10 frames
      {Time(0, 0, 0, 0x64), 960},      // 25 fps, 24 frames
      {Time(99, 59, 59, 0), 359999000},
  };
  for (const Case& c : cases) EXPECT_EQ(DvdTimeToMs(c.time), c.ms);
}

TEST(DvdLanguage, LooksUpTwoLetterCodes) {
  EXPECT_EQ(DvdLanguageCount(), 186);
  EXPECT_STREQ(LangForCode(('E' << 8) | 'N').englishName, "English");
  EXPECT_STREQ(LangForCode(('e' << 8) | 'n').code3, "eng");
  EXPECT_STREQ(DvdLanguageName(LangForCode(('d' << 8) | 'e')), "Deutsch");
  EXPECT_STREQ(DvdLanguageName(LangForCode(('h' << 8) | 'r')), "Hrvatski");
  EXPECT_STREQ(DvdLanguageName(LangForCode(('j' << 8) | 'a')), "Japanese");
  EXPECT_STREQ(DvdLanguageName(LangForCode(0)), "???");
  EXPECT_STREQ(LangForCode(('z' << 8) | 'z').code3, "und");
  int native = 0;
  for (int i = 0; i < DvdLanguageCount(); ++i) native += DvdLanguageRow(i).nativeName[0] != 0;
  EXPECT_EQ(native, 14);
}

TEST(DvdNextCell, VisitsOnlyTheFirstCellOfAnAngleBlock) {
  FakeTitleSet set;
  pgc_t* pgc = set.AddPgc({1, 1, 1, 1, 1, 1, 1}, {1});
  // cells 2-4 (1-based) form an angle block; cells 6-7 form one that never ends properly
  for (int i : {1, 2, 3, 5, 6}) pgc->cell_playback[i].block_type = BLOCK_TYPE_ANGLE_BLOCK;
  pgc->cell_playback[1].block_mode = BLOCK_MODE_FIRST_CELL;
  pgc->cell_playback[3].block_mode = BLOCK_MODE_LAST_CELL;
  std::vector<int> visited;
  for (int cell = 0; cell < pgc->nr_of_cells; cell = DvdNextCell(pgc, cell)) visited.push_back(cell);
  EXPECT_EQ(visited, (std::vector<int>{0, 1, 4, 5}));
}

TEST(DvdChainDuration, FollowsNextPgcOnceAndChecksRanges) {
  FakeTitleSet set;
  pgc_t* a = set.AddPgc({2, 3}, {1, 2});
  pgc_t* b = set.AddPgc({4}, {1});
  a->next_pgc_nr = 2;
  b->next_pgc_nr = 1;  // loop back
  set.AddTitle({{1, 1}});
  const ifo_handle_t* ifo = set.Ifo();
  EXPECT_EQ(DvdChainDuration(ifo, 1, 1), 9 * 90000);
  EXPECT_EQ(DvdChainDuration(ifo, 1, 2), 9 * 90000);
  EXPECT_EQ(DvdChainDuration(ifo, 1, 3), 4 * 90000);  // PGC 1 has no program 3
  EXPECT_EQ(DvdChainDuration(ifo, 0, 1), 0);
  EXPECT_EQ(DvdChainDuration(ifo, 3, 1), 0);
  EXPECT_EQ(DvdChainDuration(ifo, 1, 0), 0);
  EXPECT_EQ(DvdChainDuration(ifo, 1, 100), 0);
}

TEST(DvdBuildTitle, ChapterRunsUpToTheNextChapterOverProgramsThatAreNotChapters) {
  FakeTitleSet set;
  set.AddPgc({2, 1, 3}, {1, 2, 3});  // three programs, one cell each
  set.AddTitle({{1, 1}, {1, 3}});    // program 2 is not a chapter
  TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 7));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->number, 7);
  ASSERT_EQ(title->chapters.size(), 2u);
  EXPECT_EQ(Chapter(title.get(), 0)->duration, 3 * 90000);
  EXPECT_EQ(Chapter(title.get(), 0)->cells.size(), 2u);
  EXPECT_EQ(Chapter(title.get(), 0)->lastSector, 19);
  EXPECT_EQ(Chapter(title.get(), 1)->duration, 3 * 90000);
  EXPECT_EQ(Chapter(title.get(), 1)->cells[0].cellIndex, 2);
  EXPECT_EQ(title->duration, 6 * 90000);
  EXPECT_EQ(DvdChapterFind(title->chapters, 1, 2), 1);
  EXPECT_EQ(DvdChapterFind(title->chapters, 1, 3), 2);
  EXPECT_EQ(DvdChapterFind(title->chapters, 2, 1), 0);
}

TEST(DvdBuildTitle, BoundsProgramMapsAndCellTables) {
  FakeTitleSet set;
  pgc_t* pgc = set.AddPgc({1, 1, 1}, {1, 200});  // program 2 points past the cells
  (void)pgc;
  std::vector<int> many(120, 1);
  std::vector<uint8_t> first = {1};
  set.AddPgc(many, first);
  set.AddTitle({{1, 1}, {1, 2}, {1, 9}, {2, 1}});
  TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 1));
  ASSERT_NE(title, nullptr);
  ASSERT_EQ(title->chapters.size(), 4u);
  EXPECT_EQ(Chapter(title.get(), 0)->duration, 3 * 90000);  // no valid next program start
  EXPECT_EQ(Chapter(title.get(), 1)->cells.size(), 0u);
  EXPECT_EQ(Chapter(title.get(), 2)->cells.size(), 0u);
  EXPECT_EQ(Chapter(title.get(), 3)->cells.size(), static_cast<size_t>(kDvdMaxCells));
  EXPECT_EQ(Chapter(title.get(), 3)->duration, 120 * 90000);
  EXPECT_EQ(Chapter(title.get(), 3)->lastSector, 1199);
}

TEST(DvdBuildTitle, RejectsBrokenTitleSets) {
  struct Case {
    const char* what;
    void (*spoil)(FakeTitleSet&);
    int vtsTtn;
  } cases[] = {
      {"aspect code 1", [](FakeTitleSet& s) { s.mat().vts_video_attr.display_aspect_ratio = 1; }, 1},
      {"aspect code 2", [](FakeTitleSet& s) { s.mat().vts_video_attr.display_aspect_ratio = 2; }, 1},
      {"cell start not below end",
       [](FakeTitleSet& s) {
         s.SetCellAddresses({{5, 5}});
       },
       1},
      {"cell sector all ones",
       [](FakeTitleSet& s) {
         s.SetCellAddresses({{0, 0xFFFFFF}});
       },
       1},
      {"title 0 in the set", [](FakeTitleSet&) {}, 0},
      {"title past the set", [](FakeTitleSet&) {}, 2},
      {"part in a missing PGC",
       [](FakeTitleSet& s) {
         s.AddTitle({{5, 1}});
       },
       2},
      {"part past the programs",
       [](FakeTitleSet& s) {
         s.AddTitle({{1, 4}});
       },
       2},
  };
  for (const Case& c : cases) {
    FakeTitleSet set;
    set.AddPgc({1, 1}, {1, 2});
    set.AddTitle({{1, 1}});
    c.spoil(set);
    TitlePtr title(DvdBuildTitle(set.Ifo(), c.vtsTtn, 1));
    EXPECT_EQ(title, nullptr) << c.what;
  }
}

TEST(DvdBuildTitle, SamePgcWithALowerProgramLowersTheChoice) {
  FakeTitleSet set;
  set.AddPgc({1, 1, 1}, {1, 2, 3});
  set.AddTitle({{1, 3}, {1, 1}});
  TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 1));
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(Chapter(title.get(), 0)->duration, 1 * 90000);
  EXPECT_EQ(Chapter(title.get(), 1)->duration, 2 * 90000);  // runs to program 3
}

TEST(DvdBuildTitle, StreamsFromControlWordsAndAttributes) {
  FakeTitleSet set;
  pgc_t* pgc = set.AddPgc({1}, {1});
  set.AddTitle({{1, 1}});
  vtsi_mat_t& mat = set.mat();
  mat.vts_video_attr.display_aspect_ratio = 3;
  mat.vts_video_attr.permitted_df = 0;
  mat.nr_of_vts_audio_streams = 200;  // corrupt count: only 8 attributes exist
  mat.nr_of_vts_subp_streams = 200;
  const int formats[8] = {0, 0, 2, 4, 6, 5, 3, 0};
  const uint16_t controls[8] = {0x8000, 0x8000, 0x8100, 0x8200, 0x8300, 0x8000, 0x0000, 0x8500};
  for (int i = 0; i < 8; ++i) {
    mat.vts_audio_attr[i].audio_format = formats[i];
    mat.vts_audio_attr[i].channels = 5;
    mat.vts_audio_attr[i].lang_code = ('f' << 8) | 'r';
    mat.vts_audio_attr[i].code_extension = 2;
    pgc->audio_control[i] = controls[i];
  }
  mat.vts_subp_attr[0].lang_code = ('e' << 8) | 'n';
  pgc->subp_control[0] = 0x80030303;  // letterbox, wide and pan-scan all stream 3
  pgc->subp_control[1] = 0x00000000;  // not available
  pgc->subp_control[2] = 0x80000102;  // letterbox 1, wide 0, pan-scan 2
  for (int k = 0; k < 32; ++k) pgc->palette[k % 16] = 0x00108080 + k;
  TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 1));
  ASSERT_NE(title, nullptr);

  std::vector<std::pair<int, int>> audio;
  for (const DvdAudio& a : title->audio) {
    audio.emplace_back(a.streamId, a.codec);
    EXPECT_EQ(a.channels, 6);
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.language, "Francais");
    EXPECT_EQ(a.codeExtension, 2);
  }
  const std::vector<std::pair<int, int>> wantAudio = {{0x80BD, kDvdAudioAc3},
                                                      {0xC1, kDvdAudioMpeg},
                                                      {0xA2BD, kDvdAudioLpcm},
                                                      {0x8BBD, kDvdAudioDts},
                                                      {0x85BD, kDvdAudioAc3}};
  EXPECT_EQ(audio, wantAudio);

  std::vector<int> subs;
  for (const DvdSubtitle& sub : title->subtitles) subs.push_back(sub.streamId);
  EXPECT_EQ(subs, (std::vector<int>{0x23BD, 0x21BD, 0x20BD, 0x22BD}));
  EXPECT_EQ(title->palette[0], 0x00108080u + 16);
  EXPECT_EQ(title->aspect, 3);
  EXPECT_EQ(title->width, 720);
  EXPECT_EQ(title->height, 576);
  EXPECT_EQ(title->videoKind, kDvdVideoMpeg2);
  EXPECT_EQ(title->videoStreamId, 0xE0);
}

TEST(DvdBuildTitle, SubpictureStreamBySixteenNineDisplayMode) {
  struct Case {
    int permitted;
    uint32_t control;
    std::vector<int> ids;
  } cases[] = {
      {2, 0x80030102, {0x21BD, 0x23BD}},  // letterbox then wide
      {1, 0x85030102, {0x25BD}},          // bits 28-24
      {3, 0xA5030102, {0x25BD}},          // bits 30-29 are not part of the number
  };
  for (const Case& c : cases) {
    FakeTitleSet set;
    pgc_t* pgc = set.AddPgc({1}, {1});
    set.AddTitle({{1, 1}});
    set.mat().vts_video_attr.display_aspect_ratio = 3;
    set.mat().vts_video_attr.permitted_df = c.permitted;
    set.mat().nr_of_vts_subp_streams = 1;
    pgc->subp_control[0] = c.control;
    TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 1));
    ASSERT_NE(title, nullptr);
    std::vector<int> ids;
    for (const DvdSubtitle& sub : title->subtitles) ids.push_back(sub.streamId);
    EXPECT_EQ(ids, c.ids) << "permitted display " << c.permitted;
  }
}

TEST(DvdBuildTitle, PictureSizeByFormatAndCode) {
  struct Case {
    int format, size, width, height;
  } cases[] = {{0, 0, 720, 480}, {0, 1, 704, 480}, {0, 2, 352, 480}, {0, 3, 352, 240}, {1, 0, 720, 576},
               {1, 1, 704, 576}, {1, 2, 352, 576}, {1, 3, 352, 288}, {2, 0, 0, 0}};
  for (const Case& c : cases) {
    FakeTitleSet set;
    set.AddPgc({1}, {1});
    set.AddTitle({{1, 1}});
    set.mat().vts_video_attr.video_format = c.format;
    set.mat().vts_video_attr.picture_size = c.size;
    set.mat().vts_video_attr.mpeg_version = 0;
    TitlePtr title(DvdBuildTitle(set.Ifo(), 1, 1));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->width, c.width) << c.format << "/" << c.size;
    EXPECT_EQ(title->height, c.height) << c.format << "/" << c.size;
    EXPECT_EQ(title->videoFormat, c.format);
    EXPECT_EQ(title->videoKind, kDvdVideoMpeg1);
  }
}

TEST(DvdVote, MostVotesWinsLowestTitleOnTies) {
  EXPECT_EQ(DvdCountVotes({}), 0);
  EXPECT_EQ(DvdCountVotes({5, 3, 105, 203}), 3);
  EXPECT_EQ(DvdCountVotes({103, 105, 107, 203, 109, 103}), 3);
  EXPECT_EQ(DvdCountVotes({100, 200}), 0);  // title 0 is never counted
  EXPECT_EQ(DvdCountVotes({9, 9, 4}), 9);
}

TEST(DvdTitleInfo, SubtitleEntriesSortBySubStreamId) {
  DvdSubtitleInfo entries[3] = {};
  entries[0].streamId = 0x22;
  entries[1].streamId = 0x20;
  entries[2].streamId = 0x21;
  std::sort(entries, entries + 3, CompareSubtitleEntry);
  EXPECT_EQ(entries[0].streamId, 0x20);
  EXPECT_EQ(entries[1].streamId, 0x21);
  EXPECT_EQ(entries[2].streamId, 0x22);
}

}  // namespace
