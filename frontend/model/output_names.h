// Output file names: the naming rule, and the names given out in one run so
// that no two tasks write one file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text_case.h"

// title + "[n]" + "." + ext ("clip[2].avi"), without "[n]" for number 0; an
// ext beginning with '@' is a prefix instead: "pre_clip[2]".
std::string FormatOutputName(std::string_view title, std::string_view ext, int32_t number);

// The file name of a path without its folder and its last extension.
std::string TitleFromPath(std::string_view path);

class OutputNameList {
 public:
  struct Entry {
    std::string title;
    std::string ext;
    int32_t number = 0;
  };

  // The output folder; one trailing '/' is dropped.
  void SetFolder(std::string_view folder);
  const std::string& Folder() const { return folder_; }
  // folder + "/" + name.
  std::string PathOf(std::string_view fileName) const;

  // n when its name is neither given out nor an existing file, else the first
  // free number.
  int32_t ResolveNumber(std::string_view title, std::string_view ext, int32_t n) const;
  // The lowest number from 0 whose name is not given out and, with
  // avoidExisting, names no existing file (a dangling link counts as existing);
  // -1 when none is free below a million.
  int32_t FirstFreeNumber(std::string_view title, std::string_view ext, bool avoidExisting = true) const;
  // True when the name built from these is already given out. Names are
  // compared as built and ignoring case, so ("a.b", "c") and ("a", "b.c") meet.
  bool IsGivenOut(std::string_view title, std::string_view ext, int32_t number) const;
  bool FileExists(std::string_view title, std::string_view ext, int32_t number) const;

  void Add(std::string_view title, std::string_view ext, int32_t number);
  void Clear() { entries_.clear(); }
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  std::string folder_;
  std::vector<Entry> entries_;
};

// The output folder's write test: true when a file can be created in folder
// (it is made under a fresh name and removed again, so no file of the user's
// is touched), false for a missing or read-only folder.
bool DeleteTempListFile(const std::string& folder);
