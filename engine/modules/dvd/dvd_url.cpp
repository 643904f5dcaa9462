#include "engine/modules/dvd/dvd_url.h"

#include <strings.h>
#include <cerrno>
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

bool CopyPath(const char* path, DvdUrl* out) {
  const size_t n = std::strlen(path);
  if (n == 0 || n >= sizeof out->path) return false;
  std::memcpy(out->path, path, n + 1);
  return true;
}

}  // namespace

bool IsDvdUrl(const char* path) { return path != nullptr && strncasecmp(path, "dvd:", 4) == 0; }

bool DvdUrlParse(const char* url, DvdUrl* out) {
  if (url == nullptr || out == nullptr) return false;
  if (IsDvdUrl(url)) url += 4;
  DvdUrl parsed{};
  const char* text = url;
  if (NumberAndComma(text, &parsed.title) && NumberAndComma(text, &parsed.first_chapter) &&
      NumberAndComma(text, &parsed.last_chapter) && CopyPath(text, &parsed)) {
    *out = parsed;
    return true;
  }
  parsed = DvdUrl{1, 1, 1, {}};
  if (!CopyPath(url, &parsed)) return false;
  *out = parsed;
  return true;
}
