// MPEG-4 Part 2 video packets.
#pragma once

#include <cstdint>

// Offset of the first 00 00 01 B3 (group of VOPs) or 00 00 01 B6 (VOP) start
// code, or 0 when there is none. Whatever precedes it is configuration data.
int32_t FindMpeg4PictureStart(const uint8_t* data, int32_t length);
