#include "engine/modules/ffmpeg/ffm_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/codec_tables.h"
#include "common/param_list.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/ffmpeg/codec_tags.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnits = 10000000;  // 100-ns units per second
constexpr size_t kMaxPendingTimes = 64;

bool FillsGaps(int32_t id) {
  switch (id) {
    case AV_CODEC_ID_PCM_S16BE:
    case AV_CODEC_ID_PCM_DVD:
    case AV_CODEC_ID_PCM_BLURAY:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_DTS:
    case AV_CODEC_ID_COOK:
    case AV_CODEC_ID_NELLYMOSER:
    case AV_CODEC_ID_TRUEHD:
      return true;
    default:
      return false;
  }
}

// Video codecs of discs and broadcasts, whose pictures come at a fixed rate: a gap in their
// stamps is data that could not be read.
bool HoldsPictures(int32_t id) { return id == AV_CODEC_ID_MPEG1VIDEO || id == AV_CODEC_ID_MPEG2VIDEO; }

// Source formats stored top-down that the BGR24 output turns bottom-up.
bool FlipsToBottomUp(int format) {
  switch (format) {
    case AV_PIX_FMT_YUV420P:
    case AV_PIX_FMT_YUYV422:
    case AV_PIX_FMT_YUV422P:
    case AV_PIX_FMT_YUV444P:
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
      return true;
    default:
      return false;
  }
}

std::string ErrorText(int err) { return FFErrorText(err); }

}  // namespace

IMediaModule* CFFMDecoder::Create(CParamList* params) { return CreateOpenedModule<CFFMDecoder>(params); }

CFFMDecoder::~CFFMDecoder() { CFFMDecoder::Close(); }

HRESULT CFFMDecoder::Open(CParamList* params) {
  majorType_ = params ? params->GetInt("MAJORTYPE", -1) : -1;
  minorType_ = params ? params->GetInt("MINORTYPE", 0) : 0;
  fixedCodec_ = params && minorType_ != 0 && params->GetInt("FIXEDCODEC", 0) != 0;
  if (majorType_ != CODEC_TYPE_VIDEO && majorType_ != CODEC_TYPE_AUDIO) {
    Diag(DiagLevel::kError, "FFmpeg decoder: the parameters name neither video nor audio (MAJORTYPE %d)", majorType_);
    return E_FAIL;
  }
  channelLimit_ = 0;
  rgbOutput_ = 0;
  sampleCounter_ = 0;
  resyncCounter_ = 0;
  while (!pendingTimes_.empty()) pendingTimes_.pop();
  pcmBuffer_.reset(new (std::nothrow) uint8_t[kPcmBufferBytes]);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (!pcmBuffer_ || !frame_ || !packet_) return E_OUTOFMEMORY;
  context_ = CodecContext();
  context_.codec_type = majorType_;
  context_.codec_id = minorType_;
  return S_OK;
}

// Frees the codec and every buffer; a sample that still arrives is refused.
HRESULT CFFMDecoder::Close() {
  FreeCodec();
  sws_freeContext(scaler_);
  scaler_ = nullptr;
  av_frame_free(&frame_);
  av_frame_free(&heldPicture_);
  av_packet_free(&packet_);
  pcmBuffer_.reset();
  inputTypes_.FreeAll();
  pendingTimes_ = {};
  converter_.Reset();
  converted_ = {};
  coreSamples_ = {};
  return S_OK;
}
HRESULT CFFMDecoder::Stop() { return S_OK; }

HRESULT CFFMDecoder::SetParams(CParamList* params) {
  if (params) channelLimit_ = params->GetInt("CHANNEL", 0);
  return S_OK;
}

HRESULT CFFMDecoder::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }

void CFFMDecoder::FreeCodec() {
  avcodec_free_context(&codecContext_);
  core_.reset();
}

int CFFMDecoder::OpenCodec(const CodecContext& ctx) {
  FreeCodec();
  const std::optional<AudioCore> own = OwnAudioDecoderOf(ctx.codec_id);
  if (ctx.codec_type == CODEC_TYPE_AUDIO && own) {
    core_ = CreateAudioDecoderCore(*own);
    if (!core_) return AVERROR(ENOMEM);
    const int err = core_->Open(ctx.sample_rate, ctx.channels, ctx.extradata.data(), ctx.extradata_size());
    if (err < 0) core_.reset();
    return err;
  }
  const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(ctx.codec_id));
  if (!codec) {
    Diag(DiagLevel::kError, "FFmpeg decoder: no decoder for the codec %s (%d)", CodecName(ctx.codec_id), ctx.codec_id);
    return AVERROR_DECODER_NOT_FOUND;
  }
  codecContext_ = avcodec_alloc_context3(codec);
  AVCodecParameters* par = avcodec_parameters_alloc();
  int err = codecContext_ && par ? CodecContextToParameters(ctx, par) : AVERROR(ENOMEM);
  if (err >= 0) err = avcodec_parameters_to_context(codecContext_, par);
  avcodec_parameters_free(&par);
  if (err >= 0) {
    codecContext_->pkt_timebase = AVRational{1, static_cast<int>(kUnits)};
    codecContext_->thread_count = 0;  // FFmpeg picks frame and slice threads
    // G.726 reads its code size from the bits per sample; wave headers often carry 16.
    if (ctx.codec_id == AV_CODEC_ID_ADPCM_G726 && (ctx.bits_per_sample < 2 || ctx.bits_per_sample > 5) &&
        ctx.sample_rate > 0 && ctx.bit_rate > 0)
      codecContext_->bits_per_coded_sample =
          static_cast<int>(std::clamp<int64_t>((ctx.bit_rate + ctx.sample_rate / 2) / ctx.sample_rate, 2, 5));
    if (ctx.time_base.num > 0 && ctx.time_base.den > 0)
      codecContext_->framerate = AVRational{ctx.time_base.den, ctx.time_base.num};
    err = avcodec_open2(codecContext_, codec, nullptr);
  }
  if (err < 0) {
    Diag(DiagLevel::kError, "FFmpeg decoder: cannot open the %s decoder (%s)", codec->name, ErrorText(err).c_str());
    avcodec_free_context(&codecContext_);
  }
  return err;
}

HRESULT CFFMDecoder::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (pin != 0) return E_FAIL;
  if (testOnly != 0 && testOnly != 1) {
    inputTypes_.Set(0, 0, nullptr);
    return S_OK;
  }
  if (!type) return E_FAIL;
  if (!frame_ || !packet_) return E_UNEXPECTED;  // closed
  CodecContext ctx;
  ctx.codec_type = majorType_;
  ctx.codec_id = minorType_;
  // A decoder made for one codec takes that codec's types whatever the codec table says of them.
  const bool translated = fixedCodec_
                              ? MediaTypeToCodecContext(type, &ctx, minorType_, 0, 0, GuidToFourcc(type->subtype))
                              : MediaTypeToDecoderContext(type, &ctx);
  if (!translated || ctx.codec_type != majorType_) return E_FAIL;
  if (ctx.codec_id == 0) ctx.codec_id = minorType_;
  if (testOnly == 1) {
    const int err = OpenCodec(ctx);
    FreeCodec();
    return err < 0 ? E_FAIL : S_OK;
  }
  if (ctx.codec_type == CODEC_TYPE_AUDIO && channelLimit_ > 0 && channelLimit_ < ctx.channels)
    outChannels_ = channelLimit_;
  if (OpenCodec(ctx) < 0) return E_FAIL;
  context_ = ctx;
  outputChosen_ = false;
  ChooseOutput();
  inputTypes_.Set(0, 1, type);
  return S_OK;
}

// What the output pin offers: the size and picture format, or the rate,
// channels and sample width, fixed from the input type and the open codec.
void CFFMDecoder::ChooseOutput() {
  if (outputChosen_) return;
  outputChosen_ = true;
  if (context_.codec_type == CODEC_TYPE_VIDEO) {
    outWidth_ = std::abs(context_.width);
    outHeight_ = std::abs(context_.height);
    if ((outWidth_ == 0 || outHeight_ == 0) && codecContext_) {
      outWidth_ = codecContext_->width;
      outHeight_ = codecContext_->height;
    }
    rgbOutput_ = (outWidth_ % 2) != 0 || (outHeight_ % 2) != 0 || context_.codec_id == AV_CODEC_ID_FLASHSV;
    frameDuration_ = FrameDurationFromRate(context_.time_base);
    if (frameDuration_ <= 0 || frameDuration_ > kUnits * 10) frameDuration_ = 400000;
    return;
  }
  int32_t rate = context_.sample_rate;
  int32_t channels = context_.channels;
  if (codecContext_) {
    if (rate <= 0) rate = codecContext_->sample_rate;
    if (channels <= 0) channels = codecContext_->ch_layout.nb_channels;
  } else if (core_) {
    if (rate <= 0) rate = core_->SampleRate();
    if (channels <= 0) channels = core_->Channels();
  }
  if (channels <= 0) channels = 2;
  if (channelLimit_ > 0 && channelLimit_ < channels) channels = channelLimit_;
  outChannels_ = channels;
  sampleRate_ = rate;
  outBits_ = 16;
  if (context_.sample_fmt == SAMPLE_FMT_S32 ||
      (context_.codec_id == AV_CODEC_ID_PCM_DVD && context_.bits_per_sample > 16))
    outBits_ = 32;
  if (context_.codec_id == AV_CODEC_ID_PCM_S16BE || context_.codec_id == AV_CODEC_ID_PCM_MULAW ||
      context_.codec_id == AV_CODEC_ID_PCM_ALAW)
    outBits_ = 16;
  converter_.SetOutput(outBits_ == 32 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16, rate, channels);
}

HRESULT CFFMDecoder::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index > 1) return MODULE_E_NO_TYPE;
  if (pin != 0 || !type) return E_FAIL;
  if (!inputTypes_.types[0]) return E_FAIL;
  ChooseOutput();
  CodecContext out = context_;
  if (out.codec_type == CODEC_TYPE_VIDEO) {
    out.width = outWidth_;
    out.height = outHeight_;
    out.pix_fmt = rgbOutput_ ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_YUV420P;
    if (index == 1 && rgbOutput_) return MODULE_E_NO_TYPE;
  } else {
    if (index == 1) return MODULE_E_NO_TYPE;
    out.sample_rate = sampleRate_;
    out.channels = outChannels_;
    out.sample_fmt = outBits_ == 32 ? SAMPLE_FMT_S32 : SAMPLE_FMT_S16;
  }
  ClearMediaTypeFormat(type);
  InitMediaType(type);
  if (!DecodedContextToMediaType(&out, type)) return E_FAIL;
  if (out.codec_type == CODEC_TYPE_VIDEO && index == 0 && !rgbOutput_) {
    type->subtype = MEDIASUBTYPE_YV12;
    if (type->pbFormat && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
      auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
      vih->bmiHeader.biCompression = MakeFourcc('Y', 'V', '1', '2');
    }
  }
  return S_OK;
}

HRESULT CFFMDecoder::SetOutputType(uint32_t, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (testOnly == 0) yv12Output_ = type && type->subtype == MEDIASUBTYPE_YV12;
  return S_OK;
}

HRESULT CFFMDecoder::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || !props) return E_FAIL;
  const int32_t size = inputTypes_.GetSampleSize(0);
  if (size <= 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

HRESULT CFFMDecoder::Run() {
  ChooseOutput();
  fillGaps_ = FillsGaps(context_.codec_id) ? 1 : 0;
  holdPictures_ = context_.codec_type == CODEC_TYPE_VIDEO && HoldsPictures(context_.codec_id);
  return S_OK;
}

Ref<IMediaSample> CFFMDecoder::NewOutputSample() {
  IMemAllocator* allocator = OutputAllocator(0);
  if (!allocator) return {};
  Ref<IMediaSample> sample;
  if (FAILED(allocator->GetBuffer(sample.Out(), nullptr, nullptr, 0))) return {};
  return sample;
}

int64_t CFFMDecoder::CounterTime() const {
  return sampleRate_ > 0 ? static_cast<int64_t>(static_cast<__int128>(sampleCounter_) * kUnits / sampleRate_) : 0;
}

HRESULT CFFMDecoder::Receive(uint32_t pin, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (pin != 0) return E_FAIL;
  if (!sample) return EndOfStream();
  if (!codecContext_ && !core_) return E_FAIL;
  if (sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() == 0) return SeekMarker(std::move(sample));
  return context_.codec_type == CODEC_TYPE_VIDEO ? ReceiveVideo(std::move(sample)) : ReceiveAudio(std::move(sample));
}

HRESULT CFFMDecoder::SeekMarker(Ref<IMediaSample> sample) {
  sample.Reset();
  while (!pendingTimes_.empty()) pendingTimes_.pop();
  if (heldPicture_) av_frame_unref(heldPicture_);  // nothing is held across a seek
  if (codecContext_) avcodec_flush_buffers(codecContext_);
  if (core_) core_->Flush();
  converter_.Reset();
  resyncCounter_ = 1;
  Ref<IMediaSample> marker = NewOutputSample();
  if (!marker) return E_FAIL;
  marker->SetActualDataLength(0);
  marker->SetDiscontinuity(1);
  marker->SetTime(nullptr, nullptr);
  return Deliver(0, marker.Detach());
}

HRESULT CFFMDecoder::ReceiveVideo(Ref<IMediaSample> sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = std::min(sample->GetActualDataLength(), sample->GetSize());
  REFERENCE_TIME start = 0, stop = 0;
  const bool hasStart = SUCCEEDED(sample->GetTime(&start, &stop));
  const bool key = sample->IsSyncPoint() == S_OK;
  if (sample->IsPreroll() == S_OK) prerollSeen_ = true;
  if (!data || length <= 0) return S_OK;
  ++packetsIn_;
  if (!PacketFromSample(std::move(sample), data, length, hasStart, start)) return E_OUTOFMEMORY;
  if (key) packet_->flags |= AV_PKT_FLAG_KEY;
  if (hasStart) {
    pendingTimes_.push(start);
    if (pendingTimes_.size() > kMaxPendingTimes) pendingTimes_.pop();  // times of pictures never made
  }
  const HRESULT hr = DecodePacket(packet_);
  av_packet_unref(packet_);
  return hr;
}

bool CFFMDecoder::PacketFromSample(Ref<IMediaSample> sample, const BYTE* data, LONG length, bool hasStart,
                                   REFERENCE_TIME start) {
  // Padded copy: FFmpeg's bit readers may look past the end.
  const bool made = av_new_packet(packet_, length) >= 0;
  if (made) {
    std::memcpy(packet_->data, data, static_cast<size_t>(length));
    packet_->pts = hasStart ? start : AV_NOPTS_VALUE;
  }
  sample.Reset();
  return made;
}

void CFFMDecoder::DecodeError(const char* format, ...) {
  char text[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  // The first few go to the log; the rest are counted there at the end.
  const char* kind = context_.codec_type == CODEC_TYPE_VIDEO ? "video" : "audio";
  if (++decodeErrors_ <= kLoggedDecodeErrors)
    Diag(DiagLevel::kWarning, "decode error in the %s stream (%s): %s", kind, CodecName(context_.codec_id), text);
  else
    Diag(DiagLevel::kTrace, "decode error in the %s stream (%s): %s", kind, CodecName(context_.codec_id), text);
}

HRESULT CFFMDecoder::DecodePacket(AVPacket* packet) {
  if (!codecContext_) return S_OK;
  int err = avcodec_send_packet(codecContext_, packet);
  bool resend = false;
  if (err == AVERROR(EAGAIN))
    resend = true;
  else if (err < 0 && err != AVERROR_EOF) {
    DecodeError("%s, packet skipped", ErrorText(err).c_str());
    if (packet && packet->pts != AV_NOPTS_VALUE && context_.codec_type == CODEC_TYPE_VIDEO && !pendingTimes_.empty() &&
        pendingTimes_.top() == packet->pts)
      pendingTimes_.pop();
  }
  for (;;) {
    err = avcodec_receive_frame(codecContext_, frame_);
    if (err == AVERROR(EAGAIN) && resend) {
      resend = false;
      err = avcodec_send_packet(codecContext_, packet);
      if (err < 0 && err != AVERROR(EAGAIN)) DecodeError("%s, packet skipped", ErrorText(err).c_str());
      continue;
    }
    if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) break;
    if (err < 0) {
      DecodeError("%s", ErrorText(err).c_str());
      break;
    }
    const HRESULT hr = context_.codec_type == CODEC_TYPE_VIDEO ? DeliverPicture(frame_) : DeliverAudioFrame(frame_);
    av_frame_unref(frame_);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT CFFMDecoder::DeliverPicture(const AVFrame* frame) {
  int64_t start = nextVideoTime_;
  if (!pendingTimes_.empty()) {
    start = pendingTimes_.top();
    pendingTimes_.pop();
  }
  if (prerollSeen_ && start < 0) {
    // Decoded only to reach the start cut.
    nextVideoTime_ = start + frameDuration_;
    return S_OK;
  }
  if (holdPictures_ && heldPicture_ && heldPicture_->buf[0] && frameDuration_ > 0) {
    const int64_t gap = start - nextVideoTime_;
    if (gap >= 2 * frameDuration_ && gap >= kGapTolerance && gap <= kMaxHeldGap) {
      Diag(DiagLevel::kTrace, "video gap of %.3f s: the last picture is held", static_cast<double>(gap) / kUnits);
      for (int64_t t = nextVideoTime_; t + frameDuration_ / 2 < start; t += frameDuration_) {
        const HRESULT hr = DeliverPictureAt(heldPicture_, t, t + frameDuration_);
        if (FAILED(hr)) return hr;
      }
    }
  }
  const int64_t stop = start + frameDuration_;
  nextVideoTime_ = stop;
  if (holdPictures_) {
    if (!heldPicture_) heldPicture_ = av_frame_alloc();
    if (heldPicture_) {
      av_frame_unref(heldPicture_);
      if (av_frame_ref(heldPicture_, frame) < 0) av_frame_unref(heldPicture_);
    }
  }
  return DeliverPictureAt(frame, start, stop);
}

HRESULT CFFMDecoder::DeliverPictureAt(const AVFrame* frame, int64_t start, int64_t stop) {
  const int w = outWidth_ > 0 ? outWidth_ : frame->width;
  const int h = outHeight_ > 0 ? outHeight_ : frame->height;
  if (w <= 0 || h <= 0 || frame->width <= 0 || frame->height <= 0) return S_OK;
  const int64_t needed = rgbOutput_ ? int64_t(w) * h * 3 : int64_t(w) * h * 3 / 2;

  Ref<IMediaSample> out = NewOutputSample();
  if (!out) return E_FAIL;
  BYTE* dst = nullptr;
  out->GetPointer(&dst);
  if (!dst || out->GetSize() < needed) {
    Diag(DiagLevel::kWarning,
         "FFmpeg decoder: a picture of %lld bytes does not fit the output buffer of %ld; it is dropped",
         static_cast<long long>(needed), static_cast<long>(out->GetSize()));
    return S_OK;
  }
  const auto srcFormat = static_cast<AVPixelFormat>(frame->format);
  uint8_t* planes[4] = {};
  int strides[4] = {};
  bool flip = false;
  if (rgbOutput_) {
    flip = FlipsToBottomUp(frame->format) || context_.codec_id == AV_CODEC_ID_FLASHSV;
    planes[0] = flip ? dst + int64_t(w) * 3 * (h - 1) : dst;
    strides[0] = flip ? -w * 3 : w * 3;
  } else {
    const int64_t luma = int64_t(w) * h;
    planes[0] = dst;
    // I420: U then V; YV12: V then U.
    planes[yv12Output_ ? 2 : 1] = dst + luma;
    planes[yv12Output_ ? 1 : 2] = dst + luma + luma / 4;
    strides[0] = w;
    strides[1] = strides[2] = w / 2;
  }
  const bool sameSize = frame->width == w && frame->height == h;
  if (!rgbOutput_ && sameSize && (srcFormat == AV_PIX_FMT_YUV420P || srcFormat == AV_PIX_FMT_YUVJ420P)) {
    for (int p = 0; p < 3; ++p) {
      const int pw = p ? w / 2 : w, ph = p ? h / 2 : h;
      av_image_copy_plane(planes[p], strides[p], frame->data[p], frame->linesize[p], pw, ph);
    }
  } else {
    const AVPixelFormat dstFormat = rgbOutput_ ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_YUV420P;
    scaler_ = sws_getCachedContext(scaler_, frame->width, frame->height, srcFormat, w, h, dstFormat,
                                   rgbOutput_ ? SWS_FAST_BILINEAR : SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler_) {
      Diag(DiagLevel::kWarning, "FFmpeg decoder: cannot convert pictures of the pixel format %d; they are dropped",
           frame->format);
      return S_OK;
    }
    sws_scale(scaler_, frame->data, frame->linesize, 0, frame->height, planes, strides);
  }
  out->SetActualDataLength(static_cast<LONG>(needed));
  REFERENCE_TIME sampleStart = start;
  REFERENCE_TIME sampleStop = stop;
  out->SetTime(&sampleStart, &sampleStop);
  out->SetSyncPoint(1);
  out->SetPreroll(0);
  out->SetDiscontinuity(0);
  return Deliver(0, out.Detach());
}

HRESULT CFFMDecoder::ReceiveAudio(Ref<IMediaSample> sample) {
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timeResult = sample->GetTime(&start, &stop);
  const bool hasStart = SUCCEEDED(timeResult);
  if (resyncCounter_ && !hasStart && untimedAfterSeek_ < kUntimedAfterSeek) {
    // The first packets after a seek may come without a time (an encoder's
    // priming before 0): the counter is re-based on the first timed one.
    ++untimedAfterSeek_;
    return S_OK;
  }
  if (resyncCounter_) {
    untimedAfterSeek_ = 0;
    // Any 64-bit time: the product is taken in 128 bits.
    if (hasStart && sampleRate_ > 0)
      sampleCounter_ = static_cast<int64_t>(static_cast<__int128>(start) * sampleRate_ / kUnits);
    ConsoleLine("decode set sample to %.3f,hr=%d\n", static_cast<double>(start) / kUnits, static_cast<int>(timeResult));
    resyncCounter_ = 0;
    loggedFirstOutput_ = false;
    ConsoleLine("%d...\n", sampleRate_);
    ConsoleLine("decode 2 %.3f\n", static_cast<double>(CounterTime()) / kUnits);
  }
  if (fillGaps_ && hasStart && sampleRate_ > 0) {
    const int64_t expected = CounterTime();
    if (start - expected > kGapTolerance) {
      ConsoleLine(">0.1s,create slience\n");
      // Whole sample frames only, so the samples after the gap stay aligned.
      const int64_t frames = start * sampleRate_ / kUnits - sampleCounter_;
      const HRESULT hr = DeliverSilence(frames);
      if (FAILED(hr)) return hr;
    } else if (expected - start > kGapTolerance) {
      ConsoleLine("drop audio\n");
      return S_OK;
    }
  }
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const LONG length = std::min(sample->GetActualDataLength(), sample->GetSize());
  if (!data || length <= 0) return S_OK;
  ++packetsIn_;
  HRESULT hr = S_OK;
  if (core_) {
    coreSamples_.clear();
    const int err = core_->Decode(data, length, &coreSamples_);
    sample.Reset();
    if (err < 0) {
      DecodeError("corrupt audio packet skipped");
      return S_OK;
    }
    const int channels = core_->Channels();
    if (coreSamples_.empty() || channels <= 0) return S_OK;
    const uint8_t* planes[1] = {reinterpret_cast<const uint8_t*>(coreSamples_.data())};
    AVChannelLayout layout{};
    av_channel_layout_default(&layout, channels);
    converted_.clear();
    const int made = converter_.Convert(planes, static_cast<int32_t>(coreSamples_.size() / channels), AV_SAMPLE_FMT_S16,
                                        core_->SampleRate(), &layout, &converted_);
    av_channel_layout_uninit(&layout);
    if (made > 0) hr = DeliverPcm(converted_.data(), converted_.size());
    return hr;
  }
  if (!PacketFromSample(std::move(sample), data, length, hasStart, start)) return E_OUTOFMEMORY;
  hr = DecodePacket(packet_);
  av_packet_unref(packet_);
  return hr;
}

HRESULT CFFMDecoder::DeliverAudioFrame(const AVFrame* frame) {
  if (frame->nb_samples <= 0) return S_OK;
  converted_.clear();
  const int made =
      converter_.Convert(frame->extended_data, frame->nb_samples, static_cast<AVSampleFormat>(frame->format),
                         frame->sample_rate, &frame->ch_layout, &converted_);
  if (made < 0) {
    DecodeError("audio frame cannot be converted");
    return S_OK;
  }
  if (sampleRate_ <= 0) sampleRate_ = converter_.OutputRate();
  return made > 0 ? DeliverPcm(converted_.data(), converted_.size()) : S_OK;
}

HRESULT CFFMDecoder::DeliverPcm(const uint8_t* data, size_t bytes) {
  const size_t frameBytes = static_cast<size_t>(converter_.OutputFrameBytes());
  if (frameBytes == 0) return S_OK;
  bytes -= bytes % frameBytes;
  while (bytes > 0) {
    Ref<IMediaSample> out = NewOutputSample();
    if (!out) return E_FAIL;
    BYTE* dst = nullptr;
    out->GetPointer(&dst);
    const size_t room = dst ? static_cast<size_t>(std::max<LONG>(out->GetSize(), 0)) / frameBytes * frameBytes : 0;
    if (room == 0) {
      out.Reset();
      Diag(DiagLevel::kError, "FFmpeg decoder: the output buffer is smaller than one sample frame of %zu bytes",
           frameBytes);
      return E_FAIL;
    }
    const size_t take = std::min(room, bytes);
    if (data)
      std::memcpy(dst, data, take);
    else
      std::memset(dst, 0, take);
    REFERENCE_TIME start = CounterTime();
    sampleCounter_ += static_cast<int64_t>(take / frameBytes);
    REFERENCE_TIME stop = CounterTime();
    if (!loggedFirstOutput_) {
      ConsoleLine("%d...\n", sampleRate_);
      ConsoleLine("decode output sample to %.3f\n", static_cast<double>(start) / kUnits);
      loggedFirstOutput_ = true;
    }
    out->SetActualDataLength(static_cast<LONG>(take));
    out->SetTime(&start, &stop);
    out->SetSyncPoint(1);
    out->SetPreroll(0);
    out->SetDiscontinuity(0);
    const HRESULT hr = Deliver(0, out.Detach());
    if (FAILED(hr)) return hr;
    if (data) data += take;
    bytes -= take;
  }
  return S_OK;
}

HRESULT CFFMDecoder::DeliverSilence(int64_t frames) {
  const int64_t chunk = std::max<int64_t>(sampleRate_ / 4, 1);  // 0.25 s, whole frames
  const size_t frameBytes = static_cast<size_t>(converter_.OutputFrameBytes());
  while (frames > 0) {
    const int64_t n = std::min(frames, chunk);
    ConsoleLine("TM:%f.......\n", static_cast<double>(CounterTime()) / kUnits);
    const HRESULT hr = DeliverPcm(nullptr, static_cast<size_t>(n) * frameBytes);
    if (FAILED(hr)) return hr;
    frames -= n;
  }
  return S_OK;
}

HRESULT CFFMDecoder::EndOfStream() {
  HRESULT hr = S_OK;
  const char* kind = context_.codec_type == CODEC_TYPE_VIDEO ? "video" : "audio";
  if (decodeErrors_ > kLoggedDecodeErrors)
    Diag(DiagLevel::kWarning, "%d more decode errors in the %s stream", decodeErrors_ - kLoggedDecodeErrors, kind);
  // Each error costs a packet (or the frame it made): a stream that lost more than 5 % of its
  // packets is damaged, not converted.
  if (packetsIn_ > 0 && static_cast<int64_t>(decodeErrors_) * 20 > packetsIn_) {
    Diag(DiagLevel::kError, "decode errors dropped %d of the %lld packets of the %s stream", decodeErrors_,
         static_cast<long long>(packetsIn_), kind);
    ReportSourceReadFailure();
  }
  decodeErrors_ = 0;
  packetsIn_ = 0;
  if (codecContext_) {
    hr = DecodePacket(nullptr);  // drain what the codec holds
    avcodec_flush_buffers(codecContext_);
  }
  if (context_.codec_type == CODEC_TYPE_AUDIO && SUCCEEDED(hr)) {
    converted_.clear();
    if (converter_.Flush(&converted_) > 0) hr = DeliverPcm(converted_.data(), converted_.size());
  }
  while (!pendingTimes_.empty()) pendingTimes_.pop();
  Deliver(0, nullptr);
  return hr;
}
