// A clock and a wave output for driving the preview player step by step.
//
// TestClock: the player's writer thread blocks in SleepMs until the test
// moves time on; RunUntil moves it to each wake-up in turn and waits until the
// thread sleeps again, so the player sees the same times and queue contents
// on every run. Sleeps of the test's own thread (Close) move time at once.
// FakeWaveOut: a device that plays 192 bytes (1 ms of 48 kHz stereo) per
// millisecond of test time into a log, or nothing while stalled.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/modules/player/player_clock.h"
#include "platform/audio_out.h"

class TestClock final : public IPlayerClock {
 public:
  TestClock() : testThread_(std::this_thread::get_id()) {}

  int64_t NowMs() override;
  void SleepMs(int32_t milliseconds) override;

  // Called with the new time before the player sees it.
  void OnTick(std::function<void(int64_t)> tick) { tick_ = std::move(tick); }
  // Waits (real time, bounded) until the player sleeps past now or `finished` holds.
  bool Settle(const std::function<bool()>& finished);
  // Moves time to `target`, one wake-up of the player at a time.
  ::testing::AssertionResult RunUntil(int64_t target, const std::function<bool()>& finished);
  // From now on every sleep passes at once (tear-down).
  void FreeRun();

 private:
  std::mutex lock_;
  std::condition_variable wake_;
  std::thread::id testThread_;
  int64_t now_ = 0;
  int64_t wakeAt_ = 0;
  bool sleeping_ = false;
  bool freeRun_ = false;
  std::function<void(int64_t)> tick_;
};

struct DeviceLog {
  std::vector<uint8_t> played;  // every byte the device played, silence included
  bool failOpen = false;
  bool stalled = false;
  int opened = 0;
  WAVEFORMATEX format{};  // as the device was opened
  class FakeWaveOut* live = nullptr;
};

class FakeWaveOut final : public CWaveQueue {
 public:
  FakeWaveOut(DeviceLog* log, IPlayerClock* clock) : log_(log), clock_(clock) { log_->live = this; }
  ~FakeWaveOut() override;
  // Plays up to time ms.
  void PlayUntil(int64_t ms);

 protected:
  HRESULT OpenDevice(const WAVEFORMATEX& format) override;
  void CloseDevice() override {}

 private:
  DeviceLog* log_;
  IPlayerClock* clock_;
  int64_t playedUntil_ = 0;
};
