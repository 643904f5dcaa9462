// Pictures read from files with FFmpeg's image decoders (PNG, JPEG, BMP and
// GIF with its frames and delays), for the overlay pictures of the filters.
// Results: S_OK, or a failure code with a reason for the log line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/win_types.h"

// One decoded picture: rows top-down, four bytes per pixel R, G, B, A (A is
// 255 where the file has no alpha). A GIF's transparent pixels have A = 0.
struct DecodedPicture {
  int32_t width = 0;
  int32_t height = 0;
  int32_t delay = 0;  // frame delay in 1/100 s as the file gives it; 0 when none
  std::vector<uint8_t> rgba;
};

// Largest picture side, and the most bytes all frames of one file may take.
constexpr int32_t kMaxPictureDimension = 16384;
constexpr int64_t kMaxPictureBytes = int64_t{128} << 20;

// Reads the file's pictures: every frame of an animated GIF (composed as the
// GIF shows them), the first picture of any other file. Only regular files,
// only the image formats above. E_FAIL with a reason for a file that is
// missing, not a picture, corrupt or past the limits; E_OUTOFMEMORY.
HRESULT LoadPictureFrames(const char* path, std::vector<DecodedPicture>* frames, std::string* reason);

// The picture's Y, U and V planes at full size (4:4:4, ITU-R BT.601 studio
// range, as decoded video holds them), width x height bytes each, top-down.
HRESULT SplitPictureYuv(const DecodedPicture& picture, std::vector<uint8_t>* y, std::vector<uint8_t>* u,
                        std::vector<uint8_t>* v);
