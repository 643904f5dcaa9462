// MPEG audio (Layers I, II, III) frame headers.
#pragma once

#include <cstdint>

// What ParseMpegAudioHeader answers for data without a usable frame header.
constexpr int32_t kNoMpegAudioHeader = 0;

// The fields of one frame header.
struct MpegAudioHeader {
  int32_t frameLength = 0;      // bytes, header included
  int32_t samplesPerFrame = 0;  // per channel
  int32_t sampleRate = 0;       // Hz
  int32_t version = 0;          // header bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
  int32_t layer = 0;            // 1, 2 or 3
  int32_t channels = 0;         // 1 or 2
};

// Reads the four-byte frame header at `data` (`length` bytes available); false
// (out untouched) when there is no usable header: fewer than four bytes, no
// sync, reserved version or layer, free-format or bad bitrate index, reserved
// sampling index.
bool ReadMpegAudioHeader(const uint8_t* data, int32_t length, MpegAudioHeader* out);

// The frame length in bytes with *samplesPerFrame set, or kNoMpegAudioHeader
// (leaving *samplesPerFrame alone) when ReadMpegAudioHeader finds no header.
int32_t ParseMpegAudioHeader(const uint8_t* data, int32_t length, int32_t* samplesPerFrame);
