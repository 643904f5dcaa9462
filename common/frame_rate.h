// Standard frame rates: a frame duration or rate snapped to the nearest row of
// the table of standard frame-time fractions, as the engine and the front end
// both name a frame rate (numerator / denominator of a second per frame).
#pragma once

#include <cstdint>

// Snaps a frame duration (100-ns units) to the standard rates, as the
// fraction numerator/denominator of a second.
void SnapFrameDuration(int64_t duration, int32_t* numerator, int32_t* denominator);
// The same for a rate in frames per second; 0, negative or non-finite give 1/24.
void SnapFrameRate(double rate, int32_t* numerator, int32_t* denominator);
