// A video codec driver configured through its own dialog: its opaque state is
// the setting bytes.
#pragma once

#include "frontend/model/vfw_driver.h"
#include "frontend/ui/filter_setup.h"

class CVfwCodecSetup final : public IFilterSetup {
 public:
  CVfwCodecSetup() = default;
  ~CVfwCodecSetup() override = default;
  CVfwCodecSetup(const CVfwCodecSetup&) = delete;
  CVfwCodecSetup& operator=(const CVfwCodecSetup&) = delete;

  // Opens the 'VIDC' driver of the handler for compressing (or decompressing).
  // S_OK; SETUP_E_CANNOT_OPEN when it cannot be opened (an instance opened
  // before stays, with its handler). A new instance replaces the old one.
  HRESULT Open(FOURCC handler, bool compress);
  bool IsOpen() const { return hic_ != nullptr; }
  FOURCC Handler() const { return handler_; }
  bool Compress() const { return compress_; }
  // Why the last Open failed.
  const std::string& OpenError() const { return openError_; }
  HIC Handle() const { return hic_.get(); }

  // S_OK when the driver's dialog ended with ICERR_OK; S_FALSE when nothing is
  // open, the driver has no dialog, or the dialog was cancelled. The dialog
  // gets the id of the parent's top-level window (0 without one).
  HRESULT Edit(QWidget* parent) override;
  // ICM_SETSTATE; SETUP_E_STATE_REFUSED when the driver takes nothing.
  HRESULT SetParams(const void* bytes, uint32_t length) override;
  // ICM_GETSTATE: the size first, then the state; SETUP_E_STATE_REFUSED when
  // the driver cannot tell or give it.
  HRESULT GetParams(void* buffer, uint32_t* length) override;

 private:
  FOURCC handler_ = 0;
  bool compress_ = true;
  UniqueHic hic_;
  std::string openError_;
};
