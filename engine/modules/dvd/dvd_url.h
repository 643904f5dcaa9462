#pragma once
// "dvd:" source paths: "dvd:%d,%d,%d,<disc path>" (title, first chapter, last chapter) or
// "dvd:<disc path>" (title 1, chapter 1 only).

#include <cstdint>
#include <optional>
#include <string>

constexpr int kDvdPathSize = 260;  // at most 259 characters

struct DvdUrl {
  int32_t title = 1;
  int32_t firstChapter = 1;
  int32_t lastChapter = 1;
  std::string path;
};

// Parses the text after an optional "dvd:" prefix. The disc path is the rest of the text,
// spaces included. None for an empty path or one longer than 259 characters.
std::optional<DvdUrl> DvdUrlParse(const char* url);

// True when a path names a "dvd:" source.
bool IsDvdUrl(const char* path);
