#include "engine/modules/filters/colour_convert_filter.h"

#include <algorithm>
#include <cstring>

#include "common/param_list.h"
#include "engine/modules/filters/frame_layout.h"
#include "platform/win_types.h"

IVideoFilter* CColorConvertFilter::Create(CParamList*) { return new CColorConvertFilter(); }

int32_t CColorConvertFilter::SetFormat(const FrameFormat* format) {
  input_ = *format;
  output_ = *format;
  return 0;
}

int32_t CColorConvertFilter::GetOutputFormat(FrameFormat* format) {
  *format = output_;
  return 0;
}

int32_t CColorConvertFilter::Start() {
  startInType_ = input_.colourType;
  startOutType_ = output_.colourType;
  scaler_.Close();
  return 0;
}

int32_t CColorConvertFilter::SetOutputColourType(int32_t colourType) {
  if (colourType < kColourYuv420 || colourType > kColourRgb565) return E_FAIL;
  output_.colourType = colourType;
  return 0;
}

int32_t CColorConvertFilter::SetParams(CParamList* params) {
  return SetOutputColourType(params->GetInt("COLORTYPE", 0));
}

int32_t CColorConvertFilter::Destroy() {
  delete this;
  return 0;
}

int32_t CColorConvertFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType == output_.colourType) {
    for (int i = 0; i < 3; ++i) {
      const size_t bytes = size_t(std::max(in->pitch[i], 0)) * size_t(std::max(in->rows[i], 0));
      if (bytes != 0 && in->pointer[i] != nullptr && out->pointer[i] != nullptr)
        std::memcpy(out->pointer[i], in->pointer[i], bytes);
    }
    return 0;
  }
  if (!scaler_.IsOpen()) {
    const HRESULT hr = scaler_.Open(startInType_, startOutType_, input_.width, input_.height);
    if (hr != S_OK) return hr;
  }
  // YUV rows run top-down, RGB rows bottom-up: across the families the frame is turned over.
  scaler_.Convert(*in, out, IsYuvColourType(startInType_) != IsYuvColourType(startOutType_));
  return 0;
}
