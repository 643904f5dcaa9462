#include "frontend/model/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "frontend/model/whole_file.h"
#include "platform/process_liveness.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kRuntimePrefix = "velmo-";
constexpr const char* kSettingsFiles[] = {"setting.ini", "recent.lst", "recent2.lst"};
constexpr uint64_t kMaxSettingsFileSize = 16u << 20;

// A folder of ours: a real folder (not a link) owned by uid.
bool OwnFolder(const std::string& path, uid_t uid) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid;
}

// The pid in a name made of decimal digits only; 0 for anything else.
int32_t PidFromName(const std::string& digits) {
  if (digits.empty() || digits.size() > 10) return 0;
  int64_t pid = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    pid = pid * 10 + (c - '0');
  }
  return pid > 0 && pid <= INT32_MAX ? static_cast<int32_t>(pid) : 0;
}

int SweepFolder(const std::string& parent, const std::string& prefix, uid_t uid) {
  if (parent.empty()) return 0;
  int removed = 0;
  const int32_t self = CurrentProcessId();
  for (const std::string& name : ListFolder(parent, true)) {
    if (name.rfind(prefix, 0) != 0) continue;
    const int32_t pid = PidFromName(name.substr(prefix.size()));
    if (pid == 0 || pid == self || ProcessIsAlive(pid)) continue;
    const std::string path = parent + "/" + name;
    if (!OwnFolder(path, uid)) continue;
    std::error_code ec;
    if (fs::remove_all(path, ec) != static_cast<std::uintmax_t>(-1) && !ec) ++removed;
  }
  return removed;
}

bool MoveFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) return false;
  // Another file system: written whole there first, then the old one goes.
  std::string bytes;
  if (!ReadWholeFile(from, &bytes, kMaxSettingsFileSize) || !WriteWholeFile(to, bytes)) return false;
  return unlink(from.c_str()) == 0 || errno == ENOENT;
}

}  // namespace

const UserFolders& CurrentUserFolders() {
  static const UserFolders folders = [] {
    UserFolderEnv env = CurrentUserFolderEnv();
    if (NeedsSessionHome(env)) {
      std::string tmp = EnvText("TMPDIR");
      if (!IsAbsolutePath(tmp)) tmp = "/tmp";
      std::string pattern = TrimTrailingSlashes(tmp) + "/velmo-home-XXXXXX";
      if (mkdtemp(pattern.data()) != nullptr) {
        env.sessionHome = pattern;
        std::fprintf(stderr,
                     "velmo: no home folder (HOME is unset and the account has none); settings are kept in %s for this "
                     "session only\n",
                     pattern.c_str());
      } else {
        std::fprintf(stderr, "velmo: no home folder, and no private temporary folder could be made: %s\n",
                     std::strerror(errno));
      }
    }
    return ResolveUserFolders(env);
  }();
  return folders;
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path, ec);
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const std::string& GetUserDataDir() {
  static const std::string dir = [] {
    MakeFolders(CurrentUserFolders().data);
    return CurrentUserFolders().data;
  }();
  return dir;
}

const std::string& GetUserConfigDir() {
  static const std::string dir = [] {
    const UserFolders& folders = CurrentUserFolders();
    if (MakeFolders(folders.config) && !folders.data.empty()) MoveOldSettings(folders.data, folders.config);
    return folders.config;
  }();
  return dir;
}

int MoveOldSettings(const std::string& oldFolder, const std::string& newFolder) {
  if (oldFolder.empty() || newFolder.empty() || TrimTrailingSlashes(oldFolder) == TrimTrailingSlashes(newFolder))
    return 0;
  int moved = 0;
  for (const char* name : kSettingsFiles) {
    const std::string from = oldFolder + "/" + name;
    const std::string to = newFolder + "/" + name;
    struct stat st;
    if (stat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (lstat(to.c_str(), &st) == 0 || errno != ENOENT) continue;  // the new place wins
    if (MoveFile(from, to)) ++moved;
  }
  return moved;
}

std::string InstanceFolderPath(const UserFolders& folders, int32_t pid) {
  if (!folders.runtime.empty()) return folders.runtime + "/" + kRuntimePrefix + std::to_string(pid);
  if (!folders.cache.empty()) return folders.cache + "/" + std::to_string(pid);
  return {};
}

int SweepStaleInstanceFolders(const UserFolders& folders, uid_t uid) {
  return SweepFolder(folders.runtime, kRuntimePrefix, uid) + SweepFolder(folders.cache, "", uid);
}

InstanceFolder::~InstanceFolder() { Remove(); }

bool InstanceFolder::Create(const UserFolders& folders, int32_t pid, uid_t uid, std::string* message) {
  Remove();
  const std::string path = InstanceFolderPath(folders, pid);
  auto fail = [&](const std::string& why) {
    if (message != nullptr)
      *message = "cannot make the preview folder " + (path.empty() ? "(no user folder)" : path) + ": " + why;
    return false;
  };
  if (path.empty()) return fail("no runtime or cache folder");
  if (folders.runtime.empty() && !MakeFolders(folders.cache)) return fail(std::strerror(errno));
  if (mkdir(path.c_str(), 0700) != 0) {
    if (errno != EEXIST) return fail(std::strerror(errno));
    // Left by an earlier process with this pid: reused only when it is ours.
    if (!OwnFolder(path, uid)) return fail("the name is taken by something that is not this user's folder");
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(path, ec)) fs::remove_all(entry.path(), ec);
    if (ec) return fail(ec.message());
  }
  if (!OwnFolder(path, uid)) return fail("not this user's folder");
  if (chmod(path.c_str(), 0700) != 0) return fail(std::strerror(errno));
  path_ = path;
  return true;
}

bool InstanceFolder::CreateTemporary(std::string* message) {
  Remove();
  std::string tmp = EnvText("TMPDIR");
  if (!IsAbsolutePath(tmp)) tmp = "/tmp";
  std::string pattern = TrimTrailingSlashes(tmp) + "/velmo-preview-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    if (message != nullptr) *message = "cannot make a private temporary folder in " + tmp + ": " + std::strerror(errno);
    return false;
  }
  path_ = pattern;
  return true;
}

void InstanceFolder::Remove() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
  path_.clear();
}
