// IStreamDescriptions: an optional interface of readers that build their
// output pins from the stream descriptions a job carries for their source
// (parameter texts: TYPE, STREAMID, VFCC, ...). The job runner hands them
// over before OpenFile; a reader without it is opened as it is.
// Results: S_OK, or a failure code.
#pragma once

#include <cstdint>

#include "plugin-api/module_interfaces.h"

struct IStreamDescriptions {
  static constexpr GUID kIid = FourccGuid(MakeFourcc('I', 'S', 'D', 'S'));

  // Replaces the descriptions with copies of count texts (count 0 clears them).
  virtual HRESULT SetStreamDescriptions(const char* const* texts, int32_t count) = 0;

 protected:
  ~IStreamDescriptions() = default;
};

// The module's IStreamDescriptions, keeping the caller's reference count
// unchanged; null when the module does not answer the code.
inline IStreamDescriptions* QueryStreamDescriptions(IMediaModule* module) {
  if (!module) return nullptr;
  void* out = nullptr;
  if (module->QueryInterface(IStreamDescriptions::kIid, &out) != S_OK) return nullptr;
  Ref<IMediaModule> queried(module);  // the query's reference, given back here
  return static_cast<IStreamDescriptions*>(out);
}
