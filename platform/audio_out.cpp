#include "platform/audio_out.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <thread>

#include "platform/diagnostics.h"

// ---------------------------------------------------------------------------
// CWaveQueue

HRESULT CWaveQueue::Open(const WAVEFORMATEX& format, WaveDoneCallback done, void* context) {
  if (format.wFormatTag != 1 || format.nChannels == 0 || format.nSamplesPerSec == 0 ||
      (format.wBitsPerSample != 8 && format.wBitsPerSample != 16))
    return E_INVALIDARG;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (open_) return E_UNEXPECTED;
    done_ = done;
    context_ = context;
    headOffset_ = 0;
    silence_ = format.wBitsPerSample == 8 ? 0x80 : 0;
  }
  const HRESULT hr = OpenDevice(format);
  if (hr != S_OK) return hr;
  std::lock_guard<std::mutex> guard(lock_);
  open_ = true;
  return S_OK;
}

HRESULT CWaveQueue::Prepare(WaveBuffer* buffer) {
  if (!buffer || (!buffer->data && buffer->length != 0)) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  buffer->flags |= WAVE_BUFFER_PREPARED;
  return S_OK;
}

HRESULT CWaveQueue::Unprepare(WaveBuffer* buffer) {
  if (!buffer) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  if (buffer->flags & WAVE_BUFFER_QUEUED) return WAVE_E_STILL_PLAYING;
  buffer->flags &= ~WAVE_BUFFER_PREPARED;
  return S_OK;
}

HRESULT CWaveQueue::Write(WaveBuffer* buffer) {
  if (!buffer) return E_POINTER;
  std::lock_guard<std::mutex> guard(lock_);
  if (!open_) return WAVE_E_NOT_OPEN;
  if (!(buffer->flags & WAVE_BUFFER_PREPARED) || (buffer->flags & WAVE_BUFFER_QUEUED)) return E_INVALIDARG;
  buffer->flags = (buffer->flags & ~WAVE_BUFFER_DONE) | WAVE_BUFFER_QUEUED;
  queue_.push_back(buffer);
  return S_OK;
}

HRESULT CWaveQueue::Reset() {
  std::deque<WaveBuffer*> done;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!open_) return WAVE_E_NOT_OPEN;
    done.swap(queue_);
    headOffset_ = 0;
  }
  HandBack(done);
  return S_OK;
}

HRESULT CWaveQueue::Close() {
  if (!IsOpen()) return WAVE_E_NOT_OPEN;
  Reset();
  CloseDevice();
  std::deque<WaveBuffer*> done;
  {
    std::lock_guard<std::mutex> guard(lock_);
    open_ = false;
    done.swap(queue_);  // written while the device closed
  }
  HandBack(done);
  return S_OK;
}

void CWaveQueue::SetMute(bool mute) {
  std::lock_guard<std::mutex> guard(lock_);
  muted_ = mute;
}

bool CWaveQueue::IsOpen() {
  std::lock_guard<std::mutex> guard(lock_);
  return open_;
}

size_t CWaveQueue::QueuedCount() {
  std::lock_guard<std::mutex> guard(lock_);
  return queue_.size();
}

size_t CWaveQueue::Pull(uint8_t* out, size_t bytes) {
  std::deque<WaveBuffer*> done;
  size_t played = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    while (played < bytes && !queue_.empty()) {
      WaveBuffer* head = queue_.front();
      const size_t left = head->length > headOffset_ ? head->length - headOffset_ : 0;
      const size_t take = std::min(left, bytes - played);
      if (take != 0) {
        if (muted_)
          std::memset(out + played, silence_, take);
        else
          std::memcpy(out + played, head->data + headOffset_, take);
      }
      played += take;
      headOffset_ += take;
      if (headOffset_ >= head->length) {
        queue_.pop_front();
        headOffset_ = 0;
        done.push_back(head);
      }
    }
  }
  if (played < bytes) std::memset(out + played, silence_, bytes - played);
  HandBack(done);
  return played;
}

void CWaveQueue::HandBack(std::deque<WaveBuffer*>& done) {
  for (WaveBuffer* buffer : done) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      buffer->flags = (buffer->flags & ~WAVE_BUFFER_QUEUED) | WAVE_BUFFER_DONE;
    }
    if (done_) done_(context_, buffer);
  }
  done.clear();
}

// ---------------------------------------------------------------------------
// SDL2 device

namespace {

constexpr int kCloseWaitMs = 1000;
constexpr Uint16 kDeviceFrames = 1024;

// SDL's subsystem counting is not thread-safe.
std::mutex& SdlInitLock() {
  static std::mutex lock;
  return lock;
}

// What SDL's audio thread reaches: it outlives the wave output when the
// device does not close in time.
struct SdlLink {
  std::mutex lock;
  CWaveQueue* owner = nullptr;
  uint8_t silence = 0;
};

void SDLCALL FillDeviceBuffer(void* userdata, Uint8* stream, int length) {
  auto* link = static_cast<SdlLink*>(userdata);
  if (length <= 0) return;
  std::lock_guard<std::mutex> guard(link->lock);
  if (link->owner)
    link->owner->Pull(stream, static_cast<size_t>(length));
  else
    std::memset(stream, link->silence, static_cast<size_t>(length));
}

class CSdlWaveOut final : public CWaveQueue {
 public:
  ~CSdlWaveOut() override {
    if (IsOpen()) Close();
  }

 protected:
  HRESULT OpenDevice(const WAVEFORMATEX& format) override {
    {
      std::lock_guard<std::mutex> guard(SdlInitLock());
      SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");  // the program's signals stay its own
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        Diag(DiagLevel::kWarning, "no audio output: %s", SDL_GetError());
        return WAVE_E_NO_DEVICE;
      }
    }
    auto* link = new SdlLink;
    link->owner = this;
    link->silence = format.wBitsPerSample == 8 ? 0x80 : 0;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(format.nSamplesPerSec);
    want.format = format.wBitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    want.channels = static_cast<Uint8>(std::min<int>(format.nChannels, 255));
    want.samples = kDeviceFrames;
    want.callback = FillDeviceBuffer;
    want.userdata = link;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts to whatever the device wants.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
      Diag(DiagLevel::kWarning, "the audio output cannot be opened: %s", SDL_GetError());
      delete link;
      std::lock_guard<std::mutex> guard(SdlInitLock());
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return WAVE_E_NO_DEVICE;
    }
    link_ = link;
    SDL_PauseAudioDevice(device_, 0);
    return S_OK;
  }

  void CloseDevice() override {
    if (device_ == 0) return;
    {
      std::lock_guard<std::mutex> guard(link_->lock);
      link_->owner = nullptr;  // from now on the device plays silence
    }
    struct Closing {
      std::mutex lock;
      std::condition_variable cv;
      bool done = false;
    };
    auto closing = std::make_shared<Closing>();
    const SDL_AudioDeviceID device = device_;
    SdlLink* link = link_;
    device_ = 0;
    link_ = nullptr;
    std::thread closer([closing, device, link] {
      SDL_CloseAudioDevice(device);  // joins SDL's audio thread
      delete link;
      {
        std::lock_guard<std::mutex> guard(SdlInitLock());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
      }
      std::lock_guard<std::mutex> guard(closing->lock);
      closing->done = true;
      closing->cv.notify_all();
    });
    std::unique_lock<std::mutex> wait(closing->lock);
    if (closing->cv.wait_for(wait, std::chrono::milliseconds(kCloseWaitMs), [&] { return closing->done; })) {
      wait.unlock();
      closer.join();
    } else {
      wait.unlock();
      Diag(DiagLevel::kWarning, "the audio output did not close in time and is left to close on its own");
      closer.detach();
    }
  }

 private:
  SDL_AudioDeviceID device_ = 0;
  SdlLink* link_ = nullptr;
};

}  // namespace

std::unique_ptr<IWaveOut> CreateSdlWaveOut() { return std::make_unique<CSdlWaveOut>(); }
