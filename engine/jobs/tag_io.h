// Reading and writing the tags of a media file. The engine's default library
// does nothing; the tag reader installs the real one at start-up.
#pragma once

#include "common/job_records.h"

class ITagLibrary {
 public:
  // true when done; the converters ignore what TagWrite answers.
  virtual bool TagRead(const char* path, TagInfo* info) = 0;
  virtual bool TagWrite(const char* path, const TagInfo* info) = 0;

 protected:
  ~ITagLibrary() = default;
};

// Installs the library (null restores the default that does nothing).
void SetTagLibrary(ITagLibrary* library);
ITagLibrary& TheTagLibrary();

bool TagRead(const char* path, TagInfo* info);
bool TagWrite(const char* path, const TagInfo* info);
