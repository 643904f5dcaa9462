// The settings of the video filters "VLEVELS" (input levels mapped to output
// levels with a gamma) and "VTWEAK" (hue, saturation, brightness, contrast)
// as their dialogs edit them: records, parameter texts, presets and the
// tweak sliders' positions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct LevelsParams {
  int32_t inputMin = 0, inputMax = 255;
  int32_t outputMin = 0, outputMax = 255;
  double gamma = 1.0;
  int32_t coring = 0;  // 1: clip the output to the TV range
};

// Every key of the text, each absent one at its default.
LevelsParams LoadLevelsParams(std::string_view text);
// SRCMIN, SRCMAX, DSTMIN, DSTMAX, GAMMA, CORING in that order.
std::string LevelsParamText(const LevelsParams& params);

struct LevelsPreset {
  const char* name;
  LevelsParams params;
};
// The presets in the list's order.
const std::vector<LevelsPreset>& LevelsPresets();
// The preset with the same levels and coring and a gamma within 0.0001, or -1.
int FindLevelsPreset(const LevelsParams& params);

constexpr const char* kLevelsRangeMessage = "Input and output levels should between 0-255!";
constexpr const char* kGammaRangeMessage = "Gamma should between 0.01-10.0!";
// Null when the levels can be accepted, else the message that refuses them:
// a level outside 0..255, or a gamma outside 0.01..10.0 (or not a number).
const char* CheckLevels(const LevelsParams& params);

struct TweakParams {
  double hue = 0.0;
  double saturation = 1.0;
  double brightness = 0.0;
  double contrast = 1.0;
  int32_t coring = 1;
};

TweakParams LoadTweakParams(std::string_view text);
// HUE, SAT, BRIGHT, CONTRAST, CORING in that order.
std::string TweakParamText(const TweakParams& params);

// The tweak sliders run from -100 to 100; positions outside are clamped.
constexpr int32_t kTweakSliderMin = -100, kTweakSliderMax = 100;
int32_t HueToPosition(double hue);
double HueOfPosition(int32_t position);  // -180..180
// Saturation and contrast: 0..1 on the lower half, 1..10 on the upper.
int32_t ScaleToPosition(double value);
double ScaleOfPosition(int32_t position);
int32_t BrightnessToPosition(double brightness);
double BrightnessOfPosition(int32_t position);  // -255..255
