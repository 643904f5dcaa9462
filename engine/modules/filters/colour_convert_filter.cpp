#include "engine/modules/filters/colour_convert_filter.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "platform/win_types.h"

IVideoFilter* CColorConvertFilter::Create(CParamList*) { return new CColorConvertFilter(); }

namespace {

// Bytes of zeros after a padded frame, enough for the widest SIMD read.
constexpr size_t kFramePadding = 64;

}  // namespace

CColorConvertFilter::~CColorConvertFilter() {
  sws_freeContext(sws_);
  FreePadded(&src_);
  FreePadded(&dst_);
}

bool CColorConvertFilter::AllocPadded(PaddedFrame* frame, AVPixelFormat format, int width, int height, int align) {
  FreePadded(frame);
  int linesizes[4];
  if (av_image_fill_linesizes(linesizes, format, width) < 0) return false;
  const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
  size_t total = 0;
  for (int i = 0; i < 4; ++i) {
    if (linesizes[i] == 0) continue;
    frame->pitch[i] = (linesizes[i] + align - 1) / align * align;
    const bool chroma = (i == 1 || i == 2);
    frame->rows[i] = chroma ? AV_CEIL_RSHIFT(height, desc->log2_chroma_h) : height;
    total += size_t(frame->pitch[i]) * size_t(frame->rows[i]);
  }
  frame->size = total + kFramePadding;
  frame->data = static_cast<uint8_t*>(av_mallocz(frame->size));
  if (frame->data == nullptr) return false;
  uint8_t* p = frame->data;
  for (int i = 0; i < 4; ++i) {
    if (frame->pitch[i] == 0) continue;
    frame->plane[i] = p;
    p += size_t(frame->pitch[i]) * size_t(frame->rows[i]);
  }
  return true;
}

void CColorConvertFilter::FreePadded(PaddedFrame* frame) {
  av_free(frame->data);
  *frame = PaddedFrame{};
}

int32_t CColorConvertFilter::SetFormat(const FrameFormat* format) {
  input_ = *format;
  output_ = *format;
  return 0;
}

int32_t CColorConvertFilter::GetOutputFormat(FrameFormat* format) {
  *format = output_;
  return 0;
}

int32_t CColorConvertFilter::Start() {
  inPixFmt_ = PixelFormatOfColourType(input_.colourType);
  outPixFmt_ = PixelFormatOfColourType(output_.colourType);
  inIsYuv_ = IsYuvFamily(inPixFmt_);
  outIsYuv_ = IsYuvFamily(outPixFmt_);
  sws_freeContext(sws_);
  sws_ = nullptr;
  FreePadded(&src_);
  FreePadded(&dst_);
  return 0;
}

int32_t CColorConvertFilter::SetOutputColourType(int32_t colourType) {
  if (colourType < kColourYuv420 || colourType > kColourRgb565) return E_FAIL;
  output_.colourType = colourType;
  return 0;
}

int32_t CColorConvertFilter::SetParams(CParamList* params) {
  return SetOutputColourType(params->GetInt("COLORTYPE", 0));
}

int32_t CColorConvertFilter::Destroy() {
  delete this;
  return 0;
}

int32_t CColorConvertFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType == output_.colourType) {
    for (int i = 0; i < 3; ++i) {
      const size_t bytes = size_t(std::max(in->pitch[i], 0)) * size_t(std::max(in->rows[i], 0));
      if (bytes != 0 && in->pointer[i] != nullptr && out->pointer[i] != nullptr)
        std::memcpy(out->pointer[i], in->pointer[i], bytes);
    }
    return 0;
  }
  if (sws_ == nullptr) {
    if (inPixFmt_ == AV_PIX_FMT_NONE || outPixFmt_ == AV_PIX_FMT_NONE) return E_FAIL;
    sws_ = sws_getContext(input_.width, input_.height, inPixFmt_, input_.width, input_.height, outPixFmt_,
                          SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
    if (sws_ == nullptr) return E_FAIL;
    // The source keeps its tight rows, the destination gets aligned ones.
    if (!AllocPadded(&src_, inPixFmt_, input_.width, input_.height, 1) ||
        !AllocPadded(&dst_, outPixFmt_, input_.width, input_.height, 32)) {
      sws_freeContext(sws_);
      sws_ = nullptr;
      return E_OUTOFMEMORY;
    }
  }
  for (int i = 0; i < 3; ++i) {
    if (src_.plane[i] == nullptr || in->pointer[i] == nullptr) continue;
    const int bytes = std::min(src_.pitch[i], in->pitch[i]);
    const int rows = std::min(src_.rows[i], in->rows[i]);
    for (int r = 0; r < rows; ++r)
      std::memcpy(src_.plane[i] + size_t(r) * size_t(src_.pitch[i]), in->pointer[i] + size_t(r) * size_t(in->pitch[i]),
                  size_t(bytes));
  }
  sws_scale(sws_, src_.plane, src_.pitch, 0, input_.height, dst_.plane, dst_.pitch);
  // YUV rows run top-down, RGB rows bottom-up: across the families the frame is turned over.
  const bool flip = inIsYuv_ != outIsYuv_;
  for (int i = 0; i < 3; ++i) {
    if (dst_.plane[i] == nullptr || out->pointer[i] == nullptr) continue;
    const int bytes = std::min(dst_.pitch[i], out->pitch[i]);
    const int rows = std::min(dst_.rows[i], out->rows[i]);
    for (int r = 0; r < rows; ++r) {
      const int from = flip ? rows - 1 - r : r;
      std::memcpy(out->pointer[i] + size_t(r) * size_t(out->pitch[i]),
                  dst_.plane[i] + size_t(from) * size_t(dst_.pitch[i]), size_t(bytes));
    }
  }
  return 0;
}
