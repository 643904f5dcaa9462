// The engine's module registry behind the job runners' module source.
#pragma once

#include "engine/registry/module_registry.h"
#include "engine/registry/module_source.h"

class CRegistryModuleSource final : public IModuleSource {
 public:
  explicit CRegistryModuleSource(CModuleRegistry& registry) : registry_(registry) {}

  IMediaModule* CreateByName(CoderList list, const char* name) override;
  IMediaModule* CreateDecoder(const AM_MEDIA_TYPE* type) override;
  bool HasDecoder(const AM_MEDIA_TYPE* type) override;
  IMediaModule* CreateWriter(const char* tag, WriterLimits* limits) override;
  IMediaModule* SelectReader(const char* path, bool* isFile) override;
  IMediaModule* CreateReaderByExtension(const char* path) override;

 private:
  CModuleRegistry& registry_;
};
