#include "engine/modules/ffmpeg/ffm_picture_loader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

namespace {

// The demuxers of the picture formats read; "image2" is left out on purpose,
// since it reads a path as a numbered-file pattern.
constexpr const char kPictureDemuxers[] = "bmp_pipe,gif,jpeg_pipe,png_pipe";

// Bytes counted per frame besides its pixels, so a GIF of countless tiny
// frames meets the limit too.
constexpr int64_t kFrameOverhead = 256;

struct InputCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerFree {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFree>;

std::string ErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof(text));
  return text;
}

HRESULT Fail(std::string* reason, std::string text) {
  if (reason != nullptr) *reason = std::move(text);
  return E_FAIL;
}

// One picture for libswscale: rows aligned, and room past the last row for
// the scaler's wide reads and writes.
class PaddedPicture {
 public:
  ~PaddedPicture() { av_free(block_); }
  bool Alloc(AVPixelFormat format, int width, int height) {
    if (av_image_fill_linesizes(pitch, format, width) < 0) return false;
    for (int& p : pitch) p = FFALIGN(p, 64);
    const int size = av_image_fill_pointers(plane, format, height, nullptr, pitch);
    if (size < 0) return false;
    block_ = static_cast<uint8_t*>(av_mallocz(size_t(size) + 64));
    return block_ != nullptr && av_image_fill_pointers(plane, format, height, block_, pitch) >= 0;
  }
  uint8_t* plane[4] = {};
  int pitch[4] = {};

 private:
  uint8_t* block_ = nullptr;
};

// The full-range twin of a deprecated "J" format, and whether it was one.
AVPixelFormat PlainFormat(AVPixelFormat format, bool* fullRange) {
  *fullRange = true;
  switch (format) {
    case AV_PIX_FMT_YUVJ420P:
      return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
      return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
      return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
      return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
      return AV_PIX_FMT_YUV411P;
    default:
      *fullRange = false;
      return format;
  }
}

// A cached scaler between two formats at one size, with the source's range.
SwsContext* ScalerFor(ScalerPtr* cache, AVPixelFormat from, bool fromFullRange, AVPixelFormat to, int width,
                      int height) {
  SwsContext* sws =
      sws_getCachedContext(cache->release(), width, height, from, width, height, to,
                           SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr);
  cache->reset(sws);
  if (sws == nullptr) return nullptr;
  const int* table = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(sws, table, fromFullRange ? 1 : 0, table, 0, 0, 1 << 16, 1 << 16);
  return sws;
}

// The frame as RGBA rows; false when the scaler refuses its format.
bool ToRgba(ScalerPtr* cache, const AVFrame* frame, DecodedPicture* out) {
  bool fullRange = false;
  const AVPixelFormat from = PlainFormat(static_cast<AVPixelFormat>(frame->format), &fullRange);
  fullRange = fullRange || frame->color_range == AVCOL_RANGE_JPEG;
  SwsContext* sws = ScalerFor(cache, from, fullRange, AV_PIX_FMT_RGBA, frame->width, frame->height);
  PaddedPicture rgba;
  if (sws == nullptr || !rgba.Alloc(AV_PIX_FMT_RGBA, frame->width, frame->height)) return false;
  sws_scale(sws, frame->data, frame->linesize, 0, frame->height, rgba.plane, rgba.pitch);
  out->width = frame->width;
  out->height = frame->height;
  const size_t row = size_t(frame->width) * 4;
  out->rgba.resize(row * size_t(frame->height));
  for (int r = 0; r < frame->height; ++r)
    std::memcpy(out->rgba.data() + row * size_t(r), rgba.plane[0] + size_t(r) * size_t(rgba.pitch[0]), row);
  return true;
}

}  // namespace

HRESULT LoadPictureFrames(const char* path, std::vector<DecodedPicture>* frames, std::string* reason) {
  frames->clear();
  if (path == nullptr || *path == 0) return Fail(reason, "no picture file given");
  struct stat st {};
  if (stat(path, &st) != 0) return Fail(reason, std::string("cannot open it: ") + std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return Fail(reason, "it is not a file");

  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) return E_OUTOFMEMORY;
  raw->format_whitelist = av_strdup(kPictureDemuxers);
  raw->protocol_whitelist = av_strdup("file");
  AVDictionary* options = nullptr;
  av_dict_set(&options, "min_delay", "0", 0);  // GIF: keep every stored delay, 0 included
  const std::string url = std::string("file:") + path;
  int err = avformat_open_input(&raw, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (err < 0) return Fail(reason, "it is not a PNG, JPEG, BMP or GIF picture (" + ErrorText(err) + ")");
  std::unique_ptr<AVFormatContext, InputCloser> input(raw);
  if (input->nb_streams < 1 || input->streams[0]->codecpar->codec_type != AVMEDIA_TYPE_VIDEO)
    return Fail(reason, "it holds no picture");
  const AVStream* stream = input->streams[0];
  const bool animated = std::strcmp(input->iformat->name, "gif") == 0;

  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return Fail(reason, "no decoder for its picture format");
  std::unique_ptr<AVCodecContext, CodecFree> decoder(avcodec_alloc_context3(codec));
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  if (!decoder || !packet || !frame) return E_OUTOFMEMORY;
  if ((err = avcodec_parameters_to_context(decoder.get(), stream->codecpar)) < 0)
    return Fail(reason, "cannot set up its decoder (" + ErrorText(err) + ")");
  decoder->max_pixels = kMaxPictureBytes / 4;
  decoder->thread_count = 0;
  if ((err = avcodec_open2(decoder.get(), codec, nullptr)) < 0)
    return Fail(reason, "cannot open its decoder (" + ErrorText(err) + ")");

  ScalerPtr scaler;
  int64_t bytes = 0;
  bool done = false;
  // Takes every frame the decoder has ready; S_OK or a failure.
  auto drain = [&]() -> HRESULT {
    for (;;) {
      const int got = avcodec_receive_frame(decoder.get(), frame.get());
      if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return S_OK;
      if (got < 0) return Fail(reason, "the picture is corrupt (" + ErrorText(got) + ")");
      if (frame->width < 1 || frame->height < 1 || frame->width > kMaxPictureDimension ||
          frame->height > kMaxPictureDimension)
        return Fail(reason, "a picture of " + std::to_string(frame->width) + "x" + std::to_string(frame->height) +
                                " pixels is out of range (1 to 16384 a side)");
      bytes += int64_t{frame->width} * frame->height * 4 + kFrameOverhead;
      if (bytes > kMaxPictureBytes) return Fail(reason, "its pictures take more than 128 MiB");
      DecodedPicture picture;
      if (!ToRgba(&scaler, frame.get(), &picture)) return Fail(reason, "cannot convert its picture format to RGB");
      const int64_t delay = av_rescale_q(frame->pkt_duration, stream->time_base, AVRational{1, 100});
      picture.delay = delay > 0 && delay <= INT32_MAX ? int32_t(delay) : 0;
      frames->push_back(std::move(picture));
      av_frame_unref(frame.get());
      if (!animated) {
        done = true;  // only a GIF's further frames are read
        return S_OK;
      }
    }
  };

  HRESULT hr = S_OK;
  while (!done && hr == S_OK) {
    err = av_read_frame(input.get(), packet.get());
    if (err == AVERROR_EOF) break;
    if (err < 0) {
      hr = Fail(reason, "cannot read it (" + ErrorText(err) + ")");
      break;
    }
    if (packet->stream_index == 0) {
      err = avcodec_send_packet(decoder.get(), packet.get());
      if (err < 0 && err != AVERROR(EAGAIN)) hr = Fail(reason, "the picture is corrupt (" + ErrorText(err) + ")");
    }
    av_packet_unref(packet.get());
    if (hr == S_OK) hr = drain();
  }
  if (hr == S_OK && !done) {
    avcodec_send_packet(decoder.get(), nullptr);
    hr = drain();
  }
  if (hr == S_OK && frames->empty()) hr = Fail(reason, "it holds no picture");
  if (hr != S_OK) frames->clear();
  return hr;
}

HRESULT SplitPictureYuv(const DecodedPicture& picture, std::vector<uint8_t>* y, std::vector<uint8_t>* u,
                        std::vector<uint8_t>* v) {
  const int w = picture.width, h = picture.height;
  if (w < 1 || h < 1 || picture.rgba.size() != size_t(w) * size_t(h) * 4) return E_INVALIDARG;
  ScalerPtr scaler;
  SwsContext* sws = ScalerFor(&scaler, AV_PIX_FMT_RGBA, true, AV_PIX_FMT_YUV444P, w, h);
  if (sws == nullptr) return E_FAIL;
  PaddedPicture src, dst;
  if (!src.Alloc(AV_PIX_FMT_RGBA, w, h) || !dst.Alloc(AV_PIX_FMT_YUV444P, w, h)) return E_OUTOFMEMORY;
  const size_t row = size_t(w) * 4;
  for (int r = 0; r < h; ++r)
    std::memcpy(src.plane[0] + size_t(r) * size_t(src.pitch[0]), picture.rgba.data() + row * size_t(r), row);
  sws_scale(sws, src.plane, src.pitch, 0, h, dst.plane, dst.pitch);
  std::vector<uint8_t>* out[3] = {y, u, v};
  for (int i = 0; i < 3; ++i) {
    out[i]->resize(size_t(w) * size_t(h));
    for (int r = 0; r < h; ++r)
      std::memcpy(out[i]->data() + size_t(r) * size_t(w), dst.plane[i] + size_t(r) * size_t(dst.pitch[i]), size_t(w));
  }
  return S_OK;
}
