#include "frontend/dialogs/frame_render_worker.h"

#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
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

  void Start(FrameRenderer render, std::unique_ptr<FrameJob> job, WindowId window, uint32_t message) {
    std::lock_guard<std::mutex> lock(lock_);
    ReapLocked();
    running_.emplace_back();
    Worker& w = running_.back();
    w.thread = std::thread([this, &w, render = std::move(render), job = std::move(job), window, message] {
      if (render(window, *job)) PostMessage(window, message, 0, 0);
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

FrameRenderer SetFrameRenderer(FrameRenderer renderer) {
  std::lock_guard<std::mutex> lock(RendererLock());
  FrameRenderer previous = std::move(TheWorkers().renderer);
  TheWorkers().renderer = std::move(renderer);
  return previous ? previous : FrameRenderer(EngineRenderer);
}

void StartFrameRenderWorker(const FrameJob& job, WindowId window, uint32_t message) {
  FrameRenderer render;
  {
    std::lock_guard<std::mutex> lock(RendererLock());
    render = TheWorkers().renderer ? TheWorkers().renderer : FrameRenderer(EngineRenderer);
  }
  TheWorkers().Start(std::move(render), std::make_unique<FrameJob>(job), window, message);
}

bool WaitForFrameRenderWorkers(uint32_t ms) { return TheWorkers().Wait(ms); }
