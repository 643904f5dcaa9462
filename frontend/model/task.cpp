#include "frontend/model/task.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#include "frontend/model/crop_resize.h"
#include "frontend/model/param_text.h"
#include "frontend/model/scale_layout.h"

namespace fs = std::filesystem;

namespace {

constexpr int32_t kOutputNumberLimit = 1000000;
constexpr const char* kIndexOutOfRange = "Filter index out of range";
constexpr const char* kCannotDelete =
    "This filter help keeping proper width,height,frame rate and so on for encoder.\nYou cannot delete it.";
constexpr const char* kCannotMoveUp = "To control the destination video frame rate.\nCannot move this filter up.";
constexpr const char* kCannotMoveDown = "To control the destination video frame rate.\nCannot move this filter down.";

bool Has(int32_t flags, int32_t bits) { return (flags & bits) == bits; }

int64_t TruncateToInt64(double v) {
  if (!std::isfinite(v)) return 0;
  if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
  if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(v);
}

std::string PathTooLong(const std::string& path) {
  return "The path \"" + path + "\" is " + std::to_string(path.size()) + " bytes long; a job holds paths of at most " +
         std::to_string(kJobPathField - 1) + " bytes.";
}

template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N - 1));
}

// ---- filter lists ----

FilterEntry* InsertByRules(std::vector<FilterEntry>& list, FilterEntry entry) {
  size_t at = list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    const int32_t f = list[i].flags;
    if (Has(f, kFilterSystem | kFilterTail) ||
        ((entry.flags & kFilterFrameRate) && Has(f, kFilterSystem | kFilterFrameRate))) {
      at = i;
      break;
    }
  }
  if (at == list.size()) {
    list.push_back(std::move(entry));
    return &list.back();
  }
  if (!(entry.flags & kFilterKeepPlace))
    while (at > 0 && (list[at - 1].flags & kFilterSystem)) --at;
  return &*list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), std::move(entry));
}

bool MakeEntry(std::string_view name, std::string_view params, int32_t flags, FilterEntry& entry) {
  if (!SetJobText(entry.key, name)) return false;
  entry.flags = flags;
  entry.params = std::string(params);
  return true;
}

FilterEntry* AddByRules(std::vector<FilterEntry>& list, std::string_view name, std::string_view params, int32_t flags) {
  FilterEntry entry;
  if (!MakeEntry(name, params, flags, entry)) return nullptr;
  return InsertByRules(list, std::move(entry));
}

bool RemoveEntry(std::vector<FilterEntry>& list, const FilterEntry* entry) {
  for (auto it = list.begin(); it != list.end(); ++it)
    if (&*it == entry) {
      list.erase(it);
      return true;
    }
  return false;
}

bool InRange(const std::vector<FilterEntry>& list, int32_t index) {
  return index >= 0 && static_cast<size_t>(index) < list.size();
}

bool DeleteEntry(std::vector<FilterEntry>& list, int32_t index, std::string& message) {
  if (!InRange(list, index)) {
    message = kIndexOutOfRange;
    return false;
  }
  if (!(list[static_cast<size_t>(index)].flags & kFilterDeletable)) {
    message = kCannotDelete;
    return false;
  }
  list.erase(list.begin() + index);
  return true;
}

bool MoveEntryUp(std::vector<FilterEntry>& list, int32_t index, std::string& message) {
  if (!InRange(list, index)) {
    message = kIndexOutOfRange;
    return false;
  }
  if (index == 0) return true;
  const size_t k = static_cast<size_t>(index);
  if (Has(list[k].flags, kFilterSystem | kFilterFrameRate) && (list[k - 1].flags & kFilterFrameRate)) {
    message = kCannotMoveUp;
    return false;
  }
  std::swap(list[k], list[k - 1]);
  return true;
}

bool MoveEntryDown(std::vector<FilterEntry>& list, int32_t index, std::string& message) {
  if (!InRange(list, index)) {
    message = kIndexOutOfRange;
    return false;
  }
  const size_t k = static_cast<size_t>(index);
  if (k + 1 == list.size()) return true;
  if ((list[k].flags & kFilterFrameRate) && Has(list[k + 1].flags, kFilterSystem | kFilterFrameRate)) {
    message = kCannotMoveDown;
    return false;
  }
  std::swap(list[k], list[k + 1]);
  return true;
}

// Takes the system entries out of a list and returns the others, in order;
// the list is left empty.
std::vector<FilterEntry> TakeUserEntries(std::vector<FilterEntry>& list) {
  std::vector<FilterEntry> kept;
  for (FilterEntry& e : list)
    if (!(e.flags & kFilterSystem)) kept.push_back(std::move(e));
  list.clear();
  return kept;
}

void AppendSystemEntry(std::vector<FilterEntry>& list, const char* name, CParamList& params, int32_t flags) {
  FilterEntry entry;
  MakeEntry(name, ParamListText(params), flags, entry);
  list.push_back(std::move(entry));
}

double AspectByMode(int32_t& mode, const StreamInfo& s) {
  switch (mode) {
    case kAspectStream:
      return s.pixelAspect;
    case kAspect4x3:
      return s.width != 0 ? s.height * 4.0 / s.width / 3.0 : 0.0;
    case kAspect16x9:
      return s.width != 0 ? s.height * 16.0 / s.width / 9.0 : 0.0;
    default:
      mode = kAspectSquare;
      return 1.0;
  }
}

// Calls f(streamInfo) for each chosen stream of the sources, in order, until f returns true.
template <typename F>
void ForEachChosenStream(const std::vector<std::unique_ptr<MediaInfo>>& sources, F f) {
  for (const auto& source : sources) {
    const MediaInfoRecord& r = source->record;
    for (int32_t i = 0; i < r.TrackCount(); ++i) {
      if (!source->chosen[i]) continue;
      StreamInfo info;
      ParseStreamInfo(r.Track(i), info);
      if (f(info)) return;
    }
  }
}

}  // namespace

// ---- names and texts ----

CTask::CTask() = default;

std::string CTask::GetSourceName() const { return sources.empty() ? std::string() : sources.front()->path; }

std::string CTask::GetOutputTitle() const { return displayName.empty() ? GetSourceName() : displayName; }

std::string CTask::GetOutputFileName() const { return FormatOutputName(title, outputExt, outputNumber); }

bool CTask::MakeOutputPath(OutputNameList& names, std::string& message) {
  const auto isOwnSource = [&](const std::string& candidate) {
    for (const auto& source : sources) {
      if (EqualsIgnoringCase(candidate, source->path)) return true;
      std::error_code ec;
      if (fs::equivalent(candidate, source->path, ec)) return true;
    }
    return false;
  };
  // A name is taken when given out in this run, when it would replace an
  // existing file without leave, or when it is one of the task's own sources.
  const auto free = [&](int32_t n) {
    if (names.IsGivenOut(title, outputExt, n)) return false;
    if (!overwrite && names.FileExists(title, outputExt, n)) return false;
    return !isOwnSource(names.PathOf(FormatOutputName(title, outputExt, n)));
  };
  int32_t number = outputNumber;
  if (!free(number)) {
    number = -1;
    for (int32_t i = 0; i < kOutputNumberLimit && number < 0; ++i)
      if (free(i)) number = i;
  }
  if (number < 0) {
    message = "No free output name for \"" + GetOutputFileName() + "\" in \"" + names.Folder() + "\".";
    return false;
  }
  const std::string path = names.PathOf(FormatOutputName(title, outputExt, number));
  if (!SetJobText(job.output.path, path)) {
    message = PathTooLong(path);
    return false;
  }
  outputNumber = number;
  names.Add(title, outputExt, number);
  return true;
}

std::string FormatSizeText(int64_t bytes) {
  const bool mega = bytes >= 1048576;
  const double value = static_cast<double>(bytes) / (mega ? 1048576.0 : 1024.0);
  char text[64];
  auto [end, ec] = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed, 2);
  if (ec != std::errc()) return mega ? "?MB" : "?KB";
  return std::string(text, end) + (mega ? "MB" : "KB");
}

std::string CTask::GetEstimatedSizeText() {
  if ((hasAudio && EqualsIgnoringCase(FieldText(job.settings.audioCodec), "COPY")) ||
      (hasVideo && EqualsIgnoringCase(FieldText(job.settings.videoCodec), "COPY")))
    return "N/A";
  int64_t bytes = TruncateToInt64(duration * (audioStreamCount * audioByteRate)) + int64_t{audioStreamCount} * 2000;
  if (hasVideo) bytes += TruncateToInt64(duration * videoByteRate) + 4000;
  estimatedSize = bytes;
  return FormatSizeText(bytes) + "(*)";
}

std::string CTask::GetOutputSizeText() const {
  if (!finished || resultCode != 0) return "Unknown";
  const std::string path(FieldText(job.output.path));
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  int64_t bytes = 0;
  if (fs::is_directory(status)) {
    bytes = GetFolderSize(path);
  } else if (fs::is_regular_file(status)) {
    const uintmax_t size = fs::file_size(path, ec);
    bytes = ec ? 0 : static_cast<int64_t>(size);
  }
  return FormatSizeText(bytes);
}

std::string CTask::GetDurationText() const {
  char text[32];
  std::snprintf(text, sizeof(text), "%02u:%02u:%02u", duration / 3600, duration % 3600 / 60, duration % 60);
  return text;
}

int64_t GetFolderSize(const std::string& folder) {
  int64_t total = 0;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code fileError;
    if (!it->is_regular_file(fileError)) continue;
    const uintmax_t size = it->file_size(fileError);
    if (!fileError) total += static_cast<int64_t>(size);
  }
  return total;
}

// ---- filter lists ----

FilterEntry* CTask::AddAudioFilter(std::string_view name, std::string_view params, int32_t flags) {
  return AddByRules(AudioFilters(), name, params, flags);
}

FilterEntry* CTask::AddVideoFilter(std::string_view name, std::string_view params, int32_t flags) {
  return AddByRules(VideoFilters(), name, params, flags);
}

FilterEntry* CTask::PrependVideoFilter(std::string_view name, std::string_view params, int32_t flags) {
  FilterEntry entry;
  if (!MakeEntry(name, params, flags, entry)) return nullptr;
  return &*VideoFilters().insert(VideoFilters().begin(), std::move(entry));
}

FilterEntry* CTask::AppendVideoFilter(std::string_view name, std::string_view params, int32_t flags) {
  FilterEntry entry;
  if (!MakeEntry(name, params, flags, entry)) return nullptr;
  VideoFilters().push_back(std::move(entry));
  return &VideoFilters().back();
}

bool CTask::RemoveAudioFilter(const FilterEntry* entry) { return RemoveEntry(AudioFilters(), entry); }
bool CTask::RemoveVideoFilter(const FilterEntry* entry) { return RemoveEntry(VideoFilters(), entry); }

bool CTask::DeleteAudioFilter(int32_t index, std::string& message) {
  return DeleteEntry(AudioFilters(), index, message);
}
bool CTask::DeleteVideoFilter(int32_t index, std::string& message) {
  return DeleteEntry(VideoFilters(), index, message);
}
bool CTask::MoveAudioFilterUp(int32_t index, std::string& message) {
  return MoveEntryUp(AudioFilters(), index, message);
}
bool CTask::MoveAudioFilterDown(int32_t index, std::string& message) {
  return MoveEntryDown(AudioFilters(), index, message);
}
bool CTask::MoveVideoFilterUp(int32_t index, std::string& message) {
  return MoveEntryUp(VideoFilters(), index, message);
}
bool CTask::MoveVideoFilterDown(int32_t index, std::string& message) {
  return MoveEntryDown(VideoFilters(), index, message);
}

// ---- output choice ----

double CTask::GetSourceAspect() { return AspectByMode(sourceAspectMode, sourceVideo); }

double CTask::GetTargetAspect() { return AspectByMode(targetAspectMode, outputVideo); }

void CTask::ApplyVideoSize() {
  FilterEntry* resize = nullptr;
  for (FilterEntry& e : VideoFilters())
    if (EqualsIgnoringCase(FieldText(e.key), "VRESIZE") && !(e.flags & kFilterDeletable)) {
      resize = &e;
      break;
    }
  if (!resize) return;
  CParamList params;
  ParseParamText(params, resize->params);
  if (scaleMode >= kScaleLetterbox && scaleMode <= kScaleStretch) {
    ScaleLayout layout;
    layout.leftBand = params.GetInt("LEFTBAND", 0);
    layout.rightBand = params.GetInt("RIGHTBAND", 0);
    layout.topBand = params.GetInt("TOPBAND", 0);
    layout.bottomBand = params.GetInt("BOTTOMBAND", 0);
    layout.leftPad = params.GetInt("LEFTPAD", 0);
    layout.rightPad = params.GetInt("RIGHTPAD", 0);
    layout.topPad = params.GetInt("TOPPAD", 0);
    layout.bottomPad = params.GetInt("BOTTOMPAD", 0);
    layout.padColor = static_cast<uint32_t>(params.GetInt("CRPAD", 0));
    const double sourceAspect = GetSourceAspect();
    const double targetAspect = GetTargetAspect();
    ComputeScaleLayout(sourceVideo.width, sourceVideo.height, sourceAspect, outputVideo.width, outputVideo.height,
                       targetAspect, layout, scaleMode);
    resize->params = VResizeText(outputVideo.width, outputVideo.height, layout, scaleMode);
  } else {
    params.SetInt("SCALEMODE", scaleMode);
    resize->params = ParamListText(params);
  }
}

bool CTask::ApplyProfile(const OutputSettings& settings, int32_t mode, std::string& message) {
  if (!BuildJobOutputSettings(job.settings, settings, mode, message)) return false;

  // Video: the first chosen video stream sets the size and the system entries.
  StreamInfo video;
  hasVideo = false;
  ForEachChosenStream(sources, [&](const StreamInfo& info) {
    if (info.type != kStreamVideo) return false;
    video = info;
    hasVideo = true;
    return true;
  });
  if (hasVideo) {
    std::vector<FilterEntry> kept = TakeUserEntries(VideoFilters());
    sourceVideo = video;
    if (settings.frameNum != 0 && settings.frameDen != 0) {
      CParamList reframe;
      reframe.SetInt("FRAMENUM", settings.frameNum);
      reframe.SetInt("FRAMEDEN", settings.frameDen);
      AppendSystemEntry(VideoFilters(), "VREFRAME", reframe, kFilterSystem | kFilterFrameRate);
    }
    int32_t width = 0, height = 0, rightBand = 0, bottomBand = 0;
    if (settings.width != 0 || settings.height != 0) {
      outputVideo.width = settings.width != 0 ? settings.width : video.width;
      outputVideo.height = settings.height != 0 ? settings.height : video.height;
      width = settings.width;
      height = settings.height;
    } else {
      // Sizes a multiple of 4: the odd rows and columns are cropped away.
      rightBand = video.width % 4;
      bottomBand = video.height % 4;
      if (rightBand != 0 || bottomBand != 0) {
        width = video.width - rightBand;
        height = video.height - bottomBand;
      }
      outputVideo.width = video.width - rightBand;
      outputVideo.height = video.height - bottomBand;
    }
    CParamList resize;
    resize.SetInt("WIDTH", width);
    resize.SetInt("HEIGHT", height);
    resize.SetInt("LEFTBAND", 0);
    resize.SetInt("RIGHTBAND", rightBand);
    resize.SetInt("TOPBAND", 0);
    resize.SetInt("BOTTOMBAND", bottomBand);
    resize.SetInt("LEFTPAD", 0);
    resize.SetInt("RIGHTPAD", 0);
    resize.SetInt("TOPPAD", 0);
    resize.SetInt("BOTTOMPAD", 0);
    resize.SetInt("CRPAD", 255);
    resize.SetInt("SCALEMODE", scaleMode);
    AppendSystemEntry(VideoFilters(), "VRESIZE", resize, kFilterSystem | kFilterKeepPlace);

    CParamList videoParams;
    ParseParamText(videoParams, FieldText(job.settings.videoParams));
    outputVideo.pixelAspect = 1.0;
    if (videoParams.Find("PARNUM")) {
      const double num = GetNumber(videoParams, "PARNUM", 1.0);
      const double den = GetNumber(videoParams, "PARDEN", 1.0);
      if (den != 0.0) outputVideo.pixelAspect = num / den;
    }
    outputVideo.type = kStreamVideo;
    outputVideo.frameRate = settings.frameNum != 0 ? static_cast<double>(settings.frameDen) / settings.frameNum : 0.0;
    ApplyVideoSize();
    for (FilterEntry& e : kept) InsertByRules(VideoFilters(), std::move(e));
  }

  // Audio: a resampler to the chosen rate and channels, then the level.
  hasAudio = false;
  audioStreamCount = 0;
  ForEachChosenStream(sources, [&](const StreamInfo& info) {
    if (info.type == kStreamAudio) {
      hasAudio = true;
      ++audioStreamCount;
    }
    return false;
  });
  if (hasAudio) {
    std::vector<FilterEntry> kept = TakeUserEntries(AudioFilters());
    CParamList resample;
    resample.SetInt("CHANNEL", settings.channels);
    resample.SetInt("SAMPLERATE", settings.sampleRate);
    resample.SetInt("BITSPERSAMPLE", 16);
    AppendSystemEntry(AudioFilters(), "ARESAMPLE", resample, kFilterSystem);
    if (settings.volume == 0) {
      CParamList none;
      AppendSystemEntry(AudioFilters(), "ANORMALIZE", none, kFilterSystem);
    } else if (settings.volume != 100) {
      CParamList volume;
      volume.SetInt("VOL", settings.volume);
      AppendSystemEntry(AudioFilters(), "AVOL", volume, kFilterSystem);
    }
    for (FilterEntry& e : kept) InsertByRules(AudioFilters(), std::move(e));
  }

  // Byte rates for the size estimate.
  audioByteRate = settings.audioBitrate / 8;
  if (hasVideo) {
    if (settings.rawBitsPerPixel != 0) {
      const double rate = outputVideo.frameRate != 0.0 ? outputVideo.frameRate : sourceVideo.frameRate;
      videoByteRate =
          rate * outputVideo.width * outputVideo.height * static_cast<double>(settings.rawBitsPerPixel) * 0.125;
    } else {
      videoByteRate = settings.videoBitrate / 8;
    }
  } else {
    videoByteRate = 0.0;
  }
  return true;
}

// ---- job sources ----

bool CTask::BuildJobSources(std::string& message) {
  auto list = std::make_unique<JobInputList>();
  JobSourceStreams streams[kMaxJobInputs];
  if (!sources.empty()) list->tags = sources.front()->record.tags;
  int32_t count = 0;
  for (const auto& source : sources) {
    if (source->ChosenCount() == 0) continue;
    if (count == kMaxJobInputs) {
      message = "A task converts at most " + std::to_string(kMaxJobInputs) + " sources; \"" + source->path +
                "\" is one too many.";
      return false;
    }
    const MediaInfoRecord& r = source->record;
    JobInput& item = list->inputs[count];
    if (!SetJobText(item.path, source->path)) {
      message = PathTooLong(source->path);
      return false;
    }
    item.start = source->clipStart;
    item.stop = source->clipEnd;
    const int32_t tracks = r.TrackCount();
    item.descriptionCount = tracks < kMaxStreamDescriptions ? tracks : kMaxStreamDescriptions;
    for (int32_t k = 0; k < item.descriptionCount; ++k) SetJobText(item.descriptions[k], r.Track(k));
    item.paletteValid = r.paletteValid;
    std::memcpy(item.palette, r.palette, sizeof(item.palette));
    for (int32_t j = 0; j < tracks; ++j) {
      if (!source->chosen[j]) continue;
      if (j >= kMaxStreamDescriptions) {
        message = "Track " + std::to_string(j + 1) + " of \"" + source->path + "\" cannot be converted: a job holds " +
                  std::to_string(kMaxStreamDescriptions) + " tracks of each source.";
        return false;
      }
      const int32_t n = item.selectedCount++;
      item.selected[n] = static_cast<uint8_t>(j);
      const StreamCodes codes = ParseStreamCodes(r.Track(j));
      streams[count].vfcc[n] = codes.vfcc;
      streams[count].type[n] = codes.type;
    }
    ++count;
  }
  list->count = count;
  job.inputs = *list;
  std::copy(std::begin(streams), std::end(streams), std::begin(jobStreams));
  return true;
}

bool CTask::BuildPlaceholderSources(std::string& message) {
  if (sources.size() > static_cast<size_t>(kMaxJobInputs)) {
    message = "A task converts at most " + std::to_string(kMaxJobInputs) + " sources; this one has " +
              std::to_string(sources.size()) + ".";
    return false;
  }
  auto list = std::make_unique<JobInputList>();
  for (size_t i = 0; i < sources.size(); ++i) SetJobText(list->inputs[i].path, "abcde");
  list->count = static_cast<int32_t>(sources.size());
  job.inputs = *list;
  std::fill(std::begin(jobStreams), std::end(jobStreams), JobSourceStreams{});
  return true;
}

// ---- copy and clear ----

void CTask::CopySettings(const CTask& other) {
  if (&other == this) return;
  title = other.title;
  outputNumber = other.outputNumber;
  outputExt = other.outputExt;
  displayName = other.displayName;
  probeResult = other.probeResult;
  duration = other.duration;
  sourceSize = other.sourceSize;
  finished = other.finished;
  resultCode = other.resultCode;
  estimatedSize = other.estimatedSize;
  sourceVideo = other.sourceVideo;
  outputVideo = other.outputVideo;
  hasVideo = other.hasVideo;
  hasAudio = other.hasAudio;
  audioStreamCount = other.audioStreamCount;
  scaleMode = other.scaleMode;
  sourceAspectMode = other.sourceAspectMode;
  targetAspectMode = other.targetAspectMode;
  overwrite = other.overwrite;
  checked = other.checked;
  audioByteRate = other.audioByteRate;
  videoByteRate = other.videoByteRate;
  sources.clear();
  for (const auto& source : other.sources) sources.push_back(std::make_unique<MediaInfo>(*source));
  job = other.job;
  std::copy(std::begin(other.jobStreams), std::end(other.jobStreams), std::begin(jobStreams));
}

void CTask::Clear() {
  sources.clear();
  job.Clear();
  std::fill(std::begin(jobStreams), std::end(jobStreams), JobSourceStreams{});
}

// ---- making a task ----

std::unique_ptr<CTask> MakeTask(std::string_view path, const MediaInfoRecord& record, const OutputSettings& settings,
                                const TaskOptions& options, std::string& message) {
  auto task = std::make_unique<CTask>();
  auto source = std::make_unique<MediaInfo>();
  source->path = std::string(path);
  source->record = record;

  if (record.result == 0) {
    const int64_t seconds = RoundToInt(record.length);
    task->duration = seconds <= 0 ? 0 : seconds >= UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(seconds);
    // Default streams: the first video, the audio with the lowest stream id
    // (the earlier on equal ids) among those with channels, and with
    // pickSubtitle the subtitle with the lowest stream id.
    int32_t videoTrack = -1, audioTrack = -1, subtitleTrack = -1;
    uint32_t audioId = 0, subtitleId = 0;
    for (int32_t i = 0; i < record.TrackCount(); ++i) {
      StreamInfo info;
      ParseStreamInfo(record.Track(i), info);
      const uint32_t id = static_cast<uint32_t>(info.streamId);
      if (info.type == kStreamVideo && videoTrack < 0) {
        videoTrack = i;
      } else if (info.type == kStreamAudio && info.channels != 0 && (audioTrack < 0 || id < audioId)) {
        audioTrack = i;
        audioId = id;
      } else if (info.type == kStreamSubtitle && options.pickSubtitle && (subtitleTrack < 0 || id < subtitleId)) {
        subtitleTrack = i;
        subtitleId = id;
      }
    }
    for (int32_t t : {videoTrack, audioTrack, subtitleTrack})
      if (t >= 0) source->chosen[t] = 1;
  }

  task->overwrite = options.overwrite;
  task->scaleMode = options.scaleMode;
  task->probeResult = record.result;
  std::error_code ec;
  if (fs::is_regular_file(fs::status(source->path, ec))) {
    const uintmax_t size = fs::file_size(source->path, ec);
    task->sourceSize = ec ? 0 : static_cast<int64_t>(size);
  }
  task->title = TitleFromPath(path);
  task->outputExt = std::string(FieldText(settings.ext));
  task->sources.push_back(std::move(source));
  task->job.output.targetWord1 = 2;
  task->job.output.targetValue = 2048000;

  if (record.result != 0) {
    if (!task->BuildPlaceholderSources(message) || !task->ApplyProfile(settings, options.mode, message)) return nullptr;
    task->estimatedSize = 0;
  } else if (!task->BuildJobSources(message) || !task->ApplyProfile(settings, options.mode, message)) {
    return nullptr;
  }
  return task;
}
