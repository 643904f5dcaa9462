#include "platform/file_commit.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

namespace {

// Names drawn before giving up on a folder where every one is taken.
constexpr int kNameAttempts = 100;

uint64_t RandomNumber() {
  uint64_t value = 0;
  auto* bytes = reinterpret_cast<unsigned char*>(&value);
  size_t got = 0;
  while (got < sizeof value) {
    const ssize_t n = getrandom(bytes + got, sizeof value - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  if (got < sizeof value) {
    // No entropy source at all: the clock and the address space still differ per call.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    value ^= static_cast<uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15ull ^ reinterpret_cast<uintptr_t>(&now);
  }
  return value;
}

// umask can only be read by setting it; the kernel also shows it here.
bool UmaskFromProc(mode_t* mask) {
  FILE* status = std::fopen("/proc/self/status", "re");
  if (!status) return false;
  char line[256];
  bool found = false;
  while (!found && std::fgets(line, sizeof line, status)) {
    unsigned value = 0;
    if (std::sscanf(line, "Umask: %o", &value) == 1) {
      *mask = static_cast<mode_t>(value & 0777);
      found = true;
    }
  }
  std::fclose(status);
  return found;
}

}  // namespace

std::string TemporarySibling(const std::string& target) {
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  const size_t dot = name.rfind('.');
  std::string ext = dot == std::string::npos || dot == 0 || name.size() - dot > 16 ? "" : name.substr(dot);
  if (name.size() > 160) name.resize(160);  // room for the rest within a name's 255 bytes
  return folder + "." + name + ".trivox-" + std::to_string(getpid()) + "-" + std::to_string(RandomNumber()) + ext;
}

int CreateNewFile(const std::string& path) {
  return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

int CreateTemporarySibling(const std::string& target, std::string* path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporarySibling(target);
    const int fd = CreateNewFile(name);
    if (fd >= 0) {
      *path = std::move(name);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

bool CreateTemporaryFolder(const std::string& target, std::string* path) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = TemporarySibling(target);
    if (mkdir(name.c_str(), 0700) == 0) {
      *path = std::move(name);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

mode_t NewFileMode() {
  mode_t mask = 0;
  if (!UmaskFromProc(&mask)) {
    mask = umask(022);
    umask(mask);
  }
  return 0666 & ~mask;
}

bool WriteAll(int fd, const void* data, size_t length) {
  const auto* at = static_cast<const unsigned char*>(data);
  while (length > 0) {
    const ssize_t n = write(fd, at, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    at += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}
