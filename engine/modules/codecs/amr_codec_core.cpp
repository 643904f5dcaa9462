// AMR-NB and AMR-WB over opencore-amr (decoding, AMR-NB encoding) and
// vo-amrwbenc (AMR-WB encoding). Packets hold frames in storage form: a mode
// byte, then the frame's bits.
extern "C" {
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>
#include <opencore-amrwb/dec_if.h>
#include <vo-amrwbenc/enc_if.h>
}

#include <cstdlib>
#include <cstring>

#include "engine/modules/codecs/audio_codec_core.h"
#include "platform/diagnostics.h"

namespace {

// Stored frame sizes by mode, mode byte included.
constexpr int32_t kNbFrameBytes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 1, 1, 1, 1, 1, 1, 1};
constexpr int32_t kWbFrameBytes[16] = {18, 24, 33, 37, 41, 47, 51, 59, 61, 6, 1, 1, 1, 1, 1, 1};
constexpr int64_t kNbRates[8] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
constexpr int64_t kWbRates[9] = {6600, 8850, 12650, 14250, 15850, 18250, 19850, 23050, 23850};

// The mode whose rate is nearest; 0 or less picks the highest.
int NearestMode(const int64_t* rates, int count, int64_t bitRate) {
  if (bitRate <= 0) return count - 1;
  int best = 0;
  for (int i = 1; i < count; ++i)
    if (std::llabs(rates[i] - bitRate) < std::llabs(rates[best] - bitRate)) best = i;
  return best;
}

class AmrDecoderCore final : public IAudioDecoderCore {
 public:
  explicit AmrDecoderCore(bool wide) : wide_(wide) {}
  ~AmrDecoderCore() override { Close(); }

  int Open(int32_t, int32_t, const uint8_t*, int32_t) override {
    Close();
    state_ = wide_ ? D_IF_init() : Decoder_Interface_init();
    return state_ ? 0 : -1;
  }

  int Decode(const uint8_t* data, int32_t size, std::vector<int16_t>* out) override {
    if (!state_) return -1;
    if (!data || size <= 0) return 0;
    const int32_t frameSamples = wide_ ? 320 : 160;
    // Every frame must be whole before any is decoded, so a cut packet adds nothing.
    int32_t frames = 0;
    for (int32_t pos = 0; pos < size; ++frames) {
      const int32_t bytes = wide_ ? AmrWbFrameBytes(data[pos]) : AmrNbFrameBytes(data[pos]);
      if (bytes <= 0 || pos + bytes > size) {
        Diag(DiagLevel::kTrace, "AMR decoder: a packet of %d bytes ends inside a frame", size);
        return -1;
      }
      pos += bytes;
    }
    const size_t base = out->size();
    out->resize(base + static_cast<size_t>(frames) * frameSamples);
    int16_t* dst = out->data() + base;
    uint8_t frame[64];
    for (int32_t pos = 0, f = 0; f < frames; ++f) {
      const int32_t bytes = wide_ ? AmrWbFrameBytes(data[pos]) : AmrNbFrameBytes(data[pos]);
      // The decoders read a whole frame of the largest mode: hand them a padded copy.
      for (int32_t i = 0; i < 64; ++i) frame[i] = i < bytes ? data[pos + i] : 0;
      if (wide_)
        D_IF_decode(state_, frame, dst + static_cast<size_t>(f) * frameSamples, _good_frame);
      else
        Decoder_Interface_Decode(state_, frame, dst + static_cast<size_t>(f) * frameSamples, 0);
      pos += bytes;
    }
    return 0;
  }

  void Flush() override { Open(0, 0, nullptr, 0); }
  int32_t SampleRate() const override { return wide_ ? 16000 : 8000; }
  int32_t Channels() const override { return 1; }

 private:
  void Close() {
    if (!state_) return;
    if (wide_)
      D_IF_exit(state_);
    else
      Decoder_Interface_exit(state_);
    state_ = nullptr;
  }

  bool wide_;
  void* state_ = nullptr;
};

class AmrEncoderCore final : public IAudioEncoderCore {
 public:
  explicit AmrEncoderCore(bool wide) : wide_(wide) {}
  ~AmrEncoderCore() override { Close(); }

  int Open(int32_t sampleRate, int32_t channels, int64_t bitRate) override {
    Close();
    const int32_t rate = wide_ ? 16000 : 8000;
    if (sampleRate != rate || channels != 1) {
      Diag(DiagLevel::kTrace, "AMR encoder: needs %d Hz mono, got %d Hz, %d channels", rate, sampleRate, channels);
      return -1;
    }
    mode_ = wide_ ? NearestMode(kWbRates, 9, bitRate) : NearestMode(kNbRates, 8, bitRate);
    state_ = wide_ ? E_IF_init() : Encoder_Interface_init(0);
    return state_ ? 0 : -1;
  }

  int32_t FrameSize() const override { return wide_ ? 320 : 160; }
  int64_t BitRate() const override { return wide_ ? kWbRates[mode_] : kNbRates[mode_]; }

  int Encode(const int16_t* samples, std::vector<uint8_t>* out) override {
    if (!state_) return -1;
    // The encoders may write into the speech they are given: hand them a copy.
    int16_t speech[320];
    std::memcpy(speech, samples, sizeof(int16_t) * static_cast<size_t>(FrameSize()));
    uint8_t packet[64];
    const int bytes = wide_ ? E_IF_encode(state_, mode_, speech, packet, 0)
                            : Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), speech, packet, 0);
    if (bytes <= 0 || bytes > static_cast<int>(sizeof packet)) return -1;
    out->insert(out->end(), packet, packet + bytes);
    return 0;
  }

 private:
  void Close() {
    if (!state_) return;
    if (wide_)
      E_IF_exit(state_);
    else
      Encoder_Interface_exit(state_);
    state_ = nullptr;
  }

  bool wide_;
  int mode_ = 0;
  void* state_ = nullptr;
};

}  // namespace

int32_t AmrNbFrameBytes(uint8_t modeByte) { return kNbFrameBytes[(modeByte >> 3) & 15]; }
int32_t AmrWbFrameBytes(uint8_t modeByte) { return kWbFrameBytes[(modeByte >> 3) & 15]; }

std::unique_ptr<IAudioDecoderCore> CreateAmrDecoderCore(bool wide) { return std::make_unique<AmrDecoderCore>(wide); }
std::unique_ptr<IAudioEncoderCore> CreateAmrEncoderCore(bool wide) { return std::make_unique<AmrEncoderCore>(wide); }
