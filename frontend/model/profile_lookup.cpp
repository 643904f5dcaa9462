#include "frontend/model/profile_lookup.h"

#include <strings.h>

#include <vector>

bool FindNamedProfile(const std::string& name, std::string& node, OutputProfile& profile) {
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  for (const ProfileNode& n : nodes) {
    std::vector<OutputProfile> profiles;
    EnumNodeProfiles(n.folder, profiles);
    for (const OutputProfile& p : profiles) {
      if (name != n.folder + "/" + std::to_string(p.number) && strcasecmp(name.c_str(), p.displayName.c_str()) != 0)
        continue;
      node = n.folder;
      profile = p;
      return true;
    }
  }
  return false;
}
