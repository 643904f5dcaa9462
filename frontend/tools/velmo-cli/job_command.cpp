// velmo-cli job: the convert record a task for one source sends to the engine.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/job_dump.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "frontend/tools/velmo-cli/profile_option.h"
#include "frontend/tools/velmo-cli/task_args.h"

namespace {

std::vector<CliOption> Options() {
  std::vector<CliOption> options = TaskCliOptions();
  options.push_back({"out", true, "FILE", "also write the record to FILE (as default_0.dat beside the engine)"});
  return options;
}

void PrintHelp() {
  std::printf(
      "Usage: velmo-cli job --source PATH --track TEXT... --profile CHOICE... [OPTION]...\n"
      "Makes the task for one source as the main window does (default streams, output choice,\n"
      "filters, output name) and prints the convert record it sends to the engine, as\n"
      "trivox_job dump prints it. The source's probe result is given by --track and --length.\n\n"
      "%s\nProfile fields (--profile FIELD=VALUE):\n%s",
      OptionHelp(Options()).c_str(), ProfileFieldHelp().c_str());
}

}  // namespace

int JobCommand(int argc, char** argv) {
  TaskArgs args;
  std::string out, message;
  bool help = false;
  const std::vector<CliOption> options = Options();
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, options,
      [&](size_t id, const std::string& value) {
        if (!HandleTaskOption(id, value, args)) out = value;  // --out
      },
      &help);
  if (help) {
    PrintHelp();
    return 0;
  }
  if (!rest.empty()) Usage("job takes no words besides its options: \"" + rest.front() + "\"");
  if (args.source.empty()) Usage("job needs --source");
  if (args.record->trackCount == 0) Usage("job needs the source's stream descriptors (--track TEXT, one per track)");

  std::unique_ptr<CTask> task = MakeTaskFromArgs(args, message);
  if (!task) return CommandFailed(message);
  std::vector<uint8_t> bytes = SerialiseRecord(task->job);
  if (!out.empty() && !WriteWholeFile(out, bytes, message)) return CommandFailed(message);
  std::fputs(DumpJobRecord(task->job, bytes.size()).c_str(), stdout);
  return 0;
}
