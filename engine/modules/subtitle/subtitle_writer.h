// CSubtitleWriter ("SUBTITLE"): the end of a subtitle stream. It writes no
// file: every sample it receives is handed, inside its parameter list as
// "SAMPLE", to the overlay module named by "VOBFILTER" (the video filter host
// of "VSUBTITLEDVD" or "VSUBTITLE" in the video chain), which takes what it
// needs during that call. Without an overlay module samples are dropped.
// Results: HRESULT operations answer S_OK, S_FALSE for a refused pin or type, or a failure code.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "common/param_list.h"
#include "plugin-api/media_module.h"
#include "plugin-api/media_type_helpers.h"

class CSubtitleWriter final : public CWriterModule {
 public:
  static constexpr int32_t kBufferBytes = 131072;

  // An opened writer, or null.
  static IMediaModule* Create(CParamList* params);

  HRESULT SetParams(CParamList* params) override;  // "VOBFILTER"
  HRESULT Run() override;
  HRESULT Open(CParamList* params) override;
  HRESULT Close() override { return S_OK; }
  uint32_t GetInputPinCount() override { return pinCount_; }
  uint32_t GetOutputPinCount() override { return 0; }
  // Subtitle and text streams; flags 1 only asks.
  HRESULT AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) override;
  HRESULT SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT Receive(uint32_t pin, IMediaSample* sample) override;
  HRESULT SetOutputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) override;
  HRESULT GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) override;
  HRESULT GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) override;
  // 1 after end of stream, else 0.
  int32_t GetState() override;
  HRESULT SetOutput(const char* path, const int32_t* target) override;
  HRESULT SetOutputOption(int32_t) override { return S_OK; }
  HRESULT CloseOutput() override { return S_OK; }

  // Whether the writer takes streams of this major type.
  static bool AcceptsMajorType(const GUID& major);

 private:
  CSubtitleWriter() = default;
  ~CSubtitleWriter() override = default;
  template <class T>
  friend IMediaModule* CreateOpenedModule(CParamList* params);

  CParamList params_;  // reused for every sample
  std::string outputName_;
  CMediaTypeArray inputTypes_;
  uint32_t pinCount_ = 0;
  std::atomic<IMediaModule*> overlay_{nullptr};  // owned by the graph
  std::atomic<bool> finished_{false};
};
