#include "engine/modules/ffmpeg/ffm_adts.h"

#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/mem.h>
}

#include "engine/modules/bitstream/bitstream_adts.h"

int32_t StripAdtsHeader(const uint8_t* data, int32_t length, AVCodecParameters* stream) {
  const bool wantConfig = stream != nullptr && (stream->extradata == nullptr || stream->extradata_size == 0);
  std::vector<uint8_t> config;
  const int32_t skip = StripAdtsHeader(data, length, wantConfig ? &config : nullptr);
  if (skip == 0 || config.empty()) return skip;
  // zeroed and padded as FFmpeg expects of extradata
  auto* extra = static_cast<uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (extra != nullptr) {
    std::memcpy(extra, config.data(), config.size());
    av_freep(&stream->extradata);
    stream->extradata = extra;
    stream->extradata_size = static_cast<int>(config.size());
  }
  return skip;
}
