#include "engine/modules/filters/flip_grey_filters.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// Both records hold the same three planes of a 4:2:0 frame.
bool HavePlanes(const FramePlanes* in, const FramePlanes* out) {
  if (in == nullptr || out == nullptr) return false;
  for (int i = 0; i < 3; ++i)
    if (in->pointer[i] == nullptr || out->pointer[i] == nullptr || in->pitch[i] != out->pitch[i] ||
        in->rows[i] != out->rows[i] || in->pitch[i] < 0 || in->rows[i] < 0)
      return false;
  return true;
}

uint8_t* Row(const FramePlanes* p, int plane, int row) {
  return p->pointer[plane] + size_t(row) * size_t(p->pitch[plane]);
}

}  // namespace

IVideoFilter* CFlipVerticalFilter::Create(CParamList*) { return new (std::nothrow) CFlipVerticalFilter(); }
IVideoFilter* CFlipHorizontalFilter::Create(CParamList*) { return new (std::nothrow) CFlipHorizontalFilter(); }
IVideoFilter* CGreyscaleFilter::Create(CParamList*) { return new (std::nothrow) CGreyscaleFilter(); }

int32_t CFlipVerticalFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || !HavePlanes(in, out)) return 0;
  for (int i = 0; i < 3; ++i) {
    const int rows = in->rows[i];
    for (int r = 0; r < rows; ++r) std::memcpy(Row(out, i, r), Row(in, i, rows - 1 - r), size_t(in->pitch[i]));
  }
  return 0;
}

int32_t CFlipHorizontalFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || !HavePlanes(in, out)) return 0;
  for (int i = 0; i < 3; ++i) {
    const int pitch = in->pitch[i];
    for (int r = 0; r < in->rows[i]; ++r) std::reverse_copy(Row(in, i, r), Row(in, i, r) + pitch, Row(out, i, r));
  }
  return 0;
}

int32_t CGreyscaleFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || !HavePlanes(in, out)) return 0;
  std::memcpy(out->pointer[0], in->pointer[0], size_t(in->pitch[0]) * size_t(in->rows[0]));
  for (int i = 1; i < 3; ++i) std::memset(out->pointer[i], 128, size_t(in->pitch[i]) * size_t(in->rows[i]));
  return 0;
}
