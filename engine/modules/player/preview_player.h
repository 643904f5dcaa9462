// CPreviewPlayer ("PLAYER"): the writer of play jobs. Shows the job's video in
// the window it was given (through CWindowRenderer) and plays its audio on the
// wave output (opened with the audio pin's format: the play jobs ask for 48 kHz,
// 16 bits, stereo), both paced by one clock that starts at the first video
// packet (the first packet of any pin without video).
//
// The control block steers it: while the hold word is nonzero (or the graph is
// paused) the audio is reset and the clock held; on release the clock restarts
// at the last audio position handed to the device. It reports the start of
// what it presents as the reported position, and answers a seek marker by
// flushing its queues, reporting 0xFFFFFF, clearing the seek-pending word and
// setting the readers' seek-done flag. A pin whose own marker has not come yet
// drops what it gets until it comes; an end of stream is never flushed.
//
// Late packets (more than 100 ms behind the clock) are dropped; audio goes to
// the device up to 300 ms ahead, in 8,192-byte buffers (20 of them). Without a
// wave output, or with one that stops taking buffers for 2 s, the audio is
// dropped and the video still paced; without a preview surface the pictures
// are dropped.
// Results: HRESULT operations answer S_OK, S_FALSE for a refused type, or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/graph/queued_writer.h"
#include "engine/modules/player/player_clock.h"
#include "engine/modules/player/window_renderer.h"
#include "platform/audio_out.h"
#include "plugin-api/media_type_helpers.h"

// Mutes every preview player's sound (silence at the same pace) or lets it play.
void SetPreviewPlayerMute(bool mute);
bool PreviewPlayerMuted();

class CPreviewPlayer : public CQueuedWriter {
 public:
  static constexpr int32_t kWaveBufferCount = 20;
  static constexpr uint32_t kWaveBufferBytes = 8192;
  static constexpr int32_t kReportedFlushed = 0xFFFFFF;
  // How long the audio may wait for a free buffer, or for the device to play
  // out at close, before the device counts as stalled (milliseconds).
  static constexpr int32_t kStallMs = 2000;
  using WaveOutFactory = std::function<std::unique_ptr<IWaveOut>()>;

  // An opened player, or null.
  static IMediaModule* Create(CParamList* params);

  // "HWND" (window id), "WIDTH", "HEIGHT" (drawing size; 0: the source's).
  HRESULT SetParams(CParamList* params) override;
  HRESULT Open(CParamList* params) override;
  // Opens the surface and the wave output, then starts the writer thread; once.
  HRESULT Run() override;
  // Nonzero holds the clock like the hold word.
  HRESULT Pause(int32_t pause) override;
  HRESULT Close() override;
  // An integer PCM audio type (8 or 16 bits, 1 to 8 channels, 8 to 192 kHz)
  // or an RGB24 video type (VideoInfo or VideoInfo2); one of each. testOnly:
  // S_OK, nothing stored.
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  // An empty discontinuity sample (a seek marker) first clears its pin's queue.
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  // One buffer of the pin's sample size, aligned to 32 bytes.
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t option) override;
  HRESULT CloseOutput() override;

  MediaPacket* SelectPacket(uint32_t* pin) override;
  HRESULT WritePacket(uint32_t pin, MediaPacket* packet) override;
  void EndOfInput(uint32_t pin) override;
  bool GetQueueLimits(uint32_t pin, int32_t* packetLimit, int64_t* byteLimit) override;

  // Before Run: the clock (default the system's), the wave output (default
  // SDL's), the control block (default the job's; null: none).
  void SetClock(IPlayerClock* clock) { clock_ = clock ? clock : &SystemPlayerClock(); }
  void SetWaveOutFactory(WaveOutFactory factory) { waveOutFactory_ = std::move(factory); }
  void SetControlBlock(uint8_t* view) {
    control_ = view;
    controlGiven_ = true;
  }

  int32_t AudioPin() const { return audioPin_; }
  int32_t VideoPin() const { return videoPin_; }
  bool AudioOpen() const { return audioOpen_.load(); }
  const CWindowRenderer& Renderer() const { return renderer_; }

 protected:
  ~CPreviewPlayer() override;

 private:
  static void OnBufferDone(void* context, WaveBuffer* buffer);
  static bool IsSeekMarker(const MediaPacket* packet);

  bool HoldRequested() const;
  void HoldClock();
  // The pin's oldest packet, left where it is; null when there is none.
  MediaPacket* Head(uint32_t pin);
  // Takes the head that Head answered; null (look again) when the queue was
  // cleared meanwhile.
  MediaPacket* Take(uint32_t pin, MediaPacket* head);
  void FlushAtSeekMarker(uint32_t pin, MediaPacket* marker);
  // Ends the writer thread and releases the surface and the wave output.
  void Shut();
  void SignalQueues();
  void ReportPosition(int32_t milliseconds);
  void ApplyMute();
  void OpenAudio();
  void WriteAudio(const uint8_t* data, uint32_t length);
  // The device took no buffer for too long: play on without it.
  void DropStalledAudio();
  void CloseAudio();

  IPlayerClock* clock_ = &SystemPlayerClock();
  WaveOutFactory waveOutFactory_;
  uint8_t* control_ = nullptr;
  bool controlGiven_ = false;

  uint32_t window_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  BITMAPINFOHEADER videoHeader_{};
  WAVEFORMATEX audioFormat_{};
  CMediaTypeArray inputTypes_;
  int32_t audioPin_ = -1;
  int32_t videoPin_ = -1;
  bool running_ = false;
  std::atomic<int32_t> paused_{0};
  std::atomic<int32_t> closing_{0};
  std::atomic<int32_t> eosSeen_[kMaxInputPins] = {};
  std::atomic<int32_t> pinDone_[kMaxInputPins] = {};

  // Writer thread.
  int32_t lastAudioMs_ = 0;
  int32_t lastShownMs_ = 0;
  bool clockStarted_ = false;
  bool waitReported_ = false;
  int64_t clockBase_ = 0;
  MediaPacket* held_[kMaxInputPins] = {};  // taken from a queue that changed under a look
  bool markerOwed_[kMaxInputPins] = {};    // flushed at another pin's marker before its own came
  CWindowRenderer renderer_;

  // Wave output.
  std::unique_ptr<IWaveOut> waveOut_;
  std::atomic<bool> audioOpen_{false};
  bool audioStalled_ = false;
  bool mutedApplied_ = false;
  std::vector<uint8_t> waveBlock_;
  WaveBuffer buffers_[kWaveBufferCount];
  std::atomic<int32_t> freeBuffers_{kWaveBufferCount};
  int32_t currentBuffer_ = 0;
};
