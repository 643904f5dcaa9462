#include "engine/jobs/run_loop.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "common/control_block.h"
#include "engine/graph/job_cancel.h"
#include "engine/graph/source_failure.h"
#include "engine/jobs/speaker_mute.h"
#include "platform/diagnostics.h"
#include "platform/result_channel.h"

namespace {

// Opened at most once per process and kept to the end.
std::mutex g_muteLock;
MuteCell* g_muteCell = nullptr;
// The first poll applies the cell whatever it holds: the preview's sound is
// the player's own and starts unmuted, so a preview started muted is muted.
bool g_muteApplied = false;
int32_t g_lastMute = 0;

MuteCell* OpenMuteCell() {
  std::lock_guard<std::mutex> guard(g_muteLock);
  if (!g_muteCell) {
    g_muteCell = new MuteCell;
    g_muteCell->Open();  // a cell that failed to open stays closed and is never read
  }
  return g_muteCell;
}

void PollMuteCell(MuteCell* cell) {
  if (!cell || !cell->IsOpen()) return;
  int32_t value = cell->Read();
  std::lock_guard<std::mutex> guard(g_muteLock);
  if (g_muteApplied && value == g_lastMute) return;
  g_muteApplied = true;
  g_lastMute = value;
  SetMixerMute(MIXER_LINE_SPEAKERS, value);
}

class RequestServer {
 public:
  RequestServer(IJobGraph& graph, uint8_t* control) : graph_(graph), control_(control) {}

  // A stop signal stops the graph as a stop request does; the output is dropped.
  void ServeStopSignal() {
    if (stopped_ || !StopSignalled()) return;
    Diag(DiagLevel::kTrace, "a stop signal came: the graph stops");
    std::fflush(stdout);
    ReportJobCancelled();
    StopGraph();
  }

  // Serves at most one request, the first that applies.
  void ServeOne() {
    if (BlockWord(control_, ControlBlock::kStopRequest).load() != 0 && !stopped_) {
      ConsoleLine("goto stop\n");
      std::fflush(stdout);
      StopGraph();
      return;
    }
    // Once stopped, a still-set pause request no longer holds the drain.
    if (BlockWord(control_, ControlBlock::kPauseRequest).load() != 0 && !stopped_) {
      graph_.Pause(1);
      paused_ = true;
      return;
    }
    if (paused_) {
      graph_.Pause(0);
      paused_ = false;
      return;
    }
    if (BlockWord(control_, ControlBlock::kSeekRequest).load() != 0) {
      int64_t target = ReadSeekTarget(control_);
      graph_.Seek(static_cast<uint32_t>(static_cast<uint64_t>(target) & 0xFFFFFFFFu),
                  static_cast<int32_t>(static_cast<uint64_t>(target) >> 32));
      BlockWord(control_, ControlBlock::kSeekRequest).store(0);
    }
  }

 private:
  void StopGraph() {
    // A paused graph holds its deliverers: release them first so the stop
    // reaches every module and the writers can drain and close.
    if (paused_) {
      graph_.Pause(0);
      paused_ = false;
    }
    graph_.Stop();
    stopped_ = true;
  }

  IJobGraph& graph_;
  uint8_t* control_;
  bool stopped_ = false;
  bool paused_ = false;
};

}  // namespace

void CloseMuteCell() {
  std::lock_guard<std::mutex> guard(g_muteLock);
  delete g_muteCell;
  g_muteCell = nullptr;
}

HRESULT RunGraphLoop(IJobGraph& graph, uint8_t* control, bool player) {
  ClearSourceReadFailure();
  ClearJobCancelled();
  graph.Run();
  MuteCell* cell = player ? OpenMuteCell() : nullptr;
  RequestServer server(graph, control);
  while (graph.GetState() != 1) {
    server.ServeStopSignal();
    if (control) {
      server.ServeOne();
      if (player) PollMuteCell(cell);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kControlPollMilliseconds));
  }
  HRESULT closed = graph.CloseWriters();
  // A source cut short by a read failure leaves the output incomplete.
  if (closed == S_OK && SourceReadFailed()) closed = E_SOURCE_READ_FAILED;
  if (JobCancelled()) {
    Diag(DiagLevel::kError, "stopped by a signal: nothing of the output is kept");
    closed = STATUS_CONTROL_C_EXIT;
  }
  if (closed == S_OK) ConsoleLine("ok\n");
  std::fflush(stdout);
  graph.Release();
  return closed;
}
