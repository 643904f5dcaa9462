// Runs single frames through a video filter host, as the graph would: input
// type, parameters, output type, allocators, Run, one sample, end of stream.
#pragma once

#include <cstdint>
#include <vector>

#include "plugin-api/video_filter.h"

namespace vftest {

enum class Hosting {
  AsAsked,     // the host works in the mode the filter's SetParams asks for
  ForcedCopy,  // the filter's "in place" answer is turned into "copy"
};

struct FrameRun {
  bool ok = false;  // a frame came out
  int32_t paramsResult = 0;
  int32_t receiveResult = 0;
  bool inPlace = false;
  std::vector<uint8_t> out;
  int64_t start = 0, stop = 0;
  bool timed = false;
};

// A 4:2:0 (I420 order) or RGB24 frame buffer of the host's layout.
std::vector<uint8_t> MakeFrame(int32_t colourType, int w, int h);
int32_t LumaBytes(int w, int h);
int32_t ChromaBytes(int w, int h);  // one chroma plane

// paramsText null: SetParams is not called at all.
FrameRun RunFrame(VideoFilterFactory factory, const char* paramsText, int32_t colourType, int w, int h,
                  const std::vector<uint8_t>& frame, int64_t start = 0, Hosting hosting = Hosting::AsAsked);

}  // namespace vftest
