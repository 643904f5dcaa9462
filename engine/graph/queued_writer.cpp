#include "engine/graph/queued_writer.h"

#include <mutex>
#include <system_error>

#include "platform/result_channel.h"
#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"

CQueuedWriter::CQueuedWriter() = default;

CQueuedWriter::~CQueuedWriter() {
  JoinWriterThread();
  DestroyQueues();
}

HRESULT CQueuedWriter::Run() {
  if (writerThread_.joinable()) return S_OK;
  {
    std::unique_lock lock(queuesLock_);
    for (uint32_t pin = 0; pin < inputPinCount_ && pin < kMaxInputPins; ++pin) {
      if (!queues_[pin]) queues_[pin] = new CPacketQueue();
      int32_t packets = CPacketQueue::kDefaultPacketLimit;
      int64_t bytes = CPacketQueue::kDefaultByteLimit;
      if (GetQueueLimits(pin, &packets, &bytes)) queues_[pin]->SetLimits(packets, bytes);
    }
  }
  threadDone_.store(0);
  try {
    writerThread_ = std::thread(&CQueuedWriter::ThreadMain, this);
  } catch (const std::system_error&) {
    return E_FAIL;
  }
  return S_OK;
}

HRESULT CQueuedWriter::Stop() {
  stopping_.store(1);
  StopQueues();  // a producer blocked on a full queue goes on
  return S_OK;
}

HRESULT CQueuedWriter::Pause(int32_t) { return S_OK; }

HRESULT CQueuedWriter::Open(CParamList*) {
  inputPinCount_ = 0;
  for (auto& f : eosReceived_) f.store(0);
  for (auto& f : finished_) f.store(0);
  clockPin_ = kNoClock;
  clockKind_ = kNoClock;
  reserved_ = 0;
  stopping_.store(0);
  threadDone_.store(0);
  return S_OK;
}

uint32_t CQueuedWriter::GetInputPinCount() { return inputPinCount_; }

uint32_t CQueuedWriter::GetOutputPinCount() { return 0; }

HRESULT CQueuedWriter::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return E_INVALIDARG; }

HRESULT CQueuedWriter::GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) { return E_INVALIDARG; }

HRESULT CQueuedWriter::Receive(uint32_t pin, IMediaSample* input) {
  if (IsBlankSample(input)) return S_OK;  // carries nothing to write
  Ref<IMediaSample> sample(input);
  if (pin >= inputPinCount_ || pin >= kMaxInputPins) return E_INVALIDARG;
  std::shared_lock lock(queuesLock_);
  CPacketQueue* queue = queues_[pin];
  if (!sample) {
    if (Stopping() && queue) queue->Clear();
    eosReceived_[pin].store(1);
    if (queue) queue->Push(NewEndOfStreamPacket());
    return S_OK;
  }
  if (eosReceived_[pin].load() || !queue) return S_OK;
  if (Stopping()) {
    sample.Reset();
    queue->Clear();
    return S_OK;
  }
  BYTE* data = nullptr;
  LONG length = sample->GetActualDataLength();
  LONG size = sample->GetSize();
  if (sample->GetPointer(&data) != S_OK || !data || length < 0) length = 0;
  if (length > size) length = size < 0 ? 0 : size;
  int32_t flags = 0;
  if (sample->IsSyncPoint() == S_OK) flags |= PACKET_SYNC_POINT;
  if (sample->IsDiscontinuity() == S_OK) flags |= PACKET_DISCONTINUITY;
  if (sample->IsPreroll() == S_OK) flags |= PACKET_PREROLL;
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  HRESULT times = sample->GetTime(&start, &stop);
  if (times == S_OK) {
    flags |= PACKET_START_VALID | PACKET_STOP_VALID;
  } else if (times == VFW_S_NO_STOP_TIME) {
    flags |= PACKET_START_VALID;
    stop = 0;
  } else {
    start = stop = 0;
  }
  LONGLONG decode = 0;
  if (sample->GetMediaTime(&decode, nullptr) == S_OK) flags |= PACKET_DECODE_TIME_VALID;
  AM_MEDIA_TYPE* newType = nullptr;
  if (sample->GetMediaType(&newType) != S_OK) newType = nullptr;
  MediaPacket* packet = NewPacket(flags, data, length);
  sample.Reset();
  if (!packet) {
    DeleteOwnMediaType(newType);
    return E_OUTOFMEMORY;
  }
  packet->newType = newType;
  packet->start = start;
  packet->stop = stop;
  packet->decodeTime = decode;
  queue->Push(packet);
  return S_OK;
}

int32_t CQueuedWriter::GetState() {
  uint32_t pins = inputPinCount_ < kMaxInputPins ? inputPinCount_ : kMaxInputPins;
  uint32_t finished = 0;
  for (uint32_t pin = 0; pin < pins; ++pin) {
    if (finished_[pin].load()) ++finished;
  }
  if (finished == pins) return threadDone_.load() ? WRITER_FINISHED : WRITER_DRAINED_THREAD_RUNNING;
  return finished ? WRITER_SOME_INPUTS_FINISHED : WRITER_RUNNING;
}

bool CQueuedWriter::ServiceOnce() {
  uint32_t pin = 0;
  MediaPacket* packet = SelectPacket(&pin);
  if (!packet) return false;
  if (packet->flags & PACKET_END_OF_STREAM) {
    FreePacket(packet);
    EndOfInput(pin);
  } else {
    WritePacket(pin, packet);
    FreePacket(packet);
  }
  return true;
}

void CQueuedWriter::EndOfInput(uint32_t pin) {
  if (pin < kMaxInputPins) finished_[pin].store(1);
}

HRESULT CQueuedWriter::Finish() { return S_OK; }

bool CQueuedWriter::GetQueueLimits(uint32_t, int32_t*, int64_t*) { return false; }

void CQueuedWriter::NoteStreamType(uint32_t pin, const GUID& majorType) {
  if (majorType == MEDIATYPE_Audio) {
    if (clockPin_ == kNoClock) {
      clockPin_ = pin;
      clockKind_ = kClockAudio;
    }
  } else if (majorType == MEDIATYPE_Video) {
    if (clockKind_ != kClockVideo) {
      clockPin_ = pin;
      clockKind_ = kClockVideo;
    }
  }
}

void CQueuedWriter::ThreadMain() {
  UseFaultStackOnThisThread();
  while (!abort_.load() && GetState() != WRITER_DRAINED_THREAD_RUNNING) ServiceOnce();
  DestroyQueues();
  if (!abort_.load()) Finish();
  threadDone_.store(1);
}

void CQueuedWriter::StopQueues() {
  std::shared_lock lock(queuesLock_);
  for (CPacketQueue* q : queues_) {
    if (q) q->Stop();
  }
}

void CQueuedWriter::DestroyQueues() {
  StopQueues();  // producers blocked in Push leave before the queues go
  std::unique_lock lock(queuesLock_);
  for (CPacketQueue*& q : queues_) {
    delete q;
    q = nullptr;
  }
}

void CQueuedWriter::JoinWriterThread() {
  if (!writerThread_.joinable()) return;
  if (!threadDone_.load()) {
    abort_.store(1);
    StopQueues();
  }
  writerThread_.join();
  abort_.store(0);
}
