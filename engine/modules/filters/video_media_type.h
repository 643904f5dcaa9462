// Between DirectShow video media types and the engine's frame description.
// Results: bool for a parse; HRESULT (S_OK or a failure code) for a build.
#pragma once

#include <cstdint>

#include "platform/media_types.h"
#include "platform/win_types.h"
#include "plugin-api/video_filter.h"

// Reads an uncompressed video type (FORMAT_VideoInfo or FORMAT_VideoInfo2)
// into a frame format and its plane layout; false for an unknown subtype or
// format type, a format block too short for its header, or an unusable size.
bool ParseVideoMediaType(const AM_MEDIA_TYPE* mt, FrameFormat* format, FramePlanes* planes);

// A FORMAT_VideoInfo media type for the format. Variants: 4:2:0 has YV12,
// I420, IYUV; 32-bit RGB has RGB32, ARGB32; every other type only variant 0.
// E_INVALIDARG for an unknown colour type or size, MODULE_E_NO_TYPE past the
// variants, E_OUTOFMEMORY. Any format block the type held is freed first.
HRESULT BuildVideoMediaType(const FrameFormat* format, int32_t variant, AM_MEDIA_TYPE* mt);
