// The per-user folders of the XDG rules, resolved in one place for the engine
// and the front end: data ($XDG_DATA_HOME/velmo), settings
// ($XDG_CONFIG_HOME/velmo), cache ($XDG_CACHE_HOME/velmo), the runtime folder
// ($XDG_RUNTIME_DIR) and the documents folder.
#pragma once

#include <sys/types.h>

#include <string>

// What the folders are made from; an empty text is an unset variable.
struct UserFolderEnv {
  std::string xdgDataHome;
  std::string xdgConfigHome;
  std::string xdgCacheHome;
  std::string xdgRuntimeDir;
  std::string home;        // $HOME
  std::string passwdHome;  // the account's home directory
  uid_t uid = 0;
  // A private folder standing in for the home when there is none.
  std::string sessionHome;
};

struct UserFolders {
  std::string data;
  std::string config;
  std::string cache;
  std::string runtime;  // $XDG_RUNTIME_DIR when usable; empty otherwise
  std::string documents;
};

// The folders for an environment. Relative XDG values are ignored (as the XDG
// rules say). Without an absolute home (HOME, then the account's) the folders
// that need one are made under sessionHome, or left empty when that is unset.
// The runtime folder counts only when it is absolute, a folder owned by uid
// and not writable by anyone else.
UserFolders ResolveUserFolders(const UserFolderEnv& env);
// True when the environment has no absolute home to build on.
bool NeedsSessionHome(const UserFolderEnv& env);
UserFolderEnv CurrentUserFolderEnv();

// The small path helpers the folders are built with.
bool IsAbsolutePath(const std::string& path);
// The variable's text; empty when unset.
std::string EnvText(const char* name);
// Without trailing slashes ("/" stays).
std::string TrimTrailingSlashes(std::string path);
