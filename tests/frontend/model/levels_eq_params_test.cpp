// The rules behind the levels, tweak and equaliser dialogs: parameter texts
// and their defaults, presets, the tweak sliders' conversions, the levels
// checks, equaliser gains and their read-out.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "frontend/model/equalizer_params.h"
#include "frontend/model/levels_tweak.h"

namespace {

TEST(LevelsParams, TextsRoundTripInTheirKeyOrderAndMissingKeysTakeTheirDefaults) {
  const LevelsParams empty = LoadLevelsParams("");
  EXPECT_EQ(empty.inputMin, 0);
  EXPECT_EQ(empty.inputMax, 255);
  EXPECT_EQ(empty.outputMin, 0);
  EXPECT_EQ(empty.outputMax, 255);
  EXPECT_DOUBLE_EQ(empty.gamma, 1.0);
  EXPECT_EQ(empty.coring, 0);
  const std::string text = LevelsParamText({16, 235, 0, 255, 1.5, 1});
  EXPECT_LT(text.find("SRCMIN"), text.find("SRCMAX"));
  EXPECT_LT(text.find("SRCMAX"), text.find("DSTMIN"));
  EXPECT_LT(text.find("DSTMIN"), text.find("DSTMAX"));
  EXPECT_LT(text.find("DSTMAX"), text.find("GAMMA"));
  EXPECT_LT(text.find("GAMMA"), text.find("CORING"));
  const LevelsParams back = LoadLevelsParams(text);
  EXPECT_EQ(back.inputMin, 16);
  EXPECT_EQ(back.inputMax, 235);
  EXPECT_DOUBLE_EQ(back.gamma, 1.5);
  EXPECT_EQ(back.coring, 1);
  // A gamma written as an integer still counts.
  EXPECT_DOUBLE_EQ(LoadLevelsParams("\"GAMMA\"=2").gamma, 2.0);
}

TEST(LevelsParams, PresetsMatchOnLevelsCoringAndAGammaWithinATenThousandth) {
  ASSERT_EQ(LevelsPresets().size(), 5u);
  const char* names[] = {"Keep unchanged", "PC->TV", "TV->PC", "Coring to TV", "Invert the image"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_STREQ(LevelsPresets()[i].name, names[i]);
    EXPECT_EQ(FindLevelsPreset(LevelsPresets()[i].params), int(i)) << "no two presets are equal";
  }
  EXPECT_EQ(FindLevelsPreset(LoadLevelsParams("")), 0);
  LevelsParams almost = LevelsPresets()[1].params;
  almost.gamma = 1.00005;
  EXPECT_EQ(FindLevelsPreset(almost), 1);
  almost.gamma = 1.0002;
  EXPECT_EQ(FindLevelsPreset(almost), -1);
  EXPECT_EQ(FindLevelsPreset({0, 255, 255, 0, 1.0, 0}), -1);  // inverted without coring
}

TEST(LevelsParams, ChecksRefuseLevelsOutside0To255ThenGammasOutside001To10) {
  struct Row {
    LevelsParams p;
    const char* message;
  };
  const Row rows[] = {
      {{0, 255, 0, 255, 1.0, 0}, nullptr},
      {{0, 255, 255, 0, 1.0, 1}, nullptr},  // no order between minimum and maximum
      {{0, 255, 256, 255, 1.0, 0}, kLevelsRangeMessage},
      {{-1, 255, 0, 255, 1.0, 0}, kLevelsRangeMessage},
      {{0, 255, 0, 255, 0.005, 0}, kGammaRangeMessage},
      {{0, 255, 0, 255, 10.0, 0}, nullptr},
      {{0, 255, 0, 255, 0.01, 0}, nullptr},
      {{0, 255, 0, 255, 10.001, 0}, kGammaRangeMessage},
      {{0, 300, 0, 255, 50.0, 0}, kLevelsRangeMessage},  // levels first
      {{0, 255, 0, 255, std::nan(""), 0}, kGammaRangeMessage},
  };
  for (const Row& r : rows) {
    const char* got = CheckLevels(r.p);
    EXPECT_STREQ(got ? got : "", r.message ? r.message : "")
        << r.p.inputMax << " " << r.p.outputMin << " " << r.p.gamma;
  }
  EXPECT_STREQ(kLevelsRangeMessage, "Input and output levels should between 0-255!");
  EXPECT_STREQ(kGammaRangeMessage, "Gamma should between 0.01-10.0!");
}

TEST(TweakParams, DefaultsAndKeyOrder) {
  const TweakParams t = LoadTweakParams("");
  EXPECT_DOUBLE_EQ(t.hue, 0.0);
  EXPECT_DOUBLE_EQ(t.saturation, 1.0);
  EXPECT_DOUBLE_EQ(t.brightness, 0.0);
  EXPECT_DOUBLE_EQ(t.contrast, 1.0);
  EXPECT_EQ(t.coring, 1);
  const std::string text = TweakParamText(t);
  EXPECT_LT(text.find("HUE"), text.find("SAT"));
  EXPECT_LT(text.find("SAT"), text.find("BRIGHT"));
  EXPECT_LT(text.find("BRIGHT"), text.find("CONTRAST"));
  EXPECT_LT(text.find("CONTRAST"), text.find("CORING"));
}

TEST(TweakParams, ValuesToSliderPositionsRoundHalfAwayFromZeroAndClamp) {
  struct Row {
    double value;
    int32_t hue, scale, brightness;
  };
  const Row rows[] = {
      {0.0, 0, -100, 0},       {1.0, 1, 0, 0},       {2.5, 1, 17, 1},        {-100, -56, -100, -39},
      {0.5, 0, -50, 0},        {0.995, 1, -1, 0},    {10.0, 6, 100, 4},      {180, 100, 100, 71},
      {-180, -100, -100, -71}, {255, 100, 100, 100}, {1e300, 100, 100, 100}, {-1e300, -100, -100, -100},
      {0.9, 1, -10, 0},        {3.2, 2, 24, 1},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(HueToPosition(r.value), r.hue) << r.value;
    EXPECT_EQ(ScaleToPosition(r.value), r.scale) << r.value;
    EXPECT_EQ(BrightnessToPosition(r.value), r.brightness) << r.value;
  }
  EXPECT_EQ(HueToPosition(std::nan("")), 0);
}

TEST(TweakParams, SliderPositionsToValues) {
  struct Row {
    int32_t position;
    double hue, scale, brightness;
  };
  const Row rows[] = {
      {0, 0.0, 1.0, 0.0},        {17, 30.6, 2.53, 43.35}, {-56, -100.8, 0.44, -142.8}, {100, 180, 10.0, 255.0},
      {-100, -180, 0.0, -255.0}, {1, 1.8, 1.09, 2.55},    {-1, -1.8, 0.99, -2.55},     {150, 180, 10.0, 255.0},
  };
  for (const Row& r : rows) {
    EXPECT_NEAR(HueOfPosition(r.position), r.hue, 1e-9) << r.position;
    EXPECT_NEAR(ScaleOfPosition(r.position), r.scale, 1e-9) << r.position;
    EXPECT_NEAR(BrightnessOfPosition(r.position), r.brightness, 1e-9) << r.position;
  }
}

TEST(EqualizerParams, KeysLabelsAndAMissingKeyReadsAsNeutral) {
  EXPECT_STREQ(EqualizerKey(0), "DB0");
  EXPECT_STREQ(EqualizerKey(10), "DB10");
  EXPECT_STREQ(EqualizerLabel(4), "1K");
  EXPECT_STREQ(EqualizerLabel(10), "PREAMP");
  const EqualizerSettings empty = LoadEqualizerSettings("");
  for (uint8_t v : empty) EXPECT_EQ(v, 31);
  const EqualizerSettings some = LoadEqualizerSettings("\"DB4\"=0,\"DB10\"=63");
  EXPECT_EQ(some[4], 0);
  EXPECT_EQ(some[10], 63);
  EXPECT_EQ(some[5], 31);
  const std::string text = EqualizerParamText(some);
  EXPECT_EQ(LoadEqualizerSettings(text), some);
  EXPECT_LT(text.find("\"DB9\""), text.find("\"DB10\""));
  EXPECT_LT(text.find("\"DB1\""), text.find("\"DB2\""));
}

TEST(EqualizerParams, OutOfRangeValuesAreHeldTo0To63NotWrappedToAByte) {
  // 256 would wrap to 0 (+12 dB) and 300 to 44 if only the low byte were kept.
  const EqualizerSettings s = LoadEqualizerSettings("\"DB0\"=256,\"DB1\"=300,\"DB2\"=-1,\"DB3\"=64,\"DB4\"=-300");
  EXPECT_EQ(s[0], 63);
  EXPECT_EQ(s[1], 63);
  EXPECT_EQ(s[2], 0);
  EXPECT_EQ(s[3], 63);
  EXPECT_EQ(s[4], 0);
}

TEST(EqualizerParams, EighteenDistinctPresetsInOrderEachWithANeutralPreamplifier) {
  const std::vector<EqualizerPreset>& presets = EqualizerPresets();
  ASSERT_EQ(presets.size(), 18u);
  EXPECT_STREQ(presets[0].name, "Classical");
  EXPECT_STREQ(presets[kEqualizerFlatPreset].name, "Flat");
  EXPECT_STREQ(presets[13].name, "Rock");
  EXPECT_STREQ(presets[17].name, "Techno");
  std::set<EqualizerSettings> distinct;
  for (size_t i = 0; i < presets.size(); ++i) {
    EXPECT_EQ(presets[i].settings[10], 31) << presets[i].name;
    for (uint8_t v : presets[i].settings) EXPECT_LE(v, 63) << presets[i].name;
    EXPECT_EQ(FindEqualizerPreset(presets[i].settings), int(i));
    distinct.insert(presets[i].settings);
  }
  EXPECT_EQ(distinct.size(), 18u);
  EXPECT_EQ(FindEqualizerPreset(LoadEqualizerSettings("")), kEqualizerFlatPreset);
  EqualizerSettings rock = presets[13].settings;
  rock[0] += 1;
  EXPECT_EQ(FindEqualizerPreset(rock), -1);
  EXPECT_EQ(presets[13].settings, (EqualizerSettings{19, 24, 41, 45, 38, 25, 17, 14, 14, 14, 31}));
}

TEST(EqualizerParams, GainsAndTheirReadOut) {
  struct Row {
    int setting;
    double db;
    const char* shown;
  };
  const Row rows[] = {
      {0, 12.0, "+12.0 dB"}, {31, 0.0, "+0.0 dB"},  {32, -0.22, "-0.2 dB"}, {63, -12.0, "-12.0 dB"},
      {30, 0.6, "+0.6 dB"},  {5, 10.1, "+10.1 dB"}, {1, 11.62, "+11.6 dB"}, {40, -3.26, "-3.2 dB"},
      {16, 5.92, "+5.9 dB"}, {48, -6.3, "-6.3 dB"},
  };
  for (const Row& r : rows) {
    EXPECT_NEAR(EqualizerBandGainDb(r.setting), r.db, 1e-9) << r.setting;
    EXPECT_EQ(EqualizerGainText(r.setting), r.shown) << r.setting;
  }
}

}  // namespace
