// The settings of a codec or filter edited in the "Advance settings" dialog
// over its description's options and LIMIT combinations; the settings are a
// parameter text.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frontend/model/profile_db.h"
#include "frontend/ui/filter_setup.h"

class CAdvCodecSetup final : public IFilterSetup {
 public:
  CAdvCodecSetup() = default;
  ~CAdvCodecSetup() override = default;
  CAdvCodecSetup(const CAdvCodecSetup&) = delete;
  CAdvCodecSetup& operator=(const CAdvCodecSetup&) = delete;

  // Keeps both lists (the description's; they must outlive this object). S_OK
  // when a visible option other than the main keys exists (something for the
  // dialog to add to the settings page), E_NOTIMPL otherwise.
  HRESULT Attach(const std::vector<OptionDesc>* options, const std::vector<std::string>* limits);
  // The dialog's title and second group caption (63 characters each).
  void SetTitles(const std::string& title, const std::string& secondTitle);

  // SETUP_E_NO_SETTINGS without both lists and a text; else runs the dialog:
  // S_OK and its parameter text stored on OK, S_FALSE on Cancel.
  HRESULT Edit(QWidget* parent) override;
  // The text up to its first NUL (a length of 0 stores an empty text); E_POINTER
  // for null bytes of a non-zero length.
  HRESULT SetParams(const void* bytes, uint32_t length) override;
  // The text and its NUL.
  HRESULT GetParams(void* buffer, uint32_t* length) override;

  const std::optional<std::string>& Text() const { return text_; }

 private:
  const std::vector<OptionDesc>* options_ = nullptr;
  const std::vector<std::string>* limits_ = nullptr;
  std::optional<std::string> text_;
  bool hasTitles_ = false;
  std::string title_;
  std::string secondTitle_;
};
