// Playing half of the navigator back end: start, block reading, chapter, time seek, and
// the pool of block buffers.
#include "common/dvd/dvd_playback.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_trace.h"

namespace {

// ---------------------------------------------------------------- buffer pool

constexpr int kMinPoolShift = 10;
constexpr int kMaxPoolShift = 25;
constexpr int kPoolCount = kMaxPoolShift - kMinPoolShift + 1;
constexpr int kPoolCapacity = 32;

struct BufferPool {
  std::mutex lock;
  DvdBuffer* head = nullptr;
  int count = 0;
  int32_t size = 0;
};

BufferPool* g_pools = nullptr;
std::once_flag g_pools_once;

// Pool of the smallest power of two >= size, or null for sizes without a pool.
BufferPool* PoolFor(int32_t size) {
  if (g_pools == nullptr || size <= 1 || size > (1 << kMaxPoolShift)) return nullptr;
  int shift = kMinPoolShift;
  while ((1 << shift) < size) ++shift;
  return &g_pools[shift - kMinPoolShift];
}

// ---------------------------------------------------------------- navigator helpers

constexpr int kMaxReadFailures = 10;
constexpr int kSeekEventLimit = 100;
constexpr int32_t kEndBackoffSectors = 300;

void NavError(dvdnav_t* nav) {
  if (nav != nullptr) DvdTrace("dvdnav: %s\n", dvdnav_err_to_string(nav));
}

const DvdChapterRecord* ChapterAt(const PtrList* chapters, int index) {
  return static_cast<const DvdChapterRecord*>(PtrListItem(chapters, index));
}

bool ReopenNavigator(DvdNavHandle* handle) {
  if (handle->nav != nullptr) dvdnav_close(handle->nav);
  handle->nav = nullptr;
  if (dvdnav_open2(&handle->nav, nullptr, &kDvdNavLogger, handle->path) != DVDNAV_STATUS_OK || handle->nav == nullptr) {
    handle->nav = nullptr;
    return false;
  }
  if (dvdnav_set_readahead_flag(handle->nav, 1) != DVDNAV_STATUS_OK ||
      dvdnav_set_PGC_positioning_flag(handle->nav, 1) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    return false;
  }
  return true;
}

// Current absolute-position text for failure lines.
void TraceReadFailure(DvdNavHandle* handle, const char* what) {
  uint32_t pos = 0;
  uint32_t len = 0;
  int32_t title = 0, pgcn = 0, pgn = 0;
  const bool have_pos = dvdnav_get_position(handle->nav, &pos, &len) == DVDNAV_STATUS_OK;
  dvdnav_current_title_program(handle->nav, &title, &pgcn, &pgn);
  if (have_pos)
    DvdTrace("dvd: reading title %d failed (%s) at block %u of %u, chapter %d\n", handle->title, what, pos, len,
             handle->chapter);
  else
    DvdTrace("dvd: reading title %d failed (%s), chapter %d\n", handle->title, what, handle->chapter);
}

}  // namespace

// ---------------------------------------------------------------- buffer pool

void BufferPoolInit() {
  std::call_once(g_pools_once, [] {
    auto* pools = new BufferPool[kPoolCount];
    for (int i = 0; i < kPoolCount; ++i) pools[i].size = 1 << (kMinPoolShift + i);
    g_pools = pools;
  });
}

DvdBuffer* BufferInit(int32_t size) {
  if (size < 0) return nullptr;
  BufferPool* pool = PoolFor(size);
  if (pool != nullptr) {
    std::lock_guard<std::mutex> guard(pool->lock);
    if (pool->head != nullptr) {
      DvdBuffer* b = pool->head;
      pool->head = b->next;
      --pool->count;
      b->next = nullptr;
      b->size = size;
      b->allocated = pool->size;
      return b;
    }
  }
  auto* b = static_cast<DvdBuffer*>(std::calloc(1, sizeof(DvdBuffer)));
  if (b == nullptr) return nullptr;
  b->size = size;
  b->allocated = pool != nullptr ? pool->size : size;
  if (size != 0) {
    b->data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(b->allocated) + 17));
    if (b->data == nullptr) {
      std::free(b);
      return nullptr;
    }
  }
  return b;
}

void BufferClose(DvdBuffer** buffer) {
  if (buffer == nullptr || *buffer == nullptr) return;
  DvdBuffer* b = *buffer;
  *buffer = nullptr;
  BufferPool* pool = PoolFor(b->allocated);
  if (pool != nullptr && pool->size == b->allocated && b->data != nullptr) {
    std::lock_guard<std::mutex> guard(pool->lock);
    if (pool->count < kPoolCapacity) {
      b->next = pool->head;
      pool->head = b;
      ++pool->count;
      return;
    }
  }
  std::free(b->data);
  std::free(b);
}

// ---------------------------------------------------------------- clock samples

bool DvdPackScr(const uint8_t* s, int64_t* scr) {
  if (s[0] != 0 || s[1] != 0 || s[2] != 1 || s[3] != 0xBA) return false;
  if ((s[4] & 0xC0) != 0x40) return false;  // MPEG-2 pack header
  *scr = (static_cast<int64_t>(s[4] & 0x38) << 27) | (static_cast<int64_t>(s[4] & 0x03) << 28) |
         (static_cast<int64_t>(s[5]) << 20) | (static_cast<int64_t>(s[6] & 0xF8) << 12) |
         (static_cast<int64_t>(s[6] & 0x03) << 13) | (static_cast<int64_t>(s[7]) << 5) | (s[8] >> 3);
  return true;
}

struct DvdClockReader {
  ifo_handle_t* vts = nullptr;
  dvd_file_t* file = nullptr;
};

DvdClockReader* DvdClockReaderOpen(DvdNavHandle* handle, int title) {
  if (handle == nullptr || handle->reader == nullptr || handle->vmg == nullptr) return nullptr;
  const tt_srpt_t* table = handle->vmg->tt_srpt;
  if (table == nullptr || table->title == nullptr || title < 1 || title > table->nr_of_srpts) return nullptr;
  const int vtsn = table->title[title - 1].title_set_nr;
  if (vtsn < 1) return nullptr;
  auto* r = new DvdClockReader;
  r->vts = ifoOpen(handle->reader, vtsn);
  r->file = DVDOpenFile(handle->reader, vtsn, DVD_READ_TITLE_VOBS);
  if (r->vts == nullptr || r->file == nullptr) DvdClockReaderClose(&r);
  return r;
}

void DvdClockReaderClose(DvdClockReader** reader) {
  if (reader == nullptr || *reader == nullptr) return;
  if ((*reader)->file != nullptr) DVDCloseFile((*reader)->file);
  if ((*reader)->vts != nullptr) ifoClose((*reader)->vts);
  delete *reader;
  *reader = nullptr;
}

bool DvdClockReaderSample(void* context, int32_t sector, int64_t* scr) {
  auto* r = static_cast<DvdClockReader*>(context);
  if (r == nullptr || r->file == nullptr || sector < 0) return false;
  uint8_t block[kDvdBlockSize];
  if (DVDReadBlocks(r->file, sector, 1, block) != 1) return false;
  return DvdPackScr(block, scr);
}

const pgc_t* DvdClockReaderPgc(DvdClockReader* reader, int pgcn) {
  if (reader == nullptr || reader->vts == nullptr) return nullptr;
  const pgcit_t* pgcit = reader->vts->vts_pgcit;
  if (pgcit == nullptr || pgcit->pgci_srp == nullptr || pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp) return nullptr;
  return pgcit->pgci_srp[pgcn - 1].pgc;
}

uint32_t DvdClockReaderVobuStart(DvdClockReader* reader, uint32_t sector) {
  if (reader == nullptr || reader->vts == nullptr || reader->vts->vts_vobu_admap == nullptr) return sector;
  const vobu_admap_t* admap = reader->vts->vts_vobu_admap;
  if (admap->vobu_start_sectors == nullptr || admap->last_byte + 1 < VOBU_ADMAP_SIZE) return sector;
  const uint32_t entries = (admap->last_byte + 1 - VOBU_ADMAP_SIZE) / 4;
  uint32_t best = sector;
  bool found = false;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint32_t start = admap->vobu_start_sectors[i];
    if (start <= sector && (!found || start > best)) {
      best = start;
      found = true;
    }
  }
  return found ? best : sector;
}

// ---------------------------------------------------------------- time to sector

int32_t DvdCellSectorForTicks(const DvdChapterRecord* chapter, int64_t ticks, DvdScrSampler sampler, void* context) {
  if (chapter == nullptr || chapter->cell_count <= 0) return 0;
  if (ticks < 0) ticks = 0;
  const DvdCell* cell = nullptr;
  for (int i = 0; i < chapter->cell_count; ++i) {
    const DvdCell& c = chapter->cells[i];
    if (ticks <= c.duration) {
      cell = &c;
      break;
    }
    ticks -= c.duration;
  }
  if (cell == nullptr) {
    const DvdCell& lastc = chapter->cells[chapter->cell_count - 1];
    return std::max(lastc.last_sector - kEndBackoffSectors, chapter->cells[0].first_sector);
  }
  const int64_t span = static_cast<int64_t>(cell->last_sector) - cell->first_sector;
  if (span < 0) return cell->first_sector;
  // A cell without a duration has nothing to interpolate: its first sector.
  const int64_t guess =
      cell->duration > 0
          ? std::min<int64_t>(static_cast<int64_t>(static_cast<uint64_t>(span + 1) * static_cast<uint64_t>(ticks) /
                                                   static_cast<uint64_t>(cell->duration)),
                              span)
          : 0;
  int64_t scr_start = 0;
  if (sampler == nullptr || !sampler(context, cell->first_sector, &scr_start))
    return static_cast<int32_t>(cell->first_sector + guess);
  int64_t e = guess;
  int64_t scr_now = scr_start;
  for (int i = 0; i < 6; ++i) {
    if (!sampler(context, static_cast<int32_t>(cell->first_sector + e), &scr_now))
      return static_cast<int32_t>(cell->first_sector + guess);
    const int64_t diff = scr_now - scr_start;
    e = diff > 90 ? e * ticks / diff : 0;
    e = std::min(e, span);
  }
  DvdTrace("TMCUR=%f,TM=%f,TMStart=%f\n", scr_now / 90000.0, ticks / 90000.0, scr_start / 90000.0);
  return static_cast<int32_t>(cell->first_sector + e);
}

DvdSeekTarget DvdFindSeekTarget(const PtrList* chapters, int first, int last, int64_t ticks, DvdScrSampler sampler,
                                void* context) {
  DvdSeekTarget target{nullptr, 0, false};
  const int count = PtrListCount(chapters);
  first = std::max(first, 1);
  last = std::min(last, count);
  if (first > last) return target;  // nothing in range: never walk past the list
  if (ticks < 0) ticks = 0;
  for (int c = first; c <= last; ++c) {
    const DvdChapterRecord* chapter = ChapterAt(chapters, c - 1);
    if (static_cast<uint64_t>(ticks) <= static_cast<uint64_t>(chapter->duration)) {
      target.chapter = chapter;
      target.sector = DvdCellSectorForTicks(chapter, ticks, sampler, context);
      return target;
    }
    if (c == last) {
      target.chapter = chapter;
      target.past_end = true;
      // A chapter shorter than the back-off lands on its own first sector.
      const int32_t start = chapter->cell_count > 0 ? chapter->cells[0].first_sector : 0;
      target.sector = std::max(chapter->last_sector - kEndBackoffSectors, start);
      return target;
    }
    ticks -= chapter->duration;
  }
  return target;
}

int64_t DvdPgcSectorOffset(const pgc_t* pgc, uint32_t sector) {
  if (pgc == nullptr || pgc->cell_playback == nullptr) return -1;
  int64_t offset = 0;
  for (int i = 0; i < pgc->nr_of_cells; ++i) {
    const cell_playback_t& cell = pgc->cell_playback[i];
    if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL) continue;
    if (cell.last_sector < cell.first_sector) continue;
    if (sector >= cell.first_sector && sector <= cell.last_sector) return offset + (sector - cell.first_sector);
    offset += static_cast<int64_t>(cell.last_sector) - cell.first_sector + 1;
  }
  return -1;
}

// ---------------------------------------------------------------- playing operations

int DvdNavStart(DvdNavHandle* handle, DvdTitle* title, int chapter) {
  if (handle == nullptr || title == nullptr) return 0;
  handle->chapter_list = title->chapters;
  handle->read_failed = 0;
  if (handle->ended != 0 || handle->nav == nullptr) {
    if (!ReopenNavigator(handle)) return 0;
  }
  const DvdChapterRecord* record = ChapterAt(title->chapters, chapter - 1);
  const dvdnav_status_t status = record != nullptr
                                     ? dvdnav_program_play(handle->nav, title->number, record->pgc, record->program)
                                     : dvdnav_part_play(handle->nav, title->number, 1);
  if (status != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    return 0;
  }
  handle->title = title->number;
  handle->ended = 0;
  handle->chapter = 0;
  return 1;
}

void DvdNavStop(DvdNavHandle* handle) {
  if (handle == nullptr) return;
  handle->chapter_list = nullptr;  // the title it came from is freed after stop
}

int DvdNavRead(DvdNavHandle* handle, DvdBuffer* buffer) {
  if (handle == nullptr || handle->nav == nullptr || buffer == nullptr || buffer->data == nullptr ||
      buffer->allocated < kDvdBlockSize)
    return 0;
  int failures = 0;
  while (handle->ended == 0) {
    int32_t event = 0;
    int32_t length = 0;
    if (dvdnav_get_next_block(handle->nav, buffer->data, &event, &length) != DVDNAV_STATUS_OK) {
      NavError(handle->nav);
      if (dvdnav_sector_search(handle->nav, 1, SEEK_CUR) != DVDNAV_STATUS_OK) {
        NavError(handle->nav);
        TraceReadFailure(handle, "cannot skip the bad block");
        handle->read_failed = 1;
        return 0;
      }
      if (++failures > kMaxReadFailures) {
        TraceReadFailure(handle, "too many bad blocks in a row");
        handle->read_failed = 1;
        return 0;
      }
      continue;
    }
    failures = 0;
    switch (event) {
      case DVDNAV_BLOCK_OK:
      case DVDNAV_NAV_PACKET:
        return 1;
      case DVDNAV_STILL_FRAME:
        dvdnav_still_skip(handle->nav);
        break;
      case DVDNAV_WAIT:
        dvdnav_wait_skip(handle->nav);
        break;
      case DVDNAV_STOP:
        handle->ended = 1;
        return 0;
      case DVDNAV_CELL_CHANGE: {
        const auto* cell = reinterpret_cast<const dvdnav_cell_change_event_t*>(buffer->data);
        DvdTrace("CELL LENGTH:%d\n", static_cast<int>(cell->pgc_length / 90 / 1000));
        int32_t title = 0, pgcn = 0, pgn = 0;
        if (dvdnav_current_title_program(handle->nav, &title, &pgcn, &pgn) != DVDNAV_STATUS_OK ||
            title != handle->title) {
          DvdTrace("not title read break out\n");
          return 0;
        }
        const int chapter = DvdChapterFind(handle->chapter_list, pgcn, pgn);
        if (chapter != handle->chapter) {
          if (chapter < handle->chapter) {
            if (handle->just_sought == 0) {
              DvdTrace("not chapter,read break out:%d,%d\n", chapter, handle->chapter);
              return 0;
            }
            handle->just_sought = 0;
          }
          handle->chapter = chapter;
        }
        break;
      }
      default:
        break;
    }
  }
  return 0;
}

int DvdNavChapter(DvdNavHandle* handle) {
  if (handle == nullptr || handle->nav == nullptr) return -1;
  int32_t title = 0, pgcn = 0, pgn = 0;
  if (dvdnav_current_title_program(handle->nav, &title, &pgcn, &pgn) != DVDNAV_STATUS_OK) return -1;
  return DvdChapterFind(handle->chapter_list, pgcn, pgn);
}

int DvdNavSeek(DvdNavHandle* handle, int first_chapter, int last_chapter, int64_t time) {
  if (handle == nullptr || handle->nav == nullptr || handle->chapter_list == nullptr) return 0;
  const int64_t ticks = std::max<int64_t>(time, 0) * 9 / 1000;
  handle->just_sought = 1;
  DvdClockReader* clock = DvdClockReaderOpen(handle, handle->title);
  const DvdSeekTarget target =
      DvdFindSeekTarget(handle->chapter_list, first_chapter, last_chapter, ticks, DvdClockReaderSample, clock);
  if (target.chapter == nullptr) {
    DvdClockReaderClose(&clock);
    return 0;
  }
  if (target.past_end) DvdTrace("goto chapter :%d\n", target.chapter->number);
  if (dvdnav_program_play(handle->nav, handle->title, target.chapter->pgc, target.chapter->program) != DVDNAV_STATUS_OK)
    NavError(handle->nav);
  // Aim at the VOBU start: the navigator lands there anyway, and a forward search that stays
  // in its current VOBU would otherwise be pushed on to the next one.
  const uint32_t vobu = std::max<uint32_t>(
      DvdClockReaderVobuStart(clock, static_cast<uint32_t>(target.sector)),
      static_cast<uint32_t>(target.chapter->cell_count > 0 ? target.chapter->cells[0].first_sector : 0));
  const int64_t offset = DvdPgcSectorOffset(DvdClockReaderPgc(clock, target.chapter->pgc), vobu);
  DvdClockReaderClose(&clock);
  DvdTrace("sector:%d\n", static_cast<int>(offset));
  if (offset < 0) return 0;

  // The navigator knows its position only once it has delivered something.
  uint8_t block[kDvdBlockSize];
  for (int i = 0; i < kSeekEventLimit; ++i) {
    int32_t event = 0;
    int32_t length = 0;
    if (dvdnav_get_next_block(handle->nav, block, &event, &length) != DVDNAV_STATUS_OK) {
      NavError(handle->nav);
      return 0;
    }
    if (event == DVDNAV_BLOCK_OK || event == DVDNAV_NAV_PACKET || event == DVDNAV_CELL_CHANGE) break;
    if (event == DVDNAV_STILL_FRAME) dvdnav_still_skip(handle->nav);
    if (event == DVDNAV_WAIT) dvdnav_wait_skip(handle->nav);
    if (event == DVDNAV_STOP) {
      handle->ended = 1;
      return 0;
    }
  }
  if (dvdnav_sector_search(handle->nav, offset, SEEK_SET) != DVDNAV_STATUS_OK) {
    NavError(handle->nav);
    return 0;
  }
  return 1;
}
