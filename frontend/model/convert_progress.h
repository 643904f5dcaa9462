// The figures of a conversion run as the progress dialog shows them: the
// current and total bars in seconds, the two status lines, frames per second,
// and elapsed and remaining time. Times are milliseconds of one steady clock;
// durations are whole seconds. No division by zero, no wrap: bars count in
// 32 bits, fps is 0 before time has passed, remaining time is never below 0.
// Also the job the merge engine of a merged run is started with.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class ConvertJob;
class CTask;

// "hh:mm:ss" of whole seconds (hours may pass 99); below 0 reads as 0.
std::string FormatHms(int64_t seconds);

// The upper bound of a bar that counts seconds: the seconds, 1 for 0, at
// most INT32_MAX.
int32_t ProgressBarUpper(int64_t seconds);

// Frames per second since a base count: 0 when no time has passed or the
// count is below the base.
int64_t FramesPerSecond(int64_t frames, int64_t base, int64_t elapsedMs);

// The job of a merged run's merge engine: the first task's job, with a frame
// rate left to the source (0) filled with that task's source rate when it is
// usable (1 to 120 frames per second). The task's own job is not changed.
std::unique_ptr<ConvertJob> MakeMergeJob(const CTask& first);

// A task's status after a run: "Done" when it ended with 0,
// "Failed(0x%08X)" of its code when it ended otherwise, "" when it did not end
// (never started, or stopped).
std::string TaskStatusText(const CTask& task);

class ConvertProgressMeter {
 public:
  // What one progress poll shows.
  struct Reading {
    int32_t current = 0;  // current bar, seconds
    int32_t total = 0;    // total bar, seconds
    // The current task's line; none when the engine has reported nothing yet.
    std::optional<std::string> taskLine;
    std::string totalLine;
  };

  // The run starts: the total bar counts totalSeconds.
  void StartRun(int64_t nowMs, int64_t totalSeconds);
  // A task's engine starts: the current bar counts its duration and fps
  // counts from now.
  void StartTask(int64_t nowMs, int64_t durationSeconds);
  // A task ended (whatever its result): its duration counts as done.
  void TaskEnded(int64_t durationSeconds);
  // After a pause: fps counts again from now and from the last frame count.
  void Resume(int64_t nowMs);
  // Stop was pressed.
  void Stopped(int64_t nowMs);

  // The bars and lines for the engine's position (ms) and frame count.
  Reading Read(int64_t nowMs, int32_t positionMs, int32_t frames);

  // "hh:mm:ss Elapsed,hh:mm:ss Remaining" since the run started; the
  // remaining time reads "--:--:--" until some progress is known.
  std::string TimeLine(int64_t nowMs) const;
  // "Stopping...(wait about Ns to stop)": the seconds left of waitMs since Stop.
  std::string StoppingLine(int64_t nowMs, int64_t waitMs) const;

  int32_t CurrentUpper() const { return currentUpper_; }
  int32_t TotalUpper() const { return totalUpper_; }
  int64_t DoneSeconds() const { return doneSeconds_; }
  double OverallPercent() const { return overallPercent_; }
  int32_t LastFrames() const { return lastFrames_; }
  int32_t FramesBase() const { return framesBase_; }

 private:
  int64_t runStartMs_ = 0;
  int64_t taskStartMs_ = 0;  // also the stop tick after Stop
  int32_t currentUpper_ = 1;
  int32_t totalUpper_ = 1;
  int64_t doneSeconds_ = 0;
  double overallPercent_ = 0.0;
  int32_t framesBase_ = 0;
  int32_t lastFrames_ = 0;
};
