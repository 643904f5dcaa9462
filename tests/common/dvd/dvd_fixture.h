#pragma once
// Location of the DVD fixtures made by tests/fixtures/make_dvd_fixtures.sh.

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

inline std::string DvdFixtureDir() { return std::string(TRIVOX_BINARY_DIR) + "/fixtures/dvd"; }

inline std::string DvdFixture(const std::string& name) { return DvdFixtureDir() + "/" + name; }

#define REQUIRE_DVD_FIXTURES()                                                     \
  do {                                                                             \
    if (!std::filesystem::exists(DvdFixture(".complete")))                         \
      GTEST_SKIP() << "DVD fixtures missing (dvdauthor or ffmpeg not installed?)"; \
  } while (0)
