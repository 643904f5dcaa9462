#include "plugin-api/media_type_helpers.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "platform/task_allocator.h"

namespace {

constexpr ULONG kWaveHeaderSize = sizeof(WAVEFORMATEX);                           // 18
constexpr ULONG kVideoInfoSize = sizeof(VIDEOINFOHEADER);                         // 88
constexpr ULONG kVideoInfo2Size = sizeof(VIDEOINFOHEADER2);                       // 112
constexpr ULONG kMpeg1HeaderOffset = offsetof(MPEG1VIDEOINFO, bSequenceHeader);   // 96
constexpr ULONG kMpeg2HeaderOffset = offsetof(MPEG2VIDEOINFO, dwSequenceHeader);  // 132

constexpr int32_t kAudioSampleSize = 1152000;
constexpr int32_t kDefaultSampleSize = 1920 * 1080 * 4;

// Sample size of a video header: biSizeImage, else width x |height| x 4 + 64.
int32_t VideoSampleSize(const BITMAPINFOHEADER& bmi) {
  int64_t size;
  if (bmi.biSizeImage != 0) {
    size = bmi.biSizeImage;
  } else {
    const int64_t height = bmi.biHeight < 0 ? -int64_t{bmi.biHeight} : int64_t{bmi.biHeight};
    size = int64_t{bmi.biWidth} * height * 4 + 64;
  }
  if (size <= 0) return kDefaultSampleSize;
  return size > INT32_MAX ? INT32_MAX : static_cast<int32_t>(size);
}

}  // namespace

void InitMediaType(AM_MEDIA_TYPE* mt) {
  if (mt != nullptr) std::memset(mt, 0, sizeof(*mt));
}

void ClearMediaTypeFormat(AM_MEDIA_TYPE* mt) {
  if (mt == nullptr || mt->cbFormat == 0) return;
  CoTaskMemFree(mt->pbFormat);
  mt->cbFormat = 0;
  mt->pbFormat = nullptr;
}

void DeleteOwnMediaType(AM_MEDIA_TYPE* mt) {
  if (mt == nullptr) return;
  ClearMediaTypeFormat(mt);
  CoTaskMemFree(mt);
}

bool CopyMediaTypeDeep(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (dst == nullptr || src == nullptr) return false;
  if (dst == src) return true;
  // The copy is made before dst's block is freed: dst may be a shallow copy
  // of src sharing its block.
  BYTE* block = nullptr;
  const bool hasBlock = src->cbFormat != 0 && src->pbFormat != nullptr;
  if (hasBlock) {
    block = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (block != nullptr) std::memcpy(block, src->pbFormat, src->cbFormat);
  }
  if (dst->pbFormat != src->pbFormat) ClearMediaTypeFormat(dst);
  *dst = *src;
  dst->cbFormat = block != nullptr ? src->cbFormat : 0;
  dst->pbFormat = block;
  return !(hasBlock && block == nullptr);
}

bool ResizeMediaTypeFormat(AM_MEDIA_TYPE* mt, ULONG size) {
  if (mt == nullptr) return false;
  if (size == 0) {
    ClearMediaTypeFormat(mt);
    return true;
  }
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
  if (block == nullptr) {
    ClearMediaTypeFormat(mt);
    return false;
  }
  const ULONG keep = (mt->pbFormat == nullptr) ? 0 : (mt->cbFormat < size ? mt->cbFormat : size);
  if (keep != 0) std::memcpy(block, mt->pbFormat, keep);
  std::memset(block + keep, 0, size - keep);
  ClearMediaTypeFormat(mt);
  mt->cbFormat = size;
  mt->pbFormat = block;
  return true;
}

bool AllocMediaTypeFormat(AM_MEDIA_TYPE* mt, ULONG size) {
  if (mt == nullptr) return false;
  ClearMediaTypeFormat(mt);
  if (size == 0) return true;
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
  if (block == nullptr) return false;
  mt->cbFormat = size;
  mt->pbFormat = block;
  return true;
}

AM_MEDIA_TYPE* CloneMediaType(const AM_MEDIA_TYPE* src) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (mt == nullptr) return nullptr;
  InitMediaType(mt);
  if (src != nullptr && !CopyMediaTypeDeep(mt, src)) {
    DeleteOwnMediaType(mt);
    return nullptr;
  }
  return mt;
}

BYTE* GetMediaTypeFormat(const AM_MEDIA_TYPE* mt) { return mt != nullptr ? mt->pbFormat : nullptr; }

bool GetVideoInfoBitmapHeader(const AM_MEDIA_TYPE* mt, BITMAPINFOHEADER* header) {
  if (mt == nullptr || mt->pbFormat == nullptr) return false;
  size_t at;
  if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER))
    at = offsetof(VIDEOINFOHEADER, bmiHeader);
  else if (mt->formattype == FORMAT_VideoInfo2 && mt->cbFormat >= sizeof(VIDEOINFOHEADER2))
    at = offsetof(VIDEOINFOHEADER2, bmiHeader);
  else
    return false;
  std::memcpy(header, mt->pbFormat + at, sizeof *header);
  return true;
}

int32_t BuildMediaTypeFromFormat(AM_MEDIA_TYPE* mt, const BYTE* data, int32_t length) {
  if (mt == nullptr || data == nullptr || length <= 0) return 0;
  const auto len = static_cast<ULONG>(length);
  if (mt->majortype == MEDIATYPE_Audio && mt->formattype == FORMAT_WaveFormatEx) {
    if (len > 0xFFFF) return 0;  // cbSize is 16 bits wide
    if (!ResizeMediaTypeFormat(mt, len + kWaveHeaderSize)) return 0;
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(mt->pbFormat);
    wfx->cbSize = static_cast<WORD>(len);
    std::memcpy(mt->pbFormat + kWaveHeaderSize, data, len);
    return length;
  }
  if (mt->majortype == MEDIATYPE_Video && mt->formattype == FORMAT_VideoInfo) {
    if (!ResizeMediaTypeFormat(mt, len + kVideoInfoSize)) return 0;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
    vih->bmiHeader.biSize = len + sizeof(BITMAPINFOHEADER);
    std::memcpy(mt->pbFormat + kVideoInfoSize, data, len);
    return length;
  }
  return 0;
}

void GetMediaTypeFormatBytes(const AM_MEDIA_TYPE* mt, BYTE** out, int32_t* length) {
  if (out != nullptr) *out = nullptr;
  if (length != nullptr) *length = 0;
  if (mt == nullptr || out == nullptr || mt->pbFormat == nullptr) return;
  const ULONG size = mt->cbFormat;
  const BYTE* block = mt->pbFormat;
  uint64_t offset = 0;
  uint64_t count = 0;
  if (mt->majortype == MEDIATYPE_Audio && mt->formattype == FORMAT_WaveFormatEx) {
    if (size < kWaveHeaderSize) return;
    WORD cb;
    std::memcpy(&cb, block + offsetof(WAVEFORMATEX, cbSize), sizeof(cb));
    offset = kWaveHeaderSize;
    count = cb;
  } else if (mt->majortype == MEDIATYPE_Video && mt->formattype == FORMAT_VideoInfo) {
    if (size <= kVideoInfoSize) return;
    offset = kVideoInfoSize;
    count = size - kVideoInfoSize;
  } else if (mt->majortype == MEDIATYPE_Video && mt->formattype == FORMAT_VideoInfo2) {
    if (size <= kVideoInfo2Size) return;
    offset = kVideoInfo2Size;
    count = size - kVideoInfo2Size;
  } else if (mt->majortype == MEDIATYPE_Video && mt->formattype == FORMAT_MPEG2Video) {
    if (size < kMpeg2HeaderOffset) return;
    DWORD cb;
    std::memcpy(&cb, block + offsetof(MPEG2VIDEOINFO, cbSequenceHeader), sizeof(cb));
    offset = kMpeg2HeaderOffset;
    count = cb;
  } else if (mt->majortype == MEDIATYPE_Video && mt->formattype == FORMAT_MPEGVideo) {
    if (size < kMpeg1HeaderOffset) return;
    DWORD cb;
    std::memcpy(&cb, block + offsetof(MPEG1VIDEOINFO, cbSequenceHeader), sizeof(cb));
    offset = kMpeg1HeaderOffset;
    count = cb;
  }
  // A count that runs past the block is not trusted: no bytes.
  if (count == 0 || offset + count > size || count > INT32_MAX) return;
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(count));
  if (bytes == nullptr) return;
  std::memcpy(bytes, block + offset, count);
  *out = bytes;
  if (length != nullptr) *length = static_cast<int32_t>(count);
}

void CopyTextBounded(char* dst, int32_t capacity, const char* src) {
  if (dst == nullptr || capacity <= 0) return;
  size_t n = 0;
  if (src != nullptr) {
    while (n < static_cast<size_t>(capacity) - 1 && src[n] != 0) ++n;
    std::memmove(dst, src, n);
  }
  dst[n] = 0;
}

int64_t Abs64(int64_t value) {
  if (value == INT64_MIN) return INT64_MAX;
  return value < 0 ? -value : value;
}

MediaTypeHolder::MediaTypeHolder() : mt_(CloneMediaType(nullptr)) {}

MediaTypeHolder::~MediaTypeHolder() { DeleteOwnMediaType(mt_); }

void CMediaTypeArray::Clear() {
  for (AM_MEDIA_TYPE*& t : types) t = nullptr;
}

void CMediaTypeArray::FreeAll() {
  for (AM_MEDIA_TYPE*& t : types) {
    DeleteOwnMediaType(t);
    t = nullptr;
  }
}

HRESULT CMediaTypeArray::Set(int pin, BOOL set, const AM_MEDIA_TYPE* mt) {
  if (pin < 0 || pin >= kMaxPins) return E_INVALIDARG;
  AM_MEDIA_TYPE*& slot = types[pin];
  if (!set) {
    DeleteOwnMediaType(slot);
    slot = nullptr;
    return S_OK;
  }
  if (mt == nullptr) return E_POINTER;
  if (slot != nullptr) return CopyMediaTypeDeep(slot, mt) ? S_OK : E_OUTOFMEMORY;
  slot = CloneMediaType(mt);
  return slot != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaTypeArray::Get(int pin, AM_MEDIA_TYPE* mt) const {
  if (pin < 0 || pin >= kMaxPins || types[pin] == nullptr) return E_FAIL;
  if (mt == nullptr) return E_POINTER;
  return CopyMediaTypeDeep(mt, types[pin]) ? S_OK : E_OUTOFMEMORY;
}

int32_t CMediaTypeArray::GetSampleSize(int pin) const {
  if (pin < 0 || pin >= kMaxPins || types[pin] == nullptr) return 0;
  const AM_MEDIA_TYPE* mt = types[pin];
  const GUID& ft = mt->formattype;
  if (ft == FORMAT_WaveFormatEx) return kAudioSampleSize;
  if (mt->pbFormat != nullptr) {
    BITMAPINFOHEADER bmi;
    if ((ft == FORMAT_VideoInfo || ft == FORMAT_MPEGVideo) && mt->cbFormat >= kVideoInfoSize) {
      std::memcpy(&bmi, mt->pbFormat + offsetof(VIDEOINFOHEADER, bmiHeader), sizeof(bmi));
      return VideoSampleSize(bmi);
    }
    if ((ft == FORMAT_VideoInfo2 || ft == FORMAT_MPEG2Video) && mt->cbFormat >= kVideoInfo2Size) {
      std::memcpy(&bmi, mt->pbFormat + offsetof(VIDEOINFOHEADER2, bmiHeader), sizeof(bmi));
      return VideoSampleSize(bmi);
    }
  }
  return kDefaultSampleSize;
}
