// Whole-frame conversion between the engine's colour types (kColour*) with
// libswscale, for the colour converter. Results: S_OK or a failure code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win_types.h"
#include "plugin-api/video_filter.h"

struct SwsContext;

// FFmpeg pixel format (an AVPixelFormat value) of a colour type; -1 (none) for an unknown type.
int32_t PixelFormatOfColourType(int32_t colourType);

class CFrameScaler {
 public:
  CFrameScaler() = default;
  ~CFrameScaler();
  CFrameScaler(const CFrameScaler&) = delete;
  CFrameScaler& operator=(const CFrameScaler&) = delete;

  // Prepares the conversion of width x height frames: E_FAIL for a colour type
  // without a pixel format or a conversion libswscale refuses, E_OUTOFMEMORY.
  HRESULT Open(int32_t inColourType, int32_t outColourType, int32_t width, int32_t height);
  void Close();
  bool IsOpen() const { return sws_ != nullptr; }

  // Converts in into out, both laid out as their colour types say (pitch, rows);
  // flip turns the frame upside down. Planes either side lacks are skipped.
  void Convert(const FramePlanes& in, FramePlanes* out, bool flip);

 private:
  // libswscale reads past the end of the last source row and writes past the
  // end of destination rows; it works between these padded frames instead.
  struct PaddedFrame {
    uint8_t* data = nullptr;
    size_t size = 0;
    uint8_t* plane[4] = {};
    int pitch[4] = {};
    int rows[4] = {};
  };
  static bool AllocPadded(PaddedFrame* frame, int32_t pixelFormat, int width, int height, int align);
  static void FreePadded(PaddedFrame* frame);

  SwsContext* sws_ = nullptr;
  int32_t height_ = 0;
  PaddedFrame src_;
  PaddedFrame dst_;
};
