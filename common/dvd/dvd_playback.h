#pragma once
// Playing half of the navigator back end: pooled block buffers, clock samples and the
// time-to-sector walk that the time seek uses.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "common/dvd/dvd_backend.h"

constexpr int kDvdBlockSize = 2048;

// Pooled data buffer that read fills.
struct DvdBuffer {
  int32_t size = 0;                    // requested
  int32_t allocated = 0;               // pool size, or the requested size without a pool
  std::unique_ptr<uint8_t[]> storage;  // allocated + 17 bytes; none for size 0

  uint8_t* data() const { return storage.get(); }
};

// Returns a buffer to its pool, or frees it when the pool is full or the size has none.
struct DvdBufferCloser {
  void operator()(DvdBuffer* buffer) const;
};
using DvdBufferPtr = std::unique_ptr<DvdBuffer, DvdBufferCloser>;

// Makes the pools (1 KB to 32 MB, 32 free buffers each); later calls do nothing.
void BufferPoolInit();
// A buffer of at least size bytes, or null for a negative size or when memory runs out.
DvdBufferPtr BufferInit(int32_t size);

// 33-bit SCR base of an MPEG-2 pack header at the start of a sector; none otherwise.
std::optional<int64_t> DvdPackScr(const uint8_t* sector);

// Presentation time (90 kHz) of the first video PES packet with one in an MPEG-2 pack; none
// otherwise.
std::optional<int64_t> DvdPackVideoPts(const uint8_t* sector);

// The clock reference at an absolute sector; none when it cannot be read.
using DvdScrSampler = std::function<std::optional<int64_t>(int32_t sector)>;

// Absolute sector for ticks (90 kHz) into a chapter: cell walk, linear guess and up to six
// clock-guided refinements (none without a sampler). Never below the chapter's first sector.
int32_t DvdCellSectorForTicks(const DvdChapterRecord& chapter, int64_t ticks, const DvdScrSampler& sampler);

// Where a time lands in chapters first..last (1-based) of a chapter list.
struct DvdSeekTarget {
  const DvdChapterRecord* chapter = nullptr;  // null when the range holds no chapter
  int32_t sector = 0;                         // absolute
  bool pastEnd = false;                       // time beyond the range: near the last chapter's end
};
DvdSeekTarget DvdFindSeekTarget(const std::vector<DvdChapterRecord>& chapters, int first, int last, int64_t ticks,
                                const DvdScrSampler& sampler);

// Offset of an absolute sector in a PGC as the navigator counts with PGC positioning:
// lengths of the cells before it (an angle block counted by its first cell) plus the
// sector's place in its cell. -1 when no counted cell holds the sector.
int64_t DvdPgcSectorOffset(const pgc_t* pgc, uint32_t sector);

// A cell of a title in playing order: its chapter, the cell and where it starts in title time.
struct DvdCellPlace {
  const DvdChapterRecord* chapter = nullptr;
  const DvdCell* cell = nullptr;
  int64_t startTicks = 0;  // 90 kHz from the title's start
};
// The cell that holds an absolute sector; none when no cell of the title does.
std::optional<DvdCellPlace> DvdFindCell(const std::vector<DvdChapterRecord>& chapters, uint32_t sector);
// The cell after a place in playing order; none after the title's last.
std::optional<DvdCellPlace> DvdFollowingCell(const std::vector<DvdChapterRecord>& chapters, const DvdCellPlace& place);
// Title time (90 kHz) at an absolute sector: its cell's start plus the cell's elapsed time there
// (from a navigation pack; when it is below 0, or 0 away from the cell's first sector, in
// proportion to the sector's place in the cell). 0 when no cell holds the sector.
int64_t DvdTitleTicksAt(const std::vector<DvdChapterRecord>& chapters, uint32_t sector, int64_t elapsed);

// Clock sampler over the title set that holds a title of the handle's disc.
class DvdClockReader {
 public:
  DvdClockReader(DvdNavHandle& handle, int title);

  // The title set and its VOBs are open.
  bool ok() const { return vts_ && file_; }
  std::optional<int64_t> Sample(int32_t sector) const;
  DvdScrSampler Sampler() const {
    return [this](int32_t sector) { return Sample(sector); };
  }
  // The title set's PGC by number, or null.
  const pgc_t* Pgc(int pgcn) const;
  // Start of the VOBU that holds an absolute sector (the sector itself without an address map).
  uint32_t VobuStart(uint32_t sector) const;

 private:
  DvdIfoPtr vts_;
  DvdFilePtr file_;
};

// False when the started title's title set has no usable VOBU address map (missing, or its
// starts do not rise): the navigator can then be sent only to a chapter's start.
bool DvdAddressMapUsable(const DvdNavHandle& handle);
