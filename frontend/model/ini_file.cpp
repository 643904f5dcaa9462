#include "frontend/model/ini_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <list>
#include <mutex>

#include "frontend/model/whole_file.h"
#include "platform/text_case.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

IniDocument::Line ParseLine(std::string_view raw) {
  IniDocument::Line line;
  line.raw = std::string(raw);
  const std::string_view t = Trim(raw);
  if (t.empty()) return line;
  if (t.front() == ';') {
    line.kind = IniDocument::LineKind::kComment;
    return line;
  }
  if (t.front() == '[') {
    const size_t close = t.rfind(']');
    if (close == std::string_view::npos) {
      line.kind = IniDocument::LineKind::kOther;
      return line;
    }
    line.kind = IniDocument::LineKind::kSection;
    line.name = std::string(Trim(t.substr(1, close - 1)));
    return line;
  }
  const size_t eq = t.find('=');
  const std::string_view name = Trim(t.substr(0, eq));
  if (name.empty()) {
    line.kind = IniDocument::LineKind::kOther;
    return line;
  }
  line.kind = IniDocument::LineKind::kKey;
  line.name = std::string(name);
  if (eq != std::string_view::npos) {
    line.value = std::string(Trim(t.substr(eq + 1)));
    line.hasValue = true;
  }
  return line;
}

// Parsed files, remembered by path with the file's identity and time.
struct CachedFile {
  std::string path;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  IniDocument doc;
};

class ParsedFiles {
 public:
  // The document of a regular file, or an empty one.
  IniDocument Get(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return IniDocument();
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = files_.begin(); it != files_.end(); ++it) {
      if (it->path != path) continue;
      if (it->dev == st.st_dev && it->ino == st.st_ino && it->size == st.st_size &&
          it->mtime.tv_sec == st.st_mtim.tv_sec && it->mtime.tv_nsec == st.st_mtim.tv_nsec) {
        files_.splice(files_.begin(), files_, it);
        return files_.front().doc;
      }
      files_.erase(it);
      break;
    }
    CachedFile file;
    if (!file.doc.LoadFile(path)) return IniDocument();
    file.path = path;
    file.dev = st.st_dev;
    file.ino = st.st_ino;
    file.size = st.st_size;
    file.mtime = st.st_mtim;
    files_.push_front(std::move(file));
    if (files_.size() > kKept) files_.pop_back();
    return files_.front().doc;
  }

  void Forget(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.remove_if([&](const CachedFile& f) { return f.path == path; });
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    files_.clear();
  }

 private:
  static constexpr size_t kKept = 8;
  std::mutex mutex_;
  std::list<CachedFile> files_;
};

ParsedFiles& TheParsedFiles() {
  static ParsedFiles files;
  return files;
}

uint32_t CopyOut(std::string_view text, char* buffer, uint32_t capacity) {
  const size_t n = std::min<size_t>(text.size(), capacity - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<uint32_t>(n);
}

// Names, each terminated, then one more NUL; a list that does not fit is cut
// and ends in two NULs, returning capacity - 2.
uint32_t CopyList(const std::vector<std::string>& names, char* buffer, uint32_t capacity) {
  std::string all;
  for (const std::string& name : names) {
    all += name;
    all += '\0';
  }
  if (capacity < 2) {
    buffer[0] = '\0';
    return 0;
  }
  if (all.size() + 1 <= capacity) {
    std::memcpy(buffer, all.data(), all.size());
    buffer[all.size()] = '\0';
    if (all.empty()) buffer[1] = '\0';
    return static_cast<uint32_t>(all.size());
  }
  std::memcpy(buffer, all.data(), capacity - 2);
  buffer[capacity - 2] = '\0';
  buffer[capacity - 1] = '\0';
  return capacity - 2;
}

}  // namespace

std::string_view StripIniQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

int32_t ParseIniInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (IsBlank(text[i]) || text[i] == '\r' || text[i] == '\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

IniDocument IniDocument::Parse(std::string_view text) {
  IniDocument doc;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const size_t firstEnd = text.find_first_of("\r\n");
  if (firstEnd != std::string_view::npos && text[firstEnd] == '\n') doc.lineEnd_ = "\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    doc.lines_.push_back(ParseLine(text.substr(start, end - start)));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
  return doc;
}

bool IniDocument::LoadFile(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    *this = IniDocument();
    return false;
  }
  *this = Parse(text);
  return true;
}

long IniDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i)
    if (lines_[i].kind == LineKind::kSection && EqualsIgnoringCase(lines_[i].name, section))
      return static_cast<long>(i);
  return -1;
}

size_t IniDocument::SectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != LineKind::kSection) ++i;
  return i;
}

long IniDocument::FindKey(size_t header, std::string_view key) const {
  const size_t end = SectionEnd(header);
  for (size_t i = header + 1; i < end; ++i)
    if (lines_[i].kind == LineKind::kKey && EqualsIgnoringCase(lines_[i].name, key)) return static_cast<long>(i);
  return -1;
}

const std::string* IniDocument::FindRaw(std::string_view section, std::string_view key) const {
  const long header = FindSection(section);
  if (header < 0) return nullptr;
  const long k = FindKey(static_cast<size_t>(header), key);
  if (k < 0 || !lines_[static_cast<size_t>(k)].hasValue) return nullptr;
  return &lines_[static_cast<size_t>(k)].value;
}

bool IniDocument::Find(std::string_view section, std::string_view key, std::string* value) const {
  const std::string* raw = FindRaw(section, key);
  if (!raw) return false;
  if (value) *value = std::string(StripIniQuotes(*raw));
  return true;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Line& line : lines_) {
    if (line.kind != LineKind::kSection) continue;
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return EqualsIgnoringCase(n, line.name); }))
      names.push_back(line.name);
  }
  return names;
}

std::vector<std::string> IniDocument::KeyNames(std::string_view section) const {
  std::vector<std::string> names;
  const long header = FindSection(section);
  if (header < 0) return names;
  const size_t end = SectionEnd(static_cast<size_t>(header));
  for (size_t i = static_cast<size_t>(header) + 1; i < end; ++i) {
    const Line& line = lines_[i];
    if (line.kind != LineKind::kKey) continue;
    if (std::none_of(names.begin(), names.end(),
                     [&](const std::string& n) { return EqualsIgnoringCase(n, line.name); }))
      names.push_back(line.name);
  }
  return names;
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  const long header = FindSection(section);
  if (header < 0) {
    lines_.push_back(ParseLine("[" + std::string(section) + "]"));
    lines_.push_back(ParseLine(std::string(key) + "=" + std::string(value)));
    return;
  }
  const long k = FindKey(static_cast<size_t>(header), key);
  if (k >= 0) {
    Line& line = lines_[static_cast<size_t>(k)];
    line = ParseLine(line.name + "=" + std::string(value));
    return;
  }
  // After the section's last non-blank line, so blank separators stay below it.
  size_t at = SectionEnd(static_cast<size_t>(header));
  while (at > static_cast<size_t>(header) + 1 && lines_[at - 1].kind == LineKind::kBlank) --at;
  lines_.insert(lines_.begin() + static_cast<long>(at), ParseLine(std::string(key) + "=" + std::string(value)));
}

void IniDocument::RemoveKey(std::string_view section, std::string_view key) {
  const long header = FindSection(section);
  if (header < 0) return;
  const long k = FindKey(static_cast<size_t>(header), key);
  if (k >= 0) lines_.erase(lines_.begin() + k);
}

void IniDocument::RemoveSection(std::string_view section) {
  const long header = FindSection(section);
  if (header < 0) return;
  const size_t end = SectionEnd(static_cast<size_t>(header));
  lines_.erase(lines_.begin() + header, lines_.begin() + static_cast<long>(end));
}

std::string IniDocument::Text() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw;
    out += lineEnd_;
  }
  return out;
}

uint32_t IniGetString(const char* section, const char* key, const char* def, char* buffer, uint32_t capacity,
                      const char* path) {
  if (!buffer || capacity == 0) return 0;
  const IniDocument doc = path ? TheParsedFiles().Get(path) : IniDocument();
  if (!section) return CopyList(doc.SectionNames(), buffer, capacity);
  if (!key) return CopyList(doc.KeyNames(section), buffer, capacity);
  if (const std::string* raw = doc.FindRaw(section, key)) return CopyOut(StripIniQuotes(*raw), buffer, capacity);
  std::string_view d = def ? def : "";
  while (!d.empty() && d.back() == ' ') d.remove_suffix(1);
  return CopyOut(d, buffer, capacity);
}

int32_t IniGetInt(const char* section, const char* key, int32_t def, const char* path) {
  if (!section || !key || !path) return def;
  const IniDocument doc = TheParsedFiles().Get(path);
  const std::string* raw = doc.FindRaw(section, key);
  if (!raw) return def;
  const std::string_view value = StripIniQuotes(*raw);
  return value.empty() ? def : ParseIniInt(value);
}

int IniWriteString(const char* section, const char* key, const char* value, const char* path) {
  if (!section || !path) return 0;
  // A name or value that would read back as other lines or other names is refused.
  const auto breaksLine = [](const char* s) { return s && std::strpbrk(s, "\r\n") != nullptr; };
  if (breaksLine(section) || breaksLine(key) || breaksLine(value) || std::strchr(section, ']') ||
      (key && (std::strchr(key, '=') || Trim(key).empty() || Trim(key).front() == ';' || Trim(key).front() == '[')))
    return 0;
  const std::string file = path;
  struct stat st;
  // A read-only file stays as it is, whoever asks (root passes access()).
  if (stat(file.c_str(), &st) == 0 && (!S_ISREG(st.st_mode) || (st.st_mode & 0222) == 0)) return 0;
  IniDocument doc;
  if (!doc.LoadFile(file)) {
    if (stat(file.c_str(), &st) == 0) return 0;  // there, but not a readable file
    if (!key || !value) return 1;                // nothing to remove
  }
  if (!key)
    doc.RemoveSection(section);
  else if (!value)
    doc.RemoveKey(section, key);
  else
    doc.SetValue(section, key, value);
  TheParsedFiles().Forget(file);
  return WriteWholeFile(file, doc.Text()) ? 1 : 0;
}

void IniForgetFiles() { TheParsedFiles().Clear(); }
