#include "frontend/model/volumes.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "frontend/model/dvd_drives.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Device name ("sdb1") -> label.
std::map<std::string, std::string> Labels(const std::string& folder) {
  std::map<std::string, std::string> labels;
  std::error_code ec;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) links.push_back(it->path());
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    const fs::path target = fs::read_symlink(link, ec);
    if (ec || target.empty()) continue;
    labels.emplace(target.filename().string(), DecodeLabelName(link.filename().string()));
  }
  return labels;
}

// The removable flag of a block device or of the disk of a partition.
bool RemovableDevice(const std::string& sysClassBlock, const std::string& name) {
  std::error_code ec;
  const fs::path dev = fs::path(sysClassBlock) / name;
  for (const fs::path& p : {dev / "removable", dev / ".." / "removable"}) {
    if (!fs::exists(p, ec)) continue;
    return ReadText(p.string()).rfind('1', 0) == 0;
  }
  const fs::path real = fs::canonical(dev, ec);
  if (!ec) {
    const std::string flag = ReadText((real.parent_path() / "removable").string());
    if (!flag.empty()) return flag[0] == '1';
  }
  return false;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::vector<Volume> ListVolumes(const VolumeSystemFiles& files) {
  std::vector<Volume> volumes;
  volumes.push_back({"/", {}, false});
  const std::vector<MountEntry> mounts = ParseMountTable(ReadText(files.mounts));
  const std::map<std::string, std::string> labels = Labels(files.labels);
  for (const MountEntry& m : mounts) {
    if (!StartsWith(m.source, "/dev/") || m.mountPoint.empty()) continue;
    if (m.type == "iso9660" || m.type == "udf" || m.type == "squashfs") continue;
    const std::string name = m.source.substr(m.source.rfind('/') + 1);
    if (StartsWith(name, "sr")) continue;
    const auto label = labels.find(name);
    auto known = std::find_if(volumes.begin(), volumes.end(), [&](const Volume& v) { return v.root == m.mountPoint; });
    Volume* v = nullptr;
    if (known != volumes.end()) {
      v = &*known;
    } else {
      volumes.push_back({m.mountPoint, {}, false});
      v = &volumes.back();
    }
    if (label != labels.end()) v->label = label->second;
    v->removable = RemovableDevice(files.sysClassBlock, name) || StartsWith(m.mountPoint, "/media/") ||
                   StartsWith(m.mountPoint, "/run/media/");
  }
  return volumes;
}

std::vector<std::string> ListRemovableDrives(IVolumeList& volumes) {
  std::vector<std::string> roots;
  for (const Volume& v : volumes.Volumes())
    if (v.removable) roots.push_back(v.root);
  return roots;
}
