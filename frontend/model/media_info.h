// A task's sources: the probe result of each and the streams chosen from it,
// and the parsed form of one stream descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/media_info_record.h"

class VfccTable;

enum StreamType : int32_t {
  kStreamVideo = 0,
  kStreamAudio = 1,
  kStreamSubtitle = 2,
  kStreamUnknown = 255,
};

// One source of a task.
struct MediaInfo {
  std::string path;                      // a file path or a "dvd:%d,%d,%d,%s" source
  int32_t chosen[kMaxProbeTracks] = {};  // nonzero where the track of that index is converted
  int32_t clipStart = 0;                 // whole seconds; 0 and 0 = the whole source
  int32_t clipEnd = 0;                   // 0 = to the end
  MediaInfoRecord record{};              // the probe result, copied whole

  // Number of chosen tracks among the record's tracks.
  int32_t ChosenCount() const;
};

// One parsed stream descriptor.
struct StreamInfo {
  int32_t type = kStreamUnknown;
  int32_t streamId = 0;
  int32_t width = 0;
  int32_t height = 0;
  double pixelAspect = 1.0;  // PNAN / PNAD, 1.0 when either is 0 or missing
  double frameRate = 0.0;
  int32_t interlaced = 0;
  int32_t word1 = 1;
  int32_t word2 = 1;
  int32_t channels = 0;
  int32_t sampleRate = 0;
  int32_t bitsPerSample = 0;
};

// Fills out from a descriptor (a parameter text): TYPE and STREAMID always,
// the picture fields for video, the sound fields for audio.
void ParseStreamInfo(std::string_view descriptor, StreamInfo& out);

// The descriptor's TYPE (255 when absent), VFCC and FCC codes (a code given as
// a four-letter text is read as one).
struct StreamCodes {
  int32_t type = kStreamUnknown;
  uint32_t vfcc = 0;
  uint32_t fcc = 0;
};
StreamCodes ParseStreamCodes(std::string_view descriptor);

// The line a stream descriptor is shown as ("44.1 kHZ 128 kb/s stereo AAC
// (0x80) ,en", "720x480[16:9],29.97fps MPEG-2 Video", "DVD Subpicture (0x20)");
// codes gets its TYPE, VFCC and FCC. Codec names come from the codec table
// (the process-wide one unless given); an unknown type shows as "".
std::string ParseStreamParams(std::string_view descriptor, StreamCodes& codes);
std::string ParseStreamParams(std::string_view descriptor, StreamCodes& codes, const VfccTable& table);

// The short line a track is offered as in the main window's track lists:
// "[0x80] en AC-3 2 ch" (audio), "[0x20] fr" (subtitle), "720x576[4:3],MPEG-2
// Video" (video); "" for another type.
std::string TrackSummaryText(std::string_view descriptor);
std::string TrackSummaryText(std::string_view descriptor, const VfccTable& table);

// x with as few decimals as show it (at most three): 25, 44.1, 29.97,
// 23.976; independent of the locale.
std::string FormatNumber(double x);

// x + 0.5 truncated toward zero, limited to the int64 range.
int64_t RoundToInt(double x);
