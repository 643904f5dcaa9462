#include "engine/modules/ffmpeg/ffm_audio_converter.h"

extern "C" {
#include <libswresample/swresample.h>
}

#include <cstring>

#include "platform/diagnostics.h"

CFFMAudioConverter::~CFFMAudioConverter() {
  swr_free(&swr_);
  av_channel_layout_uninit(&outLayout_);
  av_channel_layout_uninit(&inLayout_);
}

void CFFMAudioConverter::SetOutput(AVSampleFormat format, int32_t rate, int32_t channels) {
  Reset();
  outFormat_ = format;
  outRate_ = rate;
  av_channel_layout_uninit(&outLayout_);
  av_channel_layout_default(&outLayout_, channels > 0 ? channels : 1);
}

int32_t CFFMAudioConverter::OutputFrameBytes() const {
  return av_get_bytes_per_sample(outFormat_) * outLayout_.nb_channels;
}

void CFFMAudioConverter::Reset() {
  swr_free(&swr_);
  inFormat_ = AV_SAMPLE_FMT_NONE;
  inRate_ = 0;
  av_channel_layout_uninit(&inLayout_);
  passThrough_ = false;
}

int CFFMAudioConverter::Configure(AVSampleFormat format, int32_t rate, const AVChannelLayout* layout) {
  AVChannelLayout in{};
  if (layout->order == AV_CHANNEL_ORDER_UNSPEC || layout->order == AV_CHANNEL_ORDER_CUSTOM)
    av_channel_layout_default(&in, layout->nb_channels);
  else if (av_channel_layout_copy(&in, layout) < 0)
    return AVERROR(ENOMEM);
  if (swr_ && format == inFormat_ && rate == inRate_ && av_channel_layout_compare(&in, &inLayout_) == 0) {
    av_channel_layout_uninit(&in);
    return 0;
  }
  // Samples still held for the old input are lost with it; rate changes are rare.
  Reset();
  inFormat_ = format;
  inRate_ = rate;
  inLayout_ = in;
  if (outRate_ <= 0) outRate_ = rate;
  passThrough_ = format == outFormat_ && rate == outRate_ && av_channel_layout_compare(&in, &outLayout_) == 0 &&
                 !av_sample_fmt_is_planar(format);
  if (passThrough_) return 0;
  int err = swr_alloc_set_opts2(&swr_, &outLayout_, outFormat_, outRate_, &inLayout_, inFormat_, inRate_, 0, nullptr);
  if (err >= 0) err = swr_init(swr_);
  if (err < 0) {
    Diag(DiagLevel::kWarning, "audio conversion: cannot convert %d Hz, %d channels to %d Hz, %d channels", rate,
         layout->nb_channels, outRate_, outLayout_.nb_channels);
    swr_free(&swr_);
    inFormat_ = AV_SAMPLE_FMT_NONE;
    return err;
  }
  return 0;
}

int CFFMAudioConverter::Run(const uint8_t* const* input, int32_t frames, std::vector<uint8_t>* out) {
  const int frameBytes = OutputFrameBytes();
  const int room = swr_get_out_samples(swr_, frames) + 16;
  if (room <= 0) return 0;
  const size_t base = out->size();
  out->resize(base + static_cast<size_t>(room) * frameBytes);
  uint8_t* dst = out->data() + base;
  const int made = swr_convert(swr_, &dst, room, const_cast<const uint8_t**>(input), frames);
  out->resize(base + static_cast<size_t>(made > 0 ? made : 0) * frameBytes);
  return made;
}

int CFFMAudioConverter::Convert(const uint8_t* const* input, int32_t frames, AVSampleFormat format, int32_t rate,
                                const AVChannelLayout* layout, std::vector<uint8_t>* out) {
  if (frames <= 0 || !layout || layout->nb_channels <= 0 || rate <= 0) return 0;
  const int err = Configure(format, rate, layout);
  if (err < 0) return err;
  if (passThrough_) {
    const size_t bytes = static_cast<size_t>(frames) * OutputFrameBytes();
    out->insert(out->end(), input[0], input[0] + bytes);
    return frames;
  }
  return Run(input, frames, out);
}

int CFFMAudioConverter::Flush(std::vector<uint8_t>* out) {
  if (!swr_) return 0;
  int total = 0;
  for (;;) {
    const int made = Run(nullptr, 0, out);
    if (made <= 0) break;
    total += made;
  }
  return total;
}
