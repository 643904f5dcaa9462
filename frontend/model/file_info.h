// The rules of the file-info pages: the output file name typed for a task,
// and the tag fields the engine writes into the output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/job_records.h"

// The longest output base name (a 256-byte field with its terminator).
constexpr size_t kTitleFieldBytes = 255;
// The longest output file name typed on the page.
constexpr int kOutputFileNameChars = 259;
// Tag texts: 128 UTF-16 units and the genre's 32 bytes, each with room for
// its terminator.
constexpr int kTagTextUnits = 127;
constexpr int kGenreChars = 31;

// The ID3v1 genre names with the later extensions, by index.
constexpr int kGenreCount = 148;
extern const char* const kGenreNames[kGenreCount];

// An output file name split into the task's fields.
struct OutputFileName {
  std::string title;
  std::string ext;
  int32_t number = 0;
};

// Splits a typed name for a task whose extension and number are ext and
// number: the text after the last '.' becomes the extension (a name without
// one keeps ext; a name prefix, "@pre_", is taken off the front again); a
// trailing "[number]" keeps the number, anything else makes it 0. The title
// is cut on a character boundary to kTitleFieldBytes. False with a message
// for a name that cannot name a file in the output folder (empty, "." or
// "..", or holding '/').
bool SplitOutputFileName(std::string_view name, std::string_view ext, int32_t number, OutputFileName& out,
                         std::string& message);

// The tag fields as the metadata page shows and takes them.
struct TagFields {
  std::u16string title, artist, album, comment;
  std::string track, year, genre;
  bool enabled = false;
};

// What the page shows for a tag head: track "%02d" and year "%04d", empty
// for 0.
TagFields ShowTagFields(const TagInfo& tags);
// Takes the page's fields: with enabled, every field is stored (texts cut to
// kTagTextUnits units, never splitting a pair; numbers read as atoi reads
// them; the genre cut to kGenreChars bytes on a character boundary) and the
// head is marked to be written; without, only the mark is cleared.
void StoreTagFields(const TagFields& fields, TagInfo& tags);

// A decimal number as atoi reads it (leading blanks, a sign, digits; 0 when
// there are none), held to the int32 range.
int32_t ParseTagNumber(std::string_view text);
// "%0*d" of value, or empty for 0.
std::string FormatTagNumber(int32_t value, int digits);
