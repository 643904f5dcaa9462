// The real FFT against a naive DFT and against libavutil's real transform:
// packed layout, sign of the sine terms, unscaled inverse, table reuse.
#include "engine/modules/filters/real_fft.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

struct Work {
  std::vector<int> ip;
  std::vector<float> w;
  explicit Work(int n) : ip(RealFftIndexWorkSize(n), 0), w(RealFftTableSize(n), 0.0f) {}
};

std::vector<float> Noise(int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-1.0f, 1.0f);
  std::vector<float> x(static_cast<size_t>(n));
  for (float& v : x) v = d(rng);
  return x;
}

// R[k] and I[k] (plus sign on the sine) in the packed layout, in double.
std::vector<double> NaivePacked(const std::vector<float>& x) {
  const size_t n = x.size();
  std::vector<double> out(n);
  for (size_t k = 0; k <= n / 2; ++k) {
    double re = 0, im = 0;
    for (size_t j = 0; j < n; ++j) {
      const double a = 2.0 * M_PI * static_cast<double>((j * k) % n) / static_cast<double>(n);
      re += x[j] * std::cos(a);
      im += x[j] * std::sin(a);
    }
    if (k == 0)
      out[0] = re;
    else if (k == n / 2)
      out[1] = re;
    else {
      out[2 * k] = re;
      out[2 * k + 1] = im;
    }
  }
  return out;
}

double MaxAbs(const std::vector<float>& x) {
  double m = 0;
  for (float v : x) m = std::max(m, std::fabs(double(v)));
  return m;
}

TEST(RealFft, UnitImpulseAndConstantLayout) {
  constexpr int n = 16384;
  Work work(n);
  std::vector<float> a(n, 0.0f);
  a[0] = 1.0f;
  RealFft(n, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_FLOAT_EQ(a[0], 1.0f);
  EXPECT_FLOAT_EQ(a[1], 1.0f);
  for (int k = 1; k < n / 2; ++k) {
    ASSERT_NEAR(a[2 * k], 1.0f, 1e-6) << k;
    ASSERT_NEAR(a[2 * k + 1], 0.0f, 1e-6) << k;
  }

  std::vector<float> c(n, 0.25f);
  RealFft(n, 1, c.data(), work.ip.data(), work.w.data());
  EXPECT_NEAR(c[0], n * 0.25f, 1e-2);
  for (int j = 1; j < n; ++j) ASSERT_NEAR(c[j], 0.0f, 2e-3) << j;
}

TEST(RealFft, SineTermsHaveThePlusSign) {
  // x[j] = sin(2 pi 3 j / n): I[3] = +n/2, R all 0.
  constexpr int n = 64;
  Work work(n);
  std::vector<float> a(n);
  for (int j = 0; j < n; ++j) a[j] = static_cast<float>(std::sin(2 * M_PI * 3 * j / n));
  RealFft(n, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_NEAR(a[7], n / 2.0, 1e-4);
  EXPECT_NEAR(a[6], 0.0, 1e-4);
  for (int j = 0; j < n; ++j) {
    if (j != 7) {
      EXPECT_NEAR(a[j], 0.0, 1e-4) << j;
    }
  }
}

TEST(RealFft, MatchesNaiveDftAndRoundTripsOnEverySize) {
  for (int n = 2; n <= 4096; n *= 2) {
    SCOPED_TRACE(n);
    Work work(n);
    const std::vector<float> x = Noise(n, static_cast<unsigned>(n));
    std::vector<float> a = x;
    RealFft(n, 1, a.data(), work.ip.data(), work.w.data());
    const std::vector<double> want = NaivePacked(x);
    const double tolerance = 2e-6 * n * std::log2(double(n) + 1) + 1e-6;
    for (int j = 0; j < n; ++j) ASSERT_NEAR(a[j], want[j], tolerance) << j;

    RealFft(n, -1, a.data(), work.ip.data(), work.w.data());
    for (int j = 0; j < n; ++j) ASSERT_NEAR(a[j] * 2.0f / n, x[j], 1e-5) << j;
  }
}

TEST(RealFft, InverseIsTheUnscaledPackedSum) {
  constexpr int n = 32;
  Work work(n);
  const std::vector<float> spectrum = Noise(n, 7);
  std::vector<float> a = spectrum;
  RealFft(n, -1, a.data(), work.ip.data(), work.w.data());
  for (int k = 0; k < n; ++k) {
    double v = (spectrum[0] + spectrum[1] * std::cos(M_PI * k)) / 2;
    for (int j = 1; j < n / 2; ++j)
      v += spectrum[2 * j] * std::cos(2 * M_PI * j * k / n) + spectrum[2 * j + 1] * std::sin(2 * M_PI * j * k / n);
    ASSERT_NEAR(a[k], v, 1e-4) << k;
  }
}

TEST(RealFft, TablesAreBuiltOnceAndServeSmallerSizes) {
  Work work(16384);
  std::vector<float> big = Noise(16384, 1);
  RealFft(16384, 1, big.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(work.ip[0], 4096);
  EXPECT_EQ(work.ip[1], 4096);
  const std::vector<float> table = work.w;

  // A smaller transform with the same arrays: no rebuild, same results.
  const std::vector<float> x = Noise(256, 2);
  std::vector<float> a = x;
  RealFft(256, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(work.ip[0], 4096);
  EXPECT_EQ(work.ip[1], 4096);
  EXPECT_EQ(table, work.w);
  const std::vector<double> want = NaivePacked(x);
  for (int j = 0; j < 256; ++j) ASSERT_NEAR(a[j], want[j], 1e-3) << j;

  // Element 0 set to 0 asks for new tables.
  work.ip[0] = 0;
  a = x;
  RealFft(256, 1, a.data(), work.ip.data(), work.w.data());
  EXPECT_EQ(work.ip[0], 64);
  EXPECT_EQ(work.ip[1], 64);
  for (int j = 0; j < 256; ++j) ASSERT_NEAR(a[j], want[j], 1e-3) << j;
}

// libavutil's real transform uses e^(-i...): the same cosines, negated sines.
TEST(RealFft, AgreesWithLibavutilRealTransform) {
  for (int n : {16, 512, 16384}) {
    SCOPED_TRACE(n);
    AVTXContext* ctx = nullptr;
    av_tx_fn fn = nullptr;
    const float scale = 1.0f;
    ASSERT_EQ(0, av_tx_init(&ctx, &fn, AV_TX_FLOAT_RDFT, 0, n, &scale, 0));
    const std::vector<float> x = Noise(n, 99);
    auto* in = static_cast<float*>(av_malloc(sizeof(float) * (n + 2)));
    auto* out = static_cast<float*>(av_malloc(sizeof(float) * (n + 2)));
    std::copy(x.begin(), x.end(), in);
    fn(ctx, out, in, sizeof(float));

    Work work(n);
    std::vector<float> a = x;
    RealFft(n, 1, a.data(), work.ip.data(), work.w.data());
    const double tolerance = 1e-5 * MaxAbs(a) + 1e-5;
    EXPECT_NEAR(a[0], out[0], tolerance);
    EXPECT_NEAR(a[1], out[n], tolerance);
    for (int k = 1; k < n / 2; ++k) {
      ASSERT_NEAR(a[2 * k], out[2 * k], tolerance) << k;
      ASSERT_NEAR(a[2 * k + 1], -out[2 * k + 1], tolerance) << k;
    }
    av_free(in);
    av_free(out);
    av_tx_uninit(&ctx);
  }
}

}  // namespace
