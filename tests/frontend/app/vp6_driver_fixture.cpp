// A stand-in codec library for the codec-availability tests: built once with
// the driver entry and once without it.
#include <cstdint>

#ifdef FIXTURE_EXPORTS_DRIVER_PROC
extern "C" __attribute__((visibility("default"))) intptr_t DriverProc(uintptr_t, void*, unsigned, intptr_t, intptr_t) {
  return 0;
}
#else
extern "C" __attribute__((visibility("default"))) int SomethingElse() { return 1; }
#endif
