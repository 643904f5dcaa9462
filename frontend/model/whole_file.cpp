#include "frontend/model/whole_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::string& path, std::string* out, uint64_t maxBytes) {
  out->clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes) {
    close(fd);
    return false;
  }
  std::string data;
  char chunk[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = read(fd, chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    data.append(chunk, static_cast<size_t>(n));
    if (data.size() > maxBytes) {
      ok = false;
      break;
    }
  }
  close(fd);
  if (ok) out->swap(data);
  return ok;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, bool makeFolders) {
  return WriteWholeFileFrom(
      path, [bytes](const WholeFilePut& put) { return put(bytes); }, makeFolders);
}

bool WriteWholeFileFrom(const std::string& path, const std::function<bool(const WholeFilePut& put)>& fill,
                        bool makeFolders) {
  if (path.empty()) return false;
  const std::filesystem::path target(path);
  if (makeFolders && target.has_parent_path()) {
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
  }
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = true;
  const WholeFilePut put = [fd, &ok](std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (ok && left > 0) {
      const ssize_t n = write(fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      p += n;
      left -= static_cast<size_t>(n);
    }
    return ok;
  };
  if (!fill(put)) ok = false;
  // Same permissions as a file made by fopen: mkstemp makes it 0600.
  const mode_t mask = umask(0);
  umask(mask);
  if (ok && fchmod(fd, 0666 & ~mask) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok && rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

std::vector<std::string> ListFolder(const std::string& folder, bool folders) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string full = JoinPath(folder, name);
    if (folders ? IsFolder(full) : IsRegularFile(full)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

std::string JoinPath(const std::string& a, const std::string& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  if (a.back() == '/') return a + b;
  return a + "/" + b;
}
