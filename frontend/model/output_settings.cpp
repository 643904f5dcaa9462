#include "frontend/model/output_settings.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "frontend/model/param_text.h"

namespace {

template <size_t N>
void WriteField(CDataStream& stream, const char (&field)[N]) {
  stream.WriteString(std::string(field, strnlen(field, N - 1)).c_str());
}

template <size_t N>
void ReadField(RecordFieldReader& reader, char (&field)[N], const char* name) {
  reader.Text(field, static_cast<int32_t>(N), name);
}

template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N - 1));
}

template <size_t N>
bool SetField(char (&field)[N], std::string_view text, const char* what, std::string& message) {
  if (SetJobText(field, text)) return true;
  message = std::string(what) + " of " + std::to_string(text.size()) + " characters does not fit its field of " +
            std::to_string(N - 1) + ".";
  return false;
}

int32_t ToInt32(double value) {
  if (!std::isfinite(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// A raw (uncompressed) stream: the coder's parameters go to the writer, which
// learns the coder and its bitrate from them; the coder stage becomes "RAW".
// True when the stream is raw; the writer text and coder tag are updated.
bool ApplyRawStream(std::string_view params, const char* codeKey, const char* coderKey, const char* bitrateKey,
                    bool bitrateAsDouble, std::string_view coder, int32_t& code, std::string& writerParams,
                    std::string& coderTag) {
  CParamList list;
  ParseParamText(list, params);
  code = static_cast<int32_t>(ParseFourCC(GetText(list, codeKey)));
  if (code == 0) return false;
  list.SetString(coderKey, std::string(coder).c_str());
  // BITRATE may be stored as either number type.
  const double bitrate = GetNumber(list, "BITRATE", 0.0);
  if (bitrateAsDouble)
    list.SetDouble(bitrateKey, bitrate);
  else
    list.SetInt(bitrateKey, ToInt32(bitrate));
  list.Remove("BITRATE");
  coderTag = "RAW";
  writerParams += ",";
  writerParams += ParamListText(list);
  return true;
}

}  // namespace

// ---- OutputSettings ----

void OutputSettings::Clear() {
  std::memset(name, 0, sizeof(name));
  std::memset(muxer, 0, sizeof(muxer));
  std::memset(audioCodec, 0, sizeof(audioCodec));
  sampleRate = channels = audioBitrate = volume = 0;
  std::memset(videoCodec, 0, sizeof(videoCodec));
  width = height = videoBitrate = frameNum = frameDen = 0;
  std::memset(ext, 0, sizeof(ext));
  rawBitsPerPixel = jobWordA = jobWordB = 0;
  std::memset(muxerParams, 0, sizeof(muxerParams));
  std::memset(audioParams, 0, sizeof(audioParams));
  std::memset(videoParams, 0, sizeof(videoParams));
}

void OutputSettings::WriteFields(CDataStream& stream) const {
  WriteField(stream, name);
  WriteField(stream, muxer);
  WriteField(stream, audioCodec);
  stream.WriteInt32(channels);
  stream.WriteInt32(audioBitrate);
  stream.WriteInt32(volume);
  stream.WriteInt32(sampleRate);
  WriteField(stream, videoCodec);
  stream.WriteInt32(width);
  stream.WriteInt32(height);
  stream.WriteInt32(videoBitrate);
  stream.WriteInt32(frameNum);
  stream.WriteInt32(frameDen);
  stream.WriteInt32(rawBitsPerPixel);
  WriteField(stream, ext);
  stream.WriteInt32(jobWordA);
  stream.WriteInt32(jobWordB);
  WriteField(stream, muxerParams);
  WriteField(stream, audioParams);
  WriteField(stream, videoParams);
}

void OutputSettings::ReadFields(RecordFieldReader& reader) {
  ReadField(reader, name, "profile name");
  ReadField(reader, muxer, "writer tag");
  ReadField(reader, audioCodec, "audio coder tag");
  channels = reader.Int32();
  audioBitrate = reader.Int32();
  volume = reader.Int32();
  sampleRate = reader.Int32();
  ReadField(reader, videoCodec, "video coder tag");
  width = reader.Int32();
  height = reader.Int32();
  videoBitrate = reader.Int32();
  frameNum = reader.Int32();
  frameDen = reader.Int32();
  rawBitsPerPixel = reader.Int32();
  ReadField(reader, ext, "extension");
  jobWordA = reader.Int32();
  jobWordB = reader.Int32();
  ReadField(reader, muxerParams, "writer parameters");
  ReadField(reader, audioParams, "audio parameters");
  ReadField(reader, videoParams, "video parameters");
}

// ---- job building ----

bool BuildJobOutputSettings(JobOutputSettings& job, const OutputSettings& s, int32_t mode, std::string& message) {
  std::string audioTag(FieldText(s.audioCodec));
  std::string videoTag(FieldText(s.videoCodec));
  if (audioTag.empty()) audioTag = "NONE";
  if (videoTag.empty()) videoTag = "NONE";
  std::string writerParams(FieldText(s.muxerParams));
  int32_t rawAudio = 0, rawVideo = 0;
  ApplyRawStream(FieldText(s.audioParams), "ARAWFCC", "ACODEC", "ABITRATE", true, FieldText(s.audioCodec), rawAudio,
                 writerParams, audioTag);
  ApplyRawStream(FieldText(s.videoParams), "VRAWFCC", "VCODEC", "VBITRATE", false, FieldText(s.videoCodec), rawVideo,
                 writerParams, videoTag);

  // Every text is checked before the job changes, so a refusal leaves it whole.
  struct {
    char audioCodec[kJobTagField], videoCodec[kJobTagField], writerTag[kJobTagField];
    char writerParams[kJobParamField], audioParams[kJobParamField], videoParams[kJobParamField];
  } texts{};
  if (!SetField(texts.audioCodec, audioTag, "The audio coder tag", message) ||
      !SetField(texts.videoCodec, videoTag, "The video coder tag", message) ||
      !SetField(texts.writerTag, FieldText(s.muxer), "The writer tag", message) ||
      !SetField(texts.writerParams, writerParams, "The writer's parameter text", message) ||
      !SetField(texts.audioParams, FieldText(s.audioParams), "The audio parameter text", message) ||
      !SetField(texts.videoParams, FieldText(s.videoParams), "The video parameter text", message))
    return false;

  job.sourceMode = mode;
  std::memcpy(job.audioCodec, texts.audioCodec, sizeof(job.audioCodec));
  std::memcpy(job.videoCodec, texts.videoCodec, sizeof(job.videoCodec));
  std::memcpy(job.writerTag, texts.writerTag, sizeof(job.writerTag));
  job.audioSetting1 = 1;
  job.videoSetting = 1;
  job.sampleRate = s.sampleRate;
  job.channels = s.channels;
  job.audioBitrate = s.audioBitrate;
  job.audioSetting2 = s.volume;
  job.width = s.width;
  job.height = s.height;
  job.videoBitrate = s.videoBitrate;
  job.frameRateNum = s.frameNum;
  job.frameRateDen = s.frameDen;
  job.audioTag = s.jobWordA;
  job.videoTag = s.jobWordB;
  std::memcpy(job.writerParams, texts.writerParams, sizeof(job.writerParams));
  std::memcpy(job.audioParams, texts.audioParams, sizeof(job.audioParams));
  std::memcpy(job.videoParams, texts.videoParams, sizeof(job.videoParams));
  job.rawAudioCode = rawAudio;
  job.rawVideoCode = rawVideo;
  return true;
}

uint32_t ParseFourCC(std::string_view text) {
  if (text.size() >= 2 && text[0] == '0' && text[1] == 'x') {
    uint32_t value = 0;
    const char* begin = text.data() + 2;
    const char* end = text.data() + text.size();
    // Leading hexadecimal digits, as a scanf of "0x%X" takes them.
    auto [stop, ec] = std::from_chars(begin, end, value, 16);
    (void)stop;
    return ec == std::errc() ? value : 0;
  }
  if (text.size() < 3) return 0;
  // Bytes taken unsigned, so letters at or above 0x80 stay in their own byte.
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(text[i])); };
  const uint32_t fourth = text.size() == 3 ? static_cast<uint32_t>(' ') : byte(3);
  return byte(0) | byte(1) << 8 | byte(2) << 16 | fourth << 24;
}

bool AddFilter(JobOutputSettings& job, std::string_view name, std::string_view params, int32_t flags, int video) {
  FilterEntry entry;
  if (!SetJobText(entry.key, name)) return false;
  entry.flags = flags;
  entry.params = std::string(params);
  (video ? job.videoFilters : job.audioFilters).push_back(std::move(entry));
  return true;
}

void ClearFilters(JobOutputSettings& job) {
  job.videoFilters.clear();
  job.audioFilters.clear();
}

void ClearFilters(ConvertJob& job) { ClearFilters(job.settings); }
