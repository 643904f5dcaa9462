// The blocks the two programs share besides the job and the log: the control
// block of a window, the mute cell, the probe block and the engine word.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/shared_block.h"

// ControlBlock ":CTRLDATA_%08X": a 64-byte header of 32-bit words, then one
// preview frame area.
namespace ControlBlock {
constexpr size_t kSize = 8294464;
constexpr size_t kPosition = 0;       // milliseconds, written by the engine
constexpr size_t kFrames = 4;         // samples delivered, written by the engine
constexpr size_t kStopRequest = 8;    // nonzero = stop
constexpr size_t kPauseRequest = 12;  // nonzero = pause
constexpr size_t kStopLevel = 16;     // front end only
constexpr size_t kReportedPosition = 20;
constexpr size_t kHold = 24;  // nonzero = preview player holds
constexpr size_t kSeekRequest = 28;
constexpr size_t kSeekPending = 32;
constexpr size_t kSeekTargetLow = 40;  // int64, 100-ns units, low word first
constexpr size_t kSeekTargetHigh = 44;
constexpr size_t kFrameLock = 48;
constexpr size_t kFrameWidth = 52;
constexpr size_t kFrameHeight = 56;
constexpr size_t kFrameLayout = 60;  // 0 = planar 4:2:0, 1 = bottom-up BGR24
constexpr size_t kPixels = 64;
constexpr size_t kPixelBytes = 8294400;  // 1920 x 1080 x 4
constexpr size_t kHeaderWordsClearedOnCreate[] = {0, 4, 8, 12, 20, 24, 28, 40, 44};

std::string NameForWindow(uint32_t window);  // ":CTRLDATA_%08X"
}  // namespace ControlBlock

static_assert(ControlBlock::kPixels + ControlBlock::kPixelBytes == ControlBlock::kSize);

// Interlocked access to the 32-bit word at `offset` of a view.
inline std::atomic_ref<int32_t> BlockWord(uint8_t* view, size_t offset) {
  return std::atomic_ref<int32_t>(*reinterpret_cast<int32_t*>(view + offset));
}

// Seek target (int64 over the words at 40 and 44).
int64_t ReadSeekTarget(uint8_t* control);
void WriteSeekTarget(uint8_t* control, int64_t time100ns);

// The probe block ":PROC_%08X" of the front end's process id.
constexpr size_t kProbeBlockSize = 34952;
std::string ProbeBlockName(uint32_t pid);

// The engine word ":LID%08X" of the engine's process id.
constexpr size_t kEngineWordSize = 4;
std::string EngineWordName(uint32_t pid);

// The mute cell ":AVMUTE": one int32, nonzero = speakers muted; whichever
// program opens it first creates it as 0. Read without the mutex.
class MuteCell {
 public:
  static constexpr const char* kName = ":AVMUTE";
  bool Open();
  void Close() { block_.Close(); }
  bool IsOpen() const { return block_.IsOpen(); }
  int32_t Read() const;
  void Write(int32_t value);

 private:
  CSharedBlock block_;
};
