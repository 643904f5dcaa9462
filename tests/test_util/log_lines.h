// The engine's log lines a test's ring has gathered since the last call,
// without their newlines.
#pragma once

#include <string>
#include <vector>

#include "common/log_ring.h"

inline std::vector<std::string> TakeLogLines(CLogRing& ring) {
  std::vector<LogEntry> entries;
  ring.TakeEntries(entries);
  std::vector<std::string> lines;
  for (const LogEntry& e : entries) {
    std::string text = e.text;
    while (!text.empty() && text.back() == '\n') text.pop_back();
    lines.push_back(std::move(text));
  }
  return lines;
}
