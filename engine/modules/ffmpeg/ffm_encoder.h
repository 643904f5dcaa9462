// CFFMEncoder: the transform module that runs one FFmpeg encoder (or one of
// our own AMR encoders) on raw I420/YV12 pictures or 16-bit PCM, converting
// them to the codec's input format, and delivers coded packets.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/modules/codecs/audio_codec_core.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;
struct SwsContext;

class CFFMEncoder final : public CSingleTransformModule {
 public:
  static constexpr int32_t kBufferBytes = 192000;
  static constexpr int32_t kFifoBytes = 768000;

  static IMediaModule* Create(CParamList* params);

  CFFMEncoder() = default;

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

 protected:
  ~CFFMEncoder() override;

 private:
  struct Times {
    int64_t start;
    int64_t stop;
  };

  bool IsOpen() const { return codecContext_ != nullptr || core_ != nullptr; }
  HRESULT ReceiveVideo(Ref<IMediaSample> sample);
  HRESULT ReceiveAudio(Ref<IMediaSample> sample);
  // Encodes whole frames from the FIFO; at the end the rest, padded where the codec needs whole frames.
  HRESULT EncodeFifo(bool final);
  HRESULT EncodeAudioFrame(const uint8_t* pcm, int32_t frames);
  // Sends a frame (null: drain) and delivers every packet that comes out.
  HRESULT SendFrame(AVFrame* frame);
  // newType (not taken over): the codec data changed; a packet without data
  // still carries it.
  HRESULT DeliverPacket(const uint8_t* data, int32_t size, bool key, int64_t start, int64_t stop, int64_t decodeTime,
                        AM_MEDIA_TYPE* newType = nullptr);
  // The output type, with other codec data when extradata is given.
  HRESULT OutputType(const uint8_t* extradata, size_t extradataSize, AM_MEDIA_TYPE* type);
  HRESULT EndOfStream();
  int64_t AudioTime(int64_t samples) const;

  int32_t interlaced_ = 0;
  int32_t bottomFieldFirst_ = 0;
  int32_t pulldown_ = 0;
  int32_t swapChroma_ = 0;
  std::unique_ptr<uint8_t[]> frameBuffer_;
  std::unique_ptr<uint8_t[]> spareBuffer_;
  std::vector<uint8_t> audioFifo_;  // 16-bit interleaved PCM
  AVCodecContext* codecContext_ = nullptr;
  int32_t majorType_ = -1;
  int32_t minorType_ = 0;
  int64_t sampleCounter_ = 0;

  CodecContext context_;  // from the input type
  std::unique_ptr<IAudioEncoderCore> core_;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  SwrContext* swr_ = nullptr;
  SwsContext* scaler_ = nullptr;
  int64_t frameIndex_ = 0;
  int64_t nextStart_ = 0;
  int64_t frameDuration_ = 400000;
  std::map<int64_t, Times> times_;  // by picture number
  bool ended_ = false;
  int64_t skippedPictures_ = 0;  // pictures whose size did not match the input type
  // Seeks: the decoders' discontinuity marker drains the codec, opens it again
  // with the same parameters and marks the next packet as a discontinuity.
  HRESULT Restart();
  std::string params_;
  bool rebase_ = false;  // audio: the next sample's time sets the sample counter
  bool markDiscontinuity_ = false;
  // A seek never writes a stretch of the source twice: after one, what lies
  // before the end of the source time already encoded is dropped.
  bool sought_ = false;
  int64_t encodedEnd_ = INT64_MIN;  // source time, 100 ns; INT64_MIN: nothing yet
};
