#include "engine/modules/filters/frame_layout.h"

#include <cstring>

namespace {

// Bytes per pixel of the packed types; 0 for planar or unknown.
int32_t PackedBytesPerPixel(int32_t colourType) {
  switch (colourType) {
    case kColourRgb24:
      return 3;
    case kColourRgb32:
      return 4;
    case kColourYuy2:
    case kColourUyvy:
    case kColourRgb565:
    case kColourRgb555:
      return 2;
    case kColourRgb8:
      return 1;
    default:
      return 0;
  }
}

}  // namespace

bool ComputeFramePlanes(int32_t colourType, int32_t width, int32_t height, bool vBeforeU, FramePlanes* planes) {
  std::memset(planes, 0, sizeof(*planes));
  if (width < 1 || height < 1 || width > kMaxFrameDimension || height > kMaxFrameDimension) return false;
  if (colourType == kColourYuv420) {
    const int32_t cw = ChromaSize(width);
    const int32_t ch = ChromaSize(height);
    planes->planeCount = 3;
    planes->pitch[0] = width;
    planes->rows[0] = height;
    planes->pitch[1] = planes->pitch[2] = cw;
    planes->rows[1] = planes->rows[2] = ch;
    const int32_t luma = width * height;
    planes->offset[1] = vBeforeU ? luma + cw * ch : luma;
    planes->offset[2] = vBeforeU ? luma : luma + cw * ch;
    return true;
  }
  const int32_t bpp = PackedBytesPerPixel(colourType);
  if (bpp == 0) return false;
  planes->planeCount = 1;
  // Packed 4:2:2 stores whole pixel pairs: an odd width ends in a full pair.
  const bool pairs = colourType == kColourYuy2 || colourType == kColourUyvy;
  planes->pitch[0] = pairs ? ChromaSize(width) * 4 : width * bpp;
  planes->rows[0] = height;
  return true;
}

int32_t FramePlanesSize(const FramePlanes& planes) {
  int64_t total = 0;
  for (int i = 0; i < 3; ++i) total += int64_t{planes.pitch[i]} * planes.rows[i];
  return static_cast<int32_t>(total);
}

int32_t FrameSampleSize(int32_t colourType, int32_t width, int32_t height) {
  FramePlanes planes;
  if (!ComputeFramePlanes(colourType, width, height, false, &planes)) return 0;
  return FramePlanesSize(planes);
}

void SetPlanePointers(FramePlanes* planes, uint8_t* base) {
  for (int i = 0; i < 3; ++i)
    planes->pointer[i] = (base != nullptr && i < planes->planeCount) ? base + planes->offset[i] : nullptr;
}

bool IsYuvColourType(int32_t colourType) {
  return colourType == kColourYuv420 || colourType == kColourYuy2 || colourType == kColourUyvy;
}
