#include "engine/modules/dvd/dvd_url.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// Reads one decimal number (optional sign) followed by a comma; advances text.
bool NumberAndComma(const char*& text, int32_t* value) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (end == text || errno != 0 || v < INT32_MIN || v > INT32_MAX || *end != ',') return false;
  *value = static_cast<int32_t>(v);
  text = end + 1;
  return true;
}

bool PathFits(const char* path) {
  const size_t n = std::strlen(path);
  return n != 0 && n < kDvdPathSize;
}

}  // namespace

bool IsDvdUrl(const char* path) { return path != nullptr && strncasecmp(path, "dvd:", 4) == 0; }

std::optional<DvdUrl> DvdUrlParse(const char* url) {
  if (url == nullptr) return std::nullopt;
  if (IsDvdUrl(url)) url += 4;
  DvdUrl parsed;
  const char* text = url;
  if (NumberAndComma(text, &parsed.title) && NumberAndComma(text, &parsed.firstChapter) &&
      NumberAndComma(text, &parsed.lastChapter) && PathFits(text)) {
    parsed.path = text;
    return parsed;
  }
  if (!PathFits(url)) return std::nullopt;
  return DvdUrl{1, 1, 1, url};
}
