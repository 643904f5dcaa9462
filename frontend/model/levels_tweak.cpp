#include "frontend/model/levels_tweak.h"

#include <algorithm>
#include <cmath>

#include "frontend/model/param_text.h"

namespace {

// Half away from zero, then clamped to the slider.
int32_t RoundToSlider(double value) {
  if (std::isnan(value)) return 0;
  const double rounded = std::trunc(value > 0 ? value + 0.5 : value - 0.5);
  return static_cast<int32_t>(std::clamp(rounded, double(kTweakSliderMin), double(kTweakSliderMax)));
}

int32_t ClampPosition(int32_t position) { return std::clamp(position, kTweakSliderMin, kTweakSliderMax); }

}  // namespace

LevelsParams LoadLevelsParams(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  LevelsParams p;
  p.inputMin = list.GetInt("SRCMIN", p.inputMin);
  p.inputMax = list.GetInt("SRCMAX", p.inputMax);
  p.outputMin = list.GetInt("DSTMIN", p.outputMin);
  p.outputMax = list.GetInt("DSTMAX", p.outputMax);
  p.gamma = GetNumber(list, "GAMMA", p.gamma);
  p.coring = list.GetInt("CORING", p.coring);
  return p;
}

std::string LevelsParamText(const LevelsParams& params) {
  CParamList list;
  list.SetInt("SRCMIN", params.inputMin);
  list.SetInt("SRCMAX", params.inputMax);
  list.SetInt("DSTMIN", params.outputMin);
  list.SetInt("DSTMAX", params.outputMax);
  list.SetDouble("GAMMA", params.gamma);
  list.SetInt("CORING", params.coring);
  return ParamListText(list);
}

const std::vector<LevelsPreset>& LevelsPresets() {
  static const std::vector<LevelsPreset> presets = {
      {"Keep unchanged", {0, 255, 0, 255, 1.0, 0}},   {"PC->TV", {0, 255, 16, 235, 1.0, 0}},
      {"TV->PC", {16, 235, 0, 255, 1.0, 0}},          {"Coring to TV", {0, 255, 0, 255, 1.0, 1}},
      {"Invert the image", {0, 255, 255, 0, 1.0, 1}},
  };
  return presets;
}

int FindLevelsPreset(const LevelsParams& params) {
  const std::vector<LevelsPreset>& presets = LevelsPresets();
  for (size_t i = 0; i < presets.size(); ++i) {
    const LevelsParams& p = presets[i].params;
    if (p.inputMin == params.inputMin && p.inputMax == params.inputMax && p.outputMin == params.outputMin &&
        p.outputMax == params.outputMax && p.coring == params.coring && std::fabs(p.gamma - params.gamma) < 0.0001)
      return static_cast<int>(i);
  }
  return -1;
}

const char* CheckLevels(const LevelsParams& params) {
  for (int32_t level : {params.inputMin, params.inputMax, params.outputMin, params.outputMax})
    if (level < 0 || level > 255) return kLevelsRangeMessage;
  if (!(params.gamma >= 0.01 && params.gamma <= 10.0)) return kGammaRangeMessage;
  return nullptr;
}

TweakParams LoadTweakParams(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  TweakParams p;
  p.hue = GetNumber(list, "HUE", p.hue);
  p.saturation = GetNumber(list, "SAT", p.saturation);
  p.brightness = GetNumber(list, "BRIGHT", p.brightness);
  p.contrast = GetNumber(list, "CONTRAST", p.contrast);
  p.coring = list.GetInt("CORING", p.coring);
  return p;
}

std::string TweakParamText(const TweakParams& params) {
  CParamList list;
  list.SetDouble("HUE", params.hue);
  list.SetDouble("SAT", params.saturation);
  list.SetDouble("BRIGHT", params.brightness);
  list.SetDouble("CONTRAST", params.contrast);
  list.SetInt("CORING", params.coring);
  return ParamListText(list);
}

int32_t HueToPosition(double hue) { return RoundToSlider(hue * 0.5555555555555556); }

double HueOfPosition(int32_t position) { return ClampPosition(position) * 1.8; }

int32_t ScaleToPosition(double value) {
  return RoundToSlider(value >= 1 ? (value - 1) * 11.11111111111111 : value * 100 - 100);
}

double ScaleOfPosition(int32_t position) {
  position = ClampPosition(position);
  return position <= 0 ? (position + 100) * 0.01 : position * 0.09 + 1;
}

int32_t BrightnessToPosition(double brightness) { return RoundToSlider(brightness * 0.39215686274509803); }

double BrightnessOfPosition(int32_t position) { return ClampPosition(position) * 2.55; }
