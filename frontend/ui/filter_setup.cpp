#include "frontend/ui/filter_setup.h"

#include <utility>

HRESULT ReadSetupParams(IFilterSetup& setup, std::string& bytes) {
  uint32_t needed = 0;
  HRESULT hr = setup.GetParams(nullptr, &needed);
  if (hr != SETUP_E_BUFFER_TOO_SMALL) return FAILED(hr) ? hr : E_UNEXPECTED;
  std::string buffer(needed, '\0');
  uint32_t length = needed;
  hr = setup.GetParams(buffer.data(), &length);
  if (FAILED(hr)) return hr;
  if (length > needed) return E_UNEXPECTED;
  buffer.resize(length);
  bytes = std::move(buffer);
  return S_OK;
}
