#include "engine/graph/job_cancel.h"

#include <atomic>

namespace {
std::atomic<bool> g_cancelled{false};
}  // namespace

void ReportJobCancelled() { g_cancelled.store(true); }
bool JobCancelled() { return g_cancelled.load(); }
void ClearJobCancelled() { g_cancelled.store(false); }
