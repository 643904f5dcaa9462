#include "platform/file_commit.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>

std::string TemporarySibling(const std::string& target) {
  static std::atomic<unsigned> counter{0};
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos || dot == 0 || name.size() - dot > 16 ? "" : name.substr(dot);
  if (name.size() > 160) name.resize(160);  // room for the rest within a name's 255 bytes
  return folder + "." + name + ".trivox-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ext;
}

void SyncFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}
