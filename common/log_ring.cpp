#include "common/log_ring.h"

#include <cstdio>
#include <cstring>

#include "common/control_block.h"

using namespace LogRingLayout;

bool CLogRing::Open(const std::string& name) {
  if (!block_.Create(name, kSize)) return false;
  if (block_.Size() < kSize) {
    block_.Close();  // a foreign block too small to hold the ring
    return false;
  }
  return true;
}

bool CLogRing::Append(const char* text) {
  if (!block_.IsOpen() || !text) return false;
  NamedMutex& mutex = block_.Mutex();
  auto r = mutex.Lock();
  if (r != NamedMutex::LockResult::Acquired && r != NamedMutex::LockResult::Abandoned) return false;
  uint8_t* view = block_.View();
  int32_t i = BlockWord(view, kWriteIndex).load();
  if (static_cast<uint32_t>(i) >= static_cast<uint32_t>(kEntries)) {
    BlockWord(view, kWriteIndex).store(0);
  } else {
    uint8_t* entry = view + EntryOffset(i);
    char* field = reinterpret_cast<char*>(entry + sizeof(SYSTEMTIME));
    strncpy(field, text, kTextSize);
    field[kTextSize - 1] = 0;
    SYSTEMTIME now;
    GetLocalTime(&now);
    memcpy(entry, &now, sizeof(now));
    BlockWord(view, kWriteIndex).store(i + 1 == kEntries ? 0 : i + 1);
  }
  block_.Flush();
  return mutex.Unlock();
}

size_t CLogRing::TakeEntries(std::vector<LogEntry>& out) {
  if (!block_.IsOpen()) return 0;
  NamedMutexLock lock(block_.Mutex());
  if (!lock.Held()) return 0;
  uint8_t* view = block_.View();
  int32_t r = BlockWord(view, kReadIndex).load();
  const int32_t w = BlockWord(view, kWriteIndex).load();
  if (static_cast<uint32_t>(w) >= static_cast<uint32_t>(kEntries)) return 0;  // writer resets it
  if (static_cast<uint32_t>(r) >= static_cast<uint32_t>(kEntries)) r = w;     // damaged: skip to now
  size_t taken = 0;
  while (r != w) {
    out.push_back(ReadLogEntry(view, r));
    ++taken;
    r = r + 1 == kEntries ? 0 : r + 1;
  }
  BlockWord(view, kReadIndex).store(r);
  block_.Flush();
  return taken;
}

LogEntry ReadLogEntry(const uint8_t* view, int32_t i) {
  const uint8_t* entry = view + EntryOffset(i);
  LogEntry e;
  memcpy(&e.time, entry, sizeof(SYSTEMTIME));
  const char* field = reinterpret_cast<const char*>(entry + sizeof(SYSTEMTIME));
  e.text.assign(field, strnlen(field, kTextSize));
  return e;
}

CLogRing* LogRingCreate(const char* name) {
  auto* ring = new CLogRing;
  if (name) ring->Open(name);
  return ring;
}

int LogRingDestroy(CLogRing* ring) {
  if (ring) {
    ring->Close();
    delete ring;
  }
  return 1;
}

int LogRingVPrintf(CLogRing* ring, const char* format, va_list args) {
  if (!ring || !format) return 0;
  char buffer[kPrintfBuffer];
  // Bounded: a longer line is cut and stays terminated.
  vsnprintf(buffer, sizeof(buffer), format, args);
  return ring->Append(buffer) ? 1 : 0;
}

int LogRingPrintf(CLogRing* ring, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = LogRingVPrintf(ring, format, args);
  va_end(args);
  return r;
}

std::string FormatLogTime(const SYSTEMTIME& t) {
  char buf[32];
  snprintf(buf, sizeof(buf), "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
  return buf;
}
