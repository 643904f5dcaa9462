// Speaker muting for the preview modes. The engine never touches the system
// mixer: whatever plays the preview's sound (the preview player) registers
// here and mutes its own output. Results: bool, true when set.
#pragma once

#include <cstdint>

enum : int32_t {
  MIXER_LINE_SPEAKERS = 0,
  MIXER_LINE_WAVE_OUT = 1,
  MIXER_LINE_SYNTHESIZER = 2,
  MIXER_LINE_COMPACT_DISC = 3,
};

class ISpeakerMute {
 public:
  // true when the line's mute was set.
  virtual bool SetMute(int32_t line, bool mute) = 0;

 protected:
  ~ISpeakerMute() = default;
};

// The output that answers mute requests (null: none, requests do nothing).
void SetSpeakerMuteTarget(ISpeakerMute* target);
ISpeakerMute* SpeakerMuteTarget();

// true when the line's mute control was found and set. Lines other than
// 1 to 3 mean the speakers.
bool SetMixerMute(int32_t line, int32_t value);
