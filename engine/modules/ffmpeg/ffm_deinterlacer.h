// Deinterlacing of planar 4:2:0 frames where they lie, with FFmpeg's
// post-processing library and its FFmpeg deinterlacer ("fd": every second
// line through a (-1 4 2 4 -1) / 8 vertical low-pass).
// Results: S_OK or a failure code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"
#include "plugin-api/video_filter.h"

class CFrameDeinterlacer {
 public:
  CFrameDeinterlacer() = default;
  ~CFrameDeinterlacer();
  CFrameDeinterlacer(const CFrameDeinterlacer&) = delete;
  CFrameDeinterlacer& operator=(const CFrameDeinterlacer&) = delete;

  // Prepares for width x height frames: E_INVALIDARG for a size below 1,
  // E_FAIL when the library refuses, E_OUTOFMEMORY.
  HRESULT Open(int32_t width, int32_t height);
  void Close();
  bool IsOpen() const { return context_ != nullptr; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  // Deinterlaces the three planes (Y, U, V; pitch x rows each) in place.
  void Deinterlace(FramePlanes* planes);

 private:
  // The library reads and writes whole blocks: it works between these padded copies.
  struct Padded {
    uint8_t* data = nullptr;
    uint8_t* plane[3] = {};
    int pitch[3] = {};
    int rows[3] = {};
  };
  bool Alloc(Padded* frame);

  void* context_ = nullptr;
  void* mode_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  Padded src_;
  Padded dst_;
};
