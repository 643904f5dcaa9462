// Follows one engine job the way the console tools show it: position and
// frame count as they change, the engine's log lines, a pause, a stop and a
// seek at given positions, a stop on request (a signal) and a time-out.
#pragma once

#include <csignal>
#include <cstdint>
#include <functional>
#include <string>

#include "common/log_ring.h"
#include "common/shared_block.h"
#include "frontend/model/engine_session.h"

struct EngineWatchOptions {
  int64_t pauseAtMs = -1;  // pause once the position reaches this; -1 = never
  int64_t pauseForMs = 1000;
  int64_t stopAfterMs = -1;                              // ask for a stop once the position reaches this
  int64_t seekToMs = -1;                                 // post a seek once a position is reported
  int64_t seekAtMs = -1;                                 // ... or once the position reaches this
  bool seekRaw = false;                                  // post seekUnits as written instead of seekToMs
  int64_t seekUnits = 0;                                 // 100-ns units, any 64-bit value
  int64_t timeoutMs = 0;                                 // kill the engine after this long; 0 = never
  const volatile std::sig_atomic_t* stopFlag = nullptr;  // nonzero asks for a stop
  int pollMs = 100;
  std::function<void()> eachPoll;  // called on every poll and once at the end
};

// Lines for the user, without their newline.
struct EngineWatchOutput {
  std::function<void(const std::string&)> line;     // progress and log lines
  std::function<void(const std::string&)> warning;  // problems
};

// From now on SIGINT and SIGTERM set the returned flag instead of ending the
// program (give it to EngineWatchOptions::stopFlag).
const volatile std::sig_atomic_t* CatchStopSignals();

class EngineWatch {
 public:
  // Before the engine starts: holds the window's control block with its
  // position and frame words at 0 and drops the log lines already there.
  // False with a warning when the control block cannot be made.
  bool Prepare(uint32_t window, const EngineWatchOutput& out);
  // Until the engine ends; its code.
  HRESULT Run(EngineSession& session, const EngineWatchOptions& options, const EngineWatchOutput& out);

 private:
  void PrintLog(const EngineWatchOutput& out);

  CSharedBlock control_;
  CLogRing ring_;
};
