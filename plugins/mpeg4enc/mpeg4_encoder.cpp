#include "plugins/mpeg4enc/mpeg4_encoder.h"

#include <algorithm>
#include <cstring>

#include "common/param_list.h"
#include "platform/diagnostics.h"
#include "platform/task_allocator.h"
#include "platform/unknown.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
}

namespace {

struct PictureFormat {
  int32_t width = 0;
  int32_t height = 0;
  int64_t frameDuration = 0;
  bool yv12 = false;
};

// Reads the size and rate of a planar 4:2:0 video type; false for anything else.
bool ReadPictureFormat(const AM_MEDIA_TYPE* mt, PictureFormat* out) {
  if (mt == nullptr || mt->majortype != MEDIATYPE_Video || mt->pbFormat == nullptr) return false;
  const bool yv12 = mt->subtype == MEDIASUBTYPE_YV12;
  if (!yv12 && mt->subtype != MEDIASUBTYPE_I420 && mt->subtype != MEDIASUBTYPE_IYUV) return false;
  BITMAPINFOHEADER bmi;
  int64_t frameTime = 0;
  if (mt->formattype == FORMAT_VideoInfo && mt->cbFormat >= sizeof(VIDEOINFOHEADER)) {
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, mt->pbFormat, sizeof(vih));
    bmi = vih.bmiHeader;
    frameTime = vih.AvgTimePerFrame;
  } else if (mt->formattype == FORMAT_VideoInfo2 && mt->cbFormat >= sizeof(VIDEOINFOHEADER2)) {
    VIDEOINFOHEADER2 vih;
    std::memcpy(&vih, mt->pbFormat, sizeof(vih));
    bmi = vih.bmiHeader;
    frameTime = vih.AvgTimePerFrame;
  } else {
    return false;
  }
  const int32_t w = bmi.biWidth, h = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
  // The encoder works on whole macroblock pairs of chroma: even sizes only.
  if (w <= 0 || h <= 0 || (w & 1) || (h & 1) || w > 8192 || h > 8192) return false;
  out->width = w;
  out->height = h;
  out->frameDuration = frameTime > 0 ? frameTime : 400000;
  out->yv12 = yv12;
  return true;
}

// Frame duration in 100 ns as a time base, snapped to the usual rates.
AVRational TimeBaseOf(int64_t frameDuration) {
  static const AVRational kRates[] = {{1001, 24000}, {1, 24}, {1, 25}, {1001, 30000}, {1, 30},
                                      {1001, 60000}, {1, 50}, {1, 60}, {1, 15},       {1, 10}};
  for (const AVRational& r : kRates) {
    if (std::llabs(av_rescale(r.num, 10000000, r.den) - frameDuration) < 10) return r;
  }
  AVRational r;
  av_reduce(&r.num, &r.den, frameDuration, 10000000, 1 << 30);
  return r;
}

}  // namespace

IMediaModule* CMpeg4Encoder::Create(CParamList* params) { return CreateOpenedModule<CMpeg4Encoder>(params); }

CMpeg4Encoder::CMpeg4Encoder() = default;

CMpeg4Encoder::~CMpeg4Encoder() { Close(); }

HRESULT CMpeg4Encoder::Open(CParamList*) {
  Close();
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (codec == nullptr) return E_FAIL;
  codec_ = avcodec_alloc_context3(codec);
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr) return E_OUTOFMEMORY;
  opened_ = false;
  ended_ = false;
  nextPts_ = 0;
  return S_OK;
}

HRESULT CMpeg4Encoder::Close() {
  avcodec_free_context(&codec_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
  inputTypes_.FreeAll();
  opened_ = false;
  return S_OK;
}

HRESULT CMpeg4Encoder::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }

HRESULT CMpeg4Encoder::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (pin != 0) return E_FAIL;
  if (testOnly != 0 && testOnly != 1) {
    inputTypes_.Set(0, 0, nullptr);
    return S_OK;
  }
  PictureFormat f;
  if (!ReadPictureFormat(type, &f)) return E_FAIL;
  if (testOnly == 1) return S_OK;
  if (opened_) return E_FAIL;  // the size is fixed once the codec runs
  width_ = f.width;
  height_ = f.height;
  frameDuration_ = f.frameDuration;
  swapChroma_ = f.yv12;
  return inputTypes_.Set(0, 1, type);
}

HRESULT CMpeg4Encoder::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin != 0 || type == nullptr) return E_FAIL;
  if (index != 0) return MODULE_E_NO_TYPE;
  return inputTypes_.Get(0, type);
}

HRESULT CMpeg4Encoder::SetParams(CParamList* params) {
  if (opened_) return S_OK;
  if (codec_ == nullptr || width_ == 0) return E_UNEXPECTED;  // closed, or no input type yet
  CParamList empty;
  CParamList* p = params ? params : &empty;
  codec_->width = width_;
  codec_->height = height_;
  codec_->pix_fmt = AV_PIX_FMT_YUV420P;
  codec_->time_base = TimeBaseOf(frameDuration_);
  codec_->framerate = av_inv_q(codec_->time_base);
  codec_->thread_count = 0;
  int64_t rate = p->GetInt("BITRATE", 0);
  rate = p->GetInt("RATE", static_cast<int32_t>(rate));
  if (rate > 0) codec_->bit_rate = rate;
  if (int32_t v = p->GetInt("MAX_RATE", 0); v > 0) codec_->rc_max_rate = v;
  if (int32_t v = p->GetInt("MIN_RATE", 0); v > 0) codec_->rc_min_rate = v;
  if (int32_t v = p->GetInt("BUFFER_SIZE", 0); v > 0) codec_->rc_buffer_size = v;
  if (int32_t gop = p->GetInt("GOP", 0); gop > 0) {
    // Fixed GOPs: closed, strict, no extra key frames at scene changes.
    codec_->gop_size = gop;
    codec_->flags |= AV_CODEC_FLAG_CLOSED_GOP;
    av_opt_set_int(codec_, "sc_threshold", 1000000000, AV_OPT_SEARCH_CHILDREN);
    av_opt_set(codec_, "mpv_flags", "+strict_gop", AV_OPT_SEARCH_CHILDREN);
  } else {
    codec_->gop_size = 250;
  }
  codec_->max_b_frames = std::clamp(p->GetInt("MAXBFRAME", 0), 0, 4);
  const int32_t parNum = p->GetInt("PARNUM", 1), parDen = p->GetInt("PARDEN", 1);
  codec_->sample_aspect_ratio = parNum > 0 && parDen > 0 ? AVRational{parNum, parDen} : AVRational{1, 1};
  codec_->codec_tag = kMpeg4OutputFourcc;
  if (avcodec_open2(codec_, codec_->codec, nullptr) < 0) {
    Diag(DiagLevel::kError, "MPEG-4 encoder: cannot open the encoder for %dx%d pictures", width_, height_);
    return E_FAIL;
  }
  bitRate_ = codec_->bit_rate;
  frame_->format = AV_PIX_FMT_YUV420P;
  frame_->width = width_;
  frame_->height = height_;
  opened_ = true;
  return S_OK;
}

HRESULT CMpeg4Encoder::Run() { return S_OK; }

HRESULT CMpeg4Encoder::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CMpeg4Encoder::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin != 0 || type == nullptr) return E_FAIL;
  if (index != 0) return MODULE_E_NO_TYPE;
  if (width_ == 0) return E_FAIL;
  const int32_t extra = codec_ != nullptr && opened_ ? codec_->extradata_size : 0;
  ClearMediaTypeFormat(type);
  if (!AllocMediaTypeFormat(type, static_cast<ULONG>(sizeof(VIDEOINFOHEADER) + extra))) return E_OUTOFMEMORY;
  VIDEOINFOHEADER vih{};
  vih.dwBitRate = static_cast<DWORD>(bitRate_);
  vih.AvgTimePerFrame = frameDuration_;
  vih.bmiHeader.biSize = static_cast<DWORD>(sizeof(BITMAPINFOHEADER) + extra);
  vih.bmiHeader.biWidth = width_;
  vih.bmiHeader.biHeight = height_;
  vih.bmiHeader.biPlanes = 1;
  vih.bmiHeader.biBitCount = 24;
  vih.bmiHeader.biCompression = kMpeg4OutputFourcc;
  vih.bmiHeader.biSizeImage = static_cast<DWORD>(width_ * height_ * 3 / 2);
  std::memcpy(type->pbFormat, &vih, sizeof(vih));
  if (extra > 0) std::memcpy(type->pbFormat + sizeof(vih), codec_->extradata, extra);
  type->majortype = MEDIATYPE_Video;
  type->subtype = FourccGuid(kMpeg4OutputFourcc);
  type->formattype = FORMAT_VideoInfo;
  type->bFixedSizeSamples = 0;
  type->bTemporalCompression = 1;
  type->lSampleSize = 0;
  return S_OK;
}

HRESULT CMpeg4Encoder::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || props == nullptr || inputTypes_.types[0] == nullptr) return E_FAIL;
  return OneBufferRequirements(props, inputTypes_.GetSampleSize(0));
}

HRESULT CMpeg4Encoder::DeliverPacket(const AVPacket* packet) {
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> out;
  if (allocator == nullptr || allocator->GetBuffer(out.Out(), nullptr, nullptr, 0) != S_OK || !out) {
    Diag(DiagLevel::kWarning, "MPEG-4 encoder: no output buffer: a coded picture is dropped");
    return S_OK;
  }
  BYTE* buffer = nullptr;
  out->GetPointer(&buffer);
  if (buffer == nullptr || out->GetSize() < packet->size) {
    Diag(DiagLevel::kWarning,
         "MPEG-4 encoder: a coded picture of %d bytes does not fit the output buffer; it is dropped", packet->size);
    return S_OK;
  }
  std::memcpy(buffer, packet->data, packet->size);
  out->SetActualDataLength(packet->size);
  REFERENCE_TIME start = packet->pts * frameDuration_;
  REFERENCE_TIME stop = start + frameDuration_;
  out->SetTime(&start, &stop);
  LONGLONG decode = (packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts) * frameDuration_;
  LONGLONG decodeEnd = decode + frameDuration_;
  out->SetMediaTime(&decode, &decodeEnd);
  out->SetSyncPoint((packet->flags & AV_PKT_FLAG_KEY) != 0);
  return Deliver(0, out.Detach());
}

HRESULT CMpeg4Encoder::Encode(AVFrame* frame) {
  if (avcodec_send_frame(codec_, frame) < 0) return S_OK;
  while (avcodec_receive_packet(codec_, packet_) == 0) {
    DeliverPacket(packet_);
    av_packet_unref(packet_);
  }
  return S_OK;
}

HRESULT CMpeg4Encoder::Receive(uint32_t pin, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (pin != 0) return E_FAIL;
  if (!sample) {
    // End of stream: the pictures held for B-frames come out first.
    if (opened_ && !ended_) Encode(nullptr);
    ended_ = true;
    return Deliver(0, nullptr);
  }
  if (!opened_ || ended_) return S_OK;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const int64_t need = static_cast<int64_t>(width_) * height_ * 3 / 2;
  if (data == nullptr || sample->GetActualDataLength() < need) return S_OK;
  const int32_t ySize = width_ * height_, cSize = ySize / 4;
  frame_->data[0] = data;
  frame_->data[1] = data + ySize + (swapChroma_ ? cSize : 0);
  frame_->data[2] = data + ySize + (swapChroma_ ? 0 : cSize);
  frame_->linesize[0] = width_;
  frame_->linesize[1] = width_ / 2;
  frame_->linesize[2] = width_ / 2;
  REFERENCE_TIME start = 0, stop = 0;
  int64_t pts = nextPts_;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) {
    pts = (start + frameDuration_ / 2) / frameDuration_;
    if (pts < nextPts_) pts = nextPts_;  // the encoder needs rising stamps
  }
  nextPts_ = pts + 1;
  frame_->pts = pts;
  frame_->pict_type = AV_PICTURE_TYPE_NONE;
  Encode(frame_);
  frame_->data[0] = frame_->data[1] = frame_->data[2] = nullptr;
  return S_OK;
}
