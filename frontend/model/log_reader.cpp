#include "frontend/model/log_reader.h"

#include "common/control_block.h"

using namespace LogRingLayout;

namespace {

bool InRing(int32_t index) { return static_cast<uint32_t>(index) < static_cast<uint32_t>(kEntries); }

}  // namespace

bool LogRingReader::Open(const std::string& name) { return ring_.Open(name); }

LogRingReader::ReadResult LogRingReader::ReadLocked(uint8_t* view, LogEntry& entry) {
  const int32_t r = BlockWord(view, kReadIndex).load();
  const int32_t w = BlockWord(view, kWriteIndex).load();
  if (!InRing(r) || !InRing(w)) {
    // A damaged or foreign block: start over; the writer puts its own index
    // back in range on its next line.
    BlockWord(view, kReadIndex).store(0);
    return ReadResult::kReset;
  }
  if (r == w) return ReadResult::kEmpty;
  entry = ReadLogEntry(view, r);
  BlockWord(view, kReadIndex).store(r + 1 == kEntries ? 0 : r + 1);
  return ReadResult::kTaken;
}

LogRingReader::ReadResult LogRingReader::ReadEntry(LogEntry& entry) {
  if (!ring_.IsOpen()) return ReadResult::kEmpty;
  CSharedBlock& block = ring_.Block();
  NamedMutexLock lock(block.Mutex());
  if (!lock.Held()) return ReadResult::kEmpty;
  const ReadResult result = ReadLocked(block.View(), entry);
  block.Flush();
  return result;
}

size_t LogRingReader::Drain(std::vector<LogEntry>& out) {
  if (!ring_.IsOpen()) return 0;
  CSharedBlock& block = ring_.Block();
  NamedMutexLock lock(block.Mutex());
  if (!lock.Held()) return 0;
  size_t taken = 0;
  LogEntry entry;
  while (taken < kMaxDrain && ReadLocked(block.View(), entry) == ReadResult::kTaken) {
    out.push_back(std::move(entry));
    ++taken;
  }
  block.Flush();
  return taken;
}

std::string LogLineText(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  return text.substr(0, end);
}

void LogLines::Add(const LogEntry& entry) { Add(FormatLogTime(entry.time), LogLineText(entry.text)); }

void LogLines::Add(std::string time, std::string text) { lines_.push_back(Line{std::move(time), std::move(text)}); }

LogLines& TheLogLines() {
  static LogLines lines;
  return lines;
}
