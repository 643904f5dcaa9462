// Text conversions of the Qt layer: UTF-8 into QString, numbers from edit boxes.
#include "frontend/ui/qt_text.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(QtText, QsKeepsUtf8AndEmbeddedLength) {
  EXPECT_EQ(QString::fromUtf16(u"caf\u00e9 \u4e2d"), Qs(std::string("caf\xc3\xa9 \xe4\xb8\xad")));
  EXPECT_EQ(QString::fromUtf16(u"\U0001F600"), Qs(std::u16string(u"\U0001F600")));
  EXPECT_EQ(3, Qs(std::string("a\0b", 3)).size());
}

TEST(QtText, AtoiCReadsTheLeadingNumberAndSaturates) {
  struct Case {
    const char* in;
    int out;
  };
  const Case cases[] = {
      {"", 0},
      {"abc", 0},
      {"  42 ", 42},
      {"+7", 7},
      {"-15px", -15},
      {"12.9", 12},
      {"- 3", 0},
      {"2147483648", INT_MAX},
      {"-2147483649", INT_MIN},
      {"99999999999999999999", INT_MAX},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, AtoiC(QString::fromUtf8(c.in))) << c.in;
}

}  // namespace
