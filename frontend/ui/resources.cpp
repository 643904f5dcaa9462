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

QIcon LoadProgramIcon() {
  QIcon icon;
  for (int size : kProgramIconSizes) {
    QImage image;
    if (image.load(QString::fromStdString(Folder() + "/icon/velmo-" + std::to_string(size) + ".png")))
      icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}
