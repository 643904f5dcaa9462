// Playing half of the navigator back end: start, block reading, chapter, time seek, and
// the pool of block buffers.
#include "common/dvd/dvd_playback.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <new>

#include <dvdread/ifo_read.h>

#include "common/dvd/dvd_disc_view.h"
#include "common/dvd/dvd_trace.h"

namespace {

// ---------------------------------------------------------------- buffer pool

constexpr int kMinPoolShift = 10;
constexpr int kMaxPoolShift = 25;
constexpr int kPoolCount = kMaxPoolShift - kMinPoolShift + 1;
constexpr size_t kPoolCapacity = 32;
constexpr size_t kDataSlack = 17;

// Free buffers of one size, most recently returned last.
struct BufferPool {
  std::mutex lock;
  std::vector<std::unique_ptr<DvdBuffer>> free;
  int32_t size = 0;
};

// Made once and never freed: buffers may come back from any thread until the process ends.
std::atomic<BufferPool*> g_pools{nullptr};
std::once_flag g_poolsOnce;

// Pool of the smallest power of two >= size, or null for sizes without a pool.
BufferPool* PoolFor(int32_t size) {
  BufferPool* pools = g_pools.load();
  if (pools == nullptr || size <= 1 || size > (1 << kMaxPoolShift)) return nullptr;
  int shift = kMinPoolShift;
  while ((1 << shift) < size) ++shift;
  return &pools[shift - kMinPoolShift];
}

// ---------------------------------------------------------------- navigator helpers

constexpr int kSeekEventLimit = 100;
constexpr int32_t kEndBackoffSectors = 300;
// Damage: failed reads in a row (no navigation pack read in between) before reading gives up.
// The first few skip one VOBU each, later ones twice as far each time.
constexpr int kMaxSkipFailures = 24;
constexpr int kSingleSkips = 4;
// Navigator events in a row that deliver no block (cell changes, waits...) before reading gives up.
constexpr int kMaxIdleEvents = 10000;
// A VOBU longer than this has no usable duration.
constexpr int64_t kMaxVobuTicks = 10 * 90000;
// Clock differences between consecutive VOBUs below this (90 kHz ticks: 1 ms) are rounding.
constexpr int64_t kClockJumpTolerance = 90;

void NavError(dvdnav_t* nav) {
  if (nav != nullptr) DvdTrace("dvdnav: %s\n", dvdnav_err_to_string(nav));
}

// Where reading stopped, for the failure line.
void TraceReadFailure(const DvdNavHandle& handle, const char* what) {
  uint32_t pos = 0;
  uint32_t len = 0;
  if (dvdnav_get_position(handle.nav.get(), &pos, &len) == DVDNAV_STATUS_OK)
    DvdTrace("dvd: reading title %d failed (%s) at block %u of %u, chapter %d\n", handle.title, what, pos, len,
             handle.chapter);
  else
    DvdTrace("dvd: reading title %d failed (%s), chapter %d\n", handle.title, what, handle.chapter);
}

const DvdChapterRecord* ChapterAt(const std::vector<DvdChapterRecord>& chapters, int index) {
  return index >= 0 && static_cast<size_t>(index) < chapters.size() ? &chapters[index] : nullptr;
}

int32_t FirstSectorOf(const DvdChapterRecord& chapter) {
  return chapter.cells.empty() ? 0 : chapter.cells.front().firstSector;
}

bool ReopenNavigator(DvdNavHandle& handle) {
  handle.nav.reset();
  if (!handle.view) return false;
  handle.nav = DvdOpenNavigator(*handle.view);
  return handle.nav != nullptr;
}

const pgc_t* PgcIn(const ifo_handle_t* vts, int pgcn) {
  if (vts == nullptr) return nullptr;
  const pgcit_t* pgcit = vts->vts_pgcit;
  if (pgcit == nullptr || pgcit->pgci_srp == nullptr || pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp) return nullptr;
  return pgcit->pgci_srp[pgcn - 1].pgc;
}

// VOBU start sectors of a title set, in the order the address map gives them.
struct AddressMap {
  const uint32_t* starts = nullptr;
  uint32_t count = 0;
};

// The title set's map; none when it is missing or damaged (its starts must rise: a zeroed or
// garbled map would send every look-up to the wrong VOBU).
AddressMap AddressMapOf(const ifo_handle_t* vts) {
  AddressMap map;
  if (vts == nullptr || vts->vts_vobu_admap == nullptr) return map;
  const vobu_admap_t* admap = vts->vts_vobu_admap;
  if (admap->vobu_start_sectors == nullptr || admap->last_byte + 1 < VOBU_ADMAP_SIZE) return map;
  const uint32_t count = (admap->last_byte + 1 - VOBU_ADMAP_SIZE) / 4;
  for (uint32_t i = 1; i < count; ++i)
    if (admap->vobu_start_sectors[i] <= admap->vobu_start_sectors[i - 1]) return map;
  map.starts = admap->vobu_start_sectors;
  map.count = count;
  return map;
}

// Start of the VOBU that holds a sector (the sector itself without a map entry below it).
uint32_t VobuStartIn(const AddressMap& map, uint32_t sector) {
  bool found = false;
  uint32_t best = sector;
  for (uint32_t i = 0; i < map.count; ++i) {
    const uint32_t start = map.starts[i];
    if (start <= sector && (!found || start > best)) {
      best = start;
      found = true;
    }
  }
  return best;
}

// Start of the first VOBU after sector; none past the last.
std::optional<uint32_t> NextVobuIn(const AddressMap& map, uint32_t sector) {
  std::optional<uint32_t> best;
  for (uint32_t i = 0; i < map.count; ++i) {
    const uint32_t start = map.starts[i];
    if (start > sector && (!best || start < *best)) best = start;
  }
  return best;
}

// Absolute sector of an offset in a PGC as the navigator counts with PGC positioning.
std::optional<uint32_t> PgcAbsoluteSector(const pgc_t* pgc, uint32_t offset) {
  if (pgc == nullptr || pgc->cell_playback == nullptr) return std::nullopt;
  for (int i = 0; i < pgc->nr_of_cells; ++i) {
    const cell_playback_t& cell = pgc->cell_playback[i];
    if (cell.block_type == BLOCK_TYPE_ANGLE_BLOCK && cell.block_mode != BLOCK_MODE_FIRST_CELL) continue;
    if (cell.last_sector < cell.first_sector) continue;
    const uint32_t length = cell.last_sector - cell.first_sector + 1;
    if (offset < length) return cell.first_sector + offset;
    offset -= length;
  }
  return std::nullopt;
}

// The navigator's current absolute sector; none when it cannot tell.
std::optional<uint32_t> NavigatorSector(const DvdNavHandle& handle) {
  uint32_t pos = 0;
  uint32_t length = 0;
  int32_t title = 0, pgcn = 0, pgn = 0;
  if (dvdnav_current_title_program(handle.nav.get(), &title, &pgcn, &pgn) != DVDNAV_STATUS_OK) return std::nullopt;
  if (dvdnav_get_position(handle.nav.get(), &pos, &length) != DVDNAV_STATUS_OK) return std::nullopt;
  return PgcAbsoluteSector(PgcIn(handle.playVts.get(), pgcn), pos);
}

// Skips a still frame or a wait; true for a stop event (the handle has then ended).
bool SkipPauseOrEnd(DvdNavHandle& handle, int32_t event) {
  if (event == DVDNAV_STILL_FRAME) dvdnav_still_skip(handle.nav.get());
  if (event == DVDNAV_WAIT) dvdnav_wait_skip(handle.nav.get());
  if (event != DVDNAV_STOP) return false;
  handle.ended = true;
  return true;
}

// After a play call: lets the navigator announce where it is (it knows its position only once it
// has delivered something), then searches to an offset in the PGC.
bool SearchOnceAnnounced(DvdNavHandle& handle, int64_t offset) {
  uint8_t block[kDvdBlockSize];
  for (int i = 0; i < kSeekEventLimit; ++i) {
    int32_t event = 0;
    int32_t length = 0;
    if (DvdNextBlock(handle.nav.get(), block, &event, &length) != DVDNAV_STATUS_OK) {
      NavError(handle.nav.get());
      return false;
    }
    if (event == DVDNAV_BLOCK_OK || event == DVDNAV_NAV_PACKET || event == DVDNAV_CELL_CHANGE) break;
    if (SkipPauseOrEnd(handle, event)) return false;
  }
  if (dvdnav_sector_search(handle.nav.get(), offset, SEEK_SET) != DVDNAV_STATUS_OK) {
    NavError(handle.nav.get());
    return false;
  }
  return true;
}

// Positions the navigator at an absolute sector of a chapter's PGC (the VOBU that holds it).
bool PositionAt(DvdNavHandle& handle, const DvdChapterRecord& chapter, uint32_t sector) {
  const int64_t offset = DvdPgcSectorOffset(PgcIn(handle.playVts.get(), chapter.pgc), sector);
  if (offset < 0) return false;
  int32_t title = 0, pgcn = 0, pgn = 0;
  const bool samePgc = dvdnav_current_title_program(handle.nav.get(), &title, &pgcn, &pgn) == DVDNAV_STATUS_OK &&
                       title == handle.title && pgcn == chapter.pgc;
  if (samePgc && dvdnav_sector_search(handle.nav.get(), offset, SEEK_SET) == DVDNAV_STATUS_OK) return true;
  // Another PGC, or a navigator that does not know where it is: play the chapter's program,
  // let it announce the cell, then search.
  if (dvdnav_program_play(handle.nav.get(), handle.title, chapter.pgc, chapter.program) != DVDNAV_STATUS_OK) {
    NavError(handle.nav.get());
    return false;
  }
  return SearchOnceAnnounced(handle, offset);
}

void ResetDamageState(DvdNavHandle& handle) {
  handle.vobu = DvdVobuMark{};
  handle.spans.clear();
  handle.failures = 0;
  handle.idleEvents = 0;
  handle.clockJumped = false;
}

// A navigation pack was read: it closes an open span and marks the new VOBU.
void NoteNavPacket(DvdNavHandle& handle) {
  const pci_t* pci = dvdnav_get_current_nav_pci(handle.nav.get());
  const dsi_t* dsi = dvdnav_get_current_nav_dsi(handle.nav.get());
  handle.failures = 0;
  if (pci == nullptr || dsi == nullptr) {
    handle.vobu.valid = false;
    return;
  }
  DvdVobuMark mark;
  mark.valid = true;
  mark.nav = pci->pci_gi.nv_pck_lbn;
  mark.last = mark.nav + (dsi->dsi_gi.vobu_ea & 0x3FFFFFFF);
  const int64_t duration = static_cast<int64_t>(pci->pci_gi.vobu_e_ptm) - pci->pci_gi.vobu_s_ptm;
  mark.duration = duration > 0 && duration <= kMaxVobuTicks ? duration : 0;
  mark.startClock = pci->pci_gi.vobu_s_ptm;
  mark.lastScr = -1;
  mark.startTicks = handle.chapterList != nullptr
                        ? DvdTitleTicksAt(*handle.chapterList, mark.nav, DvdTimeToMs(dsi->dsi_gi.c_eltm) * 90)
                        : 0;
  if (!handle.spans.empty() && !handle.spans.back().resumed) {
    DvdSkippedSpan& span = handle.spans.back();
    span.resumed = true;
    span.endTicks = std::max(mark.startTicks, span.startTicks);
    span.lastSector = mark.nav > span.firstSector ? mark.nav - 1 : span.firstSector;
    span.clockAfter = mark.startClock;
  } else if (const DvdVobuMark& last = handle.vobu; last.valid && last.duration > 0) {
    // Within a stream each VOBU starts where the last one ended.
    const int64_t jump = mark.startClock - (last.startClock + last.duration);
    if (jump > kClockJumpTolerance || jump < -kClockJumpTolerance) {
      handle.clockJumped = true;
      handle.clockJump = jump;
      handle.clockJumpTicks = mark.startTicks;
    }
  }
  handle.vobu = mark;
}

// Opens a span for a failed read (unless one is open): it starts where the delivered data end,
// inside the VOBU being read or at the navigation pack that failed.
void OpenSpan(DvdNavHandle& handle, uint32_t failedVobu) {
  if (!handle.spans.empty() && !handle.spans.back().resumed) return;
  DvdSkippedSpan span;
  const DvdVobuMark& v = handle.vobu;
  if (v.valid && (failedVobu == v.nav || failedVobu > v.last)) {
    const uint32_t length = v.last - v.nav + 1;
    const uint32_t read = failedVobu == v.nav ? std::min(v.delivered + 1, length) : length;
    const int64_t into = v.duration * read / length;
    span.startTicks = v.startTicks + into;
    span.clocked = v.duration > 0;
    span.clockBefore = v.startClock + into;
    span.firstSector = failedVobu == v.nav ? v.nav + read : failedVobu;
  } else {
    span.startTicks = handle.chapterList != nullptr ? DvdTitleTicksAt(*handle.chapterList, failedVobu, -1) : 0;
    span.firstSector = failedVobu;
  }
  handle.spans.push_back(span);
}

// After a failed read: positions the navigator past the damage, further each time it fails in a
// row. False when reading cannot go on: handle.readFailed tells a give-up from the title's end.
bool SkipDamage(DvdNavHandle& handle) {
  const std::optional<uint32_t> at = NavigatorSector(handle);
  // The read-ahead cache hands out a block whose read failed as if it had been read: off for
  // the rest of this reading, so that every damaged block shows as a failure.
  if (handle.spans.empty()) dvdnav_set_readahead_flag(handle.nav.get(), 0);
  ++handle.failures;
  const AddressMap map = AddressMapOf(handle.playVts.get());
  const DvdVobuMark& v = handle.vobu;
  // The VOBU that failed: the one being read, the one after it (its navigation pack), or the
  // one the navigator was sent to.
  std::optional<uint32_t> failed;
  if (v.valid && handle.failures == 1 && v.delivered + v.nav < v.last)
    failed = v.nav;
  else if (at && v.valid && VobuStartIn(map, *at) == v.nav)
    failed = NextVobuIn(map, v.nav);
  else if (at)
    failed = VobuStartIn(map, *at);
  else if (v.valid)
    failed = NextVobuIn(map, v.nav);
  if (!failed || handle.chapterList == nullptr) {
    if (!handle.spans.empty() && !handle.spans.back().resumed) {
      TraceReadFailure(handle, "the navigator lost its place");
      handle.readFailed = true;
      return false;
    }
    failed = at.value_or(v.valid ? v.last + 1 : 0);
  }
  OpenSpan(handle, *failed);
  if (handle.failures > kMaxSkipFailures) {
    TraceReadFailure(handle, "no readable block after many tries");
    handle.readFailed = true;
    return false;
  }
  if (handle.chapterList == nullptr) {
    TraceReadFailure(handle, "no chapter list");
    handle.readFailed = true;
    return false;
  }
  const std::optional<DvdCellPlace> place = DvdFindCell(*handle.chapterList, *failed);
  if (!place) {
    TraceReadFailure(handle, "the damaged place lies in no cell of the title");
    handle.readFailed = true;
    return false;
  }
  const int steps = handle.failures <= kSingleSkips ? 1 : 1 << std::min(handle.failures - kSingleSkips, 20);
  std::optional<uint32_t> target = *failed;
  for (int i = 0; i < steps && target && *target <= static_cast<uint32_t>(place->cell->lastSector); ++i)
    target = NextVobuIn(map, *target);
  const DvdChapterRecord* chapter = place->chapter;
  if (!target || *target > static_cast<uint32_t>(place->cell->lastSector)) {
    // Past the cell: the next cell of the title.
    const std::optional<DvdCellPlace> next = DvdFollowingCell(*handle.chapterList, *place);
    if (!next) {
      DvdTrace("dvd: title %d: the damage runs to the title's end\n", handle.title);
      handle.ended = true;
      return false;
    }
    chapter = next->chapter;
    target = static_cast<uint32_t>(next->cell->firstSector);
  }
  DvdTrace("dvd: title %d: skipping damaged sectors at %u, going on at %u\n", handle.title, *failed, *target);
  if (!PositionAt(handle, *chapter, *target)) {
    TraceReadFailure(handle, "cannot skip the damaged place");
    handle.readFailed = true;
    return false;
  }
  return true;
}

// A cell change while reading: true when reading goes on in the handle's title and range.
bool AcceptCellChange(DvdNavHandle& handle, const uint8_t* eventData) {
  const auto* cell = reinterpret_cast<const dvdnav_cell_change_event_t*>(eventData);
  DvdTrace("CELL LENGTH:%d\n", static_cast<int>(cell->pgc_length / 90 / 1000));
  int32_t title = 0, pgcn = 0, pgn = 0;
  if (dvdnav_current_title_program(handle.nav.get(), &title, &pgcn, &pgn) != DVDNAV_STATUS_OK ||
      title != handle.title) {
    DvdTrace("not title read break out\n");
    return false;
  }
  const int chapter = handle.chapterList != nullptr ? DvdChapterFind(*handle.chapterList, pgcn, pgn) : 0;
  if (chapter < handle.chapter) {
    if (!handle.justSought) {
      DvdTrace("not chapter,read break out:%d,%d\n", chapter, handle.chapter);
      return false;
    }
    handle.justSought = false;
  }
  handle.chapter = chapter;
  return true;
}

}  // namespace

// ---------------------------------------------------------------- buffer pool

void BufferPoolInit() {
  std::call_once(g_poolsOnce, [] {
    auto* pools = new BufferPool[kPoolCount];
    for (int i = 0; i < kPoolCount; ++i) {
      pools[i].size = 1 << (kMinPoolShift + i);
      pools[i].free.reserve(kPoolCapacity);
    }
    g_pools = pools;
  });
}

DvdBufferPtr BufferInit(int32_t size) {
  if (size < 0) return nullptr;
  BufferPool* pool = PoolFor(size);
  if (pool != nullptr) {
    std::lock_guard<std::mutex> guard(pool->lock);
    if (!pool->free.empty()) {
      DvdBufferPtr reused(pool->free.back().release());
      pool->free.pop_back();
      reused->size = size;
      reused->allocated = pool->size;
      return reused;
    }
  }
  DvdBufferPtr buffer(new (std::nothrow) DvdBuffer);
  if (!buffer) return nullptr;
  buffer->size = size;
  buffer->allocated = pool != nullptr ? pool->size : size;
  if (size != 0) {
    buffer->storage.reset(new (std::nothrow) uint8_t[static_cast<size_t>(buffer->allocated) + kDataSlack]);
    if (!buffer->storage) return nullptr;
  }
  return buffer;
}

void DvdBufferCloser::operator()(DvdBuffer* buffer) const {
  std::unique_ptr<DvdBuffer> owned(buffer);
  BufferPool* pool = PoolFor(buffer->allocated);
  if (pool == nullptr || pool->size != buffer->allocated || !buffer->storage) return;
  std::lock_guard<std::mutex> guard(pool->lock);
  if (pool->free.size() < kPoolCapacity) pool->free.push_back(std::move(owned));
}

// ---------------------------------------------------------------- clock samples

std::optional<int64_t> DvdPackScr(const uint8_t* s) {
  if (s[0] != 0 || s[1] != 0 || s[2] != 1 || s[3] != 0xBA) return std::nullopt;
  if ((s[4] & 0xC0) != 0x40) return std::nullopt;  // MPEG-2 pack header
  return (static_cast<int64_t>(s[4] & 0x38) << 27) | (static_cast<int64_t>(s[4] & 0x03) << 28) |
         (static_cast<int64_t>(s[5]) << 20) | (static_cast<int64_t>(s[6] & 0xF8) << 12) |
         (static_cast<int64_t>(s[6] & 0x03) << 13) | (static_cast<int64_t>(s[7]) << 5) | (s[8] >> 3);
}

std::optional<int64_t> DvdPackVideoPts(const uint8_t* s) {
  if (s[0] != 0 || s[1] != 0 || s[2] != 1 || s[3] != 0xBA || (s[4] & 0xC0) != 0x40) return std::nullopt;
  // The pack header's stuffing, then PES packets (a system header is one too) until the block ends.
  int at = 14 + (s[13] & 0x07);
  while (at + 14 <= kDvdBlockSize) {
    if (s[at] != 0 || s[at + 1] != 0 || s[at + 2] != 1) return std::nullopt;
    const int id = s[at + 3];
    const int length = s[at + 4] << 8 | s[at + 5];
    if (id >= 0xE0 && id <= 0xEF) {
      const uint8_t* h = s + at + 6;
      if ((h[0] & 0xC0) != 0x80 || (h[1] & 0x80) == 0 || (h[3] & 0x01) == 0) return std::nullopt;
      return (static_cast<int64_t>(h[3] & 0x0E) << 29) | (static_cast<int64_t>(h[4]) << 22) |
             (static_cast<int64_t>(h[5] & 0xFE) << 14) | (static_cast<int64_t>(h[6]) << 7) | (h[7] >> 1);
    }
    at += 6 + length;
  }
  return std::nullopt;
}

DvdClockReader::DvdClockReader(DvdNavHandle& handle, int title) {
  if (!handle.reader || !handle.vmg) return;
  const tt_srpt_t* table = handle.vmg->tt_srpt;
  if (table == nullptr || table->title == nullptr || title < 1 || title > table->nr_of_srpts) return;
  const int vtsn = table->title[title - 1].title_set_nr;
  if (vtsn < 1 || (handle.view && handle.view->Refused(vtsn))) return;
  vts_.reset(ifoOpen(handle.reader.get(), vtsn));
  file_.reset(DVDOpenFile(handle.reader.get(), vtsn, DVD_READ_TITLE_VOBS));
}

std::optional<int64_t> DvdClockReader::Sample(int32_t sector) const {
  if (!ok() || sector < 0) return std::nullopt;
  uint8_t block[kDvdBlockSize];
  if (DVDReadBlocks(file_.get(), sector, 1, block) != 1) return std::nullopt;
  return DvdPackScr(block);
}

const pgc_t* DvdClockReader::Pgc(int pgcn) const {
  if (!vts_) return nullptr;
  const pgcit_t* pgcit = vts_->vts_pgcit;
  if (pgcit == nullptr || pgcit->pgci_srp == nullptr || pgcn < 1 || pgcn > pgcit->nr_of_pgci_srp) return nullptr;
  return pgcit->pgci_srp[pgcn - 1].pgc;
}

bool DvdAddressMapUsable(const DvdNavHandle& handle) {
  return handle.playVts == nullptr || AddressMapOf(handle.playVts.get()).count > 0;
}

uint32_t DvdClockReader::VobuStart(uint32_t sector) const { return VobuStartIn(AddressMapOf(vts_.get()), sector); }

// ---------------------------------------------------------------- time to sector

int32_t DvdCellSectorForTicks(const DvdChapterRecord& chapter, int64_t ticks, const DvdScrSampler& sampler) {
  if (chapter.cells.empty()) return 0;
  if (ticks < 0) ticks = 0;
  const DvdCell* cell = nullptr;
  for (const DvdCell& c : chapter.cells) {
    if (ticks <= c.duration) {
      cell = &c;
      break;
    }
    ticks -= c.duration;
  }
  if (cell == nullptr)
    return std::max(chapter.cells.back().lastSector - kEndBackoffSectors, chapter.cells.front().firstSector);
  const int64_t span = static_cast<int64_t>(cell->lastSector) - cell->firstSector;
  if (span < 0) return cell->firstSector;
  // A cell without a duration has nothing to interpolate: its first sector.
  const int64_t guess =
      cell->duration > 0
          ? std::min<int64_t>(static_cast<int64_t>(static_cast<uint64_t>(span + 1) * static_cast<uint64_t>(ticks) /
                                                   static_cast<uint64_t>(cell->duration)),
                              span)
          : 0;
  const std::optional<int64_t> scrStart = sampler ? sampler(cell->firstSector) : std::nullopt;
  if (!scrStart) return static_cast<int32_t>(cell->firstSector + guess);
  int64_t e = guess;
  int64_t scrNow = *scrStart;
  for (int i = 0; i < 6; ++i) {
    const std::optional<int64_t> scr = sampler(static_cast<int32_t>(cell->firstSector + e));
    if (!scr) return static_cast<int32_t>(cell->firstSector + guess);
    scrNow = *scr;
    const int64_t diff = scrNow - *scrStart;
    e = diff > 90 ? e * ticks / diff : 0;
    e = std::min(e, span);
  }
  DvdTrace("TMCUR=%f,TM=%f,TMStart=%f\n", scrNow / 90000.0, ticks / 90000.0, *scrStart / 90000.0);
  return static_cast<int32_t>(cell->firstSector + e);
}

DvdSeekTarget DvdFindSeekTarget(const std::vector<DvdChapterRecord>& chapters, int first, int last, int64_t ticks,
                                const DvdScrSampler& sampler) {
  DvdSeekTarget target;
  first = std::max(first, 1);
  last = std::min(last, static_cast<int>(chapters.size()));
  if (first > last) return target;  // nothing in range: never walk past the list
  if (ticks < 0) ticks = 0;
  for (int c = first; c <= last; ++c) {
    const DvdChapterRecord& chapter = chapters[c - 1];
    if (static_cast<uint64_t>(ticks) <= static_cast<uint64_t>(chapter.duration)) {
      target.chapter = &chapter;
      target.sector = DvdCellSectorForTicks(chapter, ticks, sampler);
      return target;
    }
    if (c == last) {
      target.chapter = &chapter;
      target.pastEnd = true;
      // A chapter shorter than the back-off lands on its own first sector.
      target.sector = std::max(chapter.lastSector - kEndBackoffSectors, FirstSectorOf(chapter));
      return target;
    }
    ticks -= chapter.duration;
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

// ---------------------------------------------------------------- cells in title time

std::optional<DvdCellPlace> DvdFindCell(const std::vector<DvdChapterRecord>& chapters, uint32_t sector) {
  int64_t start = 0;
  for (const DvdChapterRecord& chapter : chapters) {
    for (const DvdCell& cell : chapter.cells) {
      if (cell.firstSector >= 0 && cell.lastSector >= cell.firstSector &&
          sector >= static_cast<uint32_t>(cell.firstSector) && sector <= static_cast<uint32_t>(cell.lastSector))
        return DvdCellPlace{&chapter, &cell, start};
      start += cell.duration;
    }
  }
  return std::nullopt;
}

std::optional<DvdCellPlace> DvdFollowingCell(const std::vector<DvdChapterRecord>& chapters, const DvdCellPlace& place) {
  bool passed = false;
  int64_t start = 0;
  for (const DvdChapterRecord& chapter : chapters) {
    for (const DvdCell& cell : chapter.cells) {
      if (passed) return DvdCellPlace{&chapter, &cell, start};
      if (&cell == place.cell) passed = true;
      start += cell.duration;
    }
  }
  return std::nullopt;
}

int64_t DvdTitleTicksAt(const std::vector<DvdChapterRecord>& chapters, uint32_t sector, int64_t elapsed) {
  const std::optional<DvdCellPlace> place = DvdFindCell(chapters, sector);
  if (!place) return 0;
  const DvdCell& cell = *place->cell;
  const uint32_t into = sector - static_cast<uint32_t>(cell.firstSector);
  if (elapsed < 0 || (elapsed == 0 && into > 0)) {
    const int64_t length = static_cast<int64_t>(cell.lastSector) - cell.firstSector + 1;
    elapsed = cell.duration * into / length;
  }
  return place->startTicks + std::min(elapsed, cell.duration);
}

// ---------------------------------------------------------------- playing operations

bool DvdNavStart(DvdNavHandle& handle, const DvdTitle& title, int chapter) {
  handle.chapterList = &title.chapters;
  handle.readFailed = false;
  ResetDamageState(handle);
  handle.playVts.reset();
  if ((handle.ended || !handle.nav) && !ReopenNavigator(handle)) return false;
  if (handle.reader && handle.vmg && handle.vmg->tt_srpt != nullptr && handle.vmg->tt_srpt->title != nullptr &&
      title.number >= 1 && title.number <= handle.vmg->tt_srpt->nr_of_srpts) {
    const int vtsn = handle.vmg->tt_srpt->title[title.number - 1].title_set_nr;
    if (handle.view && handle.view->Refused(vtsn)) return false;  // left out by the IFO check
    if (vtsn >= 1) handle.playVts.reset(ifoOpen(handle.reader.get(), vtsn));
  }
  const DvdChapterRecord* record = ChapterAt(title.chapters, chapter - 1);
  const dvdnav_status_t status = record != nullptr
                                     ? dvdnav_program_play(handle.nav.get(), title.number, record->pgc, record->program)
                                     : dvdnav_part_play(handle.nav.get(), title.number, 1);
  if (status != DVDNAV_STATUS_OK) {
    NavError(handle.nav.get());
    return false;
  }
  handle.title = title.number;
  handle.ended = false;
  handle.chapter = 0;
  return true;
}

void DvdNavStop(DvdNavHandle& handle) {
  handle.chapterList = nullptr;  // the title it came from is freed after stop
  handle.playVts.reset();
}

bool DvdNavRead(DvdNavHandle& handle, DvdBuffer& buffer) {
  if (!handle.nav || buffer.data() == nullptr || buffer.allocated < kDvdBlockSize) return false;
  while (!handle.ended && !handle.readFailed) {
    int32_t event = 0;
    int32_t length = 0;
    if (DvdNextBlock(handle.nav.get(), buffer.data(), &event, &length) != DVDNAV_STATUS_OK) {
      NavError(handle.nav.get());
      if (!SkipDamage(handle)) return false;
      continue;
    }
    if (event == DVDNAV_BLOCK_OK || event == DVDNAV_NAV_PACKET) {
      handle.idleEvents = 0;
      if (event == DVDNAV_NAV_PACKET) {
        NoteNavPacket(handle);
      } else {
        // Packs of a VOBU run forward in time. One whose clock goes back is not the block asked
        // for: the read-ahead cache hands out the block of a read that failed as if it had been
        // read. It is dropped; the next read shows the damage.
        const std::optional<int64_t> scr = DvdPackScr(buffer.data());
        if (scr && handle.vobu.valid && handle.vobu.lastScr >= 0 && *scr < handle.vobu.lastScr) {
          DvdTrace("dvd: title %d: a stale block at sector %u dropped\n", handle.title,
                   handle.vobu.nav + handle.vobu.delivered + 1);
          continue;
        }
        ++handle.vobu.delivered;
      }
      if (const std::optional<int64_t> scr = DvdPackScr(buffer.data())) handle.vobu.lastScr = *scr;
      return true;
    }
    if (++handle.idleEvents > kMaxIdleEvents) {
      TraceReadFailure(handle, "the navigator delivers no blocks");
      handle.readFailed = true;
      return false;
    }
    if (event == DVDNAV_CELL_CHANGE && !AcceptCellChange(handle, buffer.data())) return false;
    if (SkipPauseOrEnd(handle, event)) return false;
  }
  return false;
}

int DvdNavChapter(DvdNavHandle& handle) {
  if (!handle.nav) return -1;
  int32_t title = 0, pgcn = 0, pgn = 0;
  if (dvdnav_current_title_program(handle.nav.get(), &title, &pgcn, &pgn) != DVDNAV_STATUS_OK) return -1;
  return handle.chapterList != nullptr ? DvdChapterFind(*handle.chapterList, pgcn, pgn) : 0;
}

bool DvdNavSeek(DvdNavHandle& handle, int firstChapter, int lastChapter, int64_t time) {
  if (!handle.nav || handle.chapterList == nullptr) return false;
  const int64_t ticks = std::max<int64_t>(time, 0) * 9 / 1000;
  handle.justSought = true;
  ResetDamageState(handle);
  handle.readFailed = false;
  int64_t offset = -1;
  {
    const DvdClockReader clock(handle, handle.title);
    const DvdSeekTarget target =
        DvdFindSeekTarget(*handle.chapterList, firstChapter, lastChapter, ticks, clock.Sampler());
    if (target.chapter == nullptr) return false;
    if (target.pastEnd) DvdTrace("goto chapter :%d\n", target.chapter->number);
    if (dvdnav_program_play(handle.nav.get(), handle.title, target.chapter->pgc, target.chapter->program) !=
        DVDNAV_STATUS_OK)
      NavError(handle.nav.get());
    // Aim at the VOBU start: the navigator lands there anyway, and a forward search that stays
    // in its current VOBU would otherwise be pushed on to the next one.
    const uint32_t vobu = std::max<uint32_t>(clock.VobuStart(static_cast<uint32_t>(target.sector)),
                                             static_cast<uint32_t>(FirstSectorOf(*target.chapter)));
    if (!DvdAddressMapUsable(handle)) {
      // The navigator's search goes by the same damaged map: only a chapter's start, where the
      // program play has put it, is a place it can be sent to.
      if (vobu == static_cast<uint32_t>(FirstSectorOf(*target.chapter))) return true;
      TraceReadFailure(handle, "no search inside a chapter without a VOBU address map");
      handle.readFailed = true;
      return false;
    }
    offset = DvdPgcSectorOffset(clock.Pgc(target.chapter->pgc), vobu);
  }
  DvdTrace("sector:%d\n", static_cast<int>(offset));
  if (offset < 0) return false;

  return SearchOnceAnnounced(handle, offset);
}
