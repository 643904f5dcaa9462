// "VSUBTITLE": draws text subtitles into 4:2:0 frames with libass. Its
// subtitles come either from the file named by "SUBFILE" (SRT, SSA or ASS) or
// from a subtitle stream of the source, whose code ("VFCC": "UTF8", "TEXT",
// "SSA ", "ASS ", "ASS2") and format block ("DATA", "DATALEN") the chain gives
// at set-up and whose samples the subtitle writer hands over one by one as
// "SAMPLE". SRT and plain text are drawn in the style of the subtitle
// dialog's keys; SSA/ASS scripts keep their own styles. "delay" and "mul"
// shift and stretch every subtitle's time. Fonts are found through
// fontconfig; a font that is missing falls back to DejaVu Sans.
// Results: the IVideoFilter codes; SetParams answers 1 (in place) after set-up,
// 0 for a sample, and an HRESULT error for a subtitle file that cannot be used.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win_types.h"
#include "plugin-api/video_filter.h"
#include "plugins/vsubtitle/subtitle_limits.h"
#include "plugins/vsubtitle/subtitle_style.h"
#include "plugins/vsubtitle/subtitle_text.h"

struct IMediaSample;
struct ass_library;
struct ass_renderer;
struct ass_track;

// A subtitle file that does not exist or cannot be read.
constexpr HRESULT E_SUBTITLE_FILE_MISSING = MakeHResult(0x80070002u);
// A subtitle file of a kind that is not drawn (VobSub) or too large to be a subtitle file.
constexpr HRESULT E_SUBTITLE_FILE_UNSUPPORTED = MakeHResult(0x80070032u);

// Largest subtitle file read.
constexpr int64_t kMaxSubtitleFileBytes = 64 << 20;
// How long a subtitle sample without a stop time is shown.
constexpr int64_t kUntimedSubtitleMs = 5000;
// A frame whose subtitles take longer than this to draw is left without them,
// and the subtitles it showed are not drawn again.
constexpr std::chrono::milliseconds kSubtitleRenderBudget{1000};

class CVSubtitleFilter final : public IVideoFilter {
 public:
  static IVideoFilter* Create(CParamList* params);

  int32_t SetFormat(const FrameFormat* format) override;
  int32_t GetOutputFormat(FrameFormat* format) override;
  int32_t Start() override { return 0; }
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  int32_t SetParams(CParamList* params) override;
  int32_t Destroy() override;
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override { return 0; }

  // What the last set-up read (tests).
  const SubtitleStyle& Style() const { return style_; }
  int32_t EventCount();
  int32_t SkippedCount();
  // Subtitles left out because drawing them took too long.
  int32_t SlowCount();
  void SetRenderBudget(std::chrono::nanoseconds budget);

 private:
  struct LibassDeleter {
    void operator()(ass_library* p) const;
    void operator()(ass_renderer* p) const;
    void operator()(ass_track* p) const;
  };
  enum class Source { kNone, kFile, kTextStream, kAssStream };

  CVSubtitleFilter() = default;
  ~CVSubtitleFilter() = default;

  int32_t Configure(CParamList* params);
  HRESULT LoadFile(const std::string& path);
  int32_t TakeSample(IMediaSample* sample);
  // Under lock_: the renderer and track for the current frame size.
  bool EnsureTrack();
  void AddTextEvent(const std::string& assText, int64_t startMs, int64_t durationMs);
  // Under lock_: ends the events shown at nowMs after a render that took too long.
  void LeaveOutSlowEvents(int64_t nowMs, std::chrono::nanoseconds took);

  std::mutex lock_;
  SubtitleStyle style_;
  Source source_ = Source::kNone;
  std::string codecHeader_;        // SSA/ASS script header of a stream
  std::string fileScript_;         // SSA/ASS script of a file
  std::vector<TextCue> fileCues_;  // SRT cues of a file
  int32_t skipped_ = 0;            // cues, lines and samples left out
  bool codeReported_ = false;
  int32_t readOrder_ = 0;
  FrameFormat input_{};
  std::unique_ptr<ass_library, LibassDeleter> library_;
  std::unique_ptr<ass_renderer, LibassDeleter> renderer_;
  std::unique_ptr<ass_track, LibassDeleter> track_;
  int32_t trackWidth_ = 0, trackHeight_ = 0;
  AssLimits limits_;  // bounds for the track's script size and the frame
  std::chrono::nanoseconds renderBudget_ = kSubtitleRenderBudget;
  int32_t slow_ = 0;
};
