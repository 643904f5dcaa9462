#include "engine/modules/ffmpeg/codec_tags.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
}

#include "common/codec_tables.h"
#include "platform/task_allocator.h"
#include "plugin-api/media_type_helpers.h"

namespace {

constexpr uint32_t F(const char (&s)[5]) { return MakeFourcc(s[0], s[1], s[2], s[3]); }
constexpr uint32_t V = CODEC_KIND_VIDEO;
constexpr uint32_t A = CODEC_KIND_AUDIO;

}  // namespace

const CodecTagRow CodecTagTable[] = {
    {AV_CODEC_ID_MPEG4, V, F("MP4V")},        {AV_CODEC_ID_MSMPEG4V3, V, F("MP43")},
    {AV_CODEC_ID_MSMPEG4V2, V, F("MP42")},    {AV_CODEC_ID_MSMPEG4V1, V, F("MP41")},
    {AV_CODEC_ID_MPEG2VIDEO, V, F("MPG2")},   {AV_CODEC_ID_FLV1, V, F("FLV1")},
    {AV_CODEC_ID_FLASHSV, V, F("FLSV")},      {AV_CODEC_ID_NELLYMOSER, A, F("NELL")},
    {AV_CODEC_ID_SPEEX, A, F("SPEE")},        {AV_CODEC_ID_ADPCM_IMA_WAV, A, F("AIMA")},
    {AV_CODEC_ID_ADPCM_MS, A, F("MSAD")},     {AV_CODEC_ID_ADPCM_IMA_QT, A, F("QTAD")},
    {AV_CODEC_ID_MPEG1VIDEO, V, F("MPG1")},   {AV_CODEC_ID_H263, V, F("H263")},
    {AV_CODEC_ID_H263P, V, F("P263")},        {AV_CODEC_ID_H261, V, F("H261")},
    {AV_CODEC_ID_WMV1, V, F("WMV1")},         {AV_CODEC_ID_WMV2, V, F("WMV2")},
    {AV_CODEC_ID_VC1, V, F("WMV3")},          {AV_CODEC_ID_WMV3, V, F("WMV3")},
    {AV_CODEC_ID_DVVIDEO, V, F("DV50")},      {AV_CODEC_ID_SVQ1, V, F("SVQ1")},
    {AV_CODEC_ID_SVQ3, V, F("SVQ3")},         {AV_CODEC_ID_CINEPAK, V, F("CVID")},
    {AV_CODEC_ID_SMC, V, F("SMCV")},          {AV_CODEC_ID_TIFF, V, F("TIFF")},
    {AV_CODEC_ID_GIF, V, F("GIF2")},          {AV_CODEC_ID_VP3, V, F("VP31")},
    {AV_CODEC_ID_VP6F, V, F("VP62")},         {AV_CODEC_ID_VP6A, V, F("VP6A")},
    {AV_CODEC_ID_VP6, V, F("VP62")},          {AV_CODEC_ID_THEORA, V, F("THEO")},
    {AV_CODEC_ID_H264, V, F("H264")},         {AV_CODEC_ID_RV10, V, F("RV10")},
    {AV_CODEC_ID_RV20, V, F("RV20")},         {AV_CODEC_ID_INDEO3, V, F("IV32")},
    {AV_CODEC_ID_MSVIDEO1, V, F("CRAM")},     {AV_CODEC_ID_MSRLE, V, F("MRLE")},
    {AV_CODEC_ID_MJPEG, V, F("MJPG")},        {AV_CODEC_ID_CINEPAK, V, F("CVID")},
    {AV_CODEC_ID_APE, A, F("APEA")},          {AV_CODEC_ID_GSM_MS, A, F("GSMA")},
    {AV_CODEC_ID_ALAC, A, F("ALAC")},         {AV_CODEC_ID_ADPCM_SWF, A, F("DSWF")},
    {AV_CODEC_ID_ADPCM_IMA_QT, A, F("DIQT")}, {AV_CODEC_ID_PCM_MULAW, A, F("MLAW")},
    {AV_CODEC_ID_PCM_ALAW, A, F("ALAW")},     {AV_CODEC_ID_FLAC, A, F("FLAC")},
    {AV_CODEC_ID_AC3, A, F("AC3A")},          {AV_CODEC_ID_DTS, A, F("DTSA")},
    {AV_CODEC_ID_VORBIS, A, F("VORB")},       {AV_CODEC_ID_PCM_DVD, A, F("DPCM")},
    {AV_CODEC_ID_PCM_BLURAY, A, F("BPCM")},   {AV_CODEC_ID_TRUEHD, A, F("TRHD")},
    {AV_CODEC_ID_RV10, V, F("RV10")},         {AV_CODEC_ID_RA_288, A, F("28_8")},
    {AV_CODEC_ID_RA_144, A, F("14_4")},       {AV_CODEC_ID_PCM_S16BE, A, F("LPCM")},
    {AV_CODEC_ID_EAC3, A, F("EAC3")},         {AV_CODEC_ID_QDM2, A, F("QDM2")},
    {AV_CODEC_ID_MP3, A, F("MP3A")},          {AV_CODEC_ID_MP2, A, F("MP2A")},
    {AV_CODEC_ID_ADPCM_G726, A, F("G726")},   {AV_CODEC_ID_AAC, A, F("MP4A")},
    {AV_CODEC_ID_AMR_NB, A, F("AMRN")},       {AV_CODEC_ID_AMR_WB, A, F("AMRW")},
    {AV_CODEC_ID_PCM_S16LE, A, F("PCMA")},    {AV_CODEC_ID_VC1, A, F("WVC1")},
    {AV_CODEC_ID_COOK, A, F("COOK")},         {AV_CODEC_ID_ATRAC3, A, F("ATRC")},
};
const int CodecTagTableCount = sizeof(CodecTagTable) / sizeof(CodecTagTable[0]);
static_assert(sizeof(CodecTagTable) / sizeof(CodecTagTable[0]) == 70);

const PixelFormatRow PixelFormatTable[] = {
    {AV_PIX_FMT_YUV420P, 12, F("I420")},  {AV_PIX_FMT_BGR24, 24, F("RG24")},    {AV_PIX_FMT_BGRA, 32, F("RG32")},
    {AV_PIX_FMT_RGB555LE, 16, F("RG55")}, {AV_PIX_FMT_RGB565LE, 16, F("RG56")}, {AV_PIX_FMT_YUYV422, 16, F("YUY2")},
    {AV_PIX_FMT_UYVY422, 16, F("UYVY")},  {AV_PIX_FMT_NONE, 12, F("YV12")},
};
const int PixelFormatTableCount = sizeof(PixelFormatTable) / sizeof(PixelFormatTable[0]);
static_assert(sizeof(PixelFormatTable) / sizeof(PixelFormatTable[0]) == 8);

bool FindCodecIdByTag(uint32_t fourcc, int32_t* codecId) {
  for (const CodecTagRow& row : CodecTagTable) {
    if (row.fourcc == fourcc) {
      *codecId = static_cast<int32_t>(row.codecId);
      return true;
    }
  }
  // Windows Media audio, which the table above leaves to the system's
  // decoders: the ASF writer's encoders hand such streams to the muxer.
  if (fourcc == F("WMA1")) {
    *codecId = AV_CODEC_ID_WMAV1;
    return true;
  }
  if (fourcc == F("WMA2")) {
    *codecId = AV_CODEC_ID_WMAV2;
    return true;
  }
  return false;
}

bool FindCodecIdByMediaType(const AM_MEDIA_TYPE* mediaType, int32_t* codecId) {
  int32_t code = TheVfccTable().CodeByGuid(mediaType->subtype);
  if (!code) return false;
  return FindCodecIdByTag(static_cast<uint32_t>(code), codecId);
}

bool MediaTypeFromCodecId(int32_t codecId, GUID majorAndSubtype[2]) {
  for (const CodecTagRow& row : CodecTagTable) {
    if (row.codecId != static_cast<uint32_t>(codecId)) continue;
    if (row.kind != CODEC_KIND_VIDEO && row.kind != CODEC_KIND_AUDIO) continue;
    majorAndSubtype[0] = row.kind == CODEC_KIND_AUDIO ? MEDIATYPE_Audio : MEDIATYPE_Video;
    TheVfccTable().GuidByCode(static_cast<int32_t>(row.fourcc), &majorAndSubtype[1]);
    return true;
  }
  return false;
}

bool FindPixelFormatByMediaType(const AM_MEDIA_TYPE* mediaType, int32_t* pixelFormat, int32_t* bitsPerPixel) {
  auto code = static_cast<uint32_t>(TheVfccTable().CodeByGuid(mediaType->subtype));
  if (!code) return false;
  for (const PixelFormatRow& row : PixelFormatTable) {
    if (row.fourcc == code) {
      *pixelFormat = row.pixelFormat;
      *bitsPerPixel = row.bitsPerPixel;
      return true;
    }
  }
  return false;
}

bool MediaTypeFromPixelFormat(int32_t pixelFormat, GUID majorAndSubtype[2], int32_t* bitsPerPixel) {
  for (const PixelFormatRow& row : PixelFormatTable) {
    if (row.pixelFormat != pixelFormat) continue;
    majorAndSubtype[0] = MEDIATYPE_Video;
    TheVfccTable().GuidByCode(static_cast<int32_t>(row.fourcc), &majorAndSubtype[1]);
    *bitsPerPixel = row.bitsPerPixel;
    return true;
  }
  return false;
}

namespace {

// Layout of FFmpeg's tag table rows (internal to libavformat, unchanged for years).
struct TagRow {
  AVCodecID id;
  unsigned int tag;
};

uint32_t Upper4(uint32_t x) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    auto c = static_cast<unsigned char>(x >> (8 * i));
    out |= uint32_t{static_cast<unsigned char>(std::toupper(c))} << (8 * i);
  }
  return out;
}

// Whether writing the header would let this tag through for the codec, as the
// muxer checks it: a tag listed for another codec only is refused, and so is
// an unlisted tag for a codec that has tags of its own (default strictness).
bool MuxerAcceptsTag(const std::string& format, int32_t codecId, uint32_t tag) {
  const AVOutputFormat* of = av_guess_format(format.c_str(), nullptr, nullptr);
  if (!of || !of->codec_tag || tag == 0) return true;
  bool tagListed = false, codecListed = false;
  for (int n = 0; of->codec_tag[n]; ++n) {
    for (auto* row = reinterpret_cast<const TagRow*>(of->codec_tag[n]); row->id != AV_CODEC_ID_NONE; ++row) {
      if (Upper4(row->tag) == Upper4(tag)) {
        if (row->id == codecId) return true;
        tagListed = true;
      }
      if (row->id == codecId) codecListed = true;
    }
  }
  return !tagListed && !codecListed;
}

}  // namespace

void ChooseContainerCodecTag(const char* formatName, int32_t codecId, uint32_t* tag) {
  std::string name = formatName ? formatName : "";
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (codecId == AV_CODEC_ID_AAC) *tag = 0xFF;
  if (name == "mp4" || name == "3gp" || name == "3g2" || name == "mov" || name == "ipod" || name == "psp") {
    *tag = codecId == AV_CODEC_ID_H263 ? MakeFourcc('s', '2', '6', '3') : 0;
  } else if (name == "avi") {
    if (codecId == AV_CODEC_ID_H263P) *tag = MakeFourcc('H', '2', '6', '3');
  } else if (name == "flv") {
    switch (codecId) {
      case AV_CODEC_ID_FLV1:
        *tag = 2;
        break;
      case AV_CODEC_ID_VP6:
      case AV_CODEC_ID_VP6F:
        *tag = 4;
        break;
      case AV_CODEC_ID_VP6A:
        *tag = 5;
        break;
      case AV_CODEC_ID_H264:
        *tag = 7;
        break;
      case AV_CODEC_ID_AAC:
        *tag = 10;
        break;
      default:
        break;
    }
  } else if (name == "aiff") {
    if (codecId == AV_CODEC_ID_PCM_S16BE) *tag = 0;
  }
  if (!MuxerAcceptsTag(name, codecId, *tag)) *tag = 0;
}

std::optional<AudioCore> OwnAudioDecoderOf(int32_t codecId) {
  switch (codecId) {
    case AV_CODEC_ID_AAC:
      return AudioCore::kAac;
    case AV_CODEC_ID_AMR_NB:
      return AudioCore::kAmrNb;
    case AV_CODEC_ID_AMR_WB:
      return AudioCore::kAmrWb;
    default:
      return std::nullopt;
  }
}

std::optional<AudioCore> OwnAudioEncoderOf(int32_t codecId) {
  switch (codecId) {
    case AV_CODEC_ID_AMR_NB:
      return AudioCore::kAmrNb;
    case AV_CODEC_ID_AMR_WB:
      return AudioCore::kAmrWb;
    default:
      return std::nullopt;
  }
}

bool IsPcmSubtype(const GUID& subtype) { return subtype == MEDIASUBTYPE_PCM; }

bool IsRawPixelFormat(const GUID& subtype) {
  auto code = static_cast<uint32_t>(TheVfccTable().CodeByGuid(subtype));
  if (!code) return false;
  for (const PixelFormatRow& row : PixelFormatTable) {
    if (row.fourcc == code) return true;
  }
  return false;
}

void WrapPictureBuffer(uint8_t* buffer, int width, int height, AVFrame* picture, int exchange) {
  av_frame_unref(picture);
  av_image_fill_arrays(picture->data, picture->linesize, buffer, AV_PIX_FMT_YUV420P, width, height, 1);
  picture->width = width;
  picture->height = height;
  picture->format = AV_PIX_FMT_YUV420P;
  if (exchange) std::swap(picture->data[1], picture->data[2]);
}

void CopyPictureToBuffer(const AVFrame* picture, int width, int height, uint8_t* buffer, int32_t* capacity,
                         int exchange) {
  int needed = av_image_get_buffer_size(AV_PIX_FMT_YUV420P, width, height, 1);
  if (needed < 0 || *capacity < needed) return;
  uint8_t* dst[4] = {};
  int dstLines[4] = {};
  av_image_fill_arrays(dst, dstLines, buffer, AV_PIX_FMT_YUV420P, width, height, 1);
  *capacity = needed;
  const uint8_t* src[4] = {picture->data[0], picture->data[1], picture->data[2], picture->data[3]};
  int srcLines[4] = {picture->linesize[0], picture->linesize[1], picture->linesize[2], picture->linesize[3]};
  if (exchange) {
    std::swap(src[1], src[2]);
    std::swap(srcLines[1], srcLines[2]);
  }
  av_image_copy(dst, dstLines, src, srcLines, AV_PIX_FMT_YUV420P, width, height);
}

// ---- CMediaTypeList ----

bool CMediaTypeList::Append(AM_MEDIA_TYPE* type) {
  if (!type) return false;
  if (count_ == capacity_) {
    auto* grown = static_cast<AM_MEDIA_TYPE**>(
        CoTaskMemRealloc(items_, static_cast<size_t>(count_ + 32) * sizeof(AM_MEDIA_TYPE*)));
    if (!grown) {
      DeleteOwnMediaType(type);
      return false;
    }
    items_ = grown;
    capacity_ += 32;
  }
  items_[count_++] = type;
  return true;
}

bool CMediaTypeList::Add(const AM_MEDIA_TYPE* mediaType) {
  const VfccTable& table = TheVfccTable();
  int32_t code = table.CodeByGuid(mediaType->subtype);
  if (!code) return Append(CloneMediaType(mediaType));
  std::vector<GUID> guids(static_cast<size_t>(table.GuidCount(code)));
  table.GuidsByCode(code, guids.data());
  for (const GUID& g : guids) {
    AM_MEDIA_TYPE* copy = CloneMediaType(mediaType);
    if (!copy) return false;
    copy->subtype = g;
    if (g.Data2 == 0 && g.Data3 == 0x0010 && copy->formattype == FORMAT_WaveFormatEx && copy->cbFormat >= 18 &&
        copy->pbFormat) {
      reinterpret_cast<WAVEFORMATEX*>(copy->pbFormat)->wFormatTag = static_cast<WORD>(g.Data1 & 0xFFFF);
    }
    if (!Append(copy)) return false;
  }
  return true;
}

void CMediaTypeList::Clear() {
  for (int32_t i = 0; i < count_; ++i) DeleteOwnMediaType(items_[i]);
  CoTaskMemFree(items_);
  items_ = nullptr;
  count_ = 0;
  capacity_ = 0;
}
