#include "engine/modules/ffmpeg/ffm_deinterlacer.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/mem.h>
#include <libpostproc/postprocess.h>
}

namespace {

constexpr int kAlign = 32;
constexpr int kBlockRows = 16;

int AlignUp(int v, int a) { return (v + a - 1) / a * a; }

}  // namespace

CFrameDeinterlacer::~CFrameDeinterlacer() { Close(); }

void CFrameDeinterlacer::Close() {
  if (context_ != nullptr) pp_free_context(context_);
  if (mode_ != nullptr) pp_free_mode(mode_);
  context_ = mode_ = nullptr;
  av_free(src_.data);
  av_free(dst_.data);
  src_ = Padded{};
  dst_ = Padded{};
  width_ = height_ = 0;
}

bool CFrameDeinterlacer::Alloc(Padded* frame) {
  const int cw = (width_ + 1) / 2, ch = (height_ + 1) / 2;
  const int widths[3] = {width_, cw, cw};
  const int heights[3] = {height_, ch, ch};
  size_t total = 0;
  for (int i = 0; i < 3; ++i) {
    frame->pitch[i] = AlignUp(widths[i], kAlign) + kAlign;
    frame->rows[i] = AlignUp(heights[i], kBlockRows) + kBlockRows;
    total += size_t(frame->pitch[i]) * size_t(frame->rows[i]);
  }
  frame->data = static_cast<uint8_t*>(av_mallocz(total));
  if (frame->data == nullptr) return false;
  uint8_t* p = frame->data;
  for (int i = 0; i < 3; ++i) {
    frame->plane[i] = p;
    p += size_t(frame->pitch[i]) * size_t(frame->rows[i]);
  }
  return true;
}

HRESULT CFrameDeinterlacer::Open(int32_t width, int32_t height) {
  Close();
  if (width < 1 || height < 1) return E_INVALIDARG;
  width_ = width;
  height_ = height;
  mode_ = pp_get_mode_by_name_and_quality("fd", PP_QUALITY_MAX);
  context_ = pp_get_context(width, height, PP_FORMAT_420 | PP_CPU_CAPS_AUTO);
  if (mode_ == nullptr || context_ == nullptr) {
    Close();
    return E_FAIL;
  }
  if (!Alloc(&src_) || !Alloc(&dst_)) {
    Close();
    return E_OUTOFMEMORY;
  }
  return S_OK;
}

void CFrameDeinterlacer::Deinterlace(FramePlanes* planes) {
  if (context_ == nullptr) return;
  // Into both copies: what the library leaves alone (an odd chroma column or
  // row) comes back unchanged.
  for (int i = 0; i < 3; ++i) {
    if (planes->pointer[i] == nullptr) continue;
    const int bytes = std::min(planes->pitch[i], src_.pitch[i]);
    const int rows = std::min(planes->rows[i], src_.rows[i]);
    for (int r = 0; r < rows; ++r) {
      const uint8_t* from = planes->pointer[i] + size_t(r) * size_t(planes->pitch[i]);
      std::memcpy(src_.plane[i] + size_t(r) * size_t(src_.pitch[i]), from, size_t(bytes));
      std::memcpy(dst_.plane[i] + size_t(r) * size_t(dst_.pitch[i]), from, size_t(bytes));
    }
  }
  const uint8_t* src[3] = {src_.plane[0], src_.plane[1], src_.plane[2]};
  pp_postprocess(src, src_.pitch, dst_.plane, dst_.pitch, width_, height_, nullptr, 0, mode_, context_, 0);
  for (int i = 0; i < 3; ++i) {
    if (planes->pointer[i] == nullptr) continue;
    const int bytes = std::min(planes->pitch[i], dst_.pitch[i]);
    const int rows = std::min(planes->rows[i], dst_.rows[i]);
    for (int r = 0; r < rows; ++r)
      std::memcpy(planes->pointer[i] + size_t(r) * size_t(planes->pitch[i]),
                  dst_.plane[i] + size_t(r) * size_t(dst_.pitch[i]), size_t(bytes));
  }
}
