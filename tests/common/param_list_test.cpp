#include "common/param_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string TextOf(CParamList& list) {
  char* text = list.ToText();
  EXPECT_NE(text, nullptr);
  std::string out = text != nullptr ? text : "";
  list.FreeText(text);
  return out;
}

std::u16string WideOf(CParamList& list, const char* key) {
  char16_t buf[256];
  const int32_t n = list.GetWString(key, buf, 256, nullptr);
  return std::u16string(buf, static_cast<size_t>(n));
}

// Expected entry after parsing; value in the field matching the type.
struct Expect {
  std::string key;
  int32_t type;
  int32_t i = 0;
  double d = 0;
  std::string s = {};
  std::u16string w = {};
  void* p = nullptr;
};

Expect Int(std::string k, int32_t v) { return {std::move(k), PARAM_TYPE_INT, v}; }
Expect Dbl(std::string k, double v) { return {std::move(k), PARAM_TYPE_DOUBLE, 0, v}; }
Expect Str(std::string k, std::string v) { return {std::move(k), PARAM_TYPE_STRING, 0, 0, std::move(v)}; }
Expect Wide(std::string k, std::u16string v) { return {std::move(k), PARAM_TYPE_WSTRING, 0, 0, {}, std::move(v)}; }
Expect Ptr(std::string k, void* v) { return {std::move(k), PARAM_TYPE_PTR, 0, 0, {}, {}, v}; }

void ExpectEntries(CParamList& list, const std::vector<Expect>& want, const std::string& ctx) {
  SCOPED_TRACE(ctx);
  ASSERT_EQ(list.GetCount(), static_cast<int32_t>(want.size()));
  POSITION pos = list.GetHeadPosition();
  for (const Expect& e : want) {
    ASSERT_NE(pos, nullptr);
    char key[256];
    int32_t type = -1;
    ASSERT_EQ(list.GetAt(pos, key, sizeof(key), &type), static_cast<int32_t>(e.key.size()));
    EXPECT_EQ(std::string(key), e.key);
    ASSERT_EQ(type, e.type) << "key " << e.key;
    switch (type) {
      case PARAM_TYPE_INT:
        EXPECT_EQ(list.GetInt(key, -777), e.i);
        break;
      case PARAM_TYPE_DOUBLE:
        if (std::isnan(e.d)) {
          EXPECT_TRUE(std::isnan(list.GetDouble(key, 0)));
        } else {
          EXPECT_EQ(list.GetDouble(key, -777.0), e.d);
        }
        break;
      case PARAM_TYPE_STRING:
        EXPECT_EQ(std::string(list.GetStringPtr(key)), e.s);
        break;
      case PARAM_TYPE_WSTRING:
        EXPECT_EQ(WideOf(list, key), e.w);
        break;
      case PARAM_TYPE_PTR:
        EXPECT_EQ(list.GetPtr(key, nullptr), e.p);
        break;
    }
    pos = list.GetNext(pos);
  }
  EXPECT_EQ(pos, nullptr);
}

struct ParseCase {
  const char* text;
  std::vector<Expect> want;
};

TEST(ParamText, ParsesEdgeCases) {
  const std::vector<ParseCase> cases = {
      {"", {}},
      {"no quotes at all", {}},
      {"\"A\"=", {Int("A", 0)}},
      {"\"a\"=1,\"A\"=\"x\"", {Str("a", "x")}},
      {"\"a\"=1,\"b\"=2,\"A\"=3", {Int("a", 3), Int("b", 2)}},
      {"\"v\"=F2.5", {Dbl("v", 2.5)}},
      {"\"GAMMA\"=F1", {Dbl("GAMMA", 1.0)}},
      {"\"v\"=F", {Dbl("v", 0.0)}},
      {"\"v\"=F-1e3,\"z\"=1", {Dbl("v", -1000.0), Int("z", 1)}},
      {"\"v\"=D000000000000F03F", {Dbl("v", 1.0)}},
      {"\"v\"=d0000000000003940", {Int("v", 0)}},  // only upper-case type letters
      {"\"v\"=D0000000000003940", {Dbl("v", 25.0)}},
      {"\"v\"=D000000000000f03f", {Dbl("v", 1.0)}},
      {"\"v\"=DXYZ", {Dbl("v", 0.0)}},
      {"\"v\"=D000000000000F0", {Dbl("v", 0.0)}},  // text ends inside the digits
      {"\"w\"=L\"410042\"", {Wide("w", u"A")}},
      {"\"w\"=L\"41004200\"", {Wide("w", u"AB")}},
      {"\"w\"=L\"\"", {Wide("w", u"")}},
      {"\"w\"=L\"41004\"", {Wide("w", u"")}},     // odd digit count
      {"\"w\"=L\"4100zz00\"", {Wide("w", u"")}},  // not hex
      {"\"w\"=L\"41000000420\",\"n\"=4", {Wide("w", u""), Int("n", 4)}},
      {"\"w\"=L\"4100000042000000\"", {Wide("w", u"A")}},  // a NUL unit ends the text
      {"\"k\"  =  5", {Int("k", 5)}},
      {"\"k\" junk = \t\n7", {Int("k", 7)}},
      {"junk \"a\"=1", {Int("a", 1)}},
      {"\"n\"=+12abc,\"m\"=abc", {Int("n", 12), Int("m", 0)}},
      {"\"n\"=2147483647,\"m\"=-2147483648", {Int("n", INT32_MAX), Int("m", INT32_MIN)}},
      {"\"n\"=2147483648,\"m\"=-2147483649", {Int("n", INT32_MAX), Int("m", INT32_MIN)}},
      {"\"n\"=99999999999999999999999,\"m\"=-99999999999999999999999", {Int("n", INT32_MAX), Int("m", INT32_MIN)}},
      {"\"s\"=\"a,b\",\"t\"=2", {Str("s", "a,b"), Int("t", 2)}},
      {"\"s\"=\"q\\\"uo\\\\te\\x\"", {Str("s", "q\"uo\\te")}},
      {"\"k\\\"q\\\\z\\x\"=1", {Int("k\"q\\z", 1)}},
      {"\"\"=1", {Int("", 1)}},
      {"\"p\"=P0100000000000000,\"q\"=2", {Int("q", 2)}},  // no address from a text
      // Malformed: entries before the fault stay, nothing after it is read.
      {"\"a\"=1,\"b\"=\"unterminated", {Int("a", 1)}},
      {"\"a\"=1,\"b", {Int("a", 1)}},
      {"\"a\"=1,\"b\"", {Int("a", 1)}},
      {"\"a\"=1,\"b\"=L\"41", {Int("a", 1)}},
      {"\"a\"=1,\"b\"=L", {Int("a", 1)}},
      {"\"a\"=1 \"b\"=2", {Int("a", 1)}},
      {"\"a\"=1\\", {Int("a", 1)}},
      {"\"a\"=1,\\", {Int("a", 1)}},
      {"\"a\"=\"x\\", {}},
      {"\\\"a\"=1", {}},  // the escaped quote starts no key
  };
  for (const ParseCase& c : cases) {
    CParamList list;
    list.SetInt("left over", 9);
    list.ParseText(c.text);
    ExpectEntries(list, c.want, std::string("text: ") + c.text);
  }
}

TEST(ParamText, WritesTheDocumentedForm) {
  CParamList list;
  EXPECT_EQ(TextOf(list), "");
  list.SetInt("BITRATE", 128000);
  list.SetString("NAME", "a\"b");
  EXPECT_EQ(TextOf(list), "\"BITRATE\"=128000,\"NAME\"=\"a\\\"b\"");

  list.Clear();
  list.SetDouble("one", 1.0);
  list.SetDouble("rate", 25.0);
  list.SetWString("w", u"AB");
  list.SetInt("neg", -42);
  list.SetInt("min", INT32_MIN);
  list.SetString("k\\ey", "back\\slash");
  EXPECT_EQ(TextOf(list),
            "\"one\"=D000000000000F03F,\"rate\"=D0000000000003940,\"w\"=L\"41004200\","
            "\"neg\"=-42,\"min\"=-2147483648,\"k\\\\ey\"=\"back\\\\slash\"");

  list.Clear();
  list.SetPtr("fn", reinterpret_cast<void*>(uintptr_t{0x0123456789ABCDEFull}));
  list.SetWString("hi", u"\u20AC\U0001F600");
  EXPECT_EQ(TextOf(list), "\"fn\"=PEFCDAB8967452301,\"hi\"=L\"AC203DD800DE\"");
}

TEST(ParamText, EveryTypeRoundTripsByteForByte) {
  CParamList list;
  list.SetInt("int", 0);
  list.SetInt("max", INT32_MAX);
  list.SetInt("min", INT32_MIN);
  list.SetDouble("pi", 3.14159265358979);
  list.SetDouble("negzero", -0.0);
  list.SetDouble("inf", std::numeric_limits<double>::infinity());
  list.SetDouble("nan", std::numeric_limits<double>::quiet_NaN());
  list.SetDouble("tiny", std::numeric_limits<double>::denorm_min());
  list.SetString("empty", "");
  list.SetString("tricky", "a,b=\"c\"\\d\\\\\" ,\"x\"=1");
  list.SetString("utf8 \xC3\xA4", "\xE2\x82\xAC \n\t");
  list.SetString("key, with \"quotes\" and \\", "v");
  list.SetString("=", ",");
  list.SetWString("wide", u"\u00E4\uFFFF\U0001F600,\"\\");
  list.SetWString("wempty", u"");

  const std::string text = TextOf(list);
  CParamList back;
  back.ParseText(text.c_str());
  EXPECT_EQ(TextOf(back), text);
  ExpectEntries(
      back,
      {Int("int", 0), Int("max", INT32_MAX), Int("min", INT32_MIN), Dbl("pi", 3.14159265358979), Dbl("negzero", -0.0),
       Dbl("inf", std::numeric_limits<double>::infinity()), Dbl("nan", std::numeric_limits<double>::quiet_NaN()),
       Dbl("tiny", std::numeric_limits<double>::denorm_min()), Str("empty", ""),
       Str("tricky", "a,b=\"c\"\\d\\\\\" ,\"x\"=1"), Str("utf8 \xC3\xA4", "\xE2\x82\xAC \n\t"),
       Str("key, with \"quotes\" and \\", "v"), Str("=", ","), Wide("wide", u"\u00E4\uFFFF\U0001F600,\"\\"),
       Wide("wempty", u"")},
      "round trip");
  EXPECT_TRUE(std::signbit(back.GetDouble("negzero", 1)));
}

// Addresses come from code only: a text shows one but never sets one, while an
// in-process copy keeps them.
TEST(ParamText, PointersNeverComeFromText) {
  CParamList list;
  list.SetInt("a", 1);
  list.SetPtr("ptr", &list);
  list.SetString("b", "x");
  CParamList back;
  back.ParseText(TextOf(list).c_str());
  ExpectEntries(back, {Int("a", 1), Str("b", "x")}, "written and read back");

  struct Case {
    const char* text;
    std::vector<Expect> entries;
  } cases[] = {
      {"\"SAMPLE\"=P4141414141414141", {}},
      {"\"VFCC\"=1,\"DATA\"=P4141414141414141,\"DATALEN\"=4096", {Int("VFCC", 1), Int("DATALEN", 4096)}},
      {"\"p\"=p0000000000000000,\"q\"=  P", {Int("p", 0)}},  // lower case is an integer
      {"\"DATA\"=7,\"DATA\"=P4141414141414141", {Int("DATA", 7)}},
      {"\"X\"=P41,\"Y\"=\"ok\"", {Str("Y", "ok")}},
  };
  for (const Case& c : cases) {
    CParamList parsed;
    parsed.SetPtr("SAMPLE", &parsed);  // replaced whole by the text
    parsed.ParseText(c.text);
    ExpectEntries(parsed, c.entries, c.text);
    EXPECT_EQ(parsed.GetPtr("SAMPLE", nullptr), nullptr);
    EXPECT_EQ(parsed.GetPtr("DATA", nullptr), nullptr);
  }

  CParamList from;
  from.SetPtr("fn", reinterpret_cast<void*>(uintptr_t{0x0123456789ABCDEFull}));
  from.SetInt("n", -3);
  from.SetDouble("d", 2.5);
  from.SetString("s", "text");
  from.SetWString("w", u"wide");
  CParamList copy;
  copy.SetInt("gone", 1);
  copy.CopyFrom(from);
  ExpectEntries(copy,
                {Ptr("fn", reinterpret_cast<void*>(uintptr_t{0x0123456789ABCDEFull})), Int("n", -3), Dbl("d", 2.5),
                 Str("s", "text"), Wide("w", u"wide")},
                "copy");
  copy.CopyFrom(copy);  // itself: unchanged
  EXPECT_EQ(copy.GetCount(), 5);
}

TEST(ParamList, SettersReplaceInPlaceKeepingFirstSpelling) {
  CParamList list;
  list.SetInt("Alpha", 1);
  list.SetString("beta", "b");
  list.SetWString("gamma", u"g");
  EXPECT_EQ(list.GetCount(), 3);
  list.SetDouble("ALPHA", 2.5);  // any type replaces any other
  list.SetInt("BETA", 7);        // frees the old text
  list.SetString("Gamma", "now narrow");
  ExpectEntries(list, {Dbl("Alpha", 2.5), Int("beta", 7), Str("gamma", "now narrow")}, "replaced");
  EXPECT_EQ(list.GetType("ALPHA"), PARAM_TYPE_DOUBLE);
  EXPECT_EQ(list.GetType("missing"), PARAM_TYPE_NONE);

  // Setting a key from its own stored text must not read freed memory.
  list.SetString("gamma", list.GetStringPtr("gamma"));
  EXPECT_STREQ(list.GetStringPtr("gamma"), "now narrow");
  list.SetString("gamma", list.GetStringPtr("gamma") + 4);
  EXPECT_STREQ(list.GetStringPtr("gamma"), "narrow");
}

TEST(ParamList, TypedGettersNeverConvert) {
  CParamList list;
  list.SetInt("i", 5);
  list.SetDouble("d", 1.5);
  list.SetString("s", "text");
  list.SetWString("w", u"wide");
  list.SetPtr("p", &list);
  EXPECT_EQ(list.GetInt("s", -1), -1);
  EXPECT_EQ(list.GetInt("d", -1), -1);
  EXPECT_EQ(list.GetInt("p", -1), -1);
  EXPECT_EQ(list.GetDouble("i", -1.0), -1.0);
  EXPECT_EQ(list.GetPtr("i", nullptr), nullptr);
  EXPECT_STREQ(list.GetStringPtr("w"), "");
  EXPECT_STREQ(list.GetStringPtr("missing"), "");
  char buf[8];
  EXPECT_EQ(list.GetString("w", buf, sizeof(buf), "dflt"), 4);
  EXPECT_STREQ(buf, "dflt");
  char16_t wbuf[8];
  EXPECT_EQ(list.GetWString("s", wbuf, 8, nullptr), 0);
  EXPECT_EQ(wbuf[0], 0);
  EXPECT_EQ(list.GetInt("I", 0), 5);  // case-blind keys
}

TEST(ParamList, StringGettersBoundTheirCopies) {
  CParamList list;
  list.SetString("s", "abcdef");
  list.SetWString("w", u"abcdef");

  struct Case {
    const char* key;
    int32_t capacity;
    const char* def;
    const char* want;
    int32_t ret;
  };
  const Case cases[] = {
      {"s", 4, nullptr, "abc", 3},   {"s", 7, nullptr, "abcdef", 6}, {"s", 6, nullptr, "abcde", 5},
      {"s", 1, nullptr, "", 0},      {"x", 8, nullptr, "", 0},       {"x", 8, "default", "default", 7},
      {"x", 4, "default", "def", 3}, {"x", 1, "default", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " capacity " + std::to_string(c.capacity));
    char buf[16];
    std::memset(buf, '#', sizeof(buf));
    EXPECT_EQ(list.GetString(c.key, buf, c.capacity, c.def), c.ret);
    EXPECT_STREQ(buf, c.want);
    EXPECT_EQ(buf[c.capacity], '#');  // nothing written past the capacity
  }

  // A capacity of 0 or less copies nothing at all.
  for (int32_t capacity : {0, -1, INT32_MIN}) {
    char guard[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(list.GetString("s", guard + 2, capacity, "d"), 0);
    EXPECT_EQ(list.GetString("x", guard + 2, capacity, nullptr), 0);
    char16_t wguard[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(list.GetWString("w", wguard + 2, capacity, nullptr), 0);
    for (char g : guard) EXPECT_EQ(g, '#');
    for (char16_t g : wguard) EXPECT_EQ(g, u'#');
  }

  char16_t wbuf[8];
  std::fill(std::begin(wbuf), std::end(wbuf), u'#');
  EXPECT_EQ(list.GetWString("w", wbuf, 4, nullptr), 3);
  EXPECT_EQ(std::u16string(wbuf), u"abc");
  EXPECT_EQ(wbuf[4], u'#');
  EXPECT_EQ(list.GetWString("x", wbuf, 8, u"dflt"), 4);
  EXPECT_EQ(std::u16string(wbuf), u"dflt");
}

TEST(ParamList, WalkRemoveAndFind) {
  CParamList list;
  list.SetInt("first", 1);
  list.SetInt("second", 2);
  list.SetInt("third", 3);
  list.SetInt("fourth", 4);

  POSITION pos = list.Find("SECOND");
  ASSERT_NE(pos, nullptr);
  char small[6];
  int32_t type = -1;
  std::memset(small, '#', sizeof(small));
  EXPECT_EQ(list.GetAt(pos, small, 6, &type), 7);  // "second" needs 7
  EXPECT_EQ(small[0], '#');
  EXPECT_EQ(type, -1);
  char fits[7];
  EXPECT_EQ(list.GetAt(pos, fits, 7, &type), 6);
  EXPECT_STREQ(fits, "second");
  EXPECT_EQ(type, PARAM_TYPE_INT);
  EXPECT_EQ(list.GetAt(pos, fits, 0, &type), 7);
  EXPECT_EQ(list.Find("fifth"), nullptr);

  list.Remove("Second");
  list.Remove("fifth");  // absent: nothing
  ExpectEntries(list, {Int("first", 1), Int("third", 3), Int("fourth", 4)}, "middle removed");
  list.Remove("first");
  list.Remove("fourth");
  ExpectEntries(list, {Int("third", 3)}, "ends removed");
  list.SetInt("fifth", 5);
  ExpectEntries(list, {Int("third", 3), Int("fifth", 5)}, "appended after removal");
  list.Clear();
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetHeadPosition(), nullptr);
  EXPECT_EQ(TextOf(list), "");
}

TEST(ParamList, ParseTextAcceptsItsOwnValue) {
  CParamList list;
  list.SetString("inner", "\"a\"=1,\"b\"=\"two\"");
  list.ParseText(list.GetStringPtr("inner"));
  ExpectEntries(list, {Int("a", 1), Str("b", "two")}, "own value");
  list.ParseText(nullptr);
  EXPECT_EQ(list.GetCount(), 0);
}

TEST(ParamList, DumpPrintsEveryEntry) {
  CParamList list;
  list.SetInt("i", -3);
  list.SetDouble("d", 2.5);
  list.SetString("s", "x y");
  list.SetWString("w", u"\u00E4b");
  testing::internal::CaptureStdout();
  list.Dump();
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "i=[INT]-3\nd=[DOUBLE]2.500000\ns=[STRING]x y\nw=[WSTRING]\xC3\xA4"
            "b\n");
}

}  // namespace
