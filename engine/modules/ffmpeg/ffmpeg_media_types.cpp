#include "engine/modules/ffmpeg/ffmpeg_media_types.h"

#include <cstddef>
#include <cstring>

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}

#include "common/codec_tables.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr size_t kVorbisHeader = 24;
constexpr int64_t kUnitsPerSecond = 10000000;

struct RateEntry {
  int32_t num;
  int32_t den;
};

struct RateTable {
  RateEntry entries[62];
  constexpr RateTable() : entries() {
    int i = 0;
    for (int n = 1; n <= 23; ++n) entries[i++] = {1, n};
    entries[i++] = {1001, 24000};
    for (int n = 24; n <= 29; ++n) entries[i++] = {1, n};
    entries[i++] = {1001, 30000};
    for (int n = 30; n <= 60; ++n) entries[i++] = {1, n};
  }
};
constexpr RateTable kRates;

template <class T>
bool ReadBlock(const AM_MEDIA_TYPE* type, T* out) {
  if (!type->pbFormat || type->cbFormat < sizeof(T)) return false;
  std::memcpy(out, type->pbFormat, sizeof(T));
  return true;
}

uint32_t ReadLe32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void WriteLe32(BYTE* p, uint32_t v) {
  p[0] = static_cast<BYTE>(v);
  p[1] = static_cast<BYTE>(v >> 8);
  p[2] = static_cast<BYTE>(v >> 16);
  p[3] = static_cast<BYTE>(v >> 24);
}

void TakeExtradata(const AM_MEDIA_TYPE* type, CodecContext* ctx) {
  BYTE* bytes = nullptr;
  int32_t length = 0;
  GetMediaTypeFormatBytes(type, &bytes, &length);
  ctx->extradata.clear();
  if (bytes && length > 0) ctx->extradata.assign(bytes, bytes + length);
  CoTaskMemFree(bytes);
}

void VideoFromHeader(CodecContext* ctx, int32_t id, int32_t pixFmt, int32_t bits, uint32_t tag, DWORD bitRate,
                     REFERENCE_TIME frameTime, const BITMAPINFOHEADER& bmi) {
  ctx->codec_type = CODEC_TYPE_VIDEO;
  ctx->codec_id = id;
  ctx->bit_rate = bitRate;
  SnapFrameTimeToRate(frameTime, &ctx->time_base);
  ctx->codec_tag = tag;
  ctx->width = bmi.biWidth;
  ctx->height = bmi.biHeight;
  ctx->pix_fmt = pixFmt;
  ctx->bits_per_sample = bits ? bits : bmi.biBitCount;
}

WORD WaveBits(const CodecContext* ctx) {
  if (ctx->codec_id == AV_CODEC_ID_PCM_DVD) return static_cast<WORD>(ctx->bits_per_sample);
  return ctx->sample_fmt == SAMPLE_FMT_S32 ? 32 : 16;
}

DWORD AvgBytes(const CodecContext* ctx) { return static_cast<DWORD>(ctx->bit_rate / 8); }

// The wave header fields a compressed format takes from the context.
WAVEFORMATEX WaveHeader(WORD tag, const CodecContext* ctx, int blockAlign) {
  WAVEFORMATEX w{};
  w.wFormatTag = tag;
  w.nChannels = static_cast<WORD>(ctx->channels);
  w.nSamplesPerSec = static_cast<DWORD>(ctx->sample_rate);
  w.nAvgBytesPerSec = AvgBytes(ctx);
  w.nBlockAlign = static_cast<WORD>(blockAlign);
  return w;
}

// Header sizes of Vorbis extra data in either form; false when they do not
// fit the data. offset is where the header bytes begin.
bool ParseVorbisHeaders(const std::vector<uint8_t>& data, uint32_t sizes[3], size_t* offset) {
  sizes[0] = sizes[1] = sizes[2] = 0;
  *offset = 0;
  const size_t n = data.size();
  if (n >= 2 && data[0] == 0x00 && data[1] == 0x1E) {
    // Three headers, each after its 16-bit big-endian length.
    size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
      if (pos + 2 > n) return false;
      sizes[i] = static_cast<uint32_t>(data[pos] << 8 | data[pos + 1]);
      pos += 2 + sizes[i];
      if (pos > n) return false;
    }
    *offset = 0;  // headers are interleaved with their lengths
    return true;
  }
  if (n >= 1 && data[0] == 2) {
    size_t pos = 1;
    for (int i = 0; i < 2; ++i) {
      uint64_t size = 0;
      while (true) {
        if (pos >= n) return false;
        uint8_t b = data[pos++];
        size += b;
        if (b != 255) break;
      }
      if (size > n) return false;
      sizes[i] = static_cast<uint32_t>(size);
    }
    int64_t third = static_cast<int64_t>(n) - static_cast<int64_t>(pos) - sizes[0] - sizes[1];
    if (third < 0) return false;
    sizes[2] = static_cast<uint32_t>(third);
    *offset = pos;
    return true;
  }
  return true;  // neither form: no headers
}

bool VorbisToMediaType(const CodecContext* ctx, AM_MEDIA_TYPE* type) {
  const size_t blockSize = ctx->extradata.size() + 100;
  if (!AllocMediaTypeFormat(type, static_cast<ULONG>(blockSize))) return false;
  type->formattype = FORMAT_VorbisFormat;
  BYTE* block = type->pbFormat;
  std::memset(block, 0, kVorbisHeader);
  WriteLe32(block + 0, static_cast<uint32_t>(ctx->channels));
  WriteLe32(block + 4, static_cast<uint32_t>(ctx->sample_rate));
  WriteLe32(block + 8, static_cast<uint32_t>(ctx->bits_per_sample));

  uint32_t sizes[3];
  size_t offset = 0;
  if (!ParseVorbisHeaders(ctx->extradata, sizes, &offset)) return false;
  const uint64_t total = static_cast<uint64_t>(sizes[0]) + sizes[1] + sizes[2];
  if (kVorbisHeader + total > blockSize) return false;
  const uint8_t* src = ctx->extradata.data();
  if (ctx->extradata.size() >= 2 && src[0] == 0x00 && src[1] == 0x1E) {
    size_t pos = 0;
    BYTE* dst = block + kVorbisHeader;
    for (uint32_t size : sizes) {
      std::memcpy(dst, src + pos + 2, size);
      dst += size;
      pos += 2 + size;
    }
  } else if (total > 0) {
    std::memcpy(block + kVorbisHeader, src + offset, total);
  }
  for (int i = 0; i < 3; ++i) WriteLe32(block + 12 + 4 * i, sizes[i]);
  type->cbFormat = static_cast<ULONG>(kVorbisHeader + total);
  return true;
}

bool AudioKnownToMediaType(CodecContext* ctx, AM_MEDIA_TYPE* type) {
  type->bTemporalCompression = 1;
  type->bFixedSizeSamples = 0;
  type->lSampleSize = static_cast<ULONG>(ctx->frame_size);
  if (ctx->codec_id == AV_CODEC_ID_VORBIS) return VorbisToMediaType(ctx, type);

  if (ctx->codec_id == AV_CODEC_ID_MP3 && (ctx->sub_id == 1 || ctx->sub_id == 2)) {
    type->subtype.Data1 = 0x50;
    if (!AllocMediaTypeFormat(type, sizeof(MPEG1WAVEFORMAT))) return false;
    MPEG1WAVEFORMAT w{};
    w.wfx = WaveHeader(0x50, ctx, ctx->frame_size);
    w.wfx.cbSize = 22;
    w.fwHeadLayer = static_cast<WORD>(ctx->sub_id);
    std::memcpy(type->pbFormat, &w, sizeof(w));
    type->formattype = FORMAT_WaveFormatEx;
    return true;
  }
  if (ctx->codec_id == AV_CODEC_ID_MP3) {
    if (!AllocMediaTypeFormat(type, sizeof(MPEGLAYER3WAVEFORMAT))) return false;
    MPEGLAYER3WAVEFORMAT w{};
    w.wfx = WaveHeader(0x55, ctx, ctx->frame_size);
    w.wfx.cbSize = 12;
    std::memcpy(type->pbFormat, &w, sizeof(w));
    type->formattype = FORMAT_WaveFormatEx;
    return true;
  }
  if (!AllocMediaTypeFormat(type, sizeof(WAVEFORMATEX))) return false;
  WAVEFORMATEX w = WaveHeader(static_cast<WORD>(GuidToFourcc(type->subtype) & 0xFFFF), ctx, ctx->frame_size);
  w.wBitsPerSample = WaveBits(ctx);
  std::memcpy(type->pbFormat, &w, sizeof(w));
  type->formattype = FORMAT_WaveFormatEx;
  if (!ctx->extradata.empty() &&
      BuildMediaTypeFromFormat(type, ctx->extradata.data(), ctx->extradata_size()) != ctx->extradata_size())
    return false;
  return true;
}

void FillVideoCommon(const CodecContext* ctx, AM_MEDIA_TYPE* type, VIDEOINFOHEADER* vih, DWORD compression) {
  vih->dwBitRate = static_cast<DWORD>(ctx->bit_rate);
  vih->AvgTimePerFrame = FrameDurationFromRate(ctx->time_base);
  vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  vih->bmiHeader.biPlanes = 1;
  vih->bmiHeader.biCompression = compression;
  vih->bmiHeader.biWidth = ctx->width;
  vih->bmiHeader.biHeight = ctx->height;
  vih->bmiHeader.biSizeImage = static_cast<DWORD>(PictureBufferSize(ctx->pix_fmt, ctx->width, ctx->height));
  type->bFixedSizeSamples = 0;
  type->bTemporalCompression = 1;
  type->lSampleSize = 0;
}

bool AppendExtradata(const CodecContext* ctx, AM_MEDIA_TYPE* type) {
  if (ctx->extradata.empty()) return true;
  return BuildMediaTypeFromFormat(type, ctx->extradata.data(), ctx->extradata_size()) == ctx->extradata_size();
}

bool VideoKnownToMediaType(const CodecContext* ctx, AM_MEDIA_TYPE* type) {
  const DWORD compression = GuidToFourcc(type->subtype);
  if (ctx->codec_id == AV_CODEC_ID_MPEG1VIDEO) {
    if (!AllocMediaTypeFormat(type, sizeof(MPEG1VIDEOINFO))) return false;
    MPEG1VIDEOINFO info{};
    FillVideoCommon(ctx, type, &info.hdr, compression);
    info.hdr.bmiHeader.biBitCount = 24;
    std::memcpy(type->pbFormat, &info, sizeof(info));
    type->formattype = FORMAT_MPEGVideo;
    return true;
  }
  if (ctx->codec_id == AV_CODEC_ID_MPEG2VIDEO) {
    if (!AllocMediaTypeFormat(type, sizeof(MPEG2VIDEOINFO))) return false;
    MPEG2VIDEOINFO info{};
    VIDEOINFOHEADER vih{};
    FillVideoCommon(ctx, type, &vih, compression);
    info.hdr.dwBitRate = vih.dwBitRate;
    info.hdr.AvgTimePerFrame = vih.AvgTimePerFrame;
    info.hdr.bmiHeader = vih.bmiHeader;
    info.hdr.bmiHeader.biBitCount = 24;
    std::memcpy(type->pbFormat, &info, sizeof(info));
    type->formattype = FORMAT_MPEG2Video;
    return true;
  }
  if (!AllocMediaTypeFormat(type, sizeof(VIDEOINFOHEADER))) return false;
  VIDEOINFOHEADER vih{};
  FillVideoCommon(ctx, type, &vih, compression);
  vih.bmiHeader.biBitCount = static_cast<WORD>(ctx->bits_per_sample);
  std::memcpy(type->pbFormat, &vih, sizeof(vih));
  type->formattype = FORMAT_VideoInfo;
  return AppendExtradata(ctx, type);
}

bool AudioUnknownToMediaType(const CodecContext* ctx, AM_MEDIA_TYPE* type) {
  type->majortype = MEDIATYPE_Audio;
  type->subtype = FourccGuid(ctx->codec_tag);
  if (!AllocMediaTypeFormat(type, sizeof(WAVEFORMATEX))) return false;
  WAVEFORMATEX w = WaveHeader(static_cast<WORD>(ctx->codec_tag), ctx, ctx->block_align);
  w.wBitsPerSample = WaveBits(ctx);
  WORD pcmBits = 0;
  if (ctx->codec_id == AV_CODEC_ID_PCM_U8) pcmBits = 8;
  if (ctx->codec_id == AV_CODEC_ID_PCM_S24LE) pcmBits = 24;
  if (ctx->codec_id == AV_CODEC_ID_PCM_S32LE) pcmBits = 32;
  if (pcmBits) {
    type->subtype = MEDIASUBTYPE_PCM;
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.wBitsPerSample = pcmBits;
  }
  std::memcpy(type->pbFormat, &w, sizeof(w));
  type->formattype = FORMAT_WaveFormatEx;
  type->bTemporalCompression = 1;
  type->bFixedSizeSamples = 0;
  type->lSampleSize = 0;
  return AppendExtradata(ctx, type);
}

bool VideoUnknownToMediaType(CodecContext* ctx, AM_MEDIA_TYPE* type) {
  if (!AllocMediaTypeFormat(type, sizeof(VIDEOINFOHEADER))) return false;
  std::memset(type->pbFormat, 0, sizeof(VIDEOINFOHEADER));
  type->formattype = FORMAT_VideoInfo;
  VIDEOINFOHEADER vih{};
  if (ctx->codec_id == AV_CODEC_ID_RAWVIDEO) {
    if (ctx->pix_fmt == AV_PIX_FMT_RGB555LE) ctx->pix_fmt = AV_PIX_FMT_RGB565LE;
    GUID ms[2] = {};
    int32_t bits = 0;
    if (!MediaTypeFromPixelFormat(ctx->pix_fmt, ms, &bits)) return false;
    type->majortype = ms[0];
    type->subtype = ms[1];
    if (ctx->pix_fmt == AV_PIX_FMT_YUV420P && ctx->codec_tag == MakeFourcc('Y', 'V', '1', '2'))
      type->subtype = MEDIASUBTYPE_YV12;
    vih.bmiHeader.biBitCount = static_cast<WORD>(bits);
    FillVideoCommon(ctx, type, &vih, GuidToFourcc(type->subtype));
  } else {
    if (ctx->codec_tag == 0) return false;
    type->majortype = MEDIATYPE_Video;
    if (ctx->codec_tag == 3) {
      type->subtype = MEDIASUBTYPE_RGB565;
      ctx->pix_fmt = AV_PIX_FMT_RGB565LE;
    } else {
      type->subtype = FourccGuid(ctx->codec_tag);
    }
    vih.bmiHeader.biBitCount = static_cast<WORD>(ctx->bits_per_sample);
    FillVideoCommon(ctx, type, &vih, ctx->codec_tag);
  }
  std::memcpy(type->pbFormat, &vih, sizeof(vih));
  return AppendExtradata(ctx, type);
}

}  // namespace

void SnapFrameTimeToRate(int64_t frameTime, FFRational* rate) {
  for (const RateEntry& e : kRates.entries) {
    int64_t d = static_cast<int64_t>(e.num) * kUnitsPerSecond / e.den;
    int64_t diff = d - frameTime;
    if (diff > -10 && diff < 10) {
      *rate = FFRational{e.num, e.den};
      return;
    }
  }
  *rate = FFRational{static_cast<int32_t>(frameTime / 100), 100000};
}

int64_t FrameDurationFromRate(FFRational rate) {
  if (rate.den == 0) return 0;
  return static_cast<int64_t>(rate.num) * kUnitsPerSecond / rate.den;
}

bool MediaTypeToCodecContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, int32_t codecId, int32_t pixFmt,
                             int32_t bitsOverride, uint32_t codecTag) {
  if (!type || !ctx) return false;
  const GUID& ft = type->formattype;
  if (ft == FORMAT_VideoInfo || ft == FORMAT_MPEGVideo) {
    VIDEOINFOHEADER vih;
    if (!ReadBlock(type, &vih)) return false;
    VideoFromHeader(ctx, codecId, pixFmt, bitsOverride, codecTag, vih.dwBitRate, vih.AvgTimePerFrame, vih.bmiHeader);
    TakeExtradata(type, ctx);
    return true;
  }
  if (ft == FORMAT_VideoInfo2 || ft == FORMAT_MPEG2Video) {
    VIDEOINFOHEADER2 vih;
    if (!ReadBlock(type, &vih)) return false;
    VideoFromHeader(ctx, codecId, pixFmt, bitsOverride, codecTag, vih.dwBitRate, vih.AvgTimePerFrame, vih.bmiHeader);
    TakeExtradata(type, ctx);
    return true;
  }
  if (ft == FORMAT_WaveFormatEx) {
    WAVEFORMATEX w;
    if (!ReadBlock(type, &w)) return false;
    ctx->codec_id = codecId;
    ctx->codec_type = CODEC_TYPE_AUDIO;
    ctx->codec_tag = codecTag;
    ctx->sample_rate = static_cast<int32_t>(w.nSamplesPerSec);
    ctx->channels = w.nChannels;
    if (ctx->frame_size == 0) ctx->frame_size = w.nBlockAlign;
    ctx->bit_rate = static_cast<int64_t>(w.nAvgBytesPerSec) * 8;
    ctx->block_align = w.nBlockAlign;
    ctx->bits_per_sample = w.wBitsPerSample;
    if (w.wBitsPerSample == 32) ctx->sample_fmt = SAMPLE_FMT_S32;
    if (w.wBitsPerSample == 8) ctx->sample_fmt = SAMPLE_FMT_U8;
    if (codecTag == WAVE_FORMAT_PCM) {
      switch (w.wBitsPerSample) {
        case 8:
          ctx->codec_id = AV_CODEC_ID_PCM_U8;
          ctx->block_align = ctx->channels;
          break;
        case 16:
          ctx->block_align = ctx->channels * 2;
          break;
        case 24:
          ctx->codec_id = AV_CODEC_ID_PCM_S24LE;
          ctx->block_align = ctx->channels * 3;
          break;
        case 32:
          ctx->codec_id = AV_CODEC_ID_PCM_S32LE;
          ctx->block_align = ctx->channels * 4;
          break;
        default:
          break;
      }
    }
    ctx->time_base = FFRational{1, ctx->sample_rate};
    MPEG1WAVEFORMAT mpeg;
    if (type->subtype == MEDIASUBTYPE_MPEG1Payload && w.cbSize >= 22 && ReadBlock(type, &mpeg)) {
      if (mpeg.fwHeadLayer == 1 || mpeg.fwHeadLayer == 2) {
        ctx->sub_id = mpeg.fwHeadLayer;
      } else {
        ctx->sub_id = 3;
        ctx->codec_tag = 0x55;
      }
      return true;
    }
    TakeExtradata(type, ctx);
    return true;
  }
  if (ft == FORMAT_VorbisFormat) {
    if (!type->pbFormat || type->cbFormat < kVorbisHeader) return false;
    const BYTE* block = type->pbFormat;
    const uint32_t sizes[3] = {ReadLe32(block + 12), ReadLe32(block + 16), ReadLe32(block + 20)};
    const uint64_t total = static_cast<uint64_t>(sizes[0]) + sizes[1] + sizes[2];
    if (kVorbisHeader + total > type->cbFormat) return false;
    std::vector<uint8_t> xiph(total / 255 + total + 64);
    size_t pos = 0;
    xiph[pos++] = 2;
    pos += static_cast<size_t>(XiphLacing(xiph.data() + pos, sizes[0]));
    pos += static_cast<size_t>(XiphLacing(xiph.data() + pos, sizes[1]));
    std::memcpy(xiph.data() + pos, block + kVorbisHeader, total);
    xiph.resize(pos + total);
    ctx->codec_type = CODEC_TYPE_AUDIO;
    ctx->channels = static_cast<int32_t>(ReadLe32(block));
    ctx->sample_rate = static_cast<int32_t>(ReadLe32(block + 4));
    ctx->bits_per_sample = static_cast<int32_t>(ReadLe32(block + 8));
    ctx->extradata = std::move(xiph);
    ctx->codec_id = codecId;
    ctx->codec_tag = codecTag;
    ctx->time_base = FFRational{1, ctx->sample_rate};
    return true;
  }
  return false;
}

bool MediaTypeToDecoderContext(const AM_MEDIA_TYPE* type, CodecContext* ctx) {
  if (!type || !ctx) return false;
  int32_t id = 0;
  if (!FindCodecIdByMediaType(type, &id)) return false;
  const uint32_t tag = GuidToFourcc(type->subtype);
  int32_t pixFmt = 0;
  int32_t bits = 0;
  if (FindPixelFormatByMediaType(type, &pixFmt, &bits)) {
    id = AV_CODEC_ID_RAWVIDEO;
  } else {
    pixFmt = 0;
    bits = 0;
  }
  return MediaTypeToCodecContext(type, ctx, id, pixFmt, bits, tag);
}

bool MediaTypeToMuxerContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, const char* muxerName) {
  if (!type || !ctx) return false;
  int32_t id = 0;
  if (!FindCodecIdByMediaType(type, &id)) id = 0;
  uint32_t tag = GuidToFourcc(type->subtype);
  ChooseContainerCodecTag(muxerName, id, &tag);
  int32_t pixFmt = 0;
  int32_t bits = 0;
  if (FindPixelFormatByMediaType(type, &pixFmt, &bits)) {
    id = AV_CODEC_ID_RAWVIDEO;
    if (tag == MakeFourcc('I', '4', '2', '0')) tag = MakeFourcc('I', 'Y', 'U', 'V');
  } else {
    pixFmt = 0;
    bits = 0;
  }
  return MediaTypeToCodecContext(type, ctx, id, pixFmt, bits, tag);
}

bool RawMediaTypeToEncoderContext(const AM_MEDIA_TYPE* type, CodecContext* ctx, int32_t codecId) {
  if (!type || !ctx) return false;
  if (type->subtype == MEDIASUBTYPE_PCM && type->formattype == FORMAT_WaveFormatEx) {
    WAVEFORMATEX w;
    if (!ReadBlock(type, &w)) return false;
    ctx->codec_type = CODEC_TYPE_AUDIO;
    ctx->codec_id = codecId;
    if (w.wBitsPerSample != 16 && w.wBitsPerSample != 0) return false;
    ctx->sample_fmt = SAMPLE_FMT_S16;
    ctx->sample_rate = static_cast<int32_t>(w.nSamplesPerSec);
    ctx->bit_rate = 0;
    ctx->block_align = 0;
    ctx->channels = w.nChannels;
    ctx->bits_per_sample = 16;
    return true;
  }
  if (type->subtype == MEDIASUBTYPE_I420 &&
      (type->formattype == FORMAT_VideoInfo || type->formattype == FORMAT_VideoInfo2)) {
    BITMAPINFOHEADER bmi;
    REFERENCE_TIME frameTime;
    if (type->formattype == FORMAT_VideoInfo) {
      VIDEOINFOHEADER vih;
      if (!ReadBlock(type, &vih)) return false;
      bmi = vih.bmiHeader;
      frameTime = vih.AvgTimePerFrame;
    } else {
      VIDEOINFOHEADER2 vih;
      if (!ReadBlock(type, &vih)) return false;
      bmi = vih.bmiHeader;
      frameTime = vih.AvgTimePerFrame;
    }
    ctx->codec_type = CODEC_TYPE_VIDEO;
    ctx->codec_id = codecId;
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->width = bmi.biWidth;
    ctx->height = bmi.biHeight;
    SnapFrameTimeToRate(frameTime, &ctx->time_base);
    return true;
  }
  return false;
}

bool CodecContextToMediaType(CodecContext* ctx, AM_MEDIA_TYPE* type) {
  if (!ctx || !type) return false;
  GUID ms[2] = {};
  if (MediaTypeFromCodecId(ctx->codec_id, ms)) {
    type->majortype = ms[0];
    type->subtype = ms[1];
    if (ctx->codec_type == CODEC_TYPE_AUDIO) return AudioKnownToMediaType(ctx, type);
    if (ctx->codec_type == CODEC_TYPE_VIDEO) return VideoKnownToMediaType(ctx, type);
    return false;
  }
  if (ctx->codec_type == CODEC_TYPE_AUDIO) return AudioUnknownToMediaType(ctx, type);
  if (ctx->codec_type == CODEC_TYPE_VIDEO) return VideoUnknownToMediaType(ctx, type);
  return false;
}

bool DecodedContextToMediaType(const CodecContext* ctx, AM_MEDIA_TYPE* type) {
  if (!ctx || !type) return false;
  if (ctx->codec_type == CODEC_TYPE_AUDIO) {
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    if (!AllocMediaTypeFormat(type, sizeof(WAVEFORMATEX))) return false;
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = static_cast<WORD>(ctx->channels);
    w.nSamplesPerSec = static_cast<DWORD>(ctx->sample_rate);
    w.wBitsPerSample = ctx->sample_fmt == SAMPLE_FMT_S32 ? 32 : 16;
    w.nBlockAlign = static_cast<WORD>(w.nChannels * w.wBitsPerSample / 8);
    w.nAvgBytesPerSec = static_cast<DWORD>(w.nBlockAlign) * w.nSamplesPerSec;
    std::memcpy(type->pbFormat, &w, sizeof(w));
    type->formattype = FORMAT_WaveFormatEx;
    return true;
  }
  if (ctx->codec_type == CODEC_TYPE_VIDEO) {
    type->majortype = MEDIATYPE_Video;
    if (!AllocMediaTypeFormat(type, sizeof(VIDEOINFOHEADER))) return false;
    VIDEOINFOHEADER vih{};
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biPlanes = 1;
    if (ctx->pix_fmt == AV_PIX_FMT_BGR24) {
      type->subtype = MEDIASUBTYPE_RGB24;
      vih.bmiHeader.biBitCount = 24;
      vih.bmiHeader.biCompression = 0;
      vih.bmiHeader.biSizeImage = static_cast<DWORD>(PictureBufferSize(AV_PIX_FMT_BGR24, ctx->width, ctx->height));
    } else {
      type->subtype = MEDIASUBTYPE_I420;
      vih.bmiHeader.biBitCount = 12;
      vih.bmiHeader.biCompression = MakeFourcc('I', '4', '2', '0');
      vih.bmiHeader.biSizeImage = static_cast<DWORD>(PictureBufferSize(AV_PIX_FMT_YUV420P, ctx->width, ctx->height));
    }
    vih.bmiHeader.biWidth = ctx->width;
    vih.bmiHeader.biHeight = ctx->height;
    vih.dwBitRate = static_cast<DWORD>(ctx->bit_rate);
    vih.AvgTimePerFrame = FrameDurationFromRate(ctx->time_base);
    std::memcpy(type->pbFormat, &vih, sizeof(vih));
    type->formattype = FORMAT_VideoInfo;
    type->bFixedSizeSamples = 1;
    type->bTemporalCompression = 0;
    type->lSampleSize = vih.bmiHeader.biSizeImage;
    return true;
  }
  return false;
}
