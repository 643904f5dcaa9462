#include "common/control_block.h"

#include <cstdio>

namespace {

std::string HexName(const char* format, uint32_t value) {
  char buf[32];
  snprintf(buf, sizeof(buf), format, static_cast<unsigned>(value));
  return buf;
}

}  // namespace

std::string ControlBlock::NameForWindow(uint32_t window) { return HexName(":CTRLDATA_%08X", window); }

std::string ProbeBlockName(uint32_t pid) { return HexName(":PROC_%08X", pid); }

std::string EngineWordName(uint32_t pid) { return HexName(":LID%08X", pid); }

int64_t ReadSeekTarget(uint8_t* control) {
  uint32_t low = static_cast<uint32_t>(BlockWord(control, ControlBlock::kSeekTargetLow).load());
  uint32_t high = static_cast<uint32_t>(BlockWord(control, ControlBlock::kSeekTargetHigh).load());
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

void WriteSeekTarget(uint8_t* control, int64_t time100ns) {
  uint64_t v = static_cast<uint64_t>(time100ns);
  BlockWord(control, ControlBlock::kSeekTargetLow).exchange(static_cast<int32_t>(v & 0xFFFFFFFFu));
  BlockWord(control, ControlBlock::kSeekTargetHigh).exchange(static_cast<int32_t>(v >> 32));
}

bool MuteCell::Open() {
  if (block_.IsOpen()) return true;
  // A fresh shared block is zero-filled, so a new cell reads 0 (not muted).
  return block_.Create(kName, 4);
}

int32_t MuteCell::Read() const {
  if (!block_.IsOpen()) return 0;
  return BlockWord(block_.View(), 0).load();
}

void MuteCell::Write(int32_t value) {
  if (!block_.IsOpen()) return;
  BlockWord(block_.View(), 0).exchange(value);
}
