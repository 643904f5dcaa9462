#include "frontend/dialogs/adv_codec_setup.h"

#include <cstring>

#include "frontend/dialogs/dlg_advance_settings.h"
#include "frontend/model/option_values.h"

HRESULT CAdvCodecSetup::Attach(const std::vector<OptionDesc>* options, const std::vector<std::string>* limits) {
  options_ = options;
  limits_ = limits;
  if (options_ == nullptr) return E_NOTIMPL;
  for (const OptionDesc& option : *options_)
    if (option.visible != 0 && !IsLinkedOptionKey(option.name)) return S_OK;
  return E_NOTIMPL;
}

void CAdvCodecSetup::SetTitles(const std::string& title, const std::string& secondTitle) {
  title_ = title;
  secondTitle_ = secondTitle;
  hasTitles_ = true;
}

HRESULT CAdvCodecSetup::Edit(QWidget* parent) {
  if (options_ == nullptr || limits_ == nullptr || !text_) return SETUP_E_NO_SETTINGS;
  CDlgAdvanceSettings dialog(parent);
  dialog.SetOptions(options_, limits_);
  dialog.LoadParams(*text_);
  if (hasTitles_) dialog.SetTitles(title_, secondTitle_);
  if (dialog.DoModal() != IDOK) return S_FALSE;
  text_ = dialog.ParamText();
  return S_OK;
}

HRESULT CAdvCodecSetup::SetParams(const void* bytes, uint32_t length) {
  if (length == 0) {
    text_ = std::string();
    return S_OK;
  }
  if (bytes == nullptr) return E_POINTER;
  const char* text = static_cast<const char*>(bytes);
  const void* nul = std::memchr(text, '\0', length);
  text_ = std::string(text, nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - text) : length);
  return S_OK;
}

HRESULT CAdvCodecSetup::GetParams(void* buffer, uint32_t* length) {
  if (length == nullptr) return E_POINTER;
  if (!text_) return SETUP_E_NO_SETTINGS;
  const uint32_t needed = static_cast<uint32_t>(text_->size() + 1);
  if (buffer == nullptr || *length < needed) {
    *length = needed;
    return SETUP_E_BUFFER_TOO_SMALL;
  }
  *length = needed;
  std::memcpy(buffer, text_->c_str(), needed);
  return S_OK;
}
