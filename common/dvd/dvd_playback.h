#pragma once
// Playing half of the navigator back end: pooled block buffers, clock samples and the
// time-to-sector walk that the time seek uses.

#include <cstdint>

#include "common/dvd/dvd_backend.h"

constexpr int kDvdBlockSize = 2048;

// Pooled data buffer that read fills.
struct DvdBuffer {
  int32_t size;       // requested
  int32_t allocated;  // pool size, or the requested size without a pool
  uint8_t* data;      // allocated + 17 bytes
  DvdBuffer* next;    // link while the buffer waits in its pool
};

// Makes the pools (1 KB to 32 MB, 32 free buffers each); later calls do nothing.
void BufferPoolInit();
// A buffer of at least size bytes, or null when memory runs out.
DvdBuffer* BufferInit(int32_t size);
// Returns the buffer to its pool or frees it, and clears the caller's pointer.
void BufferClose(DvdBuffer** buffer);

// 33-bit SCR base of an MPEG-2 pack header at the start of a sector; false otherwise.
bool DvdPackScr(const uint8_t* sector, int64_t* scr);

// Reads the clock reference at an absolute sector; false when it cannot.
using DvdScrSampler = bool (*)(void* context, int32_t sector, int64_t* scr);

// Absolute sector for ticks (90 kHz) into a chapter: cell walk, linear guess and up to six
// clock-guided refinements. Never below the chapter's first sector.
int32_t DvdCellSectorForTicks(const DvdChapterRecord* chapter, int64_t ticks, DvdScrSampler sampler, void* context);

// Where a time lands in chapters first..last (1-based) of a chapter list.
struct DvdSeekTarget {
  const DvdChapterRecord* chapter;  // null when the range holds no chapter
  int32_t sector;                   // absolute
  bool past_end;                    // time beyond the range: near the last chapter's end
};
DvdSeekTarget DvdFindSeekTarget(const PtrList* chapters, int first, int last, int64_t ticks, DvdScrSampler sampler,
                                void* context);

// Offset of an absolute sector in a PGC as the navigator counts with PGC positioning:
// lengths of the cells before it (an angle block counted by its first cell) plus the
// sector's place in its cell. -1 when no counted cell holds the sector.
int64_t DvdPgcSectorOffset(const pgc_t* pgc, uint32_t sector);

// Clock sampler over the title set that holds a title of the handle's disc.
struct DvdClockReader;
DvdClockReader* DvdClockReaderOpen(DvdNavHandle* handle, int title);
void DvdClockReaderClose(DvdClockReader** reader);
bool DvdClockReaderSample(void* reader, int32_t sector, int64_t* scr);
// The reader's PGC by number (owned by the reader), or null.
const pgc_t* DvdClockReaderPgc(DvdClockReader* reader, int pgcn);
// Start of the VOBU that holds an absolute sector (the sector itself without an address map).
uint32_t DvdClockReaderVobuStart(DvdClockReader* reader, uint32_t sector);
