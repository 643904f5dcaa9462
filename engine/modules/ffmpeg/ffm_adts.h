// ADTS stripping for an FFmpeg stream record (the byte-level helper is in the bitstream family).
#pragma once

#include <cstdint>

struct AVCodecParameters;

// Header bytes to skip in a packet holding exactly one ADTS frame (7, 9 with
// CRC, or 0 when it is no such frame); the stream's extradata receives the
// AudioSpecificConfig when it has none.
int32_t StripAdtsHeader(const uint8_t* data, int32_t length, AVCodecParameters* stream);
