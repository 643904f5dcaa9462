#include "engine/modules/dvd/dvd_reader_input.h"

#include "common/dvd/dvd_playback.h"
#include "platform/win_types.h"

CDvdReaderInput::CDvdReaderInput(const char* path) : source_(path) {}

bool CDvdReaderInput::SeekTo(int64_t target, int maxSteps) {
  // The reading thread can reach the end of a short range between the check and the
  // request; then the request is never taken: reopen and ask once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (source_.buffer() == nullptr) return false;
    if (source_.buffer()->ended() && !source_.Reopen()) return false;
    source_.buffer()->RequestSeek(target < 0 ? 0 : target);
    if (source_.buffer()->WaitSeekTaken(maxSteps)) return true;
    if (!source_.buffer()->ended()) return false;
  }
  return false;
}

int64_t CDvdReaderInput::StartClock() {
  if (source_.buffer() == nullptr) return 0;
  uint8_t block[kDvdBlockSize];
  if (source_.buffer()->ReadAt(0, block, kDvdBlockSize) != kDvdBlockSize) return 0;
  const std::optional<int64_t> scr = DvdPackScr(block);
  return scr ? *scr * 1000 / 9 : 0;
}

bool CDvdReaderInput::Failed() const { return source_.buffer() == nullptr || source_.buffer()->failed(); }

double CDvdReaderInput::Duration() const { return source_.buffer() != nullptr ? source_.buffer()->duration() : 0; }

int32_t DvdDescriptorStreamId(int32_t type, int32_t vfcc, int32_t streamId) {
  if (type == 0) return 0x1E0;
  if (type == 1 && vfcc == static_cast<int32_t>(MakeFourcc('M', 'P', '2', 'A'))) return streamId | 0x100;
  return streamId;
}
