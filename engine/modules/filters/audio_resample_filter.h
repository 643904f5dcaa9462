// "ARESAMPLE": converts integer PCM between sample rates (libsamplerate),
// channel counts and sample widths.
#pragma once

#include <samplerate.h>

#include <cstddef>
#include <vector>

#include "plugin-api/audio_filter.h"

class CResampleFilter final : public IAudioFilter {
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

  // Input frames converted per step; the float arrays are sized for it.
  static constexpr size_t kChunkFrames = 4096;

 private:
  CResampleFilter() = default;
  ~CResampleFilter();

  // Where converted output goes during one Process call.
  struct Output {
    uint8_t* data;
    size_t capacityFrames;
    size_t writtenFrames;
  };

  bool NeedsDownmix() const;
  void SizeBuffers();
  HRESULT ProcessEqualRates(const uint8_t* src, size_t frames, Output& out);
  HRESULT ProcessOtherRates(const uint8_t* src, size_t frames, Output& out);
  // Loads count input frames as floats in the output channel layout into mapped_.
  void LoadChunk(const uint8_t* src, size_t count);
  // Writes converted frames to the output; what does not fit waits in pending_.
  void Emit(const float* frames, size_t count, Output& out);
  void EmitPending(Output& out);
  HRESULT RunConverter(const float* src, long frames, bool endOfInput, Output& out);

  AudioFormat input_{};
  AudioFormat output_{};
  SRC_STATE* converter_ = nullptr;
  int converterChannels_ = 0;
  bool flushed_ = false;           // the converter's tail went out; reset before new input
  std::vector<int16_t> frames16_;  // a chunk of 16-bit input being down-mixed
  std::vector<float> inFloat_;     // input as floats
  std::vector<float> mapped_;      // channel-mapped converter input
  std::vector<float> converted_;   // converter output
  std::vector<float> pending_;     // converted samples waiting for room in an output buffer
};
