// The mounted volumes a copy can go to: the root file system and every
// mounted block device that is not an optical disc, read from the mount table,
// sysfs and the label links. Windows list volumes through an IVolumeList,
// which tests replace with temporary folders.
#pragma once

#include <string>
#include <vector>

struct Volume {
  std::string root;        // the mount point ("/" for the root file system)
  std::string label;       // the volume label; empty when it has none
  bool removable = false;  // a removable medium (sysfs) or a desktop mount under /media
};

class IVolumeList {
 public:
  virtual ~IVolumeList() = default;
  virtual std::vector<Volume> Volumes() = 0;
};

// Where the system's files are; tests point them at a folder of their own.
struct VolumeSystemFiles {
  std::string mounts = "/proc/mounts";
  std::string sysClassBlock = "/sys/class/block";
  std::string labels = "/dev/disk/by-label";
};

// "/" first, then each mount point of a /dev/ device in mount-table order,
// once each, leaving out optical discs (/dev/srN, iso9660, udf) and squashfs
// images. Unreadable files give fewer volumes, never an error.
std::vector<Volume> ListVolumes(const VolumeSystemFiles& files);

class SystemVolumeList final : public IVolumeList {
 public:
  SystemVolumeList() = default;
  explicit SystemVolumeList(VolumeSystemFiles files) : files_(std::move(files)) {}
  std::vector<Volume> Volumes() override { return ListVolumes(files_); }

 private:
  VolumeSystemFiles files_;
};

// The removable volumes' roots, in the list's order.
std::vector<std::string> ListRemovableDrives(IVolumeList& volumes);
