#include "engine/modules/ffmpeg/ffm_picture_scaler.h"

#include <cstring>

extern "C" {
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr size_t kPadding = 64;
constexpr int32_t kMaxSide = 16384;

int AlignedPitch(int bytes) { return (bytes + 31) / 32 * 32; }

}  // namespace

CPictureScaler::~CPictureScaler() { Close(); }

void CPictureScaler::Close() {
  sws_freeContext(sws_);
  sws_ = nullptr;
  av_free(source_);
  av_free(scaled_);
  source_ = scaled_ = nullptr;
}

bool CPictureScaler::Open(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height) {
  Close();
  if (sourceWidth <= 0 || sourceHeight <= 0 || width <= 0 || height <= 0 || sourceWidth > kMaxSide ||
      sourceHeight > kMaxSide || width > kMaxSide || height > kMaxSide)
    return false;
  sws_ = sws_getContext(sourceWidth, sourceHeight, AV_PIX_FMT_BGR24, width, height, AV_PIX_FMT_BGRA, SWS_BILINEAR,
                        nullptr, nullptr, nullptr);
  sourcePitch_ = AlignedPitch(sourceWidth * 3);
  scaledPitch_ = AlignedPitch(width * 4);
  source_ = static_cast<uint8_t*>(av_mallocz(size_t(sourcePitch_) * size_t(sourceHeight) + kPadding));
  scaled_ = static_cast<uint8_t*>(av_mallocz(size_t(scaledPitch_) * size_t(height) + kPadding));
  if (!sws_ || !source_ || !scaled_) {
    Close();
    return false;
  }
  sourceWidth_ = sourceWidth;
  sourceHeight_ = sourceHeight;
  width_ = width;
  height_ = height;
  return true;
}

void CPictureScaler::Scale(const uint8_t* source, size_t pitch, bool bottomUp, uint8_t* out, size_t outPitch) {
  if (!sws_ || !source || !out) return;
  const size_t row = size_t(sourceWidth_) * 3;
  for (int32_t r = 0; r < sourceHeight_; ++r) {
    const int32_t from = bottomUp ? sourceHeight_ - 1 - r : r;
    std::memcpy(source_ + size_t(r) * size_t(sourcePitch_), source + size_t(from) * pitch, row);
  }
  const uint8_t* const in[4] = {source_, nullptr, nullptr, nullptr};
  const int inPitch[4] = {sourcePitch_, 0, 0, 0};
  uint8_t* const dst[4] = {scaled_, nullptr, nullptr, nullptr};
  const int dstPitch[4] = {scaledPitch_, 0, 0, 0};
  sws_scale(sws_, in, inPitch, 0, sourceHeight_, dst, dstPitch);
  const size_t outRow = size_t(width_) * 4;
  for (int32_t r = 0; r < height_; ++r)
    std::memcpy(out + size_t(r) * outPitch, scaled_ + size_t(r) * size_t(scaledPitch_), outRow);
}
