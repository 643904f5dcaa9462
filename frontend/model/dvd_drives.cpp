#include "frontend/model/dvd_drives.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace fs = std::filesystem;

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A mount-table field: "\ooo" is the byte of that octal number.
std::string DecodeMountField(std::string_view field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) fields.push_back(line.substr(start, i - start));
  }
  return fields;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// "sr12" -> 12; -1 for any other name.
long OpticalNumber(const std::string& name) {
  if (name.size() < 3 || name.compare(0, 2, "sr") != 0) return -1;
  long n = 0;
  for (size_t i = 2; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 1000000) return -1;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

// Device name ("sr0") -> label, from the links of the labels folder.
std::map<std::string, std::string> LabelsByDevice(const std::string& folder) {
  std::map<std::string, std::string> labels;
  std::error_code ec;
  std::vector<fs::path> links;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) links.push_back(it->path());
  std::sort(links.begin(), links.end());
  for (const fs::path& link : links) {
    const fs::path target = fs::read_symlink(link, ec);
    if (ec || target.empty()) continue;
    const std::string device = target.filename().string();
    labels.emplace(device, DecodeLabelName(link.filename().string()));
  }
  return labels;
}

bool IsDiscFileSystem(const std::string& type) { return type == "udf" || type == "iso9660"; }

}  // namespace

std::vector<MountEntry> ParseMountTable(std::string_view text) {
  std::vector<MountEntry> entries;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::vector<std::string_view> fields = SplitBlanks(text.substr(pos, end - pos));
    pos = end + 1;
    if (fields.size() < 3 || fields[0][0] == '#') continue;
    entries.push_back({DecodeMountField(fields[0]), DecodeMountField(fields[1]), DecodeMountField(fields[2])});
  }
  return entries;
}

std::string DecodeLabelName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int hi = HexDigit(name[i + 2]), lo = HexDigit(name[i + 3]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 3;
        continue;
      }
    }
    out += name[i];
  }
  return out;
}

std::vector<DvdDrive> ListDvdDrives(const DriveSystemFiles& files) {
  std::vector<std::pair<long, std::string>> optical;
  std::error_code ec;
  for (fs::directory_iterator it(files.sysBlock, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const long n = OpticalNumber(name);
    if (n >= 0) optical.emplace_back(n, name);
  }
  std::sort(optical.begin(), optical.end());
  const std::vector<MountEntry> mounts = ParseMountTable(ReadFile(files.mounts));
  const std::map<std::string, std::string> labels = LabelsByDevice(files.labels);

  std::vector<DvdDrive> drives;
  for (const auto& [n, name] : optical) {
    DvdDrive drive;
    drive.device = "/dev/" + name;
    drive.root = drive.device;
    for (const MountEntry& m : mounts)
      if (m.source == drive.device) {
        drive.root = m.mountPoint;
        break;
      }
    const auto label = labels.find(name);
    if (label != labels.end()) drive.label = label->second;
    drives.push_back(std::move(drive));
  }
  for (const MountEntry& m : mounts) {
    if (!IsDiscFileSystem(m.type)) continue;
    const bool known = std::any_of(drives.begin(), drives.end(),
                                   [&](const DvdDrive& d) { return d.device == m.source || d.root == m.mountPoint; });
    if (known) continue;
    DvdDrive drive;
    drive.device = m.source;
    drive.root = m.mountPoint;
    const size_t slash = m.source.rfind('/');
    const auto label = labels.find(slash == std::string::npos ? m.source : m.source.substr(slash + 1));
    if (label != labels.end()) drive.label = label->second;
    drives.push_back(std::move(drive));
  }
  if (drives.size() > kMaxDvdDrives) drives.resize(kMaxDvdDrives);
  return drives;
}
