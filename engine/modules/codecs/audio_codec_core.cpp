#include "engine/modules/codecs/audio_codec_core.h"

std::unique_ptr<IAudioDecoderCore> CreateFaadDecoderCore();
std::unique_ptr<IAudioDecoderCore> CreateAmrDecoderCore(bool wide);
std::unique_ptr<IAudioEncoderCore> CreateAmrEncoderCore(bool wide);

std::unique_ptr<IAudioDecoderCore> CreateAudioDecoderCore(AudioCore codec) {
  switch (codec) {
    case AudioCore::kAac:
      return CreateFaadDecoderCore();
    case AudioCore::kAmrNb:
      return CreateAmrDecoderCore(false);
    case AudioCore::kAmrWb:
      return CreateAmrDecoderCore(true);
  }
  return nullptr;
}

std::unique_ptr<IAudioEncoderCore> CreateAudioEncoderCore(AudioCore codec) {
  switch (codec) {
    case AudioCore::kAmrNb:
      return CreateAmrEncoderCore(false);
    case AudioCore::kAmrWb:
      return CreateAmrEncoderCore(true);
    case AudioCore::kAac:
      break;
  }
  return nullptr;
}
