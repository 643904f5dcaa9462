// Frames rendered off the user-interface thread: a worker renders one frame
// job with the engine and posts a message to the window that asked once the
// frame is there. Nothing waits for a worker; a window closed first simply
// never gets the message.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "common/job_records.h"
#include "frontend/ui/messages.h"

// Posted by a worker when its frame is rendered; wParam is the request's.
constexpr uint32_t WM_FRAME_RENDERED = 4024;

// Renders the job for the window; true when the frame was written in time.
// Called on a worker thread.
using FrameRenderer = std::function<bool(WindowId window, FrameJob& job)>;

// The renderer workers use: the engine (mode b, killed after 8,000 ms) unless
// another was set. Setting null restores the engine; returns the previous one.
FrameRenderer SetFrameRenderer(FrameRenderer renderer);

// What a window that renders several frames shares between its requests: one
// render at a time (the engine's control block is named after the window),
// only the newest request of each slot rendered (older ones still waiting
// are dropped), and none started once the window closes the gate.
class FrameRenderGate {
 public:
  // Stops requests that have not started rendering, then waits up to ms for
  // those in flight; false when some were still running.
  bool Close(uint32_t ms);
  void Reopen();
  bool Closing() const;
  int InFlight() const;

  // Used by the workers: Enter (called when the worker is started, in
  // request order) makes the request the slot's newest and returns its number; Render runs render when the gate is open
  // and the request is still the slot's newest (false otherwise); Leave ends it.
  uint64_t Enter(int slot);
  bool Render(int slot, uint64_t number, const std::function<bool()>& render);
  void Leave();

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::mutex renderLock_;
  std::map<int, uint64_t> newest_;
  uint64_t sequence_ = 0;
  int inFlight_ = 0;
  bool closing_ = false;
};

struct FrameRenderRequest {
  FrameJob job;
  WindowId window = 0;
  uint32_t message = WM_FRAME_RENDERED;
  uint64_t wParam = 0;
  // Optional; with a gate the request is its slot's.
  std::shared_ptr<FrameRenderGate> gate;
  int slot = 0;
};

// Starts a worker on the request: it renders, then posts the message (wParam,
// lParam 0) to the window when the renderer succeeded.
void StartFrameRenderWorker(FrameRenderRequest request);

// Waits until every worker started so far has ended; false when ms passed
// first. Workers still running when the program ends are waited for then.
bool WaitForFrameRenderWorkers(uint32_t ms);
