#include "engine/jobs/speaker_mute.h"

#include <atomic>

namespace {
std::atomic<ISpeakerMute*> g_target{nullptr};
}  // namespace

void SetSpeakerMuteTarget(ISpeakerMute* target) { g_target.store(target); }

ISpeakerMute* SpeakerMuteTarget() { return g_target.load(); }

bool SetMixerMute(int32_t line, int32_t value) {
  if (line < MIXER_LINE_WAVE_OUT || line > MIXER_LINE_COMPACT_DISC) line = MIXER_LINE_SPEAKERS;
  ISpeakerMute* target = g_target.load();
  if (!target) return false;
  return target->SetMute(line, value != 0);
}
