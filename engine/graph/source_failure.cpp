#include "engine/graph/source_failure.h"

#include <atomic>

namespace {
std::atomic<int32_t> g_sourceReadFailed{0};
}  // namespace

void ReportSourceReadFailure() { g_sourceReadFailed.store(1); }
bool SourceReadFailed() { return g_sourceReadFailed.load() != 0; }
void ClearSourceReadFailure() { g_sourceReadFailed.store(0); }
