#include "tests/test_util/test_main.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RunTestsShowingSkips();
}
