#include "frontend/model/title_choices.h"

#include <strings.h>

#include "frontend/model/media_info.h"
#include "frontend/model/task.h"

namespace {

int32_t TrackType(const MediaInfo& source, int32_t index) { return ParseStreamCodes(source.record.Track(index)).type; }

}  // namespace

bool ChooseTrack(CTask& task, int32_t type, int32_t index) {
  if (task.sources.empty()) return false;
  MediaInfo& source = *task.sources.front();
  const int32_t count = source.record.TrackCount();
  for (int32_t i = 0; i < count; ++i)
    if (TrackType(source, i) == type) source.chosen[i] = 0;
  if (index >= 0 && index < count) source.chosen[index] = 1;
  return true;
}

int32_t CurrentTrack(const CTask& task, int32_t type) {
  if (task.sources.empty()) return -1;
  const MediaInfo& source = *task.sources.front();
  int32_t current = -1;
  for (int32_t i = 0; i < source.record.TrackCount(); ++i)
    if (source.chosen[i] && TrackType(source, i) == type) current = i;
  return current;
}

bool HasForcedDeinterlace(const CTask& task) {
  const std::vector<FilterEntry>& list = task.job.settings.videoFilters;
  return !list.empty() && strcasecmp(list.front().key, kDeinterlaceFilter) == 0;
}

bool SetForcedDeinterlace(CTask& task, bool force) {
  if (force) return HasForcedDeinterlace(task) || task.PrependVideoFilter(kDeinterlaceFilter, "", 0) != nullptr;
  if (HasForcedDeinterlace(task)) task.RemoveVideoFilter(&task.VideoFilters().front());
  return true;
}
