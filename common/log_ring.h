// LogRing: the shared ring of time-stamped text lines the engine writes and
// the front end reads. Layout (little-endian): int32 read index at 0 (written
// by the reader), int32 write index at 4 (written by the writer), then 512
// entries of 528 bytes: a local-time SYSTEMTIME and 512 bytes of text whose
// last byte is always 0. The ring is empty when both indexes are equal.
// Results: bool for done; the printf functions 1 when the line was stored, else 0.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/shared_block.h"
#include "platform/system_time.h"

namespace LogRingLayout {
constexpr int32_t kEntries = 512;
constexpr size_t kHeaderSize = 8;
constexpr size_t kEntrySize = 528;
constexpr size_t kTextSize = 512;
constexpr size_t kSize = kHeaderSize + kEntries * kEntrySize;  // 270,344
constexpr size_t kReadIndex = 0;
constexpr size_t kWriteIndex = 4;
constexpr size_t EntryOffset(int32_t i) { return kHeaderSize + kEntrySize * static_cast<size_t>(i); }
constexpr size_t kPrintfBuffer = 2048;
}  // namespace LogRingLayout

static_assert(LogRingLayout::kSize == 270344);

struct LogEntry {
  SYSTEMTIME time;
  std::string text;
};

class CLogRing {
 public:
  static constexpr const char* kName = ":VIVEZAZAD";

  bool Open(const std::string& name);
  void Close() { block_.Close(); }
  bool IsOpen() const { return block_.IsOpen(); }
  uint8_t* View() const { return block_.View(); }

  // Writer: stores the text (cut to 511 bytes) with the local time under the
  // ring's mutex; never waits for the reader. A line through an unopened ring,
  // or one that meets a damaged write index (then reset to 0), is dropped.
  // Returns whether the mutex was released.
  bool Append(const char* text);

  // Reader: under the mutex takes every entry from the read index up to the
  // write index and advances the read index past them. Returns the count.
  size_t TakeEntries(std::vector<LogEntry>& out);

  // The ring's block and mutex, for a reader with rules of its own.
  CSharedBlock& Block() { return block_; }

 private:
  CSharedBlock block_;
};

// Entry i (0..511) of a ring's view.
LogEntry ReadLogEntry(const uint8_t* view, int32_t i);

CLogRing* LogRingCreate(const char* name);
int LogRingDestroy(CLogRing* ring);  // accepts null; returns 1
// Formats into a 2,048-byte buffer (longer lines are cut) and appends.
int LogRingPrintf(CLogRing* ring, const char* format, ...) __attribute__((format(printf, 2, 3)));
int LogRingVPrintf(CLogRing* ring, const char* format, va_list args);

// "hh:mm:ss.mmm" of an entry's time.
std::string FormatLogTime(const SYSTEMTIME& t);
