// velmo-cli drives: the DVD drives the main window's "Add DVD..." popup offers.
#include <cstdio>
#include <string>
#include <vector>

#include "frontend/model/dvd_drives.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"

namespace {

enum Option { kSysBlock, kMounts, kLabels };

void PrintHelp(const std::vector<CliOption>& options) {
  std::printf(
      "Usage: velmo-cli drives [OPTION]...\n"
      "Lists the DVD drives as the main window offers them: the optical drives (srN) with their\n"
      "mount point (else the device) and label, then mounted udf and iso9660 volumes on other\n"
      "devices. One line each: ROOT<tab>LABEL<tab>DEVICE.\n\n%s",
      OptionHelp(options).c_str());
}

}  // namespace

int DrivesCommand(int argc, char** argv) {
  DriveSystemFiles files;
  const std::string sysHelp = "the block devices' folder (default " + files.sysBlock + ")";
  const std::string mountsHelp = "the mount table (default " + files.mounts + ")";
  const std::string labelsHelp = "the label links' folder (default " + files.labels + ")";
  const std::vector<CliOption> options = {
      {"sys-block", true, "DIR", sysHelp.c_str()},
      {"mounts", true, "FILE", mountsHelp.c_str()},
      {"labels", true, "DIR", labelsHelp.c_str()},
  };
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, options,
      [&](size_t id, const std::string& value) {
        (id == kSysBlock ? files.sysBlock : id == kMounts ? files.mounts : files.labels) = value;
      },
      &help);
  if (help) {
    PrintHelp(options);
    return 0;
  }
  if (!rest.empty()) Usage("drives takes no PATH");
  for (const DvdDrive& drive : ListDvdDrives(files))
    std::printf("%s\t%s\t%s\n", drive.root.c_str(), drive.label.c_str(), drive.device.c_str());
  return 0;
}
