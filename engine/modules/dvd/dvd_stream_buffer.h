#pragma once
// The "dvd:" source: a block-reading thread plays a title's chapter range with the DVD
// title reader and writes each block into a ring that a consumer reads as one MPEG
// program stream. Time seeks go from the consumer to the thread through the ring.

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/modules/dvd/dvd_url.h"
#include "platform/diagnostics.h"

struct DvdNavHandle;
struct DvdTitle;

// Lines a "dvd:" source has written to the engine's log, kept across its reopenings so that
// reading the same damage again does not repeat them. A buffer opened with one is the
// engine's: its lines go to the diagnostics channel; without one they go to the DVD trace.
struct DvdLogMemory {
  std::mutex lock;
  std::set<std::string> lines;
};

class CDvdStreamBuffer {
 public:
  static constexpr int32_t kAheadSize = 3 * 1024 * 1024;
  static constexpr int32_t kBehindSize = 3 * 1024 * 1024;

  CDvdStreamBuffer() = default;
  // Stops the block-reading thread (when it has not ended by itself) and joins it.
  ~CDvdStreamBuffer();
  CDvdStreamBuffer(const CDvdStreamBuffer&) = delete;
  CDvdStreamBuffer& operator=(const CDvdStreamBuffer&) = delete;

  // Opens a "dvd:" path: parses it, makes the ring and starts the thread. Null when the
  // text cannot be scanned even as a disc path, or memory runs out.
  // The ring sizes are for tests; the source uses 3 MB each. With logMemory the log lines are
  // the engine's (those already in it are not written again); without, they are DVD trace.
  static std::unique_ptr<CDvdStreamBuffer> Open(const char* url, int32_t ahead = kAheadSize,
                                                int32_t behind = kBehindSize,
                                                std::shared_ptr<DvdLogMemory> logMemory = nullptr);

  // Allocates ahead + behind bytes and clears every counter and flag. false without memory.
  bool Init(int32_t ahead, int32_t behind);
  // Appends one block (block-reading thread). Returns the bytes kept, 0 when the block was
  // dropped (a seek was applied, or the source is stopping).
  int32_t Write(const uint8_t* data, int32_t length);
  // Bytes copied from a stream position (at most readCap()); 0 at the end; -1 when the
  // position has already been overwritten ("back...").
  int32_t ReadAt(int64_t position, uint8_t* data, int32_t length);
  // ReadAt at the read position, which then advances by what was read.
  int32_t Read(uint8_t* data, int32_t length);
  // whence 0: set, 1: add; 2: -1; other: 0. Only the read position moves.
  int64_t Seek(int64_t position, int whence);
  // true when a pending seek was applied (block-reading thread).
  bool ApplySeek();
  void MarkEnd();

  // Consumer side of a time seek (100-ns units): hands the target over; the thread takes
  // it at its next Write. WaitSeekTaken waits in 10-ms steps; false when not taken.
  void RequestSeek(int64_t target);
  bool WaitSeekTaken(int maxSteps);

  // The stamp correction (100-ns units) for stream data from a byte position on, after a skipped
  // span of a damaged disc: how far the stream's clock jumps over the span beyond the time the
  // span takes in the title. Each correction is handed out once, to the first position at or
  // past where the data after the span begin; false when there is none.
  bool TakeStampJump(int64_t position, int64_t* shift);
  // The stream clock (100-ns units) of the first picture read since the start or the last seek,
  // once its navigation pack has been read; false before.
  bool OriginClock(int64_t* clock) const;
  // Where the range ends on the reader's time line (100 ns from the origin, after the stamp
  // corrections) when it ends before the title does, once the next chapter has been reached.
  bool RangeEnd(int64_t* end) const;
  // The first correction not yet handed out, left in place; false when there is none.
  bool PeekStampJump(int64_t* position, int64_t* shift);

  int32_t aheadSize() const { return ahead_; }
  // Largest read the ring can always satisfy: the writer stops at most the ahead size past
  // the oldest byte and keeps one block free, so a read may span the ahead size less a block
  // (and no more than the behind side less a block).
  int32_t readCap() const {
    const int32_t cap = ahead_ < behind_ ? ahead_ : behind_;
    return cap > 2 * 2048 ? cap - 2048 : 2048;
  }
  int64_t readPosition() const { return readPosition_; }
  bool ended() const { return end_; }
  bool failed() const { return failed_; }
  bool seekPending() const { return seekPending_; }
  double duration() const { return duration_; }

 private:
  void CopyIn(const uint8_t* data, int32_t length, int64_t index);
  void CopyOut(uint8_t* data, int32_t length, int64_t index) const;
  void ThreadMain();
  // Clamps the URL's chapter range to the title and starts playing it; false (logged) when
  // it cannot. On success *lastNumber is the record number of the range's last chapter.
  bool StartRange(DvdNavHandle& handle, const DvdTitle* title, int* lastNumber);
  // Reads blocks into the ring until the range ends, reading fails or the source stops.
  void ReadRange(DvdNavHandle& handle, int lastNumber);
  // A warning: for the engine's log once per source (standard output and the log ring), or
  // the DVD trace when the buffer has no log memory (a tool's standard error).
  void Log(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void LogV(DiagLevel level, const char* format, va_list args);
  // Marks the source as failed and writes the line as an error.
  void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Logs the spans the navigator skipped since the last call (once per place) and notes how the
  // stream's stamps jump over each.
  void NoteSkippedSpans(DvdNavHandle& handle);
  // Notes a jump of the stream's clock at the navigation pack just read (logged when it goes back).
  void NoteClockJump(DvdNavHandle& handle);
  // After reading ended by itself: the summary of what was lost and the verdict.
  void JudgeDamage(DvdNavHandle& handle);
  // After reading ended before the range's end: more than 5 % of the range unread fails it.
  void JudgeEnd(const DvdNavHandle& handle);
  // Range time (seconds from the range's start) of a title time.
  double RangeSeconds(int64_t ticks) const;

  struct StampJump {
    int64_t position;  // stream position where the data after the span begin
    int64_t shift;     // 100-ns units
  };

  std::atomic<bool> stop_{false};
  std::atomic<bool> end_{false};
  std::atomic<bool> failed_{false};
  std::thread thread_;
  int64_t readPosition_ = 0;
  int32_t ahead_ = 0;
  int32_t behind_ = 0;
  int32_t size_ = 0;
  mutable std::recursive_mutex lock_;
  int64_t highestRequested_ = 0;
  int32_t startIndex_ = 0;
  int32_t fill_ = 0;
  int64_t startPosition_ = 0;
  std::unique_ptr<uint8_t[]> ring_;
  DvdUrl url_;
  std::atomic<bool> seekPending_{false};
  DvdNavHandle* handle_ = nullptr;  // the thread's, for seeks
  std::atomic<int64_t> seekTarget_{0};
  std::atomic<double> duration_{0};
  // Damage bookkeeping (block-reading thread, except stampJumps_ under the lock).
  const DvdTitle* title_ = nullptr;
  int64_t rangeStartTicks_ = 0;  // title time of the range's start and end
  int64_t rangeEndTicks_ = 0;
  int64_t coveredStartTicks_ = 0;  // where the current reading began (the range's start, or a seek target)
  int64_t rangeSectors_ = 0;
  int64_t blocksSinceSeek_ = 0;
  size_t spansSeen_ = 0;
  std::shared_ptr<DvdLogMemory> logMemory_;
  std::vector<StampJump> stampJumps_;
  std::atomic<int64_t> originClock_{0};
  std::atomic<bool> originKnown_{false};
  int64_t shiftSinceOrigin_ = 0;  // block-reading thread
  bool originPicture_ = false;    // the origin is the first key picture's (block-reading thread)
  static constexpr int64_t kOriginPictureLimit = 10000000;  // 100 ns
  std::atomic<int64_t> rangeEnd_{0};
  std::atomic<bool> rangeEndKnown_{false};
  // What is read of the next chapter: the VOBUs that start within this time of it (90 kHz), in at
  // most this many blocks.
  static constexpr int64_t kTailTicks = 90000;
  static constexpr int32_t kMaxTailBlocks = 4096;
};
