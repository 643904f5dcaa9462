// velmo's per-user folders (resolved by platform/user_folders.h) as the
// application uses them: data (profile overlay), settings ("setting.ini", the
// recent lists, "registry.ini"), cache; and the per-instance folder of the
// preview pictures.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/user_folders.h"

// The process's folders, resolved on first use. Without any home a private
// folder is made with mkdtemp for the session (and said so on stderr).
const UserFolders& CurrentUserFolders();

// Creates a folder and its parents; true when it exists afterwards.
bool MakeFolders(const std::string& path);

// The data and settings folders, created on first use (failures ignored).
// On first use of the settings folder, the settings and lists an older version
// kept in the data folder are moved into it.
const std::string& GetUserDataDir();
const std::string& GetUserConfigDir();

// Moves the settings files ("setting.ini", "recent.lst", "recent2.lst") from
// an old folder into a new one, each only when the new folder has none of that
// name; a file there already wins and the old one is left alone. Returns how
// many were moved.
int MoveOldSettings(const std::string& oldFolder, const std::string& newFolder);

// Where the preview pictures of the process pid go: "<runtime>/velmo-<pid>",
// or "<cache>/<pid>" without a usable runtime folder.
std::string InstanceFolderPath(const UserFolders& folders, int32_t pid);

// Removes the instance folders of processes that no longer run, in both the
// runtime and the cache places; only folders (never links) owned by uid.
// Returns how many were removed.
int SweepStaleInstanceFolders(const UserFolders& folders, uid_t uid);

// One process's private picture folder (0700), removed with its contents when
// the object goes.
class InstanceFolder {
 public:
  InstanceFolder() = default;
  ~InstanceFolder();
  InstanceFolder(const InstanceFolder&) = delete;
  InstanceFolder& operator=(const InstanceFolder&) = delete;

  // Makes the folder of pid. A leftover of that name (a process before us had
  // the pid) is emptied and reused when it is ours; anything else there is
  // refused. False with a message when it cannot be made.
  bool Create(const UserFolders& folders, int32_t pid, uid_t uid, std::string* message);
  // Makes a fresh private folder with mkdtemp in the temporary folder instead.
  bool CreateTemporary(std::string* message);
  const std::string& Path() const { return path_; }
  void Remove();

 private:
  std::string path_;
};
