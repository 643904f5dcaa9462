// The settings interface of filter dialogs and codec configurators: the caller
// hands over the current settings, lets the object show its user interface,
// and reads the new settings back as bytes (a parameter text, or a codec's own
// state).
//
// Calling order: SetParams with the current settings; Edit; when Edit returns
// S_OK, GetParams with no buffer (SETUP_E_BUFFER_TOO_SMALL and the size), then
// into a buffer of that size (ReadSetupParams does both).
#pragma once

#include <cstdint>
#include <string>

#include "platform/win_types.h"

class QWidget;

constexpr HRESULT SETUP_E_NO_SETTINGS = MakeHResult(0x80040007u);       // no settings given yet
constexpr HRESULT SETUP_E_BUFFER_TOO_SMALL = MakeHResult(0x8004000Du);  // length set to the size needed
constexpr HRESULT SETUP_E_STATE_REFUSED = MakeHResult(0x80040208u);     // the codec refused its state
constexpr HRESULT SETUP_E_CANNOT_OPEN = MakeHResult(0x80040209u);       // the codec could not be opened

class IFilterSetup {
 public:
  // S_OK when the user accepted new settings; S_FALSE when the user cancelled
  // or there was nothing to edit; another code when the object was not
  // prepared.
  virtual HRESULT Edit(QWidget* parent) = 0;
  // Takes a copy of the settings (a parameter text with or without its NUL).
  virtual HRESULT SetParams(const void* bytes, uint32_t length) = 0;
  // Copies the settings and sets *length to the bytes written (a text's NUL
  // counted); SETUP_E_BUFFER_TOO_SMALL with *length the size needed when the
  // buffer is null or shorter; SETUP_E_NO_SETTINGS before any settings.
  virtual HRESULT GetParams(void* buffer, uint32_t* length) = 0;
  // No caller uses it: S_OK, no effect.
  virtual HRESULT Reserved(int32_t, int32_t) { return S_OK; }
  virtual ~IFilterSetup() = default;
};

// Reads the settings through the two GetParams calls; S_OK and the bytes (a
// text's NUL included), or the failing call's code.
HRESULT ReadSetupParams(IFilterSetup& setup, std::string& bytes);
