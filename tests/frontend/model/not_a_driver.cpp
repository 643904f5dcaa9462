// A shared object that exports no codec driver entry: the codec driver layer and the
// codec-availability check must refuse it.
extern "C" __attribute__((visibility("default"))) int NotADriver() { return 1; }
