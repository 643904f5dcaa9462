// CFFMReader: the reader module over FFmpeg's demuxers. Opens a file or an
// FFmpeg URL, exposes one output pin per video, audio or subpicture stream
// (at most 20) and delivers compressed packets from a reader thread through
// one stream pump per enabled output. Every packet carries its presentation
// time (sample time) and, when known, its decode time (sample media time).
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/modules/ffmpeg/ffm_source_checks.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "plugin-api/media_module.h"

class CStreamPump;
struct MediaPacket;

// OpenFile: the input cannot be opened (also: the path is not a regular file).
constexpr HRESULT FFM_E_CANNOT_OPEN = MakeHResult(0x80040081u);
// OpenFile: the input opened but its streams could not be found (a file no reader recognises).
constexpr HRESULT FFM_E_NO_STREAMS = MakeHResult(0x80040012u);

// Process-wide flag set by whoever consumes a seek's discontinuity marker
// (the preview player); every reader seek clears it and waits up to 3 s for it.
void SignalReaderSeekDone();
bool ReaderSeekDone();

// Special cases of some reader rows, chosen by the catalogue that makes the reader.
enum class FFReaderVariant {
  kPlain,
  kFlac,     // no pre-roll seek before the start; an untimed first packet starts the stream
  kRawH264,  // untimed packets take their times from a frame counter
};

class CFFMReader : public CReaderModule {
 public:
  static constexpr int64_t kDefaultEndTime = 167772150000000;  // 16,777,215 s
  static constexpr int32_t kUnmapped = 255;

  // A new module, opened; null when out of memory.
  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Stop() override;
  HRESULT Pause(int32_t pause) override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override { return 0; }
  uint32_t GetOutputPinCount() override { return static_cast<uint32_t>(outputCount_); }
  // No input side.
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_INVALIDARG; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return E_INVALIDARG; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_INVALIDARG; }
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  HRESULT SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) override;

  HRESULT OpenFile(const char* path, int32_t startSeconds, int32_t endSeconds) override;
  HRESULT GetInfo(int64_t* duration, CParamList* info) override;
  HRESULT GetStreamInfo(uint32_t stream, StreamInfo* info) override;
  // Stores the target for the reader thread, clamped to the source: a target
  // before 0 seeks to 0, one at or past the source's duration ends the input
  // (an end of stream, not a seek).
  HRESULT Seek(uint32_t timeLow, int32_t timeHigh, int32_t flags) override;

  // Performs a seek on the reader thread.
  virtual HRESULT DoSeek(uint32_t timeLow, int32_t timeHigh, int32_t flags);
  virtual int32_t NeedsReopenAfterEnd() { return 0; }

  void SetVariant(FFReaderVariant variant) { variant_ = variant; }
  FFReaderVariant Variant() const { return variant_; }
  // The FFmpeg stream index behind an output pin, -1 when out of range.
  int32_t OutputStream(uint32_t pin) const;
  int64_t TimeOffset() const { return timeOffset_; }

 protected:
  CFFMReader();
  ~CFFMReader() override;

  // Opens the input behind path: files and FFmpeg URLs here; a DVD reader
  // opens its "dvd:" paths through FFDemuxer::OpenCustom. 0 or an FFmpeg error.
  virtual int OpenInput(const char* path);
  // Re-opens the input at its start (after the end, for NeedsReopenAfterEnd).
  virtual int ReopenInput();

  // Maps the probed streams to output pins (streams_ and the two maps).
  virtual void MapStreams();
  // A packet came from a stream the demuxer added after the probe (index
  // beyond the map): true when the map now covers it.
  virtual bool BindLateStream(int stream) {
    (void)stream;
    return false;
  }
  // The input gave no more packets (end, read error or stop).
  virtual void OnInputEnd() {}
  // Continuity mode: the input's own word on how its stamps jump before the packet at a byte
  // position (data it had to skip): true with the amount (100-ns units) to add to the time
  // offset, which then replaces the guess from the jump itself.
  virtual bool StampJumpBefore(int64_t position, int64_t* shift) {
    (void)position;
    (void)shift;
    return false;
  }
  // Continuity mode: the clock (100 ns) where the input's time line begins, when the input knows it
  // (the first picture of a DVD range); else the first packet's time is taken.
  virtual bool OriginClock(int64_t* clock) {
    (void)clock;
    return false;
  }
  // Continuity mode: where the input's range ends on the time line (100 ns), once it knows.
  virtual bool RangeEnd(int64_t* end) {
    (void)end;
    return false;
  }
  // The input's next stamp jump still ahead of the reading (position and amount), without taking it.
  virtual bool PendingStampJump(int64_t* position, int64_t* shift) {
    (void)position;
    (void)shift;
    return false;
  }
  // Start of every seek: clears the seek-done flag, empties each pump and
  // queues a discontinuity marker.
  void BeginSeek();
  // Stops the reader thread, ends the pumps and closes the input (a derived
  // reader's destructor calls it while its own input still exists).
  void StopReading();
  bool Closing() const { return closing_.load() != 0; }
  bool StopRequested() const { return stopRequest_.load() != 0; }
  // The output type of a stream's codec (DVD subpictures included).
  static HRESULT OutputTypeOf(const CodecContext& codec, AM_MEDIA_TYPE* type);

  FFDemuxer demuxer_;
  std::string path_;

  // Reader state, in the module's order.
  int32_t continuityMode_ = 0;
  int64_t lastTime_ = 0;
  int32_t haveLastTime_ = 0;
  int64_t timeOffset_ = 0;
  int64_t jumpPosition_ = 0;  // byte position of the last stamp jump the input reported
  int64_t offsetBeforeJump_ = 0;
  bool rangeEndTaken_ = false;

  // Stream table: outputToStream_ is -1 for an output whose stream has not
  // appeared yet.
  int32_t outputToStream_[kMaxOutputPins] = {};
  std::vector<int32_t> streamToOutput_;  // one entry per FFmpeg stream
  std::vector<FFStreamDesc> streams_;
  int32_t outputCount_ = 0;
  int64_t startTime_ = 0;
  int64_t endTime_ = kDefaultEndTime;
  int32_t hasEndTime_ = 0;

 private:
  struct OutputSink {
    CFFMReader* reader;
    uint32_t pin;
  };

  // Why ReadPacket found no more packets (kFailed: the source is not what it declares).
  enum class InputEnd { kNone, kInput, kStopped, kEndTime, kPastEnd, kFailed };

  // A packet read from the input with its times on the reader's time line (100 ns, before the
  // start cut), waiting to be admitted to its output.
  struct Demuxed {
    MediaPacket* packet = nullptr;  // the bytes; flags and times are set on admission
    int32_t out = 0;
    int32_t codecType = 0;
    bool key = false;
    bool timed = false;
    bool hasDecode = false;
    bool reference = false;     // an MPEG picture that is not a B picture
    bool waitsForTime = false;  // an MPEG picture whose presentation time a later packet gives
    int64_t time = 0;
    int64_t decode = 0;
    int64_t duration = 0;     // 0 when unknown
    int64_t inputOffset = 0;  // the time offset its times were taken with
  };
  static constexpr size_t kMaxHeldPackets = 64;
  // The longest group of pictures a start cut decodes from its key frame.
  static constexpr size_t kMaxPrerollPackets = 1000;

  void ResetStreamState();
  // A packet for an output, or null at the end (outputIndex receives the pin;
  // inputEnd_ says why).
  MediaPacket* ReadPacket(int32_t* outputIndex);
  // The next packet of an enabled output with its times; false at the end (inputEnd_ says why).
  bool Demux(Demuxed* d);
  // Continuity mode: the time offset of the packet just read, whose decode time is t.
  int64_t ContinuityOffset(int32_t out, int64_t t);
  // A reference picture gives its decode time to the newest picture of its output that waits.
  void ResolveWaiting(const Demuxed& reference);
  // A waiting picture whose next reference picture did not come (atEnd: the input ended).
  void GiveFallbackTime(Demuxed& d, bool atEnd);
  void ClearHeld();
  // The start and end cuts; the packet, or null when it is dropped (allEnded: every output ended).
  MediaPacket* Admit(Demuxed& d, int32_t* outputIndex, bool* allEnded);
  // The packet with its flags and times relative to the start (preroll: before the start).
  MediaPacket* Finish(Demuxed& d, bool preroll);
  // Before a video output's start: keeps the packets from the last key frame on.
  void KeepForPreroll(Demuxed& d);
  void ClearPreroll(int32_t out);
  MediaPacket* TakeReady(int32_t* outputIndex);
  // After the input ended on its own: a source whose streams end more than
  // 5 % of the range before the end they declare is reported as cut short.
  void CheckDeclaredEnd();
  // The end (100 ns, time of the input) the enabled streams declare, or
  // kNoTimestamp when it is not known well enough to judge by.
  int64_t DeclaredEnd() const;
  bool QueuesFull();
  void ThreadMain();
  void PushEndOfStream();
  void WaitForPumps();
  // Waits (a bounded time) until the pump of a sparse output has delivered
  // what was pushed to it.
  void WaitDelivered(int32_t out);
  int64_t ToUnits(int64_t ts, FFRational tb) const;
  static HRESULT DeliverThunk(IMediaSample* sample, void* context);

  std::atomic<int32_t> seekRequest_{0};
  std::atomic<int32_t> pastEndRequest_{0};  // a seek at or past the end: the input ends
  InputEnd inputEnd_ = InputEnd::kNone;
  int64_t deliveredEnd_ = kNoTimestamp;  // latest packet end delivered (100 ns, time of the input)
  std::atomic<int64_t> seekTarget_{0};
  std::atomic<int32_t> seekFlags_{0};
  CStreamPump* pump_[kMaxOutputPins] = {};
  int32_t outputEnabled_[kMaxOutputPins] = {};
  int32_t synthTimes_[kMaxOutputPins] = {};
  int32_t frameCounter_[kMaxOutputPins] = {};
  int32_t countsForReadiness_[kMaxOutputPins] = {};
  CRawPictureGuard rawGuard_[kMaxOutputPins];
  std::thread thread_;
  std::atomic<bool> threadRunning_{false};
  int32_t started_[kMaxOutputPins] = {};
  int32_t ended_[kMaxOutputPins] = {};
  std::atomic<int32_t> stopRequest_{0};
  std::atomic<int32_t> pauseRequest_{0};
  std::atomic<int32_t> closing_{0};
  FFReaderVariant variant_ = FFReaderVariant::kPlain;

  // Delivery: the graph's callbacks, wrapped to see each end of stream.
  DeliverCallback downstream_[kMaxOutputPins] = {};
  void* downstreamContext_[kMaxOutputPins] = {};
  OutputSink sinks_[kMaxOutputPins] = {};
  std::atomic<int32_t> livePumps_{0};
  // Packets pushed to and samples delivered by each pump since Run or the last seek.
  int64_t pushed_[kMaxOutputPins] = {};
  std::atomic<int64_t> delivered_[kMaxOutputPins] = {};
  FFPacket packet_;
  // Packets read ahead while an MPEG picture waits for its presentation time (reader thread).
  std::deque<Demuxed> held_;
  std::deque<Demuxed> preroll_[kMaxOutputPins];         // since the last key frame before the start
  std::deque<std::pair<int32_t, MediaPacket*>> ready_;  // admitted packets (output, packet) to hand out
  int64_t lastReferenceDelay_[kMaxOutputPins] = {};     // pts - dts of the last reference picture
  int64_t lastDecode_[kMaxOutputPins] = {};
  // Continuity mode: decode time and duration of each output's last packet.
  int64_t lastDecodeOnLine_[kMaxOutputPins] = {};
  int64_t lastDuration_[kMaxOutputPins] = {};
};

IMediaModule* CreateFFmpegReader(CParamList* params, FFReaderVariant variant = FFReaderVariant::kPlain);
