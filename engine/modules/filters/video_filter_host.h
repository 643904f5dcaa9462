// The transform module that runs one IVideoFilter: negotiates media types for
// it, hands it each frame as plane records, stamps times and delivers.
// Results: HRESULT operations answer S_OK or a failure code; the filter's own
// answers (IVideoFilter) are turned into these.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/graph/forwarding_allocator.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"
#include "plugin-api/video_filter.h"

class CVideoFilterHost : public CSingleTransformModule {
 public:
  CVideoFilterHost() = default;

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
  HRESULT SetOutputAllocator(uint32_t pin, IMemAllocator* allocator) override;
  HRESULT GetInputAllocator(uint32_t pin, IMemAllocator** allocator) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  int32_t AcceptsBlankSample() override { return 0; }

  bool InPlace() const { return inPlace_; }
  IVideoFilter* Filter() const { return filter_; }

 protected:
  ~CVideoFilterHost() override;

  // Output planes from a proposed type that must match the format; MODULE_E_NO_TYPE when it does not.
  HRESULT AcceptOutputType(const AM_MEDIA_TYPE* type, const FrameFormat& format);

  VideoFilterFactory factory_ = nullptr;
  IVideoFilter* filter_ = nullptr;
  FrameFormat outputFormat_{};
  FramePlanes inPlanes_{};
  FramePlanes outPlanes_{};
  int32_t outFrameSize_ = 0;
  bool inPlace_ = false;
  std::vector<uint8_t> swapBuffer_;
  // In place: the input allocator, forwarding to the output allocator; one
  // reference held here, made on the first request.
  Ref<CForwardingAllocator> forwarder_;

 private:
  HRESULT ReceiveInPlace(Ref<IMediaSample> sample);
  HRESULT ReceiveCopy(Ref<IMediaSample> sample);
  HRESULT PassDiscontinuity(Ref<IMediaSample> sample);
};

// "VRECOLOR": the host around the colour converter, offering every colour
// type but the input's own as output.
class CColorConvertHost final : public CVideoFilterHost {
 public:
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;

 private:
  ~CColorConvertHost() override = default;
  HRESULT SetFilterColourType(int32_t colourType);

  struct Offer {
    int32_t colourType;
    int32_t variant;
  };
  std::vector<Offer> offers_;
};

// Registry factories: a new host opened with the list (which holds "FNVF"),
// or null when Open refuses.
IMediaModule* CreateVideoFilterHost(CParamList* params);
IMediaModule* CreateColorConvertHost(CParamList* params);
