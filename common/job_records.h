// Job records handed from the front end to the engine: ConvertJob (modes m, p,
// g), DemuxJob (d), MuxJob (e) and FrameJob (b), with their parts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/data_stream.h"

constexpr int kJobPathField = 260;
constexpr int kJobTagField = 64;
constexpr int kJobParamField = 1024;
constexpr int kMaxJobInputs = 8;
constexpr int kMaxSelectedStreams = 20;
constexpr int kMaxStreamDescriptions = 20;
constexpr int kTagInfoSize = 1068;
constexpr int kPaletteSize = 64;

// Copies text into a fixed field with its terminator; false (field untouched)
// when the text does not fit.
bool SetJobText(char* field, size_t width, std::string_view text);
template <size_t N>
bool SetJobText(char (&field)[N], std::string_view text) {
  return SetJobText(field, N, text);
}

// Reads a record's fields so that bad input cannot misread or overrun it:
// reads past the end give zeros (and mark a non-empty record truncated), a text
// or blob longer than its field is skipped whole, and counts are checked
// against their limits and the bytes left. Once a count or length is found
// corrupt, every later read gives zeros. The first fault is kept as the reason.
class RecordFieldReader {
 public:
  explicit RecordFieldReader(CDataStream& stream);

  int32_t Int32();
  int64_t Int64();
  // Text into a field of width bytes (terminator included); too long: empty.
  void Text(char* field, int32_t width, const char* name);
  // Text of any length.
  std::string AnyText(const char* name);
  // Blob into a field of width bytes; returns the length read (0 when skipped).
  int32_t Blob(void* field, int32_t width, const char* name);
  // A count of entries of at least minEntryBytes each, at most max (-1: no
  // limit other than the bytes left). 0 when the count is refused.
  int32_t Count(int32_t max, int32_t minEntryBytes, const char* name);

  void Fail(const std::string& reason);
  bool Malformed() const { return !reason_.empty(); }
  const std::string& Reason() const { return reason_; }
  CDataStream& Stream() { return stream_; }

 private:
  bool Have(int32_t bytes);

  CDataStream& stream_;
  bool empty_;  // an empty source reads as an empty record, no fault
  bool dead_ = false;
  std::string reason_;
};

// Base of the records that are read and written on their own: keeps the
// reason the last Read found the bytes malformed (empty when sound).
class JobRecord : public IDataRecord {
 public:
  virtual ~JobRecord() = default;
  void Write(CDataStream& stream) override { WriteFields(stream); }
  // Clears the record, then reads it; see Malformed().
  void Read(CDataStream& stream) override;

  virtual void Clear() = 0;
  virtual void WriteFields(CDataStream& stream) const = 0;
  virtual void ReadFields(RecordFieldReader& reader) = 0;

  bool Malformed() const { return !malformed_.empty(); }
  const std::string& MalformedReason() const { return malformed_; }

 protected:
  JobRecord() = default;
  JobRecord(const JobRecord&) = default;
  JobRecord& operator=(const JobRecord&) = default;

 private:
  std::string malformed_;
};

// Tags of the first source and whether to write them (1,068 bytes, one blob).
struct TagInfo {
  char16_t artist[128];
  char16_t title[128];
  char16_t album[128];
  char16_t comment[128];
  int32_t year;
  int32_t track;
  char genre[32];
  int32_t enabled;
};
static_assert(sizeof(TagInfo) == kTagInfoSize);
static_assert(offsetof(TagInfo, year) == 1024 && offsetof(TagInfo, genre) == 1032 &&
              offsetof(TagInfo, enabled) == 1064);

// One source of a job.
struct JobInput {
  char path[kJobPathField];
  int32_t start;                          // seconds
  int32_t stop;                           // seconds, 0 = to the end
  int32_t selectedCount;                  // 0 = every stream
  uint8_t selected[kMaxSelectedStreams];  // reader output pins to use
  int32_t descriptionCount;
  char descriptions[kMaxStreamDescriptions][kJobParamField];  // parameter texts
  int32_t paletteValid;
  uint32_t palette[16];  // DVD subpicture palette, YCrCb

  void Clear();
  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

// Sources of a job (at most 8) and the tags.
class JobInputList final : public JobRecord {
 public:
  int32_t count;
  JobInput inputs[kMaxJobInputs];
  TagInfo tags;

  JobInputList() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

struct OutputTarget {
  char path[kJobPathField];
  int32_t targetWord1;  // the three target values go to the writer with the path
  int32_t targetWord2;
  int64_t targetValue;
  int32_t numbered;  // nonzero: numbered output files

  void Clear();
  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

struct FrameRateChange {
  int32_t enabled;
  int32_t numerator;    // "FRAMENUM"
  int32_t denominator;  // "FRAMEDEN"

  void Clear();
  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

constexpr int32_t kFilterUserAdded = 2;
constexpr int32_t kFilterFrameRateControl = 1 | 8;

struct FilterEntry {
  int32_t flags = 0;
  char key[kJobTagField] = {};  // registry key, e.g. "VRESIZE"
  std::string params;           // parameter text

  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

struct EncodeSettings {
  int32_t sourceMode;
  char audioCodec[kJobTagField];  // "COPY", "NONE", "raw" or an encoder name
  int32_t audioSetting1;          // carried for the front end
  int32_t channels;
  int32_t audioBitrate;
  int32_t audioSetting2;  // carried for the front end
  int32_t sampleRate;
  int32_t passFlag;
  int32_t passReaderId;
  char videoCodec[kJobTagField];
  int32_t videoSetting;  // carried for the front end
  int32_t width;
  int32_t height;
  int32_t videoBitrate;
  int32_t frameRateNum;
  int32_t frameRateDen;
  char writerTag[kJobTagField];
  int32_t audioTag;
  int32_t videoTag;
  int32_t rawAudioCode;  // PC08, PC16, PC24 or PC32
  int32_t rawVideoCode;
  int32_t audioTrackCount;
  int32_t videoTrackCount;
  char writerParams[kJobParamField];
  char audioParams[kJobParamField];
  char videoParams[kJobParamField];
  std::vector<FilterEntry> audioFilters;
  std::vector<FilterEntry> videoFilters;

  void Clear();
  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

// Job of modes m, p and g.
class ConvertJob final : public JobRecord {
 public:
  JobInputList inputs;
  OutputTarget output;
  EncodeSettings settings;
  FrameRateChange frameRate;

  ConvertJob() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

struct DemuxOutput {
  int32_t stream = 0;  // reader output pin
  char writerTag[kJobTagField] = {};
  char path[kJobPathField] = {};
  int32_t globalHeader = 0;  // "GLOBALHEADER"

  void Write(CDataStream& stream) const;
  void Read(RecordFieldReader& reader);
};

// Job of mode d.
class DemuxJob final : public JobRecord {
 public:
  char sourcePath[kJobPathField];
  std::vector<DemuxOutput> outputs;
  FrameRateChange frameRate;

  DemuxJob() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

// Job of mode e.
class MuxJob final : public JobRecord {
 public:
  JobInputList inputs;
  OutputTarget output;
  char writerTag[kJobTagField];
  int32_t globalHeader;
  FrameRateChange frameRate;

  MuxJob() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

// Job of mode b.
class FrameJob final : public JobRecord {
 public:
  JobInputList inputs;  // for the DVD palette of the source
  char sourcePath[kJobPathField];
  int32_t stream;
  int32_t sourceMode;
  char outputPath[kJobPathField];
  int32_t frameCount;  // "FRAMENUM"
  int32_t startSeconds;

  FrameJob() { Clear(); }
  void Clear() override;
  void WriteFields(CDataStream& stream) const override;
  void ReadFields(RecordFieldReader& reader) override;
};

// Serialised bytes of a record (two passes: size, then write).
std::vector<uint8_t> SerialiseRecord(IDataRecord& record);

// Reads a job record from exactly these bytes. Empty bytes read as an empty
// record. E_FAIL-style false with a one-line reason when the record is
// malformed or bytes are left over after it.
bool ParseJobRecord(JobRecord& record, const std::vector<uint8_t>& bytes, std::string& reason);
