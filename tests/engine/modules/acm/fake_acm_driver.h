// A codec driver for tests (built as a shared object): tag 0x7A01 to 16-bit
// PCM, each input byte becoming one sample of that value. The test steers it
// and reads its counters through the block FakeAcmControlBlock returns.
#pragma once

#include <cstdint>

constexpr uint16_t kFakeAcmTag = 0x7A01;

struct FakeAcmControl {
  int refuseOpen;       // stream opens answer "not possible"
  int failConvert;      // conversions fail
  int stall;            // conversions use nothing and write nothing
  uint32_t sizeAnswer;  // source bytes for the destination-size question (0: the question fails)
  int converts, starts, ends, opens, closes;
  uint32_t lastSource;  // bytes offered to the last conversion
};

using FakeAcmControlFn = FakeAcmControl* (*)();
constexpr const char* kFakeAcmControlName = "FakeAcmControlBlock";
