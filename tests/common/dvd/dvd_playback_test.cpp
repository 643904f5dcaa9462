// DVD playback reading: block order against the cells, time seeks, chapters, failures,
// the buffer pool, and the time-to-sector walk on made-up chapters.
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "common/dvd/dvd_trace.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

std::mutex g_traceLock;
std::string g_trace;
void CaptureTrace(const char* text) {
  std::lock_guard<std::mutex> guard(g_traceLock);
  g_trace += text;
}

// ---------------------------------------------------------------- made-up chapters

DvdChapterRecord MakeChapter(int number, std::vector<DvdCell> cells) {
  DvdChapterRecord c;
  c.number = number;
  c.pgc = 1;
  c.program = number;
  for (const DvdCell& cell : cells) {
    c.duration += cell.duration;
    c.lastSector = cell.lastSector;
  }
  c.cells = std::move(cells);
  return c;
}

// Clock that runs linearly through the sectors: ticksPerSector per sector.
struct LinearClock {
  int64_t ticksPerSector;
  int calls = 0;

  DvdScrSampler Sampler() {
    return [this](int32_t sector) -> std::optional<int64_t> {
      ++calls;
      return 1000 + static_cast<int64_t>(sector) * ticksPerSector;
    };
  }
};
const DvdScrSampler kFailingSample = [](int32_t) -> std::optional<int64_t> { return std::nullopt; };
// A clock that moves by exactly 90 ticks between any two samples.
DvdScrSampler Step90Sample(int32_t start) {
  return [start](int32_t sector) -> std::optional<int64_t> { return sector == start ? 0 : 90; };
}

TEST(DvdSeekWalk, CellSectorCases) {
  // cell A: sectors 100..199, 900 ticks; zero-length cell B: 200..209; cell C: 300..399.
  DvdChapterRecord ch = MakeChapter(1, {{100, 199, 900, 0}, {200, 209, 0, 1}, {300, 399, 900, 2}});
  LinearClock clock{9};
  EXPECT_EQ(DvdCellSectorForTicks(ch, 0, clock.Sampler()), 100);
  EXPECT_EQ(DvdCellSectorForTicks(ch, 450, clock.Sampler()), 150);
  EXPECT_EQ(DvdCellSectorForTicks(ch, 900, clock.Sampler()), 199);  // equality stays
  // 900 ticks exactly used up by A, then B has 0 ticks: B's first sector, no division by 0.
  DvdChapterRecord onlyZero = MakeChapter(1, {{200, 209, 0, 1}});
  EXPECT_EQ(DvdCellSectorForTicks(onlyZero, 0, clock.Sampler()), 200);
  EXPECT_EQ(DvdCellSectorForTicks(onlyZero, 0, kFailingSample), 200);
  EXPECT_EQ(DvdCellSectorForTicks(ch, 1800, clock.Sampler()), 399);
  // Past the last cell: 300 before its end, but never before the chapter's start.
  EXPECT_EQ(DvdCellSectorForTicks(ch, 5000, clock.Sampler()), 100);
  DvdChapterRecord longChapter = MakeChapter(1, {{1000, 2999, 900, 0}});
  EXPECT_EQ(DvdCellSectorForTicks(longChapter, 5000, clock.Sampler()), 2699);
  // No clock: the linear guess.
  EXPECT_EQ(DvdCellSectorForTicks(longChapter, 450, kFailingSample), 2000);
  // A clock difference of exactly 90 ticks sets the offset to 0.
  EXPECT_EQ(DvdCellSectorForTicks(longChapter, 450, Step90Sample(1000)), 1000);
  // No sampler at all: the linear guess as well.
  EXPECT_EQ(DvdCellSectorForTicks(longChapter, 450, nullptr), 2000);
  // At most seven samples.
  LinearClock counted{9};
  DvdCellSectorForTicks(longChapter, 450, counted.Sampler());
  EXPECT_LE(counted.calls, 7);
  DvdChapterRecord empty = MakeChapter(1, {});
  EXPECT_EQ(DvdCellSectorForTicks(empty, 10, clock.Sampler()), 0);
}

TEST(DvdSeekWalk, ChapterRangeCases) {
  DvdChapterRecord c1 = MakeChapter(1, {{0, 99, 900, 0}});
  DvdChapterRecord c2 = MakeChapter(2, {{100, 149, 450, 1}});  // shorter than the back-off
  DvdChapterRecord c3 = MakeChapter(3, {{150, 999, 9000, 2}});
  const std::vector<DvdChapterRecord> list = {c1, c2, c3};
  LinearClock clock{9};
  struct Case {
    int first, last;
    int64_t ticks;
    int chapter;  // 0: no target
    int32_t sector;
    bool pastEnd;
  } cases[] = {
      {1, 3, 0, 1, 0, false},      {1, 3, 900, 1, 99, false},  // equality stays in chapter 1
      {1, 3, 1125, 2, 125, false}, {2, 3, 0, 2, 100, false},
      {1, 2, 99999, 2, 100, true},                          // short last chapter: its first sector, not negative
      {1, 3, 99999, 3, 699, true}, {3, 1, 0, 0, 0, false},  // first above last
      {4, 9, 0, 0, 0, false},      {2, 99, 450, 2, 149, false},
      {0, 1, 450, 1, 50, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " @" << c.ticks);
    const DvdSeekTarget t = DvdFindSeekTarget(list, c.first, c.last, c.ticks, clock.Sampler());
    if (c.chapter == 0) {
      EXPECT_EQ(t.chapter, nullptr);
      continue;
    }
    ASSERT_NE(t.chapter, nullptr);
    EXPECT_EQ(t.chapter->number, c.chapter);
    EXPECT_EQ(t.sector, c.sector);
    EXPECT_EQ(t.pastEnd, c.pastEnd);
  }
}

TEST(DvdSeekWalk, PgcOffsetCountsCellLengths) {
  cell_playback_t cells[4]{};
  cells[0].first_sector = 500;
  cells[0].last_sector = 599;  // after the others on disc
  cells[1].first_sector = 100;
  cells[1].last_sector = 149;
  cells[2].first_sector = 150;
  cells[2].last_sector = 199;  // angle block: first cell counts
  cells[2].block_type = BLOCK_TYPE_ANGLE_BLOCK;
  cells[2].block_mode = BLOCK_MODE_FIRST_CELL;
  cells[3].first_sector = 200;
  cells[3].last_sector = 249;
  cells[3].block_type = BLOCK_TYPE_ANGLE_BLOCK;
  cells[3].block_mode = BLOCK_MODE_LAST_CELL;
  pgc_t pgc{};
  pgc.nr_of_cells = 4;
  pgc.cell_playback = cells;
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 500), 0);
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 599), 99);
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 100), 100);
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 160), 160);
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 210), -1);  // second angle cell is not counted
  EXPECT_EQ(DvdPgcSectorOffset(&pgc, 50), -1);
  EXPECT_EQ(DvdPgcSectorOffset(nullptr, 50), -1);
}

TEST(DvdDamageWalk, CellsInTitleTime) {
  const std::vector<DvdChapterRecord> chapters = {
      MakeChapter(1, {{0, 99, 9000, 0}, {100, 199, 18000, 1}}),
      MakeChapter(2, {{300, 399, 9000, 2}}),
  };
  struct Case {
    uint32_t sector;
    int64_t elapsed;
    int64_t ticks;
  } cases[] = {
      {0, 0, 0},            // a cell's first sector
      {50, -1, 4500},       // no elapsed time: in proportion
      {100, 0, 9000},       // the second cell starts after the first
      {150, 0, 18000},      // 0 away from the cell's start: in proportion
      {150, 3600, 12600},   // the navigation pack's elapsed time
      {150, 90000, 27000},  // never past the cell's end
      {399, -1, 27000 + 8910},
      {250, -1, 0},  // between cells: no place
  };
  for (const Case& c : cases) EXPECT_EQ(DvdTitleTicksAt(chapters, c.sector, c.elapsed), c.ticks) << c.sector;
  EXPECT_FALSE(DvdFindCell(chapters, 250));
  const std::optional<DvdCellPlace> second = DvdFindCell(chapters, 120);
  ASSERT_TRUE(second);
  EXPECT_EQ(second->startTicks, 9000);
  const std::optional<DvdCellPlace> third = DvdFollowingCell(chapters, *second);
  ASSERT_TRUE(third);
  EXPECT_EQ(third->chapter->number, 2);
  EXPECT_EQ(third->cell->firstSector, 300);
  EXPECT_EQ(third->startTicks, 27000);
  EXPECT_FALSE(DvdFollowingCell(chapters, *third));
}

TEST(DvdBufferPool, SizesAndReuse) {
  BufferPoolInit();
  BufferPoolInit();  // again: harmless
  DvdBufferPtr a = BufferInit(2048);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->size, 2048);
  EXPECT_EQ(a->allocated, 2048);
  std::memset(a->data(), 0xAB, 2048 + 17);
  const DvdBuffer* kept = a.get();
  a.reset();
  DvdBufferPtr b = BufferInit(1500);  // same pool: the returned buffer comes back
  EXPECT_EQ(b.get(), kept);
  EXPECT_EQ(b->size, 1500);
  EXPECT_EQ(b->allocated, 2048);
  b.reset();
  struct Case {
    int32_t size, allocated;
    bool data;
  } cases[] = {{0, 0, false},
               {1, 1, true},
               {2, 1024, true},
               {1024, 1024, true},
               {1025, 2048, true},
               {1 << 25, 1 << 25, true},
               {(1 << 25) + 1, (1 << 25) + 1, true}};
  for (const Case& c : cases) {
    DvdBufferPtr x = BufferInit(c.size);
    ASSERT_NE(x, nullptr) << c.size;
    EXPECT_EQ(x->allocated, c.allocated) << c.size;
    EXPECT_EQ(x->data() != nullptr, c.data) << c.size;
  }
  // More than 32 returned: the pool keeps 32, the rest are freed (no leak under ASan).
  std::vector<DvdBufferPtr> many;
  for (int i = 0; i < 40; ++i) many.push_back(BufferInit(4096));
  many.clear();
  EXPECT_EQ(BufferInit(-1), nullptr);
}

// ---------------------------------------------------------------- fixture discs

class DvdPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    BufferPoolInit();
    {
      std::lock_guard<std::mutex> guard(g_traceLock);
      g_trace.clear();
    }
    previous_ = DvdSetTraceSink(CaptureTrace);
    buffer_ = BufferInit(kDvdBlockSize);
  }
  void TearDown() override {
    Close();
    buffer_.reset();
    DvdSetTraceSink(previous_);
  }

  void Open(const std::string& disc, int title) {
    handle_ = DvdInit(DvdFixture(disc).c_str());
    ASSERT_NE(handle_, nullptr);
    title_ = DvdTitleScan(*handle_, title);
    ASSERT_NE(title_, nullptr);
  }
  // The title goes after the handle that borrows its chapters.
  void Close() {
    DvdClose(handle_);
    EXPECT_EQ(handle_, nullptr);
    title_.reset();
  }

  const DvdChapterRecord* Chapter(int number) { return &title_->chapters.at(number - 1); }

  // The title set's VOB sectors of chapters first..last, cell by cell (zeros where a damaged
  // copy cannot be read).
  std::vector<std::vector<uint8_t>> CellSectors(int first, int last) {
    std::vector<std::vector<uint8_t>> out;
    const int vtsn = handle_->vmg->tt_srpt->title[title_->number - 1].title_set_nr;
    const DvdFilePtr file(DVDOpenFile(handle_->reader.get(), vtsn, DVD_READ_TITLE_VOBS));
    EXPECT_NE(file, nullptr);
    if (!file) return out;
    for (int c = first; c <= last; ++c) {
      for (const DvdCell& cell : Chapter(c)->cells)
        for (int32_t s = cell.firstSector; s <= cell.lastSector; ++s) {
          std::vector<uint8_t> block(kDvdBlockSize);
          if (DVDReadBlocks(file.get(), s, 1, block.data()) != 1) std::fill(block.begin(), block.end(), 0);
          out.push_back(block);
        }
    }
    return out;
  }

  std::string Trace() {
    std::lock_guard<std::mutex> guard(g_traceLock);
    return g_trace;
  }

  DvdTraceSink previous_ = nullptr;
  DvdNavHandlePtr handle_;
  DvdTitlePtr title_;
  DvdBufferPtr buffer_;
};

uint32_t Be32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
bool IsNavPack(const uint8_t* b) {
  return b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xBA && b[38] == 0 && b[39] == 0 && b[40] == 1 &&
         b[41] == 0xBF && b[44] == 0;
}

TEST_F(DvdPlayback, WholeTitlesReadExactlyTheirCells) {
  struct Case {
    const char* disc;
    int title;
  } cases[] = {{"basic", 1}, {"basic", 2}, {"basic", 3}, {"basic", 4}, {"basic.iso", 1}, {"menu31", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.disc << " title " << c.title);
    Open(c.disc, c.title);
    const auto want = CellSectors(1, static_cast<int>(title_->chapters.size()));
    ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
    size_t n = 0;
    while (DvdRead(*handle_, *buffer_)) {
      ASSERT_LT(n, want.size()) << "more blocks than the cells hold";
      EXPECT_EQ(std::memcmp(buffer_->data(), want[n].data(), kDvdBlockSize), 0) << "block " << n;
      ++n;
    }
    EXPECT_EQ(n, want.size());
    EXPECT_FALSE(handle_->readFailed);
    DvdStop(*handle_);
    EXPECT_EQ(handle_->chapterList, nullptr);
    Close();
  }
}

TEST_F(DvdPlayback, StartAtChapterAndChapterQueries) {
  Open("basic", 1);
  const auto want = CellSectors(2, 3);
  ASSERT_TRUE(DvdStart(*handle_, *title_, 2));
  ASSERT_TRUE(DvdRead(*handle_, *buffer_));
  EXPECT_EQ(std::memcmp(buffer_->data(), want[0].data(), kDvdBlockSize), 0);
  EXPECT_EQ(DvdChapter(*handle_), 2);
  size_t n = 1;
  int highest = 2;
  while (DvdRead(*handle_, *buffer_)) {
    highest = std::max(highest, DvdChapter(*handle_));
    ++n;
  }
  EXPECT_EQ(n, want.size());
  EXPECT_EQ(highest, 3);
  // After the stop event the next start reopens the navigator and plays again.
  ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
  ASSERT_TRUE(DvdRead(*handle_, *buffer_));
  EXPECT_EQ(DvdChapter(*handle_), 1);
}

TEST_F(DvdPlayback, TimeSeekLandsInTheVobuOfTheComputedSector) {
  Open("basic", 1);
  const DvdClockReader clock(*handle_, 1);
  ASSERT_TRUE(clock.ok());
  struct Case {
    int first, last;
    double seconds;
  } cases[] = {{1, 3, 0.0}, {1, 3, 1.0}, {1, 3, 1.84}, {1, 3, 2.5},  {1, 3, 5.0},
               {2, 3, 0.5}, {1, 3, 4.0}, {1, 1, 0.3},  {1, 3, 100.0}};
  ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " @" << c.seconds);
    const int64_t time = static_cast<int64_t>(c.seconds * 1e7);
    const DvdSeekTarget target = DvdFindSeekTarget(title_->chapters, c.first, c.last, time * 9 / 1000, clock.Sampler());
    ASSERT_NE(target.chapter, nullptr);
    EXPECT_EQ(target.pastEnd, c.seconds > 10);
    if (c.seconds == 0) {
      EXPECT_EQ(target.sector, Chapter(c.first)->cells[0].firstSector);
    }
    ASSERT_TRUE(DvdSeek(*handle_, c.first, c.last, time));
    ASSERT_TRUE(DvdRead(*handle_, *buffer_));
    ASSERT_TRUE(IsNavPack(buffer_->data()));
    const uint32_t lbn = Be32(buffer_->data() + 45);
    const uint32_t vobuEnd = lbn + Be32(buffer_->data() + 0x40F);
    EXPECT_LE(lbn, static_cast<uint32_t>(target.sector));
    EXPECT_GE(vobuEnd, static_cast<uint32_t>(target.sector));
    if (!target.pastEnd) {
      // The clock where it landed is near the wanted time (VOBUs are 0.48 s here, the mux clock runs ahead).
      const std::optional<int64_t> scr = DvdPackScr(buffer_->data());
      const std::optional<int64_t> scr0 = clock.Sample(Chapter(1)->cells[0].firstSector);
      ASSERT_TRUE(scr && scr0);
      double chapterStart = 0;
      for (int k = 1; k < c.first; ++k) chapterStart += Chapter(k)->duration / 90000.0;
      EXPECT_NEAR((*scr - *scr0) / 90000.0, chapterStart + c.seconds, 0.8);
    }
  }
  EXPECT_NE(Trace().find("goto chapter :3"), std::string::npos);
}

TEST_F(DvdPlayback, BackwardChapterChangeExcusedOnceAfterSeek) {
  Open("basic", 1);
  ASSERT_TRUE(DvdStart(*handle_, *title_, 3));
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(DvdRead(*handle_, *buffer_));
  EXPECT_EQ(handle_->chapter, 3);
  ASSERT_TRUE(DvdSeek(*handle_, 1, 3, 0));  // back to chapter 1
  ASSERT_TRUE(DvdRead(*handle_, *buffer_));
  EXPECT_EQ(handle_->chapter, 1);
  EXPECT_FALSE(handle_->justSought);
  size_t n = 1;
  while (DvdRead(*handle_, *buffer_)) ++n;
  EXPECT_EQ(n, CellSectors(1, 3).size());
  EXPECT_FALSE(handle_->readFailed);
}

TEST_F(DvdPlayback, TruncatedVobIsReadToItsCutAndTheRestIsOneOpenSpan) {
  Open("broken/trunc", 1);  // VTS_01_1.VOB cut after 360 sectors, inside title 1's last cell
  const auto want = CellSectors(1, 3);
  ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
  size_t n = 0;
  while (DvdRead(*handle_, *buffer_)) {
    ASSERT_LT(n, want.size());
    EXPECT_EQ(std::memcmp(buffer_->data(), want[n].data(), kDvdBlockSize), 0) << "block " << n;
    ++n;
  }
  EXPECT_EQ(n, 360u);                 // every sector before the cut, and nothing else
  EXPECT_FALSE(handle_->readFailed);  // it reached the title's end, skipping what is missing
  ASSERT_EQ(handle_->spans.size(), 1u);
  const DvdSkippedSpan& span = handle_->spans[0];
  EXPECT_FALSE(span.resumed);
  EXPECT_EQ(span.firstSector, 360u);
  EXPECT_NEAR(span.startTicks / 90000.0, 3.76 + 2.24 * 60 / 124, 0.5);  // cell 4 starts at 3.76 s
  EXPECT_NE(Trace().find("the damage runs to the title's end"), std::string::npos) << Trace();
  // An intact disc reads without a span.
  Close();
  Open("basic", 4);
  ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
  while (DvdRead(*handle_, *buffer_)) {
  }
  EXPECT_FALSE(handle_->readFailed);
  EXPECT_TRUE(handle_->spans.empty());
}

// Copies of the long disc damaged in place: reading skips to the next VOBU it can read, records
// each span with its sectors and title times, delivers the sectors around it unchanged, and ends.
TEST_F(DvdPlayback, DamagedPlacesAreSkippedAndRecorded) {
  const std::string folder = std::string(TRIVOX_BINARY_DIR) + "/tests/dvd_playback_damage";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  uint32_t nav = 0;
  Open("long", 1);
  nav = DvdClockReader(*handle_, 1).VobuStart(600);  // a navigation pack inside cell 2 (412-739)
  Close();
  ASSERT_GT(nav, 420u);
  struct Case {
    const char* label;
    int title;
    std::function<void(std::FILE*)> damage;
    size_t spans;
    bool resumed;
    uint32_t firstSector, lastSectorAtLeast;
    double maxLost;  // seconds
  } cases[] = {
      {"garbage over a navigation pack", 1,
       [nav](std::FILE* vob) {
         std::vector<uint8_t> junk(8 * kDvdBlockSize);
         for (size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<uint8_t>(i * 7919 >> 3);
         std::fseek(vob, static_cast<long>(nav - 3) * kDvdBlockSize, SEEK_SET);
         std::fwrite(junk.data(), 1, junk.size(), vob);
       },
       1, true, 0, nav + 4, 1.5},
      {"VOB cut inside the later title", 2,
       [](std::FILE* vob) { EXPECT_EQ(ftruncate(fileno(vob), 1800L * kDvdBlockSize), 0); }, 1, false, 1800, 0, 6},
      {"VOB cut to nothing", 1, [](std::FILE* vob) { EXPECT_EQ(ftruncate(fileno(vob), 0), 0); }, 1, false, 0, 0, 24},
  };
  int k = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string disc = folder + "/" + std::to_string(++k);
    std::filesystem::copy(DvdFixture("long"), disc, std::filesystem::copy_options::recursive);
    {
      std::FILE* vob = std::fopen((disc + "/VIDEO_TS/VTS_01_1.VOB").c_str(), "r+b");
      ASSERT_NE(vob, nullptr);
      c.damage(vob);
      std::fclose(vob);
    }
    handle_ = DvdInit(disc.c_str());
    ASSERT_NE(handle_, nullptr);
    title_ = DvdTitleScan(*handle_, c.title);
    ASSERT_NE(title_, nullptr);
    const auto want = CellSectors(1, static_cast<int>(title_->chapters.size()));
    const uint32_t first = static_cast<uint32_t>(title_->chapters[0].cells[0].firstSector);
    ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
    size_t n = 0;
    size_t skipped = 0;
    const auto t0 = std::chrono::steady_clock::now();
    while (DvdRead(*handle_, *buffer_)) {
      // Blocks come in sector order with the damaged span left out.
      if (!handle_->spans.empty() && handle_->spans[0].resumed && skipped == 0)
        skipped = handle_->spans[0].lastSector - handle_->spans[0].firstSector + 1;
      const size_t at = n + skipped;
      ASSERT_LT(at, want.size());
      EXPECT_EQ(std::memcmp(buffer_->data(), want[at].data(), kDvdBlockSize), 0) << "sector " << first + at;
      ++n;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
    EXPECT_FALSE(handle_->readFailed);
    ASSERT_EQ(handle_->spans.size(), c.spans);
    const DvdSkippedSpan& span = handle_->spans[0];
    EXPECT_EQ(span.resumed, c.resumed);
    if (c.resumed) {
      EXPECT_LE(span.firstSector, nav);
      EXPECT_GE(span.lastSector, c.lastSectorAtLeast);
      EXPECT_EQ(n + skipped, want.size());  // everything after the span was read
      EXPECT_GT(span.endTicks, span.startTicks);
      EXPECT_LT(span.endTicks - span.startTicks, c.maxLost * 90000);
      EXPECT_TRUE(span.clocked);
    } else {
      EXPECT_EQ(span.firstSector, c.firstSector);
      EXPECT_EQ(n, static_cast<size_t>(c.firstSector > first ? c.firstSector - first : 0));
    }
    Close();
  }
}

TEST_F(DvdPlayback, OperationsRefuseUnstartedHandlesAndSmallBuffers) {
  Open("basic", 1);
  EXPECT_FALSE(DvdSeek(*handle_, 1, 3, 0));  // not started: no chapter list
  DvdBufferPtr small = BufferInit(100);
  ASSERT_TRUE(DvdStart(*handle_, *title_, 1));
  EXPECT_FALSE(DvdRead(*handle_, *small));   // too small for a block
  EXPECT_FALSE(DvdSeek(*handle_, 3, 1, 0));  // first above last
  // A closed navigator answers without touching it.
  handle_->nav.reset();
  EXPECT_FALSE(DvdRead(*handle_, *buffer_));
  EXPECT_EQ(DvdChapter(*handle_), -1);
  EXPECT_FALSE(DvdSeek(*handle_, 1, 3, 0));
}

}  // namespace
