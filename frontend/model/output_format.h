// The output-format choice without its windows: the figures of a profile row,
// the one-line summary of a choice, the output settings it gives, and the
// profile it saves as.
//
// A choice is the current profile, its muxer description and, per stream kind,
// the chosen codec description with its full parameter list (what the audio
// and video settings pages hold); a kind the profile does not carry has no
// codec.
#pragma once

#include <cstdint>
#include <string>

#include "common/param_list.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"

// The bit-rate and dimension columns of a profile row, from its audio and
// video parameter texts.
struct ProfileFigures {
  double totalKbps = 0.0;
  bool computable = true;  // false: bits per pixel without a picture size
  std::string dimensions = "N/A";
};
ProfileFigures ComputeProfileFigures(const std::string& audioText, const std::string& videoText);
// "related to w/h"; else "<n> Kbps", or "N/A" below 0.001 unless zeroShown.
std::string ProfileBitrateText(const ProfileFigures& figures, bool zeroShown = false);

struct CodecChoice {
  const CodecDesc* codec = nullptr;  // null: the profile has no stream of this kind
  CParamList* params = nullptr;      // one value for every option of the codec
};

struct OutputChoice {
  const OutputProfile* profile = nullptr;
  const MuxerDesc* muxer = nullptr;
  CodecChoice audio;
  CodecChoice video;
};

// "1200kb/s,orginal fps H.264", "640x480,25fps MPEG-4", "no video", "copy video stream".
std::string VideoSummaryPart(const CodecDesc& codec, CParamList& params);
// "44.1 kHZ 128 kb/s stereo AAC", "no audio", "copy audio stream".
std::string AudioSummaryPart(const CodecDesc& codec, CParamList& params);
// "<node folder>/<node name> [<video part>;  <audio part>]", each part only
// for a kind the choice carries.
std::string ProfileSummaryLine(const std::string& nodeFolder, const std::string& nodeName, const OutputChoice& choice);

// The output settings of a choice: writer, coders, the four main values of
// each kind, the frame period (none for the source's rate), the raw bits per
// pixel, the FCC codes and the parameter texts. A text that does not fit its
// field refuses the whole fill: false with the reason, settings untouched.
bool FillOutputSettings(const OutputChoice& choice, OutputSettings& settings, std::string& message);

// The current profile with each kind's codec and parameter text taken from
// the choice (both empty for a kind without a codec).
OutputProfile ProfileOfChoice(const OutputChoice& choice);
