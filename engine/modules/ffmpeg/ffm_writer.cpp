#include "engine/modules/ffmpeg/ffm_writer.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "common/param_list.h"
#include "engine/graph/job_cancel.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/ffmpeg/ffmpeg_media_types.h"
#include "platform/diagnostics.h"

namespace {

constexpr auto kPollStep = std::chrono::milliseconds(20);

MuxPacket ToMuxPacket(const MediaPacket& p) {
  MuxPacket m;
  m.data = p.data;
  m.size = p.data ? p.length : 0;
  m.flags = static_cast<uint32_t>(p.flags);
  m.start = p.start;
  m.stop = p.stop;
  m.decodeTime = (p.flags & PACKET_DECODE_TIME_VALID) ? p.decodeTime : kNoTimestamp;
  return m;
}

HRESULT OpenResult(int open) {
  switch (open) {
    case CFFMOutput::OPEN_OK:
      return S_OK;
    case CFFMOutput::OPEN_NO_MUXER:
      return E_INVALIDARG;
    default:
      return FFM_E_CANNOT_CREATE;
  }
}

}  // namespace

IMediaModule* CFFMWriter::Create(CParamList* params) { return CreateOpenedModule<CFFMWriter>(params); }

CFFMWriter::CFFMWriter() {
  for (int& s : streamOfPin_) s = -1;
}

CFFMWriter::~CFFMWriter() { JoinWriterThread(); }

HRESULT CFFMWriter::Open(CParamList* params) {
  CQueuedWriter::Open(params);
  muxerName_[0] = '\0';
  globalHeader_ = 0;
  if (params != nullptr) {
    params->GetString("NAME", muxerName_, sizeof(muxerName_), "");
    globalHeader_ = params->GetInt("GLOBALHEADER", 0);
  }
  inputPinCount_ = 0;
  inputTypes_.FreeAll();
  for (int& s : streamOfPin_) s = -1;
  for (bool& b : firstSeen_) b = false;
  for (bool& b : inputFinished_) b = false;
  for (int64_t& n : packetsOfPin_) n = 0;
  running_ = false;
  headerDone_ = false;
  haveTarget_ = false;
  return S_OK;
}

HRESULT CFFMWriter::Close() {
  // Closed without CloseOutput (a job that ended before or while running):
  // nothing unfinished takes the target's place.
  JoinWriterThread();
  output_.Abandon();
  inputTypes_.FreeAll();
  return S_OK;
}

HRESULT CFFMWriter::SetParams(CParamList* params) {
  if (params == nullptr) return S_OK;
  globalHeader_ = params->GetInt("GLOBALHEADER", 0);
  int32_t audioTag = params->GetInt("ATAG", 0);
  int32_t videoTag = params->GetInt("VTAG", 0);
  ConsoleLine("GH=%d,AT=%d,VT=%d\n", globalHeader_, audioTag, videoTag);
  output_.SetCodecTags(static_cast<uint32_t>(audioTag), static_cast<uint32_t>(videoTag));
  return S_OK;
}

HRESULT CFFMWriter::SetOutput(const char* path, const int32_t* target) {
  if (path == nullptr) return E_POINTER;
  if (!output_.IsOpen() && !haveTarget_) {
    for (int i = 0; i < 6; ++i) targetInts_[i] = target ? target[i] : 0;
    haveTarget_ = true;
    return OpenResult(output_.Open(muxerName_, path, targetInts_[4] != 0));
  }
  // The next numbered file of a running output.
  return OpenResult(output_.OpenNext());
}

HRESULT CFFMWriter::SetOutputOption(int32_t) { return S_OK; }

HRESULT CFFMWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) {
  if (type == nullptr) return E_POINTER;
  const char* muxer = output_.IsOpen() ? output_.MuxerName().c_str() : muxerName_;
  CodecContext ctx;
  if (flags == 1) return MediaTypeToMuxerContext(type, &ctx, muxer) ? S_OK : E_FAIL;
  if (flags != 0) return E_NOTIMPL;
  if (inputPinCount_ >= kMaxInputPins || !output_.IsOpen()) return E_FAIL;
  if (!MediaTypeToMuxerContext(type, &ctx, muxer)) return E_FAIL;
  int stream = output_.AddStream(ctx);
  if (stream < 0) return E_FAIL;
  const uint32_t pin = inputPinCount_;
  streamOfPin_[pin] = stream;
  NoteStreamType(pin, type->majortype);
  inputTypes_.Set(static_cast<int>(pin), 1, type);
  ++inputPinCount_;
  return S_OK;
}

HRESULT CFFMWriter::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }

HRESULT CFFMWriter::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin >= inputPinCount_ || type == nullptr) return E_FAIL;
  return inputTypes_.Get(static_cast<int>(pin), type);
}

HRESULT CFFMWriter::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (props == nullptr || pin >= kMaxInputPins || inputTypes_.types[pin] == nullptr) return E_FAIL;
  return OneBufferRequirements(props, inputTypes_.GetSampleSize(static_cast<int>(pin)));
}

HRESULT CFFMWriter::Run() {
  if (running_) {
    for (bool& b : inputFinished_) b = false;
    return S_OK;
  }
  output_.SetGlobalHeader(globalHeader_ != 0);
  output_.PrepareCodecData();
  HRESULT hr = CQueuedWriter::Run();
  if (hr == S_OK) running_ = true;
  return hr;
}

void CFFMWriter::WaitForPackets() {
  for (uint32_t pin = 0; pin < inputPinCount_; ++pin) {
    if (CPacketQueue* q = InputQueue(pin)) q->Signal();
  }
  std::this_thread::sleep_for(kPollStep);
}

bool CFFMWriter::PrepareHeader() {
  // MPEG audio waits for a packet with a usable frame header.
  for (uint32_t pin = 0; pin < inputPinCount_; ++pin) {
    const int stream = streamOfPin_[pin];
    CPacketQueue* q = InputQueue(pin);
    while (q != nullptr && output_.NeedsMpegAudioProbe(stream)) {
      MediaPacket* head = q->Peek();
      if (head == nullptr) {
        if (inputFinished_[pin]) break;
        return false;
      }
      if (head->flags & PACKET_END_OF_STREAM) {
        output_.EndMpegAudioProbe(stream);
        break;
      }
      if (!output_.ProbeMpegAudio(stream, head->data, head->length)) {
        FreePacket(q->Pop());
        q->Signal();
      }
    }
  }
  // Every input's first packet (codec data that only the stream carries).
  for (uint32_t pin = 0; pin < inputPinCount_; ++pin) {
    CPacketQueue* q = InputQueue(pin);
    while (q != nullptr && !firstSeen_[pin]) {
      MediaPacket* head = q->Peek();
      if (head == nullptr) {
        if (inputFinished_[pin]) break;
        return false;
      }
      if ((head->flags & PACKET_END_OF_STREAM) || output_.AcceptFirstPacket(streamOfPin_[pin], ToMuxPacket(*head))) {
        firstSeen_[pin] = true;
      } else {
        FreePacket(q->Pop());
        q->Signal();
      }
    }
  }
  output_.WriteHeader();
  return true;
}

MediaPacket* CFFMWriter::SelectPacket(uint32_t* pin) {
  if (!headerDone_) {
    if (!PrepareHeader()) {
      WaitForPackets();
      return nullptr;
    }
    headerDone_ = true;
  }
  if (inputPinCount_ == 0) return nullptr;
  int best = -1;
  int64_t bestTime = 0;
  for (uint32_t p = 0; p < inputPinCount_; ++p) {
    if (inputFinished_[p]) continue;
    CPacketQueue* q = InputQueue(p);
    MediaPacket* head = q ? q->Peek() : nullptr;
    if (head == nullptr) {
      WaitForPackets();
      return nullptr;
    }
    const bool timed =
        (head->flags & (PACKET_START_VALID | PACKET_DECODE_TIME_VALID)) != 0 && !(head->flags & PACKET_END_OF_STREAM);
    if (!timed) {
      *pin = p;
      MediaPacket* packet = q->Pop();
      q->Signal();
      return packet;
    }
    const int64_t t = output_.InterleaveTime(streamOfPin_[p], ToMuxPacket(*head));
    if (best < 0 || t < bestTime) {
      best = static_cast<int>(p);
      bestTime = t;
    }
  }
  if (best < 0) return nullptr;
  CPacketQueue* q = InputQueue(static_cast<uint32_t>(best));
  *pin = static_cast<uint32_t>(best);
  MediaPacket* packet = q->Pop();
  q->Signal();
  return packet;
}

HRESULT CFFMWriter::WritePacket(uint32_t pin, MediaPacket* packet) {
  if (packet == nullptr || pin >= inputPinCount_) return E_FAIL;
  // After a failed write the packets are only drained.
  if (output_.Failed()) return E_FAIL;
  MuxPacket mux = ToMuxPacket(*packet);
  CodecContext updated;
  if (packet->newType != nullptr && MediaTypeToMuxerContext(packet->newType, &updated, output_.MuxerName().c_str()) &&
      !updated.extradata.empty())
    mux.newCodecData = &updated.extradata;
  if (output_.WritePacket(streamOfPin_[pin], mux) != 0) return E_FAIL;
  if (mux.size > 0) ++packetsOfPin_[pin];
  return S_OK;
}

void CFFMWriter::EndOfInput(uint32_t pin) {
  if (pin < kMaxInputPins) inputFinished_[pin] = true;
  CQueuedWriter::EndOfInput(pin);
}

HRESULT CFFMWriter::CloseOutput() {
  JoinWriterThread();
  if (JobCancelled()) {
    // Ended by a signal: nothing takes the target's place.
    output_.Abandon();
    return STATUS_CONTROL_C_EXIT;
  }
  if (SourceReadFailed()) {
    // The sources were cut short: an output missing its end is not kept.
    output_.Abandon();
    return E_SOURCE_READ_FAILED;
  }
  if (!Stopping() && output_.IsOpen()) {
    // A chosen stream that delivered nothing makes an output without it.
    for (uint32_t pin = 0; pin < inputPinCount_; ++pin) {
      if (packetsOfPin_[pin] != 0) continue;
      const AM_MEDIA_TYPE* type = inputTypes_.types[pin];
      const char* kind = type && type->majortype == MEDIATYPE_Video   ? "video"
                         : type && type->majortype == MEDIATYPE_Audio ? "audio"
                                                                      : "other";
      Diag(DiagLevel::kError, "the %s stream delivered nothing to '%s': the output is dropped", kind,
           output_.FileName().c_str());
      output_.Abandon();
      return E_FAIL;
    }
  }
  if (Stopping() && output_.IsOpen() && output_.PacketsWritten() == 0) {
    Diag(DiagLevel::kNote, "stopped before anything was written to '%s'", output_.FileName().c_str());
    output_.Abandon();
    return S_OK;
  }
  return output_.Finish() ? S_OK : E_FAIL;
}
