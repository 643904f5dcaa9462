#include "platform/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace {

constexpr const char* kAppFolder = "velmo";

std::string HomeOf(const UserFolderEnv& env) {
  if (IsAbsolutePath(env.home)) return TrimTrailingSlashes(env.home);
  if (IsAbsolutePath(env.passwdHome)) return TrimTrailingSlashes(env.passwdHome);
  return IsAbsolutePath(env.sessionHome) ? TrimTrailingSlashes(env.sessionHome) : std::string();
}

// An absolute XDG value, else the default below the home (empty without one).
std::string BaseFolder(const std::string& xdg, const std::string& home, const char* below) {
  if (IsAbsolutePath(xdg)) return TrimTrailingSlashes(xdg);
  return home.empty() ? std::string() : home + below;
}

std::string AppFolder(const std::string& base) { return base.empty() ? std::string() : base + "/" + kAppFolder; }

bool UsableRuntimeDir(const std::string& path, uid_t uid) {
  if (!IsAbsolutePath(path)) return false;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid && (st.st_mode & 022) == 0;
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs ("$HOME/..." or an absolute path); empty when none.
std::string DocumentsFromUserDirs(const std::string& configHome, const std::string& home) {
  if (configHome.empty()) return {};
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
    return IsAbsolutePath(value) ? TrimTrailingSlashes(value) : std::string();
  }
  return {};
}

}  // namespace

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string EnvText(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? std::string(v) : std::string();
}

std::string TrimTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool NeedsSessionHome(const UserFolderEnv& env) { return !IsAbsolutePath(env.home) && !IsAbsolutePath(env.passwdHome); }

UserFolders ResolveUserFolders(const UserFolderEnv& env) {
  const std::string home = HomeOf(env);
  const std::string configHome = BaseFolder(env.xdgConfigHome, home, "/.config");
  UserFolders folders;
  folders.data = AppFolder(BaseFolder(env.xdgDataHome, home, "/.local/share"));
  folders.config = AppFolder(configHome);
  folders.cache = AppFolder(BaseFolder(env.xdgCacheHome, home, "/.cache"));
  if (UsableRuntimeDir(env.xdgRuntimeDir, env.uid)) folders.runtime = TrimTrailingSlashes(env.xdgRuntimeDir);
  folders.documents = DocumentsFromUserDirs(configHome, home);
  if (folders.documents.empty() && !home.empty()) folders.documents = home + "/Documents";
  return folders;
}

UserFolderEnv CurrentUserFolderEnv() {
  UserFolderEnv env;
  env.xdgDataHome = EnvText("XDG_DATA_HOME");
  env.xdgConfigHome = EnvText("XDG_CONFIG_HOME");
  env.xdgCacheHome = EnvText("XDG_CACHE_HOME");
  env.xdgRuntimeDir = EnvText("XDG_RUNTIME_DIR");
  env.home = EnvText("HOME");
  env.uid = getuid();
  struct passwd pw;
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(env.uid, &pw, buffer, sizeof(buffer), &found) == 0 && found != nullptr && pw.pw_dir != nullptr) {
    env.passwdHome = pw.pw_dir;
  }
  return env;
}
