// Helpers of the model tests: fresh folders, files in them, probe records built
// from stream descriptors, and a copy of the staged profile tree.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "common/media_info_record.h"
#include "frontend/model/output_settings.h"

class VfccTable;

// An MP4 choice: H.264 and AAC at 44.1 kHz stereo, 800 and 128 kb/s, volume left alone.
OutputSettings Mp4Choice();
// The shipped profile "V_10_MP4" 1.ini as the profile dialog turns it into a
// choice (read from the staged profile tree).
OutputSettings ShippedMp4Choice();
// A codec table with the few codecs the stream texts of the tests name
// (MPEG-2 Video, AAC, AC-3, MP2).
const VfccTable& TestCodecTable();
// A fresh, empty folder named after the running test.
std::string TestFolder();
// Creates a file with a few bytes; its path.
std::string Touch(const std::string& path, size_t bytes = 3);
// A probe record with these track texts and length.
std::unique_ptr<MediaInfoRecord> Probe(const std::vector<std::string>& tracks, double length = 10.0);
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
