#include "frontend/ui/vfw_codec_setup.h"

#include <QWidget>

HRESULT CVfwCodecSetup::Open(FOURCC handler, bool compress) {
  openError_.clear();
  UniqueHic hic(ICOpen(ICTYPE_VIDEO, handler, compress ? ICMODE_COMPRESS : ICMODE_DECOMPRESS, &openError_));
  if (hic == nullptr) return SETUP_E_CANNOT_OPEN;
  hic_ = std::move(hic);
  handler_ = handler;
  compress_ = compress;
  return S_OK;
}

HRESULT CVfwCodecSetup::Edit(QWidget* parent) {
  if (hic_ == nullptr || ICQueryConfigure(hic_.get()) != ICERR_OK) return S_FALSE;
  intptr_t window = 0;
  if (parent != nullptr && parent->window() != nullptr) window = static_cast<intptr_t>(parent->window()->winId());
  return ICConfigure(hic_.get(), window) == ICERR_OK ? S_OK : S_FALSE;
}

HRESULT CVfwCodecSetup::SetParams(const void* bytes, uint32_t length) {
  return ICSetState(hic_.get(), bytes, length) > 0 ? S_OK : SETUP_E_STATE_REFUSED;
}

HRESULT CVfwCodecSetup::GetParams(void* buffer, uint32_t* length) {
  if (length == nullptr) return E_POINTER;
  intptr_t needed = ICGetStateSize(hic_.get());
  if (needed < 0 || needed > static_cast<intptr_t>(UINT32_MAX)) {
    *length = 0;
    return SETUP_E_STATE_REFUSED;
  }
  const uint32_t given = *length;
  *length = static_cast<uint32_t>(needed);
  if (buffer == nullptr || given < *length) return SETUP_E_BUFFER_TOO_SMALL;
  return ICGetState(hic_.get(), buffer, *length) == ICERR_OK ? S_OK : SETUP_E_STATE_REFUSED;
}
