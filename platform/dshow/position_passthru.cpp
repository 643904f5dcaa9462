#include "platform/dshow/position_passthru.h"

#include <cmath>
#include <new>

namespace {

LONGLONG ToUnits(REFTIME seconds) { return static_cast<LONGLONG>(std::llround(seconds * kUnitsPerSecond)); }
REFTIME ToSeconds(LONGLONG units) { return static_cast<REFTIME>(units) / kUnitsPerSecond; }

}  // namespace

HRESULT CSeekingPosition::get_Duration(REFTIME* length) {
  if (!length) return E_POINTER;
  LONGLONG d = 0;
  const HRESULT hr = GetDuration(&d);
  if (hr == S_OK) *length = ToSeconds(d);
  return hr;
}

HRESULT CSeekingPosition::put_CurrentPosition(REFTIME time) {
  LONGLONG t = ToUnits(time);
  return SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
}

HRESULT CSeekingPosition::get_CurrentPosition(REFTIME* time) {
  if (!time) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetCurrentPosition(&t);
  if (hr == S_OK) *time = ToSeconds(t);
  return hr;
}

HRESULT CSeekingPosition::get_StopTime(REFTIME* time) {
  if (!time) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetStopPosition(&t);
  if (hr == S_OK) *time = ToSeconds(t);
  return hr;
}

HRESULT CSeekingPosition::put_StopTime(REFTIME time) {
  LONGLONG t = ToUnits(time);
  return SetPositions(nullptr, AM_SEEKING_NoPositioning, &t, AM_SEEKING_AbsolutePositioning);
}

HRESULT CSeekingPosition::get_PrerollTime(REFTIME* time) {
  if (!time) return E_POINTER;
  LONGLONG t = 0;
  const HRESULT hr = GetPreroll(&t);
  if (hr == S_OK) *time = ToSeconds(t);
  return hr;
}

HRESULT CSeekingPosition::put_PrerollTime(REFTIME) { return E_NOTIMPL; }
HRESULT CSeekingPosition::put_Rate(double rate) { return SetRate(rate); }
HRESULT CSeekingPosition::get_Rate(double* rate) { return GetRate(rate); }

HRESULT CSeekingPosition::CanSeekForward(LONG* can) {
  if (!can) return E_POINTER;
  DWORD caps = 0;
  const HRESULT hr = GetCapabilities(&caps);
  *can = (hr == S_OK && (caps & AM_SEEKING_CanSeekForwards)) ? -1 : 0;
  return S_OK;
}

HRESULT CSeekingPosition::CanSeekBackward(LONG* can) {
  if (!can) return E_POINTER;
  DWORD caps = 0;
  const HRESULT hr = GetCapabilities(&caps);
  *can = (hr == S_OK && (caps & AM_SEEKING_CanSeekBackwards)) ? -1 : 0;
  return S_OK;
}

// ---------------------------------------------------------------------------

Ref<IMediaSeeking> CPosPassThru::Upstream() const {
  Ref<IPin> peer;
  if (!pin_ || pin_->ConnectedTo(peer.Out()) != S_OK) return Ref<IMediaSeeking>();
  return QueryRef<IMediaSeeking>(peer.Get(), IID_IMediaSeeking);
}

#define PASS_THRU(call)               \
  Ref<IMediaSeeking> up = Upstream(); \
  if (!up) return E_NOTIMPL;          \
  return up->call

HRESULT CPosPassThru::GetCapabilities(DWORD* c) { PASS_THRU(GetCapabilities(c)); }
HRESULT CPosPassThru::CheckCapabilities(DWORD* c) { PASS_THRU(CheckCapabilities(c)); }
HRESULT CPosPassThru::IsFormatSupported(const GUID* f) { PASS_THRU(IsFormatSupported(f)); }
HRESULT CPosPassThru::QueryPreferredFormat(GUID* f) { PASS_THRU(QueryPreferredFormat(f)); }
HRESULT CPosPassThru::GetTimeFormat(GUID* f) { PASS_THRU(GetTimeFormat(f)); }
HRESULT CPosPassThru::IsUsingTimeFormat(const GUID* f) { PASS_THRU(IsUsingTimeFormat(f)); }
HRESULT CPosPassThru::SetTimeFormat(const GUID* f) { PASS_THRU(SetTimeFormat(f)); }
HRESULT CPosPassThru::GetDuration(LONGLONG* d) { PASS_THRU(GetDuration(d)); }
HRESULT CPosPassThru::GetStopPosition(LONGLONG* s) { PASS_THRU(GetStopPosition(s)); }
HRESULT CPosPassThru::GetCurrentPosition(LONGLONG* c) { PASS_THRU(GetCurrentPosition(c)); }
HRESULT CPosPassThru::ConvertTimeFormat(LONGLONG* t, const GUID* tf, LONGLONG s, const GUID* sf) {
  PASS_THRU(ConvertTimeFormat(t, tf, s, sf));
}
HRESULT CPosPassThru::SetPositions(LONGLONG* c, DWORD cf, LONGLONG* s, DWORD sf) {
  PASS_THRU(SetPositions(c, cf, s, sf));
}
HRESULT CPosPassThru::GetPositions(LONGLONG* c, LONGLONG* s) { PASS_THRU(GetPositions(c, s)); }
HRESULT CPosPassThru::GetAvailable(LONGLONG* e, LONGLONG* l) { PASS_THRU(GetAvailable(e, l)); }
HRESULT CPosPassThru::SetRate(double r) { PASS_THRU(SetRate(r)); }
HRESULT CPosPassThru::GetRate(double* r) { PASS_THRU(GetRate(r)); }
HRESULT CPosPassThru::GetPreroll(LONGLONG* p) { PASS_THRU(GetPreroll(p)); }

#undef PASS_THRU

HRESULT CPassThruHolder::Query(IUnknown* owner, IPin* pin, REFIID iid, void** out) {
  *out = nullptr;
  if (iid != IID_IMediaSeeking && iid != IID_IMediaPosition) return E_NOINTERFACE;
  CPosPassThru* p = passThru_.load();
  if (!p) {
    auto* made = new (std::nothrow) CPosPassThru(owner, pin);
    if (!made) return E_OUTOFMEMORY;
    CPosPassThru* expected = nullptr;
    if (passThru_.compare_exchange_strong(expected, made)) {
      p = made;
    } else {
      delete made;
      p = expected;
    }
  }
  p->AddRef();
  if (iid == IID_IMediaSeeking) {
    *out = static_cast<IMediaSeeking*>(p);
  } else {
    *out = static_cast<IMediaPosition*>(p);
  }
  return S_OK;
}
