// The preview surface: the frames the engine's preview player presents, in a
// shared block that the front end's preview window paints from. It is named
// after the window id the player was given, ":PREVIEW_%08X" (memory only). The
// front end creates it before it starts the engine; the engine only opens it,
// and drops its frames when there is none.
//
// Layout (32-bit little-endian words at byte offsets):
//    0  magic "TVPS"                 4  version (1)
//    8  header bytes (64)           12  pixel capacity in bytes (set by the creator)
//   16  width (pixels)              20  height (pixels)
//   24  stride (bytes per row)      28  format: 1 = 32-bit pixels B, G, R, X; rows top-down
//   32  frame counter: frames written since the block was created (0 = none yet)
//   36  reserved (0)
//   40  time: int64, 100-ns units, the frame's media start time
//   48  reserved (0) up to 64
//   64  pixels: height rows of stride bytes
// A frame (size, stride, format, time, pixels) is written and read under the
// block's mutex; the writer raises the frame counter last, still under it, so
// a reader may poll the counter without the lock and lock only to copy. The
// mutex is robust: a writer that dies never leaves it held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/shared_block.h"

namespace PreviewSurface {
constexpr uint32_t kMagic = 0x53505654;  // "TVPS"
constexpr uint32_t kVersion = 1;
constexpr size_t kMagicWord = 0;
constexpr size_t kVersionWord = 4;
constexpr size_t kHeaderBytesWord = 8;
constexpr size_t kCapacity = 12;
constexpr size_t kWidth = 16;
constexpr size_t kHeight = 20;
constexpr size_t kStride = 24;
constexpr size_t kFormat = 28;
constexpr size_t kFrameCounter = 32;
constexpr size_t kTimeLow = 40;
constexpr size_t kTimeHigh = 44;
constexpr size_t kHeaderBytes = 64;
constexpr int32_t kFormatBgrx32 = 1;
// Largest frame a surface can be made for.
constexpr int32_t kMaxSide = 8192;

std::string NameForWindow(uint32_t window);  // ":PREVIEW_%08X"
}  // namespace PreviewSurface

struct PreviewFrameInfo {
  int32_t width = 0;
  int32_t height = 0;
  int32_t stride = 0;
  int32_t format = 0;
  uint32_t counter = 0;
  int64_t time = 0;  // 100-ns units
};

// Results: bool, true when done.
class CPreviewSurface {
 public:
  CPreviewSurface() = default;
  CPreviewSurface(const CPreviewSurface&) = delete;
  CPreviewSurface& operator=(const CPreviewSurface&) = delete;

  // Front end: creates the window's surface for frames up to maxWidth x
  // maxHeight, or opens the existing one when it is big enough.
  bool Create(uint32_t window, int32_t maxWidth, int32_t maxHeight);
  // Engine: opens the window's surface when it exists and is well formed.
  bool Open(uint32_t window);
  void Close() { block_.Close(); }
  bool IsOpen() const { return block_.IsOpen(); }
  // Bytes of pixels a frame may take.
  size_t Capacity() const;

  // Writes one BGRX frame of height rows, each width * 4 bytes taken from
  // rows `pitch` bytes apart, top row first. false when it does not fit or
  // the lock was not had within lockTimeoutMs.
  bool WriteFrame(int32_t width, int32_t height, const uint8_t* rows, size_t pitch, int64_t time,
                  uint32_t lockTimeoutMs);
  // The frame counter, read without the lock.
  uint32_t FrameCounter() const;
  // Copies the latest frame; false when there is none yet, it is malformed,
  // or the lock was not had in time.
  bool ReadFrame(PreviewFrameInfo* info, std::vector<uint8_t>* pixels, uint32_t lockTimeoutMs = 1000);

 private:
  bool Lock(uint32_t timeoutMs);
  bool WellFormed() const;

  CSharedBlock block_;
};
