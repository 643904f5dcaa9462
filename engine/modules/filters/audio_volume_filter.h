// "AVOL": scales 16-bit PCM by a gain (256 = unity) from the "VOL" percentage.
#pragma once

#include "plugin-api/audio_filter.h"

class CVolumeFilter final : public IAudioFilter {
 public:
  static IAudioFilter* Create(CParamList* params);

  HRESULT Init(const AudioFormat* input) override;
  HRESULT GetOutputFormat(AudioFormat* output) override;
  HRESULT Process(AudioBuffer* in, AudioBuffer* out) override;
  HRESULT SetParams(CParamList* params) override;
  HRESULT Start() override;
  HRESULT Destroy() override;
  int GetMaxInputChunk() override;
  int GetBlockMultiplier() override;

  int32_t Gain() const { return gain_; }

 private:
  CVolumeFilter() = default;
  ~CVolumeFilter() = default;

  AudioFormat input_{};
  AudioFormat output_{};
  int32_t gain_ = 256;
};
