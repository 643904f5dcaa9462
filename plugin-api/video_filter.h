// The video filter object interface: a filter sees only frame formats and
// plane records, never media types, samples or allocators. The video filter
// host drives it; plug-ins implement it too.
// Results: small codes of its own, given per operation below (the host turns them into HRESULTs).
#pragma once

#include <cstdint>

class CParamList;

// Colour types of FrameFormat::colourType.
enum : int32_t {
  kColourYuv420 = 10,  // planar Y, U, V 4:2:0
  kColourRgb24 = 11,   // packed B G R, rows bottom-up
  kColourRgb32 = 12,   // packed B G R A
  kColourYuy2 = 13,    // packed Y U Y V
  kColourUyvy = 14,    // packed U Y V Y
  kColourRgb565 = 15,
  kColourRgb555 = 16,
  kColourRgb8 = 17,
};

struct FrameFormat {
  int32_t width;
  int32_t height;
  int32_t colourType;
  int32_t reserved[2];
  uint32_t durationNum;  // one frame lasts durationNum / durationDen seconds
  uint32_t durationDen;
};
static_assert(sizeof(FrameFormat) == 28);

// One frame's planes. For 4:2:0, plane 1 is always U and plane 2 always V,
// whatever their order in the buffer (see offset).
struct FramePlanes {
  int32_t pitch[3];
  int32_t rows[3];
  int32_t offset[3];
  int32_t planeCount;
  uint8_t* pointer[3];
};

class IVideoFilter {
 public:
  // 0 accepts, 1 refuses.
  virtual int32_t SetFormat(const FrameFormat* format) = 0;
  virtual int32_t GetOutputFormat(FrameFormat* format) = 0;
  virtual int32_t Start() = 0;
  // 0 done; 1 asks the host to stamp a stop time of start + 10,000.
  virtual int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) = 0;
  // 0 copy mode (writes a new frame), 1 in-place mode, anything else an error.
  virtual int32_t SetParams(CParamList* params) = 0;
  virtual int32_t Destroy() = 0;
  virtual int32_t IsInline() = 0;
  virtual int32_t OnDiscontinuity() = 0;

 protected:
  ~IVideoFilter() = default;  // objects are freed through Destroy
};

// The factory a host reads from "FNVF": makes a new filter object for the list.
using VideoFilterFactory = IVideoFilter* (*)(CParamList* params);
