#include "frontend/app/ini_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr size_t kMaxIniBytes = 4 * 1024 * 1024;

std::string_view Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > kMaxIniBytes) {
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return true;
}

// "[name]" -> name; false for other lines.
bool SectionName(std::string_view line, std::string_view& name) {
  line = Trim(line);
  if (line.size() < 2 || line.front() != '[') return false;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return false;
  name = Trim(line.substr(1, close - 1));
  return true;
}

// "key=value" -> key and value; false for lines without '=' or comments.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = Trim(line);
  if (t.empty() || t.front() == ';') return false;
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

bool FindValue(const std::string& path, std::string_view section, std::string_view key, std::string& value) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return false;
  bool inSection = false;
  for (const std::string& line : lines) {
    std::string_view name;
    if (SectionName(line, name)) {
      if (inSection) return false;  // only the first matching section counts
      inSection = SameName(name, section);
      continue;
    }
    std::string_view k, v;
    if (inSection && KeyValue(line, k, v) && SameName(k, key)) {
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        v = v.substr(1, v.size() - 2);
      }
      value = std::string(v);
      return true;
    }
  }
  return false;
}

}  // namespace

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view fallback) {
  std::string value;
  if (FindValue(path, section, key, value)) return value;
  return std::string(fallback);
}

int32_t ParseIniInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  uint32_t value = 0;  // wraps like the system's reader
  for (; i < text.size(); ++i) {
    char c = text[i];
    int digit = c >= '0' && c <= '9'                 ? c - '0'
                : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
    if (digit < 0) break;
    value = value * static_cast<uint32_t>(base) + static_cast<uint32_t>(digit);
  }
  return static_cast<int32_t>(negative ? 0u - value : value);
}

int32_t ReadIniInt(const std::string& path, std::string_view section, std::string_view key, int32_t fallback) {
  std::string value;
  if (!FindValue(path, section, key, value) || value.empty()) return fallback;
  return ParseIniInt(value);
}

bool IniHasSection(const std::string& path, std::string_view section) {
  std::vector<std::string> lines;
  if (!ReadLines(path, lines)) return false;
  for (const std::string& line : lines) {
    std::string_view name;
    if (SectionName(line, name) && SameName(name, section)) return true;
  }
  return false;
}

bool WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos || key.find_first_of("=\r\n") != std::string_view::npos ||
      section.find_first_of("]\r\n") != std::string_view::npos || key.empty()) {
    return false;
  }
  std::vector<std::string> lines;
  struct stat st;
  if (stat(path.c_str(), &st) == 0) {
    // A read-only file stays as it is, whoever asks.
    if (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0) return false;
    if (!ReadLines(path, lines)) return false;
  }
  std::string entry(key);
  entry += '=';
  entry += value;
  bool done = false;
  bool inSection = false;
  size_t sectionEnd = 0;  // after the last key line of the section
  bool found = false;
  for (size_t i = 0; i < lines.size() && !done; ++i) {
    std::string_view name;
    if (SectionName(lines[i], name)) {
      if (inSection) break;
      inSection = SameName(name, section);
      if (inSection) {
        found = true;
        sectionEnd = i + 1;
      }
      continue;
    }
    if (!inSection) continue;
    std::string_view k, v;
    if (KeyValue(lines[i], k, v) && SameName(k, key)) {
      lines[i] = entry;
      done = true;
    } else if (!Trim(lines[i]).empty()) {
      sectionEnd = i + 1;
    }
  }
  if (!done) {
    if (found) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
    } else {
      std::string header = "[";
      header += section;
      header += ']';
      lines.push_back(header);
      lines.push_back(entry);
    }
  }

  std::string temp = path + ".tmp-" + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  bool ok = true;
  for (size_t off = 0; ok && off < text.size();) {
    ssize_t n = write(fd, text.data() + off, text.size() - off);
    if (n <= 0)
      ok = false;
    else
      off += static_cast<size_t>(n);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}
