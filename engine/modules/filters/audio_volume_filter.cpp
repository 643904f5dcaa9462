#include "engine/modules/filters/audio_volume_filter.h"

#include <algorithm>
#include <cstring>

#include "common/param_list.h"
#include "platform/diagnostics.h"

IAudioFilter* CVolumeFilter::Create(CParamList* /*params*/) { return new CVolumeFilter(); }

HRESULT CVolumeFilter::Init(const AudioFormat* input) {
  if (!input || input->kind != kAudioKindPcm || input->bitsPerSample != 16) return E_FAIL;
  input_ = *input;
  output_ = *input;
  return S_OK;
}

HRESULT CVolumeFilter::GetOutputFormat(AudioFormat* output) {
  if (!output) return E_POINTER;
  *output = output_;
  return S_OK;
}

HRESULT CVolumeFilter::SetParams(CParamList* params) {
  if (!params) return E_POINTER;
  const int64_t gain = static_cast<int64_t>(params->GetInt("VOL", 100)) * 256 / 100;
  gain_ = static_cast<int32_t>(std::clamp<int64_t>(gain, INT32_MIN, INT32_MAX));
  return S_OK;
}

HRESULT CVolumeFilter::Process(AudioBuffer* in, AudioBuffer* out) {
  if (!in || !out) return E_POINTER;
  const uint32_t length = in->length;
  if (length == 0) {
    out->length = 0;
    return S_OK;
  }
  if (!in->data || !out->data) return E_POINTER;
  if (out->length < length) {
    ConsoleLine("audio buffer too small\n");
    out->length = 0;
    return E_FAIL;
  }
  if (gain_ == 256) {
    std::memmove(out->data, in->data, length);
  } else {
    const uint32_t samples = length / 2;
    for (uint32_t i = 0; i < samples; ++i) {
      int16_t s;
      std::memcpy(&s, in->data + i * 2, 2);
      const int64_t v = (static_cast<int64_t>(s) * gain_ + 128) >> 8;
      const int16_t r = static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
      std::memcpy(out->data + i * 2, &r, 2);
    }
    if (length % 2) out->data[length - 1] = in->data[length - 1];
  }
  out->length = length;
  return S_OK;
}

HRESULT CVolumeFilter::Start() { return S_OK; }

HRESULT CVolumeFilter::Destroy() {
  delete this;
  return S_OK;
}

int CVolumeFilter::GetMaxInputChunk() { return 0; }
int CVolumeFilter::GetBlockMultiplier() { return 1; }
