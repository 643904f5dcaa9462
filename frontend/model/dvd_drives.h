// The DVD drives the main window offers: optical drives (/sys/block/srN, the
// device /dev/srN) and mounted optical-disc volumes, read from the system's
// files. The window asks an IDvdDriveList, which tests replace.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The drive popup has one command per drive.
inline constexpr size_t kMaxDvdDrives = 32;

struct DvdDrive {
  std::string root;    // what a disc is loaded from: its mount point, else the device
  std::string label;   // the volume label; empty when unknown
  std::string device;  // "/dev/sr0", or the mounted source of a volume
};

class IDvdDriveList {
 public:
  virtual ~IDvdDriveList() = default;
  // At most kMaxDvdDrives drives, in the order the popup lists them.
  virtual std::vector<DvdDrive> Drives() = 0;
};

// One line of the mount table, its octal escapes ("\040") decoded.
struct MountEntry {
  std::string source;
  std::string mountPoint;
  std::string type;
};
std::vector<MountEntry> ParseMountTable(std::string_view text);

// A label link's name as the device manager escapes it ("MY\x20DISC") decoded.
std::string DecodeLabelName(std::string_view name);

// Where the system's files are; tests point them at a folder of their own.
struct DriveSystemFiles {
  std::string sysBlock = "/sys/block";
  std::string mounts = "/proc/mounts";
  std::string labels = "/dev/disk/by-label";
};

// The optical drives srN in number order, each with its first mount point and
// its label; then mounted volumes of type udf or iso9660 that are on none of
// them (a disc image mounted through a loop device), in mount-table order.
// Missing or unreadable files give fewer drives, never an error.
std::vector<DvdDrive> ListDvdDrives(const DriveSystemFiles& files);

class SystemDvdDriveList final : public IDvdDriveList {
 public:
  SystemDvdDriveList() = default;
  explicit SystemDvdDriveList(DriveSystemFiles files) : files_(std::move(files)) {}
  std::vector<DvdDrive> Drives() override { return ListDvdDrives(files_); }

 private:
  DriveSystemFiles files_;
};
