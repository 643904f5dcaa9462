// The length of an MPEG audio file (MP3, MP2) from its own frames: the frame
// count of a Xing/Info or VBRI header when the first frame carries one (with
// the encoder delay and padding of a LAME extension taken off), else the
// frames counted one by one. ID3v2 tags in front and anything between frames
// that does not parse are skipped.
// Results: bool, true with a length.
#pragma once

#include <chrono>
#include <cstdint>

struct MpegAudioLength {
  uint64_t samples = 0;  // per channel
  int32_t sampleRate = 0;
  int64_t frames = 0;           // audio frames (a Xing/Info frame is not one)
  bool fromInfoHeader = false;  // the frame count came from a Xing/Info or VBRI header
  double Seconds() const { return sampleRate > 0 ? static_cast<double>(samples) / sampleRate : 0.0; }
};

// false when the file cannot be read, holds no frame, or the deadline passes
// before the scan ends.
bool ScanMpegAudioLength(const char* path, std::chrono::steady_clock::time_point deadline, MpegAudioLength* out);
