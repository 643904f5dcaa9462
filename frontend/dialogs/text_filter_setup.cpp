#include "frontend/dialogs/text_filter_setup.h"

#include <cstring>

HRESULT CTextFilterSetup::GetParams(void* buffer, uint32_t* length) {
  if (length == nullptr) return E_POINTER;
  if (!acceptedText_) return SETUP_E_NO_SETTINGS;
  const uint32_t needed = static_cast<uint32_t>(acceptedText_->size() + 1);
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    return SETUP_E_BUFFER_TOO_SMALL;
  }
  *length = needed;
  std::memcpy(buffer, acceptedText_->c_str(), needed);
  return S_OK;
}

bool CTextFilterSetup::TextOf(const void* bytes, uint32_t length, std::string_view& text) {
  if (length != 0 && bytes == nullptr) return false;
  const char* chars = static_cast<const char*>(bytes);
  const void* nul = length != 0 ? std::memchr(chars, '\0', length) : nullptr;
  const size_t size = length == 0 ? 0 : nul != nullptr ? size_t(static_cast<const char*>(nul) - chars) : length;
  text = std::string_view(chars != nullptr ? chars : "", size);
  return true;
}
