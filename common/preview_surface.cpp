#include "common/preview_surface.h"

#include <cstdio>
#include <cstring>

#include "common/control_block.h"

namespace {

uint32_t Word(const CSharedBlock& block, size_t offset) {
  return static_cast<uint32_t>(BlockWord(block.View(), offset).load());
}

void SetWord(CSharedBlock& block, size_t offset, uint32_t value) {
  BlockWord(block.View(), offset).store(static_cast<int32_t>(value));
}

}  // namespace

std::string PreviewSurface::NameForWindow(uint32_t window) {
  char name[32];
  std::snprintf(name, sizeof name, ":PREVIEW_%08X", static_cast<unsigned>(window));
  return name;
}

bool CPreviewSurface::Create(uint32_t window, int32_t maxWidth, int32_t maxHeight) {
  using namespace PreviewSurface;
  Close();
  if (maxWidth <= 0 || maxHeight <= 0 || maxWidth > kMaxSide || maxHeight > kMaxSide) return false;
  const size_t capacity = static_cast<size_t>(maxWidth) * static_cast<size_t>(maxHeight) * 4;
  if (!block_.Create(NameForWindow(window), kHeaderBytes + capacity)) return false;
  if (block_.Created()) {
    NamedMutexLock lock(block_.Mutex());
    SetWord(block_, kVersionWord, kVersion);
    SetWord(block_, kHeaderBytesWord, kHeaderBytes);
    SetWord(block_, kCapacity, static_cast<uint32_t>(capacity));
    SetWord(block_, kFormat, static_cast<uint32_t>(kFormatBgrx32));
    SetWord(block_, kMagicWord, kMagic);  // last: the surface is ready
  }
  if (!WellFormed() || Capacity() < capacity) {
    Close();
    return false;
  }
  return true;
}

bool CPreviewSurface::Open(uint32_t window) {
  Close();
  if (!block_.OpenExisting(PreviewSurface::NameForWindow(window))) return false;
  if (!WellFormed()) {
    Close();
    return false;
  }
  return true;
}

bool CPreviewSurface::WellFormed() const {
  using namespace PreviewSurface;
  if (!block_.IsOpen() || block_.Size() < kHeaderBytes) return false;
  return Word(block_, kMagicWord) == kMagic && Word(block_, kVersionWord) == kVersion &&
         Word(block_, kHeaderBytesWord) == kHeaderBytes && Word(block_, kCapacity) <= block_.Size() - kHeaderBytes;
}

size_t CPreviewSurface::Capacity() const {
  if (!block_.IsOpen() || block_.Size() < PreviewSurface::kHeaderBytes) return 0;
  const size_t capacity = Word(block_, PreviewSurface::kCapacity);
  const size_t room = block_.Size() - PreviewSurface::kHeaderBytes;
  return capacity < room ? capacity : room;
}

bool CPreviewSurface::Lock(uint32_t timeoutMs) {
  const NamedMutex::LockResult r = block_.Mutex().Lock(timeoutMs);
  return r == NamedMutex::LockResult::Acquired || r == NamedMutex::LockResult::Abandoned;
}

bool CPreviewSurface::WriteFrame(int32_t width, int32_t height, const uint8_t* rows, size_t pitch, int64_t time,
                                 uint32_t lockTimeoutMs) {
  using namespace PreviewSurface;
  if (!block_.IsOpen() || !rows || width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
  const size_t row = static_cast<size_t>(width) * 4;
  if (pitch < row || row * static_cast<size_t>(height) > Capacity()) return false;
  if (!Lock(lockTimeoutMs)) return false;
  uint8_t* pixels = block_.View() + kHeaderBytes;
  for (int32_t y = 0; y < height; ++y) std::memcpy(pixels + y * row, rows + y * pitch, row);
  SetWord(block_, kWidth, static_cast<uint32_t>(width));
  SetWord(block_, kHeight, static_cast<uint32_t>(height));
  SetWord(block_, kStride, static_cast<uint32_t>(row));
  SetWord(block_, kFormat, static_cast<uint32_t>(kFormatBgrx32));
  SetWord(block_, kTimeLow, static_cast<uint32_t>(static_cast<uint64_t>(time) & 0xFFFFFFFFu));
  SetWord(block_, kTimeHigh, static_cast<uint32_t>(static_cast<uint64_t>(time) >> 32));
  BlockWord(block_.View(), kFrameCounter).fetch_add(1);
  block_.Mutex().Unlock();
  return true;
}

uint32_t CPreviewSurface::FrameCounter() const {
  if (!block_.IsOpen() || block_.Size() < PreviewSurface::kHeaderBytes) return 0;
  return Word(block_, PreviewSurface::kFrameCounter);
}

bool CPreviewSurface::ReadFrame(PreviewFrameInfo* info, std::vector<uint8_t>* pixels, uint32_t lockTimeoutMs) {
  using namespace PreviewSurface;
  if (!info || !WellFormed() || !Lock(lockTimeoutMs)) return false;
  PreviewFrameInfo f;
  f.width = static_cast<int32_t>(Word(block_, kWidth));
  f.height = static_cast<int32_t>(Word(block_, kHeight));
  f.stride = static_cast<int32_t>(Word(block_, kStride));
  f.format = static_cast<int32_t>(Word(block_, kFormat));
  f.counter = Word(block_, kFrameCounter);
  f.time = static_cast<int64_t>(static_cast<uint64_t>(Word(block_, kTimeHigh)) << 32 | Word(block_, kTimeLow));
  // Bounds come from the block, not from what a writer claims.
  const bool ok = f.counter != 0 && f.width > 0 && f.height > 0 && f.width <= kMaxSide &&
                  static_cast<int64_t>(f.stride) >= static_cast<int64_t>(f.width) * 4 &&
                  static_cast<size_t>(f.stride) * static_cast<size_t>(f.height) <= Capacity();
  if (ok && pixels) {
    const size_t bytes = static_cast<size_t>(f.stride) * static_cast<size_t>(f.height);
    pixels->assign(block_.View() + kHeaderBytes, block_.View() + kHeaderBytes + bytes);
  }
  block_.Mutex().Unlock();
  if (!ok) return false;
  *info = f;
  return true;
}
