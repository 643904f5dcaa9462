// The rules of the crop, resize and pad settings of the "VRESIZE" filter: how
// typed or stepped bands, pads and picture sizes settle on a FrameGeometry,
// the filter's twelve-key parameter text, the solid placeholder frame and the
// frame-render job of the preview.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/job_records.h"
#include "frontend/model/scale_layout.h"

class CTask;

// Derived sizes: the picture inside the output frame (output less pads) and
// the part of the source it shows (source less bands).
int32_t PictureWidth(const FrameGeometry& g);
int32_t PictureHeight(const FrameGeometry& g);
int32_t CroppedWidth(const FrameGeometry& g);
int32_t CroppedHeight(const FrameGeometry& g);

enum class FrameSide { kLeft, kRight, kTop, kBottom };

// The band or pad of a side, read or set as it stands (no rule applied).
int32_t& BandOf(ScaleLayout& layout, FrameSide side);
int32_t& PadOf(ScaleLayout& layout, FrameSide side);

// Which values a rule changed: across (left and right pads, picture width)
// and down (top and bottom pads, picture height).
enum PadAxes : int {
  kAxesNone = 0,
  kAxisAcross = 1,
  kAxisDown = 2,
  kAxesBoth = 3,
};

// A crop band set to value: below 0 gives 0; a band that would leave less than
// 2 source pixels beside the opposite band is cut back to leave 2; with even
// set an odd value is lowered by one. Never negative, even when the opposite
// band alone leaves no room. Stores and returns the settled value.
int32_t SetCropBand(FrameGeometry& g, FrameSide side, int32_t value, bool even);

// A pad set to value: at least 0, leaving at least 2 output pixels beside the
// opposite pad, made even. With keepRatio the other axis follows so that the
// cropped source keeps its shape in the picture; when the picture would then
// be wider (or taller) than the frame it fills the frame that way and this
// pad gives way. Keep-ratio needs a cropped source of at least one pixel each
// way; without one only this axis changes. Returns the axes changed.
int SetPad(FrameGeometry& g, FrameSide side, int32_t value, bool keepRatio);
// The picture width set to width: within 2..output width, made even; the
// pads across take up the rest (the left pad keeps its value while it can).
// With keepRatio the height follows, centred in the frame, and the width
// gives way when the height would not fit. Returns the axes changed.
int SetPictureWidth(FrameGeometry& g, int32_t width, bool keepRatio);
int SetPictureHeight(FrameGeometry& g, int32_t height, bool keepRatio);
// A pad slider released at position: the first pad of that axis (left or top)
// becomes min(position, pad sum) made even, the second pad the rest.
void SplitPads(FrameGeometry& g, bool across, int32_t position);

// Brings loaded values into the range the engine accepts: negative values
// become 0 (negative output sizes the source size), and bands (or pads)
// leaving less than 2 pixels are cut back, the second band of a pair first.
void FitGeometry(FrameGeometry& g);

// Reads a "VRESIZE" parameter text into the geometry (WIDTH, HEIGHT, the four
// bands, the four pads, CRPAD; missing keys 0) and the scale mode (SCALEMODE,
// default manual). A WIDTH or HEIGHT of 0 takes the source's. The source size
// and aspects are not touched; the values are fitted (FitGeometry).
void LoadVResizeText(std::string_view text, FrameGeometry& g, int32_t& scaleMode);
// The twelve integer keys in their order: WIDTH, HEIGHT, LEFTBAND, RIGHTBAND,
// TOPBAND, BOTTOMBAND, LEFTPAD, RIGHTPAD, TOPPAD, BOTTOMPAD, CRPAD, SCALEMODE.
std::string VResizeText(int32_t width, int32_t height, const ScaleLayout& layout, int32_t scaleMode);
inline std::string VResizeText(const FrameGeometry& g, int32_t scaleMode) {
  return VResizeText(g.outputWidth, g.outputHeight, g.layout, scaleMode);
}

// A 32-bit top-down BMP of width x height pixels of one COLORREF colour
// (0x00BBGGRR): 54 header bytes, then blue, green, red, 0 per pixel. Written
// whole (a temporary file renamed over the path) or not at all: false when
// the file cannot be written or the size is negative or too large for the
// format's 32-bit file size.
bool WriteSolidBitmap(const std::string& path, uint32_t colour, int32_t width, int32_t height);

// The option words a preview frame is rendered with.
struct PreviewFrameOptions {
  int32_t mode = 0;      // MODE: the source mode
  int32_t preframe = 0;  // PREFRAME: frames skipped after the start time
  int32_t presec = 0;    // PRESEC: start time in seconds
};

// The frame-render job of a task's preview: the task's job sources, the last
// source's first chosen video stream (path and track index), the option
// words and the output path. False with a message when a path does not fit
// the job's fields; a task without video gives an empty source path.
bool BuildPreviewJob(const CTask& task, const PreviewFrameOptions& options, const std::string& outputPath,
                     FrameJob& job, std::string* message = nullptr);
