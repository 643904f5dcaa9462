#include "frontend/app/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "frontend/app/product.h"

namespace {

bool Absolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string TrimSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs ("$HOME/..." or an absolute path); empty when none.
std::string DocumentsFromUserDirs(const std::string& configHome, const std::string& home) {
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DOCUMENTS_DIR=";
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) {
      if (home.empty()) return {};
      value = home + value.substr(5);
    }
    // "$HOME/" alone means the desktop's documents are the home folder itself.
    return Absolute(value) ? TrimSlashes(value) : std::string();
  }
  return {};
}

}  // namespace

UserFolders ResolveUserFolders(const UserFolderEnv& env) {
  std::string home = Absolute(env.home)         ? TrimSlashes(env.home)
                     : Absolute(env.passwdHome) ? TrimSlashes(env.passwdHome)
                                                : std::string();
  std::string fallback = "/tmp/velmo-" + std::to_string(env.uid);
  std::string dataHome = Absolute(env.xdgDataHome) ? TrimSlashes(env.xdgDataHome)
                         : !home.empty()           ? home + "/.local/share"
                                                   : fallback + "/data";
  std::string configHome = Absolute(env.xdgConfigHome) ? TrimSlashes(env.xdgConfigHome)
                           : !home.empty()             ? home + "/.config"
                                                       : fallback + "/config";
  UserFolders folders;
  folders.data = dataHome + "/velmo";
  folders.config = configHome + "/velmo";
  folders.documents = DocumentsFromUserDirs(configHome, home);
  if (folders.documents.empty()) folders.documents = !home.empty() ? home + "/Documents" : fallback + "/Documents";
  return folders;
}

UserFolderEnv CurrentUserFolderEnv() {
  UserFolderEnv env;
  env.xdgDataHome = Env("XDG_DATA_HOME");
  env.xdgConfigHome = Env("XDG_CONFIG_HOME");
  env.home = Env("HOME");
  env.uid = getuid();
  struct passwd pw;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(env.uid, &pw, buffer, sizeof(buffer), &found) == 0 && found != nullptr && pw.pw_dir != nullptr) {
    env.passwdHome = pw.pw_dir;
  }
  return env;
}

bool MakeFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

const UserFolders& Folders() {
  static const UserFolders folders = ResolveUserFolders(CurrentUserFolderEnv());
  return folders;
}

// The private fallback folder is made owner-only before anything goes in it;
// one that is not ours (or not a folder) is not used.
bool PrepareFallbackRoot(const std::string& path) {
  std::string root = "/tmp/velmo-" + std::to_string(getuid());
  if (path.rfind(root + "/", 0) != 0) return true;
  if (mkdir(root.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (lstat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
  return chmod(root.c_str(), 0700) == 0;
}

const std::string& Created(const std::string& path) {
  if (PrepareFallbackRoot(path)) MakeFolders(path);
  return path;
}

}  // namespace

const std::string& GetUserDataDir() {
  static const std::string& dir = Created(Folders().data);
  return dir;
}

const std::string& GetUserConfigDir() {
  static const std::string& dir = Folders().config;
  return dir;
}

const std::string& GetDefaultOutputDir() {
  static const std::string dir = Created(Folders().documents + "/" + kProductDisplayName);
  return dir;
}
