// How every test program ends: GoogleTest's result, except that a run in which nothing
// failed and some case skipped itself exits kTestSkipped, which CTest shows as a skip.
#pragma once

#include <gtest/gtest.h>

inline constexpr int kTestSkipped = 77;

inline int RunTestsShowingSkips() {
  const int result = RUN_ALL_TESTS();
  if (result == 0 && testing::UnitTest::GetInstance()->skipped_test_count() > 0) return kTestSkipped;
  return result;
}
