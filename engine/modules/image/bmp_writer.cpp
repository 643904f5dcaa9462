#include "engine/modules/image/bmp_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "engine/modules/image/bmp_file.h"
#include "platform/diagnostics.h"

namespace {

// Display name: a reader's tag would follow at byte 64, so the rest is zero.
const char kDisplayName[128] = "Bmp writer";

// The BITMAPINFOHEADER of an RGB32 video type, or false.
bool Rgb32Header(const AM_MEDIA_TYPE* type, BITMAPINFOHEADER* header) {
  if (!type || type->subtype != MEDIASUBTYPE_RGB32) return false;
  return GetVideoInfoBitmapHeader(type, header);
}

}  // namespace

IMediaModule* CBmpWriter::Create(CParamList* params) { return CreateOpenedModule<CBmpWriter>(params); }

HRESULT CBmpWriter::Open(CParamList*) {
  SetRegistration(kDisplayName);
  return S_OK;
}

HRESULT CBmpWriter::Close() {
  Lock();
  frame_.clear();
  frame_.shrink_to_fit();
  Unlock();
  return S_OK;
}

HRESULT CBmpWriter::SetParams(CParamList* params) {
  if (!params) return S_OK;
  Lock();
  frameNumber_ = std::max(0, params->GetInt("FRAMENUM", 0));
  stopWord_ = static_cast<int32_t*>(params->GetPtr("STOPPTR", nullptr));
  Unlock();
  return S_OK;
}

void CBmpWriter::ReportPositionTo(int32_t* word) {
  Lock();
  positionWord_ = word;
  Unlock();
}

uint32_t CBmpWriter::GetInputPinCount() { return hasPin_ ? 1 : 0; }

HRESULT CBmpWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) {
  BITMAPINFOHEADER header;
  if (hasPin_ || !Rgb32Header(type, &header)) return S_FALSE;
  const int64_t bytes = BmpPixelBytes(header);
  if (bytes <= 0) {
    Diag(DiagLevel::kWarning, "bitmap writer: cannot keep a frame of %dx%d at %d bits",
         static_cast<int>(header.biWidth), static_cast<int>(header.biHeight), static_cast<int>(header.biBitCount));
    return S_FALSE;
  }
  if (flags != 0) return S_OK;
  Lock();
  HRESULT hr = inputType_.Set(0, 1, type);
  if (hr == S_OK) {
    header_ = header;
    frameBytes_ = static_cast<size_t>(bytes);
    hasPin_ = true;
  }
  Unlock();
  return hr;
}

HRESULT CBmpWriter::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_OK; }

HRESULT CBmpWriter::GetInputType(uint32_t pin, uint32_t index, AM_MEDIA_TYPE* type) {
  if (pin != 0 || !hasPin_ || index != 0) return MODULE_E_NO_TYPE;
  return inputType_.Get(0, type);
}

HRESULT CBmpWriter::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_FALSE; }

HRESULT CBmpWriter::GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) { return S_FALSE; }

HRESULT CBmpWriter::GetAllocatorRequirements(uint32_t pin, ALLOCATOR_PROPERTIES* props) {
  if (pin != 0 || !hasPin_ || !props) return E_INVALIDARG;
  const int32_t size = inputType_.GetSampleSize(0);
  if (size <= 0) return E_FAIL;
  return OneBufferRequirements(props, size);
}

HRESULT CBmpWriter::SetOutput(const char* path, const int32_t*) {
  Lock();
  path_ = path ? path : "";
  Unlock();
  return S_OK;
}

HRESULT CBmpWriter::SetOutputOption(int32_t) { return S_OK; }

HRESULT CBmpWriter::Run() {
  Lock();
  latestStart_ = 0;
  received_ = 0;
  result_ = S_OK;
  finished_ = false;
  try {
    frame_.assign(frameBytes_, 0);  // black until a frame is kept
  } catch (const std::bad_alloc&) {
    frame_.clear();
    result_ = E_OUTOFMEMORY;
    Diag(DiagLevel::kError, "no memory for a frame of %zu bytes", frameBytes_);
  }
  Unlock();
  return S_OK;
}

void CBmpWriter::CopyIntoFrame(IMediaSample* sample) {
  if (frame_.size() != frameBytes_) return;  // no buffer: the failure is already noted
  BYTE* data = nullptr;
  LONG length = sample->GetActualDataLength();
  if (sample->GetPointer(&data) != S_OK || !data || length < 0) length = 0;
  length = std::min(length, sample->GetSize());
  const size_t copied = std::min(static_cast<size_t>(length), frameBytes_);
  if (copied > 0) std::memcpy(frame_.data(), data, copied);
  std::fill(frame_.begin() + static_cast<std::ptrdiff_t>(copied), frame_.end(), 0);
}

void CBmpWriter::SaveFrame() {
  if (positionWord_) std::atomic_ref<int32_t>(*positionWord_).store(static_cast<int32_t>(latestStart_ / 10000));
  if (frame_.size() != frameBytes_ || result_ != S_OK) {
    if (result_ == S_OK) result_ = E_OUTOFMEMORY;
    return;
  }
  SetOpaque(frame_.data(), frame_.size());
  std::string reason;
  if (!WriteBmpFile(path_, header_, frame_.data(), frame_.size(), &reason)) {
    Diag(DiagLevel::kError, "cannot write the frame to \"%s\" (%s)", path_.c_str(), reason.c_str());
    result_ = E_FAIL;
  }
}

HRESULT CBmpWriter::Receive(uint32_t pin, IMediaSample* input) {
  if (IsBlankSample(input)) return S_OK;
  Ref<IMediaSample> sample(input);  // released after Unlock on every path
  if (pin != 0 || !hasPin_) return S_FALSE;
  Lock();
  if (!sample) {
    // The stream ended before the frame came: the kept frame (black when none).
    if (!finished_ && frameNumber_ >= received_) SaveFrame();
    finished_ = true;
    Unlock();
    return S_OK;
  }
  REFERENCE_TIME start = 0, stop = 0;
  const HRESULT times = sample->GetTime(&start, &stop);
  if (times == S_OK || times == VFW_S_NO_STOP_TIME) latestStart_ = start;
  if (finished_ || received_ > frameNumber_) {  // ended, or the frame is saved
    Unlock();
    return S_OK;
  }
  if (received_ != frameNumber_) {
    ++received_;
    if (received_ < frameNumber_) CopyIntoFrame(sample.Get());
    Unlock();
    return S_OK;
  }
  if (header_.biHeight < 0) ConsoleLine("height <0\n");
  CopyIntoFrame(sample.Get());
  sample.Reset();
  SaveFrame();
  ConsoleLine("save file to '%s'\n", path_.c_str());
  std::fflush(stdout);
  ++received_;
  if (stopWord_) std::atomic_ref<int32_t>(*stopWord_).store(1);
  Unlock();
  return S_OK;
}

int32_t CBmpWriter::GetState() { return finished_ ? WRITER_FINISHED : WRITER_RUNNING; }

HRESULT CBmpWriter::CloseOutput() {
  Lock();
  const HRESULT hr = result_;
  Unlock();
  return hr;
}
