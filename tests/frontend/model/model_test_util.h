// Helpers of the front-end model tests: a temporary folder, a copy of the
// staged profile tree.
#pragma once

#include <string>

// A fresh folder under the build tree, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The staged profile folders (tree, acodec, vcodec, muxer, filter) and the
// defaults file copied into folder, as a program folder.
void CopyStagedProfiles(const std::string& folder);
