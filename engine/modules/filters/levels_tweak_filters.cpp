#include "engine/modules/filters/levels_tweak_filters.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "common/param_list.h"

namespace {

// A finite value limited to [lo, hi]; fallback for NaN and infinities.
double Limit(double v, double lo, double hi, double fallback) {
  if (!std::isfinite(v)) return fallback;
  return std::clamp(v, lo, hi);
}

// Truncated toward zero and limited to [lo, hi] (limiting first is the same
// for whole-number limits, and keeps the conversion defined).
int32_t TruncLimit(double v, int32_t lo, int32_t hi) {
  if (std::isnan(v)) return lo;
  return static_cast<int32_t>(std::clamp(v, double(lo), double(hi)));
}

void MapPlane(uint8_t* p, size_t bytes, const std::array<uint8_t, 256>& table) {
  for (size_t i = 0; i < bytes; ++i) p[i] = table[p[i]];
}

size_t PlaneBytes(const FramePlanes* f, int i) {
  if (f->pointer[i] == nullptr || f->pitch[i] <= 0 || f->rows[i] <= 0) return 0;
  return size_t(f->pitch[i]) * size_t(f->rows[i]);
}

}  // namespace

// ---- levels ----

IVideoFilter* CLevelsFilter::Create(CParamList*) { return new (std::nothrow) CLevelsFilter(); }

CLevelsFilter::CLevelsFilter() : CVideoFilterBase({kColourYuv420}) { Build(0, 255, 0, 255, 1.0, false); }

int32_t CLevelsFilter::SetParams(CParamList* params) {
  const int32_t srcMin = std::clamp(params->GetInt("SRCMIN", 0), 0, 255);
  const int32_t srcMax = std::clamp(params->GetInt("SRCMAX", 255), 0, 255);
  const int32_t dstMin = std::clamp(params->GetInt("DSTMIN", 0), 0, 255);
  const int32_t dstMax = std::clamp(params->GetInt("DSTMAX", 255), 0, 255);
  const double gamma = Limit(params->GetDouble("GAMMA", 1.0), 0.01, 10.0, 1.0);
  Build(srcMin, srcMax, dstMin, dstMax, gamma, params->GetInt("CORING", 0) != 0);
  return kInPlaceMode;
}

void CLevelsFilter::Build(int32_t srcMin, int32_t srcMax, int32_t dstMin, int32_t dstMax, double gamma, bool coring) {
  const int32_t lo = coring ? 16 : 0;
  const int32_t lumaHi = coring ? 235 : 255;
  const int32_t chromaHi = coring ? 240 : 255;
  int32_t range = srcMax - srcMin;
  if (srcMax == srcMin) range += 1;
  for (int v = 0; v < 256; ++v) {
    const double x = coring ? (v - 16) * 1.1643835616438356 - srcMin : double(v - srcMin);
    double m = x / range;
    if (m <= 0) m = 0;
    if (m >= 1) m = 1;
    double o = std::pow(m, 1.0 / gamma);
    o = o * (dstMax - dstMin) + dstMin;
    const double t = coring ? o * 0.8588235294117647 + 16.5 : o + 0.5;
    luma_[size_t(v)] = uint8_t(TruncLimit(t, lo, lumaHi));
    const int32_t c = ((v - 128) * (dstMax - dstMin) + (range >> 1)) / range + 128;
    chroma_[size_t(v)] = uint8_t(std::clamp(c, lo, chromaHi));
  }
}

int32_t CLevelsFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || in == nullptr) return 0;
  FramePlanes* f = FrameToChange(in, out);
  MapPlane(f->pointer[0], PlaneBytes(f, 0), luma_);
  MapPlane(f->pointer[1], PlaneBytes(f, 1), chroma_);
  MapPlane(f->pointer[2], PlaneBytes(f, 2), chroma_);
  return 0;
}

// ---- tweak ----

IVideoFilter* CTweakFilter::Create(CParamList*) { return new (std::nothrow) CTweakFilter(); }

// Before SetParams the tables leave every byte as it is.
CTweakFilter::CTweakFilter() : CVideoFilterBase({kColourYuv420}) { Build(0, 1, 0, 1, false); }

int32_t CTweakFilter::SetParams(CParamList* params) {
  const double hue = Limit(params->GetDouble("HUE", 0), -180, 180, 0);
  const double saturation = Limit(params->GetDouble("SAT", 0), 0, 10, 0);
  const double brightness = Limit(params->GetDouble("BRIGHT", 0), -255, 255, 0);
  const double contrast = Limit(params->GetDouble("CONTRAST", 0), 0, 10, 0);
  Build(hue, saturation, brightness, contrast, params->GetInt("CORING", 0) != 0);
  return kInPlaceMode;
}

void CTweakFilter::Build(double hue, double saturation, double brightness, double contrast, bool coring) {
  coring_ = coring;
  const int32_t lo = coring ? 16 : 0;
  const int32_t lumaHi = coring ? 235 : 255;
  const double a = hue * 3.141592653589793 * 0.005555555555555556;
  const double sc = saturation * std::cos(a);
  const double ss = saturation * std::sin(a);
  for (int v = 0; v < 256; ++v) {
    luma_[size_t(v)] = TruncLimit((v - 16) * contrast + brightness + 16.5, lo, lumaHi);
    const int d = v - 128;
    // |values| stay below 2^22 with SAT at most 10.
    cosine_[size_t(v)] = int32_t((sc * d + 128) * 256 + 128.5);
    sine_[size_t(v)] = int32_t(ss * d * 256 + 0.5);
  }
}

int32_t CTweakFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || in == nullptr) return 0;
  FramePlanes* f = FrameToChange(in, out);
  const int32_t lo = coring_ ? 16 : 0;
  const int32_t chromaHi = coring_ ? 240 : 255;
  uint8_t* y = f->pointer[0];
  for (size_t i = 0, n = PlaneBytes(f, 0); i < n; ++i) y[i] = uint8_t(luma_[y[i]]);
  uint8_t* u = f->pointer[1];
  uint8_t* v = f->pointer[2];
  const size_t n = std::min(PlaneBytes(f, 1), PlaneBytes(f, 2));
  for (size_t i = 0; i < n; ++i) {
    const uint8_t oldU = u[i], oldV = v[i];
    u[i] = uint8_t(std::clamp((cosine_[oldU] + sine_[oldV]) >> 8, lo, chromaHi));
    v[i] = uint8_t(std::clamp((cosine_[oldV] - sine_[oldU]) >> 8, lo, chromaHi));
  }
  return 0;
}
