// MPEG audio (Layers I, II, III) frame headers.
#pragma once

#include <cstdint>

// What ParseMpegAudioHeader answers for data without a usable frame header.
constexpr int32_t kNoMpegAudioHeader = 0;

// Parses the four-byte frame header at `data` (`length` bytes available).
// Returns the frame length in bytes and sets *samplesPerFrame, or returns
// kNoMpegAudioHeader (leaving *samplesPerFrame alone) when there is no usable
// header: fewer than four bytes, no sync, reserved version or layer,
// free-format or bad bitrate index, reserved sampling index.
int32_t ParseMpegAudioHeader(const uint8_t* data, int32_t length, int32_t* samplesPerFrame);
