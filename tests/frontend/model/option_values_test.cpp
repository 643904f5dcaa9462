// Option values: the validator's messages, the keystroke filter, fitting a
// value to its option, and rebuilding a list against LIMIT combinations.
#include "frontend/model/option_values.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frontend/model/param_text.h"

namespace {

OptionDesc Option(const std::string& name, int32_t type, bool editable = false) {
  OptionDesc o;
  o.name = name;
  o.displayName = name;
  o.type = type;
  o.editable = editable ? 1 : 0;
  return o;
}

OptionDesc IntOption(const std::string& name, int32_t min, int32_t max, bool editable = true, int32_t div = 1) {
  OptionDesc o = Option(name, kOptionInt, editable);
  o.minInt = min;
  o.maxInt = max;
  o.div = div;
  return o;
}

OptionDesc FloatOption(const std::string& name, double min, double max, bool editable = true) {
  OptionDesc o = Option(name, kOptionFloat, editable);
  o.minDouble = min;
  o.maxDouble = max;
  return o;
}

OptionDesc ListOption(const std::string& name, int32_t type, const std::string& values, const std::string& def) {
  OptionDesc o = Option(name, type, false);
  o.valueText = values;
  o.values = SplitCommaList(values);
  o.defaultValue = def;
  return o;
}

std::string Text(CParamList& list) { return ParamListText(list); }

std::string Recompute(const ChangedOption* changed, const std::vector<OptionDesc>& options,
                      const std::vector<std::string>& limits, const std::string& current) {
  CParamList result;
  RecomputeOptions(changed, options, limits, current, result);
  return Text(result);
}

ChangedOption ChangedInt(const std::string& key, int32_t v) {
  ChangedOption c;
  c.key = key;
  c.value.type = PARAM_TYPE_INT;
  c.value.intValue = v;
  return c;
}

ChangedOption ChangedDouble(const std::string& key, double v) {
  ChangedOption c;
  c.key = key;
  c.value.type = PARAM_TYPE_DOUBLE;
  c.value.doubleValue = v;
  return c;
}

// The text form of a double entry.
std::string D(double v) {
  CParamList l;
  l.SetDouble("X", v);
  std::string t = Text(l);
  return t.substr(t.find('=') + 1);
}

const char* const kIntMessage = "The input value should be a valid integer number!";
const char* const kFloatMessage = "The input value should be a valid float number!";

TEST(OptionValues, ValidatorMessages) {
  struct Case {
    OptionDesc option;
    std::string value;
    bool accepted;
    std::string message;
  };
  const std::string range0to100 = "The input value should between 0 and 100!";
  const std::string rangeDefault = "The input value should between -2147483648 and 2147483647!";
  const Case cases[] = {
      {IntOption("GOP", 0, 100), "50", true, ""},
      {IntOption("GOP", 0, 100), "1.5", false, kIntMessage},  // pasted decimal
      {IntOption("GOP", 0, 100), "12a", false, kIntMessage},
      {IntOption("GOP", 0, 100), "1-2", false, kIntMessage},
      {IntOption("GOP", 0, 100), " 5", false, kIntMessage},
      {IntOption("GOP", 0, 100), "", false, kIntMessage},
      {IntOption("GOP", 0, 100), "-", false, kIntMessage},
      {IntOption("GOP", 0, 100), "-5", false, range0to100},
      {IntOption("GOP", 0, 100), "101", false, range0to100},
      {IntOption("GOP", 0, 100), "0100", true, ""},
      {IntOption("GOP", INT32_MIN, INT32_MAX), "2147483647", true, ""},
      {IntOption("GOP", INT32_MIN, INT32_MAX), "2147483648", false, rangeDefault},
      {IntOption("GOP", INT32_MIN, INT32_MAX), "-2147483649", false, rangeDefault},
      // Longer than any integer type: the range message, never an overflow.
      {IntOption("GOP", 0, 100), "99999999999999999999999999999", false, range0to100},
      {IntOption("GOP", 0, 100), "-99999999999999999999999999999", false, range0to100},
      // 0 keeps the source's size even below MIN; only the exact keys.
      {IntOption("WIDTH", 16, 1920), "0", true, ""},
      {IntOption("HEIGHT", 16, 1088), "000", true, ""},
      {IntOption("Width", 16, 1920), "0", false, "The input value should between 16 and 1920!"},
      {IntOption("WIDTH", 16, 1920), "8", false, "The input value should between 16 and 1920!"},
      {FloatOption("FRAMERATE", 0, 60), "29.97", true, ""},
      {FloatOption("FRAMERATE", 0, 60), "-.5", false, "The input value should between 0.000000 and 60.000000!"},
      {FloatOption("FRAMERATE", -1, 60), "-.5", true, ""},
      {FloatOption("FRAMERATE", 0, 60), "5.", true, ""},
      {FloatOption("FRAMERATE", 0, 60), "1.2.3", false, kFloatMessage},
      {FloatOption("FRAMERATE", 0, 60), "1e3", false, kFloatMessage},
      {FloatOption("FRAMERATE", 0, 60), ".", false, kFloatMessage},
      {FloatOption("FRAMERATE", 0, 60), "2-5", false, kFloatMessage},
      {FloatOption("FRAMERATE", 0, 60), "61", false, "The input value should between 0.000000 and 60.000000!"},
      {FloatOption("FRAMERATE", 0, 60), "1" + std::string(400, '0'), false,
       "The input value should between 0.000000 and 60.000000!"},
      {FloatOption("FRAMERATE", 0, 60), "0." + std::string(400, '0') + "1", true, ""},  // reads as 0
      {[] {
         OptionDesc o = Option("FCC", kOptionText);
         o.maxInt = 4;
         return o;
       }(),
       "XVIDX", false, "The input string should not be longer than 4!"},
      {[] {
         OptionDesc o = Option("FCC", kOptionText);
         o.maxInt = 4;
         return o;
       }(),
       "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", true, ""},  // four characters, eight bytes
      {Option("FCC", kOptionText), std::string(5000, 'x'), true, ""},
      {Option("ANY", kOptionTypeNone), "what ever", true, ""},
  };
  for (const Case& c : cases) {
    std::string value = c.value, message = "old";
    bool takeBack = true;
    EXPECT_EQ(ValidateOptionValue(value, c.option, takeBack, message), c.accepted)
        << c.option.name << " " << c.value.substr(0, 40);
    EXPECT_EQ(message, c.message) << c.option.name << " " << c.value.substr(0, 40);
    EXPECT_FALSE(takeBack);
    EXPECT_EQ(value, c.value);
  }
}

TEST(OptionValues, KeystrokeFilter) {
  struct Case {
    int32_t type;
    char32_t ch;
    bool passes;
  };
  const Case cases[] = {
      {kOptionInt, U'7', true},   {kOptionInt, U'-', true},       {kOptionInt, 0x08, true},
      {kOptionInt, U'.', false},  {kOptionInt, U'a', false},      {kOptionInt, U' ', false},
      {kOptionInt, U'+', false},  {kOptionInt, U'\u0663', false}, {kOptionFloat, U'.', true},
      {kOptionFloat, U'0', true}, {kOptionFloat, U'e', false},    {kOptionFloat, U',', false},
      {kOptionText, U'.', true},  {kOptionText, U'x', true},      {kOptionText, U'\u00e4', true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OptionCharPasses(c.type, c.ch), c.passes) << c.type << " " << static_cast<uint32_t>(c.ch);
}

TEST(OptionValues, LinkedKeys) {
  for (const char* key : {"FRAMERATE", "bitrate", "Width", "HEIGHT", "SAMPLERATE", "vol", "CHANNEL"})
    EXPECT_TRUE(IsLinkedOptionKey(key)) << key;
  for (const char* key : {"GOP", "FCC", "", "WIDTHX", "VOLUME"}) EXPECT_FALSE(IsLinkedOptionKey(key)) << key;
}

TEST(OptionValues, FitTable) {
  OptionDesc rates = ListOption("BITRATE", kOptionInt, "96,128,160", "128");
  OptionDesc fps = ListOption("FRAMERATE", kOptionFloat, "0,23.976,24,25", "0");
  OptionDesc fcc = ListOption("FCC", kOptionText, "XVID,DIVX", "XVID");
  OptionDesc editableText = Option("TITLE", kOptionText, true);
  editableText.defaultValue = "none";
  OptionDesc empty = ListOption("EMPTY", kOptionInt, "", "7");
  OptionDesc clampFps = FloatOption("FRAMERATE", 1, 60);
  clampFps.defaultValue = "25";
  struct Case {
    OptionDesc option;
    std::string source;
    std::string expected;  // the result's text
  };
  const Case cases[] = {
      // Editable integers: clamped, then cut to a multiple of DIV toward zero.
      {IntOption("X", INT32_MIN, INT32_MAX, true, 16), "\"X\"=725", "\"X\"=720"},
      {IntOption("X", INT32_MIN, INT32_MAX, true, 4), "\"X\"=-7", "\"X\"=-4"},
      {IntOption("X", INT32_MIN, INT32_MAX, true, 4), "\"X\"=8", "\"X\"=8"},
      {IntOption("X", 16, 1920, true, 2), "\"X\"=5000", "\"X\"=1920"},
      {IntOption("X", 16, 1920, true, 2), "\"X\"=3", "\"X\"=16"},
      {IntOption("X", 16, 1920, true, 2), "\"X\"=0", "\"X\"=16"},
      {IntOption("WIDTH", 16, 1920, true, 16), "\"width\"=0", "\"WIDTH\"=0"},
      {IntOption("HEIGHT", 16, 1088, true, 2), "\"HEIGHT\"=0", "\"HEIGHT\"=0"},
      // Pick-only values: the nearest allowed one, the earlier on a tie.
      {rates, "\"BITRATE\"=130", "\"BITRATE\"=128"},
      {rates, "\"BITRATE\"=144", "\"BITRATE\"=128"},
      {rates, "\"BITRATE\"=145", "\"BITRATE\"=160"},
      {rates, "\"BITRATE\"=-2147483648", "\"BITRATE\"=96"},
      {empty, "\"EMPTY\"=5", "\"EMPTY\"=0"},
      {fps, "\"FRAMERATE\"=" + D(24.5), "\"FRAMERATE\"=" + D(24.0)},
      {fps, "\"FRAMERATE\"=" + D(23.9), "\"FRAMERATE\"=" + D(23.976)},
      {clampFps, "\"FRAMERATE\"=" + D(100.0), "\"FRAMERATE\"=" + D(60.0)},
      // Texts: editable kept, pick-only only when allowed.
      {fcc, "\"FCC\"=\"DIVX\"", "\"FCC\"=\"DIVX\""},
      {fcc, "\"FCC\"=\"divx\"", "\"FCC\"=\"XVID\""},
      {editableText, "\"TITLE\"=\"any\"", "\"TITLE\"=\"any\""},
      // Absent, or of another type: DEFAULT read by TYPE.
      {rates, "", "\"BITRATE\"=128"},
      {rates, "\"BITRATE\"=F128", "\"BITRATE\"=128"},
      {fps, "\"FRAMERATE\"=25", "\"FRAMERATE\"=" + D(0.0)},
      {clampFps, "\"FRAMERATE\"=D000000000000F87F", "\"FRAMERATE\"=" + D(25.0)},  // NaN
      {editableText, "\"TITLE\"=3", "\"TITLE\"=\"none\""},
  };
  for (const Case& c : cases) {
    CParamList source, result;
    ParseParamText(source, c.source);
    FitOptionValue(c.option, source, result);
    EXPECT_EQ(Text(result), c.expected) << c.option.name << " from " << c.source;
  }
}

TEST(OptionValues, DescriptorNumbersAreReadLeniently) {
  EXPECT_EQ(LeadingInt("  42abc"), 42);
  EXPECT_EQ(LeadingInt("-17"), -17);
  EXPECT_EQ(LeadingInt("+5"), 5);
  EXPECT_EQ(LeadingInt("abc"), 0);
  EXPECT_EQ(LeadingInt("99999999999999999999999"), INT32_MAX);
  EXPECT_EQ(LeadingInt("-99999999999999999999999"), INT32_MIN);
  EXPECT_DOUBLE_EQ(LeadingDouble("29.97fps"), 29.97);
  EXPECT_DOUBLE_EQ(LeadingDouble(""), 0.0);
  EXPECT_EQ(FormatFixed6(25.0), "25.000000");
  EXPECT_EQ(FormatFixed6(-2147483648.0), "-2147483648.000000");
}

TEST(OptionValues, ShownValues) {
  CParamList list;
  ParseParamText(list, "\"W\"=720,\"F\"=F29.97,\"S\"=\"" + std::string(100, 'a') + "\",\"P\"=P0000000000000010");
  EXPECT_EQ(FormatOptionValue(list, "w"), "720");
  EXPECT_EQ(FormatOptionValue(list, "F"), "29.970000");
  EXPECT_EQ(FormatOptionValue(list, "S"), std::string(63, 'a'));
  EXPECT_EQ(FormatOptionValue(list, "P"), "");
  EXPECT_EQ(FormatOptionValue(list, "NONE"), "");
  // A text is never cut inside a character.
  CParamList utf8;
  utf8.SetString("S", (std::string(62, 'a') + "\xC3\xA4").c_str());
  EXPECT_EQ(FormatOptionValue(utf8, "S"), std::string(62, 'a'));

  CParamList stored;
  StoreOptionValue(stored, IntOption("GOP", 0, 600), "250");
  StoreOptionValue(stored, FloatOption("FRAMERATE", 0, 60), "29.97");
  StoreOptionValue(stored, Option("FCC", kOptionText), "XVID");
  EXPECT_EQ(Text(stored), "\"GOP\"=250,\"FRAMERATE\"=" + D(29.97) + ",\"FCC\"=\"XVID\"");
}

// The frame sizes of an H.263-like codec, which only allows these pairs.
std::vector<OptionDesc> SizeOptions() {
  return {ListOption("WIDTH", kOptionInt, "128,176,352,704", "176"),
          ListOption("HEIGHT", kOptionInt, "96,144,288,576", "144"), IntOption("BITRATE", 32, 2048)};
}
const std::vector<std::string> kSizeLimits = {"\"WIDTH\"=128,\"HEIGHT\"=96", "\"WIDTH\"=176,\"HEIGHT\"=144",
                                              "\"WIDTH\"=352,\"HEIGHT\"=288", "\"WIDTH\"=704,\"HEIGHT\"=576"};

TEST(OptionValues, WithoutLimitsEveryOptionIsFitted) {
  EXPECT_EQ(Recompute(nullptr, SizeOptions(), {}, "\"HEIGHT\"=300,\"WIDTH\"=350,\"OTHER\"=1"),
            "\"WIDTH\"=352,\"HEIGHT\"=288,\"BITRATE\"=0");  // no DEFAULT: 0
}

TEST(OptionValues, ChangedValuePicksTheCombinationThatHoldsIt) {
  ChangedOption width = ChangedInt("WIDTH", 352);
  EXPECT_EQ(Recompute(&width, SizeOptions(), kSizeLimits, "\"WIDTH\"=352,\"HEIGHT\"=144,\"BITRATE\"=128"),
            "\"WIDTH\"=352,\"HEIGHT\"=288,\"BITRATE\"=128");
  ChangedOption height = ChangedInt("height", 96);
  EXPECT_EQ(Recompute(&height, SizeOptions(), kSizeLimits, "\"WIDTH\"=704,\"HEIGHT\"=96,\"BITRATE\"=128"),
            "\"WIDTH\"=128,\"HEIGHT\"=96,\"BITRATE\"=128");
  // Without a change, the nearest combination to the current pair.
  EXPECT_EQ(Recompute(nullptr, SizeOptions(), kSizeLimits, "\"WIDTH\"=700,\"HEIGHT\"=500"),
            "\"WIDTH\"=704,\"HEIGHT\"=576,\"BITRATE\"=0");
}

TEST(OptionValues, ChangedKeyNoCombinationHoldsTakesTheNearestByTheOthers) {
  // Combinations of height and bit rate only; the width is fitted on its own.
  const std::vector<std::string> limits = {"\"HEIGHT\"=144,\"BITRATE\"=64", "\"HEIGHT\"=288,\"BITRATE\"=256",
                                           "\"HEIGHT\"=576,\"BITRATE\"=1024"};
  ChangedOption width = ChangedInt("WIDTH", 350);
  EXPECT_EQ(Recompute(&width, SizeOptions(), limits, "\"WIDTH\"=350,\"HEIGHT\"=300,\"BITRATE\"=200"),
            "\"WIDTH\"=352,\"HEIGHT\"=288,\"BITRATE\"=256");
  // Every combination holds the key with another value: all score alike and
  // the first one is taken.
  ChangedOption odd = ChangedInt("WIDTH", 500);
  CParamList current;
  ParseParamText(current, "\"WIDTH\"=500,\"HEIGHT\"=576");
  EXPECT_EQ(ChooseLimitEntry(&odd, kSizeLimits, current), 0);
  EXPECT_EQ(ChooseLimitEntry(nullptr, {}, current), -1);
}

TEST(OptionValues, FrameRateChangeSnapsToItsCombinationOrOneWithoutARate) {
  std::vector<OptionDesc> options = {FloatOption("FRAMERATE", 0, 60), IntOption("WIDTH", 16, 1920),
                                     IntOption("HEIGHT", 16, 1088)};
  const std::vector<std::string> limits = {
      "\"FRAMERATE\"=F25,\"WIDTH\"=720,\"HEIGHT\"=576",
      "\"FRAMERATE\"=" + D(29.97) + ",\"WIDTH\"=720,\"HEIGHT\"=480",
      "\"WIDTH\"=352,\"HEIGHT\"=288",
  };
  const std::string current = "\"FRAMERATE\"=" + D(29.97) + ",\"WIDTH\"=720,\"HEIGHT\"=576";
  ChangedOption ntsc = ChangedDouble("FRAMERATE", 29.97001);  // within the tolerance
  EXPECT_EQ(Recompute(&ntsc, options, limits, current), "\"FRAMERATE\"=" + D(29.97) + ",\"WIDTH\"=720,\"HEIGHT\"=480");
  ChangedOption fifteen = ChangedDouble("FRAMERATE", 15.0);
  EXPECT_EQ(Recompute(&fifteen, options, limits, "\"FRAMERATE\"=F15,\"WIDTH\"=720,\"HEIGHT\"=576"),
            "\"FRAMERATE\"=" + D(15.0) + ",\"WIDTH\"=352,\"HEIGHT\"=288");
}

TEST(OptionValues, BitrateDoublesWeighTenfoldLess) {
  // Current: 32 kb/s at 44.1 kHz. A is far in bit rate, B nearer in rate but
  // off in sample rate. As doubles the bit rate counts a tenth and A wins; as
  // integers it counts fully and B wins.
  CParamList current;
  ParseParamText(current, "\"BITRATE\"=F32,\"SAMPLERATE\"=44100");
  EXPECT_EQ(ChooseLimitEntry(nullptr, {"\"BITRATE\"=F320,\"SAMPLERATE\"=44100", "\"BITRATE\"=F32,\"SAMPLERATE\"=32000"},
                             current),
            0);
  CParamList currentInt;
  ParseParamText(currentInt, "\"BITRATE\"=32,\"SAMPLERATE\"=44100");
  EXPECT_EQ(ChooseLimitEntry(nullptr, {"\"BITRATE\"=320,\"SAMPLERATE\"=44100", "\"BITRATE\"=32,\"SAMPLERATE\"=32000"},
                             currentInt),
            1);
}

TEST(OptionValues, TextsAndOddEntriesInCombinations) {
  std::vector<OptionDesc> options = {ListOption("FCC", kOptionText, "XVID,DIVX,MP4V", "XVID"),
                                     IntOption("BITRATE", 1, 10000)};
  const std::vector<std::string> limits = {"\"FCC\"=\"XVID\",\"BITRATE\"=800", "\"FCC\"=\"DIVX\",\"BITRATE\"=900"};
  EXPECT_EQ(Recompute(nullptr, options, limits, "\"FCC\"=\"DIVX\",\"BITRATE\"=800"),
            "\"FCC\"=\"DIVX\",\"BITRATE\"=900");  // a differing text counts 1
  // A garbled or pointer-valued combination never crashes nor copies a pointer.
  const std::vector<std::string> odd = {"\"FCC\"=P00000000DEADBEEF,\"BITRATE", "garbage==,,\"\""};
  CParamList result;
  RecomputeOptions(nullptr, options, odd, "\"FCC\"=\"MP4V\",\"BITRATE\"=5", result);
  EXPECT_EQ(result.GetType("FCC"), PARAM_TYPE_STRING);
  EXPECT_EQ(GetText(result, "FCC"), "MP4V");
  EXPECT_EQ(result.GetInt("BITRATE", 0), 5);
}

}  // namespace
