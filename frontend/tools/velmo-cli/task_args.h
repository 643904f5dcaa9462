// The options the task commands (job, convert) share: the source, its streams
// (given with --track, or probed by the engine), the output choice, the
// output folder and the task options.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "frontend/model/task.h"
#include "frontend/tools/velmo-cli/cli.h"

struct TaskArgs {
  TaskArgs();

  std::string source;
  std::unique_ptr<MediaInfoRecord> record;  // the streams given with --track and --length
  bool lengthGiven = false;
  OutputSettings settings;
  TaskOptions options;
  bool scaleModeGiven = false;
  std::string folder;
};

// The shared options; a command appends its own after them, so their ids
// start at TaskCliOptions().size().
const std::vector<CliOption>& TaskCliOptions();

// Takes one option of TaskCliOptions(); false when the id is not one of them.
// Throws UsageError for a bad value.
bool HandleTaskOption(size_t id, const std::string& value, TaskArgs& args);

// Makes the task for the source and gives it its output path. Null with the
// reason when the source or the choice does not fit a job.
std::unique_ptr<CTask> MakeTaskFromArgs(const TaskArgs& args, std::string& message);

// Gives the task its output path in the --folder (default: the current
// folder); false with the reason when no name is free or the path does not fit.
bool GiveOutputPath(const TaskArgs& args, CTask& task, std::string& message);
