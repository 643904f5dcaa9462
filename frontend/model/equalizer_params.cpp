#include "frontend/model/equalizer_params.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "frontend/model/param_text.h"

namespace {

constexpr const char* kKeys[kEqualizerSettings] = {"DB0", "DB1", "DB2", "DB3", "DB4", "DB5",
                                                   "DB6", "DB7", "DB8", "DB9", "DB10"};
constexpr const char* kLabels[kEqualizerSettings] = {"60", "170", "310", "600", "1K",    "3K",
                                                     "6K", "12K", "14K", "16K", "PREAMP"};

}  // namespace

const char* EqualizerKey(int index) { return index >= 0 && index < kEqualizerSettings ? kKeys[index] : ""; }

const char* EqualizerLabel(int index) { return index >= 0 && index < kEqualizerSettings ? kLabels[index] : ""; }

EqualizerSettings LoadEqualizerSettings(std::string_view text) {
  CParamList list;
  ParseParamText(list, text);
  EqualizerSettings settings{};
  for (int i = 0; i < kEqualizerSettings; ++i)
    settings[size_t(i)] = static_cast<uint8_t>(std::clamp(list.GetInt(kKeys[i], kEqualizerNeutral), 0, kEqualizerMax));
  return settings;
}

std::string EqualizerParamText(const EqualizerSettings& settings) {
  CParamList list;
  for (int i = 0; i < kEqualizerSettings; ++i) list.SetInt(kKeys[i], settings[size_t(i)]);
  return ParamListText(list);
}

const std::vector<EqualizerPreset>& EqualizerPresets() {
  static const std::vector<EqualizerPreset> presets = {
      {"Classical", {31, 31, 31, 31, 31, 31, 44, 44, 44, 48, 31}},
      {"Club", {31, 31, 26, 22, 22, 22, 26, 31, 31, 31, 31}},
      {"Dance", {16, 20, 28, 32, 32, 42, 44, 44, 32, 32, 31}},
      {"Flat", {31, 31, 31, 31, 31, 31, 31, 31, 31, 31, 31}},
      {"Full Bass and Treble", {20, 22, 31, 44, 40, 29, 18, 14, 12, 12, 31}},
      {"Full Bass", {16, 16, 16, 22, 29, 39, 46, 49, 50, 50, 31}},
      {"Full Treble", {48, 48, 48, 39, 27, 14, 6, 6, 6, 4, 31}},
      {"Laptop Speakers", {24, 14, 23, 38, 36, 29, 24, 16, 11, 8, 31}},
      {"Large Hall", {15, 15, 22, 22, 31, 40, 40, 40, 31, 31, 31}},
      {"Live", {40, 31, 25, 23, 22, 22, 25, 27, 27, 28, 31}},
      {"Party", {20, 20, 31, 31, 31, 31, 31, 31, 20, 20, 31}},
      {"Pop", {35, 24, 20, 19, 23, 34, 36, 36, 35, 35, 31}},
      {"Reggae", {31, 31, 33, 42, 31, 21, 21, 31, 31, 31, 31}},
      {"Rock", {19, 24, 41, 45, 38, 25, 17, 14, 14, 14, 31}},
      {"Ska", {36, 40, 39, 33, 25, 22, 17, 16, 14, 16, 31}},
      {"Soft Rock", {25, 25, 28, 33, 39, 41, 38, 33, 27, 17, 31}},
      {"Soft", {24, 29, 34, 36, 34, 25, 18, 16, 14, 12, 31}},
      {"Techno", {19, 22, 31, 41, 40, 31, 19, 16, 16, 17, 31}},
  };
  return presets;
}

int FindEqualizerPreset(const EqualizerSettings& settings) {
  const std::vector<EqualizerPreset>& presets = EqualizerPresets();
  for (size_t i = 0; i < presets.size(); ++i)
    if (presets[i].settings == settings) return static_cast<int>(i);
  return -1;
}

double EqualizerBandGainDb(int setting) {
  if (setting == kEqualizerNeutral) return 0.0;
  if (setting < kEqualizerNeutral) return 12.0 - 0.38 * setting;
  return 11.94 - 0.38 * setting;
}

std::string EqualizerGainText(int setting) {
  // Cut toward zero; the nudge keeps a gain such as 10.1 (10.0999... in
  // binary) from showing a tenth less.
  const double gain = EqualizerBandGainDb(setting);
  const double tenths = std::trunc(gain * 10 + (gain >= 0 ? 1e-9 : -1e-9)) * 0.1;
  const double shown = tenths == 0 ? 0.0 : tenths;
  char number[32];
  const auto end = std::to_chars(number, number + sizeof number, shown, std::chars_format::fixed, 1).ptr;
  return (shown >= 0 ? "+" : "") + std::string(number, end) + " dB";
}
