// Plane layout of the colour types. Results: bool, true when laid out.
// 4:2:0 chroma planes are ((w+1)/2) x ((h+1)/2), as libswscale and the
// av_image helpers lay them out, so odd sizes never lose a column or row;
// packed 4:2:2 rows likewise hold whole pixel pairs.
#pragma once

#include <cstdint>

#include "plugin-api/video_filter.h"

// Largest frame accepted, so that every size fits a 32-bit sample length.
constexpr int32_t kMaxFrameDimension = 16384;

constexpr int32_t ChromaSize(int32_t lumaSize) { return (lumaSize + 1) / 2; }

// Fills pitch, rows, offset and plane count (pointers null). vBeforeU puts V
// first in the buffer (YV12) while plane 1 stays U. false for an unknown
// colour type or a size outside 1..kMaxFrameDimension.
bool ComputeFramePlanes(int32_t colourType, int32_t width, int32_t height, bool vBeforeU, FramePlanes* planes);

// Sum of pitch x rows over the planes.
int32_t FramePlanesSize(const FramePlanes& planes);

// Bytes of one frame; 0 for an unknown type or a size out of range.
int32_t FrameSampleSize(int32_t colourType, int32_t width, int32_t height);

// pointer[i] = base + offset[i] for the planes the layout has, null otherwise.
void SetPlanePointers(FramePlanes* planes, uint8_t* base);

// YUV 4:2:0, YUY2 and UYVY: stored top-down, unlike the RGB types.
bool IsYuvColourType(int32_t colourType);
