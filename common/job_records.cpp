#include "common/job_records.h"

#include <bit>
#include <climits>
#include <cstring>
#include <type_traits>

static_assert(std::endian::native == std::endian::little, "records are stored in host byte order");
static_assert(std::is_trivially_copyable_v<JobInput> && std::is_trivially_copyable_v<TagInfo>);

namespace {

// Smallest serialised sizes, used to check counts against the bytes left.
constexpr int32_t kMinJobInputBytes = 7 * 4;
constexpr int32_t kMinTextBytes = 4;
constexpr int32_t kMinFilterBytes = 3 * 4;
constexpr int32_t kMinDemuxOutputBytes = 4 * 4;

void WriteText(CDataStream& stream, const char* field, size_t width) {
  std::string text(field, strnlen(field, width - 1));
  stream.WriteString(text.c_str());
}

template <size_t N>
void WriteText(CDataStream& stream, const char (&field)[N]) {
  WriteText(stream, field, N);
}

template <size_t N>
void ReadText(RecordFieldReader& reader, char (&field)[N], const char* name) {
  reader.Text(field, static_cast<int32_t>(N), name);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) { return value < low ? low : value > high ? high : value; }

void WriteFilters(CDataStream& stream, const std::vector<FilterEntry>& filters) {
  stream.WriteInt32(static_cast<int32_t>(filters.size()));
  for (const FilterEntry& f : filters) f.Write(stream);
}

void ReadFilters(RecordFieldReader& reader, std::vector<FilterEntry>& filters, const char* name) {
  filters.clear();
  int32_t count = reader.Count(-1, kMinFilterBytes, name);
  filters.resize(static_cast<size_t>(count));
  for (FilterEntry& f : filters) f.Read(reader);
}

}  // namespace

bool SetJobText(char* field, size_t width, std::string_view text) {
  if (width == 0 || text.size() >= width || text.find('\0') != std::string_view::npos) return false;
  std::memcpy(field, text.data(), text.size());
  field[text.size()] = '\0';
  return true;
}

// ---- RecordFieldReader ----

RecordFieldReader::RecordFieldReader(CDataStream& stream) : stream_(stream), empty_(stream.BytesLeft() == 0) {}

void RecordFieldReader::Fail(const std::string& reason) {
  if (reason_.empty()) reason_ = reason;
}

bool RecordFieldReader::Have(int32_t bytes) {
  if (dead_) return false;
  if (stream_.BytesLeft() >= bytes) return true;
  if (!empty_) Fail("record truncated");
  dead_ = true;
  return false;
}

int32_t RecordFieldReader::Int32() { return Have(4) ? stream_.ReadInt32() : 0; }

int64_t RecordFieldReader::Int64() { return Have(8) ? stream_.ReadInt64() : 0; }

void RecordFieldReader::Text(char* field, int32_t width, const char* name) {
  if (!Have(4)) {
    field[0] = '\0';
    return;
  }
  int32_t capacity = width;
  if (stream_.ReadString(field, &capacity)) return;
  field[0] = '\0';
  if (capacity < 0) {
    Fail(std::string(name) + ": stored length runs past the end of the record");
    dead_ = true;
    return;
  }
  std::vector<char> skipped(static_cast<size_t>(capacity));
  stream_.ReadString(skipped.data(), &capacity);
  Fail(std::string(name) + ": text of " + std::to_string(capacity - 1) + " bytes does not fit its field of " +
       std::to_string(width - 1));
}

std::string RecordFieldReader::AnyText(const char* name) {
  if (!Have(4)) return {};
  int32_t capacity = 0;
  stream_.ReadString(nullptr, &capacity);
  if (capacity <= 0) {
    Fail(std::string(name) + ": stored length runs past the end of the record");
    dead_ = true;
    return {};
  }
  std::vector<char> text(static_cast<size_t>(capacity));
  if (!stream_.ReadString(text.data(), &capacity)) {
    Fail(std::string(name) + ": unreadable text");
    dead_ = true;
    return {};
  }
  return std::string(text.data(), static_cast<size_t>(capacity - 1));
}

int32_t RecordFieldReader::Blob(void* field, int32_t width, const char* name) {
  if (!Have(4)) return 0;
  int32_t capacity = width;
  if (stream_.ReadBlob(field, &capacity)) return capacity;
  if (capacity < 0) {
    Fail(std::string(name) + ": stored length runs past the end of the record");
    dead_ = true;
    return 0;
  }
  std::vector<uint8_t> skipped(static_cast<size_t>(capacity));
  stream_.ReadBlob(skipped.data(), &capacity);
  Fail(std::string(name) + ": blob of " + std::to_string(capacity) + " bytes does not fit its field of " +
       std::to_string(width));
  return 0;
}

int32_t RecordFieldReader::Count(int32_t max, int32_t minEntryBytes, const char* name) {
  int32_t count = Int32();
  if (dead_) return 0;
  if (count < 0 || (max >= 0 && count > max) || static_cast<int64_t>(count) * minEntryBytes > stream_.BytesLeft()) {
    Fail(std::string(name) + ": count " + std::to_string(count) + " out of range");
    dead_ = true;
    return 0;
  }
  return count;
}

// ---- JobRecord ----

void JobRecord::Read(CDataStream& stream) {
  Clear();
  RecordFieldReader reader(stream);
  ReadFields(reader);
  malformed_ = reader.Reason();
}

// ---- JobInput ----

void JobInput::Clear() { std::memset(static_cast<void*>(this), 0, sizeof(*this)); }

void JobInput::Write(CDataStream& stream) const {
  WriteText(stream, path);
  stream.WriteInt32(start);
  stream.WriteInt32(stop);
  stream.WriteBlob(selected, Clamp(selectedCount, 0, kMaxSelectedStreams));
  int32_t descriptions_written = Clamp(descriptionCount, 0, kMaxStreamDescriptions);
  stream.WriteInt32(descriptions_written);
  for (int32_t i = 0; i < descriptions_written; ++i) WriteText(stream, descriptions[i]);
  stream.WriteInt32(paletteValid);
  stream.WriteBlob(palette, kPaletteSize);
}

void JobInput::Read(RecordFieldReader& reader) {
  ReadText(reader, path, "source path");
  start = reader.Int32();
  stop = reader.Int32();
  selectedCount = reader.Blob(selected, kMaxSelectedStreams, "selected streams");
  descriptionCount = reader.Count(kMaxStreamDescriptions, kMinTextBytes, "stream descriptions");
  for (int32_t i = 0; i < descriptionCount; ++i) ReadText(reader, descriptions[i], "stream description");
  paletteValid = reader.Int32();
  reader.Blob(palette, kPaletteSize, "palette");
}

// ---- JobInputList ----

void JobInputList::Clear() {
  count = 0;
  for (JobInput& input : inputs) input.Clear();
  tags = TagInfo{};
}

void JobInputList::WriteFields(CDataStream& stream) const {
  int32_t written = Clamp(count, 0, kMaxJobInputs);
  stream.WriteInt32(written);
  for (int32_t i = 0; i < written; ++i) inputs[i].Write(stream);
  stream.WriteBlob(&tags, kTagInfoSize);
}

void JobInputList::ReadFields(RecordFieldReader& reader) {
  count = reader.Count(kMaxJobInputs, kMinJobInputBytes, "sources");
  for (int32_t i = 0; i < count; ++i) inputs[i].Read(reader);
  reader.Blob(&tags, kTagInfoSize, "tags");
}

// ---- OutputTarget, FrameRateChange, FilterEntry ----

void OutputTarget::Clear() { *this = OutputTarget{}; }

void OutputTarget::Write(CDataStream& stream) const {
  WriteText(stream, path);
  stream.WriteInt32(targetWord1);
  stream.WriteInt32(targetWord2);
  stream.WriteInt64(targetValue);
  stream.WriteInt32(numbered);
}

void OutputTarget::Read(RecordFieldReader& reader) {
  ReadText(reader, path, "output path");
  targetWord1 = reader.Int32();
  targetWord2 = reader.Int32();
  targetValue = reader.Int64();
  numbered = reader.Int32();
}

void FrameRateChange::Clear() { *this = FrameRateChange{}; }

void FrameRateChange::Write(CDataStream& stream) const {
  stream.WriteInt32(enabled);
  stream.WriteInt32(numerator);
  stream.WriteInt32(denominator);
}

void FrameRateChange::Read(RecordFieldReader& reader) {
  enabled = reader.Int32();
  numerator = reader.Int32();
  denominator = reader.Int32();
}

void FilterEntry::Write(CDataStream& stream) const {
  stream.WriteInt32(flags);
  WriteText(stream, key);
  stream.WriteString(params.c_str());
}

void FilterEntry::Read(RecordFieldReader& reader) {
  flags = reader.Int32();
  ReadText(reader, key, "filter key");
  params = reader.AnyText("filter parameters");
}

// ---- EncodeSettings ----

void EncodeSettings::Clear() { *this = EncodeSettings{}; }

void EncodeSettings::Write(CDataStream& stream) const {
  stream.WriteInt32(sourceMode);
  WriteText(stream, audioCodec);
  stream.WriteInt32(audioSetting1);
  stream.WriteInt32(channels);
  stream.WriteInt32(audioBitrate);
  stream.WriteInt32(audioSetting2);
  stream.WriteInt32(sampleRate);
  stream.WriteInt32(passFlag);
  stream.WriteInt32(passReaderId);
  WriteText(stream, videoCodec);
  stream.WriteInt32(videoSetting);
  stream.WriteInt32(width);
  stream.WriteInt32(height);
  stream.WriteInt32(videoBitrate);
  stream.WriteInt32(frameRateNum);
  stream.WriteInt32(frameRateDen);
  WriteText(stream, writerTag);
  stream.WriteInt32(audioTag);
  stream.WriteInt32(videoTag);
  stream.WriteInt32(rawAudioCode);
  stream.WriteInt32(rawVideoCode);
  stream.WriteInt32(audioTrackCount);
  stream.WriteInt32(videoTrackCount);
  WriteText(stream, writerParams);
  WriteText(stream, audioParams);
  WriteText(stream, videoParams);
  WriteFilters(stream, audioFilters);
  WriteFilters(stream, videoFilters);
}

void EncodeSettings::Read(RecordFieldReader& reader) {
  sourceMode = reader.Int32();
  ReadText(reader, audioCodec, "audio codec tag");
  audioSetting1 = reader.Int32();
  channels = reader.Int32();
  audioBitrate = reader.Int32();
  audioSetting2 = reader.Int32();
  sampleRate = reader.Int32();
  passFlag = reader.Int32();
  passReaderId = reader.Int32();
  ReadText(reader, videoCodec, "video codec tag");
  videoSetting = reader.Int32();
  width = reader.Int32();
  height = reader.Int32();
  videoBitrate = reader.Int32();
  frameRateNum = reader.Int32();
  frameRateDen = reader.Int32();
  ReadText(reader, writerTag, "writer tag");
  audioTag = reader.Int32();
  videoTag = reader.Int32();
  rawAudioCode = reader.Int32();
  rawVideoCode = reader.Int32();
  audioTrackCount = reader.Int32();
  videoTrackCount = reader.Int32();
  ReadText(reader, writerParams, "writer parameters");
  ReadText(reader, audioParams, "audio encoder parameters");
  ReadText(reader, videoParams, "video encoder parameters");
  ReadFilters(reader, audioFilters, "audio filters");
  ReadFilters(reader, videoFilters, "video filters");
}

// ---- ConvertJob ----

void ConvertJob::Clear() {
  inputs.Clear();
  output.Clear();
  settings.Clear();
  frameRate.Clear();
}

void ConvertJob::WriteFields(CDataStream& stream) const {
  inputs.WriteFields(stream);
  output.Write(stream);
  settings.Write(stream);
  frameRate.Write(stream);
}

void ConvertJob::ReadFields(RecordFieldReader& reader) {
  inputs.ReadFields(reader);
  output.Read(reader);
  settings.Read(reader);
  frameRate.Read(reader);
}

// ---- DemuxJob ----

void DemuxOutput::Write(CDataStream& stream) const {
  stream.WriteInt32(this->stream);
  WriteText(stream, writerTag);
  WriteText(stream, path);
  stream.WriteInt32(globalHeader);
}

void DemuxOutput::Read(RecordFieldReader& reader) {
  stream = reader.Int32();
  ReadText(reader, writerTag, "output writer tag");
  ReadText(reader, path, "output path");
  globalHeader = reader.Int32();
}

void DemuxJob::Clear() {
  std::memset(sourcePath, 0, sizeof(sourcePath));
  outputs.clear();
  frameRate.Clear();
}

void DemuxJob::WriteFields(CDataStream& stream) const {
  WriteText(stream, sourcePath);
  stream.WriteInt32(static_cast<int32_t>(outputs.size()));
  for (const DemuxOutput& out : outputs) out.Write(stream);
  frameRate.Write(stream);
}

void DemuxJob::ReadFields(RecordFieldReader& reader) {
  ReadText(reader, sourcePath, "source path");
  int32_t count = reader.Count(-1, kMinDemuxOutputBytes, "outputs");
  outputs.resize(static_cast<size_t>(count));
  for (DemuxOutput& out : outputs) out.Read(reader);
  frameRate.Read(reader);
}

// ---- MuxJob ----

void MuxJob::Clear() {
  inputs.Clear();
  output.Clear();
  std::memset(writerTag, 0, sizeof(writerTag));
  globalHeader = 0;
  frameRate.Clear();
}

void MuxJob::WriteFields(CDataStream& stream) const {
  inputs.WriteFields(stream);
  output.Write(stream);
  WriteText(stream, writerTag);
  stream.WriteInt32(globalHeader);
  frameRate.Write(stream);
}

void MuxJob::ReadFields(RecordFieldReader& reader) {
  inputs.ReadFields(reader);
  output.Read(reader);
  ReadText(reader, writerTag, "writer tag");
  globalHeader = reader.Int32();
  frameRate.Read(reader);
}

// ---- FrameJob ----

void FrameJob::Clear() {
  inputs.Clear();
  std::memset(sourcePath, 0, sizeof(sourcePath));
  stream = 0;
  sourceMode = 0;
  std::memset(outputPath, 0, sizeof(outputPath));
  frameCount = 0;
  startSeconds = 0;
}

void FrameJob::WriteFields(CDataStream& out) const {
  inputs.WriteFields(out);
  WriteText(out, sourcePath);
  out.WriteInt32(stream);
  out.WriteInt32(sourceMode);
  WriteText(out, outputPath);
  out.WriteInt32(frameCount);
  out.WriteInt32(startSeconds);
}

void FrameJob::ReadFields(RecordFieldReader& reader) {
  inputs.ReadFields(reader);
  ReadText(reader, sourcePath, "source path");
  stream = reader.Int32();
  sourceMode = reader.Int32();
  ReadText(reader, outputPath, "output path");
  frameCount = reader.Int32();
  startSeconds = reader.Int32();
}

// ---- whole records ----

std::vector<uint8_t> SerialiseRecord(IDataRecord& record) {
  CDataSizer sizer;
  record.Write(sizer);
  std::vector<uint8_t> bytes(static_cast<size_t>(sizer.GetSize()));
  CDataWriter writer;
  writer.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
  record.Write(writer);
  return bytes;
}

bool ParseJobRecord(JobRecord& record, const std::vector<uint8_t>& bytes, std::string& reason) {
  reason.clear();
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) {
    record.Clear();
    reason = "job record of " + std::to_string(bytes.size()) + " bytes is too large";
    return false;
  }
  CDataWriter stream;  // only read from
  stream.Attach(const_cast<uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()));
  record.Read(stream);
  if (record.Malformed()) {
    reason = record.MalformedReason();
    return false;
  }
  if (stream.BytesLeft() > 0) {
    reason = std::to_string(stream.BytesLeft()) + " bytes left over after the job record";
    return false;
  }
  return true;
}
