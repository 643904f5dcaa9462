// CMpeg4Encoder: MPEG-4 Part 2 (Simple/Advanced Simple Profile) video encoder
// over FFmpeg's mpeg4 encoder. Takes planar 4:2:0 pictures (YV12 or I420) and
// delivers coded pictures tagged "XVID", with presentation and decode times.
// Results: HRESULT operations answer S_OK or a failure code.
#pragma once

#include <cstdint>

#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// The output FOURCC: read as MPEG-4 video by common players in AVI.
constexpr uint32_t kMpeg4OutputFourcc = MakeFourcc('X', 'V', 'I', 'D');

class CMpeg4Encoder : public CSingleTransformModule {
 public:
  static IMediaModule* Create(CParamList* params);

  CMpeg4Encoder();

  // Keys: "BITRATE"/"RATE" (bit/s), "MAX_RATE", "MIN_RATE", "BUFFER_SIZE",
  // "GOP", "MAXBFRAME", "PARNUM"/"PARDEN". Opens the codec: E_UNEXPECTED
  // before an input type (or after Close), E_FAIL when the codec refuses.
  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;

 protected:
  ~CMpeg4Encoder() override;

 private:
  // Sends a picture (null drains) and delivers every packet that comes out.
  HRESULT Encode(AVFrame* frame);
  HRESULT DeliverPacket(const AVPacket* packet);

  AVCodecContext* codec_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  int32_t width_ = 0;
  int32_t height_ = 0;
  int64_t frameDuration_ = 400000;  // 100 ns
  bool swapChroma_ = false;         // YV12 input: V plane before U
  bool opened_ = false;
  bool ended_ = false;
  int64_t nextPts_ = 0;  // in frames
  int64_t bitRate_ = 0;
};
