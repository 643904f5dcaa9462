#include "engine/modules/dvd/dvd_stream_buffer.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/dvd/dvd_backend.h"
#include "common/dvd/dvd_playback.h"
#include "common/dvd/dvd_trace.h"
#include "platform/diagnostics.h"

namespace {

void Sleep10ms() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

}  // namespace

CDvdStreamBuffer::~CDvdStreamBuffer() {
  if (!end_) {
    stop_ = true;
    end_ = true;
  }
  // Always joined: the thread uses the buffer until it returns.
  if (thread_.joinable()) thread_.join();
}

bool CDvdStreamBuffer::Init(int32_t ahead, int32_t behind) {
  ring_.reset();
  size_ = 0;
  if (ahead <= 0 || behind < 0 || static_cast<int64_t>(ahead) + behind > INT32_MAX) return false;
  ring_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(ahead) + behind]);
  if (!ring_) return false;
  ahead_ = ahead;
  behind_ = behind;
  size_ = ahead + behind;
  stop_ = false;
  end_ = false;
  failed_ = false;
  readPosition_ = 0;
  highestRequested_ = 0;
  startIndex_ = 0;
  fill_ = 0;
  startPosition_ = 0;
  seekPending_ = false;
  seekTarget_ = 0;
  duration_ = 0;
  return true;
}

void CDvdStreamBuffer::CopyIn(const uint8_t* data, int32_t length, int64_t index) {
  const int32_t at = static_cast<int32_t>(index % size_);
  const int32_t first = std::min(length, size_ - at);
  std::memcpy(ring_.get() + at, data, first);
  if (first < length) std::memcpy(ring_.get(), data + first, length - first);
}

void CDvdStreamBuffer::CopyOut(uint8_t* data, int32_t length, int64_t index) const {
  const int32_t at = static_cast<int32_t>(index % size_);
  const int32_t first = std::min(length, size_ - at);
  std::memcpy(data, ring_.get() + at, first);
  if (first < length) std::memcpy(data + first, ring_.get(), length - first);
}

int32_t CDvdStreamBuffer::Write(const uint8_t* data, int32_t length) {
  if (!ring_ || data == nullptr || length <= 0 || length > size_) return 0;
  if (ApplySeek()) return 0;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (static_cast<int64_t>(length) + fill_ < size_) {
      CopyIn(data, length, static_cast<int64_t>(startIndex_) + fill_);
      fill_ += length;
      return length;
    }
  }
  // Full: wait until the consumer has asked for more than the ahead size past the oldest byte.
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      if (highestRequested_ - startPosition_ > ahead_) break;
    }
    if (stop_) return 0;
    if (ApplySeek()) return 0;
    Sleep10ms();
  }
  std::lock_guard<std::recursive_mutex> guard(lock_);
  CopyIn(data, length, static_cast<int64_t>(startIndex_) + fill_);
  startPosition_ += length;
  startIndex_ = static_cast<int32_t>((static_cast<int64_t>(startIndex_) + length) % size_);
  return length;
}

int32_t CDvdStreamBuffer::ReadAt(int64_t position, uint8_t* data, int32_t length) {
  if (!ring_ || data == nullptr || length <= 0 || position < 0) return 0;
  length = std::min(length, readCap());
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (position > highestRequested_) highestRequested_ = position;
  }
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> guard(lock_);
      const int64_t offset = position - startPosition_;
      if (offset < 0) {
        DvdTrace("back...\n");
        return -1;
      }
      if (fill_ >= offset + length) {
        CopyOut(data, length, startIndex_ + offset);
        return length;
      }
      if (end_) {
        if (offset >= fill_) return 0;
        const int32_t left = static_cast<int32_t>(fill_ - offset);
        CopyOut(data, left, startIndex_ + offset);
        return left;
      }
    }
    if (stop_) return 0;
    Sleep10ms();
  }
}

int32_t CDvdStreamBuffer::Read(uint8_t* data, int32_t length) {
  const int32_t n = ReadAt(readPosition_, data, length);
  if (n > 0) readPosition_ += n;
  return n;
}

int64_t CDvdStreamBuffer::Seek(int64_t position, int whence) {
  switch (whence) {
    case 0:
      readPosition_ = position;
      return readPosition_;
    case 1:
      readPosition_ += position;
      return readPosition_;
    case 2:
      return -1;
    default:
      return 0;
  }
}

bool CDvdStreamBuffer::ApplySeek() {
  if (!seekPending_) return false;
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    highestRequested_ = 0;
    startPosition_ = 0;
    readPosition_ = 0;
    startIndex_ = 0;
    fill_ = 0;
    stampJumps_.clear();
    originKnown_ = false;
    rangeEndKnown_ = false;
  }
  const int64_t target = seekTarget_;
  if (handle_ != nullptr) DvdSeek(*handle_, url_.firstChapter, url_.lastChapter, target);
  // The navigator forgets the spans it skipped: reading starts over from the target.
  spansSeen_ = 0;
  blocksSinceSeek_ = 0;
  const int64_t ticks = target > 0 ? std::min<int64_t>(target / 1000 * 9, rangeEndTicks_ - rangeStartTicks_) : 0;
  coveredStartTicks_ = rangeStartTicks_ + ticks;
  DvdTrace("seek....%f,%f\n", target / 1e7, duration_.load());
  seekPending_ = false;
  return true;
}

void CDvdStreamBuffer::MarkEnd() {
  end_ = true;
  DvdTrace("set end\n");
}

void CDvdStreamBuffer::RequestSeek(int64_t target) {
  seekTarget_ = target;
  seekPending_ = true;
}

bool CDvdStreamBuffer::WaitSeekTaken(int maxSteps) {
  for (int i = 0; seekPending_; ++i) {
    if (i >= maxSteps || end_) return !seekPending_;
    Sleep10ms();
  }
  return true;
}

bool CDvdStreamBuffer::TakeStampJump(int64_t position, int64_t* shift) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  bool taken = false;
  int64_t total = 0;
  while (!stampJumps_.empty() && stampJumps_.front().position <= position) {
    total += stampJumps_.front().shift;
    stampJumps_.erase(stampJumps_.begin());
    taken = true;
  }
  if (taken && shift != nullptr) *shift = total;
  return taken;
}

bool CDvdStreamBuffer::OriginClock(int64_t* clock) const {
  if (!originKnown_) return false;
  *clock = originClock_;
  return true;
}

bool CDvdStreamBuffer::RangeEnd(int64_t* end) const {
  if (!rangeEndKnown_) return false;
  *end = rangeEnd_;
  return true;
}

bool CDvdStreamBuffer::PeekStampJump(int64_t* position, int64_t* shift) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (stampJumps_.empty()) return false;
  *position = stampJumps_.front().position;
  *shift = stampJumps_.front().shift;
  return true;
}

double CDvdStreamBuffer::RangeSeconds(int64_t ticks) const {
  return static_cast<double>(std::clamp(ticks, rangeStartTicks_, rangeEndTicks_) - rangeStartTicks_) / 90000.0;
}

void CDvdStreamBuffer::NoteSkippedSpans(DvdNavHandle& handle) {
  for (; spansSeen_ < handle.spans.size() && handle.spans[spansSeen_].resumed; ++spansSeen_) {
    const DvdSkippedSpan& span = handle.spans[spansSeen_];
    {
      Log("DVD: title %d: sectors %u to %u cannot be read: %.2f s to %.2f s skipped", url_.title, span.firstSector,
          span.lastSector, RangeSeconds(span.startTicks), RangeSeconds(span.endTicks));
    }
    if (!span.clocked) continue;
    // The stamps after the span run on from the resumed VOBU's clock; in the title, the span lasts
    // endTicks - startTicks. The difference is what the reader must take off.
    const int64_t shift90 = (span.clockAfter - span.clockBefore) - (span.endTicks - span.startTicks);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    stampJumps_.push_back(StampJump{startPosition_ + fill_, shift90 * 1000 / 9});
    shiftSinceOrigin_ += shift90 * 1000 / 9;
  }
}

void CDvdStreamBuffer::NoteClockJump(DvdNavHandle& handle) {
  if (!handle.clockJumped) return;
  handle.clockJumped = false;
  const double at = RangeSeconds(handle.clockJumpTicks);
  const double seconds = static_cast<double>(handle.clockJump) / 90000.0;
  if (handle.clockJump < 0) {
    Log("DVD: title %d: the stream's clock goes back %.3f s at %.2f s (a new clock or a cell played again); the time "
        "line runs on",
        url_.title, -seconds, at);
  } else {
    DvdTrace("dvd: title %d: the stream's clock jumps %.3f s at %.2f s; the time line runs on\n", url_.title, seconds,
             at);
  }
  // The stamps from this navigation pack on run from the new clock: the reader takes the jump off.
  std::lock_guard<std::recursive_mutex> guard(lock_);
  stampJumps_.push_back(StampJump{startPosition_ + fill_, handle.clockJump * 1000 / 9});
  shiftSinceOrigin_ += handle.clockJump * 1000 / 9;
}

void CDvdStreamBuffer::JudgeDamage(DvdNavHandle& handle) {
  if (handle.spans.empty() && !handle.readFailed) return;
  int64_t lost = 0;
  const DvdChapterRecord* lastChapter =
      title_ != nullptr && url_.lastChapter >= 1 ? &title_->chapters[url_.lastChapter - 1] : nullptr;
  for (const DvdSkippedSpan& span : handle.spans) {
    const int64_t start = std::clamp(span.startTicks, coveredStartTicks_, rangeEndTicks_);
    const int64_t end = span.resumed ? std::clamp(span.endTicks, start, rangeEndTicks_) : rangeEndTicks_;
    lost += end - start;
    if (!span.resumed && !handle.readFailed) {
      Log("DVD: title %d: sectors %u to %d cannot be read: %.2f s to %.2f s (the end) skipped", url_.title,
          span.firstSector, lastChapter != nullptr ? lastChapter->lastSector : 0, RangeSeconds(start),
          RangeSeconds(end));
    }
  }
  const int64_t covered = std::max<int64_t>(rangeEndTicks_ - coveredStartTicks_, 1);
  const double lostSeconds = lost / 90000.0;
  const double coveredSeconds = covered / 90000.0;
  Log("DVD: title %d of \"%s\": %.2f s of %.2f s could not be read (%d damaged %s)", url_.title, url_.path.c_str(),
      lostSeconds, coveredSeconds, static_cast<int>(handle.spans.size()),
      handle.spans.size() == 1 ? "place" : "places");
  const DvdSkippedSpan* first = handle.spans.empty() ? nullptr : &handle.spans.front();
  const DvdSkippedSpan* last = handle.spans.empty() ? nullptr : &handle.spans.back();
  auto chapterOf = [&](const DvdSkippedSpan* span) {
    if (span == nullptr || title_ == nullptr) return handle.chapter;
    const std::optional<DvdCellPlace> place = DvdFindCell(title_->chapters, span->firstSector);
    return place ? place->chapter->number : handle.chapter;
  };
  if (handle.readFailed) {
    Fail("DVD: reading title %d of \"%s\" failed in chapter %d: nothing readable after sector %u (%.2f s)", url_.title,
         url_.path.c_str(), chapterOf(last), last != nullptr ? last->firstSector : 0,
         last != nullptr ? RangeSeconds(last->startTicks) : 0.0);
  } else if (lost * 20 > covered) {
    Fail("DVD: reading title %d of \"%s\" failed in chapter %d at %.2f s: %.2f s of %.2f s could not be read",
         url_.title, url_.path.c_str(), chapterOf(first), first != nullptr ? RangeSeconds(first->startTicks) : 0.0,
         lostSeconds, coveredSeconds);
  }
}

void CDvdStreamBuffer::JudgeEnd(const DvdNavHandle& handle) {
  // The navigator stopped before the range's last chapter was left: where did it get to?
  const DvdVobuMark& v = handle.vobu;
  const int64_t reached = v.valid ? v.startTicks + v.duration : coveredStartTicks_;
  const int64_t covered = std::max<int64_t>(rangeEndTicks_ - coveredStartTicks_, 1);
  const int64_t missing = rangeEndTicks_ - std::clamp(reached, coveredStartTicks_, rangeEndTicks_);
  if (missing * 20 <= covered) return;
  Fail("DVD: reading title %d of \"%s\" failed: the disc ended at %.2f s of %.2f s", url_.title, url_.path.c_str(),
       RangeSeconds(rangeEndTicks_ - missing), RangeSeconds(rangeEndTicks_));
}

void CDvdStreamBuffer::LogV(DiagLevel level, const char* format, va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, format, args);
  if (!logMemory_) {
    DvdTrace("%s\n", text);  // a tool's buffer: its standard output may carry the stream
    return;
  }
  {
    std::lock_guard<std::mutex> guard(logMemory_->lock);
    if (!logMemory_->lines.insert(text).second) return;
  }
  Diag(level, "%s", text);
}

void CDvdStreamBuffer::Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogV(DiagLevel::kWarning, format, args);
  va_end(args);
}

void CDvdStreamBuffer::Fail(const char* format, ...) {
  failed_ = true;
  va_list args;
  va_start(args, format);
  LogV(DiagLevel::kError, format, args);
  va_end(args);
}

bool CDvdStreamBuffer::StartRange(DvdNavHandle& handle, const DvdTitle* title, int* lastNumber) {
  if (title == nullptr || title->chapters.empty()) {
    Fail("DVD: cannot read title %d of \"%s\"", url_.title, url_.path.c_str());
    return false;
  }
  const int count = static_cast<int>(title->chapters.size());
  int last = url_.lastChapter;
  if (last < 1 || last > count) last = count;
  int first = url_.firstChapter;
  if (first < 1 || first > count) first = 1;
  if (first > last) {
    Fail("DVD: first chapter %d is above the last chapter %d of title %d", first, last, url_.title);
    return false;
  }
  url_.firstChapter = first;
  url_.lastChapter = last;
  *lastNumber = title->chapters[last - 1].number;
  const int startChapter = title->chapters[first - 1].number;
  if (!DvdStart(handle, *title, startChapter)) {
    Fail("DVD: cannot start title %d at chapter %d", url_.title, startChapter);
    return false;
  }
  DvdChapter(handle);
  if (!DvdAddressMapUsable(handle))
    Log("DVD: title %d of \"%s\": the VOBU address map of its title set is damaged; it is read from a chapter's "
        "start only",
        url_.title, url_.path.c_str());
  handle_ = &handle;
  title_ = title;
  rangeStartTicks_ = 0;
  for (int c = 1; c < first; ++c) rangeStartTicks_ += title->chapters[c - 1].duration;
  int64_t ticks = 0;
  rangeSectors_ = 0;
  for (int c = first; c <= last; ++c) {
    ticks += title->chapters[c - 1].duration;
    for (const DvdCell& cell : title->chapters[c - 1].cells)
      rangeSectors_ += std::max<int64_t>(static_cast<int64_t>(cell.lastSector) - cell.firstSector + 1, 0);
  }
  rangeEndTicks_ = rangeStartTicks_ + ticks;
  coveredStartTicks_ = rangeStartTicks_;
  duration_ = ticks / 90000.0;
  return true;
}

void CDvdStreamBuffer::ReadRange(DvdNavHandle& handle, int lastNumber) {
  const DvdBufferPtr block = BufferInit(kDvdBlockSize);
  const char* why = "end ,break out\n";
  // A navigator that keeps playing the same cells never reaches the end: bounded by twice the range.
  const int64_t blockLimit = 2 * rangeSectors_ + 4096;
  bool repeating = false;
  // After the range's last chapter: the next chapter's first VOBUs, read for the sound of the range's
  // last pictures that is muxed into them (the reader ends every stream where that chapter begins).
  bool inTail = false;
  int64_t tailClock = 0;  // the next chapter's first presentation time
  int32_t tailBlocks = 0;
  while (block) {
    if (const int c = DvdChapter(handle); c < 0 || (c > lastNumber && !inTail)) {
      why = c < 0 ? "chapter1 ,break out\n" : "chapter2 ,break out\n";
      break;
    }
    if (!DvdRead(handle, *block)) {
      why = "end ,break out\n";
      break;
    }
    if (stop_) {
      why = "break ,break out\n";
      break;
    }
    // The block belongs to the chapter the navigator is in now.
    const bool pastRange = DvdChapter(handle) > lastNumber;
    const bool tailStarts = pastRange && !inTail;
    if (tailStarts) {
      inTail = handle.vobu.valid;
      tailClock = handle.vobu.startClock;
      tailBlocks = 0;
    }
    if (pastRange && (!inTail || handle.vobu.startClock - tailClock >= kTailTicks ||
                      handle.vobu.startClock < tailClock || ++tailBlocks > kMaxTailBlocks)) {
      why = "chapter2 ,break out\n";
      break;
    }
    NoteSkippedSpans(handle);
    NoteClockJump(handle);
    if (!originKnown_ && handle.vobu.valid) {
      // What is read from here begins with its first VOBU; its pictures until the first one that
      // can be decoded (a key picture) are dropped, so the time line begins there.
      originClock_ = handle.vobu.startClock * 1000 / 9;
      shiftSinceOrigin_ = 0;
      originKnown_ = true;
      originPicture_ = false;
    }
    if (originKnown_ && !originPicture_) {
      if (const std::optional<int64_t> pts = DvdPackVideoPts(block->data())) {
        originPicture_ = true;
        const int64_t clock = *pts * 1000 / 9;
        // The key picture is shown within its VOBU, after any picture that needs the one before.
        if (clock > originClock_ && clock - originClock_ < kOriginPictureLimit) originClock_ = clock;
      }
    }
    if (tailStarts && originKnown_) {
      rangeEnd_ = handle.vobu.startClock * 1000 / 9 - originClock_ - shiftSinceOrigin_;
      rangeEndKnown_ = true;
    }
    const int32_t kept = Write(block->data(), kDvdBlockSize);
    if (kept == 0 && !stop_) inTail = false;  // a seek was applied: reading starts over
    if (kept > 0 && ++blocksSinceSeek_ > blockLimit) {
      repeating = true;
      break;
    }
  }
  if (!block) {
    Fail("DVD: reading title %d of \"%s\" failed: out of memory", url_.title, url_.path.c_str());
  } else if (repeating) {
    Fail("DVD: reading title %d of \"%s\" failed in chapter %d: the disc plays the same cells again and again",
         url_.title, url_.path.c_str(), handle.chapter);
  } else if (!stop_) {
    JudgeDamage(handle);
    if (!failed_ && !inTail) JudgeEnd(handle);
  }
  DvdTrace("%s", why);
}

void CDvdStreamBuffer::ThreadMain() {
  DvdNavHandlePtr handle = DvdInit(url_.path.c_str());
  for (const std::string& note : DvdOpenNotes()) Log("DVD: \"%s\": %s", url_.path.c_str(), note.c_str());
  DvdTitlePtr title;
  if (!handle) {
    Fail("DVD: cannot open the disc \"%s\"", url_.path.c_str());
  } else {
    title = DvdTitleScan(*handle, url_.title);
    int lastNumber = 0;
    if (StartRange(*handle, title.get(), &lastNumber)) ReadRange(*handle, lastNumber);
  }
  // Every way out: the end is marked, then playback stops, the disc closes and the title goes.
  MarkEnd();
  handle_ = nullptr;
  if (handle) DvdStop(*handle);
  DvdClose(handle);
  title.reset();
}

std::unique_ptr<CDvdStreamBuffer> CDvdStreamBuffer::Open(const char* url, int32_t ahead, int32_t behind,
                                                         std::shared_ptr<DvdLogMemory> logMemory) {
  std::optional<DvdUrl> parsed = DvdUrlParse(url);
  if (!parsed) return nullptr;
  BufferPoolInit();
  std::unique_ptr<CDvdStreamBuffer> buffer(new (std::nothrow) CDvdStreamBuffer);
  if (!buffer || !buffer->Init(ahead, behind)) return nullptr;
  buffer->url_ = std::move(*parsed);
  buffer->logMemory_ = std::move(logMemory);
  buffer->thread_ = std::thread(&CDvdStreamBuffer::ThreadMain, buffer.get());
  return buffer;
}
