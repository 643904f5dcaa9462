// velmo-cli: the front end's model from the command line.
#include <cstdio>
#include <cstring>

#include "frontend/tools/velmo-cli/cmd_profiles.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

const Command kCommands[] = {
    {"profiles", CmdProfiles, "list the output-profile tree"},
    {"defaults", CmdDefaults, "show the default output choice"},
};

void Usage(FILE* out) {
  std::fputs("Usage: velmo-cli COMMAND [options]\n\nCommands:\n", out);
  for (const Command& c : kCommands) std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
  std::fputs("\n'velmo-cli COMMAND --help' tells a command's options.\n", out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "help") == 0) {
    Usage(stdout);
    return 0;
  }
  for (const Command& c : kCommands)
    if (std::strcmp(argv[1], c.name) == 0) return c.run(argc - 1, argv + 1);
  std::fprintf(stderr, "velmo-cli: unknown command '%s'\n", argv[1]);
  Usage(stderr);
  return 2;
}
