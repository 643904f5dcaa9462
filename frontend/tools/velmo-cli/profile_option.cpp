#include "frontend/tools/velmo-cli/profile_option.h"

#include <strings.h>

#include <cstdio>
#include <functional>
#include <vector>

#include "frontend/model/profile_db.h"
#include "frontend/model/profile_lookup.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/whole_file.h"
#include "frontend/tools/velmo-cli/cli.h"

namespace {

struct Field {
  const char* name;
  const char* help;
  std::function<bool(OutputSettings&, const std::string&, std::string&)> set;
};

template <size_t N>
auto Text(char (OutputSettings::*field)[N]) {
  return [field](OutputSettings& s, const std::string& value, std::string& message) {
    if (SetJobText(s.*field, value)) return true;
    message = "text of " + std::to_string(value.size()) + " bytes does not fit its field of " + std::to_string(N - 1);
    return false;
  };
}

auto Number(int32_t OutputSettings::*field) {
  return [field](OutputSettings& s, const std::string& value, std::string&) {
    s.*field = ParseInt32("--profile", value);
    return true;
  };
}

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields = {
      {"name", "profile name", Text(&OutputSettings::name)},
      {"muxer", "the engine's writer tag, e.g. [FFM]MP4", Text(&OutputSettings::muxer)},
      {"acodec", "audio coder tag (empty: none)", Text(&OutputSettings::audioCodec)},
      {"vcodec", "video coder tag (empty: none)", Text(&OutputSettings::videoCodec)},
      {"ext", "output extension; @PREFIX puts a prefix before the title", Text(&OutputSettings::ext)},
      {"sample-rate", "output sample rate, Hz (0: the source's)", Number(&OutputSettings::sampleRate)},
      {"channels", "output channels (0: the source's)", Number(&OutputSettings::channels)},
      {"abitrate", "audio bits per second", Number(&OutputSettings::audioBitrate)},
      {"volume", "percent; 100 leaves the level alone, 0 normalises", Number(&OutputSettings::volume)},
      {"width", "output width (0: the source's)", Number(&OutputSettings::width)},
      {"height", "output height (0: the source's)", Number(&OutputSettings::height)},
      {"vbitrate", "video bits per second", Number(&OutputSettings::videoBitrate)},
      {"frame-num", "frame period numerator (seconds; 0: the source's rate)", Number(&OutputSettings::frameNum)},
      {"frame-den", "frame period denominator", Number(&OutputSettings::frameDen)},
      {"raw-bpp", "bits per pixel of uncompressed video, for the size estimate",
       Number(&OutputSettings::rawBitsPerPixel)},
      {"word-a", "first further job word", Number(&OutputSettings::jobWordA)},
      {"word-b", "second further job word", Number(&OutputSettings::jobWordB)},
      {"muxer-params", "the writer's parameter text", Text(&OutputSettings::muxerParams)},
      {"aparams", "the audio coder's parameter text", Text(&OutputSettings::audioParams)},
      {"vparams", "the video coder's parameter text", Text(&OutputSettings::videoParams)},
  };
  return fields;
}

}  // namespace

void DefaultOutputSettings(OutputSettings& settings) {
  settings.Clear();
  settings.volume = 100;
}

bool LookUpProfile(const std::string& name, OutputSettings& settings, std::string& message) {
  const ProfileFolders folders = DefaultProfileFolders();
  SetProfileFolders(folders);
  TheProfileIniCache().Load(folders.program.c_str(), JoinPath(folders.program, "formats.dat").c_str());
  std::string node;
  OutputProfile profile;
  if (FindNamedProfile(name, node, profile)) {
    std::string error;
    if (SettingsFromProfile(profile, settings, &error)) return true;
    message = "profile \"" + name + "\": " + error;
    return false;
  }
  message = "no profile named \"" + name + "\" under " + folders.program + " (velmo-cli profiles lists them)";
  return false;
}

bool ApplyProfileOption(OutputSettings& settings, const std::string& value, std::string& message) {
  const size_t eq = value.find('=');
  if (eq == std::string::npos) return LookUpProfile(value, settings, message);
  const std::string name = value.substr(0, eq);
  for (const Field& f : Fields())
    if (name == f.name) {
      if (f.set(settings, value.substr(eq + 1), message)) return true;
      message = "--profile " + name + ": " + message;
      return false;
    }
  message = "--profile: unknown field \"" + name + "\" (see --help)";
  return false;
}

std::string ProfileFieldHelp() {
  std::string text;
  for (const Field& f : Fields()) {
    char line[256];
    std::snprintf(line, sizeof(line), "  %-14s %s\n", f.name, f.help);
    text += line;
  }
  return text;
}
