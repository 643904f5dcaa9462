#include "engine/modules/player/player_clock.h"

#include <chrono>
#include <thread>

namespace {

class CSteadyClock final : public IPlayerClock {
 public:
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  void SleepMs(int32_t milliseconds) override {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

IPlayerClock& SystemPlayerClock() {
  static CSteadyClock clock;
  return clock;
}
