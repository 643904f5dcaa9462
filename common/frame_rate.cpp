#include "common/frame_rate.h"

#include <climits>
#include <cmath>

namespace {

struct FrameFraction {
  int32_t numerator;
  int32_t denominator;
};

// Standard frame durations in table order: 1/1..1/23, 1001/24000,
// 1/24..1/29, 1001/30000, 1/30..1/60.
struct FrameTable {
  FrameFraction rows[62];
  constexpr FrameTable() : rows() {
    int i = 0;
    for (int n = 1; n <= 23; ++n) rows[i++] = {1, n};
    rows[i++] = {1001, 24000};
    for (int n = 24; n <= 29; ++n) rows[i++] = {1, n};
    rows[i++] = {1001, 30000};
    for (int n = 30; n <= 60; ++n) rows[i++] = {1, n};
  }
};
constexpr FrameTable kFrameTable;

bool MatchFrameTable(int64_t duration, int32_t* numerator, int32_t* denominator) {
  for (const FrameFraction& row : kFrameTable.rows) {
    const int64_t rowDuration = int64_t{10000000} * row.numerator / row.denominator;
    int64_t diff;
    if (__builtin_sub_overflow(rowDuration, duration, &diff)) continue;
    if (diff > -25 && diff < 25) {
      *numerator = row.numerator;
      *denominator = row.denominator;
      return true;
    }
  }
  return false;
}

int32_t SaturateToInt32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

void SnapFrameDuration(int64_t duration, int32_t* numerator, int32_t* denominator) {
  int32_t num = 1;
  int32_t den = 24;
  if (!MatchFrameTable(duration, &num, &den)) {
    num = SaturateToInt32(duration / 1000);
    den = 10000;
    if (num <= 0) {  // no usable duration
      num = 1;
      den = 24;
    }
  }
  if (numerator != nullptr) *numerator = num;
  if (denominator != nullptr) *denominator = den;
}

void SnapFrameRate(double rate, int32_t* numerator, int32_t* denominator) {
  int32_t num = 1;
  int32_t den = 24;
  if (std::isfinite(rate) && rate > 0) {
    const double duration = 10000000.0 / rate;
    // Beyond 2^62 no row can match; also keeps the conversion defined.
    const bool matched = duration < 4.6e18 && MatchFrameTable(static_cast<int64_t>(duration), &num, &den);
    if (!matched) {
      const double scaled = 10000.0 / rate;
      num = scaled >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(scaled);
      den = 10000;
      if (num <= 0) {  // above 10,000 frames per second
        num = 1;
        den = 24;
      }
    }
  }
  if (numerator != nullptr) *numerator = num;
  if (denominator != nullptr) *denominator = den;
}
