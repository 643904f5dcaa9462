#include "engine/modules/filters/real_fft.h"

#include <cmath>
#include <utility>

// The n real values are n/2 complex values z[j] = x[2j] + i x[2j+1]; a
// split-radix complex transform (decimation in frequency, then bit reversal)
// gives their spectrum Z, and one pass with the cosine table turns Z into the
// spectrum of the real sequence. The inverse runs those steps backwards.
//
// Table layout: table[0 .. nw) holds nw/2 twiddles (cos, sin) of angle
// 2 pi j / M0 for the complex size M0 = 2 nw the table was built for;
// table[nw .. nw + nc) holds c[j] = cos(pi j / (2 nc)) / 2 (c[0] = cos(pi/4)).

namespace {

constexpr double kPi = 3.14159265358979323846;

void MakeTwiddles(int nw, float* w) {
  // nw / 2 complex values covering a quarter turn of the complex size 2 nw.
  const int quarter = nw / 2;
  const double delta = 2.0 * kPi / (2.0 * nw);
  for (int j = 0; j < quarter; ++j) {
    w[2 * j] = static_cast<float>(std::cos(delta * j));
    w[2 * j + 1] = static_cast<float>(std::sin(delta * j));
  }
}

void MakeCosines(int nc, float* c) {
  if (nc <= 1) return;
  const int half = nc / 2;
  const double delta = kPi / (2.0 * nc);
  c[0] = static_cast<float>(std::cos(delta * half));
  c[half] = 0.5f * c[0];
  for (int j = 1; j < half; ++j) {
    c[j] = static_cast<float>(0.5 * std::cos(delta * j));
    c[nc - j] = static_cast<float>(0.5 * std::sin(delta * j));
  }
}

// Twiddles of the complex transform: e^(i 2 pi q / M0) for q < 3 M0 / 4,
// from the quarter-turn table by rotation.
struct Twiddles {
  const float* w;
  int quarter;  // M0 / 4 entries

  void At(int q, float* re, float* im) const {
    if (q == 0) {
      *re = 1.0f;
      *im = 0.0f;
      return;
    }
    const int turn = q / quarter;
    const int r = q - turn * quarter;
    const float c = w[2 * r], s = w[2 * r + 1];
    switch (turn) {
      case 0:
        *re = c, *im = s;
        break;
      case 1:
        *re = -s, *im = c;
        break;
      default:
        *re = -c, *im = -s;
        break;
    }
  }
};

// Split-radix decimation in frequency over `size` complex values; the result
// is left in bit-reversed order. sign +1 uses e^(+i...), -1 e^(-i...). `step`
// maps this size's twiddle index onto the table (M0 / size).
void SplitRadix(float* a, int size, int sign, const Twiddles& tw, int step) {
  if (size <= 1) return;
  if (size == 2) {
    const float xr = a[0] - a[2], xi = a[1] - a[3];
    a[0] += a[2];
    a[1] += a[3];
    a[2] = xr;
    a[3] = xi;
    return;
  }
  const int q = size / 4;
  float* pa = a;
  float* pb = a + 2 * q;
  float* pc = a + 4 * q;
  float* pd = a + 6 * q;
  for (int k = 0; k < q; ++k) {
    const int i = 2 * k;
    const float ar = pa[i], ai = pa[i + 1], br = pb[i], bi = pb[i + 1];
    const float cr = pc[i], ci = pc[i + 1], dr = pd[i], di = pd[i + 1];
    pa[i] = ar + cr;
    pa[i + 1] = ai + ci;
    pb[i] = br + dr;
    pb[i + 1] = bi + di;
    const float t1r = ar - cr, t1i = ai - ci;
    const float t2r = br - dr, t2i = bi - di;
    // sign * i * t2 = (-sign * t2i, sign * t2r)
    const float ur = t1r - sign * t2i, ui = t1i + sign * t2r;  // t1 + s i t2
    const float vr = t1r + sign * t2i, vi = t1i - sign * t2r;  // t1 - s i t2
    float w1r, w1i, w3r, w3i;
    tw.At(k * step, &w1r, &w1i);
    tw.At(3 * k * step, &w3r, &w3i);
    w1i *= sign;
    w3i *= sign;
    pc[i] = ur * w1r - ui * w1i;
    pc[i + 1] = ur * w1i + ui * w1r;
    pd[i] = vr * w3r - vi * w3i;
    pd[i + 1] = vr * w3i + vi * w3r;
  }
  SplitRadix(a, size / 2, sign, tw, step * 2);
  SplitRadix(pc, q, sign, tw, step * 4);
  SplitRadix(pd, q, sign, tw, step * 4);
}

// Bit reversal of m = 2^p complex values with a table of the reversals of
// the low floor(p/2) bits, kept in ip (at most sqrt(m) entries).
void BitReverse(float* a, int m, int* ip) {
  int p = 0;
  while ((1 << p) < m) ++p;
  const int h = p / 2;
  const int hiBits = p - h;
  const int tableSize = 1 << h;
  ip[0] = 0;
  for (int t = 1; t < tableSize; ++t) ip[t] = (ip[t >> 1] >> 1) | ((t & 1) << (h - 1));
  const int lowMask = tableSize - 1;
  for (int i = 0; i < m; ++i) {
    const int low = i & lowMask, high = i >> h;
    const int highRev = hiBits == h ? ip[high] : (((high & 1) << h) | ip[high >> 1]);
    const int j = (ip[low] << hiBits) | highRev;
    if (i < j) {
      std::swap(a[2 * i], a[2 * j]);
      std::swap(a[2 * i + 1], a[2 * j + 1]);
    }
  }
}

void ComplexTransform(int n, float* a, int sign, int* ip, const float* w, int nw) {
  const int m = n / 2;
  if (m < 2) return;
  const Twiddles tw{w, nw / 2};
  SplitRadix(a, m, sign, tw, (2 * nw) / m);
  BitReverse(a, m, ip + 2);
}

// Z -> X: X[k] = Z[k] - Y, X[m-k] = Z[m-k] + conj(Y), Y = W (Z[k] - conj(Z[m-k])),
// W = (1 - sin t) / 2 + i cos t / 2, t = 2 pi k / n.
void RealForwardPass(int n, float* a, int nc, const float* c) {
  const int m = n / 2;
  const int ks = 2 * nc / m;
  int kk = 0;
  for (int j = 2; j < m; j += 2) {
    const int k = n - j;
    kk += ks;
    const float wkr = 0.5f - c[nc - kk];
    const float wki = c[kk];
    const float xr = a[j] - a[k];
    const float xi = a[j + 1] + a[k + 1];
    const float yr = wkr * xr - wki * xi;
    const float yi = wkr * xi + wki * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

// X -> Z, the inverse of the pass above: Y = conj(W) (X[k] - conj(X[m-k])).
void RealInversePass(int n, float* a, int nc, const float* c) {
  const int m = n / 2;
  const int ks = 2 * nc / m;
  int kk = 0;
  for (int j = 2; j < m; j += 2) {
    const int k = n - j;
    kk += ks;
    const float wkr = 0.5f - c[nc - kk];
    const float wki = c[kk];
    const float xr = a[j] - a[k];
    const float xi = a[j + 1] + a[k + 1];
    const float yr = wkr * xr + wki * xi;
    const float yi = wkr * xi - wki * xr;
    a[j] -= yr;
    a[j + 1] -= yi;
    a[k] += yr;
    a[k + 1] -= yi;
  }
}

}  // namespace

size_t RealFftIndexWorkSize(int n) {
  const double root = std::sqrt(static_cast<double>(n > 2 ? n / 2 : 1));
  return 2 + static_cast<size_t>(std::ceil(root));
}

size_t RealFftTableSize(int n) { return static_cast<size_t>(n > 2 ? n / 2 : 1); }

void RealFft(int n, int direction, float* data, int* indexWork, float* table) {
  if (n < 2 || (n & (n - 1)) != 0) return;
  int nw = indexWork[0];
  bool rebuilt = false;
  if (n > 4 * nw) {
    nw = n / 4;
    indexWork[0] = nw;
    MakeTwiddles(nw, table);
    rebuilt = true;  // the cosines sit behind the twiddles: build them too
  }
  int nc = indexWork[1];
  if (rebuilt || n > 4 * nc) {
    nc = n / 4;
    indexWork[1] = nc;
    MakeCosines(nc, table + nw);
  }
  const float* cosines = table + nw;
  if (direction >= 0) {
    if (n >= 4) {
      ComplexTransform(n, data, +1, indexWork, table, nw);
      RealForwardPass(n, data, nc, cosines);
    }
    const float xi = data[0] - data[1];
    data[0] += data[1];
    data[1] = xi;
  } else {
    data[1] = 0.5f * (data[0] - data[1]);
    data[0] -= data[1];
    if (n >= 4) {
      RealInversePass(n, data, nc, cosines);
      ComplexTransform(n, data, -1, indexWork, table, nw);
    }
  }
}
