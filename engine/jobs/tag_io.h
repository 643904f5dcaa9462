// Reading and writing the tags of a media file, over TagLib: ID3v2 in MPEG
// audio (MP3, MP2, ADTS AAC), the MP4 family's atoms, ASF attributes, Xiph
// comments (FLAC, Ogg) and, through TagLib's own choice by extension, the
// other formats it knows. APE files have their own pair of functions, as FLAC
// has a reader that also gives the stream's length. The MPEG audio length
// comes from our own frame scan.
// Results: bool, true when done.
#pragma once

#include <chrono>
#include <cstdint>

#include "common/job_records.h"

class ITagLibrary {
 public:
  // TagRead fills the artist, title, album, comment, year, track and genre of
  // info (enabled untouched) and answers true when the file has any of them.
  virtual bool TagRead(const char* path, TagInfo* info) = 0;
  // Writes the seven fields (an empty one removes the tag's field); the file
  // is rewritten whole or left as it was.
  virtual bool TagWrite(const char* path, const TagInfo* info) = 0;

 protected:
  ~ITagLibrary() = default;
};

// Installs a library (null restores the TagLib one).
void SetTagLibrary(ITagLibrary* library);
ITagLibrary& TheTagLibrary();

bool TagRead(const char* path, TagInfo* info);
bool TagWrite(const char* path, const TagInfo* info);

// Copies the seven tag fields (not enabled); the genre arrives terminated.
void CopyTagFields(const TagInfo& from, TagInfo& to);

// The APE tag of a file (an ID3v1 tag when it has no APE tag); as TagRead.
bool ApeTagRead(const char* path, TagInfo* info);
// Writes an APE tag; as TagWrite.
bool ApeTagWrite(const char* path, const TagInfo* info);
// The tags of a FLAC file as TagRead, and its length in whole seconds
// (rounded) from the stream information; false when it is not a FLAC file
// with a known length.
bool FlacTagRead(const char* path, TagInfo* info, uint32_t* lengthSeconds);

// The length of an MPEG audio file in whole seconds (rounded), from its
// frames; false when it has none or the deadline passes first.
bool Mp3GetLength(const char* path, std::chrono::steady_clock::time_point deadline, int32_t* seconds);
