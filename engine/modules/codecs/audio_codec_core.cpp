#include "engine/modules/codecs/audio_codec_core.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

std::unique_ptr<IAudioDecoderCore> CreateFaadDecoderCore();
std::unique_ptr<IAudioDecoderCore> CreateAmrDecoderCore(bool wide);
std::unique_ptr<IAudioEncoderCore> CreateAmrEncoderCore(bool wide);

std::unique_ptr<IAudioDecoderCore> CreateOwnAudioDecoder(int32_t codecId) {
  switch (codecId) {
    case AV_CODEC_ID_AAC:
      return CreateFaadDecoderCore();
    case AV_CODEC_ID_AMR_NB:
      return CreateAmrDecoderCore(false);
    case AV_CODEC_ID_AMR_WB:
      return CreateAmrDecoderCore(true);
    default:
      return nullptr;
  }
}

std::unique_ptr<IAudioEncoderCore> CreateOwnAudioEncoder(int32_t codecId) {
  switch (codecId) {
    case AV_CODEC_ID_AMR_NB:
      return CreateAmrEncoderCore(false);
    case AV_CODEC_ID_AMR_WB:
      return CreateAmrEncoderCore(true);
    default:
      return nullptr;
  }
}

bool HasOwnAudioDecoder(int32_t codecId) {
  return codecId == AV_CODEC_ID_AAC || codecId == AV_CODEC_ID_AMR_NB || codecId == AV_CODEC_ID_AMR_WB;
}

bool HasOwnAudioEncoder(int32_t codecId) { return codecId == AV_CODEC_ID_AMR_NB || codecId == AV_CODEC_ID_AMR_WB; }
