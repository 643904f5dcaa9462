#include "engine/modules/player/window_renderer.h"

#include <cstdlib>

#include "platform/diagnostics.h"

size_t CWindowRenderer::SourceBytes(const BITMAPINFOHEADER& source) {
  if (source.biBitCount != 24 || source.biWidth <= 0 || source.biHeight == 0) return 0;
  const int64_t width = source.biWidth;
  const int64_t height = std::llabs(static_cast<int64_t>(source.biHeight));
  if (width > PreviewSurface::kMaxSide || height > PreviewSurface::kMaxSide) return 0;
  return static_cast<size_t>((width * 3 + 3) / 4 * 4 * height);
}

bool CWindowRenderer::Begin(uint32_t window, int32_t width, int32_t height, const BITMAPINFOHEADER& source) {
  End();
  sourceBytes_ = SourceBytes(source);
  if (sourceBytes_ == 0) {
    Diag(DiagLevel::kWarning, "renderer: pictures of %dx%d at %d bits cannot be drawn",
         static_cast<int>(source.biWidth), static_cast<int>(source.biHeight), static_cast<int>(source.biBitCount));
    return false;
  }
  const int32_t sourceHeight = static_cast<int32_t>(std::llabs(static_cast<int64_t>(source.biHeight)));
  width_ = width > 0 ? width : source.biWidth;
  height_ = height > 0 ? height : sourceHeight;
  sourcePitch_ = (static_cast<size_t>(source.biWidth) * 3 + 3) / 4 * 4;
  bottomUp_ = source.biHeight > 0;
  if (width_ > PreviewSurface::kMaxSide || height_ > PreviewSurface::kMaxSide) {
    Diag(DiagLevel::kWarning, "renderer: a drawing of %dx%d is too large", static_cast<int>(width_),
         static_cast<int>(height_));
    return false;
  }
  if (!surface_.Open(window)) {
    Diag(DiagLevel::kWarning, "renderer: window %08X has no preview surface, pictures are dropped",
         static_cast<unsigned>(window));
    return false;
  }
  const size_t pictureBytes = static_cast<size_t>(width_) * static_cast<size_t>(height_) * 4;
  if (pictureBytes > surface_.Capacity()) {
    Diag(DiagLevel::kWarning, "renderer: the preview surface of window %08X holds %zu bytes, a %dx%d drawing needs %zu",
         static_cast<unsigned>(window), surface_.Capacity(), static_cast<int>(width_), static_cast<int>(height_),
         pictureBytes);
    surface_.Close();
    return false;
  }
  if (!scaler_.Open(source.biWidth, sourceHeight, width_, height_)) {
    Diag(DiagLevel::kWarning, "renderer: cannot scale %dx%d pictures to %dx%d", static_cast<int>(source.biWidth),
         static_cast<int>(sourceHeight), static_cast<int>(width_), static_cast<int>(height_));
    surface_.Close();
    return false;
  }
  picture_.assign(pictureBytes, 0);
  drawing_ = true;
  return true;
}

bool CWindowRenderer::Draw(const uint8_t* data, size_t length, int64_t time) {
  if (!drawing_) return false;
  if (!data || length < sourceBytes_) {
    if (!shortReported_)
      Diag(DiagLevel::kWarning, "renderer: a picture of %zu bytes is shorter than %zu; it is not drawn", length,
           sourceBytes_);
    shortReported_ = true;
    return false;
  }
  const size_t pitch = static_cast<size_t>(width_) * 4;
  scaler_.Scale(data, sourcePitch_, bottomUp_, picture_.data(), pitch);
  if (!surface_.WriteFrame(width_, height_, picture_.data(), pitch, time, kLockWaitMs)) return false;
  ++drawn_;
  return true;
}

void CWindowRenderer::End() {
  drawing_ = false;
  shortReported_ = false;
  scaler_.Close();
  surface_.Close();
  picture_.clear();
  picture_.shrink_to_fit();
}
