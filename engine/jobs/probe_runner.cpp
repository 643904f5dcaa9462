#include "engine/jobs/probe_runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/codec_tables.h"
#include "common/shared_block.h"
#include "engine/jobs/job_runners.h"
#include "engine/jobs/media_chains.h"
#include "engine/jobs/stream_picking.h"
#include "engine/jobs/tag_io.h"
#include "engine/modules/ffmpeg/ffmpeg_adapter.h"
#include "engine/registry/registry_module_source.h"
#include "platform/diagnostics.h"
#include "platform/unknown.h"
#include "plugin-api/media_type_helpers.h"

namespace {

using Clock = std::chrono::steady_clock;

// Format type whose block is three 32-bit values: channels, sample rate, bits.
constexpr GUID kChannelsRateBitsFormat = FourccGuid(0x55);
constexpr GUID kSubtitleSsf = {0x370689E7, 0xB226, 0x4F67, {0x97, 0x8D, 0xF1, 0x0B, 0xC1, 0xA9, 0xC6, 0xAE}};
// A reader offering more types than this on one pin is not listed further.
constexpr uint32_t kMaxTypesPerPin = 256;
constexpr size_t kTagTextUnits = sizeof(TagInfo::artist) / sizeof(char16_t);

bool FormatHolds(const AM_MEDIA_TYPE* type, size_t size) { return type->pbFormat != nullptr && type->cbFormat >= size; }

int32_t ClampToInt32(int64_t value) {
  return value > INT32_MAX ? INT32_MAX : (value < INT32_MIN ? INT32_MIN : static_cast<int32_t>(value));
}

void DescribeVideo(CParamList& list, DWORD bitRate, const BITMAPINFOHEADER& bitmap, REFERENCE_TIME timePerFrame,
                   const StreamInfo& info) {
  list.SetInt("BITRATE", ClampToInt32(bitRate));
  list.SetInt("WIDTH", bitmap.biWidth);
  list.SetInt("HEIGHT", bitmap.biHeight);
  list.SetDouble("FRAMERATE", timePerFrame > 0 ? 10000000.0 / static_cast<double>(timePerFrame) : 0.0);
  if (info.hasAspect) {
    list.SetInt("PNAN", info.aspectNum);
    list.SetInt("PNAD", info.aspectDen);
  }
}

void SetCode(CParamList& list, const char* key, uint32_t code) {
  const char text[5] = {static_cast<char>(code & 0xFF), static_cast<char>((code >> 8) & 0xFF),
                        static_cast<char>((code >> 16) & 0xFF), static_cast<char>(code >> 24), '\0'};
  list.SetString(key, text);
}

// The list's text into a field of capacity bytes; entries are dropped from
// the end until it fits, so the field never holds a cut entry.
void StoreParamText(CParamList& list, char* field, size_t capacity) {
  for (;;) {
    char* text = list.ToText();
    const size_t length = text != nullptr ? std::strlen(text) : 0;
    if (length < capacity || list.GetCount() == 0) {
      if (length < capacity && text != nullptr)
        std::memcpy(field, text, length + 1);
      else
        field[0] = '\0';
      list.FreeText(text);
      return;
    }
    list.FreeText(text);
    POSITION last = list.GetHeadPosition();
    for (POSITION next = list.GetNext(last); next != nullptr; next = list.GetNext(next)) last = next;
    char key[256];
    if (list.GetAt(last, key, sizeof key, nullptr) >= static_cast<int32_t>(sizeof key)) {
      field[0] = '\0';  // a key longer than any field
      return;
    }
    list.Remove(key);
  }
}

bool NameIs(const std::string& name, std::initializer_list<const char*> names) {
  for (const char* n : names)
    if (name == n) return true;
  return false;
}

// The keys of the reader's stream description.
void AddStreamKeys(const StreamInfo& info, CParamList& list) {
  if (info.valid) {
    list.SetInt("TBN", info.timeBaseNum);
    list.SetInt("TBD", info.timeBaseDen);
  }
  list.SetInt("STREAMID", info.streamId);
}

// A wide text of at most 256 characters into a tag field, cut before a
// character that does not fit.
void CopyWideToField(const char16_t* text, char16_t* field) {
  size_t n = 0;
  while (n < kTagTextUnits - 1 && text[n]) ++n;
  if (n > 0 && n == kTagTextUnits - 1 && text[n] && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::memcpy(field, text, n * sizeof(char16_t));
  field[n] = u'\0';
}

// Tags and lengths that depend on the reader.
void ReadTagsAndLength(const std::string& reader, const char* path, MediaInfoRecord& record, const char16_t* author,
                       const char16_t* title, Clock::time_point lengthDeadline) {
  record.tags.enabled = 0;
  TagInfo tags{};
  if (NameIs(reader, {"asf", "mp4", "m4a", "m4b", "3gp", "3g2", "aac", "mp3", "[PLUGIN]OGGREADER", "flac"})) {
    if (TagRead(path, &tags)) {
      CopyTagFields(tags, record.tags);
      record.tags.enabled = 1;
    }
    int32_t seconds = 0;
    if (reader == "mp3" && Mp3GetLength(path, lengthDeadline, &seconds)) record.length = seconds;
    uint32_t flacSeconds = 0;
    if (reader == "flac" && FlacTagRead(path, nullptr, &flacSeconds)) record.length = flacSeconds;
  } else if (reader == "ape") {
    if (ApeTagRead(path, &tags)) {
      CopyTagFields(tags, record.tags);
      record.tags.enabled = 1;
    }
  } else if (reader == "amr" || reader == "awb") {
    int64_t seconds = 0;
    if (AmrLengthSeconds(path, reader == "awb", &seconds)) record.length = static_cast<double>(seconds);
  } else {
    if (author[0]) CopyWideToField(author, record.tags.artist);
    if (title[0]) CopyWideToField(title, record.tags.title);
    record.tags.enabled = author[0] || title[0] ? 1 : 0;
  }
}

}  // namespace

std::string ProbePathFromWord(const char* word) {
  if (word == nullptr) return {};
  std::string path = word;
  if (path.empty() || path.front() != '"') return path;
  path.erase(0, 1);
  if (!path.empty() && path.back() == '"') path.pop_back();
  return path;
}

bool StreamInfoToParams(const AM_MEDIA_TYPE* type, const StreamInfo& info, CParamList& list) {
  AddStreamKeys(info, list);
  const GUID& format = type->formattype;
  if ((format == FORMAT_VideoInfo || format == FORMAT_MPEGVideo) && FormatHolds(type, sizeof(VIDEOINFOHEADER))) {
    VIDEOINFOHEADER vih;
    std::memcpy(&vih, type->pbFormat, sizeof vih);
    DescribeVideo(list, vih.dwBitRate, vih.bmiHeader, vih.AvgTimePerFrame, info);
  } else if ((format == FORMAT_VideoInfo2 || format == FORMAT_MPEG2Video) &&
             FormatHolds(type, sizeof(VIDEOINFOHEADER2))) {
    VIDEOINFOHEADER2 vih;
    std::memcpy(&vih, type->pbFormat, sizeof vih);
    DescribeVideo(list, vih.dwBitRate, vih.bmiHeader, vih.AvgTimePerFrame, info);
  } else if (format == FORMAT_WaveFormatEx && FormatHolds(type, sizeof(WAVEFORMATEX))) {
    WAVEFORMATEX wave;
    std::memcpy(&wave, type->pbFormat, sizeof wave);
    list.SetInt("BITRATE", ClampToInt32(static_cast<int64_t>(wave.nAvgBytesPerSec) * 8));
    list.SetInt("SAMPLERATE", ClampToInt32(wave.nSamplesPerSec));
    list.SetInt("CHANNEL", wave.nChannels);
    list.SetInt("BITSIZE", wave.wBitsPerSample);
  } else if (format == kChannelsRateBitsFormat && FormatHolds(type, 3 * sizeof(int32_t))) {
    int32_t values[3];
    std::memcpy(values, type->pbFormat, sizeof values);
    list.SetInt("SAMPLERATE", values[1]);
    list.SetInt("CHANNEL", values[0]);
    list.SetInt("BITSIZE", values[2]);
  } else if (type->majortype == MEDIATYPE_Text) {
    list.SetInt("TYPE", 2);
    list.SetString("VFCC", "TEXT");
    return true;
  } else if (IsSubtitleMajorType(type->majortype)) {
    list.SetInt("TYPE", 2);
    const uint32_t code = type->subtype == kSubtitleSsf ? MakeFourcc('S', 'S', 'F', ' ') : SubtitleCode(type);
    if (code != 0) SetCode(list, "VFCC", code);
    return true;
  } else {
    return false;
  }
  if (type->majortype == MEDIATYPE_Audio) list.SetInt("TYPE", 1);
  if (type->majortype == MEDIATYPE_Video) list.SetInt("TYPE", 0);
  list.SetInt("VFCC", TheVfccTable().CodeByGuid(type->subtype));
  list.SetInt("FCC", static_cast<int32_t>(GuidToFourcc(type->subtype)));
  return true;
}

HRESULT ProbeMediaInfo(IModuleSource& modules, const char* path, int32_t mode, MediaInfoRecord& record,
                       Clock::time_point lengthDeadline) {
  IMediaModule* module = nullptr;
  const HRESULT opened = OpenSourceReader(modules, path, 0, 0, &module, mode);
  IMediaReader* reader = opened == S_OK ? QueryAsReader(module) : nullptr;
  if (opened != S_OK || reader == nullptr) {
    record.result = opened != S_OK ? opened : E_UNKNOWN_SOURCE_FORMAT;
    record.trackCount = 0;
    DiscardModule(module);
    return record.result;
  }
  const std::string name = RegistrationName(module);

  CParamList info;
  int64_t duration = 0;
  if (reader->GetInfo(&duration, &info) == S_OK) {
    record.length = static_cast<double>(duration) * 0.0000001;
    ConsoleLine("%.3f\n", record.length);
  } else {
    record.length = 0.0;
  }
  char16_t author[257];
  char16_t title[257];
  info.GetWString("AUTHOR", author, 257, u"");
  info.GetWString("TITLE", title, 257, u"");
  StoreParamText(info, record.info, sizeof record.info);
  info.Clear();

  record.result = S_OK;
  const uint32_t pins = module->GetOutputPinCount();
  const int32_t tracks = pins > static_cast<uint32_t>(kMaxProbeTracks) ? kMaxProbeTracks : static_cast<int32_t>(pins);
  if (pins > static_cast<uint32_t>(kMaxProbeTracks))
    Diag(DiagLevel::kTrace, "%u tracks: the first %d are described", pins, kMaxProbeTracks);
  record.trackCount = tracks;
  for (int32_t i = 0; i < tracks; ++i) {
    const uint32_t pin = static_cast<uint32_t>(i);
    StreamInfo stream{};
    reader->GetStreamInfo(pin, &stream);
    // A pin without any type still says which stream it is.
    CParamList list;
    AddStreamKeys(stream, list);
    bool described = false;
    for (uint32_t j = 0; j < kMaxTypesPerPin && !described; ++j) {
      AM_MEDIA_TYPE mt;
      InitMediaType(&mt);
      const bool got = module->GetOutputType(pin, j, &mt) == S_OK;
      if (got) described = StreamInfoToParams(&mt, stream, list);
      ClearMediaTypeFormat(&mt);
      if (!got) break;
    }
    if (!described) list.SetInt("TYPE", 255);
    StoreParamText(list, record.tracks[i], sizeof record.tracks[i]);
  }
  DiscardModule(module);

  ReadTagsAndLength(name, path, record, author, title, lengthDeadline);
  return S_OK;
}

bool AmrLengthSeconds(const char* path, bool wideband, int64_t* seconds) {
  static constexpr int32_t kNarrowRates[] = {650, 700, 800, 900, 1000, 1050, 1350, 1600};
  static constexpr int32_t kWideRates[] = {900, 1200, 1650, 1850, 2050, 2350, 2550, 2950, 3050};
  const size_t headerBytes = wideband ? 10 : 7;
  const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  uint8_t header[10] = {};
  ssize_t got = -1;
  if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    do {
      got = pread(fd, header, headerBytes, 0);
    } while (got < 0 && errno == EINTR);
  }
  close(fd);
  if (got != static_cast<ssize_t>(headerBytes)) return false;
  const int mode = static_cast<int8_t>(header[headerBytes - 1]) >> 3;
  const int modes = wideband ? 9 : 8;
  if (mode < 0 || mode >= modes) return false;
  *seconds = st.st_size / (wideband ? kWideRates[mode] : kNarrowRates[mode]);
  return true;
}

void PrintProbeRecord(const MediaInfoRecord& record) {
  ConsoleLine("RET=%08X\n", static_cast<unsigned>(record.result));
  ConsoleLine("LENGTH=%.3f\n", record.length);
  ConsoleLine("TRACK=%d\n", record.trackCount);
  ConsoleLine("MINFO=%.*s\n", static_cast<int>(strnlen(record.info, sizeof record.info)), record.info);
  for (int32_t i = 0; i < record.TrackCount(); ++i) {
    const std::string_view text = record.Track(i);
    ConsoleLine("TRACK %d,INFO=%.*s\n", i, static_cast<int>(text.size()), text.data());
  }
}

HRESULT RunProbeCommand(const char* blockName, const char* pathWord, const char* sourceModeWord) {
  const Clock::time_point start = Clock::now();
  CSharedBlock block;
  if (blockName == nullptr || !block.Create(blockName, kProbeBlockSize) || block.Size() < kProbeBlockSize) {
    Diag(DiagLevel::kError, "cannot map the probe block \"%s\"", blockName ? blockName : "");
    return E_FAIL;
  }
  const std::string path = ProbePathFromWord(pathWord);
  const long mode = sourceModeWord ? std::strtol(sourceModeWord, nullptr, 10) : 0;

  InputBounds bounds;
  bounds.probeBytes = kProbeBytes;
  bounds.analyzeMicroseconds = kProbeAnalyzeMicroseconds;
  bounds.deadline = start + kProbeInputBudget;
  SetInputBounds(bounds);

  {
    NamedMutexLock lock(block.Mutex());
    MediaInfoRecord record;
    std::memcpy(&record, block.View(), sizeof record);
    CRegistryModuleSource modules(TheModuleRegistry());
    ProbeMediaInfo(modules, path.c_str(), ClampToInt32(mode), record, start + kProbeLengthBudget);
    std::memcpy(block.View(), &record, sizeof record);
    PrintProbeRecord(record);
    block.Flush();
  }
  block.Close();
  std::fflush(stdout);
  return S_OK;
}
