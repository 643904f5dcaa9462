// The moniker table: the filters this process can make, by display name
// ("@device:sw:{category}\{class id}", "@device:dmo:{class id}{category}",
// "@device:cm:{category}\name"...), in place of the system's filter
// enumeration. Graph building looks here for sources, decoders and renderers
// by role, media type and merit.
// Results: S_OK or a failure code (MK_E_SYNTAX, MK_E_NOOBJECT, E_OUTOFMEMORY).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/dshow_interfaces.h"

enum class FilterRole : int32_t {
  kSource,     // loads a file (IFileSourceFilter)
  kTransform,  // decoders and other filters with inputs and outputs
  kRenderer,   // ends a stream
  kOther,      // made only by display name (compressors, file writers)
};

// A media type the filter takes or gives; GUID_NULL fields match anything.
struct FilterPinType {
  GUID major;
  GUID subtype;
};

// Returns a new filter holding one reference, or null.
using FilterFactory = IBaseFilter* (*)(void* context);

struct MonikerEntry {
  std::u16string displayName;
  std::string friendlyName;
  FilterRole role = FilterRole::kOther;
  uint32_t merit = 0;  // higher first
  std::vector<FilterPinType> inputs;
  std::vector<FilterPinType> outputs;
  // Sources: the file extensions (lower case, no dot) the source claims
  // first; a source without extensions is tried for any file after those.
  std::vector<std::string> extensions;
  FilterFactory create = nullptr;
  void* context = nullptr;
};

// True for "@device:" followed by a class of at least two letters, ':' and a
// nonempty rest.
bool IsWellFormedDisplayName(const WCHAR* name);

class CMonikerTable {
 public:
  // The process's table.
  static CMonikerTable& Instance();

  // Adds the entry; an entry of the same display name (without case) is replaced.
  void Register(const MonikerEntry& entry);
  // true when an entry was removed.
  bool Unregister(const WCHAR* displayName);
  bool Contains(const WCHAR* displayName) const;
  // A new filter by display name: MK_E_SYNTAX for a malformed name,
  // MK_E_NOOBJECT for a name the table lacks, E_OUTOFMEMORY when the
  // factory makes none.
  HRESULT Bind(const WCHAR* displayName, IBaseFilter** out) const;
  // Entries of the role whose inputs take the type (any type when null),
  // highest merit first (registration order among equals).
  std::vector<MonikerEntry> Find(FilterRole role, const AM_MEDIA_TYPE* inputType) const;
  // Sources to try for a file: those claiming its extension, then those without extensions.
  std::vector<MonikerEntry> SourcesFor(const WCHAR* fileName) const;

 private:
  CMonikerTable() = default;
  mutable std::mutex lock_;
  std::vector<MonikerEntry> entries_;
};
