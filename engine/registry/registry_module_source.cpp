#include "engine/registry/registry_module_source.h"

IMediaModule* CRegistryModuleSource::CreateByName(CoderList list, const char* name) {
  switch (list) {
    case CoderList::VideoFilter:
      return registry_.videoFilters.CreateByName(name);
    case CoderList::AudioFilter:
      return registry_.audioFilters.CreateByName(name);
    case CoderList::VideoEncoder:
      return registry_.videoEncoders.CreateByName(name);
    case CoderList::AudioEncoder:
      return registry_.audioEncoders.CreateByName(name);
    case CoderList::Decoder:
      return registry_.decoders.CreateByName(name);
  }
  return nullptr;
}

IMediaModule* CRegistryModuleSource::CreateDecoder(const AM_MEDIA_TYPE* type) {
  return registry_.decoders.CreateByType(type, 1);
}

bool CRegistryModuleSource::HasDecoder(const AM_MEDIA_TYPE* type) { return registry_.decoders.HasType(type, 1); }

IMediaModule* CRegistryModuleSource::CreateWriter(const char* tag, WriterLimits* limits) {
  const WriterRegistration* entry = registry_.writers.FindByTag(tag);
  if (limits) *limits = entry ? WriterLimits{entry->maxAudio, entry->maxVideo} : WriterLimits{};
  return CreateFromRegistration(entry);
}

IMediaModule* CRegistryModuleSource::SelectReader(const char* path, bool* isFile) {
  bool notAFile = false;
  IMediaModule* reader = registry_.CreateReaderForPath(path, &notAFile);
  if (isFile) *isFile = !notAFile;
  return reader;
}

IMediaModule* CRegistryModuleSource::CreateReaderByExtension(const char* path) {
  return registry_.readers.CreateByExtension(path);
}
