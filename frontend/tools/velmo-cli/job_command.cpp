// velmo-cli job: the convert record a task for one source sends to the engine.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/job_dump.h"
#include "frontend/model/task.h"
#include "frontend/tools/velmo-cli/cli.h"
#include "frontend/tools/velmo-cli/commands.h"
#include "frontend/tools/velmo-cli/profile_option.h"

namespace {

enum Option { kSource, kTrack, kLength, kProfile, kFolder, kOverwrite, kScaleMode, kOut };

const std::vector<CliOption> kOptions = {
    {"source", true, "PATH", "the source file"},
    {"track", true, "TEXT", "a stream descriptor of the source (parameter text), one per track in order"},
    {"length", true, "SECONDS", "the source's length"},
    {"profile", true, "CHOICE", "the output choice: FIELD=VALUE (repeatable) or a profile NAME"},
    {"folder", true, "DIR", "output folder (default: the current folder)"},
    {"overwrite", false, "", "let the output replace an existing file"},
    {"scale-mode", true, "N", "1 letterbox, 2 black left-right, 3 black up-down, 4 stretch, 5 manual"},
    {"out", true, "FILE", "also write the record to FILE (as default_0.dat beside the engine)"},
};

void PrintHelp() {
  std::printf(
      "Usage: velmo-cli job --source PATH --track TEXT... --profile CHOICE... [OPTION]...\n"
      "Makes the task for one source as the main window does (default streams, output choice,\n"
      "filters, output name) and prints the convert record it sends to the engine, as\n"
      "trivox_job dump prints it. The source's probe result is given by --track and --length.\n\n"
      "%s\nProfile fields (--profile FIELD=VALUE):\n%s",
      OptionHelp(kOptions).c_str(), ProfileFieldHelp().c_str());
}

}  // namespace

int JobCommand(int argc, char** argv) {
  std::string source, out, folder, message;
  auto record = std::make_unique<MediaInfoRecord>();
  *record = MediaInfoRecord{};
  OutputSettings settings;
  DefaultOutputSettings(settings);
  TaskOptions options;
  bool help = false;
  const std::vector<std::string> rest = ParseOptions(
      argc, argv, kOptions,
      [&](size_t id, const std::string& value) {
        switch (id) {
          case kSource:
            if (!source.empty()) Usage("job takes one --source");
            if (value.empty()) Usage("--source needs a path");
            source = value;
            break;
          case kTrack:
            if (record->trackCount >= kMaxProbeTracks)
              Usage("--track: a source has at most " + std::to_string(kMaxProbeTracks) + " tracks");
            if (!SetJobText(record->tracks[record->trackCount], value))
              Usage("--track: text of " + std::to_string(value.size()) + " bytes does not fit its field of " +
                    std::to_string(kProbeTextField - 1));
            ++record->trackCount;
            break;
          case kLength:
            record->length = ParseDouble("--length", value);
            break;
          case kProfile:
            if (!ApplyProfileOption(settings, value, message)) Usage(message);
            break;
          case kFolder:
            folder = value;
            break;
          case kOverwrite:
            options.overwrite = 1;
            break;
          case kScaleMode:
            options.scaleMode = ParseInt32("--scale-mode", value);
            break;
          case kOut:
            out = value;
            break;
        }
      },
      &help);
  if (help) {
    PrintHelp();
    return 0;
  }
  if (!rest.empty()) Usage("job takes no words besides its options: \"" + rest.front() + "\"");
  if (source.empty()) Usage("job needs --source");
  if (record->trackCount == 0) Usage("job needs the source's stream descriptors (--track TEXT, one per track)");

  std::unique_ptr<CTask> task = MakeTask(AbsoluteSource(source), *record, settings, options, message);
  if (!task) return CommandFailed(message);
  OutputNameList names;
  names.SetFolder(AbsolutePath(folder));
  if (!task->MakeOutputPath(names, message)) return CommandFailed(message);

  std::vector<uint8_t> bytes = SerialiseRecord(task->job);
  if (!out.empty() && !WriteWholeFile(out, bytes, message)) return CommandFailed(message);
  std::fputs(DumpJobRecord(task->job, bytes.size()).c_str(), stdout);
  return 0;
}
