#include "frontend/model/profile_settings.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "common/param_list.h"

namespace {

std::string ListText(CParamList& list) {
  char* text = list.ToText();
  std::string out = text ? text : "";
  list.FreeText(text);
  return out;
}

void SetDefault(CParamList& list, const OptionDesc& option) {
  const char* key = option.name.c_str();
  switch (option.type) {
    case kOptionInt:
      list.SetInt(key, static_cast<int32_t>(std::strtol(option.defaultValue.c_str(), nullptr, 10)));
      break;
    case kOptionFloat: {
      double value = 0;
      std::from_chars(option.defaultValue.data(), option.defaultValue.data() + option.defaultValue.size(), value);
      list.SetDouble(key, value);
      break;
    }
    default:
      list.SetString(key, option.defaultValue.c_str());
      break;
  }
}

}  // namespace

std::string CodecParamText(const std::vector<OptionDesc>& options, const std::string& profileText) {
  CParamList given;
  given.ParseText(profileText.c_str());
  CParamList out;
  for (const OptionDesc& option : options) {
    const char* key = option.name.c_str();
    if (option.name.empty()) continue;
    const int32_t type = given.GetType(key);
    if (option.type == kOptionInt && type == PARAM_TYPE_INT)
      out.SetInt(key, given.GetInt(key, 0));
    else if (option.type == kOptionFloat && type == PARAM_TYPE_DOUBLE)
      out.SetDouble(key, given.GetDouble(key, 0));
    else if (option.type == kOptionText && type == PARAM_TYPE_STRING)
      out.SetString(key, given.GetStringPtr(key));
    else
      SetDefault(out, option);
  }
  return ListText(out);
}

bool FindProfileCodec(const MuxerDesc& muxer, bool audio, const std::string& name, CodecDesc& codec) {
  for (const CodecDesc& c : audio ? muxer.audioCodecs : muxer.videoCodecs) {
    if (strcasecmp(c.name.c_str(), name.c_str()) == 0) {
      codec = c;
      return true;
    }
  }
  return (audio ? LoadAudioCodecDesc(name, codec) : LoadVideoCodecDesc(name, codec)) != 0;
}

bool SettingsFromProfile(const OutputProfile& profile, OutputSettings& settings, std::string* error) {
  settings.Clear();
  const auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  // Every text is checked against its field; a profile text that does not fit is refused, never cut.
  bool fits = true;
  std::string what;
  const auto set = [&](auto& field, const std::string& text, const char* name) {
    if (fits && !SetJobText(field, text)) {
      fits = false;
      what = std::string(name) + " of " + std::to_string(text.size()) + " characters does not fit its field of " +
             std::to_string(sizeof(field) - 1);
    }
  };
  if (!ProfileFileExists("muxer/" + profile.muxer + ".ini"))
    return fail("muxer description \"" + profile.muxer + "\" is missing");
  MuxerDesc muxer;
  LoadMuxerDesc(profile.muxer, muxer);
  set(settings.name, muxer.name, "the muxer's name");
  set(settings.muxer, muxer.muxer, "the writer tag");
  set(settings.ext, profile.ext, "the extension");
  set(settings.muxerParams, profile.muxerOptions, "the muxer options");

  if (!profile.audioCodec.empty()) {
    CodecDesc codec;
    if (!FindProfileCodec(muxer, true, profile.audioCodec, codec))
      return fail("audio codec description \"" + profile.audioCodec + "\" is missing");
    const std::string params = CodecParamText(codec.options, profile.audioOptions);
    set(settings.audioCodec, codec.encoder, "the audio coder tag");
    set(settings.audioParams, params, "the audio parameter text");
    CParamList list;
    list.ParseText(params.c_str());
    settings.sampleRate = list.GetInt("SAMPLERATE", 0);
    settings.channels = list.GetInt("CHANNEL", 0);
    settings.audioBitrate = static_cast<int32_t>(std::llround(list.GetDouble("BITRATE", 0) * 1000));
    settings.volume = list.GetInt("VOL", 0);
    settings.jobWordA = static_cast<int32_t>(ParseFourCC(list.GetStringPtr("FCC")));
  }
  if (!profile.videoCodec.empty()) {
    CodecDesc codec;
    if (!FindProfileCodec(muxer, false, profile.videoCodec, codec))
      return fail("video codec description \"" + profile.videoCodec + "\" is missing");
    const std::string params = CodecParamText(codec.options, profile.videoOptions);
    set(settings.videoCodec, codec.encoder, "the video coder tag");
    set(settings.videoParams, params, "the video parameter text");
    CParamList list;
    list.ParseText(params.c_str());
    settings.width = list.GetInt("WIDTH", 0);
    settings.height = list.GetInt("HEIGHT", 0);
    settings.videoBitrate = list.GetInt("BITRATE", 0) * 1000;
    settings.rawBitsPerPixel = list.GetInt("BPP", 0);
    const double rate = list.GetDouble("FRAMERATE", 0);
    if (list.GetInt("RESAMPLE", 2) != 0 && rate > 0) {
      settings.frameNum = 1000;
      settings.frameDen = static_cast<int32_t>(std::llround(rate * 1000));
    }
    settings.jobWordB = static_cast<int32_t>(ParseFourCC(list.GetStringPtr("FCC")));
  }
  if (!fits) return fail(what);
  return true;
}
