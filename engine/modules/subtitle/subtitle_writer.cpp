#include "engine/modules/subtitle/subtitle_writer.h"

#include "platform/media_sample.h"
#include "plugin-api/subtitle_types.h"

IMediaModule* CSubtitleWriter::Create(CParamList* params) { return CreateOpenedModule<CSubtitleWriter>(params); }

bool CSubtitleWriter::AcceptsMajorType(const GUID& major) {
  // Text subtitles of files come with the second subtitle major type.
  return major == MEDIATYPE_Subtitle || major == MEDIATYPE_Text || major == kSubtitleMajorType;
}

HRESULT CSubtitleWriter::Open(CParamList*) { return S_OK; }

HRESULT CSubtitleWriter::SetParams(CParamList* params) {
  overlay_.store(params ? static_cast<IMediaModule*>(params->GetPtr("VOBFILTER", nullptr)) : nullptr);
  return S_OK;
}

HRESULT CSubtitleWriter::Run() {
  finished_.store(false);
  return S_OK;
}

HRESULT CSubtitleWriter::AddInputPin(const AM_MEDIA_TYPE* type, int32_t flags) {
  if (flags != 0 && flags != 1) return S_OK;
  if (!type || !AcceptsMajorType(type->majortype)) return S_FALSE;
  if (flags == 1) return S_OK;
  if (pinCount_ >= kMaxInputPins) return S_FALSE;
  const HRESULT hr = inputTypes_.Set(0, 1, type);
  if (hr != S_OK) return hr;
  ++pinCount_;
  return S_OK;
}

HRESULT CSubtitleWriter::SetInputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_FALSE; }

HRESULT CSubtitleWriter::GetInputType(uint32_t, uint32_t index, AM_MEDIA_TYPE* type) {
  if (index != 0) return MODULE_E_NO_TYPE;
  if (!type) return E_POINTER;
  return inputTypes_.Get(0, type);
}

HRESULT CSubtitleWriter::SetOutputType(uint32_t, const AM_MEDIA_TYPE*, int32_t) { return S_FALSE; }

HRESULT CSubtitleWriter::GetOutputType(uint32_t, uint32_t, AM_MEDIA_TYPE*) { return S_FALSE; }

HRESULT CSubtitleWriter::GetAllocatorRequirements(uint32_t, ALLOCATOR_PROPERTIES* props) {
  return OneBufferRequirements(props, kBufferBytes);
}

HRESULT CSubtitleWriter::Receive(uint32_t, IMediaSample* input) {
  if (!input) {
    finished_.store(true);
    return S_OK;
  }
  if (IsBlankSample(input)) return S_OK;
  Ref<IMediaSample> sample(input);
  const bool empty = sample->GetActualDataLength() <= 0;
  const bool discontinuity = sample->IsDiscontinuity() == S_OK;
  IMediaModule* overlay = overlay_.load();
  if ((!empty || !discontinuity) && overlay) {
    // The overlay takes what it needs during the call.
    params_.SetPtr("SAMPLE", sample.Get());
    overlay->SetParams(&params_);
    params_.SetPtr("SAMPLE", nullptr);
  }
  return S_OK;
}

int32_t CSubtitleWriter::GetState() { return finished_.load() ? WRITER_FINISHED : WRITER_RUNNING; }

HRESULT CSubtitleWriter::SetOutput(const char* path, const int32_t*) {
  outputName_ = path ? path : "";
  return S_OK;
}
