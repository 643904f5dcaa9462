// Audio filter objects: small converters of interleaved PCM, wrapped by the
// audio filter host module. Plug-ins build filter objects to this same table,
// so the order of the virtual operations below must never change.
// Results: HRESULT operations answer S_OK or a failure code; the two ints are sizes.
#pragma once

#include <cstdint>

#include "platform/win_types.h"

class CParamList;

// Sample kinds of AudioFormat::kind.
constexpr int32_t kAudioKindPcm = 1;
constexpr int32_t kAudioKindFloat = 2;

struct AudioFormat {
  int32_t kind;  // 1 integer PCM, 2 IEEE float
  int32_t samplesPerSec;
  int32_t bitsPerSample;
  int32_t channels;
};
static_assert(sizeof(AudioFormat) == 16);

// For Process: the input's length is the number of valid bytes; the output's
// length is its capacity on entry and the number of bytes written on return.
struct AudioBuffer {
  uint32_t length;
  uint8_t* data;
};

class IAudioFilter {
 public:
  virtual HRESULT Init(const AudioFormat* input) = 0;  // 0 accepts
  virtual HRESULT GetOutputFormat(AudioFormat* output) = 0;
  virtual HRESULT Process(AudioBuffer* in, AudioBuffer* out) = 0;
  virtual HRESULT SetParams(CParamList* params) = 0;
  virtual HRESULT Start() = 0;         // once, when the graph runs
  virtual HRESULT Destroy() = 0;       // deletes the object
  virtual int GetMaxInputChunk() = 0;  // bytes; 0 = what the output holds
  virtual int GetBlockMultiplier() = 0;

 protected:
  ~IAudioFilter() = default;  // objects are deleted through Destroy only
};

// A filter factory ("FNAF"): takes the module's parameter list, returns a new filter.
using AudioFilterFactory = IAudioFilter* (*)(CParamList* params);
