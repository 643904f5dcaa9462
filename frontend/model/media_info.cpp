#include "frontend/model/media_info.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

#include "common/codec_tables.h"

#include "frontend/model/output_settings.h"
#include "frontend/model/param_text.h"
#include "platform/utf_text.h"

int32_t MediaInfo::ChosenCount() const {
  int32_t count = 0;
  for (int32_t i = 0; i < record.TrackCount(); ++i)
    if (chosen[i]) ++count;
  return count;
}

void ParseStreamInfo(std::string_view descriptor, StreamInfo& out) {
  CParamList list;
  ParseParamText(list, descriptor);
  out = StreamInfo{};
  out.type = list.GetInt("TYPE", kStreamUnknown);
  out.streamId = list.GetInt("STREAMID", 0);
  if (out.type == kStreamAudio) {
    out.sampleRate = list.GetInt("SAMPLERATE", 0);
    out.channels = list.GetInt("CHANNEL", 0);
    out.bitsPerSample = list.GetInt("BITSIZE", 0);
  } else if (out.type == kStreamVideo) {
    out.width = list.GetInt("WIDTH", 0);
    out.height = list.GetInt("HEIGHT", 0);
    out.frameRate = GetNumber(list, "FRAMERATE", 0.0);
    const int32_t num = list.GetInt("PNAN", 0);
    const int32_t den = list.GetInt("PNAD", 0);
    if (num != 0 && den != 0) out.pixelAspect = static_cast<double>(num) / den;
  }
}

namespace {

uint32_t CodeOf(CParamList& list, const char* key) {
  switch (list.GetType(key)) {
    case PARAM_TYPE_INT:
      return static_cast<uint32_t>(list.GetInt(key, 0));
    case PARAM_TYPE_STRING:
      return ParseFourCC(list.GetStringPtr(key));
    default:
      return 0;
  }
}

StreamCodes CodesOf(CParamList& list) {
  StreamCodes codes;
  codes.type = list.GetInt("TYPE", kStreamUnknown);
  codes.vfcc = CodeOf(list, "VFCC");
  codes.fcc = CodeOf(list, "FCC");
  return codes;
}

constexpr size_t kLanguageShown = 64;

// LANG cut to the characters shown, never inside a UTF-8 sequence.
std::string Language(CParamList& list) { return std::string(CutUtf8(GetText(list, "LANG"), kLanguageShown)); }

std::string Fixed(double x, int decimals) {
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof(text), x, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : std::string("?");
}

std::string Hex(const char* format, uint32_t value) {
  char text[32];
  std::snprintf(text, sizeof(text), format, value);
  return text;
}

std::string CodecName(const StreamCodes& codes, const VfccTable& table) {
  if (codes.vfcc == 0) return Hex("0x%08X", codes.fcc);
  char name[kVfccDisplayCapacity] = {};
  if (table.GetDisplayName(static_cast<int32_t>(codes.vfcc), name, sizeof(name))) return name;
  // A code the table lacks: its four letters when they are printable.
  std::string letters;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(codes.vfcc >> (8 * i));
    if (c < 0x20 || c > 0x7E) return Hex("0x%08X", codes.vfcc);
    letters += c;
  }
  return letters;
}

// The stream id by idFormat when it is not 0, then langPrefix and LANG when
// there is one: " (0x80) ,en" for the stream lines, "[0x80] en" for the track lists.
std::string IdAndLanguage(CParamList& list, const char* idFormat = " (0x%X)", const char* langPrefix = " ,") {
  std::string text;
  const int32_t id = list.GetInt("STREAMID", 0);
  if (id != 0) text += Hex(idFormat, static_cast<uint32_t>(id));
  const std::string lang = Language(list);
  if (!lang.empty()) text += langPrefix + lang;
  return text;
}

std::string AudioText(CParamList& list, const std::string& codec) {
  std::string text = FormatNumber(list.GetInt("SAMPLERATE", 0) * 0.001) + " kHZ ";
  const double bitrate = GetNumber(list, "BITRATE", 0.0);
  if (bitrate != 0) text += FormatNumber(bitrate * 0.001) + " kb/s ";
  const int32_t channels = list.GetInt("CHANNEL", 0);
  text += channels == 1 ? "mono " : channels == 2 ? "stereo " : std::to_string(channels) + " channel ";
  return text + codec + IdAndLanguage(list);
}

// "720x480[16:9]," (the picture size and its shape), then "%dkb/s," of the bitrate.
std::string VideoSizeAndRate(CParamList& list) {
  std::string text;
  const int64_t width = list.GetInt("WIDTH", 0), height = list.GetInt("HEIGHT", 0);
  if (width != 0 && height != 0) {
    const int64_t num = list.GetInt("PNAN", 0), den = list.GetInt("PNAD", 0);
    text = std::to_string(width) + "x" + std::to_string(height);
    if (num != 0 && den != 0 && num != den) {
      if (num * width * 9 == den * height * 16)
        text += "[16:9]";
      else if (num * width * 3 == den * height * 4)
        text += "[4:3]";
      else
        text += "[" + Fixed(static_cast<double>(num) * width / den / height, 2) + ":1]";
    }
    text += ",";
  }
  const double bitrate = GetNumber(list, "BITRATE", 0.0);
  if (bitrate != 0) text += std::to_string(static_cast<int64_t>(bitrate) / 1000) + "kb/s,";
  return text;
}

std::string VideoText(CParamList& list, const std::string& codec) {
  std::string text = VideoSizeAndRate(list);
  const double rate = GetNumber(list, "FRAMERATE", 0.0);
  if (rate > 1) text += FormatNumber(rate) + "fps ";
  return text + codec;
}

std::string BracketIdAndLanguage(CParamList& list) { return IdAndLanguage(list, "[0x%X]", " "); }

std::string SubtitleName(uint32_t vfcc) {
  struct Name {
    char code[5];
    const char* text;
  };
  static const Name kNames[] = {
      {"SSA ", "Styled SSA"},      {"ASS ", "Styled SSA"}, {"ASS2", "Styled SSA"},     {"SSF ", "Styled SSF"},
      {"UTF8", "Plain UTF8 Text"}, {"VOBS", "VobSub"},     {"DVDS", "DVD Subpicture"}, {"TEXT", "Text"}};
  for (const Name& n : kNames)
    if (ParseFourCC(n.code) == vfcc) return n.text;
  return "";
}

}  // namespace

StreamCodes ParseStreamCodes(std::string_view descriptor) {
  CParamList list;
  ParseParamText(list, descriptor);
  return CodesOf(list);
}

std::string ParseStreamParams(std::string_view descriptor, StreamCodes& codes) {
  return ParseStreamParams(descriptor, codes, TheVfccTable());
}

std::string ParseStreamParams(std::string_view descriptor, StreamCodes& codes, const VfccTable& table) {
  CParamList list;
  ParseParamText(list, descriptor);
  codes = CodesOf(list);
  switch (codes.type) {
    case kStreamAudio:
      return AudioText(list, CodecName(codes, table));
    case kStreamVideo:
      return VideoText(list, CodecName(codes, table));
    case kStreamSubtitle:
      return SubtitleName(codes.vfcc) + IdAndLanguage(list);
    default:
      return "";
  }
}

std::string FormatNumber(double x) {
  if (!std::isfinite(x)) return "0";
  // Rounded to nearest, halves away from zero (RoundToInt for x >= 0).
  const auto nearest = [](double v) { return v >= 0 ? RoundToInt(v) : -RoundToInt(-v); };
  const auto near = [&](double v, double within) { return std::fabs(v - static_cast<double>(nearest(v))) < within; };
  if (near(x, 0.001)) return std::to_string(nearest(x));
  if (near(10 * x, 0.01)) return Fixed(x, 1);
  if (near(100 * x, 0.1)) return Fixed(x, 2);
  return Fixed(x, 3);
}

int64_t RoundToInt(double x) {
  if (!std::isfinite(x)) return 0;
  const double v = x + 0.5;
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

std::string TrackSummaryText(std::string_view descriptor) { return TrackSummaryText(descriptor, TheVfccTable()); }

std::string TrackSummaryText(std::string_view descriptor, const VfccTable& table) {
  CParamList list;
  ParseParamText(list, descriptor);
  const StreamCodes codes = CodesOf(list);
  switch (codes.type) {
    case kStreamAudio:
      return BracketIdAndLanguage(list) + " " + CodecName(codes, table) + " " +
             std::to_string(list.GetInt("CHANNEL", 0)) + " ch";
    case kStreamSubtitle:
      return BracketIdAndLanguage(list);
    case kStreamVideo:
      return VideoSizeAndRate(list) + CodecName(codes, table);
    default:
      return "";
  }
}
