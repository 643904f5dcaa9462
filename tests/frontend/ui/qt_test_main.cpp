// Test entry for the Qt front-end groups: one QApplication for all tests, and
// a private home (HOME, XDG_DATA_HOME, XDG_CONFIG_HOME in a fresh folder,
// removed at the end), so that no test reads or writes the user's folders.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <filesystem>
#include <string>

#include "tests/test_util/test_main.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  std::string pattern = (std::filesystem::temp_directory_path() / "velmo-qt-home-XXXXXX").string();
  const char* made = mkdtemp(pattern.data());
  const std::string home = made != nullptr ? made : "";
  if (!home.empty()) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
  }
  int result = 0;
  {
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    result = RunTestsShowingSkips();
  }
  std::error_code ec;
  if (!home.empty()) std::filesystem::remove_all(home, ec);
  return result;
}
