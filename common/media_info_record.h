// The probe result the engine writes into the probe block (mode -l) and the
// front end keeps per source: tags, DVD palette, result, length, the source's
// information text and one parameter text per track.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/control_block.h"
#include "common/job_records.h"

constexpr int kMaxProbeTracks = 32;
constexpr int kProbeTextField = 1024;

struct MediaInfoRecord {
  TagInfo tags;          // copied whole into a job's source-list trailer
  uint32_t palette[16];  // DVD subpicture palette, YCrCb (front end's DVD scan)
  int32_t paletteValid;  // 1 for DVD titles
  int32_t result;        // "RET": 0 = recognised
  int32_t reserved1;
  double length;                                  // "LENGTH", seconds
  char info[kProbeTextField];                     // "MINFO"
  int32_t trackCount;                             // "TRACK"
  char tracks[kMaxProbeTracks][kProbeTextField];  // parameter text per track
  int32_t reserved2;

  // Track count limited to the table; 0 when the stored count is negative.
  int32_t TrackCount() const;
  // Track i's text; empty when i is outside the table or the stored text has
  // no terminator inside its field.
  std::string_view Track(int32_t i) const;
};

static_assert(sizeof(MediaInfoRecord) == kProbeBlockSize);
static_assert(offsetof(MediaInfoRecord, palette) == 1068 && offsetof(MediaInfoRecord, paletteValid) == 1132 &&
              offsetof(MediaInfoRecord, result) == 1136 && offsetof(MediaInfoRecord, length) == 1144 &&
              offsetof(MediaInfoRecord, info) == 1152 && offsetof(MediaInfoRecord, trackCount) == 2176 &&
              offsetof(MediaInfoRecord, tracks) == 2180);
