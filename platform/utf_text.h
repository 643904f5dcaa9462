// Conversions between UTF-16 (char16_t) and UTF-8 texts. Anything that is not
// well formed (a lone surrogate, an overlong or truncated UTF-8 sequence, a
// value beyond U+10FFFF or a UTF-8 surrogate) becomes U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-16 to UTF-8. The text ends at its first NUL unit.
std::string Utf16ToUtf8(std::u16string_view text);
// A fixed UTF-16 field of `width` units, NUL-terminated or full.
std::string Utf16FieldToUtf8(const char16_t* field, size_t width);

// UTF-8 to UTF-16. valid (when given) is false when anything was replaced.
std::u16string Utf8ToUtf16(std::string_view text, bool* valid = nullptr);

// The longest head of text within bytes that does not end inside a character.
std::string_view CutUtf8(std::string_view text, size_t bytes);

// Copies text into out (capacity bytes, NUL included), cut on a character
// boundary when it does not fit. Nothing happens when capacity is 0.
void CopyUtf8Bounded(std::string_view text, char* out, size_t capacity);

// UTF-16 text of `length` units (or up to its first NUL) as UTF-8 in a field
// of capacity bytes, terminated and cut on a character boundary.
void Utf16ToBoundedUtf8(const char16_t* text, size_t length, char* out, size_t capacity);

// UTF-8 text as UTF-16 in a field of capacity units with the terminator; a
// surrogate pair is kept whole or left out.
void Utf8ToBoundedUtf16(std::string_view text, char16_t* out, size_t capacity);
