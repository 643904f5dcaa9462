// The settings of the audio filter "AEQ" as the equaliser dialog edits them:
// ten band settings and the preamplifier (DB10), each 0..63 with 31 meaning
// 0 dB and 0 the top of the slider (+12 dB); presets and the gain read-out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kEqualizerBands = 10;
constexpr int kEqualizerSettings = 11;  // the bands, then the preamplifier
constexpr int kEqualizerNeutral = 31;
constexpr int kEqualizerMax = 63;

using EqualizerSettings = std::array<uint8_t, kEqualizerSettings>;

// "DB0" .. "DB10".
const char* EqualizerKey(int index);
// "60" .. "16K" for the bands, "PREAMP" for index 10.
const char* EqualizerLabel(int index);

// Every key of the text, each absent one at 31; values are clamped to 0..63.
EqualizerSettings LoadEqualizerSettings(std::string_view text);
// DB0 .. DB10 as integers, in that order.
std::string EqualizerParamText(const EqualizerSettings& settings);

struct EqualizerPreset {
  const char* name;
  EqualizerSettings settings;
};
// The presets in the list's order; "Flat" is index kEqualizerFlatPreset.
const std::vector<EqualizerPreset>& EqualizerPresets();
constexpr int kEqualizerFlatPreset = 3;
// The preset equal to the settings, or -1.
int FindEqualizerPreset(const EqualizerSettings& settings);

// The gain of a setting in dB: 0 for 31, 12 - 0.38 v below, 11.94 - 0.38 v above.
double EqualizerBandGainDb(int setting);
// The read-out of a setting's gain to a tenth of a dB, cut toward zero:
// "+12.0 dB", "+0.0 dB", "-0.2 dB".
std::string EqualizerGainText(int setting);
