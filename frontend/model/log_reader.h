// The front end's side of the engine's log ring: a reader that takes the
// entries the engines wrote, and the lines read so far in this run of the
// program, which the log window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/log_ring.h"

class LogRingReader {
 public:
  // At most this many entries per Drain: a damaged ring never keeps the
  // reader (and the window that drains it) busy.
  static constexpr size_t kMaxDrain = LogRingLayout::kEntries;

  enum class ReadResult {
    kTaken,  // one entry taken, the read index advanced
    kEmpty,  // nothing waiting (or no ring)
    kReset,  // an index outside 0..511: the read index set to 0, nothing taken
  };

  // Opens the ring, or creates it when no engine has yet. False when the
  // block cannot be made.
  bool Open(const std::string& name = CLogRing::kName);
  void Close() { ring_.Close(); }
  bool IsOpen() const { return ring_.IsOpen(); }

  // Takes the entry at the read index, under the ring's mutex.
  ReadResult ReadEntry(LogEntry& entry);
  // Takes waiting entries oldest first, at most kMaxDrain, under one hold of
  // the mutex; stops at a reset. Returns how many were appended to out.
  size_t Drain(std::vector<LogEntry>& out);

 private:
  ReadResult ReadLocked(uint8_t* view, LogEntry& entry);

  CLogRing ring_;
};

// A line as the lists show it: the engine's text without its line ends.
std::string LogLineText(const std::string& text);

// The lines read from the ring during this run of the program, oldest first.
// They only grow. Used from the user-interface thread.
class LogLines {
 public:
  struct Line {
    std::string time;  // "hh:mm:ss.mmm"
    std::string text;
  };

  void Add(const LogEntry& entry);
  void Add(std::string time, std::string text);
  size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }
  const Line& operator[](size_t i) const { return lines_[i]; }
  void Clear() { lines_.clear(); }

 private:
  std::vector<Line> lines_;
};

// The program's one list of log lines.
LogLines& TheLogLines();
