// CWindowRenderer: draws the preview player's pictures into the window it was
// given. The window is the front end's; what the renderer draws goes into the
// window's preview surface (common/preview_surface.h), stretched to the
// drawing size. Without a surface (or one too small for the drawing) the
// pictures are dropped and the player goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/preview_surface.h"
#include "engine/modules/ffmpeg/ffm_picture_scaler.h"
#include "platform/media_types.h"

class CWindowRenderer {
 public:
  // How long a draw waits for the surface's lock before it drops the picture.
  static constexpr uint32_t kLockWaitMs = 20;

  // Prepares drawing pictures described by `source` (24-bit, rows bottom-up
  // for a positive height) at width x height (0: the source's size) into the
  // window's surface. false when nothing will be drawn.
  bool Begin(uint32_t window, int32_t width, int32_t height, const BITMAPINFOHEADER& source);
  // Draws one picture of the source's size stamped with its media time
  // (100-ns units); false when it was dropped.
  bool Draw(const uint8_t* data, size_t length, int64_t time);
  void End();

  bool Drawing() const { return drawing_; }
  uint32_t FramesDrawn() const { return drawn_; }

  // Bytes of one source picture (rows padded to 4 bytes); 0 for a header
  // that is not 24-bit or has no size.
  static size_t SourceBytes(const BITMAPINFOHEADER& source);

 private:
  CPreviewSurface surface_;
  CPictureScaler scaler_;
  std::vector<uint8_t> picture_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t sourceBytes_ = 0;
  size_t sourcePitch_ = 0;
  bool bottomUp_ = true;
  bool drawing_ = false;
  bool shortReported_ = false;
  uint32_t drawn_ = 0;
};
