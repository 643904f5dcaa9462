// mkformats: builds the front end's profile data files from the readable tree.
//   mkformats pack FOLDER STORE         the packed store of FOLDER's ini files
//   mkformats defaults FOLDER SOURCE OUT the defaults file of the profile SOURCE names
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/model/ini_file.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"

namespace {

void Usage(FILE* out) {
  std::fputs(
      "Usage: mkformats pack FOLDER STORE\n"
      "       mkformats defaults FOLDER SOURCE OUTPUT\n"
      "\n"
      "pack      writes STORE (formats.dat): every answer of the ini files of the profile\n"
      "          tree, codec, muxer and filter descriptions under FOLDER.\n"
      "defaults  writes OUTPUT (default.cfg) for the profile that the ini file SOURCE names:\n"
      "          [DEFAULT] NODE (node folder), PROFILE (number) and SUMMARY (summary line);\n"
      "          the output settings come from that profile in FOLDER.\n",
      out);
}

int Pack(const std::string& folder, const std::string& store) {
  const std::vector<std::string> files = ListProfileStoreFiles(folder);
  if (files.empty()) {
    std::fprintf(stderr, "mkformats: no profile files under %s\n", folder.c_str());
    return 1;
  }
  std::string error;
  if (!WriteProfileStore(folder, files, store, &error)) {
    std::fprintf(stderr, "mkformats: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s: %zu files\n", store.c_str(), files.size());
  return 0;
}

int Defaults(const std::string& folder, const std::string& source, const std::string& output) {
  IniDocument doc;
  if (!doc.LoadFile(source)) {
    std::fprintf(stderr, "mkformats: cannot read %s\n", source.c_str());
    return 1;
  }
  std::string node, number, summary;
  if (!doc.Find("DEFAULT", "NODE", &node) || !doc.Find("DEFAULT", "PROFILE", &number) ||
      !doc.Find("DEFAULT", "SUMMARY", &summary)) {
    std::fprintf(stderr, "mkformats: %s needs NODE, PROFILE and SUMMARY in [DEFAULT]\n", source.c_str());
    return 1;
  }
  SetProfileFolders(ProfileFolders{folder, ""});
  OutputProfile profile;
  const std::string file = number + ".ini";
  if (!LoadOutputProfile(node, file, profile)) {
    std::fprintf(stderr, "mkformats: no profile %s in node %s under %s\n", number.c_str(), node.c_str(),
                 folder.c_str());
    return 1;
  }
  OutputSettings settings;
  std::string error;
  if (!SettingsFromProfile(profile, settings, &error)) {
    std::fprintf(stderr, "mkformats: profile %s/%s: %s\n", node.c_str(), file.c_str(), error.c_str());
    return 1;
  }
  std::string bytes;
  if (!MakeDefaultSettingsBytes(node, profile.number, summary, settings, &bytes) || !WriteWholeFile(output, bytes)) {
    std::fprintf(stderr, "mkformats: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const option table[] = {{"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (int id; (id = getopt_long(argc, argv, "h", table, nullptr)) != -1;) {
    if (id == 'h') {
      Usage(stdout);
      return 0;
    }
    std::fprintf(stderr, "mkformats: unknown option %s\n", argv[optind - 1]);
    Usage(stderr);
    return 2;
  }
  const int words = argc - optind;
  char** word = argv + optind;
  if (words == 3 && std::strcmp(word[0], "pack") == 0) return Pack(word[1], word[2]);
  if (words == 4 && std::strcmp(word[0], "defaults") == 0) return Defaults(word[1], word[2], word[3]);
  Usage(stderr);
  return 2;
}
