// The profile ini cache: every answer of the ini files under the program folder
// that the packed store "formats.dat" holds, kept in memory, and the two ini
// readers that ask it before the files.
//
// Store format: records of an int32 kind, an int32 length (little-endian) and
// that many bytes of text without terminator. Kind 1 names an ini file (path
// relative to the program folder, '/'-separated) and makes it current; kind 2 a
// section; kind 3 a key; kind 4 the value of (file, section, key), after which
// the key is cleared. A record of length 65,535 or more carries no text and is
// ignored. The store ends where a record cannot be read whole; a negative
// length also ends it. What was read before stays.
#pragma once

#include <sparsehash/sparse_hash_map>
#include <sparsehash/sparse_hash_set>

#include <cstdint>
#include <string>
#include <vector>

enum ProfileStoreKind : int32_t { kStoreFile = 1, kStoreSection = 2, kStoreKey = 3, kStoreValue = 4 };
constexpr int32_t kStoreMaxTextLength = 65534;

class ProfileIniCache {
 public:
  // Why reading the store stopped.
  enum class StoreEnd { kNone, kComplete, kTruncated, kNegativeLength };

  ProfileIniCache() = default;
  ProfileIniCache(const ProfileIniCache&) = delete;
  ProfileIniCache& operator=(const ProfileIniCache&) = delete;

  // Empties the cache, then reads the store; 1, or 0 when the store cannot be
  // opened (the cache stays empty). Both null: an empty cache and 1.
  int Load(const char* prefix, const char* storePath);
  // Value of an upper-cased "file/SECTION/KEY" key (the key is upper-cased here
  // too), or null.
  const char* Find(const std::string& key) const;
  // 1 when the store lists the relative path (compared without case), else 0.
  int KnowsFile(const std::string& relativePath) const;
  void Free();

  // The relative path of a path under the prefix ("" when it is not under it):
  // the prefix, compared without case, then a '/'.
  std::string RelativePath(const char* path) const;

  const std::string& Prefix() const { return prefix_; }
  size_t ValueCount() const { return values_.size(); }
  size_t FileCount() const { return files_.size(); }
  StoreEnd LastLoadEnd() const { return end_; }

 private:
  std::string prefix_;
  google::sparse_hash_map<std::string, std::string> values_;
  google::sparse_hash_set<std::string> files_;
  StoreEnd end_ = StoreEnd::kNone;
};

// The process-wide cache that the two readers below consult.
ProfileIniCache& TheProfileIniCache();

// "file/section/key" upper-cased: the cache's key.
std::string ProfileCacheKey(const std::string& relativePath, const char* section, const char* key);

// GetPrivateProfileString through the cache: for a path under the cache's
// prefix whose file the store lists, the store's value or the default; for
// any other path (or a null section or key) the file itself.
uint32_t CachedGetProfileString(const char* section, const char* key, const char* def, char* buffer, uint32_t capacity,
                                const char* path);
// GetPrivateProfileInt through the cache; a stored empty value gives the
// default, as the file reader does.
int32_t CachedGetProfileInt(const char* section, const char* key, int32_t def, const char* path);

// The ini files a store of the folder holds, relative to it, sorted: the
// "*.ini" files of tree/ and of its sub-folders, of acodec/, vcodec/ and
// muxer/, and every file of filter/video/ and filter/audio/.
std::vector<std::string> ListProfileStoreFiles(const std::string& folder);

// Writes a store of the listed files (relative to folder) that answers every
// read exactly as the files do. False, with a message, when a file cannot be
// read, a text does not fit a record, a section or key name holds '/' (it would
// meet another name in the cache's keys), or the store cannot be written.
bool WriteProfileStore(const std::string& folder, const std::vector<std::string>& relativeFiles,
                       const std::string& storePath, std::string* error);
