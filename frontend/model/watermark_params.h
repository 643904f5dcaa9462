// The settings of the picture overlay filter "VWATERMARK" as the watermark
// dialog edits them: the record, its parameter text (14 keys in a fixed order)
// and its 320-byte settings file ("*.wam", little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct WatermarkParams {
  std::string fileName;        // FILENAME: the picture (a still image or an animated GIF)
  uint8_t padding[4] = {};     // bytes 260..263 of the file, carried as they were read
  double alpha = 1.0;          // ALPHA: opacity 0..1
  int32_t fadeIn = 0;          // FADEIN, ms (0 = none)
  int32_t fadeOut = 0;         // FADEOUT, ms (0 = none)
  int32_t useStart = 0;        // BSTART
  int32_t startTime = 0;       // STARTTIME, seconds
  int32_t useEnd = 0;          // BEND
  int32_t endTime = 0;         // ENDTIME, seconds
  int32_t useTransparent = 0;  // BTRANS
  uint32_t transColour = 0;    // TRANSCOLOR, 0x00BBGGRR
  int32_t posX = 0;            // POSX: the custom position
  int32_t posY = 0;            // POSY
  int32_t align = 9;           // ALIGN: keypad 1..9, 0 = the custom position
  int32_t custom = 0;          // CUSTOM: carried, never shown
};

// The file's size and the bytes its picture path may hold (the field is 260
// with its NUL).
constexpr size_t kWatermarkFileSize = 320;
constexpr size_t kWatermarkFileNameMax = 259;

// Every key of the text, each absent (or mistyped) one at its default.
WatermarkParams LoadWatermarkParams(std::string_view text);
// The 14 keys in the dialog's order: FILENAME (text), ALPHA (double), then
// integers.
std::string WatermarkParamText(const WatermarkParams& params);

// The 320 bytes of a settings file. A picture path longer than its field is
// cut (callers refuse such paths before saving).
std::string EncodeWatermarkFile(const WatermarkParams& params);
// Reads the record from the first 320 bytes; false, params untouched, when
// fewer are given. The path field is read up to its first NUL and never past
// its 259th byte.
bool DecodeWatermarkFile(std::string_view bytes, WatermarkParams& params);

// A settings file from disk: false, params untouched, when it cannot be read
// or holds fewer than 320 bytes.
bool ReadWatermarkFile(const std::string& path, WatermarkParams& params);
// Writes the file whole (beside it, then renamed over it) or not at all.
bool WriteWatermarkFile(const std::string& path, const WatermarkParams& params);
