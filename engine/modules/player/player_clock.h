// The preview player's time: a millisecond tick count and a sleep. The
// system clock runs on the steady clock; tests put a clock of their own in
// its place.
#pragma once

#include <cstdint>

class IPlayerClock {
 public:
  // Milliseconds since some fixed point; never goes back.
  virtual int64_t NowMs() = 0;
  virtual void SleepMs(int32_t milliseconds) = 0;

 protected:
  ~IPlayerClock() = default;
};

// The process's steady clock.
IPlayerClock& SystemPlayerClock();
