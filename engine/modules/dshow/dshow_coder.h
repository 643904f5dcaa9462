// CDShowCoder: a transform module that runs one filter of the graph layer (a
// decoder or an encoder, made by "FILTERFUNC" or by its display name in
// "PARAM") inside a private graph:
//   push source "Output" -> the filter's first input ... its output -> sink "My Input Pin" -> output callback.
// The upstream module writes straight into the filter's input buffers and
// the filter into the downstream module's buffers. CVp6EncoderInput is the
// same module turning each planar picture upside down before the filter.
// Results: S_OK or a failure code (E_NOTIMPL for what the module lacks).
#pragma once

#include <cstdint>

#include "engine/modules/dshow/dshow_bridge.h"
#include "engine/modules/dshow/dshow_support.h"
#include "plugin-api/media_module.h"
#include "plugin-api/video_filter.h"

// A function without arguments that makes a filter with one reference ("FILTERFUNC").
using FilterFunction = IBaseFilter* (*)();

class CDShowCoder : public CTransformModule {
 public:
  static constexpr LONG kScreenBufferSize = 1920 * 1080 * 4;
  // How long an end of stream pushed into the filter may take to come out.
  static constexpr int32_t kEndOfStreamWaitMs = 10000;

  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList* params) override;
  HRESULT Run() override;
  HRESULT Stop() override { return S_OK; }
  HRESULT Pause(int32_t) override { return S_OK; }
  // E_FAIL when no filter can be made, it has no input or output pin or too
  // many, or a bridge filter cannot be made.
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override;
  uint32_t GetInputPinCount() override { return 1; }
  uint32_t GetOutputPinCount() override { return 1; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  // mode 0 connects, 1 tests, any other mode disconnects.
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  // Always 0: the filter's own answer is not passed back. An end of stream
  // that the filter has not passed on within kEndOfStreamWaitMs is given to
  // the output all the same, so that a filter that swallows it cannot stall the job.
  HRESULT Receive(uint32_t pin, IMediaSample* item) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) override;
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t AcceptsBlankSample() override { return 1; }
  HRESULT SetOutputCallback(uint32_t pin, DeliverCallback callback, void* context) override;

  // For tests.
  IBaseFilter* Filter() const { return filter_.Get(); }
  CSinkInputPin* SinkPin() const { return sinkPin_; }
  CPushSourcePin* PushPin() const { return pushPin_; }
  bool IsScreenCodec() const { return screenCodec_ != 0; }
  void SetEndOfStreamWait(int32_t ms) { endWaitMs_ = ms; }

 protected:
  CDShowCoder() = default;
  ~CDShowCoder() override;

 private:
  void Teardown();

  int32_t screenCodec_ = 0;
  int32_t running_ = 0;
  int32_t endWaitMs_ = kEndOfStreamWaitMs;
  PrivateGraph graph_;
  IPin* filterIn_ = nullptr;  // the filter's pins, no reference
  IPin* filterOut_ = nullptr;
  CPushSourcePin* pushPin_ = nullptr;
  CSinkInputPin* sinkPin_ = nullptr;
  Ref<CSinkFilter> sinkFilter_;
  Ref<CPushSourceFilter> pushFilter_;
  Ref<IBaseFilter> filter_;

  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);
};

// The "[DS]VP62" encoder: pictures reach the filter bottom-up.
class CVp6EncoderInput final : public CDShowCoder {
 public:
  static IMediaModule* Create(CParamList* params);

  // mode 0 also notes the plane layout of the type.
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t mode) override;
  HRESULT Receive(uint32_t pin, IMediaSample* item) override;

  const FramePlanes& Planes() const { return planes_; }

 private:
  CVp6EncoderInput() = default;
  ~CVp6EncoderInput() override = default;

  FramePlanes planes_{};

  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);
};

// Exchanges the rows of each plane in place (rows 0 and n-1, 1 and n-2...);
// planes without rows or pitch are left alone.
void FlipPlanesInPlace(FramePlanes* planes);
