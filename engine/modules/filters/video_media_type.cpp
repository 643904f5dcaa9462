#include "engine/modules/filters/video_media_type.h"

#include <cstring>

#include "engine/modules/filters/frame_layout.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/module_interfaces.h"

namespace {

struct SubtypeRow {
  const GUID* subtype;
  int32_t colourType;
  bool vBeforeU;
};

const SubtypeRow kSubtypes[] = {
    {&MEDIASUBTYPE_IYUV, kColourYuv420, false},   {&MEDIASUBTYPE_I420, kColourYuv420, false},
    {&MEDIASUBTYPE_YV12, kColourYuv420, true},    {&MEDIASUBTYPE_RGB24, kColourRgb24, false},
    {&MEDIASUBTYPE_RGB32, kColourRgb32, false},   {&MEDIASUBTYPE_ARGB32, kColourRgb32, false},
    {&MEDIASUBTYPE_YUY2, kColourYuy2, false},     {&MEDIASUBTYPE_YUYV, kColourYuy2, false},
    {&MEDIASUBTYPE_UYVY, kColourUyvy, false},     {&MEDIASUBTYPE_RGB565, kColourRgb565, false},
    {&MEDIASUBTYPE_RGB555, kColourRgb555, false}, {&MEDIASUBTYPE_RGB8, kColourRgb8, false},
};

// Subtype of a variant; null past the last one.
const GUID* VariantSubtype(int32_t colourType, int32_t variant) {
  static const GUID* const kYuv420[] = {&MEDIASUBTYPE_YV12, &MEDIASUBTYPE_I420, &MEDIASUBTYPE_IYUV};
  static const GUID* const kRgb32[] = {&MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_ARGB32};
  if (variant < 0) return nullptr;
  switch (colourType) {
    case kColourYuv420:
      return variant < 3 ? kYuv420[variant] : nullptr;
    case kColourRgb32:
      return variant < 2 ? kRgb32[variant] : nullptr;
    case kColourRgb24:
      return variant == 0 ? &MEDIASUBTYPE_RGB24 : nullptr;
    case kColourYuy2:
      return variant == 0 ? &MEDIASUBTYPE_YUY2 : nullptr;
    case kColourUyvy:
      return variant == 0 ? &MEDIASUBTYPE_UYVY : nullptr;
    case kColourRgb565:
      return variant == 0 ? &MEDIASUBTYPE_RGB565 : nullptr;
    case kColourRgb555:
      return variant == 0 ? &MEDIASUBTYPE_RGB555 : nullptr;
    case kColourRgb8:
      return variant == 0 ? &MEDIASUBTYPE_RGB8 : nullptr;
    default:
      return nullptr;
  }
}

void BitsAndCompression(int32_t colourType, const GUID& subtype, WORD* bits, DWORD* compression) {
  switch (colourType) {
    case kColourYuv420:
      *bits = 12;
      *compression = subtype.Data1;
      break;
    case kColourRgb24:
      *bits = 24;
      *compression = 0;
      break;
    case kColourRgb32:
      *bits = 32;
      *compression = 0;
      break;
    case kColourYuy2:
      *bits = 16;
      *compression = MakeFourcc('Y', 'U', 'Y', '2');
      break;
    case kColourUyvy:
      *bits = 16;
      *compression = MakeFourcc('U', 'Y', 'V', 'Y');
      break;
    case kColourRgb565:
    case kColourRgb555:
      *bits = 16;
      *compression = 3;
      break;
    default:
      *bits = 8;
      *compression = 0;
      break;
  }
}

}  // namespace

bool ParseVideoMediaType(const AM_MEDIA_TYPE* mt, FrameFormat* format, FramePlanes* planes) {
  const SubtypeRow* row = nullptr;
  for (const SubtypeRow& r : kSubtypes)
    if (mt->subtype == *r.subtype) row = &r;
  if (row == nullptr || mt->pbFormat == nullptr) return false;
  size_t headerOffset;
  if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
    headerOffset = offsetof(VIDEOINFOHEADER, bmiHeader);
  else if (mt->formattype == FORMAT_VideoInfo2 && mt->cbFormat >= sizeof(VIDEOINFOHEADER2))
    headerOffset = offsetof(VIDEOINFOHEADER2, bmiHeader);
  else
    return false;
  BITMAPINFOHEADER bih;
  std::memcpy(&bih, mt->pbFormat + headerOffset, sizeof(bih));
  REFERENCE_TIME avgTime;  // same place in both headers
  std::memcpy(&avgTime, mt->pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame), sizeof(avgTime));

  FramePlanes layout;
  if (!ComputeFramePlanes(row->colourType, bih.biWidth, bih.biHeight, row->vBeforeU, &layout)) return false;
  int32_t num = 0, den = 0;
  SnapFrameDuration(avgTime, &num, &den);
  *format = FrameFormat{bih.biWidth, bih.biHeight, row->colourType, {0, 0}, uint32_t(num), uint32_t(den)};
  *planes = layout;
  return true;
}

HRESULT BuildVideoMediaType(const FrameFormat* format, int32_t variant, AM_MEDIA_TYPE* mt) {
  if (VariantSubtype(format->colourType, 0) == nullptr) return E_INVALIDARG;
  const GUID* subtype = VariantSubtype(format->colourType, variant);
  if (subtype == nullptr) return MODULE_E_NO_TYPE;
  const int32_t size = FrameSampleSize(format->colourType, format->width, format->height);
  if (size == 0) return E_INVALIDARG;

  ClearMediaTypeFormat(mt);
  InitMediaType(mt);
  if (!AllocMediaTypeFormat(mt, sizeof(VIDEOINFOHEADER))) return E_OUTOFMEMORY;
  mt->majortype = MEDIATYPE_Video;
  mt->subtype = *subtype;
  mt->bFixedSizeSamples = 1;
  mt->bTemporalCompression = 0;
  mt->lSampleSize = ULONG(size);
  mt->formattype = FORMAT_VideoInfo;

  VIDEOINFOHEADER vih;
  std::memset(&vih, 0, sizeof(vih));
  const uint64_t num = format->durationNum, den = format->durationDen;
  if (num != 0 && den != 0) {
    vih.dwBitRate = DWORD(uint64_t(size) * 8 * den / num);
    vih.AvgTimePerFrame = REFERENCE_TIME(num * 10000000 / den);
  }
  vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih.bmiHeader.biWidth = format->width;
  vih.bmiHeader.biHeight = format->height;
  vih.bmiHeader.biPlanes = 1;
  BitsAndCompression(format->colourType, *subtype, &vih.bmiHeader.biBitCount, &vih.bmiHeader.biCompression);
  vih.bmiHeader.biSizeImage = DWORD(size);
  std::memcpy(mt->pbFormat, &vih, sizeof(vih));
  return 0;
}
