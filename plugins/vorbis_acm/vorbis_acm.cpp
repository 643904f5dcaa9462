// Vorbis codec driver: decodes Ogg Vorbis carried in wave-format tags
// 0x674F, 0x6750, 0x676F and 0x6770 into 16-bit PCM with libvorbis.
//
// The stream's bytes are an Ogg Vorbis bitstream, header pages first, cut
// anywhere. The format's extra bytes, when present, hold the stream's first
// page (the identification header): a stream is refused when its channels or
// rate differ from the format's. Tags 0x6751 and 0x6771 (headers kept outside
// the stream, packets without Ogg framing) are refused.
//
// Output: interleaved 16-bit samples in wave channel order; the last page's
// granule position cuts the final block to the stream's true length.
#include <ogg/ogg.h>
#include <vorbis/codec.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "platform/acm/acm_driver.h"

namespace {

constexpr WORD kOggTags[] = {0x674F, 0x6750, 0x676F, 0x6770};
constexpr int kMaxChannels = 8;

// Wave position i takes Vorbis channel kWaveFromVorbis[channels - 1][i].
constexpr int kWaveFromVorbis[kMaxChannels][kMaxChannels] = {
    {0},
    {0, 1},
    {0, 2, 1},
    {0, 1, 2, 3},
    {0, 2, 1, 3, 4},
    {0, 2, 1, 5, 3, 4},
    {0, 2, 1, 6, 5, 3, 4},
    {0, 2, 1, 7, 5, 6, 3, 4},
};

bool IsOggTag(WORD tag) { return std::find(std::begin(kOggTags), std::end(kOggTags), tag) != std::end(kOggTags); }

// Channels and rate of the identification header in the first Ogg page of bytes.
bool ReadIdentification(const uint8_t* bytes, size_t length, int* channels, long* rate) {
  ogg_sync_state sync;
  ogg_sync_init(&sync);
  char* buffer = ogg_sync_buffer(&sync, static_cast<long>(length));
  bool found = false;
  if (buffer) {
    std::memcpy(buffer, bytes, length);
    ogg_sync_wrote(&sync, static_cast<long>(length));
    ogg_page page;
    if (ogg_sync_pageout(&sync, &page) == 1 && ogg_page_bos(&page)) {
      ogg_stream_state stream;
      ogg_stream_init(&stream, ogg_page_serialno(&page));
      ogg_packet packet;
      if (ogg_stream_pagein(&stream, &page) == 0 && ogg_stream_packetout(&stream, &packet) == 1) {
        vorbis_info info;
        vorbis_comment comment;
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
        if (vorbis_synthesis_headerin(&info, &comment, &packet) == 0) {
          *channels = info.channels;
          *rate = info.rate;
          found = true;
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
      }
      ogg_stream_clear(&stream);
    }
  }
  ogg_sync_clear(&sync);
  return found;
}

class Decoder {
 public:
  Decoder(int channels, long rate) : channels_(channels), rate_(rate) { ogg_sync_init(&sync_); }
  ~Decoder() {
    ClearStream();
    ogg_sync_clear(&sync_);
  }
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  MMRESULT Convert(ACMDRVSTREAMHEADER* h) {
    h->cbSrcLengthUsed = 0;
    h->cbDstLengthUsed = 0;
    if (h->fdwConvert & ACM_STREAMCONVERTF_START) Restart();
    DWORD written = WritePcm(h->pbDst, h->cbDstLength);
    if (Backlog() > 0) {  // output full: take no input this time
      h->cbDstLengthUsed = written;
      return MMSYSERR_NOERROR;
    }
    MMRESULT result = MMSYSERR_NOERROR;
    if (h->cbSrcLength > 0) {
      char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(h->cbSrcLength));
      if (!buffer) return MMSYSERR_ERROR;
      std::memcpy(buffer, h->pbSrc, h->cbSrcLength);
      ogg_sync_wrote(&sync_, static_cast<long>(h->cbSrcLength));
      h->cbSrcLengthUsed = h->cbSrcLength;
      result = ReadPages();
    }
    if ((h->fdwConvert & ACM_STREAMCONVERTF_END) && sync_.fill > sync_.returned) {
      ogg_sync_reset(&sync_);  // a page cut short: the stream is truncated
      truncated_ = true;
    }
    written += WritePcm(h->pbDst + written, h->cbDstLength - written);
    h->cbDstLengthUsed = written;
    // What decoded is handed out; a failure is told when a call has nothing else to give.
    if (written > 0 || Backlog() > 0) return MMSYSERR_NOERROR;
    if (result == MMSYSERR_NOERROR && truncated_) result = ACMERR_NOTPOSSIBLE;
    truncated_ = false;
    return result;
  }

 private:
  size_t Backlog() const { return pcm_.size() - read_; }

  DWORD WritePcm(BYTE* to, DWORD capacity) {
    const size_t frameBytes = static_cast<size_t>(channels_) * 2;
    const size_t frames = std::min<size_t>(capacity / frameBytes, Backlog() / static_cast<size_t>(channels_));
    const size_t samples = frames * static_cast<size_t>(channels_);
    if (samples == 0) return 0;
    std::memcpy(to, pcm_.data() + read_, samples * 2);
    read_ += samples;
    if (read_ == pcm_.size()) {
      pcm_.clear();
      read_ = 0;
    }
    return static_cast<DWORD>(samples * 2);
  }

  void ClearStream() {
    if (dspReady_) {
      vorbis_block_clear(&block_);
      vorbis_dsp_clear(&dsp_);
    }
    if (infoReady_) {
      vorbis_comment_clear(&comment_);
      vorbis_info_clear(&info_);
    }
    if (streamReady_) ogg_stream_clear(&stream_);
    dspReady_ = infoReady_ = streamReady_ = false;
    headers_ = 0;
    decoded_ = 0;
  }

  void Restart() {
    ClearStream();
    truncated_ = false;
    ogg_sync_reset(&sync_);
    pcm_.clear();
    read_ = 0;
  }

  MMRESULT ReadPages() {
    MMRESULT result = MMSYSERR_NOERROR;
    bool lostSync = false, anyPage = false;
    ogg_page page;
    for (;;) {
      const int r = ogg_sync_pageout(&sync_, &page);
      if (r == 0) break;
      if (r < 0) {
        lostSync = true;  // bytes skipped that are not a page
        continue;
      }
      anyPage = true;
      const MMRESULT pageResult = PageIn(&page);
      if (result == MMSYSERR_NOERROR) result = pageResult;
    }
    if (lostSync && !anyPage && result == MMSYSERR_NOERROR) result = ACMERR_NOTPOSSIBLE;
    return result;
  }

  MMRESULT PageIn(ogg_page* page) {
    if (ogg_page_bos(page)) {
      ClearStream();
      ogg_stream_init(&stream_, ogg_page_serialno(page));
      streamReady_ = true;
      vorbis_info_init(&info_);
      vorbis_comment_init(&comment_);
      infoReady_ = true;
    }
    if (!streamReady_) return ACMERR_NOTPOSSIBLE;                              // audio without the stream's headers
    if (ogg_page_serialno(page) != stream_.serialno) return MMSYSERR_NOERROR;  // another logical stream
    if (ogg_stream_pagein(&stream_, page) != 0) return ACMERR_NOTPOSSIBLE;
    ogg_packet packet;
    for (;;) {
      const int r = ogg_stream_packetout(&stream_, &packet);
      if (r == 0) break;
      if (r < 0) continue;  // a gap in the stream
      if (headers_ < 3) {
        if (!infoReady_ || vorbis_synthesis_headerin(&info_, &comment_, &packet) != 0) {
          ClearStream();
          return ACMERR_NOTPOSSIBLE;
        }
        ++headers_;
        if (headers_ == 1 && (info_.channels != channels_ || info_.rate != rate_)) {
          ClearStream();  // the stream is not what the format said
          return ACMERR_NOTPOSSIBLE;
        }
        if (headers_ == 3) {
          if (vorbis_synthesis_init(&dsp_, &info_) != 0) {
            ClearStream();
            return ACMERR_NOTPOSSIBLE;
          }
          vorbis_block_init(&dsp_, &block_);
          dspReady_ = true;
        }
        continue;
      }
      if (vorbis_synthesis(&block_, &packet) == 0) vorbis_synthesis_blockin(&dsp_, &block_);
      Drain();
    }
    // The last page says how many samples the stream really has.
    const int64_t granule = ogg_page_granulepos(page);
    if (ogg_page_eos(page) && granule >= 0 && decoded_ > granule) {
      const size_t extra = static_cast<size_t>(decoded_ - granule) * static_cast<size_t>(channels_);
      pcm_.resize(pcm_.size() - std::min(extra, Backlog()));
      decoded_ = granule;
    }
    return MMSYSERR_NOERROR;
  }

  void Drain() {
    float** channels = nullptr;
    int frames;
    const int* order = kWaveFromVorbis[channels_ - 1];
    while ((frames = vorbis_synthesis_pcmout(&dsp_, &channels)) > 0) {
      const size_t at = pcm_.size();
      pcm_.resize(at + static_cast<size_t>(frames) * static_cast<size_t>(channels_));
      int16_t* out = pcm_.data() + at;
      for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels_; ++c) {
          const long v = std::lrint(channels[order[c]][i] * 32767.0f);
          *out++ = static_cast<int16_t>(std::clamp(v, -32768L, 32767L));
        }
      }
      vorbis_synthesis_read(&dsp_, frames);
      decoded_ += frames;
    }
  }

  const int channels_;
  const long rate_;
  ogg_sync_state sync_{};
  ogg_stream_state stream_{};
  vorbis_info info_{};
  vorbis_comment comment_{};
  vorbis_dsp_state dsp_{};
  vorbis_block block_{};
  bool streamReady_ = false, infoReady_ = false, dspReady_ = false;
  int headers_ = 0;
  int64_t decoded_ = 0;  // sample frames since the stream's start
  std::vector<int16_t> pcm_;
  size_t read_ = 0;
  bool truncated_ = false;  // the stream ended inside a page
};

MMRESULT StreamOpen(ACMDRVSTREAMINSTANCE* s) {
  const WAVEFORMATEX* src = s->pwfxSrc;
  const WAVEFORMATEX* dst = s->pwfxDst;
  if (!src || !dst || !IsOggTag(src->wFormatTag)) return ACMERR_NOTPOSSIBLE;
  if (src->nChannels < 1 || src->nChannels > kMaxChannels || src->nSamplesPerSec == 0) return ACMERR_NOTPOSSIBLE;
  if (dst->wFormatTag != WAVE_FORMAT_PCM || dst->wBitsPerSample != 16 || dst->nChannels != src->nChannels ||
      dst->nSamplesPerSec != src->nSamplesPerSec || dst->nBlockAlign != dst->nChannels * 2)
    return ACMERR_NOTPOSSIBLE;
  if (src->cbSize > 0) {
    int channels = 0;
    long rate = 0;
    const auto* extra = reinterpret_cast<const uint8_t*>(src) + sizeof(WAVEFORMATEX);
    if (!ReadIdentification(extra, src->cbSize, &channels, &rate) || channels != src->nChannels ||
        rate != static_cast<long>(src->nSamplesPerSec))
      return ACMERR_NOTPOSSIBLE;
  }
  if (s->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  auto* decoder = new (std::nothrow) Decoder(src->nChannels, static_cast<long>(src->nSamplesPerSec));
  if (!decoder) return MMSYSERR_ERROR;
  s->dwDriver = reinterpret_cast<uintptr_t>(decoder);
  return MMSYSERR_NOERROR;
}

// Compressed bytes for an amount of PCM and back, from the two byte rates.
MMRESULT StreamSize(const ACMDRVSTREAMINSTANCE* s, ACMDRVSTREAMSIZE* size) {
  const uint64_t in = s->pwfxSrc->nAvgBytesPerSec, out = s->pwfxDst->nAvgBytesPerSec;
  if (in == 0 || out == 0) return ACMERR_NOTPOSSIBLE;
  if (size->fdwSize == ACM_STREAMSIZEF_DESTINATION) {
    const uint64_t bytes = (uint64_t(size->cbDstLength) * in + out - 1) / out;
    size->cbSrcLength = static_cast<DWORD>(std::clamp<uint64_t>(bytes, 1, UINT32_MAX));
  } else {
    const uint64_t block = s->pwfxDst->nBlockAlign ? s->pwfxDst->nBlockAlign : 1;
    const uint64_t bytes = uint64_t(size->cbSrcLength) * out / in / block * block;
    size->cbDstLength = static_cast<DWORD>(std::clamp<uint64_t>(bytes, block, UINT32_MAX));
  }
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) intptr_t DriverProc(uintptr_t /*driverId*/, void* /*driver*/,
                                                                      uint32_t message, intptr_t param1,
                                                                      intptr_t param2) {
  try {
    auto* stream = reinterpret_cast<ACMDRVSTREAMINSTANCE*>(param1);
    switch (message) {
      case DRV_LOAD:
      case DRV_ENABLE:
      case DRV_DISABLE:
      case DRV_FREE:
      case DRV_CLOSE:
        return 1;
      case DRV_OPEN:
        return 1;  // one stateless instance; streams carry the state
      case ACMDM_STREAM_OPEN:
        return stream ? StreamOpen(stream) : MMSYSERR_INVALPARAM;
      case ACMDM_STREAM_CLOSE:
        if (stream) delete reinterpret_cast<Decoder*>(stream->dwDriver);
        return MMSYSERR_NOERROR;
      case ACMDM_STREAM_SIZE:
        if (!stream || !param2) return MMSYSERR_INVALPARAM;
        return StreamSize(stream, reinterpret_cast<ACMDRVSTREAMSIZE*>(param2));
      case ACMDM_STREAM_CONVERT:
        if (!stream || !param2 || !stream->dwDriver) return MMSYSERR_INVALPARAM;
        return reinterpret_cast<Decoder*>(stream->dwDriver)->Convert(reinterpret_cast<ACMDRVSTREAMHEADER*>(param2));
      default:
        return MMSYSERR_NOTSUPPORTED;
    }
  } catch (...) {
    return MMSYSERR_ERROR;  // out of memory
  }
}
