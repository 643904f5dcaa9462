// velmo-cli: the front end's task model as commands, for developers and tests.
#include <cstdio>
#include <cstring>
#include <string>

#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/cmd_profiles.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "platform/version.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int, char**);
  const char* summary;
};

const Command kCommands[] = {
    {"job", JobCommand, "print (and write) the convert record a task sends to the engine"},
    {"outname", OutnameCommand, "print the output names the tasks of one run get"},
    {"dvd-scan", DvdScanCommand, "print the title tree of a DVD disc or folder"},
    {"drives", DrivesCommand, "list the DVD drives the main window offers"},
    {"profiles", CmdProfiles, "list the output-profile tree"},
    {"defaults", CmdDefaults, "show the default output choice"},
    {"probe", ProbeCommand, "probe a media file with the engine and print its record"},
    {"render-frame", RenderFrameCommand, "render one frame of a source to a picture with the engine"},
    {"convert", ConvertCommand, "convert one source through an engine session, showing progress"},
};

void PrintHelp() {
  std::printf("Usage: velmo-cli COMMAND [OPTION]...\n\nCommands:\n");
  for (const Command& c : kCommands) std::printf("  %-13s %s\n", c.name, c.summary);
  std::printf("\nvelmo-cli COMMAND --help lists the command's options.\n");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    PrintHelp();
    return 0;
  }
  if (AnswerVersion(argc, argv, "velmo-cli")) return 0;
  try {
    for (const Command& c : kCommands)
      if (command == c.name) return c.run(argc - 1, argv + 1);
    Usage(command.empty() ? "no command given" : "unknown command \"" + command + "\"");
  } catch (const UsageError& error) {
    std::fprintf(stderr, "velmo-cli: %s (see velmo-cli --help)\n", error.message.c_str());
    return 2;
  }
}
