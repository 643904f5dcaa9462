#include "engine/modules/dvd/dvd_stream_buffer.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "common/dvd/dvd_trace.h"
#include "engine/graph/engine_log.h"

namespace {

void Sleep10ms() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

const DvdChapterRecord* ChapterAt(const DvdTitle* title, int index) {
  return static_cast<const DvdChapterRecord*>(PtrListItem(title->chapters, index));
}

}  // namespace

CDvdStreamBuffer::~CDvdStreamBuffer() { Destroy(); }

bool CDvdStreamBuffer::Init(int32_t ahead, int32_t behind) {
  Destroy();
  if (ahead <= 0 || behind < 0 || static_cast<int64_t>(ahead) + behind > INT32_MAX) return false;
  ring_ = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(ahead) + behind));
  if (ring_ == nullptr) return false;
  ahead_ = ahead;
  behind_ = behind;
  size_ = ahead + behind;
  stop_ = 0;
  end_ = 0;
  failed_ = 0;
  read_position_ = 0;
  highest_requested_ = 0;
  start_index_ = 0;
  fill_ = 0;
  start_position_ = 0;
  seek_pending_ = 0;
  seek_target_ = 0;
  duration_ = 0;
  return true;
}

void CDvdStreamBuffer::Destroy() {
  std::free(ring_);
  ring_ = nullptr;
  size_ = 0;
}

void CDvdStreamBuffer::CopyIn(const uint8_t* data, int32_t length, int64_t index) {
  const int32_t at = static_cast<int32_t>(index % size_);
  const int32_t first = std::min(length, size_ - at);
  std::memcpy(ring_ + at, data, first);
  if (first < length) std::memcpy(ring_, data + first, length - first);
}

void CDvdStreamBuffer::CopyOut(uint8_t* data, int32_t length, int64_t index) const {
  const int32_t at = static_cast<int32_t>(index % size_);
  const int32_t first = std::min(length, size_ - at);
  std::memcpy(data, ring_ + at, first);
  if (first < length) std::memcpy(data + first, ring_, length - first);
}

int32_t CDvdStreamBuffer::Write(const uint8_t* data, int32_t length) {
  if (ring_ == nullptr || data == nullptr || length <= 0 || length > size_) return 0;
  if (ApplySeek()) return 0;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (static_cast<int64_t>(length) + fill_ < size_) {
      CopyIn(data, length, static_cast<int64_t>(start_index_) + fill_);
      fill_ += length;
      return length;
    }
  }
  // Full: wait until the consumer has asked for more than the ahead size past the oldest byte.
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      if (highest_requested_ - start_position_ > ahead_) break;
    }
    if (stop_ != 0) return 0;
    if (ApplySeek()) return 0;
    Sleep10ms();
  }
  std::lock_guard<std::recursive_mutex> guard(lock_);
  CopyIn(data, length, static_cast<int64_t>(start_index_) + fill_);
  start_position_ += length;
  start_index_ = static_cast<int32_t>((static_cast<int64_t>(start_index_) + length) % size_);
  return length;
}

int32_t CDvdStreamBuffer::ReadAt(int64_t position, uint8_t* data, int32_t length) {
  if (ring_ == nullptr || data == nullptr || length <= 0 || position < 0) return 0;
  length = std::min(length, read_cap());
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (position > highest_requested_) highest_requested_ = position;
  }
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      const int64_t offset = position - start_position_;
      if (offset < 0) {
        DvdTrace("back...\n");
        return -1;
      }
      if (fill_ >= offset + length) {
        CopyOut(data, length, start_index_ + offset);
        return length;
      }
      if (end_ != 0) {
        if (offset >= fill_) return 0;
        const int32_t left = static_cast<int32_t>(fill_ - offset);
        CopyOut(data, left, start_index_ + offset);
        return left;
      }
    }
    if (stop_ != 0) return 0;
    Sleep10ms();
  }
}

int32_t CDvdStreamBuffer::Read(uint8_t* data, int32_t length) {
  const int32_t n = ReadAt(read_position_, data, length);
  if (n > 0) read_position_ += n;
  return n;
}

int64_t CDvdStreamBuffer::Seek(int64_t position, int whence) {
  switch (whence) {
    case 0:
      read_position_ = position;
      return read_position_;
    case 1:
      read_position_ += position;
      return read_position_;
    case 2:
      return -1;
    default:
      return 0;
  }
}

int CDvdStreamBuffer::ApplySeek() {
  if (seek_pending_ == 0) return 0;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    highest_requested_ = 0;
    start_position_ = 0;
    read_position_ = 0;
    start_index_ = 0;
    fill_ = 0;
  }
  const int64_t target = seek_target_;
  if (handle_ != nullptr) DvdSeek(handle_, url_.first_chapter, url_.last_chapter, target);
  DvdTrace("seek....%f,%f\n", target / 1e7, duration_.load());
  seek_pending_ = 0;
  return 1;
}

void CDvdStreamBuffer::MarkEnd() {
  end_ = 1;
  DvdTrace("set end\n");
}

void CDvdStreamBuffer::RequestSeek(int64_t target) {
  seek_target_ = target;
  seek_pending_ = 1;
}

bool CDvdStreamBuffer::WaitSeekTaken(int max_steps) {
  for (int i = 0; seek_pending_ != 0; ++i) {
    if (i >= max_steps || end_ != 0) return seek_pending_ == 0;
    Sleep10ms();
  }
  return true;
}

void CDvdStreamBuffer::ThreadMain() {
  DvdNavHandle* handle = DvdInit(url_.path);
  if (handle == nullptr) {
    failed_ = 1;
    EngineLog("DVD: cannot open the disc \"%s\"", url_.path);
    MarkEnd();
    return;
  }
  DvdTitle* title = DvdTitleScan(handle, url_.title);
  const int count = title != nullptr ? PtrListCount(title->chapters) : 0;
  if (title == nullptr || count == 0) {
    failed_ = 1;
    EngineLog("DVD: cannot read title %d of \"%s\"", url_.title, url_.path);
    MarkEnd();
    DvdStop(handle);
    DvdClose(&handle);
    DvdTitleClose(&title);
    return;
  }
  int last = url_.last_chapter;
  if (ChapterAt(title, last - 1) == nullptr) last = count;
  int first = url_.first_chapter;
  if ((first >= 2 && ChapterAt(title, first - 1) == nullptr) || first < 1) first = 1;
  if (first > last) {
    failed_ = 1;
    EngineLog("DVD: first chapter %d is above the last chapter %d of title %d", first, last, url_.title);
    MarkEnd();
    DvdStop(handle);
    DvdClose(&handle);
    DvdTitleClose(&title);
    return;
  }
  url_.first_chapter = first;
  url_.last_chapter = last;
  const int last_number = ChapterAt(title, last - 1)->number;
  const int start_chapter = ChapterAt(title, first - 1)->number;
  if (!DvdStart(handle, title, start_chapter)) {
    failed_ = 1;
    EngineLog("DVD: cannot start title %d at chapter %d", url_.title, start_chapter);
    MarkEnd();
    DvdClose(&handle);
    DvdTitleClose(&title);
    return;
  }
  DvdChapter(handle);
  handle_ = handle;
  int64_t ticks = 0;
  for (int c = first; c <= last; ++c) ticks += ChapterAt(title, c - 1)->duration;
  duration_ = ticks / 90000.0;

  DvdBuffer* block = BufferInit(kDvdBlockSize);
  const char* why = "end ,break out\n";
  int64_t written = 0;
  while (block != nullptr) {
    int c = DvdChapter(handle);
    if (c < 0) {
      why = "chapter1 ,break out\n";
      break;
    }
    if (c > last_number) {
      why = "chapter2 ,break out\n";
      break;
    }
    if (!DvdRead(handle, block)) {
      why = "end ,break out\n";
      break;
    }
    if (stop_ != 0) {
      why = "break ,break out\n";
      break;
    }
    // The block belongs to the chapter the navigator is in now: past the range, it is dropped.
    c = DvdChapter(handle);
    if (c > last_number) {
      why = "chapter2 ,break out\n";
      break;
    }
    written += Write(block->data, kDvdBlockSize);
  }
  if (block == nullptr || handle->read_failed != 0) {
    failed_ = 1;
    EngineLog("DVD: reading title %d of \"%s\" failed in chapter %d, %lld bytes into the stream", url_.title, url_.path,
              handle->chapter, static_cast<long long>(written));
  }
  DvdTrace("%s", why);
  MarkEnd();
  BufferClose(&block);
  handle_ = nullptr;
  DvdStop(handle);
  DvdClose(&handle);
  DvdTitleClose(&title);
}

CDvdStreamBuffer* CDvdStreamBuffer::Open(const char* url, int32_t ahead, int32_t behind) {
  DvdUrl parsed;
  if (!DvdUrlParse(url, &parsed)) return nullptr;
  BufferPoolInit();
  auto* buffer = new (std::nothrow) CDvdStreamBuffer;
  if (buffer == nullptr) return nullptr;
  if (!buffer->Init(ahead, behind)) {
    delete buffer;
    return nullptr;
  }
  buffer->url_ = parsed;
  buffer->thread_ = std::thread(&CDvdStreamBuffer::ThreadMain, buffer);
  return buffer;
}

void CDvdStreamBuffer::Close(CDvdStreamBuffer** buffer) {
  if (buffer == nullptr || *buffer == nullptr) return;
  CDvdStreamBuffer* b = *buffer;
  *buffer = nullptr;
  if (b->end_ == 0) {
    b->stop_ = 1;
    b->end_ = 1;
  }
  // Always joined: the thread still uses the buffer until it returns.
  if (b->thread_.joinable()) b->thread_.join();
  delete b;
}
