#include "frontend/model/convert_now.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "common/frame_rate.h"
#include "frontend/model/output_names.h"
#include "frontend/model/output_settings.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/task.h"
#include "frontend/model/task_list.h"
#include "platform/win_types.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kRealVideoCodes[] = {MakeFourcc("RV10"), MakeFourcc("RV20"), MakeFourcc("RV30"), MakeFourcc("RV40"),
                                        MakeFourcc("RV41")};

std::string Field(const char* field, size_t width) { return std::string(field, strnlen(field, width)); }

template <size_t N>
std::string Field(const char (&field)[N]) {
  return Field(field, N);
}

bool IsNone(const std::string& key) { return key.empty() || key == "NONE"; }

// Calls f(type, fourcc, sourcePath) for each chosen stream of the task's job sources.
template <class F>
void ForEachJobStream(const CTask& task, F f) {
  const JobInputList& inputs = task.job.inputs;
  for (int32_t i = 0; i < inputs.count && i < kMaxJobInputs; ++i) {
    const int32_t n = std::min(inputs.inputs[i].selectedCount, static_cast<int32_t>(kMaxSelectedStreams));
    for (int32_t k = 0; k < n; ++k)
      f(task.jobStreams[i].type[k], task.jobStreams[i].vfcc[k], Field(inputs.inputs[i].path));
  }
}

int32_t CountStreams(const CTask& task, int32_t type) {
  int32_t count = 0;
  ForEachJobStream(task, [&](int32_t t, uint32_t, const std::string&) { count += t == type ? 1 : 0; });
  return count;
}

// The first copied stream of the type that the muxer does not take; its source's path.
bool FindRefusedCopy(const CTask& task, int32_t type, const std::vector<uint32_t>& codes, std::string& path) {
  bool found = false;
  ForEachJobStream(task, [&](int32_t t, uint32_t fourcc, const std::string& source) {
    if (found || t != type) return;
    if (std::find(codes.begin(), codes.end(), fourcc) == codes.end()) {
      found = true;
      path = source;
    }
  });
  return found;
}

}  // namespace

OutputFolderState CheckOutputFolder(const std::string& folder) {
  std::error_code ec;
  if (folder.empty() || !fs::is_directory(folder, ec)) return OutputFolderState::kNotADirectory;
  // A name of our own, created exclusively: a user's file is never opened,
  // truncated or removed.
  std::string probe = folder + "/.velmo-write-XXXXXX";
  const int fd = mkstemp(probe.data());
  if (fd < 0) return OutputFolderState::kNotWritable;
  close(fd);
  unlink(probe.c_str());
  return OutputFolderState::kUsable;
}

RunCheck PrepareRunTasks(CTaskList& tasks, const std::vector<bool>& takesPart, bool merge, const std::string& format,
                         bool overwrite) {
  RunCheck check;
  bool first = true;
  int32_t videoCount = 0, audioCount = 0;
  for (size_t i = 0; i < tasks.size(); ++i) {
    CTask& task = tasks[i];
    if (i >= takesPart.size() || !takesPart[i]) {
      task.checked = false;
      task.overwrite = overwrite;
      continue;
    }
    task.job.frameRate.enabled = 0;
    task.job.frameRate.numerator = 0;
    task.job.frameRate.denominator = 0;
    task.checked = true;
    std::string message;
    if (!task.BuildJobSources(message)) return {false, message, check.needsRealMedia};
    ForEachJobStream(task, [&](int32_t type, uint32_t fourcc, const std::string&) {
      if (type == 0 &&
          std::find(std::begin(kRealVideoCodes), std::end(kRealVideoCodes), fourcc) != std::end(kRealVideoCodes))
        check.needsRealMedia = true;
    });

    EncodeSettings& s = task.job.settings;
    const std::string video = Field(s.videoCodec), audio = Field(s.audioCodec);
    if (merge) {
      if (!IsNone(video) && (s.width == 0 || s.height == 0)) return {false, kMergeSizeMessage, check.needsRealMedia};
      if (EqualsIgnoringCase(audio, "COPY") || EqualsIgnoringCase(video, "COPY"))
        return {false, kMergeCopyMessage, check.needsRealMedia};
      s.videoTrackCount = IsNone(video) ? 0 : CountStreams(task, 0);
      s.audioTrackCount = IsNone(audio) ? 0 : CountStreams(task, 1);
      if (first) {
        videoCount = s.videoTrackCount;
        audioCount = s.audioTrackCount;
      } else if (s.videoTrackCount != videoCount || s.audioTrackCount != audioCount) {
        return {false, kMergeTracksMessage, check.needsRealMedia};
      }
      first = false;
      task.overwrite = overwrite;
      continue;
    }
    const bool copyAudio = EqualsIgnoringCase(audio, "COPY"), copyVideo = EqualsIgnoringCase(video, "COPY");
    if (!copyAudio && !copyVideo) {
      task.overwrite = overwrite;
      continue;
    }
    MuxerDesc muxer;
    if (LoadMuxerDesc(format, muxer) != 1) muxer.codes.clear();
    std::string path;
    if (copyAudio && FindRefusedCopy(task, 1, muxer.codes, path))
      return {false, "The muxer can not accept the audio track of \n'" + path + "' in stream copy mode.",
              check.needsRealMedia};
    if (copyVideo && FindRefusedCopy(task, 0, muxer.codes, path))
      return {false, "The muxer can not accept the video track of \n'" + path + "' in stream copy mode.",
              check.needsRealMedia};
    task.overwrite = overwrite;
  }
  return check;
}

std::vector<CTask*> CopiedVideoTasks(CTaskList& tasks) {
  std::vector<CTask*> list;
  for (const auto& task : tasks) {
    if (!task->checked || !EqualsIgnoringCase(Field(task->job.settings.videoCodec), "COPY")) continue;
    if (CountStreams(*task, 0) > 0) list.push_back(task.get());
  }
  return list;
}

TransferChoice ChooseTransfer(const OutputSettings& settings) {
  const std::string name = Field(settings.name);
  TransferChoice choice;
  if (EqualsIgnoringCase(name, "DVD")) {
    choice.kind = TransferKind::kDvd;
  } else if (EqualsIgnoringCase(name, "SVCD")) {
    choice.kind = TransferKind::kSvcd;
  } else if (EqualsIgnoringCase(name, "VCD")) {
    choice.kind = TransferKind::kVcd;
  } else if (EqualsIgnoringCase(name, "PSP")) {
    choice.kind = TransferKind::kPsp;
    choice.width = settings.width;
    choice.height = settings.height;
    choice.h264 = Field(settings.videoCodec) == "[PLUGIN]H264";
  } else if (EqualsIgnoringCase(name, "IPOD")) {
    choice.kind = TransferKind::kItunes;
  }
  return choice;
}

// ---- frame rates ----

bool IsUsableFrameRate(double rate) { return rate >= kMinFrameRate && rate <= kMaxFrameRate; }

double SourceFrameRate(const CTask& task) { return task.sourceVideo.frameRate; }

std::string SourceVideoText(const CTask& task) {
  for (const auto& source : task.sources) {
    const MediaInfoRecord& r = source->record;
    for (int32_t j = 0; j < r.TrackCount(); ++j) {
      if (!source->chosen[j]) continue;
      StreamCodes codes;
      std::string text = ParseStreamParams(r.Track(j), codes);
      if (codes.type == kStreamVideo) return text;
    }
  }
  return {};
}

void InitFrameRateRecord(CTask& task) {
  FrameRateChange& r = task.job.frameRate;
  const double rate = SourceFrameRate(task);
  if (!IsUsableFrameRate(rate)) {
    r.enabled = 1;
    r.numerator = 1001;
    r.denominator = 24000;
    return;
  }
  r.enabled = 0;
  SnapFrameRate(rate, &r.numerator, &r.denominator);
}

double RecordedFrameRate(const CTask& task) {
  const FrameRateChange& r = task.job.frameRate;
  return r.numerator > 0 ? static_cast<double>(r.denominator) / r.numerator : 0.0;
}

void SetRecordedFrameRate(CTask& task, double rate) {
  SnapFrameRate(rate, &task.job.frameRate.numerator, &task.job.frameRate.denominator);
}

std::vector<double> OfferedFrameRates(double sourceRate) {
  std::vector<double> rates(std::begin(kStandardFrameRates), std::end(kStandardFrameRates));
  if (IsUsableFrameRate(sourceRate) && FindFrameRate(rates, sourceRate) < 0) rates.push_back(sourceRate);
  return rates;
}

int FindFrameRate(const std::vector<double>& rates, double rate) {
  for (size_t i = 0; i < rates.size(); ++i)
    if (std::fabs(rates[i] - rate) < kFrameRateTolerance) return static_cast<int>(i);
  return -1;
}

void ForceChangedFrameRates(const std::vector<CTask*>& tasks) {
  for (CTask* task : tasks)
    if (std::fabs(SourceFrameRate(*task) - RecordedFrameRate(*task)) > kFrameRateTolerance ||
        std::isnan(SourceFrameRate(*task)))
      task->job.frameRate.enabled = 1;
}

// ---- results ----

ConvertResult MakeConvertResult(const CTask& task) {
  ConvertResult result;
  result.title = task.GetOutputTitle();
  if (task.resultCode == 0) {
    result.outputFile = task.GetOutputFileName();
    result.success = true;
  }
  return result;
}
