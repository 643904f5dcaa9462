// In-place split-radix DFT of real data, single precision.
//
// Forward (direction >= 0), n a power of two >= 2:
//   data[2k] = R[k] = sum_j x[j] cos(2 pi j k / n), data[2k+1] = I[k] = sum_j x[j] sin(2 pi j k / n)
//   for 0 < k < n/2; data[0] = R[0], data[1] = R[n/2].
// Inverse (direction < 0): the same packed layout back to samples, unscaled, so
// forward then inverse gives the input times n/2.
//
// The caller owns the work arrays and reuses them: indexWork holds at least
// RealFftIndexWorkSize(n) ints, table at least RealFftTableSize(n) floats.
// indexWork[0] and indexWork[1] record the sizes the tables were built for;
// set indexWork[0] to 0 to have them built on the next call. Tables built for
// one size serve every smaller one. Nothing is allocated inside.
#pragma once

#include <cstddef>

void RealFft(int n, int direction, float* data, int* indexWork, float* table);

// Work-array sizes for transforms of up to n points.
size_t RealFftIndexWorkSize(int n);
size_t RealFftTableSize(int n);
