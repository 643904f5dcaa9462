// CModuleRegistry: every module the engine can build (built-in readers,
// writers, decoders, encoders and filters, then the modules of the plug-ins
// in <engine folder>/plugin/), found by name, tag, media type, file
// signature, file extension or protocol prefix.
// Results: bool for found or matched; null for a module that cannot be made; counts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/guid.h"
#include "platform/media_types.h"
#include "plugin-api/module_interfaces.h"

class CParamList;

// A registration's create function: takes the entry's parameter list (may be
// null) and returns a new, opened module or null ("not available").
using ModuleFactory = IMediaModule* (*)(CParamList* params);

constexpr int kMaxSignatureChains = 8;
constexpr size_t kRegistryNameSize = 64;
constexpr size_t kRegistryExtensionSize = 32;

// One group of a signature chain; a chain matches when all its groups match.
struct SignatureGroup {
  int32_t offset = 0;       // negative: counted back from the end of the file
  int32_t length = 0;       // bytes
  uint8_t* mask = nullptr;  // null when the text gave none
  uint8_t* bytes = nullptr;
  SignatureGroup* next = nullptr;
};

// Parses a signature text ("offset,length,mask,bytes[,offset,...]"); null on
// any fault. Free the chain with FreeSignatureChain.
SignatureGroup* ParseSignatureChain(const char* text);
void FreeSignatureChain(SignatureGroup* chain);
// True when every group of the chain matches the open file.
bool SignatureChainMatches(const SignatureGroup* chain, int fd);

struct ReaderRegistration {
  char name[kRegistryNameSize] = {};
  char tag[kRegistryNameSize] = {};
  char extensions[kRegistryExtensionSize] = {};  // "a;b" or a prefix ending in ':'
  SignatureGroup* signatures[kMaxSignatureChains] = {};
  ModuleFactory create = nullptr;
  CParamList* params = nullptr;  // owned, may be null

  ReaderRegistration() = default;
  ReaderRegistration(const ReaderRegistration&) = delete;
  ReaderRegistration& operator=(const ReaderRegistration&) = delete;
  ~ReaderRegistration();

  // Parses the text into the first free chain slot; false (nothing stored)
  // when it does not parse or all slots are taken.
  bool AddSignature(const char* text);
  bool MatchesSignature(int fd) const;
  bool MatchesExtension(const char* path) const;
  bool MatchesPrefix(const char* path) const;
};

struct WriterRegistration {
  char tag[kRegistryNameSize] = {};
  int32_t minAudio = 0;
  int32_t maxAudio = 0;
  int32_t minVideo = 0;
  int32_t maxVideo = 0;
  int32_t minSubtitle = 0;
  int32_t maxSubtitle = 0;
  char extension[kRegistryExtensionSize] = {};  // default file extension
  ModuleFactory create = nullptr;
  CParamList* params = nullptr;  // owned, may be null

  WriterRegistration() = default;
  WriterRegistration(const WriterRegistration&) = delete;
  WriterRegistration& operator=(const WriterRegistration&) = delete;
  ~WriterRegistration();
};

// Decoders, encoders and filters.
struct CoderRegistration {
  char name[kRegistryNameSize] = {};
  GUID inputMajor = GUID_NULL;
  GUID inputSubtype = GUID_NULL;
  GUID outputMajor = GUID_NULL;
  GUID outputSubtype = GUID_NULL;
  ModuleFactory create = nullptr;
  CParamList* params = nullptr;  // owned, may be null

  CoderRegistration() = default;
  CoderRegistration(const CoderRegistration&) = delete;
  CoderRegistration& operator=(const CoderRegistration&) = delete;
  ~CoderRegistration();
};

// Copies text into a fixed field, cut to fit and NUL-terminated.
void CopyRegistryText(char* field, size_t capacity, const char* text);

// Ordered registration lists: appended at the tail, searched from the head,
// first match wins. A list owns its entries.
template <class Entry>
class CRegistrationList {
 public:
  CRegistrationList() = default;
  CRegistrationList(const CRegistrationList&) = delete;
  CRegistrationList& operator=(const CRegistrationList&) = delete;
  ~CRegistrationList() { Clear(); }

  Entry* Append(Entry* entry) {
    entries_.push_back(entry);
    return entry;
  }
  void Clear() {
    for (Entry* e : entries_) delete e;
    entries_.clear();
  }
  const std::vector<Entry*>& Entries() const { return entries_; }
  size_t Count() const { return entries_.size(); }

 protected:
  std::vector<Entry*> entries_;
};

class CCoderList : public CRegistrationList<CoderRegistration> {
 public:
  // direction 1 compares the entries' input pair, 0 their output pair.
  const CoderRegistration* FindByName(const char* name) const;
  const CoderRegistration* FindByType(const AM_MEDIA_TYPE* type, int32_t direction) const;
  IMediaModule* CreateByName(const char* name) const;
  bool HasType(const AM_MEDIA_TYPE* type, int32_t direction) const;
  IMediaModule* CreateByType(const AM_MEDIA_TYPE* type, int32_t direction) const;
};

class CReaderList : public CRegistrationList<ReaderRegistration> {
 public:
  const ReaderRegistration* FindBySignature(int fd) const;
  const ReaderRegistration* FindByExtension(const char* path) const;
  const ReaderRegistration* FindByPrefix(const char* path) const;
  IMediaModule* CreateBySignature(int fd) const;
  IMediaModule* CreateByExtension(const char* path) const;
  IMediaModule* CreateByPrefix(const char* path) const;
};

class CWriterList : public CRegistrationList<WriterRegistration> {
 public:
  const WriterRegistration* FindByTag(const char* tag) const;
  IMediaModule* CreateByTag(const char* tag) const;
};

// Calls the entry's create function with its parameter list and labels the
// module with the entry; null when there is none or it makes none.
template <class Entry>
IMediaModule* CreateFromRegistration(const Entry* entry) {
  if (entry == nullptr || entry->create == nullptr) return nullptr;
  IMediaModule* module = entry->create(entry->params);
  if (module != nullptr) module->SetRegistration(entry);
  return module;
}

class CModuleRegistry {
 public:
  CModuleRegistry() = default;
  CModuleRegistry(const CModuleRegistry&) = delete;
  CModuleRegistry& operator=(const CModuleRegistry&) = delete;

  // Fills every list: readers, writers, decoders, encoders (audio, then
  // video), filters, then the plug-ins of pluginFolder (default: the
  // "plugin" folder beside the program). Load the codec tables first.
  void Init();
  void Init(const std::string& pluginFolder);
  // Registers the modules of every "*.so" in the folder, in name order.
  // Returns how many records were registered; broken files are skipped.
  int LoadPlugins();
  int LoadPlugins(const std::string& folder);

  // Reader selection for a source path: the signature of the opened file,
  // then its extension; a path that is not a readable file tries the
  // protocol prefixes. notAFile (may be null) is set when the path could not
  // be opened as a file.
  IMediaModule* CreateReaderForPath(const char* path, bool* notAFile = nullptr) const;

  CCoderList videoFilters;
  CWriterList writers;
  CCoderList decoders;
  CCoderList audioEncoders;
  CReaderList readers;
  CCoderList audioFilters;
  CCoderList videoEncoders;

 private:
  void ClearAll();
  int LoadPluginFile(const std::string& path);
};

// The engine's registry, filled once at start-up.
CModuleRegistry& TheModuleRegistry();

// The "plugin" folder beside the program.
std::string DefaultPluginFolder();
