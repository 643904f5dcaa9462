// The per-user folders: data ($XDG_DATA_HOME/velmo), settings
// ($XDG_CONFIG_HOME/velmo) and the default output folder in the user's
// documents folder.
#pragma once

#include <sys/types.h>
#include <string>

// What the folders are made from; an empty text is an unset variable.
struct UserFolderEnv {
  std::string xdgDataHome;
  std::string xdgConfigHome;
  std::string home;        // $HOME
  std::string passwdHome;  // the account's home directory
  uid_t uid = 0;
};

struct UserFolders {
  std::string data;
  std::string config;
  std::string documents;
};

// The folders for an environment. Relative XDG values are ignored (as the XDG
// rules say); with no usable home at all the folders live in a private folder
// "/tmp/velmo-<uid>" rather than relative to the current directory.
UserFolders ResolveUserFolders(const UserFolderEnv& env);
UserFolderEnv CurrentUserFolderEnv();

// Creates a folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// Cached on first use and created then (failures to create are ignored).
const std::string& GetUserDataDir();
const std::string& GetUserConfigDir();
const std::string& GetDefaultOutputDir();
