// Starting a conversion run from the main window, without the window: the
// output folder checks, which tasks take part and the rules they must pass,
// the tasks whose copied video needs a source frame rate, the frame-rate
// records of those tasks, and the results the completion dialog lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CTask;
class CTaskList;
class OutputSettings;

// ---- messages ----

inline constexpr char kNoTitlesMessage[] = "There are no DVD titles to be converted.";
inline constexpr char kBadOutputPathMessage[] = "The output path is not a valid directory.";
inline constexpr char kUnwritableOutputMessage[] = "Can not write to the output path.";
inline constexpr char kNoVp6Message[] = "vp6vfw does not exist.\nvp6vfw is required to encode VP6 video.";
inline constexpr char kMergeSizeMessage[] = "You must specify target width and height in output merge mode.";
inline constexpr char kMergeCopyMessage[] = "You cannot use stream copy in output merge mode.";
inline constexpr char kMergeTracksMessage[] =
    "All source file should have same number of video track and audio track in output merge mode.";
inline constexpr char kNoRealMediaQuestion[] =
    "RealPlayer does not exist.\nRealPlayer is required to decode rm/rmvb video.\nDo you want to continue?";

// ---- the output folder ----

enum class OutputFolderState {
  kUsable,
  kNotADirectory,  // missing, or not a directory
  kNotWritable,    // no file can be created in it
};
// Whether the run can write into the folder. The probe creates a file of its
// own with a unique name (never opening an existing one) and removes it.
OutputFolderState CheckOutputFolder(const std::string& folder);

// ---- the run's tasks ----

struct RunCheck {
  bool ok = true;
  std::string message;          // the refusal, when not ok
  bool needsRealMedia = false;  // a video stream of a taking-part task is RealVideo
};

// Marks the tasks that take part (takesPart[i] for the i-th task of the list:
// checked, frame-rate record cleared, job sources built) and the rest
// unchecked, and checks the merge and stream-copy rules in list
// order. format: the current output choice's format (muxer) name, whose
// accepted codecs limit stream copy. Every task that passes, taking part or
// not, gets overwrite (the OVERWRITE option) as its overwrite flag. A refusal
// stops at the task it concerns.
RunCheck PrepareRunTasks(CTaskList& tasks, const std::vector<bool>& takesPart, bool merge, const std::string& format,
                         bool overwrite);

// The taking-part tasks whose video is copied and that have a video stream:
// each needs the frame rate its source is read at.
std::vector<CTask*> CopiedVideoTasks(CTaskList& tasks);

// The follow-up the completion dialog offers, chosen by the format name.
enum class TransferKind {
  kFolderCopy,
  kDvd,
  kSvcd,
  kVcd,
  kPsp,
  kItunes,
};
struct TransferChoice {
  TransferKind kind = TransferKind::kFolderCopy;
  int32_t width = 0;  // PSP only: the output video size and an H.264 flag
  int32_t height = 0;
  bool h264 = false;
};
TransferChoice ChooseTransfer(const OutputSettings& settings);

// ---- source frame rates of copied video ----

// The rates offered before "Custom...", in order.
inline constexpr double kStandardFrameRates[] = {15, 23.976, 24, 25, 29.97, 30};
inline constexpr double kFrameRateTolerance = 0.01;
inline constexpr double kMinFrameRate = 1;
inline constexpr double kMaxFrameRate = 120;

// A rate from 1 to 120 frames per second (not NaN).
bool IsUsableFrameRate(double rate);
// The source video frame rate of the task (0 when it has none).
double SourceFrameRate(const CTask& task);
// The display text of the first chosen video stream of the task's sources.
std::string SourceVideoText(const CTask& task);
// Starts the task's frame-rate record: the source rate, snapped, not forced;
// a source without a usable rate is forced to 24000/1001.
void InitFrameRateRecord(CTask& task);
// The rate the task's record names (denominator / numerator).
double RecordedFrameRate(const CTask& task);
// Sets the record to the rate, snapped (the forced flag is kept).
void SetRecordedFrameRate(CTask& task, double rate);
// The numbers the rate list offers for a source rate: the standard rates,
// then the source rate when usable and not within the tolerance of one.
std::vector<double> OfferedFrameRates(double sourceRate);
// Index of the first rate within the tolerance of rate; -1 when none.
int FindFrameRate(const std::vector<double>& rates, double rate);
// On OK: a task read at a rate other than its source's is forced (a task
// already forced stays so).
void ForceChangedFrameRates(const std::vector<CTask*>& tasks);

// ---- results ----

// One finished task of a run, as the completion dialog and its follow-ups see it.
struct ConvertResult {
  std::string title;       // the task's display name, else its first source's path
  std::string outputFile;  // file name without folder; empty for a failed task
  int32_t reserved = 0;
  bool success = false;    // the task ended "Done"
  int64_t size = 0;        // filled by the follow-ups
  int32_t copyStatus = 0;  // 1 pending, 0 copied, 2 failed
};

// The result of a task that finished in the run.
ConvertResult MakeConvertResult(const CTask& task);
