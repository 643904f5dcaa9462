// Seeking: IMediaPosition answered through an object's own IMediaSeeking
// (positions in seconds over 100-ns times), and the pass-through that a
// renderer or a transform gives for its input pin: every seeking call goes to
// the output pin upstream of it.
// Results: S_OK or a failure code; E_NOTIMPL when nothing upstream seeks.
#pragma once

#include <atomic>

#include "platform/dshow/dshow_interfaces.h"

class CSeekingPosition : public IMediaSeeking, public IMediaPosition {
 public:
  HRESULT get_Duration(REFTIME* length) override;
  HRESULT put_CurrentPosition(REFTIME time) override;
  HRESULT get_CurrentPosition(REFTIME* time) override;
  HRESULT get_StopTime(REFTIME* time) override;
  HRESULT put_StopTime(REFTIME time) override;
  HRESULT get_PrerollTime(REFTIME* time) override;
  HRESULT put_PrerollTime(REFTIME time) override;
  HRESULT put_Rate(double rate) override;
  HRESULT get_Rate(double* rate) override;
  HRESULT CanSeekForward(LONG* can) override;
  HRESULT CanSeekBackward(LONG* can) override;

 protected:
  ~CSeekingPosition() = default;
};

// Forwards to the IMediaSeeking of the pin connected to `pin`. Counts and
// queries on `owner` (the filter or pin that hands it out).
class CPosPassThru final : public CSeekingPosition {
 public:
  CPosPassThru(IUnknown* owner, IPin* pin) : owner_(owner), pin_(pin) {}

  HRESULT QueryInterface(REFIID iid, void** out) override { return owner_->QueryInterface(iid, out); }
  ULONG AddRef() override { return owner_->AddRef(); }
  ULONG Release() override { return owner_->Release(); }

  HRESULT GetCapabilities(DWORD* capabilities) override;
  HRESULT CheckCapabilities(DWORD* capabilities) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(LONGLONG* duration) override;
  HRESULT GetStopPosition(LONGLONG* stop) override;
  HRESULT GetCurrentPosition(LONGLONG* current) override;
  HRESULT ConvertTimeFormat(LONGLONG* target, const GUID* targetFormat, LONGLONG source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG* stop, DWORD stopFlags) override;
  HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
  HRESULT GetAvailable(LONGLONG* earliest, LONGLONG* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(LONGLONG* preroll) override;

 private:
  Ref<IMediaSeeking> Upstream() const;

  IUnknown* owner_;
  IPin* pin_;
};

// Answers IMediaSeeking and IMediaPosition from a pass-through made on first
// use; a filter or pin holds one and asks it from its NonDelegatingQuery.
class CPassThruHolder {
 public:
  CPassThruHolder() = default;
  ~CPassThruHolder() { delete passThru_.load(); }
  CPassThruHolder(const CPassThruHolder&) = delete;
  CPassThruHolder& operator=(const CPassThruHolder&) = delete;

  // S_OK with *out for IID_IMediaSeeking or IID_IMediaPosition; E_NOINTERFACE otherwise.
  HRESULT Query(IUnknown* owner, IPin* pin, REFIID iid, void** out);

 private:
  std::atomic<CPosPassThru*> passThru_{nullptr};
};
