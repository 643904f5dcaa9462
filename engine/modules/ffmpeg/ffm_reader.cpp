#include "engine/modules/ffmpeg/ffm_reader.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

extern "C" {
#include <libavcodec/codec_id.h>
}

#include "engine/graph/packet_queue.h"
#include "engine/graph/source_failure.h"
#include "engine/graph/stream_pump.h"
#include "engine/modules/ffmpeg/ffm_source_checks.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/diagnostics.h"
#include "platform/result_channel.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/subtitle_types.h"

namespace {

std::atomic<int32_t> g_seekDone{0};

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int32_t kReadyPackets = 10;
constexpr int64_t kReadyBytes = 102400;
constexpr int64_t kTotalPackets = 10000;
constexpr int64_t kTotalBytes = 8294400;
constexpr int64_t kCapBytes = 829440000;
constexpr int32_t kLowPackets = 3;
constexpr int kSeekWaitSteps = 300;
// Longest wait, in ms, for a subtitle's pump to deliver it.
constexpr int kDeliveryWaitSteps = 500;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Container formats whose video time base is the reciprocal of the frame rate.
bool FrameRateFormat(const std::string& format) {
  return format == "avi" || format == "mpeg" || format == "mpegts" || format == "mpegvideo" || format == "h264" ||
         StartsWith(format, "mov");
}

bool IsMpegVideo(int32_t id) { return id == AV_CODEC_ID_MPEG1VIDEO || id == AV_CODEC_ID_MPEG2VIDEO; }

bool FrameRateCodec(int32_t id) {
  return id == AV_CODEC_ID_FLV1 || id == AV_CODEC_ID_VP6 || id == AV_CODEC_ID_VP6F || id == AV_CODEC_ID_VP6A;
}

// True when the streams are audio that FFmpeg could not describe (no sample
// rate or no channels) and nothing else a pin would carry.
bool OnlyUndescribedAudio(const std::vector<FFStreamDesc>& streams) {
  bool undescribed = false;
  for (const FFStreamDesc& s : streams) {
    const CodecContext& c = s.codec;
    if (c.codec_type == CODEC_TYPE_VIDEO || c.codec_type == CODEC_TYPE_SUBTITLE) return false;
    if (c.codec_type != CODEC_TYPE_AUDIO) continue;
    if (c.sample_rate > 0 && c.channels > 0) return false;
    undescribed = true;
  }
  return undescribed;
}

// Text subtitles: the subtitle type with the codec's header (an SSA/ASS
// script header) behind a SubtitleFormatHeader; plain text as text.
bool TextSubtitleType(const CodecContext& ctx, AM_MEDIA_TYPE* type) {
  GUID major = kSubtitleMajorType, subtype;
  switch (ctx.codec_id) {
    case AV_CODEC_ID_SUBRIP:
    case AV_CODEC_ID_SRT:
    case AV_CODEC_ID_MOV_TEXT:  // its samples are cut to their text (TextSampleBytes)
      subtype = kSubtitleUtf8;
      break;
    case AV_CODEC_ID_ASS:
      subtype = kSubtitleAss;
      break;
    case AV_CODEC_ID_SSA:
      subtype = kSubtitleSsa;
      break;
    case AV_CODEC_ID_TEXT:
      major = MEDIATYPE_Text;
      subtype = MEDIATYPE_Text;
      break;
    default:
      return false;
  }
  // The timed-text sample description is no script header.
  const uint32_t header = ctx.codec_id == AV_CODEC_ID_MOV_TEXT ? 0 : static_cast<uint32_t>(ctx.extradata.size());
  if (!AllocMediaTypeFormat(type, static_cast<ULONG>(sizeof(SubtitleFormatHeader) + header))) return false;
  SubtitleFormatHeader head{};
  head.headerOffset = sizeof head;
  head.headerLength = header;
  std::memcpy(type->pbFormat, &head, sizeof head);
  if (header) std::memcpy(type->pbFormat + sizeof head, ctx.extradata.data(), header);
  type->majortype = major;
  type->subtype = subtype;
  type->formattype = kSubtitleFormatType;
  return true;
}

// The bytes a subtitle sample carries: a timed-text (tx3g) sample's text
// without its length field and style boxes; every other packet as it is.
void TextSampleBytes(int32_t codecId, const uint8_t** data, int32_t* size) {
  if (codecId != AV_CODEC_ID_MOV_TEXT) return;
  if (*size < 2) {
    *size = 0;
    return;
  }
  const int32_t length = (*data)[0] << 8 | (*data)[1];
  *data += 2;
  *size = length < *size - 2 ? length : *size - 2;
}

void LowerThreadPriority() { setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5); }

}  // namespace

void SignalReaderSeekDone() { g_seekDone.store(1); }
bool ReaderSeekDone() { return g_seekDone.load() != 0; }

IMediaModule* CFFMReader::Create(CParamList* params) {
  auto* reader = new (std::nothrow) CFFMReader();
  if (reader) reader->Open(params);
  return reader;
}

IMediaModule* CreateFFmpegReader(CParamList* params, FFReaderVariant variant) {
  IMediaModule* module = CFFMReader::Create(params);
  if (module != nullptr) static_cast<CFFMReader*>(module)->SetVariant(variant);
  return module;
}

CFFMReader::CFFMReader() {
  for (uint32_t i = 0; i < kMaxOutputPins; ++i) {
    sinks_[i] = OutputSink{this, i};
    outputToStream_[i] = -1;
  }
}

CFFMReader::~CFFMReader() { StopReading(); }

void CFFMReader::StopReading() {
  closing_.store(1);
  stopRequest_.store(1);
  if (thread_.joinable()) thread_.join();
  PushEndOfStream();
  WaitForPumps();
  ClearHeld();
  demuxer_.Close();
}

HRESULT CFFMReader::SetParams(CParamList*) { return S_OK; }

HRESULT CFFMReader::Open(CParamList*) {
  threadRunning_.store(false);
  return S_OK;
}

int CFFMReader::OpenInput(const char* path) { return demuxer_.Open(path); }

int CFFMReader::ReopenInput() {
  demuxer_.Close();
  int err = OpenInput(path_.c_str());
  if (err < 0) return err;
  return demuxer_.FindStreamInfo();
}

void CFFMReader::ResetStreamState() {
  for (uint32_t i = 0; i < kMaxOutputPins; ++i) {
    started_[i] = ended_[i] = 0;
    pump_[i] = nullptr;
    outputEnabled_[i] = 0;
    outputToStream_[i] = -1;
    synthTimes_[i] = frameCounter_[i] = 0;
  }
  streamToOutput_.assign(static_cast<size_t>(demuxer_.StreamCount()), kUnmapped);
  inputEnd_ = InputEnd::kNone;
  deliveredEnd_ = kNoTimestamp;
  pastEndRequest_.store(0);
  rangeEndTaken_ = false;
  ClearHeld();
}

HRESULT CFFMReader::OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) {
  if (!path) return FFM_E_CANNOT_OPEN;
  if (threadRunning_.load()) return E_FAIL;
  if (thread_.joinable()) thread_.join();
  demuxer_.Close();
  streams_.clear();
  outputCount_ = 0;
  path_ = path;

  if (!IsProtocolUrl(path)) {
    struct stat st {};
    std::string file = FilePathOfUrl(path);
    if (stat(file.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
      Diag(DiagLevel::kWarning, "cannot open \"%s\": it is not a file", file.c_str());
      return FFM_E_CANNOT_OPEN;
    }
  }
  if (OpenInput(path) < 0) return FFM_E_CANNOT_OPEN;
  if (demuxer_.FindStreamInfo() < 0) {
    demuxer_.Close();
    return FFM_E_NO_STREAMS;
  }
  const int count = demuxer_.StreamCount();
  streams_.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    demuxer_.GetStream(i, &streams_[static_cast<size_t>(i)]);
    ConsoleLine("%d %d\n", streams_[static_cast<size_t>(i)].codec.codec_type,
                streams_[static_cast<size_t>(i)].codec.codec_id);
  }
  for (const FFStreamDesc& s : streams_) {
    if (!RawPictureBeyondBound(s.codec)) continue;
    Diag(DiagLevel::kError,
         "the source \"%s\" declares uncompressed pictures of %dx%d, beyond the %dx%d or %lld pixels read", path,
         s.codec.width, s.codec.height, kMaxRawSide, kMaxRawSide, static_cast<long long>(kMaxRawPixels));
    demuxer_.Close();
    streams_.clear();
    return E_SOURCE_READ_FAILED;
  }
  if (OnlyUndescribedAudio(streams_)) {
    // A file that merely resembles a format: FFmpeg found no rate or channels.
    Diag(DiagLevel::kWarning, "cannot read \"%s\": none of its streams could be described", path);
    demuxer_.Close();
    streams_.clear();
    return FFM_E_NO_STREAMS;
  }

  ResetStreamState();
  startTime_ = static_cast<int64_t>(startSeconds) * kUnitsPerSecond;
  if (endSeconds != 0) {
    endTime_ = static_cast<int64_t>(endSeconds) * kUnitsPerSecond;
    hasEndTime_ = 1;
  } else {
    endTime_ = kDefaultEndTime;
    hasEndTime_ = 0;
  }

  timeOffset_ = 0;
  const int64_t containerStart = demuxer_.StartTimeMicroseconds();
  if (containerStart != kNoTimestamp && containerStart > 0) {
    for (const FFStreamDesc& s : streams_) {
      if (s.codec.codec_type == CODEC_TYPE_AUDIO && s.startTime != kNoTimestamp) {
        timeOffset_ = ToUnits(s.startTime, s.timeBase);
        break;
      }
    }
    if (timeOffset_ == 0 && !streams_.empty() && streams_[0].startTime != kNoTimestamp)
      timeOffset_ = ToUnits(streams_[0].startTime, streams_[0].timeBase);
  }

  MapStreams();

  if (variant_ != FFReaderVariant::kFlac && startSeconds > 3) {
    const int64_t target = (static_cast<int64_t>(startSeconds) - 3) * 1000000 + timeOffset_ / 10;
    demuxer_.SeekBackward(target);
  }
  return S_OK;
}

void CFFMReader::MapStreams() {
  const std::string format = demuxer_.FormatName();
  outputCount_ = 0;
  for (FFStreamDesc& s : streams_) {
    const int32_t type = s.codec.codec_type;
    if (type != CODEC_TYPE_VIDEO && type != CODEC_TYPE_AUDIO && type != CODEC_TYPE_SUBTITLE) continue;
    if (outputCount_ >= static_cast<int32_t>(kMaxOutputPins)) {
      Diag(DiagLevel::kWarning, "the stream %d of the source is left out: at most %u streams are read", s.index,
           kMaxOutputPins);
      continue;
    }
    streamToOutput_[static_cast<size_t>(s.index)] = outputCount_;
    outputToStream_[outputCount_] = s.index;
    ++outputCount_;
    if (type == CODEC_TYPE_VIDEO) {
      // The codec's time base is one frame; FFmpeg no longer keeps one in the
      // stream's parameters, so every video stream takes it from the frame rate.
      if (s.frameRate.num > 0) {
        s.codec.time_base = FFRational{s.frameRate.den, s.frameRate.num};
      } else if (FrameRateFormat(format) || FrameRateCodec(s.codec.codec_id) || s.codec.time_base.num == 0) {
        s.codec.time_base = s.timeBase;
      }
    }
  }
}

int32_t CFFMReader::OutputStream(uint32_t pin) const {
  return pin < kMaxOutputPins && static_cast<int32_t>(pin) < outputCount_ ? outputToStream_[pin] : -1;
}

int64_t CFFMReader::ToUnits(int64_t ts, FFRational tb) const {
  if (tb.den == 0) return 0;
  return static_cast<int64_t>(static_cast<__int128>(ts) * tb.num * kUnitsPerSecond / tb.den);
}

HRESULT CFFMReader::SetOutputType(uint32_t pin, const AM_MEDIA_TYPE*, int32_t mode) {
  if (pin >= kMaxOutputPins || static_cast<int32_t>(pin) >= outputCount_) return E_INVALIDARG;
  if (mode == 0) {
    outputEnabled_[pin] = 1;
  } else if (mode != 1) {
    outputEnabled_[pin] = 0;
  }
  return S_OK;
}

HRESULT CFFMReader::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  const int32_t stream = OutputStream(pin);
  if (stream < 0) return E_INVALIDARG;
  if (!type) return E_POINTER;
  if (index != 0) return MODULE_E_NO_TYPE;
  return OutputTypeOf(streams_[static_cast<size_t>(stream)].codec, type);
}

HRESULT CFFMReader::OutputTypeOf(const CodecContext& codec, AM_MEDIA_TYPE* type) {
  CodecContext ctx = codec;
  if (TextSubtitleType(ctx, type)) return S_OK;
  if (ctx.codec_id == AV_CODEC_ID_DVD_SUBTITLE) {
    type->majortype = MEDIATYPE_Subtitle;
    type->subtype = MEDIASUBTYPE_DVD_SUBPICTURE;
    if (!AllocMediaTypeFormat(type, 4)) return E_OUTOFMEMORY;
    std::memset(type->pbFormat, 0, 4);
    type->formattype = FORMAT_SubpictureInfo;
    return S_OK;
  }
  return CodecContextToMediaType(&ctx, type) ? S_OK : MODULE_E_NO_TYPE;
}

HRESULT CFFMReader::GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES*) { return E_FAIL; }

HRESULT CFFMReader::SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) {
  if (pin >= kMaxOutputPins) return CReaderModule::SetOutputCallback(pin, callback, context);
  downstream_[pin] = callback;
  downstreamContext_[pin] = context;
  return CReaderModule::SetOutputCallback(pin, DeliverThunk, &sinks_[pin]);
}

HRESULT CFFMReader::DeliverThunk(IMediaSample* sample, void* context) {
  auto* sink = static_cast<OutputSink*>(context);
  CFFMReader* self = sink->reader;
  DeliverCallback next = self->downstream_[sink->pin];
  HRESULT hr = S_OK;
  if (next) {
    hr = next(sample, self->downstreamContext_[sink->pin]);
  } else if (sample && !IsBlankSample(sample)) {
    Ref<IMediaSample> unclaimed(sample);  // no one downstream: released here
  }
  if (sample) self->delivered_[sink->pin].fetch_add(1);
  if (!sample) self->livePumps_.fetch_sub(1);  // the pump's last call
  return hr;
}

HRESULT CFFMReader::GetInfo(int64_t* duration, CParamList*) {
  if (duration) {
    const int64_t us = demuxer_.DurationMicroseconds();
    *duration = us == kNoTimestamp ? 0 : us * 10;
  }
  return S_OK;
}

HRESULT CFFMReader::GetStreamInfo(uint32_t index, StreamInfo* info) {
  const int32_t stream = OutputStream(index);
  if (stream < 0) return E_INVALIDARG;
  if (!info) return E_POINTER;
  const FFStreamDesc& s = streams_[static_cast<size_t>(stream)];
  *info = StreamInfo{};
  info->valid = 1;
  info->timeBaseNum = s.timeBase.num;
  info->timeBaseDen = s.timeBase.den;
  if (s.codec.sample_aspect_ratio.num > 0 && s.codec.sample_aspect_ratio.den > 0) {
    info->hasAspect = 1;
    info->aspectNum = s.codec.sample_aspect_ratio.num;
    info->aspectDen = s.codec.sample_aspect_ratio.den;
  }
  if (demuxer_.FormatName() == "mpeg") info->streamId = s.id < 255 ? s.id : 0;
  return S_OK;
}

HRESULT CFFMReader::Seek(uint32_t timeLow, int32_t timeHigh, int32_t flags) {
  int64_t target = static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(timeHigh)) << 32 | timeLow);
  if (target < 0) target = 0;
  int64_t duration = 0;
  GetInfo(&duration, nullptr);
  if (duration > 0 && target >= duration) {
    Diag(DiagLevel::kTrace, "seek to %.3f s: past the end (%.3f s)", static_cast<double>(target) / kUnitsPerSecond,
         static_cast<double>(duration) / kUnitsPerSecond);
    pastEndRequest_.store(1);
    return S_OK;
  }
  if (target > kDefaultEndTime) target = kDefaultEndTime;  // no known end: still far from any overflow
  seekTarget_.store(target);
  seekFlags_.store(flags);
  seekRequest_.store(1);
  return S_OK;
}

HRESULT CFFMReader::Run() {
  if (threadRunning_.load() || !demuxer_.IsOpen()) return S_OK;
  if (thread_.joinable()) thread_.join();
  stopRequest_.store(0);
  ClearHeld();
  for (int32_t i = 0; i < outputCount_; ++i) {
    pump_[i] = nullptr;
    pushed_[i] = 0;
    delivered_[i].store(0);
    synthTimes_[i] = 0;
    frameCounter_[i] = 0;
    if (!outputEnabled_[i]) continue;
    const int32_t stream = outputToStream_[i];
    const int32_t type = stream >= 0 ? streams_[static_cast<size_t>(stream)].codec.codec_type : CODEC_TYPE_SUBTITLE;
    countsForReadiness_[i] = type != CODEC_TYPE_SUBTITLE;
    rawGuard_[i] = CRawPictureGuard();
    if (stream >= 0) rawGuard_[i].Reset(streams_[static_cast<size_t>(stream)]);
    CReaderModule::SetOutputCallback(static_cast<uint32_t>(i), DeliverThunk, &sinks_[i]);
    auto* pump = new (std::nothrow) CStreamPump();
    if (!pump) continue;
    livePumps_.fetch_add(1);
    if (pump->Start(this, static_cast<uint32_t>(i), OutputAllocator(static_cast<uint32_t>(i))) != S_OK) {
      livePumps_.fetch_sub(1);
      delete pump;
      continue;
    }
    pump_[i] = pump;
  }
  threadRunning_.store(true);
  try {
    thread_ = std::thread(&CFFMReader::ThreadMain, this);
  } catch (...) {
    threadRunning_.store(false);
    PushEndOfStream();
  }
  return S_OK;
}

HRESULT CFFMReader::Stop() {
  stopRequest_.store(1);
  return S_OK;
}

HRESULT CFFMReader::Pause(int32_t pause) {
  pauseRequest_.store(pause);
  return S_OK;
}

MediaPacket* CFFMReader::ReadPacket(int32_t* outputIndex) {
  for (;;) {
    if (stopRequest_.load()) {
      inputEnd_ = InputEnd::kStopped;
      return nullptr;
    }
    if (pastEndRequest_.load()) {
      inputEnd_ = InputEnd::kPastEnd;
      return nullptr;
    }
    while (pauseRequest_.load() && !stopRequest_.load() && !seekRequest_.load()) SleepMs(500);
    if (!ready_.empty()) return TakeReady(outputIndex);
    Demuxed d;
    if (!held_.empty() && !held_.front().waitsForTime) {
      d = held_.front();
      held_.pop_front();
    } else if (!Demux(&d)) {
      if (held_.empty()) return nullptr;
      // The input ended: the pictures still waiting take their times from what came before.
      for (Demuxed& h : held_)
        if (h.waitsForTime) GiveFallbackTime(h, true);
      continue;
    } else {
      if (d.reference) ResolveWaiting(d);
      if (d.waitsForTime || !held_.empty()) {
        held_.push_back(d);
        // Bounded look-ahead: a picture whose next reference picture does not come takes a guess.
        if (held_.size() > kMaxHeldPackets && held_.front().waitsForTime) GiveFallbackTime(held_.front(), false);
        continue;
      }
    }
    bool allEnded = false;
    MediaPacket* packet = Admit(d, outputIndex, &allEnded);
    if (packet) return packet;
    if (allEnded) {
      inputEnd_ = InputEnd::kEndTime;
      return nullptr;
    }
  }
}

bool CFFMReader::Demux(Demuxed* d) {
  if (inputEnd_ == InputEnd::kFailed) return false;
  for (;;) {
    if (stopRequest_.load()) {
      inputEnd_ = InputEnd::kStopped;
      return false;
    }
    if (demuxer_.ReadPacket(&packet_) < 0) {
      inputEnd_ = InputEnd::kInput;
      return false;
    }
    const int stream = packet_.streamIndex();
    if (stream < 0) continue;
    if (static_cast<size_t>(stream) >= streamToOutput_.size() &&
        (!BindLateStream(stream) || static_cast<size_t>(stream) >= streamToOutput_.size()))
      continue;
    const int32_t out = streamToOutput_[static_cast<size_t>(stream)];
    if (out == kUnmapped || !outputEnabled_[out]) continue;
    const FFStreamDesc& s = streams_[static_cast<size_t>(stream)];
    const CRawPictureGuard::Verdict verdict = rawGuard_[out].Check(packet_.size(), path_);
    if (verdict != CRawPictureGuard::Verdict::kPass) {
      packet_.Unref();
      if (verdict == CRawPictureGuard::Verdict::kRefuse) continue;
      ReportSourceReadFailure();
      inputEnd_ = InputEnd::kFailed;
      return false;
    }

    const int64_t dts = packet_.dts();
    const int64_t pts = packet_.pts();
    int64_t offset = timeOffset_;
    if (continuityMode_ && dts != kNoTimestamp) {
      offset = ContinuityOffset(out, ToUnits(dts, s.timeBase));
      lastDuration_[out] = ToUnits(packet_.duration(), s.timeBase);
    }

    Demuxed r;
    r.out = out;
    r.codecType = s.codec.codec_type;
    r.key = packet_.keyFrame();
    // Demuxers of this FFmpeg leave the decode time unset on some packets
    // that have a presentation time (Matroska's first frames): still timed.
    if (dts != kNoTimestamp || pts != kNoTimestamp) {
      r.time = ToUnits(pts != kNoTimestamp ? pts : dts, s.timeBase) - offset;
      r.timed = true;
    }
    if (dts != kNoTimestamp) {
      r.decode = ToUnits(dts, s.timeBase) - offset;
      r.hasDecode = true;
    }
    if (!started_[0] && !r.timed && out == 0) {
      if (variant_ == FFReaderVariant::kFlac) started_[0] = 1;
      if (variant_ == FFReaderVariant::kRawH264) synthTimes_[0] = 1;
    }
    if (synthTimes_[out]) {
      r.time = ToUnits(frameCounter_[out], s.codec.time_base) - offset;
      r.decode = r.time;
      ++frameCounter_[out];
      r.timed = r.hasDecode = true;
    } else if (r.hasDecode && IsMpegVideo(s.codec.codec_id)) {
      // An MPEG picture that begins in a packet holding another one has no presentation time of its
      // own. B pictures are shown as they are decoded (the demuxer gives them pts = dts); a reference
      // picture is shown when the next reference picture is decoded.
      r.reference = pts == kNoTimestamp || pts != dts;
      r.waitsForTime = pts == kNoTimestamp;
      if (pts != kNoTimestamp && pts > dts) lastReferenceDelay_[out] = r.time - r.decode;
      if (lastDecode_[out] == kNoTimestamp || r.decode > lastDecode_[out]) lastDecode_[out] = r.decode;
    }
    r.duration = ToUnits(packet_.duration(), s.timeBase);
    if (r.duration <= 0 && s.codec.codec_type == CODEC_TYPE_VIDEO) r.duration = ToUnits(1, s.codec.time_base);
    r.inputOffset = offset;
    const uint8_t* bytes = packet_.data();
    int32_t size = packet_.size();
    TextSampleBytes(s.codec.codec_id, &bytes, &size);
    r.packet = NewPacket(0, bytes, size);
    packet_.Unref();
    if (!r.packet) continue;  // out of memory: the packet is lost, reading goes on
    *d = r;
    return true;
  }
}

int64_t CFFMReader::ContinuityOffset(int32_t out, int64_t t) {
  const int64_t position = packet_.position();
  // Where the stream's next packet belongs on the time line, when it has had one.
  const bool known = lastDecodeOnLine_[out] != kNoTimestamp;
  const int64_t expected = known ? lastDecodeOnLine_[out] + lastDuration_[out] : 0;
  const auto distance = [&](int64_t offset) {
    const int64_t d = t - offset - expected;
    return d < 0 ? -d : d;
  };
  int64_t shift = 0;
  int64_t pendingPosition = 0;
  if (!haveLastTime_) {
    int64_t origin = 0;
    timeOffset_ = OriginClock(&origin) ? origin : t;
    offsetBeforeJump_ = timeOffset_;
    haveLastTime_ = 1;
    lastTime_ = t;
  } else if (StampJumpBefore(position, &shift) ||
             // A parser's frame carries the position of the data before it: a packet already on the
             // clock after the input's next jump takes that jump.
             (known && distance(timeOffset_) > kUnitsPerSecond && PendingStampJump(&pendingPosition, &shift) &&
              distance(timeOffset_ + shift) <= kUnitsPerSecond && StampJumpBefore(pendingPosition, &shift))) {
    offsetBeforeJump_ = timeOffset_;
    timeOffset_ += shift;
    jumpPosition_ = std::max(position, pendingPosition);
    lastTime_ = t;
  } else if (position >= 0 && position >= jumpPosition_) {
    if (t - lastTime_ > kUnitsPerSecond || lastTime_ - t > kUnitsPerSecond) {
      offsetBeforeJump_ = timeOffset_;
      timeOffset_ += t - lastTime_ - 400000;
      jumpPosition_ = position;
    }
    lastTime_ = t;
  }
  // Packets near a jump may still run on the clock before it (a parser's frame carries the position
  // of the data it began in): each takes the offset that puts it nearer its stream's last packet.
  int64_t offset = timeOffset_;
  if (known && distance(offsetBeforeJump_) < distance(timeOffset_)) offset = offsetBeforeJump_;
  lastDecodeOnLine_[out] = t - offset;
  return offset;
}

void CFFMReader::ResolveWaiting(const Demuxed& reference) {
  for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
    if (it->out != reference.out || !it->waitsForTime) continue;
    if (reference.decode > it->decode) {
      it->time = reference.decode;
      it->timed = true;
      it->waitsForTime = false;
    }
    return;  // only the newest waiting picture is shown at this one's decode time
  }
}

void CFFMReader::GiveFallbackTime(Demuxed& d, bool atEnd) {
  const int32_t out = d.out;
  int64_t time = d.decode + (lastReferenceDelay_[out] > 0 ? lastReferenceDelay_[out] : d.duration);
  // The last reference picture is shown after every picture decoded behind it.
  if (atEnd && lastDecode_[out] != kNoTimestamp) time = std::max(time, lastDecode_[out] + d.duration);
  d.time = time;
  d.timed = true;
  d.waitsForTime = false;
}

void CFFMReader::ClearHeld() {
  for (Demuxed& d : held_) FreePacket(d.packet);
  held_.clear();
  for (auto& [out, packet] : ready_) FreePacket(packet);
  ready_.clear();
  for (uint32_t i = 0; i < kMaxOutputPins; ++i) ClearPreroll(static_cast<int32_t>(i));
  for (uint32_t i = 0; i < kMaxOutputPins; ++i) {
    lastReferenceDelay_[i] = 0;
    lastDecode_[i] = kNoTimestamp;
    lastDecodeOnLine_[i] = kNoTimestamp;
    lastDuration_[i] = 0;
  }
}

MediaPacket* CFFMReader::Admit(Demuxed& d, int32_t* outputIndex, bool* allEnded) {
  const int32_t out = d.out;
  if (int64_t end = 0; continuityMode_ && !rangeEndTaken_ && RangeEnd(&end)) {
    rangeEndTaken_ = true;
    if (!hasEndTime_ || end < endTime_) endTime_ = end;
    hasEndTime_ = 1;
  }
  // A video output cut at a start decodes from the key frame before it: the pictures before the
  // start travel as preroll, for the decoder to drop once decoded.
  const bool cutVideo = startTime_ > 0 && d.codecType == CODEC_TYPE_VIDEO;
  if (!started_[out]) {
    // Without a start cut, packets before zero (encoder priming) are kept; a DVD range begins with
    // its first picture (sound muxed ahead of it belongs to what comes before).
    if (!d.timed || (startTime_ > 0 && d.time < startTime_) || (continuityMode_ && d.time + d.duration <= 0)) {
      if (cutVideo) KeepForPreroll(d);
      FreePacket(d.packet);
      d.packet = nullptr;
      return nullptr;
    }
    started_[out] = 1;
    if (cutVideo && !d.key) {
      for (Demuxed& p : preroll_[out]) ready_.emplace_back(out, Finish(p, true));
    }
    ClearPreroll(out);
  } else if (ended_[out]) {
    FreePacket(d.packet);
    d.packet = nullptr;
    return nullptr;
  } else if (d.timed && d.time > endTime_) {
    ended_[out] = 1;
    FreePacket(d.packet);
    d.packet = nullptr;
    bool all = true;
    for (int32_t i = 0; i < outputCount_; ++i)
      if (outputEnabled_[i] && !ended_[i]) all = false;
    *allEnded = all;
    return nullptr;
  }
  if (d.timed && d.codecType != CODEC_TYPE_SUBTITLE) {
    const int64_t end = d.time + d.inputOffset + d.duration;
    if (deliveredEnd_ == kNoTimestamp || end > deliveredEnd_) deliveredEnd_ = end;
  }
  // A picture decoded after the first one at the start but shown before it (a B picture).
  MediaPacket* packet = Finish(d, cutVideo && d.timed && d.time < startTime_);
  if (ready_.empty()) {
    *outputIndex = out;
    return packet;
  }
  ready_.emplace_back(out, packet);
  return TakeReady(outputIndex);
}

MediaPacket* CFFMReader::Finish(Demuxed& d, bool preroll) {
  MediaPacket* packet = d.packet;
  d.packet = nullptr;
  int32_t flags = d.key ? PACKET_SYNC_POINT : 0;
  const int64_t time = d.time - startTime_;
  const int64_t decode = d.decode - startTime_;
  // Times before the start are kept only on preroll, whose pictures the decoder drops.
  if (d.timed && (time >= 0 || preroll)) flags |= PACKET_START_VALID | PACKET_STOP_VALID;
  if (preroll) flags |= PACKET_PREROLL;
  if (d.hasDecode) flags |= PACKET_DECODE_TIME_VALID;
  packet->flags = flags;
  if (d.timed) {
    packet->start = time;
    packet->stop = time + 10000;
    // A text subtitle is shown for its packet's duration.
    if (d.codecType == CODEC_TYPE_SUBTITLE && d.duration > 0) packet->stop = time + d.duration;
  }
  packet->decodeTime = decode;
  return packet;
}

void CFFMReader::KeepForPreroll(Demuxed& d) {
  std::deque<Demuxed>& kept = preroll_[d.out];
  if (d.key) {
    ClearPreroll(d.out);
  } else if (kept.empty() || kept.size() >= kMaxPrerollPackets) {
    // No key frame yet, or a group of pictures too long to keep: nothing to decode from.
    ClearPreroll(d.out);
    return;
  }
  kept.push_back(d);
  d.packet = nullptr;
}

void CFFMReader::ClearPreroll(int32_t out) {
  for (Demuxed& p : preroll_[out]) FreePacket(p.packet);
  preroll_[out].clear();
}

MediaPacket* CFFMReader::TakeReady(int32_t* outputIndex) {
  const auto [out, packet] = ready_.front();
  ready_.pop_front();
  *outputIndex = out;
  return packet;
}

bool CFFMReader::QueuesFull() {
  bool allReady = true;
  int64_t packets = 0;
  int64_t bytes = 0;
  for (int32_t i = 0; i < outputCount_; ++i) {
    if (!pump_[i]) continue;
    const int32_t count = pump_[i]->List().GetCount();
    const int64_t size = pump_[i]->List().GetBytes();
    packets += count;
    bytes += size;
    if (countsForReadiness_[i] && (count < kReadyPackets || size < kReadyBytes)) allReady = false;
  }
  if (bytes > kCapBytes) return true;
  return allReady && (packets >= kTotalPackets || bytes >= kTotalBytes);
}

void CFFMReader::PushEndOfStream() {
  for (int32_t i = 0; i < outputCount_; ++i) {
    if (!pump_[i]) continue;
    pump_[i]->List().Push(NewEndOfStreamPacket());
    pump_[i] = nullptr;  // the pump ends itself
  }
}

void CFFMReader::ThreadMain() {
  UseFaultStackOnThisThread();
  LowerThreadPriority();
  for (;;) {
    if (seekRequest_.load()) {
      const int64_t target = seekTarget_.load();
      DoSeek(static_cast<uint32_t>(target), static_cast<int32_t>(target >> 32), seekFlags_.load());
      seekRequest_.store(0);
    }
    int32_t out = 0;
    MediaPacket* packet = ReadPacket(&out);
    if (packet) {
      while (QueuesFull() && !stopRequest_.load()) SleepMs(10);
      if (pump_[out]) {
        pump_[out]->List().Push(packet);
        ++pushed_[out];
        // A subtitle reaches its overlay before the video frames read after it.
        if (!countsForReadiness_[out]) WaitDelivered(out);
      } else {
        FreePacket(packet);
      }
      continue;
    }
    if (inputEnd_ == InputEnd::kInput) CheckDeclaredEnd();
    if (inputEnd_ == InputEnd::kPastEnd) {
      // As a seek would, the seek past the end drops what is queued.
      for (int32_t i = 0; i < outputCount_; ++i)
        if (pump_[i]) pump_[i]->List().Clear();
    }
    OnInputEnd();
    ConsoleLine("wait command\n");
    bool resumed = false;
    for (;;) {
      bool low = false;
      bool anyCounting = false;
      for (int32_t i = 0; i < outputCount_; ++i) {
        if (!pump_[i] || !countsForReadiness_[i]) continue;
        anyCounting = true;
        if (pump_[i]->List().GetCount() < kLowPackets) low = true;
      }
      // Nothing that counts (or closing): no queue to wait for.
      if (low || !anyCounting || closing_.load()) break;
      if (pastEndRequest_.load()) {
        // A seek past the end while the rest is queued: it is dropped.
        for (int32_t i = 0; i < outputCount_; ++i)
          if (pump_[i]) pump_[i]->List().Clear();
        break;
      }
      if (seekRequest_.load()) {
        ConsoleLine("command\n");
        if (NeedsReopenAfterEnd()) ReopenInput();
        const int64_t target = seekTarget_.load();
        DoSeek(static_cast<uint32_t>(target), static_cast<int32_t>(target >> 32), seekFlags_.load());
        seekRequest_.store(0);
        resumed = true;
        break;
      }
      SleepMs(10);
    }
    if (resumed) continue;
    PushEndOfStream();
    break;
  }
  threadRunning_.store(false);
}

int64_t CFFMReader::DeclaredEnd() const {
  if (IsProtocolUrl(path_.c_str()) || continuityMode_) return kNoTimestamp;
  std::vector<const FFStreamDesc*> streams;
  for (int32_t i = 0; i < outputCount_; ++i) {
    if (!outputEnabled_[i] || outputToStream_[i] < 0) continue;
    const FFStreamDesc& s = streams_[static_cast<size_t>(outputToStream_[i])];
    if (s.codec.codec_type != CODEC_TYPE_SUBTITLE) streams.push_back(&s);
  }
  int64_t end = DeclaredSourceEnd(demuxer_, path_, streams);
  // A stop time ends the range before the source does.
  if (end != kNoTimestamp && hasEndTime_ && endTime_ + timeOffset_ < end) end = endTime_ + timeOffset_;
  return end;
}

void CFFMReader::CheckDeclaredEnd() {
  ReportShortSource(path_, startTime_ + timeOffset_, deliveredEnd_, DeclaredEnd(), timeOffset_);
}

void CFFMReader::BeginSeek() {
  g_seekDone.store(0);
  jumpPosition_ = 0;
  ClearHeld();
  for (int32_t i = 0; i < outputCount_; ++i) {
    if (!pump_[i]) continue;
    pushed_[i] = delivered_[i].load();
    pump_[i]->List().Clear();
    pump_[i]->List().Push(NewPacket(PACKET_DISCONTINUITY, nullptr, 0));
  }
}

HRESULT CFFMReader::DoSeek(uint32_t timeLow, int32_t timeHigh, int32_t) {
  BeginSeek();
  inputEnd_ = InputEnd::kNone;
  const int64_t target = static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(timeHigh)) << 32 | timeLow);
  if (demuxer_.SeekBackward((target + timeOffset_) / 10) < 0) ConsoleLine("ok\n");
  // A stop ends the wait: nothing downstream will take the marker any more.
  for (int i = 0; i < kSeekWaitSteps && !g_seekDone.load() && !closing_.load() && !stopRequest_.load(); ++i)
    SleepMs(10);
  return S_OK;
}

void CFFMReader::WaitDelivered(int32_t out) {
  for (int i = 0; i < kDeliveryWaitSteps && delivered_[out].load() < pushed_[out]; ++i) {
    if (stopRequest_.load() || seekRequest_.load() || closing_.load() || pauseRequest_.load()) return;
    SleepMs(1);
  }
}

void CFFMReader::WaitForPumps() {
  // Pumps call back into this module until their end of stream is delivered.
  while (livePumps_.load() > 0) SleepMs(10);
}

HRESULT CFFMReader::Close() {
  if (threadRunning_.load()) ConsoleLine("reader must stop before destroy\n");
  StopReading();
  return S_OK;  // the owner's Release destroys the module
}
