// "AEQ": ten-band graphic equaliser with a preamplifier for 16-bit PCM of up
// to eight channels. The eleven settings "DB0".."DB9" (bands, lowest first)
// and "DB10" (preamplifier) run 0..63 with 31 neutral. One linear-phase FIR
// filter of 8,191 taps (Kaiser window) is designed per channel on the first
// Process call and applied by fast convolution: blocks of 8,191 samples,
// zero-padded to 16,384, multiplied in the frequency domain, overlap-added.
// Output is aligned with the input (the filter's delay is cut from the first
// block) and as long as the input: a Process call with no input (the host's
// drain at end of stream) flushes the held samples and the last overlap.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "plugin-api/audio_filter.h"

// Decibels of one setting: 31 gives 0, 0 gives +12, 63 gives -12.
double EqualizerBandGainDb(int setting);

class CEqualizerFilter final : public IAudioFilter {
 public:
  static constexpr int kSettings = 11;
  static constexpr int kNeutral = 31;
  static constexpr int kMaxChannels = 8;
  static constexpr int kWindowLength = 8191;  // taps, and input samples per block
  static constexpr int kFftSize = 16384;
  static constexpr int kDelay = (kWindowLength - 1) / 2;
  static constexpr size_t kWorkFloats = 384000;

  static IAudioFilter* Create(CParamList* params);

  HRESULT Init(const AudioFormat* input) override;
  HRESULT GetOutputFormat(AudioFormat* output) override;
  HRESULT Process(AudioBuffer* in, AudioBuffer* out) override;
  HRESULT SetParams(CParamList* params) override;
  HRESULT Start() override;
  HRESULT Destroy() override;
  int GetMaxInputChunk() override;
  int GetBlockMultiplier() override;

  uint8_t Setting(int index) const { return settings_[static_cast<size_t>(index)]; }
  // Frames converted but not yet handed out (output that did not fit).
  size_t PendingFrames() const;

  struct Channel;

 private:
  CEqualizerFilter();
  ~CEqualizerFilter();

  void CreateChannels();
  void Flush();
  uint32_t Emit(AudioBuffer* out);

  std::array<uint8_t, kSettings> settings_{};
  std::vector<float> work_;
  std::array<std::unique_ptr<Channel>, kMaxChannels> channels_;
  int channelCount_ = 0;
  bool fed_ = false;  // input arrived since the last flush
  AudioFormat input_{};
  AudioFormat output_{};
};
