// DVD playback reading: block order against the cells, time seeks, chapters, failures,
// the buffer pool, and the time-to-sector walk on made-up chapters.
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "common/dvd/dvd_trace.h"
#include "tests/common/dvd/dvd_fixture.h"

namespace {

std::mutex g_trace_lock;
std::string g_trace;
void CaptureTrace(const char* text) {
  std::lock_guard<std::mutex> guard(g_trace_lock);
  g_trace += text;
}

// ---------------------------------------------------------------- made-up chapters

DvdChapterRecord MakeChapter(int number, std::vector<DvdCell> cells) {
  DvdChapterRecord c{};
  c.number = number;
  c.pgc = 1;
  c.program = number;
  for (const DvdCell& cell : cells) {
    c.cells[c.cell_count++] = cell;
    c.duration += cell.duration;
    c.last_sector = cell.last_sector;
  }
  return c;
}

// Clock that runs linearly through the sectors: ticks_per_sector per sector.
struct LinearClock {
  int64_t ticks_per_sector;
  int calls = 0;
};
bool LinearSample(void* context, int32_t sector, int64_t* scr) {
  auto* clock = static_cast<LinearClock*>(context);
  ++clock->calls;
  *scr = 1000 + static_cast<int64_t>(sector) * clock->ticks_per_sector;
  return true;
}
bool FailingSample(void*, int32_t, int64_t*) { return false; }
// A clock that moves by exactly 90 ticks between any two samples.
bool Step90Sample(void* context, int32_t sector, int64_t* scr) {
  *scr = sector == *static_cast<int32_t*>(context) ? 0 : 90;
  return true;
}

TEST(DvdSeekWalk, CellSectorCases) {
  // cell A: sectors 100..199, 900 ticks; zero-length cell B: 200..209; cell C: 300..399.
  DvdChapterRecord ch = MakeChapter(1, {{100, 199, 900, 0}, {200, 209, 0, 1}, {300, 399, 900, 2}});
  LinearClock clock{9};
  EXPECT_EQ(DvdCellSectorForTicks(&ch, 0, LinearSample, &clock), 100);
  EXPECT_EQ(DvdCellSectorForTicks(&ch, 450, LinearSample, &clock), 150);
  EXPECT_EQ(DvdCellSectorForTicks(&ch, 900, LinearSample, &clock), 199);  // equality stays
  // 900 ticks exactly used up by A, then B has 0 ticks: B's first sector, no division by 0.
  DvdChapterRecord only_zero = MakeChapter(1, {{200, 209, 0, 1}});
  EXPECT_EQ(DvdCellSectorForTicks(&only_zero, 0, LinearSample, &clock), 200);
  EXPECT_EQ(DvdCellSectorForTicks(&only_zero, 0, FailingSample, nullptr), 200);
  EXPECT_EQ(DvdCellSectorForTicks(&ch, 1800, LinearSample, &clock), 399);
  // Past the last cell: 300 before its end, but never before the chapter's start.
  EXPECT_EQ(DvdCellSectorForTicks(&ch, 5000, LinearSample, &clock), 100);
  DvdChapterRecord long_ch = MakeChapter(1, {{1000, 2999, 900, 0}});
  EXPECT_EQ(DvdCellSectorForTicks(&long_ch, 5000, LinearSample, &clock), 2699);
  // No clock: the linear guess.
  EXPECT_EQ(DvdCellSectorForTicks(&long_ch, 450, FailingSample, nullptr), 2000);
  // A clock difference of exactly 90 ticks sets the offset to 0.
  int32_t start = 1000;
  EXPECT_EQ(DvdCellSectorForTicks(&long_ch, 450, Step90Sample, &start), 1000);
  // At most seven samples.
  LinearClock counted{9};
  DvdCellSectorForTicks(&long_ch, 450, LinearSample, &counted);
  EXPECT_LE(counted.calls, 7);
  DvdChapterRecord empty = MakeChapter(1, {});
  EXPECT_EQ(DvdCellSectorForTicks(&empty, 10, LinearSample, &clock), 0);
}

TEST(DvdSeekWalk, ChapterRangeCases) {
  DvdChapterRecord c1 = MakeChapter(1, {{0, 99, 900, 0}});
  DvdChapterRecord c2 = MakeChapter(2, {{100, 149, 450, 1}});  // shorter than the back-off
  DvdChapterRecord c3 = MakeChapter(3, {{150, 999, 9000, 2}});
  PtrList* list = PtrListCreate();
  PtrListAppend(list, &c1);
  PtrListAppend(list, &c2);
  PtrListAppend(list, &c3);
  LinearClock clock{9};
  struct Case {
    int first, last;
    int64_t ticks;
    int chapter;  // 0: no target
    int32_t sector;
    bool past_end;
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
    const DvdSeekTarget t = DvdFindSeekTarget(list, c.first, c.last, c.ticks, LinearSample, &clock);
    if (c.chapter == 0) {
      EXPECT_EQ(t.chapter, nullptr);
      continue;
    }
    ASSERT_NE(t.chapter, nullptr);
    EXPECT_EQ(t.chapter->number, c.chapter);
    EXPECT_EQ(t.sector, c.sector);
    EXPECT_EQ(t.past_end, c.past_end);
  }
  PtrListClose(&list);
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

TEST(DvdBufferPool, SizesAndReuse) {
  BufferPoolInit();
  BufferPoolInit();  // again: harmless
  DvdBuffer* a = BufferInit(2048);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->size, 2048);
  EXPECT_EQ(a->allocated, 2048);
  std::memset(a->data, 0xAB, 2048 + 17);
  DvdBuffer* kept = a;
  BufferClose(&a);
  EXPECT_EQ(a, nullptr);
  DvdBuffer* b = BufferInit(1500);  // same pool: the returned buffer comes back
  EXPECT_EQ(b, kept);
  EXPECT_EQ(b->size, 1500);
  EXPECT_EQ(b->allocated, 2048);
  BufferClose(&b);
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
    DvdBuffer* x = BufferInit(c.size);
    ASSERT_NE(x, nullptr) << c.size;
    EXPECT_EQ(x->allocated, c.allocated) << c.size;
    EXPECT_EQ(x->data != nullptr, c.data) << c.size;
    BufferClose(&x);
  }
  // More than 32 returned: the pool keeps 32, the rest are freed (no leak under ASan).
  std::vector<DvdBuffer*> many;
  for (int i = 0; i < 40; ++i) many.push_back(BufferInit(4096));
  for (DvdBuffer*& m : many) BufferClose(&m);
  EXPECT_EQ(BufferInit(-1), nullptr);
}

// ---------------------------------------------------------------- fixture discs

class DvdPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_DVD_FIXTURES();
    BufferPoolInit();
    {
      std::lock_guard<std::mutex> guard(g_trace_lock);
      g_trace.clear();
    }
    previous_ = DvdSetTraceSink(CaptureTrace);
    buffer_ = BufferInit(kDvdBlockSize);
  }
  void TearDown() override {
    DvdTitleClose(&title_);
    DvdClose(&handle_);
    BufferClose(&buffer_);
    DvdSetTraceSink(previous_);
  }

  void Open(const std::string& disc, int title) {
    handle_ = DvdInit(DvdFixture(disc).c_str());
    ASSERT_NE(handle_, nullptr);
    title_ = DvdTitleScan(handle_, title);
    ASSERT_NE(title_, nullptr);
  }

  const DvdChapterRecord* Chapter(int number) {
    return static_cast<const DvdChapterRecord*>(PtrListItem(title_->chapters, number - 1));
  }

  // The title set's VOB sectors of chapters first..last, cell by cell.
  std::vector<std::vector<uint8_t>> CellSectors(int first, int last) {
    std::vector<std::vector<uint8_t>> out;
    const int vtsn = handle_->vmg->tt_srpt->title[title_->number - 1].title_set_nr;
    dvd_file_t* file = DVDOpenFile(handle_->reader, vtsn, DVD_READ_TITLE_VOBS);
    EXPECT_NE(file, nullptr);
    if (file == nullptr) return out;
    for (int c = first; c <= last; ++c) {
      const DvdChapterRecord* ch = Chapter(c);
      for (int i = 0; i < ch->cell_count; ++i)
        for (int32_t s = ch->cells[i].first_sector; s <= ch->cells[i].last_sector; ++s) {
          std::vector<uint8_t> block(kDvdBlockSize);
          EXPECT_EQ(DVDReadBlocks(file, s, 1, block.data()), 1);
          out.push_back(block);
        }
    }
    DVDCloseFile(file);
    return out;
  }

  std::string Trace() {
    std::lock_guard<std::mutex> guard(g_trace_lock);
    return g_trace;
  }

  DvdTraceSink previous_ = nullptr;
  DvdNavHandle* handle_ = nullptr;
  DvdTitle* title_ = nullptr;
  DvdBuffer* buffer_ = nullptr;
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
    const auto want = CellSectors(1, PtrListCount(title_->chapters));
    ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
    size_t n = 0;
    while (DvdRead(handle_, buffer_) == 1) {
      ASSERT_LT(n, want.size()) << "more blocks than the cells hold";
      EXPECT_EQ(std::memcmp(buffer_->data, want[n].data(), kDvdBlockSize), 0) << "block " << n;
      ++n;
    }
    EXPECT_EQ(n, want.size());
    EXPECT_EQ(handle_->read_failed, 0);
    DvdStop(handle_);
    EXPECT_EQ(handle_->chapter_list, nullptr);
    DvdTitleClose(&title_);
    DvdClose(&handle_);
  }
}

TEST_F(DvdPlayback, StartAtChapterAndChapterQueries) {
  Open("basic", 1);
  const auto want = CellSectors(2, 3);
  ASSERT_EQ(DvdStart(handle_, title_, 2), 1);
  ASSERT_EQ(DvdRead(handle_, buffer_), 1);
  EXPECT_EQ(std::memcmp(buffer_->data, want[0].data(), kDvdBlockSize), 0);
  EXPECT_EQ(DvdChapter(handle_), 2);
  size_t n = 1;
  int highest = 2;
  while (DvdRead(handle_, buffer_) == 1) {
    highest = std::max(highest, DvdChapter(handle_));
    ++n;
  }
  EXPECT_EQ(n, want.size());
  EXPECT_EQ(highest, 3);
  // After the stop event the next start reopens the navigator and plays again.
  ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
  ASSERT_EQ(DvdRead(handle_, buffer_), 1);
  EXPECT_EQ(DvdChapter(handle_), 1);
}

TEST_F(DvdPlayback, TimeSeekLandsInTheVobuOfTheComputedSector) {
  Open("basic", 1);
  DvdClockReader* clock = DvdClockReaderOpen(handle_, 1);
  ASSERT_NE(clock, nullptr);
  struct Case {
    int first, last;
    double seconds;
  } cases[] = {{1, 3, 0.0}, {1, 3, 1.0}, {1, 3, 1.84}, {1, 3, 2.5},  {1, 3, 5.0},
               {2, 3, 0.5}, {1, 3, 4.0}, {1, 1, 0.3},  {1, 3, 100.0}};
  ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " @" << c.seconds);
    const int64_t time = static_cast<int64_t>(c.seconds * 1e7);
    const DvdSeekTarget target =
        DvdFindSeekTarget(title_->chapters, c.first, c.last, time * 9 / 1000, DvdClockReaderSample, clock);
    ASSERT_NE(target.chapter, nullptr);
    EXPECT_EQ(target.past_end, c.seconds > 10);
    if (c.seconds == 0) {
      EXPECT_EQ(target.sector, Chapter(c.first)->cells[0].first_sector);
    }
    ASSERT_EQ(DvdSeek(handle_, c.first, c.last, time), 1);
    ASSERT_EQ(DvdRead(handle_, buffer_), 1);
    ASSERT_TRUE(IsNavPack(buffer_->data));
    const uint32_t lbn = Be32(buffer_->data + 45);
    const uint32_t vobu_end = lbn + Be32(buffer_->data + 0x40F);
    EXPECT_LE(lbn, static_cast<uint32_t>(target.sector));
    EXPECT_GE(vobu_end, static_cast<uint32_t>(target.sector));
    if (!target.past_end) {
      // The clock where it landed is near the wanted time (VOBUs are 0.48 s here, the mux clock runs ahead).
      int64_t scr0 = 0, scr = 0;
      ASSERT_TRUE(DvdPackScr(buffer_->data, &scr));
      ASSERT_TRUE(DvdClockReaderSample(clock, Chapter(1)->cells[0].first_sector, &scr0));
      double chapter_start = 0;
      for (int k = 1; k < c.first; ++k) chapter_start += Chapter(k)->duration / 90000.0;
      EXPECT_NEAR((scr - scr0) / 90000.0, chapter_start + c.seconds, 0.8);
    }
  }
  EXPECT_NE(Trace().find("goto chapter :3"), std::string::npos);
  DvdClockReaderClose(&clock);
}

TEST_F(DvdPlayback, BackwardChapterChangeExcusedOnceAfterSeek) {
  Open("basic", 1);
  ASSERT_EQ(DvdStart(handle_, title_, 3), 1);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(DvdRead(handle_, buffer_), 1);
  EXPECT_EQ(handle_->chapter, 3);
  ASSERT_EQ(DvdSeek(handle_, 1, 3, 0), 1);  // back to chapter 1
  ASSERT_EQ(DvdRead(handle_, buffer_), 1);
  EXPECT_EQ(handle_->chapter, 1);
  EXPECT_EQ(handle_->just_sought, 0);
  size_t n = 1;
  while (DvdRead(handle_, buffer_) == 1) ++n;
  EXPECT_EQ(n, CellSectors(1, 3).size());
  EXPECT_EQ(handle_->read_failed, 0);
}

TEST_F(DvdPlayback, TruncatedVobIsAFailureNotAnEnd) {
  Open("broken/trunc", 1);
  ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
  int n = 0;
  while (DvdRead(handle_, buffer_) == 1) ++n;
  EXPECT_LT(n, 427);
  EXPECT_EQ(handle_->read_failed, 1);
  EXPECT_NE(Trace().find("reading title 1 failed"), std::string::npos) << Trace();
  // An intact disc reports its end as an end.
  DvdTitleClose(&title_);
  DvdClose(&handle_);
  Open("basic", 4);
  ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
  while (DvdRead(handle_, buffer_) == 1) {
  }
  EXPECT_EQ(handle_->read_failed, 0);
}

TEST_F(DvdPlayback, OperationsRefuseNullAndUnstartedHandles) {
  EXPECT_EQ(DvdNavStart(nullptr, nullptr, 1), 0);
  EXPECT_EQ(DvdNavRead(nullptr, buffer_), 0);
  EXPECT_EQ(DvdNavChapter(nullptr), -1);
  EXPECT_EQ(DvdNavSeek(nullptr, 1, 1, 0), 0);
  Open("basic", 1);
  EXPECT_EQ(DvdSeek(handle_, 1, 3, 0), 0);  // not started: no chapter list
  DvdBuffer* small = BufferInit(100);
  ASSERT_EQ(DvdStart(handle_, title_, 1), 1);
  EXPECT_EQ(DvdRead(handle_, small), 0);  // too small for a block
  BufferClose(&small);
  EXPECT_EQ(DvdSeek(handle_, 3, 1, 0), 0);  // first above last
}

}  // namespace
