// velmo-cli outname: the output names the tasks of one run get.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "frontend/model/task.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "frontend/tools/velmo-cli/profile_option.h"

namespace {

enum Option { kSource, kProfile, kFolder, kOverwrite };

const std::vector<CliOption> kOptions = {
    {"source", true, "PATH", "a source; one task each, in the order given"},
    {"profile", true, "CHOICE", "the output choice (its ext field names the output): FIELD=VALUE or NAME"},
    {"folder", true, "DIR", "output folder (default: the current folder)"},
    {"overwrite", false, "", "outputs may replace existing files"},
};

void PrintHelp() {
  std::printf(
      "Usage: velmo-cli outname --source PATH... --profile ext=EXT [OPTION]...\n"
      "Prints, one line per source, the output path its task gets in one conversion run:\n"
      "names are numbered \"clip[1].mp4\" to avoid the names given out before them, the\n"
      "sources themselves and, without --overwrite, existing files.\n\n%s",
      OptionHelp(kOptions).c_str());
}

}  // namespace

int OutnameCommand(int argc, char** argv) {
  std::vector<std::string> sources;
  std::string folder, message;
  OutputSettings settings;
  DefaultOutputSettings(settings);
  int32_t overwrite = 0;
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, kOptions,
      [&](size_t id, const std::string& value) {
        switch (id) {
          case kSource:
            if (value.empty()) Usage("--source needs a path");
            sources.push_back(value);
            break;
          case kProfile:
            if (!ApplyProfileOption(settings, value, message)) Usage(message);
            break;
          case kFolder:
            folder = value;
            break;
          case kOverwrite:
            overwrite = 1;
            break;
        }
      },
      &help);
  if (help) {
    PrintHelp();
    return 0;
  }
  if (!rest.empty()) Usage("outname takes no words besides its options: \"" + rest.front() + "\"");
  if (sources.empty()) Usage("outname needs at least one --source");

  OutputNameList names;
  names.SetFolder(AbsolutePath(folder));
  int status = 0;
  for (const std::string& source : sources) {
    CTask task;
    auto info = std::make_unique<MediaInfo>();
    info->path = AbsoluteSource(source);
    task.title = TitleFromPath(info->path);
    task.outputExt = settings.ext;
    task.overwrite = overwrite;
    task.sources.push_back(std::move(info));
    if (task.MakeOutputPath(names, message))
      std::printf("%s\n", task.job.output.path);
    else
      status = CommandFailed(message);
  }
  return status;
}
