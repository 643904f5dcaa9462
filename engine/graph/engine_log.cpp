#include "engine/graph/engine_log.h"

#include <cstdlib>
#include <mutex>

#include "common/log_ring.h"
#include "platform/diagnostics.h"

namespace {

// Guards the handle so that closing never races an append on another thread.
std::mutex g_lock;
CLogRing* g_ring = nullptr;

// Diagnostics for the user reach the log window through the ring.
void RingSink(DiagLevel, const char* text) { EngineLog("%s\n", text); }

struct EngineLogInit {
  EngineLogInit() {
    g_ring = LogRingCreate(CLogRing::kName);
    atexit(CloseEngineLog);
    SetDiagSink(RingSink);
  }
} g_engineLogInit;

}  // namespace

CLogRing* EngineLogRing() {
  std::lock_guard<std::mutex> lock(g_lock);
  return g_ring;
}

int EngineLogV(const char* format, va_list args) {
  std::lock_guard<std::mutex> lock(g_lock);
  return LogRingVPrintf(g_ring, format, args);
}

int EngineLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int r = EngineLogV(format, args);
  va_end(args);
  return r;
}

void CloseEngineLog() {
  std::lock_guard<std::mutex> lock(g_lock);
  LogRingDestroy(g_ring);
  g_ring = nullptr;
}
