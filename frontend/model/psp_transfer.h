// The portable player's side of a transfer: which folder of the device a file
// goes to, under which name, and the folders made on the device before a copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One file of the transfer list.
struct PspCopyItem {
  std::string sourcePath;
  std::string fileName;     // the source path after its last '/'
  std::string pspFolder;    // relative to the device root: "MUSIC", "VIDEO", "MP_ROOT/100MNV01", "MP_ROOT/101ANV01"
  std::string pspFileName;  // set by the copy
  std::string prefix;       // "M4V" or "MAQ" for the numbered folders
  bool hasThumbnail = false;
  std::string thumbnailPath;  // a ".THM" beside an ".MP4" source
  int64_t size = 0;           // the file's size plus the thumbnail's
  int32_t copyStatus = 1;     // 1 pending, 0 copied, 2 failed
  bool audio = false;         // an "Audio" row
  bool numbered = false;      // the two MP_ROOT folders
  int rowIndex = 0;
};

// Widest picture the numbered folders take.
inline constexpr int kPspSmallVideoWidth = 370;

// Fills the folder and name rule of a file: width and height are its video
// size (0 and 0 for audio). Sizes and the thumbnail are read from disk.
PspCopyItem MakePspItem(const std::string& path, int width, int height, bool h264);

// The device folders, in the order they are made before every copy.
extern const char* const kPspFolders[8];
// Makes the missing device folders under root; false (with the error) when one
// cannot be made.
bool CreatePspFolders(const std::string& root, std::string* error);

// The path a file is copied to on the device; stores the chosen name into the
// item. Empty when every name is taken.
std::string MakePspTargetName(const std::string& root, PspCopyItem& item);

// The ".THM" beside a target: its last four characters replaced.
std::string ThumbnailTarget(const std::string& target);
