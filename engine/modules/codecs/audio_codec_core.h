// Audio codecs of our own that the FFmpeg coder modules use in place of
// FFmpeg's codec for some codecs: AAC decoding over libfaad, AMR-NB and AMR-WB
// decoding over opencore-amr, AMR-NB encoding over opencore-amrnb and AMR-WB
// encoding over vo-amrwbenc. Samples are interleaved signed 16-bit.
// Results: 0 success, negative error (the codec libraries' convention).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class IAudioDecoderCore {
 public:
  virtual ~IAudioDecoderCore() = default;
  // Rate and channels from the container (0 when unknown) and the codec's
  // configuration bytes. 0, or a negative error when the stream cannot be decoded.
  virtual int Open(int32_t sampleRate, int32_t channels, const uint8_t* config, int32_t configSize) = 0;
  // Decodes one packet, appending its samples to out. 0 on success (possibly
  // without samples); negative when the data does not decode (nothing appended).
  virtual int Decode(const uint8_t* data, int32_t size, std::vector<int16_t>* out) = 0;
  // Forgets the state carried between packets (after a seek).
  virtual void Flush() = 0;
  // Of the samples last appended; before the first, what Open learnt.
  virtual int32_t SampleRate() const = 0;
  virtual int32_t Channels() const = 0;
};

class IAudioEncoderCore {
 public:
  virtual ~IAudioEncoderCore() = default;
  // 0, or a negative error for a rate, channel count or bit rate the codec refuses.
  virtual int Open(int32_t sampleRate, int32_t channels, int64_t bitRate) = 0;
  // Samples per channel of one frame.
  virtual int32_t FrameSize() const = 0;
  // The bit rate chosen by Open.
  virtual int64_t BitRate() const = 0;
  // Encodes one whole frame, appending the packet to out. 0 or a negative error.
  virtual int Encode(const int16_t* samples, std::vector<uint8_t>* out) = 0;
};

// The codecs that have a core of ours (the FFmpeg family maps its codec ids onto them).
enum class AudioCore : int32_t { kAac, kAmrNb, kAmrWb };

// Our core for the codec in that direction; null when there is none (AAC is decode only).
std::unique_ptr<IAudioDecoderCore> CreateAudioDecoderCore(AudioCore codec);
std::unique_ptr<IAudioEncoderCore> CreateAudioEncoderCore(AudioCore codec);

// Exposed for the AMR cores' users and tests: bytes of one stored AMR frame
// (its mode byte included) for the mode byte; 0 for a mode without a size.
int32_t AmrNbFrameBytes(uint8_t modeByte);
int32_t AmrWbFrameBytes(uint8_t modeByte);
