// CBaseRenderer: a filter with one input pin that ends a stream. It renders
// each sample as it comes (the graphs of this layer have no clock); while the
// filter is paused a sample is held until it runs, stops or flushes. An end
// of stream reaches the graph as EC_COMPLETE once the filter runs. Seeking
// asked of it goes to the filters upstream.
// Results: S_OK or a failure code.
#pragma once

#include <condition_variable>
#include <mutex>

#include "platform/dshow/base_filter.h"
#include "platform/dshow/position_passthru.h"

class CBaseRenderer : public CBaseFilter {
 public:
  CBaseRenderer(const CLSID& clsid, const WCHAR* pinName);
  ~CBaseRenderer() override;

  // S_OK for a type the renderer takes.
  virtual HRESULT CheckMediaType(const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
  virtual HRESULT SetMediaType(const AM_MEDIA_TYPE*) { return S_OK; }
  // The first sample of a run or after a flush, before it is rendered.
  virtual void OnReceiveFirstSample(IMediaSample*) {}
  // Stream notifications as they arrive.
  virtual void OnNewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {}
  virtual void OnFlush(bool /*begin*/) {}
  virtual void OnEndOfStream() {}

  int32_t GetPinCount() override { return 1; }
  CBasePin* GetPin(int32_t index) override;
  HRESULT NonDelegatingQuery(REFIID iid, void** out) override;
  ULONG GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;

  // For the input pin.
  HRESULT ReceiveSample(IMediaSample* sample);
  HRESULT ReceiveEndOfStream();
  void Flushing(bool begin);

  bool EndOfStreamSeen() const;
  int64_t SamplesRendered() const { return rendered_.load(); }

 private:
  class InputPin;
  void SendCompleteLocked();

  std::recursive_mutex filterLock_;
  InputPin* pin_;
  CPassThruHolder position_;
  mutable std::mutex waitLock_;
  std::condition_variable wake_;
  bool eos_ = false;
  bool completeSent_ = false;
  bool firstSeen_ = false;
  std::atomic<int64_t> rendered_{0};
};
