#include "engine/jobs/tag_io.h"

#include <atomic>

namespace {

class NoTagLibrary final : public ITagLibrary {
 public:
  bool TagRead(const char*, TagInfo*) override { return false; }
  bool TagWrite(const char*, const TagInfo*) override { return false; }
};

NoTagLibrary g_none;
std::atomic<ITagLibrary*> g_library{&g_none};

}  // namespace

void SetTagLibrary(ITagLibrary* library) { g_library.store(library ? library : &g_none); }

ITagLibrary& TheTagLibrary() { return *g_library.load(); }

bool TagRead(const char* path, TagInfo* info) { return TheTagLibrary().TagRead(path, info); }

bool TagWrite(const char* path, const TagInfo* info) { return TheTagLibrary().TagWrite(path, info); }
