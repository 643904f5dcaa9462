#include "frontend/model/output_format.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <memory>

#include "common/frame_rate.h"
#include "frontend/model/media_info.h"
#include "frontend/model/param_text.h"
#include "platform/text_case.h"

namespace {

// A rounded number as an int32, saturating at the ends of the range.
int32_t RoundedInt32(double value) {
  if (!std::isfinite(value)) return 0;
  const double r = std::round(value);
  if (r >= 2147483647.0) return INT32_MAX;
  if (r <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(r);
}

std::string ChannelText(int32_t channels) {
  if (channels == 1) return "mono ";
  if (channels == 2) return "stereo ";
  return std::to_string(channels) + " channel ";
}

}  // namespace

ProfileFigures ComputeProfileFigures(const std::string& audioText, const std::string& videoText) {
  ProfileFigures figures;
  if (!videoText.empty()) {
    CParamList video;
    ParseParamText(video, videoText);
    const int64_t bpp = video.GetInt("BPP", 0), width = video.GetInt("WIDTH", 0), height = video.GetInt("HEIGHT", 0);
    if (width != 0 && height != 0) figures.dimensions = std::to_string(width) + "x" + std::to_string(height);
    if (bpp != 0) {
      if (width != 0 && height != 0)
        figures.totalKbps += video.GetDouble("FRAMERATE", 0) * static_cast<double>(width * height * bpp) * 0.001;
      else
        figures.computable = false;
    } else {
      figures.totalKbps += video.GetInt("BITRATE", 0);
    }
  }
  if (!audioText.empty()) {
    CParamList audio;
    ParseParamText(audio, audioText);
    figures.totalKbps += audio.GetDouble("BITRATE", 0);
  }
  return figures;
}

std::string ProfileBitrateText(const ProfileFigures& figures, bool zeroShown) {
  if (!figures.computable) return "related to w/h";
  if (!zeroShown && figures.totalKbps < 0.001) return "N/A";
  return FormatNumber(figures.totalKbps) + " Kbps";
}

std::string VideoSummaryPart(const CodecDesc& codec, CParamList& params) {
  if (EqualsIgnoringCase(codec.shortName, "none")) return "no video";
  if (EqualsIgnoringCase(codec.shortName, "copy")) return "copy video stream";
  std::string text;
  const int32_t width = params.GetInt("WIDTH", 0), height = params.GetInt("HEIGHT", 0);
  if (width != 0 && height != 0) text += std::to_string(width) + "x" + std::to_string(height) + ",";
  const double bitrate = GetNumber(params, "BITRATE", 0);
  if (params.GetInt("BPP", 0) == 0 && bitrate != 0) text += std::to_string(RoundedInt32(bitrate)) + "kb/s,";
  const double rate = GetNumber(params, "FRAMERATE", 0);
  text += rate != 0 ? FormatNumber(rate) + "fps " : std::string("orginal fps ");
  return text + codec.shortName;
}

std::string AudioSummaryPart(const CodecDesc& codec, CParamList& params) {
  if (EqualsIgnoringCase(codec.shortName, "none")) return "no audio";
  if (EqualsIgnoringCase(codec.shortName, "copy")) return "copy audio stream";
  std::string text = FormatNumber(params.GetInt("SAMPLERATE", 0) * 0.001) + " kHZ ";
  const double bitrate = GetNumber(params, "BITRATE", 0);
  if (bitrate != 0) text += FormatNumber(bitrate) + " kb/s ";
  return text + ChannelText(params.GetInt("CHANNEL", 0)) + codec.shortName;
}

std::string ProfileSummaryLine(const std::string& nodeFolder, const std::string& nodeName, const OutputChoice& choice) {
  std::string line = nodeFolder + "/" + nodeName + " [";
  const bool video = choice.video.codec != nullptr && choice.video.params != nullptr;
  const bool audio = choice.audio.codec != nullptr && choice.audio.params != nullptr;
  if (video) line += VideoSummaryPart(*choice.video.codec, *choice.video.params);
  if (video && audio) line += ";  ";
  if (audio) line += AudioSummaryPart(*choice.audio.codec, *choice.audio.params);
  return line + "]";
}

bool FillOutputSettings(const OutputChoice& choice, OutputSettings& settings, std::string& message) {
  if (choice.profile == nullptr || choice.muxer == nullptr) {
    message = "no profile is chosen";
    return false;
  }
  // Filled into a copy: a text that does not fit leaves the caller's record as it was.
  auto out = std::make_unique<OutputSettings>(settings);
  std::string what;
  const auto set = [&](auto& field, const std::string& text, const char* name) {
    if (what.empty() && !SetJobText(field, text))
      what = std::string(name) + " (" + std::to_string(text.size()) + " characters) does not fit its field of " +
             std::to_string(sizeof(field) - 1);
  };
  set(out->name, choice.muxer->name, "the muxer's name");
  set(out->muxer, choice.muxer->muxer, "the writer tag");
  set(out->ext, choice.profile->ext, "the extension");
  out->rawBitsPerPixel = 0;
  out->jobWordA = 0;
  out->jobWordB = 0;

  if (choice.audio.codec != nullptr && choice.audio.params != nullptr) {
    CParamList& list = *choice.audio.params;
    set(out->audioCodec, choice.audio.codec->encoder, "the audio coder tag");
    out->sampleRate = list.GetInt("SAMPLERATE", 0);
    out->channels = list.GetInt("CHANNEL", 0);
    out->audioBitrate = RoundedInt32(GetNumber(list, "BITRATE", 0) * 1000);
    out->volume = list.GetInt("VOL", 0);
    set(out->audioParams, ParamListText(list), "the audio parameter text");
    out->jobWordA = static_cast<int32_t>(ParseFourCC(GetText(list, "FCC")));
  } else {
    out->audioCodec[0] = '\0';
    out->sampleRate = out->channels = out->audioBitrate = out->volume = 0;
    out->audioParams[0] = '\0';
  }

  if (choice.video.codec != nullptr && choice.video.params != nullptr) {
    CParamList& list = *choice.video.params;
    set(out->videoCodec, choice.video.codec->encoder, "the video coder tag");
    out->width = list.GetInt("WIDTH", 0);
    out->height = list.GetInt("HEIGHT", 0);
    out->videoBitrate = RoundedInt32(GetNumber(list, "BITRATE", 0) * 1000);
    out->rawBitsPerPixel = list.GetInt("BPP", 0);
    out->frameNum = out->frameDen = 0;
    // A rate of 0 keeps the source's rate: there is nothing to snap.
    const double rate = GetNumber(list, "FRAMERATE", 0);
    if (list.GetInt("RESAMPLE", 2) != 0 && std::isfinite(rate) && rate > 0)
      SnapFrameRate(rate, &out->frameNum, &out->frameDen);
    set(out->videoParams, ParamListText(list), "the video parameter text");
    out->jobWordB = static_cast<int32_t>(ParseFourCC(GetText(list, "FCC")));
  } else {
    out->videoCodec[0] = '\0';
    out->width = out->height = out->videoBitrate = out->frameNum = out->frameDen = 0;
    out->videoParams[0] = '\0';
  }

  set(out->muxerParams, choice.profile->muxerOptions, "the muxer options");
  if (!what.empty()) {
    message = what;
    return false;
  }
  settings = *out;
  return true;
}

OutputProfile ProfileOfChoice(const OutputChoice& choice) {
  OutputProfile profile = choice.profile != nullptr ? *choice.profile : OutputProfile();
  const auto take = [](const CodecChoice& c, std::string& name, std::string& text) {
    if (c.codec != nullptr && c.params != nullptr) {
      name = c.codec->name;
      text = ParamListText(*c.params);
    } else {
      name.clear();
      text.clear();
    }
  };
  take(choice.video, profile.videoCodec, profile.videoOptions);
  take(choice.audio, profile.audioCodec, profile.audioOptions);
  return profile;
}
