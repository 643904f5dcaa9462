#include "engine/modules/pass/pass_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/param_list.h"
#include "engine/graph/source_failure.h"
#include "engine/modules/pass/pass_message.h"
#include "platform/diagnostics.h"
#include "platform/process_liveness.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
// The largest picture a video pin describes (its sample size is an int32).
constexpr int64_t kMaxPictureBytes = 0x7FFFFFFF - 64;

}  // namespace

IMediaModule* CPassReader::Create(CParamList* params) { return CreateOpenedModule<CPassReader>(params); }

CPassReader::~CPassReader() { EndStreams(); }

HRESULT CPassReader::Open(CParamList*) { return S_OK; }

HRESULT CPassReader::Close() {
  EndStreams();
  return S_OK;
}

HRESULT CPassReader::SetParams(CParamList* params) {
  if (!params) return S_OK;
  width_ = params->GetInt("VWIDTH", 0);
  height_ = params->GetInt("VHEIGHT", 0);
  frameRateDen_ = params->GetInt("VFRAMERATEDEN", 0);
  frameRateNum_ = params->GetInt("VFRAMERATENUM", 0);
  sampleRate_ = params->GetInt("ASAMPLERATE", 0);
  channels_ = params->GetInt("ACHANNEL", 0);
  audioTracks_ = params->GetInt("ATRACK", 0);
  videoTracks_ = params->GetInt("VTRACK", 0);
  return S_OK;
}

uint32_t CPassReader::GetOutputPinCount() {
  const int64_t video = std::max(videoTracks_, 0);
  const int64_t audio = std::max(audioTracks_, 0);
  return static_cast<uint32_t>(std::min<int64_t>(video + audio, kMaxPins));
}

std::string CPassReader::QueueNameOf(uint32_t pin) const {
  const uint32_t videoPins = static_cast<uint32_t>(std::max(videoTracks_, 0));
  const bool video = pin < videoPins;
  return pass::QueueName(CurrentProcessId(), video, static_cast<int32_t>(video ? pin : pin - videoPins));
}

HRESULT CPassReader::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin >= GetOutputPinCount()) return S_FALSE;
  if (!type) return E_POINTER;
  AM_MEDIA_TYPE mt;
  InitMediaType(&mt);
  mt.bFixedSizeSamples = 0;
  mt.bTemporalCompression = 1;
  mt.lSampleSize = 0;
  if (pin < static_cast<uint32_t>(std::max(videoTracks_, 0))) {
    const int64_t picture = int64_t{width_} * height_ * 3 / 2;
    if (width_ <= 0 || height_ <= 0 || picture > kMaxPictureBytes) return MODULE_E_NO_TYPE;
    mt.majortype = MEDIATYPE_Video;
    mt.subtype = MEDIASUBTYPE_YV12;
    mt.formattype = FORMAT_VideoInfo;
    if (!AllocMediaTypeFormat(&mt, sizeof(VIDEOINFOHEADER))) return E_OUTOFMEMORY;
    VIDEOINFOHEADER info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 12;
    info.bmiHeader.biCompression = MakeFourcc('Y', 'V', '1', '2');
    info.bmiHeader.biSizeImage = static_cast<DWORD>(picture);
    info.AvgTimePerFrame = frameRateDen_ == 0 ? 0 : int64_t{frameRateNum_} * kUnitsPerSecond / frameRateDen_;
    std::memcpy(mt.pbFormat, &info, sizeof info);
  } else {
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = MEDIASUBTYPE_PCM;
    mt.formattype = FORMAT_WaveFormatEx;
    if (!AllocMediaTypeFormat(&mt, sizeof(WAVEFORMATEX))) return E_OUTOFMEMORY;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(channels_);
    wave.nSamplesPerSec = static_cast<DWORD>(sampleRate_);
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(channels_ * 2);
    wave.nAvgBytesPerSec = static_cast<DWORD>(channels_ * 2 * sampleRate_);
    wave.cbSize = 0;
    std::memcpy(mt.pbFormat, &wave, sizeof wave);
  }
  outputTypes_.Set(static_cast<int>(pin), 1, &mt);
  const bool copied = CopyMediaTypeDeep(type, &mt);
  ClearMediaTypeFormat(&mt);
  return copied ? S_OK : E_OUTOFMEMORY;
}

HRESULT CPassReader::SetOutputType(uint32_t pin, const AM_MEDIA_TYPE*, int32_t testOnly) {
  if (pin >= GetOutputPinCount()) return E_INVALIDARG;
  if (!testOnly) typeSet_[pin] = true;
  return S_OK;
}

HRESULT CPassReader::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }
HRESULT CPassReader::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return E_FAIL; }
HRESULT CPassReader::GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) { return MODULE_E_NO_TYPE; }

HRESULT CPassReader::Receive(uint32_t, IMediaSample* sample) {
  // Null and blank samples hold no reference.
  Ref<IMediaSample> held(sample && !IsBlankSample(sample) ? sample : nullptr);
  return E_FAIL;
}

// Samples come from the allocator the graph gives each output pin.
HRESULT CPassReader::GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES*) { return E_FAIL; }

HRESULT CPassReader::OpenFile(const char*, int32_t, int32_t) { return S_OK; }

HRESULT CPassReader::GetInfo(int64_t* duration, CParamList*) {
  if (duration) *duration = 0;
  return S_OK;
}

HRESULT CPassReader::GetStreamInfo(uint32_t, StreamInfo* info) {
  if (info) std::memset(info, 0, sizeof *info);
  return S_OK;
}

HRESULT CPassReader::Seek(uint32_t, int32_t, int32_t) { return S_OK; }

HRESULT CPassReader::Pause(int32_t) { return S_OK; }

HRESULT CPassReader::Run() {
  if (!streams_.empty()) return S_OK;
  stopping_ = false;
  HRESULT result = S_OK;
  const uint32_t pins = GetOutputPinCount();
  for (uint32_t pin = 0; pin < pins; ++pin) {
    if (!typeSet_[pin]) continue;
    auto stream = std::make_unique<Stream>();
    stream->pin = pin;
    stream->name = QueueNameOf(pin);
    const uint32_t size = static_cast<uint32_t>(outputTypes_.GetSampleSize(static_cast<int>(pin))) + pass::kOverhead;
    Diag(DiagLevel::kTrace, "Pass reader: queue %s carries messages of %u bytes", stream->name.c_str(), size);
    const XQueueResult r = stream->queue.Create(stream->name, kQueueBlocks, size);
    stream->created = r == XQueueResult::kOk;
    if (!stream->created) {
      Diag(DiagLevel::kError, "cannot create the queue \"%s\" for the merged streams (%d)\n", stream->name.c_str(),
           static_cast<int>(r));
      ReportSourceReadFailure();
      result = E_FAIL;
    }
    stream->buffer.assign(size, 0);
    streams_.push_back(std::move(stream));
  }
  std::fflush(stdout);
  // Without its queue a stream ends at once, so the job ends instead of waiting.
  for (auto& stream : streams_) stream->thread = std::thread(&CPassReader::StreamThread, this, stream.get());
  return result;
}

void CPassReader::StreamThread(Stream* stream) {
  CXQueue& queue = stream->queue;
  while (stream->created && !stream->abandon) {
    if (queue.UsedBlocks() == 0) queue.WaitServerNotify(kNotifyWaitMs);
    uint32_t length = static_cast<uint32_t>(stream->buffer.size());
    uint32_t sequence = 0, thread = 0;
    const XQueueResult r = queue.Peek(stream->buffer.data(), &length, &sequence, &thread, kPeekWaitMs);
    if (r == XQueueResult::kBufferTooSmall) {
      // A message larger than this pin's samples: taken whole, so the queue moves on.
      stream->buffer.resize(static_cast<size_t>(length) + 4);
      continue;
    }
    if (r == XQueueResult::kDamaged) {
      Diag(DiagLevel::kError, "the queue \"%s\" of the merged streams is damaged\n", stream->name.c_str());
      ReportSourceReadFailure();
      break;
    }
    if (r != XQueueResult::kOk) continue;
    pass::MessageHeader header;
    if (!pass::DecodeHeader(stream->buffer.data(), length, &header)) {
      Diag(DiagLevel::kWarning, "Pass reader: a message in the queue %s has a bad header; dropped",
           stream->name.c_str());
      continue;
    }
    if (header.flags & pass::kEndOfSegment) {
      stream->offset += header.start;
      continue;
    }
    if (header.flags & pass::kStop) break;
    DeliverMessage(*stream, header);
  }
  Deliver(stream->pin, nullptr);
}

void CPassReader::DeliverMessage(Stream& stream, const pass::MessageHeader& header) {
  IMemAllocator* allocator = OutputAllocator(stream.pin);
  if (!allocator) return;
  Ref<IMediaSample> sample;
  if (allocator->GetBuffer(sample.Out(), nullptr, nullptr, 0) != S_OK || !sample) return;
  BYTE* data = nullptr;
  if (sample->GetPointer(&data) != S_OK || !data || header.length > sample->GetSize()) {
    Diag(DiagLevel::kWarning, "Pass reader: a sample of %d bytes from the queue %s does not fit its buffer; dropped",
         header.length, stream.name.c_str());
    return;
  }
  std::memcpy(data, stream.buffer.data() + pass::kHeaderBytes, static_cast<size_t>(header.length));
  sample->SetActualDataLength(header.length);
  REFERENCE_TIME start = header.start + stream.offset;
  REFERENCE_TIME stop = header.stop + stream.offset;
  if (header.flags & pass::kStartValid) sample->SetTime(&start, (header.flags & pass::kStopValid) ? &stop : nullptr);
  sample->SetDiscontinuity((header.flags & pass::kDiscontinuity) != 0);
  sample->SetSyncPoint((header.flags & pass::kSyncPoint) != 0);
  sample->SetPreroll((header.flags & pass::kPreroll) != 0);
  Deliver(stream.pin, sample.Detach());
}

HRESULT CPassReader::Stop() {
  if (stopping_.exchange(true)) return S_OK;
  // Each stream ends after the messages already queued.
  uint8_t message[pass::kOverhead] = {};
  pass::MessageHeader header;
  header.flags = pass::kStop;
  pass::EncodeHeader(header, message);
  for (auto& stream : streams_) {
    if (!stream->created) continue;
    stream->queue.Unlock();
    if (stream->queue.Write(message, sizeof message, kStopWriteTries) != XQueueResult::kOk) stream->abandon = true;
  }
  return S_OK;
}

void CPassReader::EndStreams() {
  Stop();
  for (auto& stream : streams_) {
    if (stream->thread.joinable()) stream->thread.join();
    stream->queue.Close();
  }
  streams_.clear();
}
