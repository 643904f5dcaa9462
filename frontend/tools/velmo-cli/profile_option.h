// The output choice given on the command line with --profile. A value
// FIELD=VALUE sets one field of the choice; a bare NAME names a profile of the
// profile database, looked up by LookUpProfile, whose fields FIELD=VALUE
// options given after it then change.
#pragma once

#include <string>

#include "frontend/model/output_settings.h"

// The choice before any --profile: no coders, volume left alone.
void DefaultOutputSettings(OutputSettings& settings);

// Applies one --profile value; false with the reason.
bool ApplyProfileOption(OutputSettings& settings, const std::string& value, std::string& message);

// Fills settings from the profile named by its node and number ("V_10_MP4/1")
// or its display name (ignoring case), in the profile database beside
// velmo-cli and the user's overlay; false with the reason.
bool LookUpProfile(const std::string& name, OutputSettings& settings, std::string& message);

// The fields FIELD=VALUE may set, for --help.
std::string ProfileFieldHelp();
