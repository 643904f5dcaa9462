// A profile of the profile tree named as a user types it: "NODE/NUMBER"
// ("V_10_MP4/1") or its display name, ignoring case.
#pragma once

#include <string>

#include "frontend/model/profile_db.h"

// Searches the profile folders set with SetProfileFolders; false when no
// profile has the name. node gets the profile's node folder.
bool FindNamedProfile(const std::string& name, std::string& node, OutputProfile& profile);
