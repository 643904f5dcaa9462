// Text subtitle files and samples made ready for the renderer: bytes to UTF-8
// (byte-order marks, the dialog's character set, lines that are not UTF-8
// left out), SRT cues with their markup as SSA/ASS override tags, and SSA/ASS
// scripts without the event lines whose times cannot be read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool IsValidUtf8(std::string_view text);

// The code page of a font character set (0 ANSI, 204 RUSSIAN, ...) as an
// iconv name; null for 1 (DEFAULT), 2 (SYMBOL) and unknown sets.
const char* CharSetCodePage(int32_t charSet);

struct Utf8Text {
  std::string text;
  int32_t droppedLines = 0;  // lines left out because they were not UTF-8
};

// File bytes as UTF-8 text. A UTF-8 or UTF-16 byte-order mark decides; else
// text that is all UTF-8 is taken as it is; else the bytes are read in the
// code page of charSet when it has one; else lines that are not UTF-8 are
// left out.
Utf8Text SubtitleBytesToUtf8(std::string_view bytes, int32_t charSet);

// A time "H:MM:SS,mmm" (or with '.'; one to three digits of milliseconds) in ms.
bool ParseSrtTime(std::string_view text, int64_t* ms);
// "start --> end" with anything after the end time; false when a time is bad.
bool ParseSrtTiming(std::string_view line, int64_t* startMs, int64_t* endMs);

struct TextCue {
  int64_t startMs = 0;
  int64_t endMs = 0;
  std::string text;  // SSA/ASS event text
};

struct SrtParse {
  std::vector<TextCue> cues;
  int32_t skippedCues = 0;  // broken timing lines (with their text) and empty or reversed cues
};

// SRT cues in file order. A block whose timing line cannot be read is left
// out up to the next empty line; a missing empty line between cues is
// tolerated; text before any timing line is ignored.
SrtParse ParseSrt(std::string_view utf8);

// SRT or plain text (lines separated by LF or CRLF) as SSA/ASS event text:
// lines joined by \N, <i> <b> <u> <s> and <font color="#RRGGBB"> turned into
// override tags.
std::string SrtToAssText(std::string_view text);

// An SSA/ASS script without its Dialogue lines whose start or end time
// cannot be read; dropped counts them.
std::string CleanAssScript(std::string_view utf8, int32_t* dropped);

// Whether a text looks like an SSA/ASS script rather than SRT.
bool LooksLikeAssScript(std::string_view utf8);
