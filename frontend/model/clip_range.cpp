#include "frontend/model/clip_range.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "frontend/model/media_info.h"
#include "frontend/model/param_text.h"
#include "frontend/model/task.h"

namespace {

int64_t WholeSeconds(double length) {
  if (!std::isfinite(length)) return 0;
  return static_cast<int64_t>(std::clamp(length, -9.0e15, 9.0e15));
}

// "hh:mm:ss" of seconds.
std::string TimeText(int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof(text), "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60, seconds % 60);
  return text;
}

}  // namespace

bool ParseClipTime(const std::string& text, int32_t& seconds) {
  size_t i = 0;
  auto blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  blanks();
  int32_t parts[3] = {0, 0, 0};
  for (int p = 0; p < 3; ++p) {
    if (p > 0) {
      if (i >= text.size() || text[i] != ':') return false;
      ++i;
    }
    size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 2) {
      parts[p] = parts[p] * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0) return false;
  }
  blanks();
  if (i != text.size() || parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  seconds = parts[0] * 3600 + parts[1] * 60 + parts[2];
  return true;
}

std::string CheckClipRange(int32_t start, int32_t end, int32_t length) {
  if (start >= length)
    return "The start time " + TimeText(start) + " is not before the end of the source (" + TimeText(length) + ").";
  if (end > length)
    return "The end time " + TimeText(end) + " is past the end of the source (" + TimeText(length) + ").";
  return {};
}

int32_t ClipSourceLength(double length) {
  const int64_t seconds = WholeSeconds(length + 0.1);
  if (seconds <= 0) return 1;
  return static_cast<int32_t>(std::min<int64_t>(seconds, std::numeric_limits<int32_t>::max()));
}

void StoreClipRange(MediaInfo& source, int32_t start, int32_t end, int32_t length) {
  if (end != 0 && end < start) end = start < std::numeric_limits<int32_t>::max() ? start + 1 : start;
  if (end == length) end = 0;
  source.clipStart = start;
  source.clipEnd = end;
}

int64_t ClippedLength(int64_t sourceLength, int64_t start, int64_t end) {
  const int64_t l = sourceLength;
  if (start == 0) return end == 0 ? l : std::min(l, end);
  if (end == 0) return l >= start ? l - start : -1;
  if (l >= end) return end - start;
  if (l >= start) return l - start;
  return -1;
}

void UpdateClipDuration(CTask& task) {
  int64_t longest = 0;
  for (const auto& source : task.sources) {
    if (!source) continue;
    longest = std::max(longest, ClippedLength(WholeSeconds(source->record.length), source->clipStart, source->clipEnd));
  }
  task.duration = static_cast<uint32_t>(std::min<int64_t>(longest, std::numeric_limits<uint32_t>::max()));
}

int32_t ClipVideoTrack(const MediaInfo& source) {
  const int32_t count = source.record.TrackCount();
  for (int32_t i = 0; i < count; ++i) {
    if (source.chosen[i] == 0) continue;
    CParamList list;
    ParseParamText(list, source.record.Track(i));
    if (list.GetInt("TYPE", kStreamUnknown) == kStreamVideo) return i;
  }
  return -1;
}
