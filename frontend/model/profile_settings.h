// The output settings a profile gives when it is taken as it stands: what the
// settings pages hold for a profile whose values fit its codecs. Tools and
// tests use it to turn shipped profiles into settings without the dialogs.
#pragma once

#include <string>
#include <vector>

#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"

// Every option of the codec, in order: the profile text's value when it has
// the option's type, else the option's DEFAULT read by the option's type; as a
// parameter text.
std::string CodecParamText(const std::vector<OptionDesc>& options, const std::string& profileText);

// The codec description a profile names: from the muxer's list of that kind
// (with the muxer's FCC option), else loaded by name. False when neither has it.
bool FindProfileCodec(const MuxerDesc& muxer, bool audio, const std::string& name, CodecDesc& codec);

// Settings from the profile, its muxer description and its codecs: tags, the
// four main values of each page, the FCC codes, the parameter texts. A frame
// rate other than 0 gives the period 1000 / (rate x 1000). False, with a
// message, when the muxer or a codec description is missing or a text does not
// fit its field of the settings.
bool SettingsFromProfile(const OutputProfile& profile, OutputSettings& settings, std::string* error);
