#include "frontend/model/output_names.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int32_t kNumberSearchLimit = 1000000;

}  // namespace

std::string FormatOutputName(std::string_view title, std::string_view ext, int32_t number) {
  std::string name;
  const bool prefix = !ext.empty() && ext.front() == '@';
  if (prefix) name = ext.substr(1);
  name += title;
  if (number != 0) {
    name += '[';
    name += std::to_string(number);
    name += ']';
  }
  if (!prefix) {
    name += '.';
    name += ext;
  }
  return name;
}

std::string TitleFromPath(std::string_view path) {
  const size_t slash = path.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

void OutputNameList::SetFolder(std::string_view folder) {
  folder_ = std::string(folder);
  if (!folder_.empty() && folder_.back() == '/') folder_.pop_back();
}

std::string OutputNameList::PathOf(std::string_view fileName) const {
  std::string path = folder_;
  path += '/';
  path += fileName;
  return path;
}

bool OutputNameList::IsGivenOut(std::string_view title, std::string_view ext, int32_t number) const {
  const std::string name = FormatOutputName(title, ext, number);
  for (const Entry& e : entries_)
    if (EqualsIgnoringCase(FormatOutputName(e.title, e.ext, e.number), name)) return true;
  return false;
}

bool OutputNameList::FileExists(std::string_view title, std::string_view ext, int32_t number) const {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(PathOf(FormatOutputName(title, ext, number)), ec);
  return fs::exists(status);
}

int32_t OutputNameList::ResolveNumber(std::string_view title, std::string_view ext, int32_t n) const {
  if (!IsGivenOut(title, ext, n) && !FileExists(title, ext, n)) return n;
  return FirstFreeNumber(title, ext);
}

int32_t OutputNameList::FirstFreeNumber(std::string_view title, std::string_view ext, bool avoidExisting) const {
  for (int32_t i = 0; i < kNumberSearchLimit; ++i)
    if (!IsGivenOut(title, ext, i) && !(avoidExisting && FileExists(title, ext, i))) return i;
  return -1;
}

void OutputNameList::Add(std::string_view title, std::string_view ext, int32_t number) {
  entries_.push_back(Entry{std::string(title), std::string(ext), number});
}

bool DeleteTempListFile(const std::string& folder) {
  std::string name = folder.empty() ? "." : folder;
  if (name.back() != '/') name += '/';
  name += "___1.txt.XXXXXX";
  std::vector<char> path(name.begin(), name.end());
  path.push_back('\0');
  const int fd = mkstemp(path.data());
  if (fd < 0) return false;
  close(fd);
  unlink(path.data());
  return true;
}
