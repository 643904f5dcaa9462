#include "frontend/dialogs/frame_render_worker.h"

#include <chrono>
#include <list>
#include <optional>
#include <thread>

#include "frontend/model/engine_session.h"

namespace {

bool EngineRenderer(WindowId window, FrameJob& job) {
  int64_t result = 0;
  return RunEngineBitmap(window, job, result, kFrameRenderTimeoutMs);
}

// The workers of the process. Ended ones are joined when the next starts, the
// rest when asked to, or when the program ends.
class Workers {
 public:
  ~Workers() { Wait(std::nullopt); }

  void Start(FrameRenderer render, std::unique_ptr<FrameRenderRequest> request) {
    // Entered here, in request order: a worker thread that starts late
    // neither takes the newest place of a later request nor looks idle.
    const uint64_t number = request->gate ? request->gate->Enter(request->slot) : 0;
    std::lock_guard<std::mutex> lock(lock_);
    ReapLocked();
    running_.emplace_back();
    Worker& w = running_.back();
    w.thread = std::thread([this, &w, number, render = std::move(render), request = std::move(request)] {
      Run(render, *request, number);
      std::lock_guard<std::mutex> guard(lock_);
      w.done = true;
      changed_.notify_all();
    });
  }

  bool Wait(std::optional<uint32_t> ms) {
    std::unique_lock<std::mutex> lock(lock_);
    const auto allDone = [this] {
      for (const Worker& w : running_)
        if (!w.done) return false;
      return true;
    };
    bool done = true;
    if (ms)
      done = changed_.wait_for(lock, std::chrono::milliseconds(*ms), allDone);
    else
      changed_.wait(lock, allDone);
    ReapLocked();
    return done;
  }

  FrameRenderer renderer;

 private:
  struct Worker {
    std::thread thread;
    bool done = false;
  };

  static void Run(const FrameRenderer& render, FrameRenderRequest& r, uint64_t number) {
    bool rendered = false;
    if (r.gate) {
      rendered = r.gate->Render(r.slot, number, [&] { return render(r.window, r.job); });
      r.gate->Leave();
    } else {
      rendered = render(r.window, r.job);
    }
    if (rendered) PostMessage(r.window, r.message, r.wParam, 0);
  }

  // Joins the workers that have ended (they no longer touch anything after
  // setting done but their own return).
  void ReapLocked() {
    for (auto it = running_.begin(); it != running_.end();) {
      if (it->done) {
        it->thread.join();
        it = running_.erase(it);
      } else {
        ++it;
      }
    }
  }

  std::mutex lock_;
  std::condition_variable changed_;
  std::list<Worker> running_;
};

Workers& TheWorkers() {
  static Workers workers;
  return workers;
}

std::mutex& RendererLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

bool FrameRenderGate::Close(uint32_t ms) {
  std::unique_lock<std::mutex> lock(lock_);
  closing_ = true;
  return changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return inFlight_ == 0; });
}

void FrameRenderGate::Reopen() {
  std::lock_guard<std::mutex> lock(lock_);
  closing_ = false;
}

bool FrameRenderGate::Closing() const {
  std::lock_guard<std::mutex> lock(lock_);
  return closing_;
}

int FrameRenderGate::InFlight() const {
  std::lock_guard<std::mutex> lock(lock_);
  return inFlight_;
}

uint64_t FrameRenderGate::Enter(int slot) {
  std::lock_guard<std::mutex> lock(lock_);
  ++inFlight_;
  return newest_[slot] = ++sequence_;
}

bool FrameRenderGate::Render(int slot, uint64_t number, const std::function<bool()>& render) {
  std::lock_guard<std::mutex> one(renderLock_);
  {
    std::lock_guard<std::mutex> lock(lock_);
    if (closing_ || newest_[slot] != number) return false;
  }
  return render();
}

void FrameRenderGate::Leave() {
  std::lock_guard<std::mutex> lock(lock_);
  --inFlight_;
  changed_.notify_all();
}

FrameRenderer SetFrameRenderer(FrameRenderer renderer) {
  std::lock_guard<std::mutex> lock(RendererLock());
  FrameRenderer previous = std::move(TheWorkers().renderer);
  TheWorkers().renderer = std::move(renderer);
  return previous ? previous : FrameRenderer(EngineRenderer);
}

void StartFrameRenderWorker(FrameRenderRequest request) {
  FrameRenderer render;
  {
    std::lock_guard<std::mutex> lock(RendererLock());
    render = TheWorkers().renderer ? TheWorkers().renderer : FrameRenderer(EngineRenderer);
  }
  TheWorkers().Start(std::move(render), std::make_unique<FrameRenderRequest>(std::move(request)));
}

bool WaitForFrameRenderWorkers(uint32_t ms) { return TheWorkers().Wait(ms); }
