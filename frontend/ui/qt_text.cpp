#include "frontend/ui/qt_text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

int AtoiC(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  const char* begin = s.c_str();
  if (*begin == '+') ++begin;
  long long value = 0;
  const auto [end, error] = std::from_chars(begin, s.c_str() + s.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) return s.front() == '-' ? INT32_MIN : INT32_MAX;
  if (error != std::errc()) return 0;
  return static_cast<int>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}
