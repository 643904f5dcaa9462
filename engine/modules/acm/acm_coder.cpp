#include "engine/modules/acm/acm_coder.h"

#include <algorithm>
#include <cstring>

#include "common/param_list.h"
#include "platform/diagnostics.h"

namespace {

constexpr size_t kMaxPathBytes = 259;

}  // namespace

IMediaModule* CAcmCoder::Create(CParamList* params) { return CreateOpenedModule<CAcmCoder>(params); }

CAcmCoder::~CAcmCoder() {
  CloseStream();
  ReleaseDriver();
}

HRESULT CAcmCoder::Open(CParamList* params) {
  const char* path = params ? params->GetStringPtr("CODECDLL") : "";
  if (path && *path) {
    if (std::strlen(path) > kMaxPathBytes) {
      ConsoleLine("cannot load %s\n", path);
      Diag(DiagLevel::kWarning, "audio codec path longer than %zu bytes: %s\n", kMaxPathBytes, path);
    } else if (!LoadDriver(path)) {
      ConsoleLine("cannot load %s\n", path);
      Diag(DiagLevel::kWarning, "cannot load the audio codec %s\n", path);
    }
  }
  return S_OK;  // without a driver the module refuses every input type
}

bool CAcmCoder::LoadDriver(const std::string& path) {
  std::string error;
  if (!library_.IsOpen() && !library_.Open(path, &error)) {
    Diag(DiagLevel::kTrace, "acm: %s", error.c_str());
    return false;
  }
  if (driver_) return true;
  auto proc = reinterpret_cast<DriverProcFn>(library_.Symbol(kDriverProcName));
  if (!proc) return false;
  if (acmDriverAddA(&driverId_, library_.Handle(), proc, 0, ACM_DRIVERADDF_FUNCTION) != MMSYSERR_NOERROR) {
    driverId_ = nullptr;
    return false;
  }
  if (acmDriverOpen(&driver_, driverId_, 0) != MMSYSERR_NOERROR) {
    driver_ = nullptr;
    acmDriverRemove(driverId_, 0);
    driverId_ = nullptr;
    return false;
  }
  return driver_ != nullptr;
}

void CAcmCoder::CloseStream() {
  if (stream_) acmStreamClose(stream_, 0);
  stream_ = nullptr;
  held_ = 0;
}

// Stream, driver, its entry in the codec layer, then the file: nothing may
// still point into the library when it goes.
void CAcmCoder::ReleaseDriver() {
  if (driver_) acmDriverClose(driver_, 0);
  driver_ = nullptr;
  if (driverId_) acmDriverRemove(driverId_, 0);
  driverId_ = nullptr;
  library_.Close();
}

HRESULT CAcmCoder::Close() {
  CloseStream();
  ReleaseDriver();
  inputTypes_.FreeAll();
  return S_OK;
}

HRESULT CAcmCoder::SetParams(CParamList*) { return S_OK; }
HRESULT CAcmCoder::Run() { return S_OK; }
HRESULT CAcmCoder::AddInputPin(const AM_MEDIA_TYPE*, int32_t) { return S_OK; }
int32_t CAcmCoder::AcceptsBlankSample() { return 0; }
HRESULT CAcmCoder::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CAcmCoder::SetInputType(uint32_t pin, const AM_MEDIA_TYPE* type, int32_t testOnly) {
  if (pin != 0 || !type || type->majortype != MEDIATYPE_Audio || type->formattype != FORMAT_WaveFormatEx ||
      !type->pbFormat || type->cbFormat < sizeof(WAVEFORMATEX))
    return E_FAIL;
  WAVEFORMATEX head{};
  std::memcpy(&head, type->pbFormat, sizeof head);
  // The extra bytes the format claims must be inside the block.
  if (head.cbSize > type->cbFormat - sizeof(WAVEFORMATEX)) {
    Diag(DiagLevel::kTrace, "acm: format claims %u extra bytes, the type holds %u", unsigned(head.cbSize),
         unsigned(type->cbFormat - sizeof(WAVEFORMATEX)));
    return E_FAIL;
  }
  if (head.nChannels == 0 || head.nSamplesPerSec == 0 || !driver_) return E_FAIL;
  std::vector<uint8_t> input(type->pbFormat, type->pbFormat + sizeof(WAVEFORMATEX) + head.cbSize);

  WAVEFORMATEX pcm{};
  pcm.wFormatTag = WAVE_FORMAT_PCM;
  pcm.nChannels = head.nChannels;
  pcm.nSamplesPerSec = head.nSamplesPerSec;
  pcm.wBitsPerSample = 16;
  pcm.nBlockAlign = static_cast<WORD>(head.nChannels * 2);
  pcm.nAvgBytesPerSec =
      static_cast<DWORD>(std::min<uint64_t>(uint64_t(16) * head.nChannels * head.nSamplesPerSec / 8, UINT32_MAX));
  pcm.cbSize = 0;

  HACMSTREAM stream = nullptr;
  const MMRESULT opened =
      acmStreamOpen(&stream, driver_, reinterpret_cast<const WAVEFORMATEX*>(input.data()), &pcm, nullptr, 0, 0, 0);
  if (opened != MMSYSERR_NOERROR) {
    Diag(DiagLevel::kTrace, "acm: the driver refuses format 0x%04X (%u)", unsigned(head.wFormatTag), unsigned(opened));
    return E_FAIL;
  }
  if (testOnly) {
    acmStreamClose(stream, 0);
    return S_OK;
  }
  CloseStream();  // a new input type replaces the old stream
  stream_ = stream;
  output_ = pcm;
  inputTypes_.Set(0, 1, type);
  ConsoleLine("ok\n");
  DWORD chunk = 0;
  if (acmStreamSize(stream_, kPcmBytesPerChunk, &chunk, ACM_STREAMSIZEF_DESTINATION) != MMSYSERR_NOERROR || chunk == 0)
    chunk = kInputBufferBytes;
  chunk_ = std::min<DWORD>(chunk, kInputBufferBytes);  // the chunk must fit the input buffer
  held_ = 0;
  firstConversion_ = true;
  failing_ = false;
  return S_OK;
}

HRESULT CAcmCoder::GetOutputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (pin != 0 || !type) return E_FAIL;
  if (output_.nChannels == 0) return MODULE_E_NO_TYPE;  // no input type yet
  ClearMediaTypeFormat(type);
  InitMediaType(type);
  type->majortype = MEDIATYPE_Audio;
  type->subtype = MEDIASUBTYPE_PCM;
  type->formattype = FORMAT_WaveFormatEx;
  type->bFixedSizeSamples = 1;
  type->lSampleSize = output_.nBlockAlign;
  if (!AllocMediaTypeFormat(type, sizeof(WAVEFORMATEX))) return E_OUTOFMEMORY;
  std::memcpy(type->pbFormat, &output_, sizeof output_);
  return S_OK;
}

HRESULT CAcmCoder::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || !props) return E_FAIL;
  const int32_t size = inputTypes_.GetSampleSize(0);
  if (size == 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

MMRESULT CAcmCoder::ConvertHeld(DWORD flags, const Times& times, bool* progress, DWORD* produced) {
  *progress = false;
  *produced = 0;
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> out;
  if (!allocator || FAILED(allocator->GetBuffer(out.Out(), nullptr, nullptr, 0)) || !out) return MMSYSERR_ERROR;
  BYTE* data = nullptr;
  out->GetPointer(&data);
  const LONG size = out->GetSize();
  if (!data || size <= 0) return MMSYSERR_ERROR;

  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = input_;
  header.cbSrcLength = held_;
  header.pbDst = data;
  header.cbDstLength = static_cast<DWORD>(size);
  MMRESULT result = acmStreamPrepareHeader(stream_, &header, 0);
  if (result != MMSYSERR_NOERROR) return result;
  if (firstConversion_) flags |= ACM_STREAMCONVERTF_START;
  result = acmStreamConvert(stream_, &header, flags);
  if (result == MMSYSERR_NOERROR) {
    firstConversion_ = false;
    const DWORD used = std::min(header.cbSrcLengthUsed, held_);
    if (used > 0 && used < held_) std::memmove(input_, input_ + used, held_ - used);
    held_ -= used;
    *produced = header.cbDstLengthUsed;
    *progress = used > 0 || header.cbDstLengthUsed > 0;
    out->SetActualDataLength(static_cast<LONG>(header.cbDstLengthUsed));
    if (times.valid) {
      REFERENCE_TIME start = times.start, stop = times.stop;
      out->SetTime(&start, &stop);
    }
    out->SetSyncPoint(1);
  }
  acmStreamUnprepareHeader(stream_, &header, 0);
  if (result == MMSYSERR_NOERROR && header.cbDstLengthUsed > 0) Deliver(0, out.Detach());
  return result;
}

void CAcmCoder::DropHeld(MMRESULT result) {
  Diag(DiagLevel::kTrace, "acm: conversion failed (%u), %u bytes dropped", unsigned(result), unsigned(held_));
  if (!failing_)
    Diag(DiagLevel::kWarning, "audio decoding failed (code %u): compressed audio dropped\n", unsigned(result));
  failing_ = true;
  held_ = 0;
}

HRESULT CAcmCoder::SeekMarker() {
  IMemAllocator* allocator = OutputAllocator(0);
  Ref<IMediaSample> marker;
  HRESULT hr = allocator ? allocator->GetBuffer(marker.Out(), nullptr, nullptr, 0) : E_FAIL;
  if (SUCCEEDED(hr) && marker) {
    marker->SetActualDataLength(0);
    marker->SetDiscontinuity(1);
    Deliver(0, marker.Detach());
  }
  held_ = 0;  // bytes from before the seek are not converted
  return S_OK;
}

HRESULT CAcmCoder::EndOfStream() {
  if (stream_ && (held_ > 0 || !firstConversion_)) {
    // The held bytes once more, then what the driver still holds.
    for (int call = 0; call < kMaxIdleConversions; ++call) {
      bool progress = false;
      DWORD produced = 0;
      const MMRESULT result = ConvertHeld(ACM_STREAMCONVERTF_END, lastTimes_, &progress, &produced);
      if (result != MMSYSERR_NOERROR) {
        DropHeld(result);
        break;
      }
      if (produced == 0) break;
    }
  }
  held_ = 0;
  Deliver(0, nullptr);
  return S_OK;
}

HRESULT CAcmCoder::Receive(uint32_t pin, IMediaSample* input) {
  Ref<IMediaSample> sample(input);
  if (pin != 0) return E_FAIL;
  if (!sample) return EndOfStream();
  const LONG length = sample->GetActualDataLength();
  // The input sample goes once the marker is out.
  if (length == 0 && sample->IsDiscontinuity() == S_OK) return SeekMarker();
  if (!stream_) {
    ConsoleLine("not init\n");
    return S_OK;
  }

  BYTE* data = nullptr;
  Times times;
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  if (SUCCEEDED(timed)) times = {true, start, timed == VFW_S_NO_STOP_TIME ? start : stop};
  lastTimes_ = times;
  uint32_t remaining = 0;
  if (SUCCEEDED(sample->GetPointer(&data)) && data && length > 0)
    remaining = static_cast<uint32_t>(std::min(length, sample->GetSize()));

  int idle = 0;  // conversions in a row that took no input
  while (true) {
    const uint32_t take = std::min(chunk_ - held_, remaining);
    if (take > 0) std::memcpy(input_ + held_, data, take);
    held_ += take;
    data += take;
    remaining -= take;
    if (held_ < chunk_) break;
    bool progress = false;
    DWORD produced = 0;
    const MMRESULT result = ConvertHeld(0, times, &progress, &produced);
    if (result != MMSYSERR_NOERROR) {
      DropHeld(result);
    } else if (!progress || (held_ == chunk_ && ++idle > kMaxIdleConversions)) {
      DropHeld(ACMERR_NOTPOSSIBLE);  // the driver makes no progress on this chunk
    } else {
      failing_ = false;
    }
    if (held_ < chunk_) idle = 0;
  }
  return S_OK;
}
