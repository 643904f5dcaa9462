#include "engine/jobs/tag_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <taglib/apefile.h>
#include <taglib/apeproperties.h>
#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/fileref.h>
#include <taglib/flacfile.h>
#include <taglib/flacproperties.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/xiphcomment.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "engine/modules/bitstream/mpeg_audio_length.h"
#include "platform/file_commit.h"
#include "platform/utf_text.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kTextUnits = sizeof(TagInfo::artist) / sizeof(char16_t);

enum class FileKind { kMpegAudio, kMp4, kAsf, kFlac, kApe, kOther };

std::string LowerExtension(const char* path) {
  std::string ext = fs::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext;
}

FileKind KindOfPath(const char* path) {
  const std::string ext = LowerExtension(path);
  for (const char* e : {".mp3", ".mp2", ".mpa", ".aac"})
    if (ext == e) return FileKind::kMpegAudio;
  for (const char* e : {".mp4", ".m4a", ".m4b", ".m4v", ".m4p", ".m4r", ".3gp", ".3g2", ".3gpp", ".mov", ".qt"})
    if (ext == e) return FileKind::kMp4;
  for (const char* e : {".asf", ".wma", ".wmv"})
    if (ext == e) return FileKind::kAsf;
  if (ext == ".flac") return FileKind::kFlac;
  if (ext == ".ape") return FileKind::kApe;
  return FileKind::kOther;
}

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

int32_t ClampToInt32(unsigned int value) { return value > INT32_MAX ? INT32_MAX : static_cast<int32_t>(value); }

// The seven fields of a tag into info; true when the tag has any of them.
bool ReadFields(const TagLib::Tag* tag, TagInfo* info) {
  if (tag == nullptr) return false;
  Utf8ToBoundedUtf16(tag->artist().to8Bit(true), info->artist, kTextUnits);
  Utf8ToBoundedUtf16(tag->title().to8Bit(true), info->title, kTextUnits);
  Utf8ToBoundedUtf16(tag->album().to8Bit(true), info->album, kTextUnits);
  Utf8ToBoundedUtf16(tag->comment().to8Bit(true), info->comment, kTextUnits);
  info->year = ClampToInt32(tag->year());
  info->track = ClampToInt32(tag->track());
  CopyUtf8Bounded(tag->genre().to8Bit(true), info->genre, sizeof info->genre);
  // Not Tag::isEmpty(): it also counts frames of other kinds (an encoder's name).
  return info->artist[0] || info->title[0] || info->album[0] || info->comment[0] || info->year || info->track ||
         info->genre[0];
}

void WriteFields(TagLib::Tag* tag, const TagInfo& info) {
  if (tag == nullptr) return;
  tag->setArtist(Text(Utf16FieldToUtf8(info.artist, kTextUnits)));
  tag->setTitle(Text(Utf16FieldToUtf8(info.title, kTextUnits)));
  tag->setAlbum(Text(Utf16FieldToUtf8(info.album, kTextUnits)));
  tag->setComment(Text(Utf16FieldToUtf8(info.comment, kTextUnits)));
  tag->setYear(info.year > 0 ? static_cast<unsigned int>(info.year) : 0);
  tag->setTrack(info.track > 0 ? static_cast<unsigned int>(info.track) : 0);
  tag->setGenre(Text(std::string(info.genre, strnlen(info.genre, sizeof info.genre))));
}

// TagLib takes any file as MPEG audio; this one must hold an MPEG audio frame
// or, named .aac, begin (after its ID3v2 tag) with an ADTS header.
bool HasAudioFrames(TagLib::MPEG::File& file, const char* path) {
  if (!file.isValid()) return false;
  if (LowerExtension(path) != ".aac") return file.firstFrameOffset() >= 0;
  const long start = file.hasID3v2Tag() ? static_cast<long>(file.ID3v2Tag()->header()->completeTagSize()) : 0;
  file.seek(start);
  const TagLib::ByteVector head = file.readBlock(2);
  return head.size() == 2 && static_cast<uint8_t>(head[0]) == 0xFF && (static_cast<uint8_t>(head[1]) & 0xF6) == 0xF0;
}

// TagLib opens what it is given; a FIFO or device would hold the open.
bool IsRegularFile(const char* path) {
  std::error_code ec;
  return path != nullptr && fs::is_regular_file(fs::path(path), ec);
}

// TagLib takes any file as an APE file; this one must begin like one.
bool IsApeFile(TagLib::APE::File& file) {
  const TagLib::APE::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
  return properties != nullptr && properties->sampleRate() > 0;
}

bool ReadApeTags(const char* path, TagInfo* info) {
  TagLib::APE::File file(path, true, TagLib::AudioProperties::Fast);
  return IsApeFile(file) && ReadFields(file.tag(), info);
}

bool ReadTags(const char* path, TagInfo* info) {
  if (!IsRegularFile(path)) return false;
  switch (KindOfPath(path)) {
    case FileKind::kMpegAudio: {
      TagLib::MPEG::File file(path, false);
      return HasAudioFrames(file, path) && ReadFields(file.tag(), info);
    }
    case FileKind::kMp4: {
      TagLib::MP4::File file(path, false);
      return file.isValid() && ReadFields(file.tag(), info);
    }
    case FileKind::kAsf: {
      TagLib::ASF::File file(path, false);
      return file.isValid() && ReadFields(file.tag(), info);
    }
    case FileKind::kApe:
      return ReadApeTags(path, info);
    case FileKind::kFlac:
    case FileKind::kOther:
      break;
  }
  TagLib::FileRef file(path, false);
  return !file.isNull() && ReadFields(file.tag(), info);
}

bool WriteApeInPlace(const char* path, const TagInfo& info) {
  TagLib::APE::File file(path, true, TagLib::AudioProperties::Fast);
  if (!IsApeFile(file)) return false;
  WriteFields(file.APETag(true), info);
  return file.save();
}

// Writes into path in place; the caller hands it a copy.
bool WriteTagsInPlace(const char* path, const TagInfo& info) {
  switch (KindOfPath(path)) {
    case FileKind::kMpegAudio: {
      TagLib::MPEG::File file(path, false);
      if (!HasAudioFrames(file, path)) return false;
      WriteFields(file.ID3v2Tag(true), info);
      if (file.hasID3v1Tag()) WriteFields(file.ID3v1Tag(), info);
      if (file.hasAPETag()) WriteFields(file.APETag(), info);
      // ID3v2.3: what most players and devices read.
      return file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripNone, TagLib::ID3v2::v3,
                       TagLib::File::DoNotDuplicate);
    }
    case FileKind::kMp4: {
      TagLib::MP4::File file(path, false);
      if (!file.isValid()) return false;
      WriteFields(file.tag(), info);
      return file.save();
    }
    case FileKind::kAsf: {
      TagLib::ASF::File file(path, false);
      if (!file.isValid()) return false;
      WriteFields(file.tag(), info);
      return file.save();
    }
    case FileKind::kFlac: {
      TagLib::FLAC::File file(path, false);
      if (!file.isValid()) return false;
      WriteFields(file.xiphComment(true), info);
      return file.save();
    }
    case FileKind::kApe:
      return WriteApeInPlace(path, info);
    case FileKind::kOther:
      break;
  }
  TagLib::FileRef file(path, false);
  if (file.isNull()) return false;
  WriteFields(file.tag(), info);
  return file.save();
}

// A copy of the file in a new temporary file beside it, with its mode; false
// (nothing left behind) when any step fails.
bool CopyToTemporary(const char* path, std::string* copy) {
  const int in = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  const int out = fstat(in, &st) == 0 && S_ISREG(st.st_mode) ? CreateTemporarySibling(path, copy) : -1;
  bool ok = out >= 0;
  std::vector<char> buffer(65536);
  while (ok) {
    const ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(out, buffer.data(), static_cast<size_t>(n));
  }
  ok = ok && fchmod(out, st.st_mode & 07777) == 0;
  if (out >= 0 && close(out) != 0) ok = false;
  close(in);
  if (!ok && out >= 0) unlink(copy->c_str());
  return ok;
}

// Tags are written into a copy beside the file, which then replaces it: a
// failure on the way leaves the file as it was.
bool WriteWhole(const char* path, bool (*write)(const char*, const TagInfo&), const TagInfo& info) {
  if (!IsRegularFile(path)) return false;
  std::string copy;
  if (!CopyToTemporary(path, &copy)) return false;
  bool ok = write(copy.c_str(), info);
  if (ok) ok = rename(copy.c_str(), path) == 0;
  if (!ok) unlink(copy.c_str());
  return ok;
}

class TagLibLibrary final : public ITagLibrary {
 public:
  bool TagRead(const char* path, TagInfo* info) override {
    if (path == nullptr || info == nullptr) return false;
    return ReadTags(path, info);
  }
  bool TagWrite(const char* path, const TagInfo* info) override {
    return info != nullptr && WriteWhole(path, WriteTagsInPlace, *info);
  }
};

TagLibLibrary g_tagLib;
std::atomic<ITagLibrary*> g_library{&g_tagLib};

}  // namespace

void SetTagLibrary(ITagLibrary* library) { g_library.store(library ? library : &g_tagLib); }

ITagLibrary& TheTagLibrary() { return *g_library.load(); }

bool TagRead(const char* path, TagInfo* info) { return TheTagLibrary().TagRead(path, info); }

bool TagWrite(const char* path, const TagInfo* info) { return TheTagLibrary().TagWrite(path, info); }

void CopyTagFields(const TagInfo& from, TagInfo& to) {
  std::memcpy(to.artist, from.artist, sizeof to.artist);
  std::memcpy(to.title, from.title, sizeof to.title);
  std::memcpy(to.album, from.album, sizeof to.album);
  std::memcpy(to.comment, from.comment, sizeof to.comment);
  to.year = from.year;
  to.track = from.track;
  std::memcpy(to.genre, from.genre, sizeof to.genre);
  to.genre[sizeof to.genre - 1] = '\0';
}

bool ApeTagRead(const char* path, TagInfo* info) {
  return info != nullptr && IsRegularFile(path) && ReadApeTags(path, info);
}

bool ApeTagWrite(const char* path, const TagInfo* info) {
  return info != nullptr && WriteWhole(path, WriteApeInPlace, *info);
}

bool FlacTagRead(const char* path, TagInfo* info, uint32_t* lengthSeconds) {
  if (lengthSeconds == nullptr || !IsRegularFile(path)) return false;
  TagLib::FLAC::File file(path, true, TagLib::AudioProperties::Fast);
  const TagLib::FLAC::Properties* properties = file.isValid() ? file.audioProperties() : nullptr;
  if (properties == nullptr || properties->sampleRate() <= 0 || properties->sampleFrames() == 0) return false;
  if (info != nullptr) ReadFields(file.tag(), info);
  const unsigned long long rate = static_cast<unsigned long long>(properties->sampleRate());
  const unsigned long long seconds = (properties->sampleFrames() + rate / 2) / rate;
  *lengthSeconds = seconds > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
  return true;
}

bool Mp3GetLength(const char* path, std::chrono::steady_clock::time_point deadline, int32_t* seconds) {
  MpegAudioLength length;
  if (seconds == nullptr || !ScanMpegAudioLength(path, deadline, &length)) return false;
  const double whole = std::round(length.Seconds());
  *seconds = whole > INT32_MAX ? INT32_MAX : static_cast<int32_t>(whole);
  return true;
}
