#include "frontend/model/file_copy.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <charconv>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kBlockBytes = 1 << 20;

std::string ErrnoText(const char* what, const std::string& path, int err) {
  return std::string(what) + " \"" + path + "\": " + std::strerror(err);
}

// Closes a descriptor once.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // The result of close(2): 0 or an errno value.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return fd >= 0 && ::close(fd) != 0 ? errno : 0;
  }

 private:
  int fd_;
};

std::string TwoDecimals(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof(buf), value, std::chars_format::fixed, 2);
  return std::string(buf, res.ptr);
}

}  // namespace

CopyResult CopyFileWithProgress(const std::string& from, const std::string& to, const CopyProgress& progress,
                                const std::atomic<int>* cancel) {
  CopyResult result;
  if (to.empty()) {
    result.error = "no target name is free";
    return result;
  }
  Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    result.error = ErrnoText("cannot open", from, errno);
    return result;
  }
  struct stat st;
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = "\"" + from + "\" is not a file";
    return result;
  }
  Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    result.error = ErrnoText("cannot create", to, errno);
    return result;
  }
  // From here on the target is ours: anything but a whole copy removes it.
  auto fail = [&](CopyOutcome outcome, std::string error) {
    out.Close();
    ::unlink(to.c_str());
    result.outcome = outcome;
    result.error = std::move(error);
    return result;
  };
  std::vector<char> block(kBlockBytes);
  int64_t copied = 0;
  for (;;) {
    if (cancel != nullptr && cancel->load() != 0) return fail(CopyOutcome::kCancelled, {});
    const ssize_t got = ::read(in.get(), block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return fail(CopyOutcome::kFailed, ErrnoText("cannot read", from, errno));
    }
    if (got == 0) break;
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out.get(), block.data() + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        return fail(CopyOutcome::kFailed, ErrnoText("cannot write", to, errno));
      }
      done += put;
    }
    copied += got;
    if (progress) progress(copied);
  }
  if (cancel != nullptr && cancel->load() != 0) return fail(CopyOutcome::kCancelled, {});
  if (const int err = out.Close(); err != 0) {
    ::unlink(to.c_str());
    result.error = ErrnoText("cannot write", to, err);
    return result;
  }
  result.outcome = CopyOutcome::kCopied;
  return result;
}

std::string JoinFolder(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

bool PathTaken(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0;
}

int64_t FileSize64(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  if (::access(path.c_str(), R_OK) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

std::string MakeUniqueCopyName(const std::string& folder, const std::string& name) {
  const std::string plain = JoinFolder(folder, name);
  if (!PathTaken(plain)) return plain;
  const size_t dot = name.find('.');
  const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  for (int n = 1; n <= kMaxCopyNumber; ++n) {
    const std::string candidate = JoinFolder(folder, base + std::to_string(n) + "." + ext);
    if (!PathTaken(candidate)) return candidate;
  }
  return {};
}

std::string FormatSpaceSize(int64_t bytes) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  if (bytes > kGiB || bytes < 0) return TwoDecimals(static_cast<double>(bytes) / static_cast<double>(kGiB)) + "GB";
  return std::to_string(bytes >> 20) + "MB";
}

std::string FormatFileSize(int64_t bytes) {
  constexpr int64_t kMiB = int64_t{1} << 20;
  if (bytes >= kMiB) return TwoDecimals(static_cast<double>(bytes) / static_cast<double>(kMiB)) + "MB";
  return TwoDecimals(static_cast<double>(bytes) / 1024.0) + "KB";
}

int CopyPercent(int64_t finished, int64_t current, int64_t total) {
  if (total <= 0) return 0;
  const long double done = static_cast<long double>(finished) + static_cast<long double>(current);
  return static_cast<int>(done * 100 / static_cast<long double>(total));
}

bool GetDiskSpace(const std::string& path, int64_t* total, int64_t* freeAvailable) {
  struct statvfs vfs;
  if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0) return false;
  const uint64_t unit = vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize;
  *total = static_cast<int64_t>(static_cast<uint64_t>(vfs.f_blocks) * unit);
  *freeAvailable = static_cast<int64_t>(static_cast<uint64_t>(vfs.f_bavail) * unit);
  return true;
}

SpaceDisplay MakeSpaceDisplay(bool ok, int64_t total, int64_t freeAvailable, int64_t appending) {
  SpaceDisplay display;
  if (!ok) return display;
  const int64_t used = total - freeAvailable;
  display.position =
      total > 0 ? static_cast<int>(static_cast<long double>(used + appending) * 100 / static_cast<long double>(total))
                : 0;
  display.text = FormatSpaceSize(used) + " used," + FormatSpaceSize(appending) + " appending," +
                 FormatSpaceSize(freeAvailable - appending) + " free";
  return display;
}
