// Per-value filters of 4:2:0 frames, changing them where they lie: levels
// ("VLEVELS": input and output ranges with a gamma) and tweak ("VTWEAK": hue,
// saturation, brightness and contrast). All per-value work is in tables made
// at SetParams.
// Results: the IVideoFilter answers.
#pragma once

#include <array>

#include "engine/modules/filters/video_filter_base.h"

class CLevelsFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  // Levels are limited to 0..255 and GAMMA to 0.01..10, as the dialog allows.
  int32_t SetParams(CParamList* params) override;

  const std::array<uint8_t, 256>& LumaTable() const { return luma_; }
  const std::array<uint8_t, 256>& ChromaTable() const { return chroma_; }

 private:
  CLevelsFilter();
  void Build(int32_t srcMin, int32_t srcMax, int32_t dstMin, int32_t dstMax, double gamma, bool coring);

  std::array<uint8_t, 256> luma_{};
  std::array<uint8_t, 256> chroma_{};
};

class CTweakFilter final : public CVideoFilterBase {
 public:
  static IVideoFilter* Create(CParamList* params);
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  // HUE is limited to -180..180 degrees, SAT and CONTRAST to 0..10 and
  // BRIGHT to -255..255, as the dialog allows.
  int32_t SetParams(CParamList* params) override;

 private:
  CTweakFilter();
  void Build(double hue, double saturation, double brightness, double contrast, bool coring);

  bool coring_ = false;
  std::array<int32_t, 256> luma_{};
  std::array<int32_t, 256> cosine_{};
  std::array<int32_t, 256> sine_{};
};
