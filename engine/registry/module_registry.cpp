#include "engine/registry/module_registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "common/param_list.h"
#include "engine/registry/builtin_modules.h"
#include "platform/diagnostics.h"
#include "platform/dynamic_library.h"
#include "platform/program_folder.h"
#include "plugin-api/module_record.h"
#include "plugin-api/plugin_exports.h"

// ---------------------------------------------------------------------------
// Signature chains

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

// A decimal field (optionally "-" first when allowSign); false on an empty
// field, a stray character or a value outside int32.
bool ParseDecimal(const std::string& field, bool allowSign, int32_t* out) {
  size_t i = 0;
  bool negative = false;
  if (allowSign && i < field.size() && field[i] == '-') {
    negative = true;
    ++i;
  }
  if (i == field.size()) return false;
  int64_t value = 0;
  for (; i < field.size(); ++i) {
    const char c = field[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return false;
  }
  *out = static_cast<int32_t>(negative ? -value : value);
  return true;
}

uint8_t* ParseHexBytes(const std::string& field) {
  const size_t n = field.size() / 2;
  auto* bytes = new uint8_t[n];
  for (size_t i = 0; i < n; ++i)
    bytes[i] = static_cast<uint8_t>(HexDigit(field[2 * i]) * 16 + HexDigit(field[2 * i + 1]));
  return bytes;
}

}  // namespace

void FreeSignatureChain(SignatureGroup* chain) {
  while (chain != nullptr) {
    SignatureGroup* next = chain->next;
    delete[] chain->mask;
    delete[] chain->bytes;
    delete chain;
    chain = next;
  }
}

SignatureGroup* ParseSignatureChain(const char* text) {
  if (text == nullptr) return nullptr;
  // Split into fields on ',' with every space dropped.
  std::vector<std::string> fields(1);
  for (const char* p = text; *p; ++p) {
    if (*p == ' ') continue;
    if (*p == ',')
      fields.emplace_back();
    else
      fields.back().push_back(*p);
  }
  // Groups of four fields, the last one complete.
  if (fields.size() % 4 != 0) return nullptr;
  SignatureGroup* head = nullptr;
  SignatureGroup** tail = &head;
  for (size_t f = 0; f < fields.size(); f += 4) {
    int32_t offset = 0, length = 0;
    const std::string& mask = fields[f + 2];
    const std::string& bytes = fields[f + 3];
    // A group of no bytes would match every file: refused like any bad field.
    if (!ParseDecimal(fields[f], true, &offset) || !ParseDecimal(fields[f + 1], false, &length) || length <= 0 ||
        bytes.size() != 2 * size_t(length) || (!mask.empty() && mask.size() != 2 * size_t(length))) {
      FreeSignatureChain(head);
      return nullptr;
    }
    auto* group = new SignatureGroup;
    group->offset = offset;
    group->length = length;
    group->mask = mask.empty() ? nullptr : ParseHexBytes(mask);
    group->bytes = ParseHexBytes(bytes);
    *tail = group;
    tail = &group->next;
  }
  return head;
}

bool SignatureChainMatches(const SignatureGroup* chain, int fd) {
  if (chain == nullptr) return false;
  for (const SignatureGroup* g = chain; g != nullptr; g = g->next) {
    if (lseek(fd, g->offset, g->offset < 0 ? SEEK_END : SEEK_SET) < 0) return false;
    uint8_t buffer[256];
    int32_t done = 0;
    while (done < g->length) {
      const size_t want = std::min<size_t>(sizeof(buffer), size_t(g->length - done));
      const ssize_t got = read(fd, buffer, want);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      for (ssize_t i = 0; i < got; ++i) {
        uint8_t b = buffer[i];
        if (g->mask) b &= g->mask[done + i];
        if (b != g->bytes[done + i]) return false;
      }
      done += int32_t(got);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Registrations

void CopyRegistryText(char* field, size_t capacity, const char* text) {
  if (capacity == 0) return;
  size_t n = text ? strnlen(text, capacity - 1) : 0;
  if (n) std::memcpy(field, text, n);
  std::memset(field + n, 0, capacity - n);
}

ReaderRegistration::~ReaderRegistration() {
  for (SignatureGroup*& chain : signatures) {
    FreeSignatureChain(chain);
    chain = nullptr;
  }
  delete params;
}

bool ReaderRegistration::AddSignature(const char* text) {
  SignatureGroup** slot = std::find(std::begin(signatures), std::end(signatures), nullptr);
  if (slot == std::end(signatures)) return false;
  *slot = ParseSignatureChain(text);
  return *slot != nullptr;
}

bool ReaderRegistration::MatchesSignature(int fd) const {
  for (const SignatureGroup* chain : signatures)
    if (chain != nullptr && SignatureChainMatches(chain, fd)) return true;
  return false;
}

bool ReaderRegistration::MatchesExtension(const char* path) const {
  if (extensions[0] == '\0' || path == nullptr) return false;
  const char* dot = std::strrchr(path, '.');
  if (dot == nullptr) return false;
  const char* ext = dot + 1;
  const char* item = extensions;
  while (true) {
    const char* end = std::strchr(item, ';');
    const size_t len = end ? size_t(end - item) : std::strlen(item);
    if (len == std::strlen(ext) && strncasecmp(item, ext, len) == 0) return true;
    if (end == nullptr) return false;
    item = end + 1;
  }
}

bool ReaderRegistration::MatchesPrefix(const char* path) const {
  const size_t len = std::strlen(extensions);
  if (len == 0 || extensions[len - 1] != ':' || path == nullptr) return false;
  return strncasecmp(path, extensions, len) == 0;
}

WriterRegistration::~WriterRegistration() { delete params; }
CoderRegistration::~CoderRegistration() { delete params; }

// ---------------------------------------------------------------------------
// Lists

namespace {

bool TypeMatches(const CoderRegistration* e, const AM_MEDIA_TYPE* type, int32_t direction) {
  const GUID& major = direction == 1 ? e->inputMajor : e->outputMajor;
  const GUID& subtype = direction == 1 ? e->inputSubtype : e->outputSubtype;
  return major == type->majortype && subtype == type->subtype;
}

}  // namespace

const CoderRegistration* CCoderList::FindByName(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const CoderRegistration* e : entries_)
    if (strcasecmp(e->name, name) == 0) return e;
  return nullptr;
}

const CoderRegistration* CCoderList::FindByType(const AM_MEDIA_TYPE* type, int32_t direction) const {
  if (type == nullptr) return nullptr;
  for (const CoderRegistration* e : entries_)
    if (TypeMatches(e, type, direction)) return e;
  return nullptr;
}

IMediaModule* CCoderList::CreateByName(const char* name) const { return CreateFromRegistration(FindByName(name)); }

bool CCoderList::HasType(const AM_MEDIA_TYPE* type, int32_t direction) const {
  return FindByType(type, direction) != nullptr;
}

IMediaModule* CCoderList::CreateByType(const AM_MEDIA_TYPE* type, int32_t direction) const {
  return CreateFromRegistration(FindByType(type, direction));
}

const ReaderRegistration* CReaderList::FindBySignature(int fd) const {
  if (fd < 0) return nullptr;
  for (const ReaderRegistration* e : entries_)
    if (e->MatchesSignature(fd)) return e;
  return nullptr;
}

const ReaderRegistration* CReaderList::FindByExtension(const char* path) const {
  for (const ReaderRegistration* e : entries_)
    if (e->MatchesExtension(path)) return e;
  return nullptr;
}

const ReaderRegistration* CReaderList::FindByPrefix(const char* path) const {
  for (const ReaderRegistration* e : entries_)
    if (e->MatchesPrefix(path)) return e;
  return nullptr;
}

IMediaModule* CReaderList::CreateBySignature(int fd) const { return CreateFromRegistration(FindBySignature(fd)); }

IMediaModule* CReaderList::CreateByExtension(const char* path) const {
  return CreateFromRegistration(FindByExtension(path));
}

IMediaModule* CReaderList::CreateByPrefix(const char* path) const { return CreateFromRegistration(FindByPrefix(path)); }

const WriterRegistration* CWriterList::FindByTag(const char* tag) const {
  if (tag == nullptr) return nullptr;
  for (const WriterRegistration* e : entries_)
    if (strcasecmp(e->tag, tag) == 0) return e;
  return nullptr;
}

IMediaModule* CWriterList::CreateByTag(const char* tag) const { return CreateFromRegistration(FindByTag(tag)); }

// ---------------------------------------------------------------------------
// Plug-in create functions

namespace {

constexpr int32_t kMaxPathChars = 260;  // including the terminating NUL

// Loads the plug-in named by "PATH" for good and makes the object of the
// record "INDEX"; null on any failure.
void* MakePluginObject(CParamList* params) {
  if (params == nullptr) return nullptr;
  const char* path = params->GetStringPtr("PATH");
  if (path[0] == '\0' || std::strlen(path) >= size_t(kMaxPathChars)) {
    Diag(DiagLevel::kWarning, "plug-in path missing or too long");
    return nullptr;
  }
  // Stays loaded for the rest of the process: its code now backs a module.
  DynamicLibrary library;
  std::string error;
  if (!library.Open(path, &error)) {
    Diag(DiagLevel::kWarning, "cannot load plug-in %s: %s", path, error.c_str());
    return nullptr;
  }
  auto getObject = reinterpret_cast<PluginGetObjectFn>(library.Symbol(kPluginGetObjectName));
  library.Release();
  if (getObject == nullptr) {
    Diag(DiagLevel::kWarning, "plug-in %s has no %s", path, kPluginGetObjectName);
    return nullptr;
  }
  void* object = nullptr;
  const HRESULT hr = getObject(params, &object);
  if (hr != 0) {
    Diag(DiagLevel::kWarning, "plug-in %s refused object %d: %08X", path, params->GetInt("INDEX", -1),
         static_cast<unsigned>(hr));
    return nullptr;
  }
  return object;
}

template <class Interface>
IMediaModule* CreatePluginModule(CParamList* params) {
  Ref<IMediaModule> module(static_cast<IMediaModule*>(MakePluginObject(params)));
  if (!module) return nullptr;
  Interface* answer = QueryAs<Interface>(module.Get());
  if (answer == nullptr) {
    Diag(DiagLevel::kWarning, "plug-in %s: object %d does not answer its interface", params->GetStringPtr("PATH"),
         params->GetInt("INDEX", -1));
    return nullptr;
  }
  module.Detach();  // the caller's reference, seen as answer
  return answer;
}

IMediaModule* CreatePluginReader(CParamList* params) { return CreatePluginModule<IMediaReader>(params); }
IMediaModule* CreatePluginWriter(CParamList* params) { return CreatePluginModule<IMediaWriter>(params); }
IMediaModule* CreatePluginCoder(CParamList* params) { return CreatePluginModule<IMediaTransform>(params); }

IVideoFilter* PluginVideoFilterFactory(CParamList* params) {
  return static_cast<IVideoFilter*>(MakePluginObject(params));
}

IAudioFilter* PluginAudioFilterFactory(CParamList* params) {
  return static_cast<IAudioFilter*>(MakePluginObject(params));
}

// Reads a record field that may lack its NUL.
void CopyRecordText(char* field, size_t capacity, const char* text, size_t textSize) {
  char buffer[kRecordNameSize + 1];
  const size_t n = std::min(textSize, sizeof(buffer) - 1);
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  CopyRegistryText(field, capacity, buffer);
}

bool HasInput(const CoderRecord& r, const GUID& major, const GUID& subtype) {
  return r.inputMajor == major && r.inputSubtype == subtype;
}

}  // namespace

// ---------------------------------------------------------------------------
// Registry

void CModuleRegistry::ClearAll() {
  videoFilters.Clear();
  writers.Clear();
  decoders.Clear();
  audioEncoders.Clear();
  readers.Clear();
  audioFilters.Clear();
  videoEncoders.Clear();
}

void CModuleRegistry::Init() { Init(DefaultPluginFolder()); }

void CModuleRegistry::Init(const std::string& pluginFolder) {
  ClearAll();
  RegisterBuiltinReaders(readers);
  RegisterBuiltinWriters(writers);
  RegisterBuiltinDecoders(decoders);
  RegisterBuiltinEncoders(audioEncoders, videoEncoders);
  RegisterBuiltinFilters(audioFilters, videoFilters);
  LoadPlugins(pluginFolder);
}

int CModuleRegistry::LoadPlugins() { return LoadPlugins(DefaultPluginFolder()); }

int CModuleRegistry::LoadPlugins(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;  // no plug-in folder: nothing to register
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  int registered = 0;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (path.size() >= size_t(kMaxPathChars)) {
      Diag(DiagLevel::kWarning, "plug-in path too long, skipped: %s", path.c_str());
      continue;
    }
    registered += LoadPluginFile(path);
  }
  return registered;
}

int CModuleRegistry::LoadPluginFile(const std::string& path) {
  DynamicLibrary library;
  std::string error;
  if (!library.Open(path, &error)) {
    Diag(DiagLevel::kWarning, "cannot load plug-in %s: %s", path.c_str(), error.c_str());
    return 0;
  }
  auto getObject = reinterpret_cast<PluginGetObjectFn>(library.Symbol(kPluginGetObjectName));
  auto getRegister = reinterpret_cast<PluginGetRegisterFn>(library.Symbol(kPluginGetRegisterName));
  if (getObject == nullptr || getRegister == nullptr) {
    Diag(DiagLevel::kWarning, "plug-in %s lacks %s, skipped", path.c_str(),
         getObject == nullptr ? kPluginGetObjectName : kPluginGetRegisterName);
    return 0;
  }
  void* array = nullptr;
  const uint32_t count = getRegister(&array);
  if (count == 0 || array == nullptr) {
    Diag(DiagLevel::kWarning, "plug-in %s registers no module", path.c_str());
    return 0;
  }
  int registered = 0;
  const auto* bytes = static_cast<const uint8_t*>(array);
  for (uint32_t i = 0; i < count; ++i) {
    ModuleRecord record;
    std::memcpy(&record, bytes + size_t(i) * kModuleRecordSize, kModuleRecordSize);
    auto* params = new CParamList;
    params->SetString("PATH", path.c_str());
    params->SetInt("INDEX", int32_t(i));
    const uint32_t kind = record.header.kind;
    if (kind == kRecordReader) {
      const ReaderRecord& r = record.reader;
      auto* e = new ReaderRegistration;
      CopyRecordText(e->name, sizeof(e->name), r.name, sizeof(r.name));
      CopyRecordText(e->tag, sizeof(e->tag), r.tag, sizeof(r.tag));
      CopyRecordText(e->extensions, sizeof(e->extensions), r.extensions, sizeof(r.extensions));
      if (r.signatures != nullptr) {
        for (uint32_t s = 0; s < r.signatureCount; ++s) {
          if (!e->AddSignature(r.signatures[s]))
            Diag(DiagLevel::kWarning, "plug-in %s: reader %s: signature %u refused", path.c_str(), e->tag, s);
        }
      }
      e->create = CreatePluginReader;
      e->params = params;
      readers.Append(e);
    } else if (kind == kRecordWriter) {
      const WriterRecord& r = record.writer;
      auto* e = new WriterRegistration;
      CopyRecordText(e->tag, sizeof(e->tag), r.name, sizeof(r.name));
      CopyRecordText(e->extension, sizeof(e->extension), r.extension, sizeof(r.extension));
      e->minAudio = r.minAudio;
      e->maxAudio = r.maxAudio;
      e->minVideo = r.minVideo;
      e->maxVideo = r.maxVideo;
      e->create = CreatePluginWriter;
      e->params = params;
      writers.Append(e);
    } else if (kind == kRecordCoder) {
      const CoderRecord& r = record.coder;
      auto* e = new CoderRegistration;
      CopyRecordText(e->name, sizeof(e->name), r.name, sizeof(r.name));
      e->inputMajor = r.inputMajor;
      e->inputSubtype = r.inputSubtype;
      e->outputMajor = r.outputMajor;
      e->outputSubtype = r.outputSubtype;
      e->create = CreatePluginCoder;
      e->params = params;
      if (HasInput(r, MEDIATYPE_Audio, MEDIASUBTYPE_PCM))
        audioEncoders.Append(e);
      else if (HasInput(r, MEDIATYPE_Video, MEDIASUBTYPE_YV12))
        videoEncoders.Append(e);
      else
        decoders.Append(e);
    } else if (kind == kRecordAudioFilterObject || kind == kRecordVideoFilterObject) {
      const bool video = kind == kRecordVideoFilterObject;
      if (video)
        params->SetPtr("FNVF", reinterpret_cast<void*>(&PluginVideoFilterFactory));
      else
        params->SetPtr("FNAF", reinterpret_cast<void*>(&PluginAudioFilterFactory));
      auto* e = new CoderRegistration;
      CopyRecordText(e->name, sizeof(e->name), record.header.name, sizeof(record.header.name));
      e->inputMajor = MEDIATYPE_Audio;
      e->inputSubtype = MEDIASUBTYPE_PCM;
      e->create = video ? CreateVideoFilterHostModule : CreateAudioFilterHostModule;
      e->params = params;
      (video ? videoFilters : audioFilters).Append(e);
    } else {
      Diag(DiagLevel::kWarning, "plug-in %s: record %u of unknown kind %08X skipped", path.c_str(), i, kind);
      delete params;
      continue;
    }
    ++registered;
  }
  // Every text and signature has been copied; the library closes here.
  return registered;
}

IMediaModule* CModuleRegistry::CreateReaderForPath(const char* path, bool* notAFile) const {
  if (notAFile) *notAFile = false;
  if (path == nullptr) return nullptr;
  // Only a regular file is opened: a FIFO would block the open for ever.
  struct stat st {};
  int fd = stat(path, &st) == 0 && S_ISREG(st.st_mode) ? open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK) : -1;
  if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    close(fd);
    fd = -1;
  }
  IMediaModule* module = nullptr;
  if (fd < 0) {
    ConsoleLine("cannot open file %s\n", path);
    if (notAFile) *notAFile = true;
    module = readers.CreateByPrefix(path);
  } else {
    module = readers.CreateBySignature(fd);
    close(fd);
    if (module == nullptr) module = readers.CreateByExtension(path);
  }
  if (module != nullptr) {
    const auto* entry = static_cast<const ReaderRegistration*>(module->GetRegistration());
    ConsoleLine("File:%s fmt:%s\n", path, entry ? entry->tag : "");
  }
  return module;
}

CModuleRegistry& TheModuleRegistry() {
  static CModuleRegistry* registry = new CModuleRegistry;  // lives until the process ends
  return *registry;
}

std::string DefaultPluginFolder() { return BesideProgram("plugin"); }
