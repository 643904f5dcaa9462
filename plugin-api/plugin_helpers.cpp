#include "plugin-api/plugin_helpers.h"

#include <cstring>

#include "common/param_list.h"

namespace {

void CopyField(char* dst, size_t capacity, const char* src) {
  if (capacity == 0) return;
  size_t n = src ? std::strlen(src) : 0;
  if (n >= capacity) n = capacity - 1;
  if (n) std::memcpy(dst, src, n);
  dst[n] = '\0';
}

ModuleRecord ZeroRecord(uint32_t kind, const char* name) {
  ModuleRecord r;
  std::memset(&r, 0, sizeof(r));
  r.header.kind = kind;
  CopyField(r.header.name, sizeof(r.header.name), name);
  return r;
}

}  // namespace

ModuleRecord MakeReaderRecord(const char* name, const char* tag, const char* extensions, const char* const* signatures,
                              uint32_t signatureCount) {
  ModuleRecord r = ZeroRecord(kRecordReader, name);
  CopyField(r.reader.tag, sizeof(r.reader.tag), tag);
  CopyField(r.reader.extensions, sizeof(r.reader.extensions), extensions);
  r.reader.signatureCount = signatures ? signatureCount : 0;
  r.reader.signatures = signatures;
  return r;
}

ModuleRecord MakeWriterRecord(const char* tag, const char* extension, int32_t minAudio, int32_t maxAudio,
                              int32_t minVideo, int32_t maxVideo) {
  ModuleRecord r = ZeroRecord(kRecordWriter, tag);
  r.writer.minAudio = minAudio;
  r.writer.maxAudio = maxAudio;
  r.writer.minVideo = minVideo;
  r.writer.maxVideo = maxVideo;
  CopyField(r.writer.extension, sizeof(r.writer.extension), extension);
  return r;
}

ModuleRecord MakeCoderRecord(const char* name, const GUID& inputMajor, const GUID& inputSubtype,
                             const GUID& outputMajor, const GUID& outputSubtype) {
  ModuleRecord r = ZeroRecord(kRecordCoder, name);
  r.coder.inputMajor = inputMajor;
  r.coder.inputSubtype = inputSubtype;
  r.coder.outputMajor = outputMajor;
  r.coder.outputSubtype = outputSubtype;
  return r;
}

ModuleRecord MakeFilterObjectRecord(uint32_t kind, const char* name) { return ZeroRecord(kind, name); }

int32_t PluginRecordIndex(CParamList* params) { return params ? params->GetInt("INDEX", -1) : -1; }

HRESULT PluginHandOut(IMediaModule* module, void** object) {
  *object = module;
  return module ? S_OK : E_OUTOFMEMORY;
}

uint32_t PluginListRecords(ModuleRecord* records, uint32_t count, void** out) {
  if (out == nullptr) return 0;
  *out = records;
  return count;
}

HRESULT PluginMakeObject(CParamList* params, void** object, uint32_t count, PluginMakeFn make) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  const int32_t index = PluginRecordIndex(params);
  if (index < 0 || static_cast<uint32_t>(index) >= count) return E_INVALIDARG;
  void* made = make(params, index);
  if (made == nullptr) return E_OUTOFMEMORY;
  *object = made;
  return S_OK;
}
