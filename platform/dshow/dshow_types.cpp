#include "platform/dshow/dshow_types.h"

#include <cstring>

#include "platform/task_allocator.h"
#include "platform/utf_text.h"

bool DsCopyMediaType(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src) return false;
  *dst = *src;
  dst->pUnk = nullptr;
  dst->pbFormat = nullptr;
  dst->cbFormat = 0;
  if (src->cbFormat == 0 || !src->pbFormat) return true;
  dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
  if (!dst->pbFormat) return false;
  std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  dst->cbFormat = src->cbFormat;
  return true;
}

void DsFreeMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  CoTaskMemFree(mt->pbFormat);
  mt->pbFormat = nullptr;
  mt->cbFormat = 0;
}

AM_MEDIA_TYPE* DsCreateMediaType(const AM_MEDIA_TYPE* src) {
  auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!mt) return nullptr;
  std::memset(mt, 0, sizeof(*mt));
  if (src && !DsCopyMediaType(mt, src)) {
    CoTaskMemFree(mt);
    return nullptr;
  }
  return mt;
}

void DsDeleteMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return;
  DsFreeMediaType(mt);
  CoTaskMemFree(mt);
}

bool DsEqualMediaType(const AM_MEDIA_TYPE* a, const AM_MEDIA_TYPE* b) {
  if (!a || !b) return false;
  if (a->majortype != b->majortype || a->subtype != b->subtype || a->formattype != b->formattype) return false;
  if (a->cbFormat != b->cbFormat) return false;
  return a->cbFormat == 0 || std::memcmp(a->pbFormat, b->pbFormat, a->cbFormat) == 0;
}

bool DsMatchesPartialType(const AM_MEDIA_TYPE* type, const GUID& major, const GUID& subtype) {
  if (!type) return false;
  if (major != GUID_NULL && type->majortype != major) return false;
  return subtype == GUID_NULL || type->subtype == subtype;
}

size_t DsLength(const WCHAR* text) {
  size_t n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

void DsCopyName(WCHAR* dst, size_t capacity, const WCHAR* src) {
  if (!dst || capacity == 0) return;
  size_t n = 0;
  if (src)
    for (; src[n] && n + 1 < capacity; ++n) dst[n] = src[n];
  dst[n] = 0;
}

WCHAR* DsTaskString(const WCHAR* src) {
  const size_t n = DsLength(src);
  auto* out = static_cast<WCHAR*>(CoTaskMemAlloc((n + 1) * sizeof(WCHAR)));
  if (!out) return nullptr;
  if (n) std::memcpy(out, src, n * sizeof(WCHAR));
  out[n] = 0;
  return out;
}

std::u16string DsWide(const char* utf8) { return utf8 ? Utf8ToUtf16(utf8) : std::u16string(); }

std::string DsNarrow(const WCHAR* text) { return text ? Utf16ToUtf8(text) : std::string(); }

bool DsEqualNoCase(const WCHAR* a, const WCHAR* b) {
  if (!a || !b) return a == b;
  for (;; ++a, ++b) {
    WCHAR x = *a, y = *b;
    if (x >= u'a' && x <= u'z') x = static_cast<WCHAR>(x - u'a' + u'A');
    if (y >= u'a' && y <= u'z') y = static_cast<WCHAR>(y - u'a' + u'A');
    if (x != y) return false;
    if (x == 0) return true;
  }
}
