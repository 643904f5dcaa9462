#pragma once
// "dvd:" source paths: "dvd:%d,%d,%d,<disc path>" (title, first chapter, last chapter) or
// "dvd:<disc path>" (title 1, chapter 1 only).

#include <cstdint>

constexpr int kDvdPathSize = 260;  // at most 259 characters

struct DvdUrl {
  int32_t title;
  int32_t first_chapter;
  int32_t last_chapter;
  char path[kDvdPathSize];
};

// Parses the text after an optional "dvd:" prefix. The disc path is the rest of the text,
// spaces included. false for an empty path or one longer than 259 characters.
bool DvdUrlParse(const char* url, DvdUrl* out);

// True when a path names a "dvd:" source.
bool IsDvdUrl(const char* path);
