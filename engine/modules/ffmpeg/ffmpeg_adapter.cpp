#include "engine/modules/ffmpeg/ffmpeg_adapter.h"

#include <atomic>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libavutil/rational.h>
}

static_assert(CODEC_TYPE_VIDEO == int{AVMEDIA_TYPE_VIDEO} && CODEC_TYPE_AUDIO == int{AVMEDIA_TYPE_AUDIO} &&
              CODEC_TYPE_DATA == int{AVMEDIA_TYPE_DATA} && CODEC_TYPE_SUBTITLE == int{AVMEDIA_TYPE_SUBTITLE} &&
              CODEC_TYPE_UNKNOWN == int{AVMEDIA_TYPE_UNKNOWN});
static_assert(SAMPLE_FMT_U8 == int{AV_SAMPLE_FMT_U8} && SAMPLE_FMT_S16 == int{AV_SAMPLE_FMT_S16} &&
              SAMPLE_FMT_S32 == int{AV_SAMPLE_FMT_S32} && SAMPLE_FMT_NONE == int{AV_SAMPLE_FMT_NONE});
static_assert(kNoTimestamp == AV_NOPTS_VALUE);
static_assert(IByteSource::kSeekSize == AVSEEK_SIZE);
static_assert(kCodecIdNone == AV_CODEC_ID_NONE);

namespace {

FFRational FromAV(AVRational r) { return FFRational{r.num, r.den}; }

// The bounds of SetInputBounds; the deadline in steady-clock nanoseconds, 0 for none.
std::atomic<int64_t> g_probeBytes{0};
std::atomic<int64_t> g_analyzeMicroseconds{0};
std::atomic<int64_t> g_deadline{0};

int64_t SteadyNanoseconds(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

bool DeadlinePassed() {
  const int64_t deadline = g_deadline.load();
  return deadline != 0 && SteadyNanoseconds(std::chrono::steady_clock::now()) > deadline;
}

int ReadThunk(void* opaque, uint8_t* buffer, int size) {
  // Custom I/O does not ask the interrupt callback; the deadline is checked here.
  if (DeadlinePassed()) return AVERROR_EXIT;
  int n = static_cast<IByteSource*>(opaque)->Read(buffer, size);
  if (n == 0) return AVERROR_EOF;
  return n < 0 ? AVERROR(EIO) : n;
}

int64_t SeekThunk(void* opaque, int64_t offset, int whence) {
  int64_t pos = static_cast<IByteSource*>(opaque)->Seek(offset, whence & ~AVSEEK_FORCE);
  return pos < 0 ? AVERROR(EIO) : pos;
}

constexpr int kIoBufferSize = 32768;

int InterruptThunk(void*) { return DeadlinePassed() ? 1 : 0; }

// A new format context with the interrupt callback and the probing bounds.
AVFormatContext* NewBoundedContext() {
  AVFormatContext* ctx = avformat_alloc_context();
  if (!ctx) return nullptr;
  ctx->interrupt_callback.callback = InterruptThunk;
  ctx->interrupt_callback.opaque = nullptr;
  if (const int64_t bytes = g_probeBytes.load(); bytes > 0) ctx->probesize = bytes;
  if (const int64_t us = g_analyzeMicroseconds.load(); us > 0) ctx->max_analyze_duration = us;
  return ctx;
}

}  // namespace

void SetInputBounds(const InputBounds& bounds) {
  g_probeBytes.store(bounds.probeBytes);
  g_analyzeMicroseconds.store(bounds.analyzeMicroseconds);
  g_deadline.store(bounds.deadline == std::chrono::steady_clock::time_point{} ? 0 : SteadyNanoseconds(bounds.deadline));
}

bool InputDeadlinePassed() { return DeadlinePassed(); }

int32_t PictureBufferSize(int32_t pixFmt, int32_t width, int32_t height) {
  if (pixFmt < 0 || width <= 0 || height <= 0) return 0;
  int size = av_image_get_buffer_size(static_cast<AVPixelFormat>(pixFmt), width, height, 1);
  return size > 0 ? size : 0;
}

int32_t XiphLacing(uint8_t* out, uint32_t value) { return static_cast<int32_t>(av_xiphlacing(out, value)); }

const char* CodecName(int32_t codecId) { return avcodec_get_name(static_cast<AVCodecID>(codecId)); }

void CodecContextFromParameters(const AVCodecParameters* par, CodecContext* ctx) {
  ctx->codec_type = par->codec_type;
  ctx->codec_id = par->codec_id;
  ctx->codec_tag = par->codec_tag;
  ctx->bit_rate = par->bit_rate;
  ctx->sub_id = 0;
  if (par->codec_id == AV_CODEC_ID_MP1) ctx->sub_id = 1;
  if (par->codec_id == AV_CODEC_ID_MP2) ctx->sub_id = 2;
  if (par->codec_id == AV_CODEC_ID_MP3) ctx->sub_id = 3;
  ctx->width = par->width;
  ctx->height = par->height;
  ctx->pix_fmt = par->codec_type == AVMEDIA_TYPE_VIDEO ? par->format : -1;
  ctx->sample_fmt = par->codec_type == AVMEDIA_TYPE_AUDIO ? par->format : SAMPLE_FMT_NONE;
  ctx->sample_aspect_ratio = FromAV(par->sample_aspect_ratio);
  ctx->sample_rate = par->sample_rate;
  ctx->channels = par->ch_layout.nb_channels;
  ctx->frame_size = par->frame_size;
  ctx->block_align = par->block_align;
  ctx->bits_per_sample = par->bits_per_coded_sample;
  if (par->codec_type == AVMEDIA_TYPE_AUDIO && par->sample_rate > 0) ctx->time_base = FFRational{1, par->sample_rate};
  ctx->extradata.clear();
  if (par->extradata && par->extradata_size > 0)
    ctx->extradata.assign(par->extradata, par->extradata + par->extradata_size);
}

int CodecContextToParameters(const CodecContext& ctx, AVCodecParameters* par) {
  par->codec_type = static_cast<AVMediaType>(ctx.codec_type);
  int32_t id = ctx.codec_id;
  if (id == AV_CODEC_ID_MP3 && ctx.sub_id == 1) id = AV_CODEC_ID_MP1;
  if (id == AV_CODEC_ID_MP3 && ctx.sub_id == 2) id = AV_CODEC_ID_MP2;
  par->codec_id = static_cast<AVCodecID>(id);
  par->codec_tag = ctx.codec_tag;
  par->bit_rate = ctx.bit_rate;
  par->width = ctx.width;
  par->height = ctx.height;
  par->sample_aspect_ratio = AVRational{ctx.sample_aspect_ratio.num, ctx.sample_aspect_ratio.den};
  if (ctx.codec_type == CODEC_TYPE_VIDEO) par->format = ctx.pix_fmt;
  if (ctx.codec_type == CODEC_TYPE_AUDIO) par->format = ctx.sample_fmt;
  par->sample_rate = ctx.sample_rate;
  av_channel_layout_uninit(&par->ch_layout);
  if (ctx.channels > 0) av_channel_layout_default(&par->ch_layout, ctx.channels);
  par->frame_size = ctx.frame_size;
  par->block_align = ctx.block_align;
  par->bits_per_coded_sample = ctx.bits_per_sample;
  av_freep(&par->extradata);
  par->extradata_size = 0;
  if (!ctx.extradata.empty()) {
    auto* bytes = static_cast<uint8_t*>(av_mallocz(ctx.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!bytes) return AVERROR(ENOMEM);
    std::memcpy(bytes, ctx.extradata.data(), ctx.extradata.size());
    par->extradata = bytes;
    par->extradata_size = static_cast<int>(ctx.extradata.size());
  }
  return 0;
}

// --- FFPacket ---

FFPacket::FFPacket() : packet_(av_packet_alloc()) {}
FFPacket::~FFPacket() { av_packet_free(&packet_); }
int FFPacket::streamIndex() const { return packet_ ? packet_->stream_index : -1; }
const uint8_t* FFPacket::data() const { return packet_ ? packet_->data : nullptr; }
int32_t FFPacket::size() const { return packet_ ? packet_->size : 0; }
int64_t FFPacket::pts() const { return packet_ ? packet_->pts : kNoTimestamp; }
int64_t FFPacket::dts() const { return packet_ ? packet_->dts : kNoTimestamp; }
int64_t FFPacket::duration() const { return packet_ && packet_->duration > 0 ? packet_->duration : 0; }
bool FFPacket::keyFrame() const { return packet_ && (packet_->flags & AV_PKT_FLAG_KEY); }
int64_t FFPacket::position() const { return packet_ ? packet_->pos : -1; }
void FFPacket::Unref() {
  if (packet_) av_packet_unref(packet_);
}

// --- FFDemuxer ---

FFDemuxer::~FFDemuxer() { Close(); }

int FFDemuxer::Open(const char* url) {
  Close();
  AVFormatContext* ctx = NewBoundedContext();
  if (!ctx) return AVERROR(ENOMEM);
  int err = avformat_open_input(&ctx, url, nullptr, nullptr);  // frees ctx on failure
  if (err < 0) return err;
  format_ = ctx;
  return 0;
}

int FFDemuxer::OpenCustom(const char* name, IByteSource* source) {
  Close();
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferSize));
  if (!buffer) return AVERROR(ENOMEM);
  AVIOContext* io = avio_alloc_context(buffer, kIoBufferSize, 0, source, ReadThunk, nullptr, SeekThunk);
  if (!io) {
    av_free(buffer);
    return AVERROR(ENOMEM);
  }
  AVFormatContext* ctx = NewBoundedContext();
  if (!ctx) {
    av_freep(&io->buffer);
    avio_context_free(&io);
    return AVERROR(ENOMEM);
  }
  ctx->pb = io;
  ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
  int err = avformat_open_input(&ctx, name, nullptr, nullptr);
  if (err < 0) {
    av_freep(&io->buffer);
    avio_context_free(&io);
    return err;
  }
  format_ = ctx;
  io_ = io;
  return 0;
}

int FFDemuxer::FindStreamInfo() {
  if (!format_) return AVERROR(EINVAL);
  int err = avformat_find_stream_info(format_, nullptr);
  return err < 0 ? err : 0;
}

void FFDemuxer::Close() {
  if (format_) avformat_close_input(&format_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
}

int FFDemuxer::StreamCount() const { return format_ ? static_cast<int>(format_->nb_streams) : 0; }

bool FFDemuxer::GetStream(int index, FFStreamDesc* desc) const {
  if (!format_ || index < 0 || index >= static_cast<int>(format_->nb_streams)) return false;
  const AVStream* st = format_->streams[index];
  desc->index = index;
  desc->id = st->id;
  CodecContextFromParameters(st->codecpar, &desc->codec);
  desc->timeBase = FromAV(st->time_base);
  AVRational rate = st->avg_frame_rate;
  if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
  desc->frameRate = rate.num > 0 && rate.den > 0 ? FromAV(rate) : FFRational{0, 1};
  desc->startTime = st->start_time;
  desc->duration = st->duration > 0 ? st->duration : kNoTimestamp;
  if (desc->codec.sample_aspect_ratio.num == 0 && st->sample_aspect_ratio.num > 0)
    desc->codec.sample_aspect_ratio = FromAV(st->sample_aspect_ratio);
  return true;
}

std::string FFDemuxer::FormatName() const {
  return format_ && format_->iformat && format_->iformat->name ? format_->iformat->name : "";
}

int64_t FFDemuxer::DurationMicroseconds() const { return format_ ? format_->duration : kNoTimestamp; }
bool FFDemuxer::DurationIsEstimate() const {
  return !format_ || format_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}
int64_t FFDemuxer::StartTimeMicroseconds() const { return format_ ? format_->start_time : kNoTimestamp; }

int FFDemuxer::ReadPacket(FFPacket* packet) {
  if (!format_ || !packet->raw()) return AVERROR(EINVAL);
  packet->Unref();
  return av_read_frame(format_, packet->raw());
}

int FFDemuxer::SeekBackward(int64_t microseconds) {
  if (!format_) return AVERROR(EINVAL);
  int err = av_seek_frame(format_, -1, microseconds, AVSEEK_FLAG_BACKWARD);
  return err < 0 ? err : 0;
}

int FFDemuxer::RestartCustomInput() {
  if (!format_ || !io_) return AVERROR(EINVAL);
  if (static_cast<IByteSource*>(io_->opaque)->Seek(0, SEEK_SET) < 0) return AVERROR(EIO);
  io_->buf_ptr = io_->buffer;
  io_->buf_end = io_->buffer;
  io_->pos = 0;
  io_->eof_reached = 0;
  io_->error = 0;
  return avformat_flush(format_);
}

bool IsProtocolUrl(const char* path) {
  if (!path) return false;
  const char* name = avio_find_protocol_name(path);
  return name && std::strcmp(name, "file") != 0;
}

std::string FilePathOfUrl(const char* path) {
  if (!path) return {};
  if (std::strncmp(path, "file:", 5) == 0) return path + 5;
  return path;
}

std::string FFErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof(text));
  return text;
}

bool IsEndOfInput(int error) { return error == AVERROR_EOF; }

int32_t CodecIdByName(const char* name) {
  const AVCodecDescriptor* descriptor = name ? avcodec_descriptor_get_by_name(name) : nullptr;
  return descriptor ? descriptor->id : AV_CODEC_ID_NONE;
}

int32_t PixelFormatByName(const char* name) { return name ? av_get_pix_fmt(name) : AV_PIX_FMT_NONE; }

FFRational RationalFromDouble(double value, int32_t max) {
  const AVRational q = av_d2q(value, max);
  return q.den != 0 ? FFRational{q.num, q.den} : FFRational{0, 1};
}
