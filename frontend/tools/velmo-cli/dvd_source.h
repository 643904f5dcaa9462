// "dvd:" sources of velmo-cli convert: the text read as the engine reads it,
// and the task made from the disc's scan as the main window makes a DVD
// title's task (never probed through the engine).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "frontend/model/task_list.h"
#include "frontend/tools/velmo-cli/task_args.h"

struct DvdSourceRange {
  int32_t title = 1;
  int32_t firstChapter = 1;  // 1-based
  int32_t lastChapter = 1;   // inclusive; past the title's last chapter: to the title's end
  std::string path;          // the disc path as given
};

// True when the source begins with "dvd:" (in any case).
bool IsDvdSource(std::string_view source);

// "dvd:TITLE,FIRST,LAST,DISC" (decimal numbers, a title and its chapters
// FIRST to LAST) or "dvd:DISC" (title 1, chapter 1, as the engine reads it).
// False with the reason for a malformed text: no disc path, a number list
// that is not three numbers, a title or chapter below 1, LAST below FIRST.
bool ParseDvdSource(std::string_view source, DvdSourceRange& range, std::string& message);

// The task of the "dvd:" source of args, in tasks: the disc scanned with the
// DVD title list (its traces on standard error), the title's record made from
// the scan (--track and --length replace its tracks and length), the DVD task
// options (an explicit --scale-mode wins) and the levels filter; then its
// output path. The source's disc path is made absolute. Notes on what the
// record leaves out are printed on standard error. Null with a one-line reason
// for a malformed text, a disc that cannot be read, a title or chapter the
// disc does not have, or a task that does not fit a job.
CTask* MakeDvdTaskFromArgs(const TaskArgs& args, CTaskList& tasks, std::string& message);
