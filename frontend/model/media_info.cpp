#include "frontend/model/media_info.h"

#include <cmath>
#include <limits>

#include "frontend/model/output_settings.h"
#include "frontend/model/param_text.h"

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

}  // namespace

StreamCodes ParseStreamCodes(std::string_view descriptor) {
  CParamList list;
  ParseParamText(list, descriptor);
  StreamCodes codes;
  codes.type = list.GetInt("TYPE", kStreamUnknown);
  codes.vfcc = CodeOf(list, "VFCC");
  codes.fcc = CodeOf(list, "FCC");
  return codes;
}

int64_t RoundToInt(double x) {
  if (!std::isfinite(x)) return 0;
  const double v = x + 0.5;
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}
