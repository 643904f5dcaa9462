// Converts decoded audio of any FFmpeg sample format, rate and channel
// layout into one fixed interleaved format over libswresample, following
// changes of the input between calls.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

struct SwrContext;

class CFFMAudioConverter {
 public:
  CFFMAudioConverter() = default;
  ~CFFMAudioConverter();
  CFFMAudioConverter(const CFFMAudioConverter&) = delete;
  CFFMAudioConverter& operator=(const CFFMAudioConverter&) = delete;

  // The output: sample format, rate and channel count (default layout).
  void SetOutput(AVSampleFormat format, int32_t rate, int32_t channels);
  int32_t OutputRate() const { return outRate_; }
  int32_t OutputChannels() const { return outLayout_.nb_channels; }
  AVSampleFormat OutputFormat() const { return outFormat_; }
  // Bytes of one sample frame of the output.
  int32_t OutputFrameBytes() const;

  // Appends the converted samples to out. A layout with an unspecified order
  // is taken as the default layout of its channel count.
  // Returns the sample frames appended, or a negative error.
  int Convert(const uint8_t* const* input, int32_t frames, AVSampleFormat format, int32_t rate,
              const AVChannelLayout* layout, std::vector<uint8_t>* out);
  // Samples held back by rate conversion, appended to out.
  int Flush(std::vector<uint8_t>* out);
  void Reset();

 private:
  int Configure(AVSampleFormat format, int32_t rate, const AVChannelLayout* layout);
  int Run(const uint8_t* const* input, int32_t frames, std::vector<uint8_t>* out);

  SwrContext* swr_ = nullptr;
  AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
  int32_t outRate_ = 0;
  AVChannelLayout outLayout_{};
  AVSampleFormat inFormat_ = AV_SAMPLE_FMT_NONE;
  int32_t inRate_ = 0;
  AVChannelLayout inLayout_{};
  bool passThrough_ = false;
};
