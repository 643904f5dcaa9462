// Every muxer and codec pair the tables offer: the tag chosen for the stream
// lets FFmpeg's muxer write its header (into memory).
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

#include "common/codec_tables.h"
#include "engine/modules/ffmpeg/codec_tags.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int WriteToMemory(void* opaque, uint8_t* buf, int size) {
  auto* out = static_cast<std::vector<uint8_t>*>(opaque);
  out->insert(out->end(), buf, buf + size);
  return size;
}

int64_t SeekInMemory(void* opaque, int64_t offset, int whence) {
  auto* out = static_cast<std::vector<uint8_t>*>(opaque);
  if (whence == AVSEEK_SIZE) return static_cast<int64_t>(out->size());
  return offset;  // header writes only: positions are not read back
}

struct StreamChoice {
  AVCodecID id = AV_CODEC_ID_NONE;
  int32_t pixelFormat = AV_PIX_FMT_NONE;  // raw pictures
};

// The FFmpeg codec of a table code: the codec tag table, the picture table, or
// (for codecs only the Windows Media writer uses) the entry's FFmpeg name.
StreamChoice ChooseCodec(const VfccEntry& e) {
  StreamChoice c;
  int32_t id = 0;
  for (int i = 0; i < PixelFormatTableCount; ++i) {
    if (PixelFormatTable[i].fourcc == static_cast<uint32_t>(e.code)) {
      c.id = AV_CODEC_ID_RAWVIDEO;
      c.pixelFormat = PixelFormatTable[i].pixelFormat < 0 ? AV_PIX_FMT_YUV420P : PixelFormatTable[i].pixelFormat;
      return c;
    }
  }
  if (FindCodecIdByTag(static_cast<uint32_t>(e.code), &id)) {
    c.id = static_cast<AVCodecID>(id);
    return c;
  }
  if (const AVCodecDescriptor* d = avcodec_descriptor_get_by_name(Lower(e.name).c_str())) c.id = d->id;
  return c;
}

// Stream parameters as the encoder would give them, or plain ones when FFmpeg
// has no encoder for the codec.
bool FillParameters(AVCodecParameters* par, const StreamChoice& choice, bool globalHeader) {
  const AVCodecDescriptor* desc = avcodec_descriptor_get(choice.id);
  if (!desc) return false;
  bool video = desc->type == AVMEDIA_TYPE_VIDEO;
  const AVCodec* enc = choice.id == AV_CODEC_ID_RAWVIDEO ? nullptr : avcodec_find_encoder(choice.id);
  int rate = 44100, channels = 2;
  if (choice.id == AV_CODEC_ID_AMR_NB || choice.id == AV_CODEC_ID_ADPCM_G726 || choice.id == AV_CODEC_ID_GSM_MS) {
    rate = 8000;
    channels = 1;
  } else if (choice.id == AV_CODEC_ID_AMR_WB) {
    rate = 16000;
    channels = 1;
  } else if (choice.id == AV_CODEC_ID_SPEEX) {
    rate = 16000;  // what FLV takes
    channels = 1;
  } else if (choice.id == AV_CODEC_ID_NELLYMOSER) {
    channels = 1;
  }
  int width = choice.id == AV_CODEC_ID_DVVIDEO ? 720 : 352;
  int height = choice.id == AV_CODEC_ID_DVVIDEO ? 576 : 288;
  if (enc) {
    AVCodecContext* ctx = avcodec_alloc_context3(enc);
    if (video) {
      ctx->width = width;
      ctx->height = height;
      ctx->time_base = {1, 25};
      ctx->framerate = {25, 1};
      ctx->pix_fmt = enc->pix_fmts ? enc->pix_fmts[0] : AV_PIX_FMT_YUV420P;
      if (choice.id == AV_CODEC_ID_DVVIDEO) ctx->pix_fmt = AV_PIX_FMT_YUV420P;
      ctx->bit_rate = 800000;
    } else {
      if (enc->supported_samplerates) {
        int pick = enc->supported_samplerates[0];
        for (const int* r = enc->supported_samplerates; *r; ++r) {
          if (*r == rate) pick = rate;
        }
        rate = pick;
      }
      ctx->sample_rate = rate;
      ctx->sample_fmt = enc->sample_fmts ? enc->sample_fmts[0] : AV_SAMPLE_FMT_S16;
      av_channel_layout_default(&ctx->ch_layout, channels);
      ctx->time_base = {1, rate};
      if (choice.id == AV_CODEC_ID_ADPCM_G726)
        ctx->bit_rate = 32000;
      else if (choice.id == AV_CODEC_ID_AMR_NB)
        ctx->bit_rate = 12200;
      else if (choice.id == AV_CODEC_ID_AMR_WB)
        ctx->bit_rate = 23850;
      else
        ctx->bit_rate = 128000;
    }
    ctx->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
    if (globalHeader) ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    bool opened = avcodec_open2(ctx, enc, nullptr) == 0;
    if (opened) avcodec_parameters_from_context(par, ctx);
    avcodec_free_context(&ctx);
    if (opened) return true;
  }
  par->codec_type = video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
  par->codec_id = choice.id;
  if (video) {
    par->width = width;
    par->height = height;
    par->format = choice.pixelFormat >= 0 ? choice.pixelFormat : AV_PIX_FMT_YUV420P;
  } else {
    par->sample_rate = rate;
    av_channel_layout_default(&par->ch_layout, channels);
    par->format = AV_SAMPLE_FMT_S16;
  }
  return true;
}

// Empty on success, else why the header could not be written.
// partner: a second stream of the other kind, for muxers that need both.
std::string WriteHeader(const std::string& muxer, const VfccEntry& codec, const VfccEntry* partner) {
  StreamChoice choice = ChooseCodec(codec);
  if (choice.id == AV_CODEC_ID_NONE) return "no FFmpeg codec for the table code";
  const AVOutputFormat* of = av_guess_format(muxer.c_str(), nullptr, nullptr);
  if (!of) return "FFmpeg has no muxer " + muxer;
  AVFormatContext* fc = nullptr;
  if (avformat_alloc_output_context2(&fc, of, nullptr, "out%d.jpg") < 0) return "no format context";
  std::vector<uint8_t> bytes;
  AVIOContext* io = nullptr;
  if (!(of->flags & AVFMT_NOFILE)) {
    auto* buf = static_cast<uint8_t*>(av_malloc(4096));
    io = avio_alloc_context(buf, 4096, 1, &bytes, nullptr, WriteToMemory, SeekInMemory);
    fc->pb = io;
  }
  std::string error;
  uint32_t tag = 0;
  for (const VfccEntry* e : {&codec, partner}) {
    if (!e) continue;
    StreamChoice c = ChooseCodec(*e);
    AVStream* st = avformat_new_stream(fc, nullptr);
    if (!FillParameters(st->codecpar, c, (of->flags & AVFMT_GLOBALHEADER) != 0)) {
      error = "no parameters";
      break;
    }
    uint32_t t = GuidToFourcc(e->guids.front());
    if (c.id == AV_CODEC_ID_RAWVIDEO && t == MakeFourcc('I', '4', '2', '0')) t = MakeFourcc('I', 'Y', 'U', 'V');
    ChooseContainerCodecTag(muxer.c_str(), c.id, &t);
    st->codecpar->codec_tag = t;
    st->time_base =
        st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO ? AVRational{1, 25} : AVRational{1, st->codecpar->sample_rate};
    if (e == &codec) tag = t;
  }
  if (error.empty()) {
    int rc = avformat_write_header(fc, nullptr);
    if (rc < 0) {
      char msg[AV_ERROR_MAX_STRING_SIZE] = {};
      av_strerror(rc, msg, sizeof(msg));
      char fcc[AV_FOURCC_MAX_STRING_SIZE] = {};
      av_fourcc_make_string(fcc, tag);
      error = std::string("header refused (") + msg + "), tag " + fcc;
    }
  }
  avformat_free_context(fc);
  if (io) {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
  return error;
}

TEST(CodecTagsMux, EveryMuxerAcceptsItsCodecs) {
  ASSERT_TRUE(LoadCodecTables(TRIVOX_STAGE_DIR));
  av_log_set_level(AV_LOG_ERROR);
  int pairs = 0;
  for (const MuxerEntry* m : TheMuxerTable().Entries()) {
    std::string muxer = m->Description().ffmpegName;
    for (int32_t code : m->codes) {
      const VfccEntry* codec = TheVfccTable().FindByCode(code);
      ASSERT_NE(codec, nullptr);
      ASSERT_FALSE(codec->guids.empty());
      // "psp" takes exactly one video and one audio stream.
      const VfccEntry* partner = nullptr;
      if (muxer == "psp") {
        bool video = avcodec_get_type(ChooseCodec(*codec).id) == AVMEDIA_TYPE_VIDEO;
        for (int32_t other : m->codes) {
          const VfccEntry* o = TheVfccTable().FindByCode(other);
          if (o && (avcodec_get_type(ChooseCodec(*o).id) == AVMEDIA_TYPE_VIDEO) != video) {
            partner = o;
            break;
          }
        }
      }
      std::string error = WriteHeader(muxer, *codec, partner);
      EXPECT_EQ(error, "") << muxer << " + " << codec->name;
      ++pairs;
    }
  }
  EXPECT_GT(pairs, 100);
  FreeCodecTables();
}

}  // namespace
