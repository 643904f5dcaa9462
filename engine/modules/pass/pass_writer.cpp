#include "engine/modules/pass/pass_writer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "engine/modules/pass/pass_message.h"
#include "platform/diagnostics.h"
#include "platform/process_liveness.h"

namespace {

// Display name: a reader's tag would follow at byte 64, so the rest is zero.
const char kDisplayName[128] = "Pass writer";

constexpr int64_t kMinFrameDuration = 10000;

}  // namespace

IMediaModule* CPassWriter::Create(CParamList* params) { return CreateOpenedModule<CPassWriter>(params); }

CPassWriter::~CPassWriter() { CloseOutput(); }

HRESULT CPassWriter::Open(CParamList*) {
  SetRegistration(kDisplayName);
  return S_OK;
}

HRESULT CPassWriter::Close() {
  CloseOutput();
  return S_OK;
}

HRESULT CPassWriter::SetParams(CParamList* params) {
  if (params) processId_ = params->GetInt("PID", 0);
  return S_OK;
}

void CPassWriter::SetOpenRetry(int tries, int milliseconds) {
  openTries_ = std::max(1, tries);
  openRetryMs_ = std::max(0, milliseconds);
}

uint32_t CPassWriter::GetInputPinCount() { return pinCount_; }

HRESULT CPassWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (!type || pinCount_ >= kMaxPins) return S_FALSE;
  auto pin = std::make_unique<Pin>();
  if (type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_YV12 &&
      ((type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER)) ||
       (type->formattype == FORMAT_VideoInfo2 && type->cbFormat >= sizeof(VIDEOINFOHEADER2))) &&
      type->pbFormat) {
    const size_t headerAt = type->formattype == FORMAT_VideoInfo ? offsetof(VIDEOINFOHEADER, bmiHeader)
                                                                 : offsetof(VIDEOINFOHEADER2, bmiHeader);
    BITMAPINFOHEADER bmi;
    REFERENCE_TIME duration;
    std::memcpy(&bmi, type->pbFormat + headerAt, sizeof bmi);
    std::memcpy(&duration, type->pbFormat + offsetof(VIDEOINFOHEADER, AvgTimePerFrame), sizeof duration);
    pin->video = true;
    pin->width = bmi.biWidth;
    pin->height = bmi.biHeight < 0 ? -bmi.biHeight : bmi.biHeight;
    pin->frameDuration = duration < kMinFrameDuration ? pass::kDefaultFrameDuration : duration;
  } else if (type->majortype == MEDIATYPE_Audio && type->subtype == MEDIASUBTYPE_PCM &&
             type->formattype == FORMAT_WaveFormatEx && type->cbFormat >= sizeof(WAVEFORMATEX) && type->pbFormat) {
    WAVEFORMATEX wave;
    std::memcpy(&wave, type->pbFormat, sizeof wave);
    pin->channels = wave.nChannels;
    pin->sampleRate = static_cast<int32_t>(wave.nSamplesPerSec);
  } else {
    return S_FALSE;
  }
  if (testOnly) return S_OK;
  Lock();
  HRESULT hr = inputTypes_.Set(static_cast<int>(pinCount_), 1, type);
  if (hr == S_OK) pins_[pinCount_++] = std::move(pin);
  Unlock();
  return hr;
}

HRESULT CPassWriter::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CPassWriter::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin >= pinCount_ || index != 0) return MODULE_E_NO_TYPE;
  return inputTypes_.Get(static_cast<int>(pin), type);
}

HRESULT CPassWriter::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_FALSE; }

HRESULT CPassWriter::GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) { return S_FALSE; }

HRESULT CPassWriter::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin >= pinCount_ || !props) return E_INVALIDARG;
  const int32_t size = inputTypes_.GetSampleSize(static_cast<int>(pin));
  if (size <= 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

HRESULT CPassWriter::SetOutput(const char* path, const int32_t*) {
  ConsoleLine("Output to file %s\n", path ? path : "");
  return S_OK;
}

HRESULT CPassWriter::SetOutputOption(int32_t) { return S_OK; }

HRESULT CPassWriter::Run() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    closing_ = false;
  }
  failed_ = false;
  for (uint32_t i = 0; i < pinCount_; ++i) {
    Pin& pin = *pins_[i];
    pin.queue = std::make_unique<CXQueue>();
    pin.ended = false;
    pin.done = false;
    pin.endTime = 0;
  }
  int32_t videoCount = 0, audioCount = 0;
  for (uint32_t i = 0; i < pinCount_; ++i) {
    Pin& pin = *pins_[i];
    const int32_t size = inputTypes_.GetSampleSize(static_cast<int>(i));
    pin.queueName = pass::QueueName(processId_, pin.video, pin.video ? videoCount++ : audioCount++);
    XQueueResult r = XQueueResult::kOpenFailed;
    for (int tries = 0; tries < openTries_; ++tries) {
      r = pin.queue->Open(pin.queueName);
      // No merging process to wait for: it is not running.
      if (r == XQueueResult::kOk || !ProcessIsAlive(processId_)) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(openRetryMs_));
    }
    if (r != XQueueResult::kOk) {
      ConsoleLine("Cannot open buffer %s\n", pin.queueName.c_str());
      Diag(DiagLevel::kError, "cannot open the queue \"%s\" of the merging process %d\n", pin.queueName.c_str(),
           static_cast<int>(processId_));
      failed_ = true;
      return E_PASS_QUEUE_FAILED;
    }
    pin.buffer.assign(static_cast<size_t>(size) + pass::kOverhead, 0);
    pin.capacity = size;
    pin.queueOpen = true;
  }
  for (uint32_t i = 0; i < pinCount_; ++i) pins_[i]->thread = std::thread(&CPassWriter::PinThread, this, i);
  return S_OK;
}

HRESULT CPassWriter::Receive(uint32_t index, IMediaSample* received) {
  // Null and blank samples hold no reference.
  Ref<IMediaSample> sample(received && !IsBlankSample(received) ? received : nullptr);
  if (index >= pinCount_) return S_FALSE;
  Pin& pin = *pins_[index];
  if (!received) {
    pin.ended = true;
    return S_OK;
  }
  if (!sample) return S_OK;  // blank
  std::shared_lock<std::shared_mutex> use(queuesLock_);
  if (!pin.queueOpen || failed_) return S_OK;

  BYTE* data = nullptr;
  LONG length = sample->GetActualDataLength();
  if (sample->GetPointer(&data) != S_OK || !data || length < 0) length = 0;
  length = std::min(length, sample->GetSize());
  if (length > pin.capacity) {
    ConsoleLine("Maxsize error size\n");
    length = 0;
  }
  pass::MessageHeader header;
  header.length = length;
  if (sample->IsSyncPoint() == S_OK) header.flags |= pass::kSyncPoint;
  if (sample->IsDiscontinuity() == S_OK) header.flags |= pass::kDiscontinuity;
  if (sample->IsPreroll() == S_OK) header.flags |= pass::kPreroll;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT times = sample->GetTime(&start, &stop);
  if (times == S_OK) {
    header.flags |= pass::kStartValid | pass::kStopValid;
    header.start = start;
    header.stop = stop;
  } else if (times == VFW_S_NO_STOP_TIME) {
    header.flags |= pass::kStartValid;
    header.start = start;
  }
  pass::EncodeHeader(header, pin.buffer.data());
  if (length > 0) std::memcpy(pin.buffer.data() + pass::kHeaderBytes, data, static_cast<size_t>(length));
  std::memset(pin.buffer.data() + pass::kHeaderBytes + length, 0, pass::kOverhead - pass::kHeaderBytes);
  sample.Reset();

  if ((header.flags & pass::kStartValid) && header.start != 0) {
    Lock();
    pin.endTime = pin.video ? header.start + pin.frameDuration
                            : pass::AudioEndTime(header.start, length, pin.channels, pin.sampleRate);
    Unlock();
  }
  Send(pin, pin.buffer.data(), static_cast<uint32_t>(length) + pass::kOverhead);
  return S_OK;
}

bool CPassWriter::Send(Pin& pin, const uint8_t* message, uint32_t size) {
  if (failed_) return false;
  const XQueueResult r = pin.queue->Write(message, size, CXQueue::kInfinite);
  if (r == XQueueResult::kOk) return true;
  Fail(pin, r);
  return false;
}

void CPassWriter::Fail(const Pin& pin, XQueueResult result) {
  if (failed_.exchange(true)) return;  // one line for the first failure
  if (result == XQueueResult::kNoServer) {
    Diag(DiagLevel::kError, "the merging process %d has ended\n", static_cast<int>(processId_));
  } else {
    Diag(DiagLevel::kError, "cannot write to the queue \"%s\" of the merging process (%d)\n", pin.queueName.c_str(),
         static_cast<int>(result));
  }
  wake_.notify_all();
}

bool CPassWriter::AllEnded() const {
  for (uint32_t i = 0; i < pinCount_; ++i)
    if (!pins_[i]->ended) return false;
  return true;
}

int64_t CPassWriter::SegmentEnd() const {
  int64_t latest = 0;
  const Pin* video = nullptr;
  for (uint32_t i = 0; i < pinCount_; ++i) {
    latest = std::max(latest, pins_[i]->endTime);
    if (!video && pins_[i]->video) video = pins_[i].get();
  }
  // On a frame boundary of the (first) video: a writer that counts pictures
  // then gives the video as much time as the sound, segment after segment.
  return video ? pass::FrameAlignedEnd(video->endTime, latest, video->frameDuration) : latest;
}

bool CPassWriter::Pad(uint32_t index) {
  Pin& pin = *pins_[index];
  int64_t latest = 0, from = 0;
  Lock();
  latest = SegmentEnd();
  from = pin.endTime;
  Unlock();
  if (from >= latest) return true;

  std::vector<uint8_t> message;
  auto sendPadding = [&](int64_t start, const uint8_t* data, size_t bytes) {
    if (bytes > static_cast<size_t>(pin.capacity)) bytes = 0;  // never more than the reader takes
    message.resize(bytes + pass::kOverhead);
    pass::MessageHeader header;
    header.flags = pass::kStartValid | pass::kStopValid;
    header.start = start;
    header.stop = start + pass::kPaddingStamp;
    header.length = static_cast<int32_t>(bytes);
    pass::EncodeHeader(header, message.data());
    uint8_t* payload = message.data() + pass::kHeaderBytes;
    if (data)
      std::memcpy(payload, data, bytes);
    else
      std::memset(payload, 0, bytes);
    std::memset(payload + bytes, 0, pass::kOverhead - pass::kHeaderBytes);
    return Send(pin, message.data(), static_cast<uint32_t>(message.size()));
  };
  bool sent;
  if (pin.video) {
    const std::vector<uint8_t> black = pass::BlackYv12Frame(pin.width, pin.height);
    sent = pass::PlanBlackFrames(from, latest, pin.frameDuration,
                                 [&](int64_t start) { return sendPadding(start, black.data(), black.size()); });
  } else {
    sent = pass::PlanSilence(from, latest, pin.sampleRate, pin.channels,
                             [&](int64_t start, uint32_t bytes) { return sendPadding(start, nullptr, bytes); });
  }
  Lock();
  pin.endTime = std::max(pin.endTime, latest);
  Unlock();
  return sent;
}

bool CPassWriter::Fill(uint32_t index) {
  if (!Pad(index)) return false;
  if (!AllEnded()) return false;
  // Every pin has ended: the latest end time is final now.
  return Pad(index);
}

void CPassWriter::PinThread(uint32_t index) {
  Pin& pin = *pins_[index];
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(wakeLock_);
      wake_.wait_for(lock, std::chrono::milliseconds(kEndPollMs), [this] { return closing_; });
      if (closing_) return;
    }
    if (failed_) return;
    if (!pin.ended) continue;
    std::shared_lock<std::shared_mutex> use(queuesLock_);
    if (Fill(index)) break;
  }
  if (failed_) return;
  pass::MessageHeader header;
  header.flags = pass::kStartValid | pass::kEndOfSegment;
  Lock();
  header.start = pin.endTime;
  Unlock();
  uint8_t message[pass::kOverhead] = {};
  pass::EncodeHeader(header, message);
  std::shared_lock<std::shared_mutex> use(queuesLock_);
  if (Send(pin, message, sizeof message)) pin.done = true;
}

int32_t CPassWriter::GetState() {
  if (failed_) return WRITER_FINISHED;
  uint32_t done = 0;
  for (uint32_t i = 0; i < pinCount_; ++i)
    if (pins_[i]->done) ++done;
  if (done == pinCount_) return WRITER_FINISHED;
  return done ? WRITER_SOME_INPUTS_FINISHED : WRITER_RUNNING;
}

int64_t CPassWriter::EndTime(uint32_t index) {
  if (index >= pinCount_) return 0;
  Lock();
  const int64_t end = pins_[index]->endTime;
  Unlock();
  return end;
}

void CPassWriter::StopThreads() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    closing_ = true;
  }
  wake_.notify_all();
  for (uint32_t i = 0; i < pinCount_; ++i)
    if (pins_[i]->thread.joinable()) pins_[i]->thread.join();
}

HRESULT CPassWriter::CloseOutput() {
  StopThreads();
  std::unique_lock<std::shared_mutex> closing(queuesLock_);  // no Receive is writing now
  for (uint32_t i = 0; i < pinCount_; ++i) {
    Pin& pin = *pins_[i];
    pin.queueOpen = false;
    if (pin.queue) pin.queue->Close();
    pin.queue.reset();
    pin.buffer.clear();
    pin.buffer.shrink_to_fit();
  }
  return failed_ ? E_PASS_QUEUE_FAILED : S_OK;
}
