// The parameter text does not change when the process locale writes and
// reads numbers with a decimal comma.
#include "common/param_list.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Switches to a decimal-comma locale; generates one under the build folder
// with localedef when the system has none installed.
bool UseDecimalCommaLocale() {
  const char* const kNames[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"};
  for (const char* name : kNames) {
    if (std::setlocale(LC_ALL, name) != nullptr) return true;
  }
  const std::string dir = std::string(TRIVOX_BINARY_DIR) + "/locales";
  ::mkdir(dir.c_str(), 0755);
  const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
  const int status = std::system(cmd.c_str());
  // localedef reports warnings with exit status 1 while still writing the locale.
  if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) > 1) return false;
  ::setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

std::string TextOf(CParamList& list) {
  char* text = list.ToText();
  std::string out = text != nullptr ? text : "";
  list.FreeText(text);
  return out;
}

TEST(ParamTextLocale, DecimalCommaChangesNothing) {
  if (!UseDecimalCommaLocale()) GTEST_SKIP() << "no decimal-comma locale available";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  char check[16];
  std::snprintf(check, sizeof(check), "%.1f", 2.5);
  ASSERT_STREQ(check, "2,5");  // the locale is in effect

  CParamList list;
  list.SetInt("BITRATE", -128000);
  list.SetDouble("RATE", 2.5);
  list.SetDouble("ONE", 1.0);
  const std::string text = TextOf(list);
  EXPECT_EQ(text, "\"BITRATE\"=-128000,\"RATE\"=D0000000000000440,\"ONE\"=D000000000000F03F");

  list.ParseText("\"GAMMA\"=F1,\"X\"=F2.5,\"Y\"=F-0.125e1,\"N\"=1234");
  EXPECT_EQ(list.GetDouble("GAMMA", 0), 1.0);
  EXPECT_EQ(list.GetDouble("X", 0), 2.5);
  EXPECT_EQ(list.GetDouble("Y", 0), -1.25);
  EXPECT_EQ(list.GetInt("N", 0), 1234);

  list.ParseText(text.c_str());
  EXPECT_EQ(TextOf(list), text);

  testing::internal::CaptureStdout();
  list.Dump();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "BITRATE=[INT]-128000\nRATE=[DOUBLE]2.500000\nONE=[DOUBLE]1.000000\n");
  std::setlocale(LC_ALL, "C");
}

}  // namespace
