#include "frontend/ui/resources.h"

#include "platform/program_folder.h"

namespace {
std::string& Folder() {
  static std::string folder = BesideProgram("resource");
  return folder;
}
}  // namespace

void SetResourceFolder(const std::string& folder) { Folder() = folder; }
const std::string& ResourceFolder() { return Folder(); }

QImage LoadBitmapResource(int id) {
  QImage image;
  image.load(QString::fromStdString(Folder() + "/bitmap/" + std::to_string(id) + ".png"));
  return image;
}

QImage LoadIconResource(int id) {
  QImage image;
  image.load(QString::fromStdString(Folder() + "/icon/" + std::to_string(id) + ".png"));
  return image;
}
