// The task record: one conversion as the user sees it in the main window, with
// its sources, chosen streams, output name, filter lists, estimates and the
// whole engine job it sends.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/job_records.h"
#include "frontend/model/media_info.h"
#include "frontend/model/output_names.h"
#include "frontend/model/output_settings.h"

// Filter entry flag bits.
enum FilterFlag : int32_t {
  kFilterSystem = 1,     // made by the output-choice rebuild, removed by the next one
  kFilterDeletable = 2,  // the user may delete it
  kFilterKeepPlace = 4,  // not moved back over the system entries before its place
  kFilterFrameRate = 8,  // frame-rate control; a 1+8 entry is never passed by another 8
  kFilterTail = 16,      // with 1: a fixed tail entry, ordinary inserts go before it
};

// Source aspect modes.
enum AspectMode : int32_t {
  kAspectStream = 0,  // the stream's own pixel aspect
  kAspect4x3 = 1,
  kAspect16x9 = 2,
  kAspectSquare = 3,
};

// What a task is made with besides its probe result and output choice.
struct TaskOptions {
  int32_t mode = 0;           // the MODE option: the job's source mode
  bool overwrite = false;     // the OVERWRITE option
  int32_t scaleMode = 0;      // SCALEMODE given to VRESIZE
  bool pickSubtitle = false;  // choose a subtitle track by default
};

// The codes of the chosen streams of one job source, in selection order
// (kept beside the job: they are not part of its serialised form).
struct JobSourceStreams {
  uint32_t vfcc[kMaxSelectedStreams] = {};
  int32_t type[kMaxSelectedStreams] = {};
};

class CTask {
 public:
  CTask();
  CTask(const CTask&) = delete;
  CTask& operator=(const CTask&) = delete;

  std::vector<std::unique_ptr<MediaInfo>> sources;  // the first gives the title
  std::string title;                                // base name of the output
  int32_t outputNumber = 0;                         // "[n]" added to the name; 0 = none
  std::string outputExt;                            // without the dot; '@' = name prefix
  std::string displayName;                          // shown instead of the source path when not empty
  bool hasAudio = false;
  bool hasVideo = false;
  int32_t audioStreamCount = 0;
  int32_t scaleMode = 0;  // 1..4: the task computes crop and pad itself
  int32_t sourceAspectMode = kAspectStream;
  int32_t targetAspectMode = kAspectStream;
  double audioByteRate = 0.0;  // bytes per second, for the size estimate
  double videoByteRate = 0.0;
  bool overwrite = false;  // the output may replace an existing file
  int32_t probeResult = 0;
  uint32_t duration = 0;  // whole seconds
  int64_t sourceSize = 0;
  bool finished = false;  // ran to its end in the last run
  int32_t resultCode = 0;
  int64_t estimatedSize = 0;
  StreamInfo sourceVideo;
  StreamInfo outputVideo;
  bool checked = false;  // takes part in the run
  ConvertJob job;
  JobSourceStreams jobStreams[kMaxJobInputs];

  std::string GetSourceName() const;
  std::string GetOutputTitle() const;
  std::string GetOutputFileName() const;
  // Picks outputNumber for the run's name list and writes the job's output
  // path; false with a message when no name is free or the path does not fit
  // the job's 259-byte field (the list and the job are then untouched).
  bool MakeOutputPath(OutputNameList& names, std::string& message);
  std::string GetEstimatedSizeText();
  std::string GetOutputSizeText() const;
  std::string GetDurationText() const;

  // Filter lists. Adding returns the new entry (valid until the list
  // changes), or null when the name does not fit its 63-byte field.
  FilterEntry* AddAudioFilter(std::string_view name, std::string_view params, int32_t flags);
  FilterEntry* AddVideoFilter(std::string_view name, std::string_view params, int32_t flags);
  FilterEntry* PrependVideoFilter(std::string_view name, std::string_view params, int32_t flags);
  FilterEntry* AppendVideoFilter(std::string_view name, std::string_view params, int32_t flags);
  bool RemoveAudioFilter(const FilterEntry* entry);
  bool RemoveVideoFilter(const FilterEntry* entry);
  // Index from 0 at the head; false with the message to show when refused.
  bool DeleteAudioFilter(int32_t index, std::string& message);
  bool DeleteVideoFilter(int32_t index, std::string& message);
  bool MoveAudioFilterUp(int32_t index, std::string& message);
  bool MoveAudioFilterDown(int32_t index, std::string& message);
  bool MoveVideoFilterUp(int32_t index, std::string& message);
  bool MoveVideoFilterDown(int32_t index, std::string& message);
  std::vector<FilterEntry>& AudioFilters() { return job.settings.audioFilters; }
  std::vector<FilterEntry>& VideoFilters() { return job.settings.videoFilters; }

  // Applies an output choice: the job's output settings, the system filter
  // entries and the byte rates. False with a message, task untouched, when a
  // text of the choice does not fit the job.
  bool ApplyProfile(const OutputSettings& settings, int32_t mode, std::string& message);
  double GetSourceAspect();
  double GetTargetAspect();
  void ApplyVideoSize();

  // Fill the job's source list; false with a message, job untouched, when a
  // source does not fit it (more than 8 sources, a chosen track past the 20 a
  // source holds, a path longer than its field).
  bool BuildJobSources(std::string& message);
  bool BuildPlaceholderSources(std::string& message);

  // Makes this task a full copy of another.
  void CopySettings(const CTask& other);
  void Clear();
};

// A task for one probed source (the task list's way of making one): default
// streams chosen, the output choice applied and the job filled. Null with a
// message when the source or the choice does not fit a job.
std::unique_ptr<CTask> MakeTask(std::string_view path, const MediaInfoRecord& record, const OutputSettings& settings,
                                const TaskOptions& options, std::string& message);

// Total bytes of the files below a folder, recursively; unreadable parts count 0.
int64_t GetFolderSize(const std::string& folder);

// "%.2fMB" at 1,048,576 bytes or more, else "%.2fKB", independent of the locale.
std::string FormatSizeText(int64_t bytes);
