// CFFMDecoder: the transform module that runs one FFmpeg decoder (or one of
// our own audio codecs for AAC and AMR) and delivers raw I420, YV12 or BGR24
// pictures, or interleaved PCM, in the format its output pin announced.
// Parameters: "MAJORTYPE" (0 video, 1 audio), "MINORTYPE" (the codec id),
// "FIXEDCODEC" (1: every input type is that codec, known to the codec table or not).
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>
#include <memory>
#include <queue>
#include <vector>

#include "engine/modules/codecs/audio_codec_core.h"
#include "engine/modules/ffmpeg/ffm_audio_converter.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

class CFFMDecoder final : public CSingleTransformModule {
 public:
  static constexpr int32_t kPcmBufferBytes = 192000;
  // Gaps and overlaps of audio time stamps tolerated, in 100-ns units (0.1 s).
  static constexpr int64_t kGapTolerance = 1000000;
  // Longest gap between pictures that the last picture fills (100-ns units, 10 minutes).
  static constexpr int64_t kMaxHeldGap = 6000000000;

  // Factory of the registry: a new decoder opened with the row's parameters.
  static IMediaModule* Create(CParamList* params);

  CFFMDecoder() = default;

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Stop() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;

  // For tests: what the decoder delivers.
  bool RgbOutput() const { return rgbOutput_ != 0; }
  int32_t OutputWidth() const { return outWidth_; }
  int32_t OutputHeight() const { return outHeight_; }

 protected:
  ~CFFMDecoder() override;

 private:
  // Opens the codec for the context (FFmpeg's or ours); 0 or a negative error.
  int OpenCodec(const CodecContext& ctx);
  void FreeCodec();
  void ChooseOutput();
  HRESULT SeekMarker(Ref<IMediaSample> sample);
  HRESULT ReceiveVideo(Ref<IMediaSample> sample);
  HRESULT ReceiveAudio(Ref<IMediaSample> sample);
  HRESULT EndOfStream();
  // Copies the sample's bytes into packet_ with its start time and releases the
  // sample; false when the packet cannot be allocated.
  bool PacketFromSample(Ref<IMediaSample> sample, const BYTE* data, LONG length, bool hasStart, REFERENCE_TIME start);
  // Sends one packet (null: drain) and delivers every frame that comes out.
  HRESULT DecodePacket(AVPacket* packet);
  HRESULT DeliverPicture(const AVFrame* frame);
  // Converts one picture into an output sample stamped start..stop and delivers it.
  HRESULT DeliverPictureAt(const AVFrame* frame, int64_t start, int64_t stop);
  HRESULT DeliverAudioFrame(const AVFrame* frame);
  // Delivers converted PCM in whole sample frames, stamped from the counter.
  HRESULT DeliverPcm(const uint8_t* data, size_t bytes);
  HRESULT DeliverSilence(int64_t frames);
  Ref<IMediaSample> NewOutputSample();
  int64_t CounterTime() const;

  int32_t sampleRate_ = 0;
  int32_t fillGaps_ = 0;
  // Video whose stamps may leave gaps (a damaged disc's skipped span): the last picture is held
  // over a gap, repeated frame by frame, so that the pictures keep the timeline.
  bool holdPictures_ = false;
  bool prerollSeen_ = false;        // pictures before a start cut come in: those before 0 are dropped
  AVFrame* heldPicture_ = nullptr;  // a reference to the last picture delivered
  int32_t resyncCounter_ = 0;
  SwsContext* scaler_ = nullptr;
  int32_t rgbOutput_ = 0;
  int32_t channelLimit_ = 0;
  int32_t yv12Output_ = 0;
  AVCodecContext* codecContext_ = nullptr;
  std::unique_ptr<uint8_t[]> pcmBuffer_;
  int32_t majorType_ = -1;
  int32_t minorType_ = 0;
  // "FIXEDCODEC": the input is always decoded as minorType_.
  bool fixedCodec_ = false;
  int64_t sampleCounter_ = 0;

  CodecContext context_;  // from the input type
  std::unique_ptr<IAudioDecoderCore> core_;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  // Start times of packets not yet decoded, smallest first: pictures leave the
  // codec in display order and take them in that order.
  std::priority_queue<int64_t, std::vector<int64_t>, std::greater<int64_t>> pendingTimes_;
  int64_t nextVideoTime_ = 0;
  int64_t frameDuration_ = 0;
  int32_t outWidth_ = 0;
  int32_t outHeight_ = 0;
  int32_t outChannels_ = 0;
  int32_t outBits_ = 16;
  bool outputChosen_ = false;
  bool loggedFirstOutput_ = true;
  // Decode errors: printed, the first kLoggedDecodeErrors of a stream also logged.
  static constexpr int kLoggedDecodeErrors = 3;
  int decodeErrors_ = 0;
  int64_t packetsIn_ = 0;  // packets with data since the last end of stream
  // Untimed audio packets dropped while waiting to re-base after a seek.
  static constexpr int kUntimedAfterSeek = 8;
  int untimedAfterSeek_ = 0;
  void DecodeError(const char* format, ...) __attribute__((format(printf, 2, 3)));
  CFFMAudioConverter converter_;
  std::vector<uint8_t> converted_;
  std::vector<int16_t> coreSamples_;
};
