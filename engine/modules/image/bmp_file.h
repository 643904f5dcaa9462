// BMP files of 32-bit frames: the 14-byte file header, the frame's own 40-byte
// BITMAPINFOHEADER unchanged (a negative height stays negative) and the
// frame's bytes with the fourth byte of every pixel set to 255.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/media_types.h"

constexpr size_t kBmpHeaderBytes = 54;
// Largest pixel area written (an 8K frame is 132,710,400 bytes).
constexpr int64_t kMaxBmpPixelBytes = int64_t{256} * 1024 * 1024;

// Pixel bytes of a frame, biBitCount x |biHeight| x biWidth / 8; -1 for a
// header that is not 32 bits, has no pixels, or exceeds kMaxBmpPixelBytes.
int64_t BmpPixelBytes(const BITMAPINFOHEADER& header);

// File header and info header (little-endian) of a file with pixelBytes of pixels.
std::array<uint8_t, kBmpHeaderBytes> BmpHeaders(const BITMAPINFOHEADER& header, uint32_t pixelBytes);

// Sets the fourth byte of each whole 4-byte pixel to 255.
void SetOpaque(uint8_t* pixels, size_t length);

// Writes the headers and the pixels under a temporary name beside path and
// renames it onto path once complete. False when anything failed: nothing is
// left behind and *reason says what went wrong.
bool WriteBmpFile(const std::string& path, const BITMAPINFOHEADER& header, const uint8_t* pixels, size_t length,
                  std::string* reason);
