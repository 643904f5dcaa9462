// Creating, copying and freeing media types in task-allocator memory, codec
// configuration bytes in format blocks, one media type per pin, and (from
// common/frame_rate.h) snapping frame durations and rates to the standard rates.
//
// Platform types and the frame-rate table only: plug-ins compile it into their SDK.
// Results: bool for "done"; HRESULT functions answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "common/frame_rate.h"
#include "platform/media_types.h"
#include "platform/win_types.h"

// Zeroes every field (frees nothing).
void InitMediaType(AM_MEDIA_TYPE* mt);
// Frees the format block when the format size is nonzero; size and pointer become 0.
void ClearMediaTypeFormat(AM_MEDIA_TYPE* mt);
// Frees the format block and the media type itself (task memory); null does nothing.
void DeleteOwnMediaType(AM_MEDIA_TYPE* mt);
// Frees dst's block, copies every field, then gives dst its own copy of src's
// block. false when the copy cannot be allocated (dst has no block).
bool CopyMediaTypeDeep(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src);
// New block of the size keeping min(old, new) bytes (the rest zeroed).
// false on failure, with the old block freed and the size 0.
bool ResizeMediaTypeFormat(AM_MEDIA_TYPE* mt, ULONG size);
// Frees the old block and allocates an uninitialised one; false (size 0) when that fails.
bool AllocMediaTypeFormat(AM_MEDIA_TYPE* mt, ULONG size);
// A new zeroed media type in task memory, deep-copied from src when given;
// null when an allocation fails.
AM_MEDIA_TYPE* CloneMediaType(const AM_MEDIA_TYPE* src);
BYTE* GetMediaTypeFormat(const AM_MEDIA_TYPE* mt);
// The bitmap header of a FORMAT_VideoInfo or FORMAT_VideoInfo2 type whose
// format block holds the whole header; false for any other.
bool GetVideoInfoBitmapHeader(const AM_MEDIA_TYPE* mt, BITMAPINFOHEADER* header);
// Places codec configuration bytes after the audio or video header of the
// format block; returns the bytes placed, 0 when nothing was done.
int32_t BuildMediaTypeFromFormat(AM_MEDIA_TYPE* mt, const BYTE* data, int32_t length);
// The codec configuration bytes of the format block in a new buffer that the
// caller frees with CoTaskMemFree; *out null and *length 0 when there are none.
void GetMediaTypeFormatBytes(const AM_MEDIA_TYPE* mt, BYTE** out, int32_t* length);

// Copies at most capacity - 1 characters and always terminates; a capacity
// of 0 or less writes nothing.
void CopyTextBounded(char* dst, int32_t capacity, const char* src);
// Absolute value; INT64_MIN gives INT64_MAX.
int64_t Abs64(int64_t value);

// Owns one media type, created empty.
class MediaTypeHolder {
 public:
  MediaTypeHolder();
  ~MediaTypeHolder();
  MediaTypeHolder(const MediaTypeHolder&) = delete;
  MediaTypeHolder& operator=(const MediaTypeHolder&) = delete;

  AM_MEDIA_TYPE* Get() const { return mt_; }  // null only when allocation failed

 private:
  AM_MEDIA_TYPE* mt_;
};

// One owned media type (or none) per pin index.
class CMediaTypeArray {
 public:
  static constexpr int kMaxPins = 20;

  CMediaTypeArray() { Clear(); }
  ~CMediaTypeArray() { FreeAll(); }
  CMediaTypeArray(const CMediaTypeArray&) = delete;
  CMediaTypeArray& operator=(const CMediaTypeArray&) = delete;

  // Forgets every slot without freeing.
  void Clear();
  // Frees every held media type.
  void FreeAll();
  // set: deep-copies mt into the slot; clear: frees the slot. S_OK, E_INVALIDARG, E_POINTER or E_OUTOFMEMORY.
  HRESULT Set(int pin, BOOL set, const AM_MEDIA_TYPE* mt);
  // Deep-copies the slot's type into *mt; E_FAIL when the slot is empty.
  HRESULT Get(int pin, AM_MEDIA_TYPE* mt) const;
  // Buffer size a sample of the slot's type needs; 0 for an empty slot.
  int32_t GetSampleSize(int pin) const;

  AM_MEDIA_TYPE* types[kMaxPins];
};
