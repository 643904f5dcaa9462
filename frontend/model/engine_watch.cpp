#include "frontend/model/engine_watch.h"

#include <signal.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

void OnStopSignal(int) { g_stopSignal = 1; }

void Say(const std::function<void(const std::string&)>& to, const std::string& text) {
  if (to) to(text);
}

}  // namespace

const volatile std::sig_atomic_t* CatchStopSignals() {
  struct sigaction onStop {};
  onStop.sa_handler = OnStopSignal;
  sigemptyset(&onStop.sa_mask);
  sigaction(SIGTERM, &onStop, nullptr);
  sigaction(SIGINT, &onStop, nullptr);
  return &g_stopSignal;
}

bool EngineWatch::Prepare(uint32_t window, const EngineWatchOutput& out) {
  if (!OpenControlBlock(window, control_)) {
    Say(out.warning, "cannot create the control block \"" + ControlBlock::NameForWindow(window) + "\"");
    return false;
  }
  // This run's counters start from zero even on a shared block.
  BlockWord(control_.View(), ControlBlock::kPosition).exchange(0);
  BlockWord(control_.View(), ControlBlock::kFrames).exchange(0);
  if (!ring_.Open(CLogRing::kName)) {
    Say(out.warning, "cannot open the log ring");
    return true;
  }
  std::vector<LogEntry> old;
  ring_.TakeEntries(old);  // lines from before this run are not ours
  return true;
}

void EngineWatch::PrintLog(const EngineWatchOutput& out) {
  if (!ring_.IsOpen()) return;
  std::vector<LogEntry> entries;
  ring_.TakeEntries(entries);
  for (LogEntry& e : entries) {
    while (!e.text.empty() && (e.text.back() == '\n' || e.text.back() == '\r')) e.text.pop_back();
    Say(out.line, "[" + FormatLogTime(e.time) + "] " + e.text);
  }
}

HRESULT EngineWatch::Run(EngineSession& session, const EngineWatchOptions& o, const EngineWatchOutput& out) {
  using Clock = std::chrono::steady_clock;
  const auto started = Clock::now();
  uint8_t* ctl = EngineSession::GetControl(&session);
  int32_t lastPosition = 0, lastFrames = 0;
  bool paused = false, pauseDone = false, stopped = false, seekPosted = false, killed = false;
  Clock::time_point pausedAt;
  HRESULT code = 0;
  for (;;) {
    const EngineExitState state = EngineSession::GetExitCode(&session, &code);
    if (state == EngineExitState::kEnded) break;
    if (state == EngineExitState::kUnknown) {
      Say(out.warning, "the engine's end cannot be told");
      code = kEngineSignalledCode;
      break;
    }
    PrintLog(out);
    const int32_t position = ctl ? BlockWord(ctl, ControlBlock::kPosition).load() : 0;
    const int32_t frames = ctl ? BlockWord(ctl, ControlBlock::kFrames).load() : 0;
    if (position != lastPosition || frames != lastFrames) {
      Say(out.line, "position " + std::to_string(position) + " ms, frames " + std::to_string(frames));
      lastPosition = position;
      lastFrames = frames;
    }
    if (o.eachPoll) o.eachPoll();
    const bool seekDue = o.seekAtMs >= 0 ? position >= o.seekAtMs : (position != 0 || frames != 0);
    if ((o.seekRaw || o.seekToMs >= 0) && !seekPosted && seekDue) {
      EngineSession::PostSeek(session, o.seekRaw ? o.seekUnits : o.seekToMs * 10000);
      seekPosted = true;
      Say(out.line, o.seekRaw ? "seek to " + std::to_string(o.seekUnits) + " units"
                              : "seek to " + std::to_string(o.seekToMs) + " ms");
    }
    if (o.pauseAtMs >= 0 && !pauseDone && !paused && position >= o.pauseAtMs) {
      EngineSession::Pause(session);
      paused = true;
      pausedAt = Clock::now();
      Say(out.line, "pause at " + std::to_string(position) + " ms");
    }
    if (paused && Clock::now() - pausedAt >= std::chrono::milliseconds(o.pauseForMs)) {
      EngineSession::Resume(session);
      paused = false;
      pauseDone = true;
      Say(out.line, "resume");
    }
    const bool stopAsked = o.stopAfterMs >= 0 && position >= o.stopAfterMs;
    if ((stopAsked || (o.stopFlag && *o.stopFlag)) && !stopped) {
      EngineSession::SetValue(&session, 10);
      EngineSession::RequestStop(session);
      stopped = true;
      Say(out.line, stopAsked ? "stop at " + std::to_string(position) + " ms" : std::string("stop on signal"));
    }
    if (o.timeoutMs > 0 && !killed && Clock::now() - started >= std::chrono::milliseconds(o.timeoutMs)) {
      // WaitEngine with no time left kills the engine with the time-out code.
      killed = true;
      HRESULT now = 0;
      if (!WaitEngine(&session, 0) && EngineSession::GetExitCode(&session, &now) == EngineExitState::kEnded &&
          now == kEngineTimeoutCode)
        Say(out.warning, "engine still running after " + std::to_string(o.timeoutMs / 1000) + " s, killed");
      continue;
    }
    session.WaitForEnd(static_cast<uint32_t>(o.pollMs));
  }
  PrintLog(out);
  if (o.eachPoll) o.eachPoll();
  return code;
}
