// A stand-in codec library for the codec-availability tests: it exports the driver entry
// (tests/frontend/model/not_a_driver.cpp is the one that does not).
#include <cstdint>

extern "C" __attribute__((visibility("default"))) intptr_t DriverProc(uintptr_t, void*, unsigned, intptr_t, intptr_t) {
  return 0;
}
