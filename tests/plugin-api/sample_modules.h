// Small modules and a filter object for the test plug-ins. Each answers with
// values the tests can recognise as coming from the plug-in's own code.
#pragma once

#include "plugin-api/media_module.h"
#include "plugin-api/video_filter.h"

constexpr uint32_t kSamplePinCount = 7;
constexpr int32_t kSampleFilterWidth = 4242;

template <class Base>
class CSampleModule : public Base {
 public:
  HRESULT SetParams(CParamList*) override { return S_OK; }
  HRESULT Run() override { return S_OK; }
  HRESULT Open(CParamList*) override { return S_OK; }
  HRESULT Close() override { return S_OK; }
  uint32_t GetInputPinCount() override { return kSamplePinCount; }
  uint32_t GetOutputPinCount() override { return kSamplePinCount; }
  HRESULT AddInputPin(const AM_MEDIA_TYPE*, int32_t) override { return E_NOTIMPL; }
  HRESULT SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetInputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
  HRESULT Receive(uint32_t, IMediaSample*) override { return E_FAIL; }
  HRESULT SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) override { return E_FAIL; }
  HRESULT GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) override { return MODULE_E_NO_TYPE; }
};

class CSampleTransform final : public CSampleModule<CTransformModule> {};

class CSampleReader final : public CSampleModule<CReaderModule> {
 public:
  HRESULT OpenFile(const char*, int32_t, int32_t) override { return S_OK; }
  HRESULT GetInfo(int64_t* duration, CParamList*) override {
    if (duration) *duration = 0;
    return S_OK;
  }
  HRESULT GetStreamInfo(uint32_t, StreamInfo*) override { return E_FAIL; }
  HRESULT Seek(uint32_t, int32_t, int32_t) override { return S_OK; }
};

class CSampleWriter final : public CSampleModule<CWriterModule> {
 public:
  int32_t GetState() override { return WRITER_RUNNING; }
  HRESULT SetOutput(const char*, const int32_t*) override { return S_OK; }
  HRESULT SetOutputOption(int32_t) override { return S_OK; }
  HRESULT CloseOutput() override { return S_OK; }
};

class CSampleVideoFilter final : public IVideoFilter {
 public:
  int32_t SetFormat(const FrameFormat* format) override {
    format_ = *format;
    return 0;
  }
  int32_t GetOutputFormat(FrameFormat* format) override {
    *format = format_;
    format->width = kSampleFilterWidth;
    return 0;
  }
  int32_t Start() override { return 0; }
  int32_t Process(int64_t*, FramePlanes*, FramePlanes*) override { return 0; }
  int32_t SetParams(CParamList*) override { return 1; }
  int32_t Destroy() override {
    delete this;
    return 0;
  }
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override { return 0; }

 private:
  FrameFormat format_{};
};
