#include "frontend/app/user_folders.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "frontend/app/product.h"
#include "platform/process_liveness.h"

namespace {

std::mutex g_previewMutex;

// Destroyed at exit, which removes the folder.
InstanceFolder& PreviewFolder() {
  static InstanceFolder folder;
  return folder;
}

}  // namespace

const std::string& GetDefaultOutputDir() {
  static const std::string dir = [] {
    const std::string& documents = CurrentUserFolders().documents;
    if (documents.empty()) return std::string(kProductDisplayName);
    std::string path = documents + "/" + kProductDisplayName;
    MakeFolders(path);
    return path;
  }();
  return dir;
}

const std::string& GetPreviewDir() {
  std::lock_guard<std::mutex> lock(g_previewMutex);
  InstanceFolder& folder = PreviewFolder();
  if (folder.Path().empty()) {
    const UserFolders& folders = CurrentUserFolders();
    SweepStaleInstanceFolders(folders, getuid());
    std::string message;
    if (!folder.Create(folders, CurrentProcessId(), getuid(), &message)) {
      std::fprintf(stderr, "velmo: %s\n", message.c_str());
      if (!folder.CreateTemporary(&message)) std::fprintf(stderr, "velmo: %s\n", message.c_str());
    }
  }
  return folder.Path();
}

void RemovePreviewDir() {
  std::lock_guard<std::mutex> lock(g_previewMutex);
  PreviewFolder().Remove();
}
