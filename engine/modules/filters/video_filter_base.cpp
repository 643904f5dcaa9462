#include "engine/modules/filters/video_filter_base.h"

#include <algorithm>
#include <cstring>

CVideoFilterBase::CVideoFilterBase(std::initializer_list<int32_t> accepted) {
  for (int32_t type : accepted)
    if (type >= kColourYuv420 && type <= kColourRgb8) accepted_ |= 1u << (type - kColourYuv420);
}

int32_t CVideoFilterBase::SetFormat(const FrameFormat* format) {
  if (format == nullptr) return 1;
  const int32_t type = format->colourType;
  if (accepted_ != 0 &&
      (type < kColourYuv420 || type > kColourRgb8 || (accepted_ & (1u << (type - kColourYuv420))) == 0))
    return 1;
  input_ = *format;
  output_ = *format;
  return 0;
}

int32_t CVideoFilterBase::GetOutputFormat(FrameFormat* format) {
  *format = output_;
  return 0;
}

int32_t CVideoFilterBase::Destroy() {
  delete this;
  return 0;
}

FramePlanes* CVideoFilterBase::FrameToChange(FramePlanes* in, FramePlanes* out) {
  if (out == nullptr || out->pointer[0] == nullptr) return in;
  CopyFramePlanes(*in, out);
  return out;
}

void CopyFramePlanes(const FramePlanes& in, FramePlanes* out) {
  for (int i = 0; i < 3; ++i) {
    if (in.pointer[i] == nullptr || out->pointer[i] == nullptr) continue;
    const int bytes = std::max(0, std::min(in.pitch[i], out->pitch[i]));
    const int rows = std::max(0, std::min(in.rows[i], out->rows[i]));
    for (int r = 0; r < rows; ++r)
      std::memmove(out->pointer[i] + size_t(r) * size_t(out->pitch[i]), in.pointer[i] + size_t(r) * size_t(in.pitch[i]),
                   size_t(bytes));
  }
}
