// Conversions between the UTF-16 texts of the job records and UTF-8, into
// fixed fields: always terminated, never cutting a character.
#pragma once

#include <cstddef>
#include <string>

// UTF-16 text as UTF-8 in at most capacity bytes with the terminator. A lone
// surrogate becomes U+FFFD.
void Utf16ToBoundedUtf8(const char16_t* text, size_t length, char* out, size_t capacity);

// UTF-8 text as UTF-16 in at most capacity units with the terminator (a
// surrogate pair is kept whole or left out). Malformed bytes become U+FFFD.
void Utf8ToBoundedUtf16(const std::string& text, char16_t* out, size_t capacity);

// The UTF-16 text of a NUL-terminated field of capacity units, as UTF-8.
std::string Utf16FieldToUtf8(const char16_t* field, size_t capacity);

// UTF-8 text in at most capacity bytes with the terminator, cut before a
// character that does not fit.
void CopyUtf8Bounded(const std::string& text, char* out, size_t capacity);
