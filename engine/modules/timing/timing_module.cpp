#include "engine/modules/timing/timing_module.h"

#include <algorithm>
#include <cstring>

bool ReadPcmFormat(const AM_MEDIA_TYPE* mt, PcmFormat* format) {
  if (!mt || mt->majortype != MEDIATYPE_Audio || mt->subtype != MEDIASUBTYPE_PCM) return false;
  if (mt->formattype != FORMAT_WaveFormatEx || !mt->pbFormat || mt->cbFormat < 16) return false;
  WAVEFORMATEX wfx{};
  std::memcpy(&wfx, mt->pbFormat, std::min<size_t>(mt->cbFormat, sizeof wfx));
  PcmFormat f;
  f.rate = static_cast<int32_t>(wfx.nSamplesPerSec);
  f.channels = wfx.nChannels;
  f.bits = wfx.wBitsPerSample ? wfx.wBitsPerSample : 16;
  if (f.rate <= 0 || f.channels <= 0 || f.bits % 8 != 0 || f.bits > 64) return false;
  *format = f;
  return true;
}

int64_t TimeOfPosition(int64_t position, int32_t rate) { return rate > 0 ? position * kTimeUnitsPerSecond / rate : 0; }

HRESULT CTimingModule::SetParams(CParamList*) { return S_OK; }
HRESULT CTimingModule::Run() { return S_OK; }
HRESULT CTimingModule::Open(CParamList*) { return S_OK; }

HRESULT CTimingModule::Close() {
  inputTypes_.FreeAll();
  return S_OK;
}

HRESULT CTimingModule::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return E_NOTIMPL; }

HRESULT CTimingModule::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin != 0) return E_FAIL;
  if (!type) return E_POINTER;
  return inputTypes_.Get(0, type);
}

HRESULT CTimingModule::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  return CTimingModule::GetInputType(pin, index, type);
}

HRESULT CTimingModule::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CTimingModule::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (!props) return E_POINTER;
  if (pin != 0) return E_FAIL;
  const int32_t size = inputTypes_.GetSampleSize(0);
  if (size <= 0) return E_FAIL;
  props->cBuffers = buffers_;
  props->cbBuffer = size;
  props->cbAlign = 32;
  props->cbPrefix = 0;
  return S_OK;
}

Ref<IMediaSample> CTimingModule::NewBuffer(HRESULT* result) {
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> sample;
  HRESULT hr = allocator ? allocator->GetBuffer(sample.Out(), nullptr, nullptr, 0) : E_FAIL;
  if (SUCCEEDED(hr) && !sample) hr = E_FAIL;
  if (FAILED(hr)) {
    *result = hr;
    return Ref<IMediaSample>();
  }
  sample->SetTime(nullptr, nullptr);
  sample->SetSyncPoint(0);
  sample->SetDiscontinuity(0);
  sample->SetPreroll(0);
  *result = S_OK;
  return sample;
}

HRESULT CTimingModule::DeliverMarker() {
  HRESULT hr = S_OK;
  Ref<IMediaSample> marker = NewBuffer(&hr);
  if (!marker) return hr;
  marker->SetActualDataLength(0);
  marker->SetDiscontinuity(1);
  return Deliver(0, marker.Detach());
}

HRESULT CTimingModule::DeliverPieces(const uint8_t* data, uint8_t fill, uint32_t length, uint32_t unit,
                                     int64_t position, int64_t frames, int32_t rate, uint32_t flags) {
  uint32_t offset = 0;
  while (offset < length) {
    HRESULT hr = S_OK;
    Ref<IMediaSample> out = NewBuffer(&hr);
    if (!out) return hr;
    BYTE* p = nullptr;
    out->GetPointer(&p);
    const uint32_t size = p ? static_cast<uint32_t>(std::max<LONG>(out->GetSize(), 0)) : 0;
    uint32_t take = std::min(size, length - offset);
    // Whole units when the buffer holds at least one; a unit larger than
    // the buffer is cut at the buffer's size.
    if (unit > 0 && take < length - offset && take >= unit) take -= take % unit;
    if (take == 0) return VFW_E_BUFFER_OVERFLOW;
    if (data)
      std::memcpy(p, data + offset, take);
    else
      std::memset(p, fill, take);
    out->SetActualDataLength(static_cast<LONG>(take));
    REFERENCE_TIME start = TimeOfPosition(position + frames * offset / length, rate);
    REFERENCE_TIME stop = TimeOfPosition(position + frames * (offset + take) / length, rate);
    out->SetTime(&start, &stop);
    if (flags & kPieceSync) out->SetSyncPoint(1);
    if (flags & kPieceDiscontinuity) out->SetDiscontinuity(1);
    Deliver(0, out.Detach());
    offset += take;
  }
  return S_OK;
}
