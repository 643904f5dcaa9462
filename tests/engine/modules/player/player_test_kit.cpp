#include "tests/engine/modules/player/player_test_kit.h"

#include <algorithm>
#include <chrono>

int64_t TestClock::NowMs() {
  std::lock_guard<std::mutex> guard(lock_);
  return now_;
}

void TestClock::SleepMs(int32_t milliseconds) {
  std::unique_lock<std::mutex> guard(lock_);
  const int64_t until = now_ + std::max<int32_t>(milliseconds, 1);
  if (freeRun_) {
    now_ = until;
    return;
  }
  if (std::this_thread::get_id() == testThread_) {
    guard.unlock();
    if (tick_) tick_(until);
    guard.lock();
    now_ = until;
    return;
  }
  sleeping_ = true;
  wakeAt_ = until;
  wake_.wait(guard, [&] { return now_ >= until || freeRun_; });
  sleeping_ = false;
  if (now_ < until) now_ = until;
}

bool TestClock::Settle(const std::function<bool()>& finished) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (sleeping_ && wakeAt_ > now_) return true;
    }
    if (finished && finished()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

::testing::AssertionResult TestClock::RunUntil(int64_t target, const std::function<bool()>& finished) {
  for (;;) {
    if (!Settle(finished)) return ::testing::AssertionFailure() << "the player did not settle at " << NowMs() << " ms";
    int64_t next;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (now_ >= target) return ::testing::AssertionSuccess();
      next = sleeping_ ? std::min(target, wakeAt_) : target;
    }
    if (tick_) tick_(next);  // the device plays while the player sleeps
    {
      std::lock_guard<std::mutex> guard(lock_);
      now_ = next;
    }
    wake_.notify_all();
  }
}

void TestClock::FreeRun() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    freeRun_ = true;
  }
  wake_.notify_all();
}

FakeWaveOut::~FakeWaveOut() {
  if (IsOpen()) Close();
  log_->live = nullptr;
}

HRESULT FakeWaveOut::OpenDevice(const WAVEFORMATEX& format) {
  if (log_->failOpen) return WAVE_E_NO_DEVICE;
  log_->format = format;
  ++log_->opened;
  playedUntil_ = clock_->NowMs();
  return S_OK;
}

void FakeWaveOut::PlayUntil(int64_t ms) {
  if (!IsOpen() || ms <= playedUntil_) return;
  const size_t bytes = static_cast<size_t>(ms - playedUntil_) * 192;
  playedUntil_ = ms;
  if (log_->stalled) return;
  const size_t at = log_->played.size();
  log_->played.resize(at + bytes);
  Pull(log_->played.data() + at, bytes);
}
