#include "frontend/model/psp_transfer.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "frontend/model/file_copy.h"

const char* const kPspFolders[8] = {
    "MUSIC", "VIDEO", "PSP", "PSP/VIDEO", "MP_ROOT", "MP_ROOT/100MNV01", "MP_ROOT/101ANV01", "PICTURE"};

namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool Readable(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

PspCopyItem MakePspItem(const std::string& path, int width, int height, bool h264) {
  PspCopyItem item;
  item.sourcePath = path;
  const size_t slash = path.rfind('/');
  item.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
  if (width != 0 && height != 0 && width <= kPspSmallVideoWidth) {
    item.pspFolder = h264 ? "MP_ROOT/101ANV01" : "MP_ROOT/100MNV01";
    item.prefix = h264 ? "MAQ" : "M4V";
    item.numbered = true;
  } else if (width != 0 && height != 0) {
    item.pspFolder = "VIDEO";
  } else {
    item.pspFolder = "MUSIC";
    item.audio = true;
  }
  item.size = FileSize64(path);
  if (path.size() >= 4 && Upper(path.substr(path.size() - 4)) == ".MP4") {
    const std::string thumb = path.substr(0, path.size() - 4) + ".THM";
    if (Readable(thumb)) {
      item.hasThumbnail = true;
      item.thumbnailPath = thumb;
      item.size += FileSize64(thumb);
    }
  }
  item.copyStatus = 1;
  return item;
}

bool CreatePspFolders(const std::string& root, std::string* error) {
  for (const char* folder : kPspFolders) {
    const std::string path = JoinFolder(root, folder);
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
      if (error != nullptr) *error = "cannot make \"" + path + "\": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string MakePspTargetName(const std::string& root, PspCopyItem& item) {
  const std::string folder = JoinFolder(root, item.pspFolder);
  if (item.numbered) {
    for (int n = 1; n <= kMaxCopyNumber; ++n) {
      char name[32];
      std::snprintf(name, sizeof(name), "%s%05d.MP4", item.prefix.c_str(), n);
      const std::string candidate = JoinFolder(folder, name);
      if (!PathTaken(candidate)) {
        item.pspFileName = name;
        return candidate;
      }
    }
    return {};
  }
  const std::string target = MakeUniqueCopyName(folder, item.fileName);
  if (!target.empty()) item.pspFileName = target.substr(target.rfind('/') + 1);
  return target;
}

std::string ThumbnailTarget(const std::string& target) {
  return target.size() >= 4 ? target.substr(0, target.size() - 4) + ".THM" : target + ".THM";
}
