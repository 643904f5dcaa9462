#include "common/job_dump.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "platform/utf_text.h"

namespace {

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

template <size_t N>
std::string Quoted(const char (&field)[N]) {
  return Quoted(std::string_view(field, strnlen(field, N)));
}

std::string CodeText(int32_t code) {
  std::string text = std::to_string(code);
  uint32_t u = static_cast<uint32_t>(code);
  char letters[5] = {static_cast<char>(u), static_cast<char>(u >> 8), static_cast<char>(u >> 16),
                     static_cast<char>(u >> 24), 0};
  bool printable = true;
  for (int i = 0; i < 4; ++i) printable = printable && letters[i] >= 0x20 && letters[i] < 0x7F;
  if (printable) text += std::string(" '") + letters + "'";
  return text;
}

class Dump {
 public:
  Dump(const char* kind, size_t bytes) {
    Line("kind", kind);
    Line("bytes", static_cast<int64_t>(bytes));
  }

  void Line(const std::string& name, const std::string& value) { text_ += name + ": " + value + "\n"; }
  void Line(const std::string& name, int64_t value) { Line(name, std::to_string(value)); }

  void Inputs(const JobInputList& list) {
    Line("sources", list.count);
    for (int32_t i = 0; i < list.count && i < kMaxJobInputs; ++i) {
      const JobInput& in = list.inputs[i];
      std::string p = "source[" + std::to_string(i) + "].";
      Line(p + "path", Quoted(in.path));
      Line(p + "start", in.start);
      Line(p + "stop", in.stop);
      std::string streams;
      for (int32_t s = 0; s < in.selectedCount && s < kMaxSelectedStreams; ++s) {
        if (s) streams += ',';
        streams += std::to_string(in.selected[s]);
      }
      Line(p + "streams", streams);
      Line(p + "descriptions", in.descriptionCount);
      for (int32_t d = 0; d < in.descriptionCount && d < kMaxStreamDescriptions; ++d)
        Line(p + "desc[" + std::to_string(d) + "]", Quoted(in.descriptions[d]));
      Line(p + "paletteValid", in.paletteValid);
      std::string palette;
      char hex[16];
      for (int k = 0; k < 16; ++k) {
        std::snprintf(hex, sizeof(hex), "%s0x%08X", k ? "," : "", in.palette[k]);
        palette += hex;
      }
      Line(p + "palette", palette);
    }
    const TagInfo& t = list.tags;
    Line("tags.artist", Quoted(Utf16FieldToUtf8(t.artist, 128)));
    Line("tags.title", Quoted(Utf16FieldToUtf8(t.title, 128)));
    Line("tags.album", Quoted(Utf16FieldToUtf8(t.album, 128)));
    Line("tags.comment", Quoted(Utf16FieldToUtf8(t.comment, 128)));
    Line("tags.year", t.year);
    Line("tags.track", t.track);
    Line("tags.genre", Quoted(t.genre));
    Line("tags.enabled", t.enabled);
  }

  void Target(const OutputTarget& o) {
    Line("output.path", Quoted(o.path));
    Line("output.target1", o.targetWord1);
    Line("output.target2", o.targetWord2);
    Line("output.targetValue", o.targetValue);
    Line("output.numbered", o.numbered);
  }

  void FrameRate(const FrameRateChange& f) {
    Line("frameRate.enabled", f.enabled);
    Line("frameRate.numerator", f.numerator);
    Line("frameRate.denominator", f.denominator);
  }

  void Filters(const char* name, const std::vector<FilterEntry>& filters) {
    Line(name, static_cast<int64_t>(filters.size()));
    for (size_t i = 0; i < filters.size(); ++i) {
      std::string p = std::string(name) + "[" + std::to_string(i) + "].";
      Line(p + "flags", filters[i].flags);
      Line(p + "key", Quoted(filters[i].key));
      Line(p + "params", Quoted(filters[i].params));
    }
  }

  void Settings(const EncodeSettings& s) {
    Line("settings.sourceMode", s.sourceMode);
    Line("settings.acodec", Quoted(s.audioCodec));
    Line("settings.audioSetting1", s.audioSetting1);
    Line("settings.channels", s.channels);
    Line("settings.abitrate", s.audioBitrate);
    Line("settings.audioSetting2", s.audioSetting2);
    Line("settings.sampleRate", s.sampleRate);
    Line("settings.pass", s.passFlag);
    Line("settings.passReader", s.passReaderId);
    Line("settings.vcodec", Quoted(s.videoCodec));
    Line("settings.videoSetting", s.videoSetting);
    Line("settings.width", s.width);
    Line("settings.height", s.height);
    Line("settings.vbitrate", s.videoBitrate);
    Line("settings.frameRateNum", s.frameRateNum);
    Line("settings.frameRateDen", s.frameRateDen);
    Line("settings.writer", Quoted(s.writerTag));
    Line("settings.atag", CodeText(s.audioTag));
    Line("settings.vtag", CodeText(s.videoTag));
    Line("settings.rawAudio", CodeText(s.rawAudioCode));
    Line("settings.rawVideo", CodeText(s.rawVideoCode));
    Line("settings.atracks", s.audioTrackCount);
    Line("settings.vtracks", s.videoTrackCount);
    Line("settings.writerParams", Quoted(s.writerParams));
    Line("settings.aparams", Quoted(s.audioParams));
    Line("settings.vparams", Quoted(s.videoParams));
    Filters("audioFilters", s.audioFilters);
    Filters("videoFilters", s.videoFilters);
  }

  std::string Text() && { return std::move(text_); }

 private:
  std::string text_;
};

}  // namespace

std::string DumpJobRecord(const ConvertJob& job, size_t bytes) {
  Dump d("convert", bytes);
  d.Inputs(job.inputs);
  d.Target(job.output);
  d.Settings(job.settings);
  d.FrameRate(job.frameRate);
  return std::move(d).Text();
}

std::string DumpJobRecord(const DemuxJob& job, size_t bytes) {
  Dump d("demux", bytes);
  d.Line("sourcePath", Quoted(job.sourcePath));
  d.Line("outputs", static_cast<int64_t>(job.outputs.size()));
  for (size_t i = 0; i < job.outputs.size(); ++i) {
    const DemuxOutput& o = job.outputs[i];
    std::string p = "output[" + std::to_string(i) + "].";
    d.Line(p + "stream", o.stream);
    d.Line(p + "writer", Quoted(o.writerTag));
    d.Line(p + "path", Quoted(o.path));
    d.Line(p + "globalHeader", o.globalHeader);
  }
  d.FrameRate(job.frameRate);
  return std::move(d).Text();
}

std::string DumpJobRecord(const MuxJob& job, size_t bytes) {
  Dump d("mux", bytes);
  d.Inputs(job.inputs);
  d.Target(job.output);
  d.Line("writer", Quoted(job.writerTag));
  d.Line("globalHeader", job.globalHeader);
  d.FrameRate(job.frameRate);
  return std::move(d).Text();
}

std::string DumpJobRecord(const FrameJob& job, size_t bytes) {
  Dump d("frame", bytes);
  d.Inputs(job.inputs);
  d.Line("sourcePath", Quoted(job.sourcePath));
  d.Line("stream", job.stream);
  d.Line("sourceMode", job.sourceMode);
  d.Line("outputPath", Quoted(job.outputPath));
  d.Line("frameCount", job.frameCount);
  d.Line("frameStart", job.startSeconds);
  return std::move(d).Text();
}
