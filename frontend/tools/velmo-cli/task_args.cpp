#include "frontend/tools/velmo-cli/task_args.h"

#include "frontend/tools/velmo-cli/profile_option.h"

namespace {

enum TaskOption { kSource, kTrack, kLength, kProfile, kFolder, kOverwrite, kScaleMode, kTaskOptionCount };

}  // namespace

TaskArgs::TaskArgs() : record(std::make_unique<MediaInfoRecord>()) {
  *record = MediaInfoRecord{};
  DefaultOutputSettings(settings);
}

const std::vector<CliOption>& TaskCliOptions() {
  static const std::vector<CliOption> options = {
      {"source", true, "PATH", "the source file, or a DVD title: dvd:TITLE,FIRST,LAST,DISC or dvd:DISC"},
      {"track", true, "TEXT", "a stream descriptor of the source (parameter text), one per track in order"},
      {"length", true, "SECONDS", "the source's length"},
      {"profile", true, "CHOICE", "the output choice: FIELD=VALUE (repeatable) or a profile NAME"},
      {"folder", true, "DIR", "output folder (default: the current folder)"},
      {"overwrite", false, "", "let the output replace an existing file"},
      {"scale-mode", true, "N", "1 letterbox, 2 black left-right, 3 black up-down, 4 stretch, 5 manual"},
  };
  static_assert(kTaskOptionCount == 7);
  return options;
}

bool HandleTaskOption(size_t id, const std::string& value, TaskArgs& args) {
  std::string message;
  switch (id) {
    case kSource:
      if (!args.source.empty()) Usage("one --source only");
      if (value.empty()) Usage("--source needs a path");
      args.source = value;
      return true;
    case kTrack: {
      MediaInfoRecord& record = *args.record;
      if (record.trackCount >= kMaxProbeTracks)
        Usage("--track: a source has at most " + std::to_string(kMaxProbeTracks) + " tracks");
      if (!SetJobText(record.tracks[record.trackCount], value))
        Usage("--track: text of " + std::to_string(value.size()) + " bytes does not fit its field of " +
              std::to_string(kProbeTextField - 1));
      ++record.trackCount;
      return true;
    }
    case kLength:
      args.record->length = ParseDouble("--length", value);
      args.lengthGiven = true;
      return true;
    case kProfile:
      if (!ApplyProfileOption(args.settings, value, message)) Usage(message);
      return true;
    case kFolder:
      args.folder = value;
      return true;
    case kOverwrite:
      args.options.overwrite = 1;
      return true;
    case kScaleMode:
      args.options.scaleMode = ParseInt32("--scale-mode", value);
      args.scaleModeGiven = true;
      return true;
    default:
      return false;
  }
}

std::unique_ptr<CTask> MakeTaskFromArgs(const TaskArgs& args, std::string& message) {
  std::unique_ptr<CTask> task =
      MakeTask(AbsoluteSource(args.source), *args.record, args.settings, args.options, message);
  if (!task || !GiveOutputPath(args, *task, message)) return nullptr;
  return task;
}

bool GiveOutputPath(const TaskArgs& args, CTask& task, std::string& message) {
  OutputNameList names;
  names.SetFolder(AbsolutePath(args.folder));
  return task.MakeOutputPath(names, message);
}
