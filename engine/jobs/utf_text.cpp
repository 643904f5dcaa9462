#include "engine/jobs/utf_text.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kReplacement = 0xFFFD;

// Bytes of the UTF-8 sequence that starts with lead (0 for a byte that cannot start one).
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Decodes the character at text[i], advancing i; malformed input gives U+FFFD.
uint32_t DecodeUtf8(const std::string& text, size_t& i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  const size_t n = SequenceLength(lead);
  if (n == 0 || i + n > text.size()) {
    ++i;
    return kReplacement;
  }
  uint32_t c = n == 1 ? lead : lead & (0xFF >> (n + 1));
  for (size_t k = 1; k < n; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return kReplacement;
    }
    c = c << 6 | (b & 0x3F);
  }
  const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  i += n;
  if (c < minimum[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return kReplacement;
  return c;
}

}  // namespace

void Utf16ToBoundedUtf8(const char16_t* text, size_t length, char* out, size_t capacity) {
  if (capacity == 0) return;
  size_t used = 0;
  for (size_t i = 0; i < length; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    char bytes[4];
    size_t n;
    if (c < 0x80) {
      bytes[0] = static_cast<char>(c);
      n = 1;
    } else if (c < 0x800) {
      bytes[0] = static_cast<char>(0xC0 | (c >> 6));
      bytes[1] = static_cast<char>(0x80 | (c & 0x3F));
      n = 2;
    } else if (c < 0x10000) {
      bytes[0] = static_cast<char>(0xE0 | (c >> 12));
      bytes[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (c & 0x3F));
      n = 3;
    } else {
      bytes[0] = static_cast<char>(0xF0 | (c >> 18));
      bytes[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (c & 0x3F));
      n = 4;
    }
    if (used + n + 1 > capacity) break;
    std::memcpy(out + used, bytes, n);
    used += n;
  }
  out[used] = '\0';
}

void Utf8ToBoundedUtf16(const std::string& text, char16_t* out, size_t capacity) {
  if (capacity == 0) return;
  size_t used = 0;
  for (size_t i = 0; i < text.size();) {
    const uint32_t c = DecodeUtf8(text, i);
    if (c == 0) break;
    const size_t n = c >= 0x10000 ? 2 : 1;
    if (used + n + 1 > capacity) break;
    if (n == 2) {
      out[used++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out[used++] = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out[used++] = static_cast<char16_t>(c);
    }
  }
  out[used] = u'\0';
}

std::string Utf16FieldToUtf8(const char16_t* field, size_t capacity) {
  size_t length = 0;
  while (length < capacity && field[length]) ++length;
  std::vector<char> text(length * 3 + 1);
  Utf16ToBoundedUtf8(field, length, text.data(), text.size());
  return text.data();
}

void CopyUtf8Bounded(const std::string& text, char* out, size_t capacity) {
  if (capacity == 0) return;
  size_t used = 0;
  for (size_t i = 0; i < text.size() && text[i] != '\0';) {
    size_t n = SequenceLength(static_cast<unsigned char>(text[i]));
    if (n == 0 || i + n > text.size()) n = 1;  // a stray byte is copied as it is
    if (used + n + 1 > capacity) break;
    std::memcpy(out + used, text.data() + i, n);
    used += n;
    i += n;
  }
  out[used] = '\0';
}
