// DVD titles into tasks. The disc's structure is read with the DVD title
// reader, never probed through the engine: each title gets a probe record made
// from the scan, so that its task looks like a probed file whose source is a
// "dvd:" text. A title becomes a task row and its chapters child rows; the
// main window draws them through IDvdTitleView.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/dvd/dvd_title_list.h"
#include "frontend/model/task_list.h"

// The filter every DVD task starts with, at the head of its video list.
inline constexpr char kDvdLevelsFilter[] = "VLEVELS";
inline constexpr char kDvdLevelsParams[] =
    "\"SRCMIN\"=16,\"SRCMAX\"=235,\"DSTMIN\"=0,\"DSTMAX\"=255,\"GAMMA\"=F1,\"CORING\"=0";

// Tracks a title's record gets: the record's slots, and the descriptions a job
// carries per source, whichever is fewer.
inline constexpr int kDvdMaxTracks =
    kMaxProbeTracks < kMaxStreamDescriptions ? kMaxProbeTracks : kMaxStreamDescriptions;

// The last chapter a whole-title source names when the scan's chapter table is
// full (the title may have more chapters than it holds): the highest chapter
// number a DVD title can have; the engine reads such a range to the title's end.
inline constexpr int32_t kDvdLastChapterOfAnyTitle = 999;

// "dvd:%d,%d,%d,%s": title, first and last chapter (1-based, inclusive) and the
// disc path as given.
std::string DvdSourceText(int32_t title, int32_t firstChapter, int32_t lastChapter, std::string_view path);

// The task title (the output's base name) and the description the task of a
// whole title (firstChapter 0) or of one chapter's row (firstChapter ==
// lastChapter) gets: "Title-03", "Title-03-chap-02", "PATH,Title 03",
// "PATH,Title 03,Chapter 02". Another range of chapters: "Title-03-chap-02-04",
// "PATH,Title 03,Chapters 02-04".
std::string DvdTaskTitle(int32_t title, int32_t firstChapter = 0, int32_t lastChapter = 0);
std::string DvdTaskDescription(std::string_view path, int32_t title, int32_t firstChapter = 0, int32_t lastChapter = 0);

// A title's duration as its task's duration: whole seconds, truncated; 0 for a
// negative or unreadable duration.
uint32_t DvdWholeSeconds(double seconds);

// The options a DVD task is made with: options with scale mode 1 and no subtitle.
TaskOptions DvdTaskOptions(const TaskOptions& options);

// The task of one row, made by the list (CTaskList::AddTask) from source (a
// "dvd:" text) and record, then given its title and description, checked or
// not, and the levels filter at the head of its video list. Null with the
// message, list unchanged, when the source or the choice does not fit a job.
CTask* AddDvdTask(const std::string& source, const MediaInfoRecord& record, const std::string& title,
                  const std::string& description, bool checked, const OutputSettings& settings,
                  const TaskOptions& options, CTaskList& tasks, std::string& message);

// The probe record of one title, with length as its LENGTH (the title's
// duration, or one chapter's): palette, and the tracks video, audio (in the
// scan's order), subpictures (by stream id). At most kDvdMaxTracks tracks,
// audio kept before subpictures; counts outside the scan table are cut to it.
// Each cut adds a line to notes (number is the title's, for the lines).
void MakeDvdTitleRecord(const DvdTitleInfo& info, int32_t number, double length, MediaInfoRecord& record,
                        std::vector<std::string>* notes);

// The main window's title tree as the loader fills it.
class IDvdTitleView {
 public:
  using Row = const void*;  // the view's handle of a row; null = the root

  virtual ~IDvdTitleView() = default;
  // Before the tasks are freed: every row and the task-to-row map go, the
  // preview gets no task, drawing is held and the wait shown.
  virtual void BeginLoad() = 0;
  // A row for the task under parent (null: the root) with the task's texts;
  // a checked row under the root goes first, every other row last.
  virtual Row AddTaskRow(CTask& task, const std::string& text, Row parent, bool checked) = 0;
  // Makes the row the selected one (which refreshes the selection panel).
  virtual void SelectRow(Row row) = 0;
  // After the load, also a failed one: drawing resumed, the wait ended.
  virtual void EndLoad() = 0;
};

struct DvdLoadReport {
  int32_t titles = 0;              // title rows made
  int32_t rows = 0;                // rows made, chapters included
  std::string message;             // why no title could be shown
  std::vector<std::string> notes;  // what was left out or read another way
};

// Replaces the view's rows and the task list by the titles of the disc or DVD
// folder at path (scanned with the menu vote). Every task gets the output
// choice, scale mode 1 and no subtitle; the main title's rows start checked
// and its row selected. False, with the report's message and the tree empty,
// when the disc cannot be read or holds no usable title.
bool LoadDvdTitles(const std::string& path, const OutputSettings& settings, const TaskOptions& options,
                   CTaskList& tasks, IDvdTitleView& view, DvdLoadReport& report);

// The same from a scan already made: count records of table, the main title
// mainIndex (0-based; -1 = none).
bool AddDvdTitles(const DvdTitleInfo* table, int32_t count, int32_t mainIndex, const std::string& path,
                  const OutputSettings& settings, const TaskOptions& options, CTaskList& tasks, IDvdTitleView& view,
                  DvdLoadReport& report);
