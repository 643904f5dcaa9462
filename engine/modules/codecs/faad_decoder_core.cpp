// AAC decoding over libfaad: raw frames with an AudioSpecificConfig (MP4,
// Matroska) or ADTS frames (ADTS files, MPEG-TS).
#include <neaacdec.h>

#include <algorithm>
#include <cstring>

#include "engine/modules/codecs/audio_codec_core.h"
#include "platform/diagnostics.h"

namespace {

// Rank of a faad channel position in WAVE channel order.
int WaveRank(unsigned char position) {
  switch (position) {
    case FRONT_CHANNEL_LEFT:
      return 0;
    case FRONT_CHANNEL_RIGHT:
      return 1;
    case FRONT_CHANNEL_CENTER:
      return 2;
    case LFE_CHANNEL:
      return 3;
    case BACK_CHANNEL_LEFT:
      return 4;
    case BACK_CHANNEL_RIGHT:
      return 5;
    case BACK_CHANNEL_CENTER:
      return 6;
    case SIDE_CHANNEL_LEFT:
      return 7;
    case SIDE_CHANNEL_RIGHT:
      return 8;
    default:
      return 9;
  }
}

bool IsAdts(const uint8_t* data, int32_t size) { return size >= 7 && data[0] == 0xFF && (data[1] & 0xF6) == 0xF0; }

// Channel configuration of an AudioSpecificConfig (faad's own parser reports
// mono as stereo); -1 when it is too short.
int AscChannelConfig(const uint8_t* asc, size_t size) {
  uint64_t bits = 0;
  for (size_t i = 0; i < 8; ++i) bits = (bits << 8) | (i < size ? asc[i] : 0);
  int pos = 0;
  auto take = [&](int n) {
    const int value = static_cast<int>((bits >> (64 - pos - n)) & ((1u << n) - 1));
    pos += n;
    return value;
  };
  if (take(5) == 31) take(6);
  if (take(4) == 15) take(24);
  const int channels = take(4);
  return static_cast<size_t>((pos + 7) / 8) <= size ? channels : -1;
}

class FaadDecoderCore final : public IAudioDecoderCore {
 public:
  ~FaadDecoderCore() override { Close(); }

  int Open(int32_t sampleRate, int32_t channels, const uint8_t* config, int32_t configSize) override {
    rate_ = sampleRate;
    channels_ = channels;
    config_.assign(config, config + std::max(configSize, 0));
    return 0;
  }

  int Decode(const uint8_t* data, int32_t size, std::vector<int16_t>* out) override {
    if (!data || size <= 0) return 0;
    if (!handle_ && Init(data, size) != 0) return -1;
    NeAACDecFrameInfo info{};
    // faad reads up to FAAD_MIN_STREAMSIZE bytes per channel; give it a padded copy.
    input_.assign(data, data + size);
    input_.resize(static_cast<size_t>(size) + 1024, 0);
    void* samples = NeAACDecDecode(handle_, &info, input_.data(), static_cast<unsigned long>(size));
    if (info.error != 0 || !samples) {
      Diag(DiagLevel::kTrace, "AAC decoder: %s", NeAACDecGetErrorMessage(info.error));
      return -1;
    }
    if (info.samples == 0 || info.channels == 0) return 0;
    const int channels = info.channels;
    const size_t frames = info.samples / static_cast<size_t>(channels);
    rate_ = static_cast<int32_t>(info.samplerate);
    // faad turns mono into two equal channels unless the stream carries
    // parametric stereo (which needs SBR): give the mono stream back.
    const bool withSbr = info.sbr == SBR_UPSAMPLED || info.sbr == SBR_DOWNSAMPLED;
    const bool fakeStereo = declaredChannels_ == 1 && channels == 2 && !(info.ps && withSbr);
    channels_ = fakeStereo ? 1 : channels;
    // faad's order is centre first; give WAVE order.
    int order[64];
    for (int c = 0; c < channels; ++c) order[c] = c;
    std::stable_sort(order, order + channels, [&](int a, int b) {
      return WaveRank(info.channel_position[a]) < WaveRank(info.channel_position[b]);
    });
    const auto* in = static_cast<const int16_t*>(samples);
    const size_t base = out->size();
    out->resize(base + frames * static_cast<size_t>(channels_));
    int16_t* dst = out->data() + base;
    if (fakeStereo) {
      for (size_t f = 0; f < frames; ++f) dst[f] = in[f * 2];
      return 0;
    }
    for (size_t f = 0; f < frames; ++f)
      for (int c = 0; c < channels; ++c) dst[f * channels + c] = in[f * channels + order[c]];
    return 0;
  }

  void Flush() override {
    if (handle_) NeAACDecPostSeekReset(handle_, -1);
  }

  int32_t SampleRate() const override { return rate_; }
  int32_t Channels() const override { return channels_; }

 private:
  int Init(const uint8_t* data, int32_t size) {
    handle_ = NeAACDecOpen();
    if (!handle_) return -1;
    NeAACDecConfigurationPtr conf = NeAACDecGetCurrentConfiguration(handle_);
    conf->outputFormat = FAAD_FMT_16BIT;
    conf->downMatrix = 0;
    conf->defObjectType = LC;
    conf->dontUpSampleImplicitSBR = 1;
    if (rate_ > 0) conf->defSampleRate = static_cast<unsigned long>(rate_);
    NeAACDecSetConfiguration(handle_, conf);
    unsigned long rate = 0;
    unsigned char channels = 0;
    long result;
    // ADTS frames carry their own header even when a configuration came along.
    if (IsAdts(data, size) || config_.empty()) {
      input_.assign(data, data + size);
      input_.resize(static_cast<size_t>(size) + 1024, 0);
      result = NeAACDecInit(handle_, input_.data(), static_cast<unsigned long>(size), &rate, &channels);
      if (result > 0) result = 0;  // an ADIF header to skip: frames never carry one
    } else {
      result = NeAACDecInit2(handle_, config_.data(), static_cast<unsigned long>(config_.size()), &rate, &channels);
    }
    if (result < 0) {
      Diag(DiagLevel::kTrace, "AAC decoder: the stream configuration is refused");
      Close();
      return -1;
    }
    if (rate) rate_ = static_cast<int32_t>(rate);
    if (channels) channels_ = channels;
    declaredChannels_ = channels_;
    if (!IsAdts(data, size) && !config_.empty()) {
      const int declared = AscChannelConfig(config_.data(), config_.size());
      if (declared > 0) declaredChannels_ = declared;
    } else if (IsAdts(data, size)) {
      declaredChannels_ = ((data[2] & 1) << 2) | (data[3] >> 6);
    }
    return 0;
  }

  void Close() {
    if (handle_) NeAACDecClose(handle_);
    handle_ = nullptr;
  }

  NeAACDecHandle handle_ = nullptr;
  std::vector<uint8_t> config_;
  std::vector<uint8_t> input_;
  int32_t rate_ = 0;
  int32_t channels_ = 0;
  int32_t declaredChannels_ = 0;  // from the stream's own header
};

}  // namespace

std::unique_ptr<IAudioDecoderCore> CreateFaadDecoderCore() { return std::make_unique<FaadDecoderCore>(); }
