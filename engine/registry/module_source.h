// The module registry as the job runners ask it for modules: coders and
// filters by name, decoders by media type, writers by tag, readers by path.
// Results: null for a module that cannot be made; bool for found.
#pragma once

#include <cstdint>

#include "plugin-api/module_interfaces.h"

// Stream maxima of a writer's registration.
struct WriterLimits {
  int32_t maxAudio = 0;
  int32_t maxVideo = 0;
};

enum class CoderList { VideoFilter, AudioFilter, VideoEncoder, AudioEncoder, Decoder };

class IModuleSource {
 public:
  virtual ~IModuleSource() = default;

  // New opened modules with one reference, or null.
  virtual IMediaModule* CreateByName(CoderList list, const char* name) = 0;
  // The first decoder whose input pair equals the type's major type and subtype.
  virtual IMediaModule* CreateDecoder(const AM_MEDIA_TYPE* type) = 0;
  virtual bool HasDecoder(const AM_MEDIA_TYPE* type) = 0;
  virtual IMediaModule* CreateWriter(const char* tag, WriterLimits* limits) = 0;
  // Reader selection for a path: by signature, then extension, for a path
  // that opens as a file (*isFile true); by protocol prefix otherwise.
  virtual IMediaModule* SelectReader(const char* path, bool* isFile) = 0;
  virtual IMediaModule* CreateReaderByExtension(const char* path) = 0;
};

// The text of a module's registration (its entry's first field), or "".
const char* RegistrationName(IMediaModule* module);
