#pragma once
// The "dvd:" source: a block-reading thread plays a title's chapter range with the DVD
// title reader and writes each block into a ring that a consumer reads as one MPEG
// program stream. Time seeks go from the consumer to the thread through the ring.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "engine/modules/dvd/dvd_url.h"

struct DvdNavHandle;

class CDvdStreamBuffer {
 public:
  static constexpr int32_t kAheadSize = 3 * 1024 * 1024;
  static constexpr int32_t kBehindSize = 3 * 1024 * 1024;

  CDvdStreamBuffer() = default;
  ~CDvdStreamBuffer();
  CDvdStreamBuffer(const CDvdStreamBuffer&) = delete;
  CDvdStreamBuffer& operator=(const CDvdStreamBuffer&) = delete;

  // Allocates ahead + behind bytes and clears every counter and flag. false without memory.
  bool Init(int32_t ahead, int32_t behind);
  // Appends one block (block-reading thread). Returns the bytes kept, 0 when the block was
  // dropped (a seek was applied, or the source is stopping).
  int32_t Write(const uint8_t* data, int32_t length);
  // Bytes copied from a stream position (at most read_cap()); 0 at the end; -1 when the
  // position has already been overwritten ("back...").
  int32_t ReadAt(int64_t position, uint8_t* data, int32_t length);
  // ReadAt at the read position, which then advances by what was read.
  int32_t Read(uint8_t* data, int32_t length);
  // whence 0: set, 1: add; 2: -1; other: 0. Only the read position moves.
  int64_t Seek(int64_t position, int whence);
  // 1 when a pending seek was applied (block-reading thread).
  int ApplySeek();
  void MarkEnd();
  void Destroy();

  // Consumer side of a time seek (100-ns units): hands the target over; the thread takes
  // it at its next Write. WaitSeekTaken waits in 10-ms steps; false when not taken.
  void RequestSeek(int64_t target);
  bool WaitSeekTaken(int max_steps);

  int32_t ahead_size() const { return ahead_; }
  // Largest read the ring can always satisfy: the writer stops at most the ahead size past
  // the oldest byte and keeps one block free, so a read may span the ahead size less a block
  // (and no more than the behind side less a block).
  int32_t read_cap() const {
    const int32_t cap = ahead_ < behind_ ? ahead_ : behind_;
    return cap > 2 * 2048 ? cap - 2048 : 2048;
  }
  int64_t read_position() const { return read_position_; }
  bool ended() const { return end_.load() != 0; }
  bool failed() const { return failed_.load() != 0; }
  bool seek_pending() const { return seek_pending_.load() != 0; }
  double duration() const { return duration_.load(); }

  // Opens a "dvd:" path: parses it, makes the ring and starts the thread. Null when the
  // text cannot be scanned even as a disc path, or memory runs out.
  // The ring sizes are for tests; the source uses 3 MB each.
  static CDvdStreamBuffer* Open(const char* url, int32_t ahead = kAheadSize, int32_t behind = kBehindSize);
  // Stops the thread (when it has not ended by itself), joins it and destroys the buffer.
  static void Close(CDvdStreamBuffer** buffer);

 private:
  void CopyIn(const uint8_t* data, int32_t length, int64_t index);
  void CopyOut(uint8_t* data, int32_t length, int64_t index) const;
  void ThreadMain();

  std::atomic<int32_t> stop_{0};
  std::atomic<int32_t> end_{0};
  std::atomic<int32_t> failed_{0};
  std::thread thread_;
  int64_t read_position_ = 0;
  int32_t ahead_ = 0;
  int32_t behind_ = 0;
  int32_t size_ = 0;
  mutable std::recursive_mutex lock_;
  int64_t highest_requested_ = 0;
  int32_t start_index_ = 0;
  int32_t fill_ = 0;
  int64_t start_position_ = 0;
  uint8_t* ring_ = nullptr;
  DvdUrl url_{};
  std::atomic<int32_t> seek_pending_{0};
  DvdNavHandle* handle_ = nullptr;  // the thread's, for seeks
  std::atomic<int64_t> seek_target_{0};
  std::atomic<double> duration_{0};
};
