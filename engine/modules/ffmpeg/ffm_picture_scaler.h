// Resizing of packed 24-bit B, G, R pictures (rows bottom-up or top-down)
// into 32-bit B, G, R, X pictures, rows top-down, with libswscale: the window
// renderer's stretch. Results: bool, true when done.
#pragma once

#include <cstddef>
#include <cstdint>

struct SwsContext;

class CPictureScaler {
 public:
  CPictureScaler() = default;
  ~CPictureScaler();
  CPictureScaler(const CPictureScaler&) = delete;
  CPictureScaler& operator=(const CPictureScaler&) = delete;

  // Prepares the scaling of sourceWidth x sourceHeight pictures to width x height.
  bool Open(int32_t sourceWidth, int32_t sourceHeight, int32_t width, int32_t height);
  void Close();
  bool IsOpen() const { return sws_ != nullptr; }

  // Scales one picture of sourceHeight rows, `pitch` bytes apart (at least
  // sourceWidth * 3), into out: height rows of width * 4 bytes, `outPitch`
  // bytes apart, top row first.
  void Scale(const uint8_t* source, size_t pitch, bool bottomUp, uint8_t* out, size_t outPitch);

 private:
  SwsContext* sws_ = nullptr;
  int32_t sourceWidth_ = 0;
  int32_t sourceHeight_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  // libswscale reads past the end of source rows and writes past the end of
  // destination rows: it works between these padded copies.
  uint8_t* source_ = nullptr;
  int sourcePitch_ = 0;
  uint8_t* scaled_ = nullptr;
  int scaledPitch_ = 0;
};
