#include "platform/utf_text.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf16FieldToUtf8(const char16_t* field, size_t width) {
  if (!field) return {};
  size_t n = 0;
  while (n < width && field[n] != 0) ++n;
  return Utf16ToUtf8(std::u16string_view(field, n));
}

std::u16string Utf8ToUtf16(std::string_view text, bool* valid) {
  std::u16string out;
  out.reserve(text.size());
  bool clean = true;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = SequenceLength(lead);
    char32_t c = 0;
    size_t used = 1;
    bool ok = length != 0;
    if (ok) {
      c = length == 1 ? lead : lead & (0xFF >> (length + 1));
      for (size_t k = 1; k < length; ++k) {
        if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
          ok = false;
          break;
        }
        c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        used = k + 1;
      }
      // Overlong forms, UTF-8 surrogates and values beyond U+10FFFF.
      if (ok && ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                 (c >= 0xD800 && c <= 0xDFFF)))
        ok = false;
      if (ok) used = length;
    }
    if (!ok) {
      c = kReplacement;
      clean = false;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i += used;
  }
  if (valid) *valid = clean;
  return out;
}

std::string_view CutUtf8(std::string_view text, size_t bytes) {
  if (text.size() <= bytes) return text;
  // Back off continuation bytes so the cut falls before a character.
  size_t end = bytes;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end);
}

void CopyUtf8Bounded(std::string_view text, char* out, size_t capacity) {
  if (capacity == 0 || !out) return;
  const std::string_view head = CutUtf8(text, capacity - 1);
  std::memcpy(out, head.data(), head.size());
  out[head.size()] = '\0';
}

void Utf16ToBoundedUtf8(const char16_t* text, size_t length, char* out, size_t capacity) {
  CopyUtf8Bounded(text ? Utf16ToUtf8(std::u16string_view(text, length)) : std::string(), out, capacity);
}

void Utf8ToBoundedUtf16(std::string_view text, char16_t* out, size_t capacity) {
  if (capacity == 0 || !out) return;
  const std::u16string wide = Utf8ToUtf16(text);
  size_t n = wide.size() < capacity - 1 ? wide.size() : capacity - 1;
  if (n < wide.size() && n > 0 && IsHighSurrogate(wide[n - 1])) --n;
  std::memcpy(out, wide.data(), n * sizeof(char16_t));
  out[n] = u'\0';
}
