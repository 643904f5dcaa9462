#include "common/media_info_record.h"

#include <cstring>
#include <type_traits>

static_assert(std::is_trivially_copyable_v<MediaInfoRecord>);

int32_t MediaInfoRecord::TrackCount() const {
  if (trackCount < 0) return 0;
  return trackCount > kMaxProbeTracks ? kMaxProbeTracks : trackCount;
}

std::string_view MediaInfoRecord::Track(int32_t i) const {
  if (i < 0 || i >= kMaxProbeTracks) return {};
  const size_t length = strnlen(tracks[i], kProbeTextField);
  if (length == kProbeTextField) return {};
  return std::string_view(tracks[i], length);
}
