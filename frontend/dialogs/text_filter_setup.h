// The part of a filter dialog's settings object that keeps its accepted
// parameter text for GetParams.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "frontend/ui/filter_setup.h"

class CTextFilterSetup : public IFilterSetup {
 public:
  // The accepted text and its NUL; SETUP_E_NO_SETTINGS before an accepted Edit.
  HRESULT GetParams(void* buffer, uint32_t* length) override;
  const std::optional<std::string>& ResultText() const { return acceptedText_; }

 protected:
  // The text up to its first NUL or the length; false for null bytes of a
  // non-zero length.
  static bool TextOf(const void* bytes, uint32_t length, std::string_view& text);
  std::optional<std::string> acceptedText_;
};
