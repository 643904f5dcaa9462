// UTF-16 <-> UTF-8: well-formed texts round-trip, anything malformed becomes U+FFFD.
#include "platform/utf_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(UtfText, Utf16ToUtf8) {
  struct Case {
    const char* label;
    std::u16string in;
    std::string out;
  };
  const Case cases[] = {
      {"ascii", u"abc", "abc"},
      {"two and three bytes", u"\u00e9\u4e2d", "\xc3\xa9\xe4\xb8\xad"},
      {"surrogate pair", u"\U0001F600", "\xf0\x9f\x98\x80"},
      {"lone high surrogate", std::u16string{u'a', char16_t(0xD83D), u'b'},
       "a\xef\xbf\xbd"
       "b"},
      {"lone low surrogate", std::u16string{char16_t(0xDE00)}, "\xef\xbf\xbd"},
      {"high surrogate at the end", std::u16string{u'x', char16_t(0xD800)}, "x\xef\xbf\xbd"},
      {"reversed pair", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xef\xbf\xbd\xef\xbf\xbd"},
      {"ends at NUL", std::u16string{u'a', 0, u'b'}, "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, Utf16ToUtf8(c.in)) << c.label;
  const char16_t field[4] = {u'a', u'b', u'c', u'd'};  // full, no terminator
  EXPECT_EQ("abcd", Utf16FieldToUtf8(field, 4));
  EXPECT_EQ("ab", Utf16FieldToUtf8(field, 2));
}

TEST(UtfText, Utf8ToUtf16) {
  struct Case {
    const char* label;
    std::string in;
    std::u16string out;
    bool valid;
  };
  const std::u16string r(1, char16_t(0xFFFD));
  const Case cases[] = {
      {"ascii", "abc", u"abc", true},
      {"two and three bytes", "\xc3\xa9\xe4\xb8\xad", u"\u00e9\u4e2d", true},
      {"four bytes", "\xf0\x9f\x98\x80", u"\U0001F600", true},
      {"highest code point", "\xf4\x8f\xbf\xbf", u"\U0010FFFF", true},
      {"overlong slash", "\xc0\xaf", r + r, false},
      {"overlong three bytes", "\xe0\x80\xaf", r, false},
      {"overlong four bytes", "\xf0\x80\x80\xaf", r, false},
      {"UTF-8 surrogate", "\xed\xa0\x80", r, false},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", r, false},
      {"stray continuation",
       "a\x80"
       "b",
       u"a" + r + u"b", false},
      {"truncated at the end", "a\xe4\xb8", u"a" + r, false},
      {"truncated before ASCII",
       "\xe4"
       "b",
       r + u"b", false},
      {"invalid lead byte", "\xff", r, false},
  };
  for (const Case& c : cases) {
    bool valid = !c.valid;
    EXPECT_EQ(c.out, Utf8ToUtf16(c.in, &valid)) << c.label;
    EXPECT_EQ(c.valid, valid) << c.label;
  }
}

TEST(UtfText, BoundedCopyCutsOnCharacterBoundaries) {
  const std::string text = "ab\xc3\xa9\xe4\xb8\xad";
  char out[6];
  CopyUtf8Bounded(text, out, sizeof out);
  EXPECT_STREQ("ab\xc3\xa9", out);  // the 3-byte character does not fit
  char big[16];
  CopyUtf8Bounded(text, big, sizeof big);
  EXPECT_EQ(text, big);
  char one[1] = {'x'};
  CopyUtf8Bounded(text, one, 1);
  EXPECT_EQ('\0', one[0]);
}

TEST(UtfText, CutNeverSplitsACharacter) {
  struct Case {
    std::string_view in;
    size_t bytes;
    std::string_view out;
  };
  const Case cases[] = {
      {"abc", 5, "abc"},
      {"abc", 3, "abc"},
      {"abc", 0, ""},
      {"a\xc3\xa9", 2, "a"},                            // inside a 2-byte character
      {"\xe4\xb8\xad\xe4\xb8\xad", 5, "\xe4\xb8\xad"},  // inside the second 3-byte one
      {"\xf0\x9f\x98\x80", 3, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, CutUtf8(c.in, c.bytes)) << c.in << " / " << c.bytes;
}

}  // namespace
