// Wave output: PCM buffers queued to an audio device and played in order; each
// buffer comes back through a done callback once it has been played (or
// returned by Reset). CreateSdlWaveOut opens SDL2's default output, chosen by
// SDL's own environment (SDL_AUDIODRIVER: "disk" and "dummy" need no sound
// card). CWaveQueue is the device-independent part: a device calls Pull for
// the bytes it plays next. Results: HRESULT, S_OK or a failure code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/media_types.h"
#include "platform/win_types.h"

// The device could not be opened (no audio device, or the format refused).
constexpr HRESULT WAVE_E_NO_DEVICE = MakeHResult(0x80040301u);
// The buffer is still queued to the device.
constexpr HRESULT WAVE_E_STILL_PLAYING = MakeHResult(0x80040302u);
// The output is not open.
constexpr HRESULT WAVE_E_NOT_OPEN = MakeHResult(0x80040303u);

enum : uint32_t {
  WAVE_BUFFER_DONE = 0x01,      // handed back by the device
  WAVE_BUFFER_PREPARED = 0x02,  // may be written
  WAVE_BUFFER_QUEUED = 0x10,    // written, not yet handed back
};

struct WaveBuffer {
  uint8_t* data = nullptr;
  uint32_t length = 0;  // bytes to play
  uintptr_t user = 0;   // the caller's
  uint32_t flags = 0;   // WAVE_BUFFER_*
};

// Runs on the device's thread (or in Reset) once for every buffer handed back.
using WaveDoneCallback = void (*)(void* context, WaveBuffer* buffer);

class IWaveOut {
 public:
  virtual ~IWaveOut() = default;
  // Opens the device for the format; done is called for every buffer handed back.
  virtual HRESULT Open(const WAVEFORMATEX& format, WaveDoneCallback done, void* context) = 0;
  virtual HRESULT Prepare(WaveBuffer* buffer) = 0;
  // WAVE_E_STILL_PLAYING while the buffer is queued.
  virtual HRESULT Unprepare(WaveBuffer* buffer) = 0;
  // Queues a prepared buffer behind the others.
  virtual HRESULT Write(WaveBuffer* buffer) = 0;
  // Hands every queued buffer back at once, marked done.
  virtual HRESULT Reset() = 0;
  // Resets, then closes the device.
  virtual HRESULT Close() = 0;
  // While muted the device plays silence in place of the data, at the same pace.
  virtual void SetMute(bool mute) = 0;
};

// The buffer queue of a wave output; derived classes open and close the device.
class CWaveQueue : public IWaveOut {
 public:
  HRESULT Open(const WAVEFORMATEX& format, WaveDoneCallback done, void* context) override;
  HRESULT Prepare(WaveBuffer* buffer) override;
  HRESULT Unprepare(WaveBuffer* buffer) override;
  HRESULT Write(WaveBuffer* buffer) override;
  HRESULT Reset() override;
  HRESULT Close() override;
  void SetMute(bool mute) override;

  // Fills `bytes` at out with the queued data in order, silence past its end
  // (and in its place while muted), handing back each buffer it finishes.
  // Answers how many bytes came from buffers.
  size_t Pull(uint8_t* out, size_t bytes);
  bool IsOpen();
  // Buffers queued and not yet handed back.
  size_t QueuedCount();

 protected:
  virtual HRESULT OpenDevice(const WAVEFORMATEX& format) = 0;
  virtual void CloseDevice() = 0;

 private:
  // Hands the buffers back outside the lock.
  void HandBack(std::deque<WaveBuffer*>& done);

  std::mutex lock_;
  std::deque<WaveBuffer*> queue_;
  size_t headOffset_ = 0;  // bytes of the head buffer already played
  WaveDoneCallback done_ = nullptr;
  void* context_ = nullptr;
  bool open_ = false;
  bool muted_ = false;
  uint8_t silence_ = 0;
};

// SDL2's default audio output. A device whose close does not finish within
// a second (a stalled driver) is left to close on its own thread.
std::unique_ptr<IWaveOut> CreateSdlWaveOut();
