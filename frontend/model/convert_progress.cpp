#include "frontend/model/convert_progress.h"

#include <algorithm>
#include <climits>
#include <cstdio>

#include "common/frame_rate.h"
#include "common/job_records.h"
#include "frontend/model/convert_now.h"
#include "frontend/model/task.h"

std::string FormatHms(int64_t seconds) {
  seconds = std::max<int64_t>(seconds, 0);
  char text[48];
  std::snprintf(text, sizeof(text), "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

int32_t ProgressBarUpper(int64_t seconds) {
  if (seconds <= 0) return 1;
  return static_cast<int32_t>(std::min<int64_t>(seconds, INT32_MAX));
}

int64_t FramesPerSecond(int64_t frames, int64_t base, int64_t elapsedMs) {
  if (elapsedMs <= 0 || frames <= base) return 0;
  return (frames - base) * 1000 / elapsedMs;
}

std::unique_ptr<ConvertJob> MakeMergeJob(const CTask& first) {
  auto job = std::make_unique<ConvertJob>(first.job);
  EncodeSettings& s = job->settings;
  // The merge engine learns no rate from the pictures: without one it would write its default.
  if ((s.frameRateNum <= 0 || s.frameRateDen <= 0) && IsUsableFrameRate(SourceFrameRate(first)))
    SnapFrameRate(SourceFrameRate(first), &s.frameRateNum, &s.frameRateDen);
  return job;
}

std::string TaskStatusText(const CTask& task) {
  if (!task.finished) return "";
  if (task.resultCode == 0) return "Done";
  char text[32];
  std::snprintf(text, sizeof(text), "Failed(0x%08X)", static_cast<unsigned>(task.resultCode));
  return text;
}

void ConvertProgressMeter::StartRun(int64_t nowMs, int64_t totalSeconds) {
  runStartMs_ = nowMs;
  totalUpper_ = ProgressBarUpper(totalSeconds);
  doneSeconds_ = 0;
  overallPercent_ = 0.0;
}

void ConvertProgressMeter::StartTask(int64_t nowMs, int64_t durationSeconds) {
  taskStartMs_ = nowMs;
  framesBase_ = 0;
  currentUpper_ = ProgressBarUpper(durationSeconds);
}

void ConvertProgressMeter::TaskEnded(int64_t durationSeconds) { doneSeconds_ += std::max<int64_t>(durationSeconds, 0); }

void ConvertProgressMeter::Resume(int64_t nowMs) {
  taskStartMs_ = nowMs;
  framesBase_ = lastFrames_;
}

void ConvertProgressMeter::Stopped(int64_t nowMs) {
  taskStartMs_ = nowMs;
  framesBase_ = 0;
}

ConvertProgressMeter::Reading ConvertProgressMeter::Read(int64_t nowMs, int32_t positionMs, int32_t frames) {
  Reading out;
  const int64_t secs = std::min<int64_t>(std::max<int32_t>(positionMs, 0) / 1000, currentUpper_);
  const int64_t overall = std::min<int64_t>(secs + doneSeconds_, totalUpper_);
  out.current = static_cast<int32_t>(secs);
  out.total = static_cast<int32_t>(overall);
  const double percent = static_cast<double>(secs) * 100.0 / currentUpper_;
  char line[256];
  if (frames != 0) {
    lastFrames_ = frames;
    std::snprintf(line, sizeof(line), "%.0f%%,%s,%d frames, %lld fps ", percent, FormatHms(secs).c_str(), frames,
                  static_cast<long long>(FramesPerSecond(frames, framesBase_, nowMs - taskStartMs_)));
    out.taskLine = line;
  } else if (positionMs != 0) {
    lastFrames_ = positionMs;
    std::snprintf(line, sizeof(line), "%.0f%%,%s", percent, FormatHms(secs).c_str());
    out.taskLine = line;
  }
  overallPercent_ = static_cast<double>(overall) * 100.0 / totalUpper_;
  std::snprintf(line, sizeof(line), "%.0f%%,total %s,current %s", overallPercent_, FormatHms(totalUpper_).c_str(),
                FormatHms(overall).c_str());
  out.totalLine = line;
  return out;
}

std::string ConvertProgressMeter::TimeLine(int64_t nowMs) const {
  const int64_t elapsed = std::max<int64_t>(nowMs - runStartMs_, 0);
  std::string remaining = "--:--:--";
  if (overallPercent_ > 0.001) {
    const auto estimated = static_cast<int64_t>(static_cast<double>(elapsed) * 100.0 / overallPercent_);
    remaining = FormatHms(std::max<int64_t>(estimated - elapsed, 0) / 1000);
  }
  return FormatHms(elapsed / 1000) + " Elapsed," + remaining + " Remaining";
}

std::string ConvertProgressMeter::StoppingLine(int64_t nowMs, int64_t waitMs) const {
  const int64_t left = std::max<int64_t>(waitMs / 1000 - (nowMs - taskStartMs_) / 1000, 0);
  return "Stopping...(wait about " + std::to_string(left) + "s to stop)";
}
