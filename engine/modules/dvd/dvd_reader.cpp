#include "engine/modules/dvd/dvd_reader.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

#include "common/param_list.h"
#include "engine/graph/source_failure.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int kSeekWaitSteps = 300;
// Streams the demuxer may add while reading, beyond those probed at open.
constexpr size_t kStreamTableCapacity = 64;

int64_t TargetOf(uint32_t timeLow, int32_t timeHigh) {
  return static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(timeHigh)) << 32 | timeLow);
}

}  // namespace

IMediaModule* CDvdReader::Create(CParamList* params) {
  auto* reader = new (std::nothrow) CDvdReader();
  if (reader) reader->Open(params);
  return reader;
}

IMediaModule* CreateDvdReader(CParamList* params) { return CDvdReader::Create(params); }

CDvdReader::~CDvdReader() {
  // The reader thread and the demuxer read through input_: both go first.
  StopReading();
}

FFStreamDesc CDvdReader::StreamFromDescriptor(CParamList& keys, int32_t* scanId) {
  const int32_t type = keys.GetInt("TYPE", 255);
  const int32_t vfcc = keys.GetInt("VFCC", 0);
  const int32_t streamId = keys.GetInt("STREAMID", 0);
  if (scanId) *scanId = streamId;
  FFStreamDesc desc;
  desc.index = -1;
  desc.id = DvdDescriptorStreamId(type, vfcc, streamId);
  desc.timeBase = FFRational{1, 90000};
  CodecContext& c = desc.codec;
  if (type == 0) {
    c.codec_type = CODEC_TYPE_VIDEO;
    c.codec_id = CodecIdByName(static_cast<uint32_t>(vfcc) == MakeFourcc("MPG2") ? "mpeg2video" : "mpeg1video");
    c.width = keys.GetInt("WIDTH", 0);
    c.height = keys.GetInt("HEIGHT", 0);
    c.pix_fmt = PixelFormatByName("yuv420p");
    const double rate = keys.GetDouble("FRAMERATE", 0);
    if (rate > 0 && std::isfinite(rate)) {
      const FFRational q = RationalFromDouble(rate, 100000);
      if (q.num > 0 && q.den > 0) {
        desc.frameRate = q;
        c.time_base = FFRational{q.den, q.num};
      }
    }
  } else if (type == 1) {
    c.codec_type = CODEC_TYPE_AUDIO;
    if (static_cast<uint32_t>(vfcc) == MakeFourcc("AC3A")) {
      c.codec_id = CodecIdByName("ac3");
    } else if (static_cast<uint32_t>(vfcc) == MakeFourcc("DTSA")) {
      c.codec_id = CodecIdByName("dts");
    } else if (static_cast<uint32_t>(vfcc) == MakeFourcc("MP2A")) {
      c.codec_id = CodecIdByName("mp2");
    } else if (static_cast<uint32_t>(vfcc) == MakeFourcc("DPCM")) {
      c.codec_id = CodecIdByName("pcm_dvd");
    }  // else left for the demuxer's parser to settle
    c.channels = keys.GetInt("CHANNEL", 0);
    c.sample_rate = keys.GetInt("SAMPLERATE", 0);
    c.time_base = desc.timeBase;
  } else {
    c.codec_type = CODEC_TYPE_SUBTITLE;
    c.codec_id = CodecIdByName("dvd_subtitle");
  }
  return desc;
}

// The probed stream keeps what FFmpeg found; the descriptor fills what it
// left open, and a video stream's codec time base is one frame.
void CDvdReader::MergeDescriptor(const FFStreamDesc& described, FFStreamDesc* probed) {
  CodecContext& c = probed->codec;
  const CodecContext& d = described.codec;
  if (c.codec_type == CODEC_TYPE_UNKNOWN) c.codec_type = d.codec_type;
  if (c.codec_id == kCodecIdNone) c.codec_id = d.codec_id;
  if (c.codec_type == CODEC_TYPE_VIDEO) {
    if (c.width == 0) c.width = d.width;
    if (c.height == 0) c.height = d.height;
    if (c.pix_fmt < 0) c.pix_fmt = d.pix_fmt;
    if (described.frameRate.num > 0) probed->frameRate = described.frameRate;
    if (probed->frameRate.num > 0) c.time_base = FFRational{probed->frameRate.den, probed->frameRate.num};
  } else if (c.codec_type == CODEC_TYPE_AUDIO) {
    if (c.channels == 0) c.channels = d.channels;
    if (c.sample_rate == 0) c.sample_rate = d.sample_rate;
  }
}

HRESULT CDvdReader::QueryInterface(REFIID iid, void** out) {
  if (out && iid == IStreamDescriptions::kIid) {
    AddRef();
    *out = static_cast<IStreamDescriptions*>(this);
    return S_OK;
  }
  return CFFMReader::QueryInterface(iid, out);
}

HRESULT CDvdReader::SetStreamDescriptions(const char* const* texts, int32_t count) {
  if (count < 0 || (count > 0 && !texts)) return E_INVALIDARG;
  descriptions_.clear();
  for (int32_t i = 0; i < count; ++i) descriptions_.emplace_back(texts[i] ? texts[i] : "");
  return S_OK;
}

int CDvdReader::OpenInput(const char* path) {
  input_.reset();  // the demuxer over the old input is already closed
  input_.reset(new (std::nothrow) CDvdReaderInput(path));
  if (!input_ || !input_->ok()) {
    Diag(DiagLevel::kError, "DVD: cannot start reading \"%s\"", path);
    return -1;
  }
  return demuxer_.OpenCustom(path, input_->source());
}

// The "dvd:" source is reopened by the seek itself (CDvdReaderInput::SeekTo),
// so that the demuxer and its stream table stay as they are.
int CDvdReader::ReopenInput() { return 0; }

void CDvdReader::MapStreams() {
  for (Awaited& a : awaited_) a = Awaited{};
  streams_.reserve(kStreamTableCapacity);
  if (descriptions_.empty()) {
    // No descriptors for this source: the probed streams, as for a file.
    CFFMReader::MapStreams();
    return;
  }
  std::vector<bool> taken(streams_.size(), false);
  outputCount_ = 0;
  for (const std::string& text : descriptions_) {
    if (outputCount_ >= static_cast<int32_t>(kMaxOutputPins)) {
      Diag(DiagLevel::kWarning, "DVD: a described stream is left out: at most %u streams are read", kMaxOutputPins);
      break;
    }
    CParamList keys;
    keys.ParseText(text.c_str());
    int32_t scanId = 0;
    const FFStreamDesc described = StreamFromDescriptor(keys, &scanId);
    const int32_t out = outputCount_++;
    int32_t found = -1;
    for (size_t i = 0; i < streams_.size(); ++i) {
      const FFStreamDesc& s = streams_[i];
      if (taken[i] || s.codec.codec_type != described.codec.codec_type) continue;
      if (s.id == described.id || DvdStreamIdMatches(s.id, scanId)) {
        found = static_cast<int32_t>(i);
        break;
      }
    }
    if (found >= 0) {
      if (described.codec.codec_type == CODEC_TYPE_AUDIO) ConsoleLine("find stream..............\n");
      taken[static_cast<size_t>(found)] = true;
      MergeDescriptor(described, &streams_[static_cast<size_t>(found)]);
      streamToOutput_[static_cast<size_t>(found)] = out;
      outputToStream_[out] = found;
    } else {
      // Not met by the probe (a subpicture that starts later): the pin is
      // described by the job until the demuxer adds the stream.
      awaited_[out].described = true;
      awaited_[out].waiting = true;
      awaited_[out].scanId = scanId;
      awaited_[out].desc = described;
      outputToStream_[out] = -1;
    }
  }
}

bool CDvdReader::BindLateStream(int stream) {
  const size_t count = static_cast<size_t>(demuxer_.StreamCount());
  // Within the reserved capacity, so that the table never moves under a
  // graph-thread reader.
  const size_t limit = count < streams_.capacity() ? count : streams_.capacity();
  for (size_t i = streams_.size(); i < limit; ++i) {
    FFStreamDesc probed;
    demuxer_.GetStream(static_cast<int>(i), &probed);
    int32_t out = kUnmapped;
    for (int32_t o = 0; o < outputCount_; ++o) {
      const Awaited& a = awaited_[o];
      if (!a.waiting || a.desc.codec.codec_type != probed.codec.codec_type) continue;
      if (probed.id == a.desc.id || DvdStreamIdMatches(probed.id, a.scanId)) {
        out = o;
        break;
      }
    }
    if (out != kUnmapped) {
      MergeDescriptor(awaited_[out].desc, &probed);
      awaited_[out].waiting = false;
    }
    streams_.push_back(probed);
    streamToOutput_.push_back(out);
    if (out != kUnmapped) outputToStream_[out] = static_cast<int32_t>(i);
  }
  return static_cast<size_t>(stream) < streamToOutput_.size();
}

HRESULT CDvdReader::OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) {
  if (!path) return FFM_E_CANNOT_OPEN;
  DvdProtocolRegister();
  failureReported_ = false;
  sought_ = false;
  // The block thread starts at the start time: no cut by dropping packets.
  HRESULT hr = CFFMReader::OpenFile(path, 0, 0);
  if (hr != S_OK) return hr;
  if (endSeconds != 0) {
    endTime_ = (static_cast<int64_t>(endSeconds) - startSeconds) * kUnitsPerSecond;
    hasEndTime_ = 1;
  }
  if (demuxer_.FormatName() == "mpeg") {
    continuityMode_ = 1;
    lastTime_ = 0;
    haveLastTime_ = 0;
    timeOffset_ = 0;
    jumpPosition_ = 0;
  }
  // The probe has read ahead (possibly past what the ring keeps): the stream
  // starts again at position 0 from the start time.
  const int64_t start = startSeconds > 0 ? static_cast<int64_t>(startSeconds) * kUnitsPerSecond : 0;
  if (!input_->SeekTo(start) || demuxer_.RestartCustomInput() < 0) {
    Diag(DiagLevel::kError, "DVD: \"%s\" cannot be restarted at %d s", path, startSeconds);
    demuxer_.Close();
    return FFM_E_CANNOT_OPEN;
  }
  return S_OK;
}

HRESULT CDvdReader::GetInfo(int64_t* duration, CParamList* info) {
  const double seconds = input_ ? input_->Duration() : 0;
  if (duration && seconds > 0) {
    // The chapter range's length from the disc; FFmpeg can only guess it on a stream.
    *duration = static_cast<int64_t>(seconds * kUnitsPerSecond + 0.5);
    return S_OK;
  }
  return CFFMReader::GetInfo(duration, info);
}

HRESULT CDvdReader::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin < kMaxOutputPins && static_cast<int32_t>(pin) < outputCount_ && awaited_[pin].described) {
    if (!type) return E_POINTER;
    if (index != 0) return MODULE_E_NO_TYPE;
    return OutputTypeOf(awaited_[pin].desc.codec, type);
  }
  return CFFMReader::GetOutputType(pin, index, type);
}

HRESULT CDvdReader::GetStreamInfo(uint32_t index, StreamInfo* info) {
  if (index < kMaxOutputPins && static_cast<int32_t>(index) < outputCount_ && awaited_[index].described) {
    if (!info) return E_POINTER;
    const FFStreamDesc& s = awaited_[index].desc;
    *info = StreamInfo{};
    info->valid = 1;
    info->timeBaseNum = s.timeBase.num;
    info->timeBaseDen = s.timeBase.den;
    info->streamId = s.id < 255 ? s.id : 0;
    return S_OK;
  }
  return CFFMReader::GetStreamInfo(index, info);
}

HRESULT CDvdReader::DoSeek(uint32_t timeLow, int32_t timeHigh, int32_t) {
  BeginSeek();
  sought_ = true;
  const int64_t target = TargetOf(timeLow, timeHigh);
  if (!input_ || !input_->SeekTo(target))
    Diag(DiagLevel::kWarning, "DVD: the seek to %.3f s was not taken", target / 1e7);
  demuxer_.RestartCustomInput();
  for (int i = 0; i < kSeekWaitSteps && !ReaderSeekDone() && !Closing() && !StopRequested(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ConsoleLine("seek done\n");
  const int64_t scr = input_ ? input_->StartClock() : 0;
  ConsoleLine("cur scr=%f,want seek to=%f\n", scr / 1e7, target / 1e7);
  // The first packets after the seek carry times near the target.
  timeOffset_ = scr - target;
  offsetBeforeJump_ = timeOffset_;
  lastTime_ = scr;
  haveLastTime_ = 1;
  return S_OK;
}

bool CDvdReader::StampJumpBefore(int64_t position, int64_t* shift) {
  if (!input_ || input_->buffer() == nullptr || position < 0) return false;
  if (!input_->buffer()->TakeStampJump(position, shift)) return false;
  Diag(DiagLevel::kTrace, "dvd: stamps after byte %lld shifted by %.3f s over a skipped span",
       static_cast<long long>(position), static_cast<double>(*shift) / kUnitsPerSecond);
  return true;
}

bool CDvdReader::PendingStampJump(int64_t* position, int64_t* shift) {
  return input_ && input_->buffer() != nullptr && input_->buffer()->PeekStampJump(position, shift);
}

bool CDvdReader::RangeEnd(int64_t* end) {
  return !sought_ && input_ && input_->buffer() != nullptr && input_->buffer()->RangeEnd(end);
}

bool CDvdReader::OriginClock(int64_t* clock) {
  return input_ && input_->buffer() != nullptr && input_->buffer()->OriginClock(clock);
}

void CDvdReader::OnInputEnd() {
  if (failureReported_ || !input_ || !input_->Failed()) return;
  failureReported_ = true;
  Diag(DiagLevel::kError, "DVD: \"%s\" could not be read to its end: the conversion fails", path_.c_str());
  ReportSourceReadFailure();
}
