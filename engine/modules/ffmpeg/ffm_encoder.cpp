#include "engine/modules/ffmpeg/ffm_encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnits = 10000000;

constexpr uint16_t kIntraMatrix[64] = {8,  9,  12, 22, 26, 27, 29, 34, 9,  10, 14, 26, 27, 29, 34, 37,
                                       12, 14, 18, 27, 29, 34, 37, 38, 22, 26, 27, 31, 36, 37, 38, 40,
                                       26, 27, 29, 36, 39, 38, 40, 48, 27, 29, 34, 37, 38, 40, 48, 58,
                                       29, 34, 37, 38, 40, 48, 58, 69, 34, 37, 38, 40, 48, 58, 69, 79};
constexpr uint16_t kInterMatrix[64] = {16, 18, 20, 22, 24, 26, 28, 30, 18, 20, 22, 24, 26, 28, 30, 32,
                                       20, 22, 24, 26, 28, 30, 32, 34, 22, 24, 26, 30, 32, 32, 34, 36,
                                       24, 26, 28, 32, 34, 34, 36, 38, 26, 28, 30, 32, 34, 36, 38, 40,
                                       28, 30, 32, 34, 36, 38, 42, 42, 30, 32, 34, 36, 38, 40, 42, 44};

uint16_t* CopyMatrix(const uint16_t* m) {
  auto* out = static_cast<uint16_t*>(av_malloc(64 * sizeof(uint16_t)));
  if (out) std::memcpy(out, m, 64 * sizeof(uint16_t));
  return out;
}

bool Has(CParamList* params, const char* key) { return params->GetType(key) != PARAM_TYPE_NONE; }

// The codec's own format when it takes 16-bit samples, else its first one.
AVSampleFormat PickSampleFormat(const AVCodec* codec, int32_t wanted) {
  const AVSampleFormat* list = codec->sample_fmts;
  if (!list) return static_cast<AVSampleFormat>(wanted);
  for (const AVSampleFormat* f = list; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == wanted) return *f;
  for (const AVSampleFormat* f = list; *f != AV_SAMPLE_FMT_NONE; ++f)
    if (*f == AV_SAMPLE_FMT_S16) return *f;
  return list[0];
}

AVPixelFormat PickPixelFormat(const AVCodec* codec, AVPixelFormat wanted) {
  const AVPixelFormat* list = codec->pix_fmts;
  if (!list) return wanted;
  for (const AVPixelFormat* f = list; *f != AV_PIX_FMT_NONE; ++f)
    if (*f == wanted) return *f;
  return list[0];
}

}  // namespace

IMediaModule* CFFMEncoder::Create(CParamList* params) { return CreateOpenedModule<CFFMEncoder>(params); }

CFFMEncoder::~CFFMEncoder() { CFFMEncoder::Close(); }

HRESULT CFFMEncoder::Open(CParamList* params) {
  sampleCounter_ = 0;
  pulldown_ = 0;
  majorType_ = params ? params->GetInt("MAJORTYPE", -1) : -1;
  minorType_ = params ? params->GetInt("MINORTYPE", 0) : 0;
  frameBuffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
  spareBuffer_.reset(new (std::nothrow) uint8_t[kBufferBytes]);
  audioFifo_.reserve(kFifoBytes);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!frameBuffer_ || !spareBuffer_ || !frame_ || !packet_) return E_OUTOFMEMORY;
  return S_OK;
}

// Frees the codec and every buffer; a sample that still arrives is refused.
HRESULT CFFMEncoder::Close() {
  avcodec_free_context(&codecContext_);
  core_.reset();
  swr_free(&swr_);
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  frameBuffer_.reset();
  spareBuffer_.reset();
  inputTypes_.FreeAll();
  audioFifo_ = {};
  times_.clear();
  return S_OK;
}

HRESULT CFFMEncoder::Run() { return S_OK; }
HRESULT CFFMEncoder::Stop() { return S_OK; }
HRESULT CFFMEncoder::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }
HRESULT CFFMEncoder::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CFFMEncoder::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (pin != 0) return E_FAIL;
  if (testOnly != 0 && testOnly != 1) {
    inputTypes_.Set(0, 0, nullptr);
    return S_OK;
  }
  if (!type) return E_FAIL;
  AM_MEDIA_TYPE* copy = CloneMediaType(type);
  if (!copy) return E_OUTOFMEMORY;
  bool yv12 = false;
  if (copy->subtype == MEDIASUBTYPE_YV12) {
    yv12 = true;
    copy->subtype = MEDIASUBTYPE_I420;
    if (copy->formattype == FORMAT_VideoInfo && copy->pbFormat && copy->cbFormat >= sizeof(VIDEOINFOHEADER))
      reinterpret_cast<VIDEOINFOHEADER*>(copy->pbFormat)->bmiHeader.biCompression = MakeFourcc('I', '4', '2', '0');
    else if (copy->formattype == FORMAT_VideoInfo2 && copy->pbFormat && copy->cbFormat >= sizeof(VIDEOINFOHEADER2))
      reinterpret_cast<VIDEOINFOHEADER2*>(copy->pbFormat)->bmiHeader.biCompression = MakeFourcc('I', '4', '2', '0');
  }
  CodecContext ctx;
  const bool ok = RawMediaTypeToEncoderContext(copy, &ctx, minorType_);
  HRESULT hr = ok ? S_OK : E_FAIL;
  if (ok && testOnly == 0) {
    swapChroma_ = yv12 ? 1 : 0;
    ctx.height = std::abs(ctx.height);
    context_ = ctx;
    inputTypes_.Set(0, 1, copy);
  }
  DeleteOwnMediaType(copy);
  return hr;
}

HRESULT CFFMEncoder::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || !props) return E_FAIL;
  const int32_t size = inputTypes_.GetSampleSize(0);
  if (size <= 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

HRESULT CFFMEncoder::SetParams(CParamList* params) {
  if (IsOpen()) return S_OK;
  if (!frame_ || !packet_) return E_UNEXPECTED;  // closed
  if (!params) return E_POINTER;
  // Kept to open the codec again after a seek.
  if (char* text = params->ToText()) {
    params_ = text;
    params->FreeText(text);
  }
  const int32_t etype = params->GetInt("ETYPE", 255);
  if (etype != 0 && etype != 1) {
    Diag(DiagLevel::kError, "FFmpeg encoder: the parameters name neither video nor audio (ETYPE %d)", etype);
    return E_INVALIDARG;
  }
  if (context_.codec_type != etype) {
    const char* input = context_.codec_type == CODEC_TYPE_VIDEO   ? "video"
                        : context_.codec_type == CODEC_TYPE_AUDIO ? "audio"
                                                                  : "not set";
    Diag(DiagLevel::kError, "FFmpeg encoder: the encoder is asked for %s but its input is %s",
         etype == CODEC_TYPE_VIDEO ? "video" : "audio", input);
    return E_INVALIDARG;
  }
  const int64_t bitRate = Has(params, "RATE") ? params->GetInt("RATE", 0) : params->GetInt("BITRATE", 0);

  const std::optional<AudioCore> own = OwnAudioEncoderOf(minorType_);
  if (etype == CODEC_TYPE_AUDIO && own) {
    core_ = CreateAudioEncoderCore(*own);
    if (!core_ || core_->Open(context_.sample_rate, context_.channels, bitRate) < 0) {
      Diag(DiagLevel::kError, "FFmpeg encoder: cannot open the %s encoder for %d Hz, %d channels",
           CodecName(minorType_), context_.sample_rate, context_.channels);
      core_.reset();
      return E_FAIL;
    }
    context_.bit_rate = core_->BitRate();
    context_.frame_size = core_->FrameSize();
    return S_OK;
  }

  const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(minorType_));
  if (!codec) {
    Diag(DiagLevel::kError, "FFmpeg encoder: no encoder for the codec %s (%d) on this system", CodecName(minorType_),
         minorType_);
    return E_FAIL;
  }
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) return E_OUTOFMEMORY;
  c->thread_count = 0;  // FFmpeg picks frame and slice threads
  if (bitRate > 0) c->bit_rate = bitRate;
  if (etype == CODEC_TYPE_AUDIO && minorType_ == AV_CODEC_ID_AAC) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (Has(params, "MAX_RATE")) c->rc_max_rate = params->GetInt("MAX_RATE", 0);
  if (Has(params, "MIN_RATE")) c->rc_min_rate = params->GetInt("MIN_RATE", 0);
  if (Has(params, "BUFFER_SIZE")) c->rc_buffer_size = params->GetInt("BUFFER_SIZE", 0);
  if (Has(params, "GOP")) {
    c->gop_size = params->GetInt("GOP", 12);
    c->flags |= AV_CODEC_FLAG_CLOSED_GOP;
    av_opt_set_int(c, "strict_gop", 1, AV_OPT_SEARCH_CHILDREN);
    // No scene-change cuts. x264 reads the threshold the other way round (a huge
    // value makes every picture a cut: no B-frames, keyframes off the grid); 0 turns them off.
    const bool x264 = std::strncmp(codec->name, "libx264", 7) == 0;
    av_opt_set_int(c, "sc_threshold", x264 ? 0 : 1000000000, AV_OPT_SEARCH_CHILDREN);
  }
  if (Has(params, "SCAN_OFFSET")) av_opt_set_int(c, "scan_offset", 1, AV_OPT_SEARCH_CHILDREN);
  if (Has(params, "PULLDOWN_32")) pulldown_ = 1;
  if (Has(params, "MAXBFRAME")) c->max_b_frames = params->GetInt("MAXBFRAME", 0);
  if (params->GetInt("INTERLACED", 0) != 0) {
    c->flags |= AV_CODEC_FLAG_INTERLACED_DCT | AV_CODEC_FLAG_INTERLACED_ME;
    interlaced_ = 1;
    bottomFieldFirst_ = params->GetInt("BFF", 0);
  }
  if (params->GetInt("INTRA_MATRIX", 0) == 1) c->intra_matrix = CopyMatrix(kIntraMatrix);
  if (params->GetInt("INTER_MATRIX", 0) == 1) c->inter_matrix = CopyMatrix(kInterMatrix);

  if (etype == CODEC_TYPE_VIDEO) {
    c->width = context_.width;
    c->height = context_.height;
    c->sample_aspect_ratio =
        Has(params, "PARNUM") ? AVRational{params->GetInt("PARNUM", 1), params->GetInt("PARDEN", 1)} : AVRational{1, 1};
    FFRational tb = context_.time_base;
    if (Has(params, "FORCEFPS")) {
      const double fps = params->GetDouble("FORCEFPS", 24.0);
      if (fps > 0) tb = FFRational{1000, static_cast<int32_t>(fps * 1000 + 0.5)};
    }
    if (tb.num <= 0 || tb.den <= 0) tb = FFRational{1, 25};
    const AVRational rate = av_make_q(tb.den, tb.num);
    c->time_base = av_inv_q(rate);
    c->framerate = rate;
    av_reduce(&c->time_base.num, &c->time_base.den, c->time_base.num, c->time_base.den, INT32_MAX);
    frameDuration_ = av_rescale(kUnits, c->time_base.num, c->time_base.den);
    const AVPixelFormat wanted = minorType_ == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    c->pix_fmt = PickPixelFormat(codec, wanted);
    if (minorType_ == AV_CODEC_ID_MJPEG) c->color_range = AVCOL_RANGE_JPEG;
    if (interlaced_) c->field_order = bottomFieldFirst_ ? AV_FIELD_BB : AV_FIELD_TT;
  } else {
    c->sample_rate = context_.sample_rate;
    av_channel_layout_default(&c->ch_layout, context_.channels > 0 ? context_.channels : 1);
    int32_t wanted = AV_SAMPLE_FMT_S16;
    if (minorType_ == AV_CODEC_ID_PCM_DVD) wanted = AV_SAMPLE_FMT_S32;
    c->sample_fmt = PickSampleFormat(codec, wanted);
    c->time_base = AVRational{1, c->sample_rate > 0 ? c->sample_rate : 1};
  }
  const int err = avcodec_open2(c, codec, nullptr);
  if (err < 0) {
    Diag(DiagLevel::kError, "FFmpeg encoder: cannot open the %s encoder (%s)", codec->name, FFErrorText(err).c_str());
    avcodec_free_context(&c);
    return E_FAIL;
  }
  codecContext_ = c;
  if (etype == CODEC_TYPE_AUDIO && c->sample_fmt != AV_SAMPLE_FMT_S16) {
    if (swr_alloc_set_opts2(&swr_, &c->ch_layout, c->sample_fmt, c->sample_rate, &c->ch_layout, AV_SAMPLE_FMT_S16,
                            c->sample_rate, 0, nullptr) < 0 ||
        swr_init(swr_) < 0) {
      Diag(DiagLevel::kError, "FFmpeg encoder: cannot convert 16-bit samples to the format of the %s encoder",
           codec->name);
      avcodec_free_context(&codecContext_);
      return E_FAIL;
    }
  }
  return S_OK;
}

HRESULT CFFMEncoder::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin != 0 || !type || !IsOpen()) return E_FAIL;
  return OutputType(nullptr, 0, type);
}

HRESULT CFFMEncoder::OutputType(const uint8_t* extradata, size_t extradataSize, AM_MEDIA_TYPE* type) {
  CodecContext ctx;
  if (codecContext_) {
    AVCodecParameters* par = avcodec_parameters_alloc();
    if (!par || avcodec_parameters_from_context(par, codecContext_) < 0) {
      avcodec_parameters_free(&par);
      return E_FAIL;
    }
    CodecContextFromParameters(par, &ctx);
    avcodec_parameters_free(&par);
    ctx.time_base = FFRational{codecContext_->time_base.num, codecContext_->time_base.den};
    if (pulldown_) ctx.time_base = FFRational{1001, 30000};
    if (ctx.codec_type == CODEC_TYPE_AUDIO && ctx.sample_fmt != SAMPLE_FMT_S32) ctx.sample_fmt = SAMPLE_FMT_S16;
  } else {
    ctx = context_;
    ctx.codec_id = minorType_;
    ctx.sample_fmt = SAMPLE_FMT_S16;
    ctx.extradata.clear();
  }
  if (extradata) ctx.extradata.assign(extradata, extradata + extradataSize);
  ClearMediaTypeFormat(type);
  InitMediaType(type);
  return CodecContextToMediaType(&ctx, type) ? S_OK : E_FAIL;
}

int64_t CFFMEncoder::AudioTime(int64_t samples) const {
  const int32_t rate = context_.sample_rate > 0 ? context_.sample_rate : 1;
  return static_cast<int64_t>(static_cast<__int128>(samples) * kUnits / rate);
}

HRESULT CFFMEncoder::Receive(uint32_t pin, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (pin != 0) return E_FAIL;
  if (!sample) return EndOfStream();
  if (!IsOpen()) return E_FAIL;
  if (sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() == 0) {
    sample.Reset();
    return Restart();
  }
  ended_ = false;
  return context_.codec_type == CODEC_TYPE_VIDEO ? ReceiveVideo(std::move(sample)) : ReceiveAudio(std::move(sample));
}

HRESULT CFFMEncoder::ReceiveVideo(Ref<IMediaSample> sample) {
  AVCodecContext* c = codecContext_;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = std::min(sample->GetActualDataLength(), sample->GetSize());
  REFERENCE_TIME start = nextStart_, stop = 0;
  const HRESULT timeResult = sample->GetTime(&start, &stop);
  if (FAILED(timeResult)) start = nextStart_;
  if (timeResult != S_OK) stop = start + frameDuration_;
  if (sought_ && encodedEnd_ != kNoTimestamp) {
    // A picture of the time already encoded (a seek back): dropped. Half a
    // picture of slack keeps the one that follows the encoded end.
    const int64_t half = (stop > start ? stop - start : frameDuration_) / 2;
    if (start < encodedEnd_ - half) return S_OK;
  }
  const int w = context_.width, h = context_.height;
  const int64_t needed = int64_t(w) * h + 2 * (int64_t((w + 1) / 2) * ((h + 1) / 2));
  if (!data || length < needed) {
    // The first goes to the log; the rest are traces.
    if (skippedPictures_++ == 0)
      Diag(DiagLevel::kWarning, "the %s encoder skips pictures of %ld bytes: %dx%d needs %lld", CodecName(minorType_),
           static_cast<long>(length), w, h, static_cast<long long>(needed));
    else
      Diag(DiagLevel::kTrace, "FFmpeg encoder: a picture of %ld bytes is skipped, %lld expected",
           static_cast<long>(length), static_cast<long long>(needed));
    return S_OK;
  }
  nextStart_ = stop;
  encodedEnd_ = std::max(encodedEnd_, stop);
  // The input laid over the sample's buffer as YUV420P (chroma exchanged for YV12).
  uint8_t* planes[4] = {};
  int strides[4] = {};
  av_image_fill_arrays(planes, strides, data, AV_PIX_FMT_YUV420P, w, h, 1);
  if (swapChroma_) std::swap(planes[1], planes[2]);

  AVFrame* frame = frame_;
  av_frame_unref(frame);
  frame->format = c->pix_fmt;
  frame->width = w;
  frame->height = h;
  HRESULT hr = S_OK;
  if (c->pix_fmt == AV_PIX_FMT_YUV420P || c->pix_fmt == AV_PIX_FMT_YUVJ420P) {
    // Encoders may keep the picture: give them their own copy.
    if (av_frame_get_buffer(frame, 0) < 0)
      hr = E_OUTOFMEMORY;
    else
      av_image_copy(frame->data, frame->linesize, const_cast<const uint8_t**>(planes), strides, AV_PIX_FMT_YUV420P, w,
                    h);
  } else {
    scaler_ = sws_getCachedContext(scaler_, w, h, AV_PIX_FMT_YUV420P, w, h, c->pix_fmt, SWS_BICUBIC, nullptr, nullptr,
                                   nullptr);
    if (!scaler_ || av_frame_get_buffer(frame, 0) < 0)
      hr = E_FAIL;
    else
      sws_scale(scaler_, planes, strides, 0, h, frame->data, frame->linesize);
  }
  sample.Reset();
  if (FAILED(hr)) {
    Diag(DiagLevel::kWarning, "FFmpeg encoder: cannot prepare a %dx%d picture for the %s encoder; it is skipped", w, h,
         CodecName(minorType_));
    return S_OK;
  }
  if (interlaced_) {
    frame->interlaced_frame = 1;
    frame->top_field_first = bottomFieldFirst_ ? 0 : 1;
  }
  frame->pts = frameIndex_++;
  times_[frame->pts] = Times{start, stop};
  hr = SendFrame(frame);
  av_frame_unref(frame);
  return hr;
}

HRESULT CFFMEncoder::SendFrame(AVFrame* frame) {
  AVCodecContext* c = codecContext_;
  int err = avcodec_send_frame(c, frame);
  if (err < 0 && err != AVERROR_EOF) {
    Diag(DiagLevel::kWarning, "FFmpeg encoder: the %s encoder refused a %s frame (%s); it is skipped", c->codec->name,
         c->codec_type == AVMEDIA_TYPE_AUDIO ? "audio" : "video", FFErrorText(err).c_str());
    return S_OK;
  }
  for (;;) {
    err = avcodec_receive_packet(c, packet_);
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    if (err < 0) {
      Diag(DiagLevel::kWarning, "FFmpeg encoder: the %s encoder failed to give a packet (%s)", c->codec->name,
           FFErrorText(err).c_str());
      break;
    }
    int64_t start = 0, stop = 0, decode = kNoTimestamp;
    if (c->codec_type == AVMEDIA_TYPE_VIDEO) {
      const auto it = times_.find(packet_->pts);
      if (it != times_.end()) {
        start = it->second.start;
        stop = it->second.stop;
      } else {
        start = nextStart_;
        stop = start + frameDuration_;
      }
      // Decode time: the first picture's time moved by the packet's place in decode order.
      if (packet_->dts != AV_NOPTS_VALUE && !times_.empty()) {
        const auto first = times_.begin();
        decode = first->second.start + (packet_->dts - first->first) * frameDuration_;
      }
      // Pictures far behind the coded ones are never asked for again.
      while (!times_.empty() && times_.begin()->first < packet_->pts - 256) times_.erase(times_.begin());
    } else {
      // Stamped from the samples the packet holds, in the codec's 1/rate time base.
      start = AudioTime(packet_->pts);
      const int64_t duration = packet_->duration > 0 ? packet_->duration : c->frame_size;
      stop = AudioTime(packet_->pts + duration);
    }
    // Codec data the encoder updated (a FLAC stream's final STREAMINFO with its
    // length and checksum) goes to the writer as the sample's new media type.
    AM_MEDIA_TYPE* newType = nullptr;
    size_t sideSize = 0;
    if (const uint8_t* side = av_packet_get_side_data(packet_, AV_PKT_DATA_NEW_EXTRADATA, &sideSize)) {
      newType = CloneMediaType(nullptr);
      if (newType && OutputType(side, sideSize, newType) != S_OK) {
        DeleteOwnMediaType(newType);
        newType = nullptr;
      }
    }
    const HRESULT hr = DeliverPacket(packet_->data, packet_->size, (packet_->flags & AV_PKT_FLAG_KEY) != 0, start, stop,
                                     decode, newType);
    DeleteOwnMediaType(newType);
    av_packet_unref(packet_);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CFFMEncoder::DeliverPacket(const uint8_t* data, int32_t size, bool key, int64_t start, int64_t stop,
                                   int64_t decodeTime, AM_MEDIA_TYPE* newType) {
  if (size < 0 || (size == 0 && !newType)) return S_OK;
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> out;
  if (!allocator || FAILED(allocator->GetBuffer(out.Out(), nullptr, nullptr, 0)) || !out) return E_FAIL;
  BYTE* dst = nullptr;
  out->GetPointer(&dst);
  if (!dst || out->GetSize() < size) {
    Diag(DiagLevel::kWarning,
         "FFmpeg encoder: a coded packet of %d bytes does not fit the output buffer of %ld; it is dropped", size,
         static_cast<long>(out->GetSize()));
    return S_OK;
  }
  if (size > 0) std::memcpy(dst, data, static_cast<size_t>(size));
  out->SetActualDataLength(size);
  if (newType && out->SetMediaType(newType) != S_OK) return E_OUTOFMEMORY;
  REFERENCE_TIME s = start, e = stop;
  out->SetTime(&s, &e);
  if (decodeTime != kNoTimestamp) {
    LONGLONG d = decodeTime;
    out->SetMediaTime(&d, &d);
  }
  out->SetSyncPoint(key ? 1 : 0);
  out->SetPreroll(0);
  // The first packet after a seek starts a new stretch of time.
  out->SetDiscontinuity(markDiscontinuity_ ? 1 : 0);
  markDiscontinuity_ = false;
  return Deliver(0, out.Detach());
}

HRESULT CFFMEncoder::Restart() {
  // What the codec holds of the time before the seek comes out first.
  HRESULT hr = S_OK;
  if (context_.codec_type == CODEC_TYPE_AUDIO) hr = EncodeFifo(true);
  if (codecContext_ && SUCCEEDED(hr)) hr = SendFrame(nullptr);
  if (codecContext_) {
    // A drained codec takes no more frames: the same settings, fresh.
    avcodec_free_context(&codecContext_);
    swr_free(&swr_);
    CParamList params;
    params.ParseText(params_.c_str());
    const HRESULT opened = SetParams(&params);
    if (FAILED(opened)) {
      Diag(DiagLevel::kError, "the %s encoder cannot start again after a seek", CodecName(minorType_));
      return opened;
    }
  }
  frameIndex_ = 0;
  times_.clear();
  audioFifo_.clear();
  rebase_ = true;
  markDiscontinuity_ = true;
  sought_ = true;
  return hr;
}

HRESULT CFFMEncoder::ReceiveAudio(Ref<IMediaSample> sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  LONG length = std::min(sample->GetActualDataLength(), sample->GetSize());
  const int64_t frameBytes = int64_t(context_.channels > 0 ? context_.channels : 1) * 2;
  REFERENCE_TIME start = 0, stop = 0;
  const bool timed = SUCCEEDED(sample->GetTime(&start, &stop)) && context_.sample_rate > 0;
  if (timed && data && length > 0) {
    const int64_t end = start + AudioTime(length / frameBytes);
    if (sought_ && encodedEnd_ != kNoTimestamp && start < encodedEnd_) {
      // Sound of the time already encoded (a seek back): dropped, up to the
      // sample frame where the encoded time ends.
      const int64_t covered =
          static_cast<int64_t>(static_cast<__int128>(encodedEnd_ - start) * context_.sample_rate / kUnits);
      const int64_t skip = std::min<int64_t>(covered * frameBytes, length);
      if (skip >= length) return S_OK;
      data += skip;
      length -= static_cast<LONG>(skip);
      start += AudioTime(skip / frameBytes);
    }
    encodedEnd_ = std::max(encodedEnd_, end);
  }
  if (rebase_ && timed && start >= 0) {
    // After a seek the stamps follow the source's time again.
    sampleCounter_ = static_cast<int64_t>(static_cast<__int128>(start) * context_.sample_rate / kUnits);
    rebase_ = false;
  }
  if (data && length > 0) {
    if (audioFifo_.size() + static_cast<size_t>(length) > static_cast<size_t>(kFifoBytes)) {
      // Keep what fits whole frames; the encoder is fed below before more arrives.
      Diag(DiagLevel::kTrace, "FFmpeg encoder: the audio FIFO grows past %d bytes", kFifoBytes);
    }
    audioFifo_.insert(audioFifo_.end(), data, data + length);
  }
  sample.Reset();
  return EncodeFifo(false);
}

HRESULT CFFMEncoder::EncodeFifo(bool final) {
  const int32_t channels = context_.channels > 0 ? context_.channels : 1;
  const size_t frameBytes = static_cast<size_t>(channels) * 2;
  int32_t frameSize = core_ ? core_->FrameSize() : codecContext_->frame_size;
  // Codecs that take a shorter last frame get the rest as it is, so the stream keeps its exact length.
  const bool variable = !core_ && (codecContext_->codec->capabilities &
                                   (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME));
  if (frameSize <= 1) frameSize = 0;
  size_t used = 0;
  HRESULT hr = S_OK;
  if (frameSize == 0) {
    // Frame-less codecs (PCM and the like) take every whole sample frame held.
    const size_t frames = audioFifo_.size() / frameBytes;
    if (frames > 0) hr = EncodeAudioFrame(audioFifo_.data(), static_cast<int32_t>(frames));
    used = frames * frameBytes;
  } else {
    const size_t block = static_cast<size_t>(frameSize) * frameBytes;
    while (SUCCEEDED(hr) && audioFifo_.size() - used >= block) {
      hr = EncodeAudioFrame(audioFifo_.data() + used, frameSize);
      used += block;
    }
    const size_t rest = (audioFifo_.size() - used) / frameBytes;
    if (final && rest > 0 && SUCCEEDED(hr)) {
      if (variable) {
        hr = EncodeAudioFrame(audioFifo_.data() + used, static_cast<int32_t>(rest));
      } else {
        // The last frame is padded with silence in whole sample frames.
        std::vector<uint8_t> padded(block, 0);
        std::memcpy(padded.data(), audioFifo_.data() + used, rest * frameBytes);
        hr = EncodeAudioFrame(padded.data(), frameSize);
      }
      used = audioFifo_.size();
    }
  }
  audioFifo_.erase(audioFifo_.begin(), audioFifo_.begin() + static_cast<std::ptrdiff_t>(used));
  if (final) audioFifo_.clear();
  return hr;
}

HRESULT CFFMEncoder::EncodeAudioFrame(const uint8_t* pcm, int32_t frames) {
  if (core_) {
    std::vector<uint8_t> packet;
    if (core_->Encode(reinterpret_cast<const int16_t*>(pcm), &packet) < 0) {
      ConsoleLine("error encode audio\n");
      sampleCounter_ += frames;
      return S_OK;
    }
    const int64_t start = AudioTime(sampleCounter_);
    sampleCounter_ += frames;
    return DeliverPacket(packet.data(), static_cast<int32_t>(packet.size()), true, start, AudioTime(sampleCounter_),
                         kNoTimestamp);
  }
  AVCodecContext* c = codecContext_;
  AVFrame* frame = frame_;
  av_frame_unref(frame);
  frame->nb_samples = frames;
  frame->format = c->sample_fmt;
  frame->sample_rate = c->sample_rate;
  if (av_channel_layout_copy(&frame->ch_layout, &c->ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0) {
    av_frame_unref(frame);
    return E_OUTOFMEMORY;
  }
  if (swr_) {
    const uint8_t* in[1] = {pcm};
    swr_convert(swr_, frame->extended_data, frames, in, frames);
  } else {
    std::memcpy(frame->data[0], pcm, static_cast<size_t>(frames) * 2 * c->ch_layout.nb_channels);
  }
  frame->pts = sampleCounter_;
  sampleCounter_ += frames;
  const HRESULT hr = SendFrame(frame);
  av_frame_unref(frame);
  return hr;
}

HRESULT CFFMEncoder::EndOfStream() {
  HRESULT hr = S_OK;
  if (IsOpen() && !ended_) {
    ended_ = true;
    if (context_.codec_type == CODEC_TYPE_AUDIO) hr = EncodeFifo(true);
    // Frames held for look-ahead come out now.
    if (codecContext_ && SUCCEEDED(hr)) hr = SendFrame(nullptr);
  }
  Deliver(0, nullptr);
  return hr;
}
