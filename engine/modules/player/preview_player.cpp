#include "engine/modules/player/preview_player.h"

#include <algorithm>
#include <cstring>

#include "common/control_block.h"
#include "common/param_list.h"
#include "engine/graph/engine_control.h"
#include "engine/modules/ffmpeg/ffm_reader.h"
#include "platform/diagnostics.h"

namespace {

const char kDisplayName[128] = "Preview player";

constexpr int64_t kUnitsPerMs = 10000;
constexpr int64_t kLateLimit = 100 * kUnitsPerMs;   // later than this is dropped
constexpr int64_t kAudioAhead = 300 * kUnitsPerMs;  // audio goes to the device this early
constexpr int32_t kAudioPackets = 30;
constexpr int32_t kOtherPackets = 2;
constexpr int64_t kQueueBytes = 31457280;

std::atomic<bool> g_muted{false};

// Integer PCM the wave output plays: 8 or 16 bits, 1 to 8 channels, 8 to 192 kHz.
bool PlayableAudio(const AM_MEDIA_TYPE* type, WAVEFORMATEX* format) {
  if (type->majortype != MEDIATYPE_Audio || type->formattype != FORMAT_WaveFormatEx || !type->pbFormat ||
      type->cbFormat < sizeof(WAVEFORMATEX))
    return false;
  WAVEFORMATEX wave;
  std::memcpy(&wave, type->pbFormat, sizeof wave);
  if (wave.wFormatTag != 1 || (wave.wBitsPerSample != 8 && wave.wBitsPerSample != 16) || wave.nChannels < 1 ||
      wave.nChannels > 8 || wave.nSamplesPerSec < 8000 || wave.nSamplesPerSec > 192000)
    return false;
  // Upstream types do not always fill in the block size: it follows from the rest.
  wave.nBlockAlign = static_cast<WORD>(wave.nChannels * wave.wBitsPerSample / 8);
  wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
  wave.cbSize = 0;
  *format = wave;
  return true;
}

bool VideoHeader(const AM_MEDIA_TYPE* type, BITMAPINFOHEADER* header) {
  if (type->majortype != MEDIATYPE_Video || type->subtype != MEDIASUBTYPE_RGB24) return false;
  return GetVideoInfoBitmapHeader(type, header) && CWindowRenderer::SourceBytes(*header) != 0;
}

}  // namespace

void SetPreviewPlayerMute(bool mute) { g_muted.store(mute); }
bool PreviewPlayerMuted() { return g_muted.load(); }

IMediaModule* CPreviewPlayer::Create(CParamList* params) { return CreateOpenedModule<CPreviewPlayer>(params); }

CPreviewPlayer::~CPreviewPlayer() { Shut(); }

void CPreviewPlayer::Shut() {
  closing_.store(1);
  JoinWriterThread();  // SelectPacket and WritePacket use the members below
  for (MediaPacket*& packet : held_) {
    FreePacket(packet);
    packet = nullptr;
  }
  renderer_.End();
  CloseAudio();
}

HRESULT CPreviewPlayer::Open(CParamList* params) {
  CQueuedWriter::Open(params);
  SetRegistration(kDisplayName);
  running_ = false;
  return S_OK;
}

HRESULT CPreviewPlayer::SetParams(CParamList* params) {
  if (!params) return S_OK;
  window_ = static_cast<uint32_t>(params->GetInt("HWND", 0));
  width_ = std::max(0, params->GetInt("WIDTH", 0));
  height_ = std::max(0, params->GetInt("HEIGHT", 0));
  return S_OK;
}

HRESULT CPreviewPlayer::AddInputPin(const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (!type || inputPinCount_ >= static_cast<uint32_t>(CMediaTypeArray::kMaxPins)) return S_FALSE;
  BITMAPINFOHEADER header{};
  WAVEFORMATEX wave{};
  const bool audio = audioPin_ < 0 && PlayableAudio(type, &wave);
  const bool video = !audio && videoPin_ < 0 && VideoHeader(type, &header);
  if (!audio && !video) return S_FALSE;
  if (testOnly) return S_OK;
  const int32_t pin = static_cast<int32_t>(inputPinCount_);
  const HRESULT hr = inputTypes_.Set(pin, 1, type);
  if (hr != S_OK) return hr;
  if (audio) {
    audioPin_ = pin;
    audioFormat_ = wave;
  } else {
    videoPin_ = pin;
    videoHeader_ = header;
  }
  ++inputPinCount_;
  return S_OK;
}

HRESULT CPreviewPlayer::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CPreviewPlayer::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (!type) return E_POINTER;
  if (pin >= inputPinCount_) return E_INVALIDARG;
  return inputTypes_.Get(static_cast<int>(pin), type);
}

HRESULT CPreviewPlayer::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  if (pin >= inputPinCount_) return E_INVALIDARG;
  return OneBufferRequirements(props, inputTypes_.GetSampleSize(static_cast<int>(pin)));
}

HRESULT CPreviewPlayer::SetOutput(const char*, const int32_t*) { return S_OK; }
HRESULT CPreviewPlayer::SetOutputOption(int32_t) { return S_OK; }
HRESULT CPreviewPlayer::CloseOutput() { return S_OK; }

bool CPreviewPlayer::GetQueueLimits(uint32_t pin, int32_t* packetLimit, int64_t* byteLimit) {
  *packetLimit = static_cast<int32_t>(pin) == audioPin_ ? kAudioPackets : kOtherPackets;
  *byteLimit = kQueueBytes;
  return true;
}

HRESULT CPreviewPlayer::Run() {
  if (running_) return S_OK;
  if (!controlGiven_) {
    size_t size = 0;
    uint8_t* view = EngineControlBlock(&size);
    control_ = size >= ControlBlock::kPixels ? view : nullptr;
  }
  if (videoPin_ >= 0) renderer_.Begin(window_, width_, height_, videoHeader_);
  if (audioPin_ >= 0) OpenAudio();
  const HRESULT hr = CQueuedWriter::Run();
  if (hr != S_OK) return hr;
  running_ = true;
  return S_OK;
}

HRESULT CPreviewPlayer::Pause(int32_t pause) {
  paused_.store(pause != 0);
  return S_OK;
}

HRESULT CPreviewPlayer::Close() {
  Shut();
  return S_OK;
}

HRESULT CPreviewPlayer::Receive(uint32_t pin, IMediaSample* sample) {
  if (pin < inputPinCount_ && pin < kMaxInputPins) {
    if (!sample) {
      eosSeen_[pin].store(1);
    } else if (!IsBlankSample(sample) && sample->IsDiscontinuity() == S_OK && sample->GetActualDataLength() == 0 &&
               !eosSeen_[pin].load()) {
      // What is queued before a seek marker is never played.
      if (CPacketQueue* queue = InputQueue(pin)) queue->Clear();
    }
  }
  return CQueuedWriter::Receive(pin, sample);
}

void CPreviewPlayer::EndOfInput(uint32_t pin) {
  if (pin < kMaxInputPins) pinDone_[pin].store(1);
  CQueuedWriter::EndOfInput(pin);
}

bool CPreviewPlayer::IsSeekMarker(const MediaPacket* packet) {
  return (packet->flags & PACKET_DISCONTINUITY) && !(packet->flags & PACKET_END_OF_STREAM) && packet->length == 0;
}

bool CPreviewPlayer::HoldRequested() const {
  if (paused_.load()) return true;
  return control_ && BlockWord(control_, ControlBlock::kHold).load() != 0;
}

void CPreviewPlayer::HoldClock() {
  if (audioOpen_.load()) waveOut_->Reset();
  while (HoldRequested() && !Stopping() && !closing_.load()) clock_->SleepMs(10);
  clockBase_ = clock_->NowMs() - (audioPin_ >= 0 ? lastAudioMs_ : lastShownMs_);
}

void CPreviewPlayer::SignalQueues() {
  for (uint32_t pin = 0; pin < inputPinCount_; ++pin)
    if (CPacketQueue* queue = InputQueue(pin)) queue->Signal();
}

void CPreviewPlayer::ReportPosition(int32_t milliseconds) {
  if (control_) BlockWord(control_, ControlBlock::kReportedPosition).store(milliseconds);
}

MediaPacket* CPreviewPlayer::Head(uint32_t pin) {
  if (held_[pin]) return held_[pin];
  CPacketQueue* queue = InputQueue(pin);
  return queue ? queue->Peek() : nullptr;
}

MediaPacket* CPreviewPlayer::Take(uint32_t pin, MediaPacket* head) {
  if (held_[pin]) {
    MediaPacket* packet = held_[pin];
    held_[pin] = nullptr;
    return packet;
  }
  CPacketQueue* queue = InputQueue(pin);
  if (!queue) return nullptr;
  MediaPacket* packet = queue->Pop();
  queue->Signal();
  if (packet == head) return packet;
  // The producer cleared the queue after the look (a seek marker came): what
  // came instead is looked at next.
  held_[pin] = packet;
  return nullptr;
}

void CPreviewPlayer::FlushAtSeekMarker(uint32_t pin, MediaPacket* marker) {
  if (audioOpen_.load()) waveOut_->Reset();
  // Audio gathered for a buffer before the seek is not played after it.
  if (audioPin_ >= 0) buffers_[currentBuffer_].user = 0;
  for (uint32_t other = 0; other < inputPinCount_; ++other) {
    if (other == pin || pinDone_[other].load()) continue;
    for (;;) {
      MediaPacket* head = Head(other);
      if (!head) {
        // Its marker is still on the way: what comes before it is dropped too.
        markerOwed_[other] = true;
        break;
      }
      // An end of stream stays: the pin still has to finish.
      if (head->flags & PACKET_END_OF_STREAM) break;
      const bool isMarker = IsSeekMarker(head);
      MediaPacket* taken = Take(other, head);
      if (!taken) continue;
      FreePacket(taken);
      clock_->SleepMs(5);
      if (isMarker) break;
    }
  }
  if (control_) {
    BlockWord(control_, ControlBlock::kReportedPosition).store(kReportedFlushed);
    BlockWord(control_, ControlBlock::kSeekPending).store(0);
  }
  SignalReaderSeekDone();
  ConsoleLine("player done\n");
  clockStarted_ = false;
  waitReported_ = false;
  FreePacket(Take(pin, marker));
}

MediaPacket* CPreviewPlayer::SelectPacket(uint32_t* pinOut) {
  ApplyMute();
  if (HoldRequested()) HoldClock();
  for (uint32_t pin = 0; pin < inputPinCount_; ++pin) {
    if (!InputQueue(pin)) continue;
    for (;;) {
      MediaPacket* packet = Head(pin);
      if (!packet) {
        if (pinDone_[pin].load()) break;
        // This pin has to deliver before the later ones are looked at.
        SignalQueues();
        clock_->SleepMs(10);
        return nullptr;
      }
      if (markerOwed_[pin]) {
        // Left from before the last seek: dropped up to this pin's own marker.
        if (!(packet->flags & PACKET_END_OF_STREAM)) {
          const bool isMarker = IsSeekMarker(packet);
          MediaPacket* taken = Take(pin, packet);
          if (!taken) continue;
          FreePacket(taken);
          if (isMarker) markerOwed_[pin] = false;
          continue;
        }
        markerOwed_[pin] = false;
      }
      if (IsSeekMarker(packet)) {
        FlushAtSeekMarker(pin, packet);
        break;
      }
      if (!clockStarted_) {
        const int64_t startMs = (packet->flags & PACKET_START_VALID) ? packet->start / kUnitsPerMs : 0;
        const bool starts = videoPin_ < 0 || static_cast<int32_t>(pin) == videoPin_ || pinDone_[videoPin_].load();
        if (starts) {
          ConsoleLine("seek to tm:%.3f\n", static_cast<double>(startMs) / 1000.0);
          clockBase_ = clock_->NowMs() - startMs;
          clockStarted_ = true;
        } else if (!waitReported_) {
          ConsoleLine("not init\n");
          waitReported_ = true;
        }
      }
      if ((packet->flags & PACKET_END_OF_STREAM) || (clockStarted_ && !(packet->flags & PACKET_START_VALID))) {
        MediaPacket* taken = Take(pin, packet);
        if (!taken) continue;
        *pinOut = pin;
        return taken;
      }
      if (!clockStarted_) break;
      const int64_t now = (clock_->NowMs() - clockBase_) * kUnitsPerMs;
      const int64_t start = packet->start;
      if (start < now) {
        MediaPacket* taken = Take(pin, packet);
        if (!taken) continue;
        if (start + kLateLimit >= now) {
          const int32_t ms = static_cast<int32_t>(start / kUnitsPerMs);
          ReportPosition(ms);
          lastShownMs_ = ms;
          *pinOut = pin;
          return taken;
        }
        FreePacket(taken);
        ConsoleLine(static_cast<int32_t>(pin) == audioPin_ ? "drop audio data\n" : "drop video data\n");
        continue;
      }
      if (static_cast<int32_t>(pin) != audioPin_ || start >= now + kAudioAhead) break;  // waits for its time
      MediaPacket* taken = Take(pin, packet);
      if (!taken) continue;
      lastAudioMs_ = static_cast<int32_t>(start / kUnitsPerMs);
      if (videoPin_ < 0) ReportPosition(lastAudioMs_ > 300 ? lastAudioMs_ - 300 : lastAudioMs_);
      *pinOut = pin;
      return taken;
    }
  }
  clock_->SleepMs(1);
  return nullptr;
}

HRESULT CPreviewPlayer::WritePacket(uint32_t pin, MediaPacket* packet) {
  if (!packet || packet->length <= 0 || !packet->data) return S_OK;
  if (static_cast<int32_t>(pin) == videoPin_) {
    renderer_.Draw(packet->data, static_cast<size_t>(packet->length), packet->start);
  } else if (static_cast<int32_t>(pin) == audioPin_ && audioOpen_.load()) {
    ApplyMute();
    WriteAudio(packet->data, static_cast<uint32_t>(packet->length));
  }
  return S_OK;
}

// ---------------------------------------------------------------------------
// Wave output

void CPreviewPlayer::OnBufferDone(void* context, WaveBuffer*) {
  static_cast<CPreviewPlayer*>(context)->freeBuffers_.fetch_add(1);
}

void CPreviewPlayer::ApplyMute() {
  const bool muted = g_muted.load();
  if (muted == mutedApplied_ || !audioOpen_.load()) return;
  waveOut_->SetMute(muted);
  mutedApplied_ = muted;
}

void CPreviewPlayer::OpenAudio() {
  waveBlock_.assign(static_cast<size_t>(kWaveBufferCount) * kWaveBufferBytes, 0);
  for (int32_t i = 0; i < kWaveBufferCount; ++i) {
    buffers_[i] = WaveBuffer{};
    buffers_[i].data = waveBlock_.data() + static_cast<size_t>(i) * kWaveBufferBytes;
  }
  freeBuffers_.store(kWaveBufferCount);
  currentBuffer_ = 0;
  audioStalled_ = false;
  mutedApplied_ = false;
  waveOut_ = waveOutFactory_ ? waveOutFactory_() : CreateSdlWaveOut();
  if (waveOut_ && waveOut_->Open(audioFormat_, &CPreviewPlayer::OnBufferDone, this) == S_OK) {
    audioOpen_.store(true);
    return;
  }
  Diag(DiagLevel::kWarning, "player: no audio output, playing without sound");
  waveOut_.reset();
}

void CPreviewPlayer::WriteAudio(const uint8_t* data, uint32_t length) {
  while (length > 0) {
    WaveBuffer& buffer = buffers_[currentBuffer_];
    // The device owns the buffer's flags: unpreparing a buffer that is not prepared does nothing.
    if (waveOut_->Unprepare(&buffer) != S_OK) {
      DropStalledAudio();  // still queued: the device does not hand buffers back
      return;
    }
    const uint32_t filled = static_cast<uint32_t>(buffer.user);
    const uint32_t room = kWaveBufferBytes - filled;
    if (length < room) {
      std::memcpy(buffer.data + filled, data, length);
      buffer.user = filled + length;
      return;
    }
    std::memcpy(buffer.data + filled, data, room);
    data += room;
    length -= room;
    buffer.user = kWaveBufferBytes;
    buffer.length = kWaveBufferBytes;
    if (waveOut_->Prepare(&buffer) != S_OK || waveOut_->Write(&buffer) != S_OK) {
      DropStalledAudio();
      return;
    }
    freeBuffers_.fetch_sub(1);
    const int64_t waitFrom = clock_->NowMs();
    while (freeBuffers_.load() <= 0) {
      if (clock_->NowMs() - waitFrom >= kStallMs || closing_.load()) {
        DropStalledAudio();
        return;
      }
      ConsoleLine("sleep\n");
      clock_->SleepMs(10);
    }
    currentBuffer_ = (currentBuffer_ + 1) % kWaveBufferCount;
    buffers_[currentBuffer_].user = 0;
  }
}

void CPreviewPlayer::DropStalledAudio() {
  Diag(DiagLevel::kWarning, "player: the audio output has stalled, playing on without sound");
  audioOpen_.store(false);
  audioStalled_ = true;
  waveOut_->Reset();  // every buffer comes back
}

void CPreviewPlayer::CloseAudio() {
  if (!waveOut_) return;
  if (audioOpen_.load()) {
    // What was handed to the device plays out, for as long as a device that plays takes.
    const int64_t waitFrom = clock_->NowMs();
    while (freeBuffers_.load() < kWaveBufferCount && clock_->NowMs() - waitFrom < kStallMs) clock_->SleepMs(10);
    audioOpen_.store(false);
  }
  waveOut_->Close();
  for (WaveBuffer& buffer : buffers_) waveOut_->Unprepare(&buffer);
  waveOut_.reset();
  waveBlock_.clear();
  waveBlock_.shrink_to_fit();
}
