#include "engine/modules/ffmpeg/ffm_scaler.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

// Bytes of zeros after a padded frame, enough for the widest SIMD read.
constexpr size_t kFramePadding = 64;

}  // namespace

int32_t PixelFormatOfColourType(int32_t colourType) {
  switch (colourType) {
    case kColourYuv420:
      return AV_PIX_FMT_YUV420P;
    case kColourRgb24:
      return AV_PIX_FMT_BGR24;
    case kColourRgb32:
      return AV_PIX_FMT_BGRA;
    case kColourYuy2:
      return AV_PIX_FMT_YUYV422;
    case kColourUyvy:
      return AV_PIX_FMT_UYVY422;
    case kColourRgb565:
      return AV_PIX_FMT_RGB565LE;
    case kColourRgb555:
      return AV_PIX_FMT_RGB555LE;
    case kColourRgb8:
      return AV_PIX_FMT_RGB8;
    default:
      return AV_PIX_FMT_NONE;
  }
}

CFrameScaler::~CFrameScaler() { Close(); }

void CFrameScaler::Close() {
  sws_freeContext(sws_);
  sws_ = nullptr;
  FreePadded(&src_);
  FreePadded(&dst_);
}

bool CFrameScaler::AllocPadded(PaddedFrame* frame, int32_t pixelFormat, int width, int height, int align) {
  FreePadded(frame);
  const auto format = static_cast<AVPixelFormat>(pixelFormat);
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

void CFrameScaler::FreePadded(PaddedFrame* frame) {
  av_free(frame->data);
  *frame = PaddedFrame{};
}

HRESULT CFrameScaler::Open(int32_t inColourType, int32_t outColourType, int32_t width, int32_t height) {
  Close();
  const int32_t inFormat = PixelFormatOfColourType(inColourType);
  const int32_t outFormat = PixelFormatOfColourType(outColourType);
  if (inFormat == AV_PIX_FMT_NONE || outFormat == AV_PIX_FMT_NONE) return E_FAIL;
  sws_ = sws_getContext(width, height, static_cast<AVPixelFormat>(inFormat), width, height,
                        static_cast<AVPixelFormat>(outFormat), SWS_FAST_BILINEAR, nullptr, nullptr, nullptr);
  if (sws_ == nullptr) return E_FAIL;
  // The source keeps its tight rows, the destination gets aligned ones.
  if (!AllocPadded(&src_, inFormat, width, height, 1) || !AllocPadded(&dst_, outFormat, width, height, 32)) {
    Close();
    return E_OUTOFMEMORY;
  }
  height_ = height;
  return S_OK;
}

void CFrameScaler::Convert(const FramePlanes& in, FramePlanes* out, bool flip) {
  if (sws_ == nullptr) return;
  for (int i = 0; i < 3; ++i) {
    if (src_.plane[i] == nullptr || in.pointer[i] == nullptr) continue;
    const int bytes = std::min(src_.pitch[i], in.pitch[i]);
    const int rows = std::min(src_.rows[i], in.rows[i]);
    for (int r = 0; r < rows; ++r)
      std::memcpy(src_.plane[i] + size_t(r) * size_t(src_.pitch[i]), in.pointer[i] + size_t(r) * size_t(in.pitch[i]),
                  size_t(bytes));
  }
  sws_scale(sws_, src_.plane, src_.pitch, 0, height_, dst_.plane, dst_.pitch);
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
}
