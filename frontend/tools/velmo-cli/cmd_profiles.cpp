#include "frontend/tools/velmo-cli/cmd_profiles.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"
#include "frontend/tools/velmo-cli/cli.h"

namespace {

struct FolderOptions {
  ProfileFolders folders = DefaultProfileFolders();
  bool help = false;
  std::string error;
};

const char kFolderHelp[] =
    "  --program-folder DIR  the shipped profiles (default: the folder of velmo-cli)\n"
    "  --user-folder DIR     the per-user overlay (default: $XDG_DATA_HOME/velmo);\n"
    "                        an empty DIR reads the shipped profiles only\n"
    "  --help                this text\n";

FolderOptions ParseFolderOptions(int argc, char** argv) {
  FolderOptions o;
  const std::vector<CliOption> options = {{"program-folder", true, "DIR", ""}, {"user-folder", true, "DIR", ""}};
  try {
    const std::vector<std::string> rest = ParseOptions(
        argc, argv, options,
        [&](size_t id, const std::string& value) { (id == 0 ? o.folders.program : o.folders.user) = value; }, &o.help);
    if (!rest.empty()) o.error = "unexpected word '" + rest.front() + "'";
  } catch (const UsageError& error) {
    o.error = error.message;
  }
  return o;
}

// Sets the folders and loads the packed store, as the front end does at start-up.
void OpenDatabase(const ProfileFolders& folders) {
  SetProfileFolders(folders);
  const std::string store = JoinPath(folders.program, "formats.dat");
  TheProfileIniCache().Load(folders.program.c_str(), store.c_str());
}

int Refuse(const char* command, const std::string& error) {
  std::fprintf(stderr, "velmo-cli %s: %s\n", command, error.c_str());
  return 2;
}

void PrintProfiles(const ProfileNode& node, int depth) {
  std::vector<OutputProfile> profiles;
  EnumNodeProfiles(node.folder, profiles);
  // A profile goes under the profile its PARENTID names when that one came first.
  std::map<int32_t, int> depthOf;
  for (const OutputProfile& p : profiles) {
    int d = depth;
    if (p.parentId != 0) {
      const auto parent = depthOf.find(p.parentId);
      if (parent != depthOf.end()) d = parent->second + 1;
    }
    depthOf.emplace(p.number, d);
    std::string codecs;
    if (!p.videoCodec.empty()) codecs = "video " + p.videoCodec;
    if (!p.audioCodec.empty()) codecs += (codecs.empty() ? "audio " : ", audio ") + p.audioCodec;
    std::printf("%*s%d  %s  [%s: %s; .%s]\n", 2 * d, "", p.number, p.displayName.c_str(), p.muxer.c_str(),
                codecs.c_str(), p.ext.c_str());
  }
}

}  // namespace

int CmdProfiles(int argc, char** argv) {
  const FolderOptions o = ParseFolderOptions(argc, argv);
  if (o.help) {
    std::printf(
        "Usage: velmo-cli profiles [options]\n\nLists the profile tree: the Video, Audio and Custom "
        "groups, their nodes and each node's numbered profiles.\n\nOptions:\n%s",
        kFolderHelp);
    return 0;
  }
  if (!o.error.empty()) return Refuse("profiles", o.error);
  OpenDatabase(o.folders);
  std::vector<ProfileNode> nodes;
  EnumProfileNodes(nodes);
  if (nodes.empty()) {
    std::fprintf(stderr, "velmo-cli profiles: no profile tree under %s\n", o.folders.program.c_str());
    return 1;
  }
  // Nodes nest under the node their PARENTID names once that one is placed,
  // else under the group of their kind.
  const auto group = [](char kind) { return kind == 'V' ? 0 : kind == 'A' ? 1 : 2; };
  std::map<int32_t, std::pair<int, int>> placed;  // number -> (group, depth)
  std::vector<std::pair<const ProfileNode*, int>> order[3];
  for (const ProfileNode& n : nodes) {
    int g = group(n.kind), depth = 1;
    const auto parent = placed.find(n.parentId);
    if (n.parentId >= 0 && n.parentId <= 255 && parent != placed.end()) {
      g = parent->second.first;
      depth = parent->second.second + 1;
    }
    if (n.number >= 0 && n.number <= 255) {
      placed.emplace(n.number, std::make_pair(g, depth));
      order[g].push_back({&n, depth});
    }
  }
  const char* names[3] = {"Video", "Audio", "Custom"};
  for (int g = 0; g < 3; ++g) {
    std::printf("%s\n", names[g]);
    for (const auto& [node, depth] : order[g]) {
      std::printf("%*s%s (%s)\n", 2 * depth, "", node->displayName.c_str(), node->folder.c_str());
      PrintProfiles(*node, depth + 1);
    }
  }
  return 0;
}

int CmdDefaults(int argc, char** argv) {
  const FolderOptions o = ParseFolderOptions(argc, argv);
  if (o.help) {
    std::printf(
        "Usage: velmo-cli defaults [options]\n\nShows the default output choice: the per-user "
        "defaults file, or the shipped one when that is missing or damaged.\n\nOptions:\n%s",
        kFolderHelp);
    return 0;
  }
  if (!o.error.empty()) return Refuse("defaults", o.error);
  OpenDatabase(o.folders);
  std::string node, summary, from;
  int32_t number = 0;
  OutputSettings settings;
  if (!LoadDefaultSettings(node, number, summary, settings, &from)) {
    std::fprintf(stderr, "velmo-cli defaults: no readable defaults file in %s or %s\n", o.folders.user.c_str(),
                 o.folders.program.c_str());
    return 1;
  }
  std::printf("node: %s\nprofile: %d\nsummary: %s\nfile: %s\n", node.c_str(), number, summary.c_str(), from.c_str());
  std::printf("writer: %s\naudio: %s\nvideo: %s\n", settings.muxer,
              settings.audioCodec[0] ? settings.audioCodec : "none",
              settings.videoCodec[0] ? settings.videoCodec : "none");
  return 0;
}
