#include "frontend/model/profile_store.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "frontend/model/ini_file.h"
#include "frontend/model/whole_file.h"

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool ReadInt32(FILE* f, int32_t* value) {
  unsigned char b[4];
  if (std::fread(b, 1, 4, f) != 4) return false;
  *value = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
  return true;
}

void PutInt32(std::string& out, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

bool PutRecord(std::string& out, int32_t kind, const std::string& text, const std::string& where, std::string* error) {
  if (text.size() > static_cast<size_t>(kStoreMaxTextLength)) {
    if (error) *error = where + ": a text of " + std::to_string(text.size()) + " bytes does not fit a store record";
    return false;
  }
  PutInt32(out, kind);
  PutInt32(out, static_cast<int32_t>(text.size()));
  out += text;
  return true;
}

uint32_t CopyOut(const char* text, char* buffer, uint32_t capacity) {
  if (!buffer || capacity == 0) return 0;
  const size_t n = std::min<size_t>(std::strlen(text), capacity - 1);
  std::memcpy(buffer, text, n);
  buffer[n] = '\0';
  return static_cast<uint32_t>(n);
}

}  // namespace

int ProfileIniCache::Load(const char* prefix, const char* storePath) {
  Free();
  prefix_ = prefix ? prefix : "";
  while (prefix_.size() > 1 && prefix_.back() == '/') prefix_.pop_back();
  if (!prefix && !storePath) return 1;
  if (!storePath || !IsRegularFile(storePath)) return 0;
  FilePtr f(std::fopen(storePath, "rb"));
  if (!f) return 0;

  std::string file, section, key;
  bool haveKey = false;
  std::string text;
  end_ = StoreEnd::kComplete;
  for (;;) {
    int32_t kind = 0, length = 0;
    if (!ReadInt32(f.get(), &kind)) break;
    if (!ReadInt32(f.get(), &length)) {
      end_ = StoreEnd::kTruncated;
      break;
    }
    if (length < 0) {
      end_ = StoreEnd::kNegativeLength;
      break;
    }
    if (length > kStoreMaxTextLength) continue;  // carries no text
    text.resize(static_cast<size_t>(length));
    if (length > 0 && std::fread(text.data(), 1, text.size(), f.get()) != text.size()) {
      end_ = StoreEnd::kTruncated;
      break;
    }
    switch (kind) {
      case kStoreFile:
        file = text;
        files_.insert(Upper(text));
        haveKey = false;
        break;
      case kStoreSection:
        section = text;
        haveKey = false;
        break;
      case kStoreKey:
        key = text;
        haveKey = true;
        break;
      case kStoreValue:
        // A value without a key of its own is ignored; the first value of a key wins.
        if (haveKey) values_.insert({ProfileCacheKey(file, section.c_str(), key.c_str()), text});
        haveKey = false;
        break;
      default:
        break;
    }
  }
  return 1;
}

const char* ProfileIniCache::Find(const std::string& key) const {
  const auto it = values_.find(Upper(key));
  return it == values_.end() ? nullptr : it->second.c_str();
}

int ProfileIniCache::KnowsFile(const std::string& relativePath) const {
  return files_.find(Upper(relativePath)) != files_.end() ? 1 : 0;
}

void ProfileIniCache::Free() {
  values_.clear();
  values_.resize(0);
  files_.clear();
  files_.resize(0);
  prefix_.clear();
  end_ = StoreEnd::kNone;
}

std::string ProfileIniCache::RelativePath(const char* path) const {
  if (!path || prefix_.empty()) return "";
  const size_t n = prefix_.size();
  if (std::strlen(path) <= n + 1 || strncasecmp(path, prefix_.c_str(), n) != 0) return "";
  // A sibling folder whose name only begins with the prefix is not under it.
  const size_t sep = prefix_ == "/" ? n - 1 : n;
  if (path[sep] != '/') return "";
  return std::string(path + sep + 1);
}

ProfileIniCache& TheProfileIniCache() {
  static ProfileIniCache cache;
  return cache;
}

std::string ProfileCacheKey(const std::string& relativePath, const char* section, const char* key) {
  return Upper(relativePath + "/" + section + "/" + key);
}

uint32_t CachedGetProfileString(const char* section, const char* key, const char* def, char* buffer, uint32_t capacity,
                                const char* path) {
  const ProfileIniCache& cache = TheProfileIniCache();
  const std::string relative = section && key ? cache.RelativePath(path) : std::string();
  if (relative.empty()) return IniGetString(section, key, def, buffer, capacity, path);
  if (const char* value = cache.Find(ProfileCacheKey(relative, section, key))) return CopyOut(value, buffer, capacity);
  if (cache.KnowsFile(relative)) {
    std::string d = def ? def : "";
    while (!d.empty() && d.back() == ' ') d.pop_back();
    return CopyOut(d.c_str(), buffer, capacity);
  }
  return IniGetString(section, key, def, buffer, capacity, path);
}

int32_t CachedGetProfileInt(const char* section, const char* key, int32_t def, const char* path) {
  const ProfileIniCache& cache = TheProfileIniCache();
  const std::string relative = section && key ? cache.RelativePath(path) : std::string();
  if (relative.empty()) return IniGetInt(section, key, def, path);
  if (const char* value = cache.Find(ProfileCacheKey(relative, section, key))) return *value ? ParseIniInt(value) : def;
  if (cache.KnowsFile(relative)) return def;
  return IniGetInt(section, key, def, path);
}

std::vector<std::string> ListProfileStoreFiles(const std::string& folder) {
  std::vector<std::string> files;
  auto addIni = [&](const std::string& sub) {
    for (const std::string& name : ListFolder(JoinPath(folder, sub), false)) {
      if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".ini") == 0)
        files.push_back(JoinPath(sub, name));
    }
  };
  addIni("tree");
  for (const std::string& node : ListFolder(JoinPath(folder, "tree"), true)) addIni(JoinPath("tree", node));
  for (const char* sub : {"acodec", "vcodec", "muxer"}) addIni(sub);
  for (const char* sub : {"filter/video", "filter/audio"}) {
    for (const std::string& name : ListFolder(JoinPath(folder, sub), false)) files.push_back(JoinPath(sub, name));
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool WriteProfileStore(const std::string& folder, const std::vector<std::string>& relativeFiles,
                       const std::string& storePath, std::string* error) {
  std::string out;
  for (const std::string& relative : relativeFiles) {
    IniDocument doc;
    if (!doc.LoadFile(JoinPath(folder, relative))) {
      if (error) *error = relative + ": cannot be read";
      return false;
    }
    if (!PutRecord(out, kStoreFile, relative, relative, error)) return false;
    // What a read answers: the first section of a name, its first key of a
    // name, the value without enclosing quotes. Keys without '=' answer the
    // default, so they are left out.
    for (const std::string& section : doc.SectionNames()) {
      if (section.find('/') != std::string::npos) {
        if (error) *error = relative + " [" + section + "]: a section name with '/' cannot be stored";
        return false;
      }
      if (!PutRecord(out, kStoreSection, section, relative, error)) return false;
      for (const std::string& key : doc.KeyNames(section)) {
        std::string value;
        if (!doc.Find(section, key, &value)) continue;
        const std::string where = relative + " [" + section + "] " + key;
        if (key.find('/') != std::string::npos) {
          if (error) *error = where + ": a key name with '/' cannot be stored";
          return false;
        }
        if (!PutRecord(out, kStoreKey, key, where, error) || !PutRecord(out, kStoreValue, value, where, error))
          return false;
      }
    }
  }
  if (!WriteWholeFile(storePath, out)) {
    if (error) *error = storePath + ": cannot be written";
    return false;
  }
  return true;
}
