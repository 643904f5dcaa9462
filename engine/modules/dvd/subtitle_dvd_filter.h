// "VSUBTITLEDVD": burns DVD subpictures into 4:2:0 frames. The subtitle
// writer of the subpicture stream hands it each packet through SetParams
// ("SAMPLE"); the packet is decoded at once (with the disc palette of the
// running job's sources) into an overlay with its display interval, and every
// frame whose time lies inside an overlay's interval gets it blended in.
// Results: the IVideoFilter codes (SetParams: 1 without a sample, else 0).
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <mutex>
#include <vector>

#include "engine/modules/dvd/spu_decoder.h"
#include "plugin-api/video_filter.h"

// One decoded picture as planes at its place on the frame, with its interval.
struct SubtitleOverlay {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  // width x height bytes each, rows top-down; alpha is 255 or 0.
  std::vector<uint8_t> planeY, planeU, planeV, alpha;
  int64_t start = 0;  // 100-ns units of the video stream
  int64_t end = 0;
};

// The overlay of a decoded picture shown from sampleTime + its start display
// time to sampleTime + its stop display time.
SubtitleOverlay MakeSubtitleOverlay(const DvdSubpicture& picture, int64_t sampleTime);

// Blends the overlay into a 4:2:0 frame; what falls outside the frame is left out.
void BlendSubtitleOverlay(const SubtitleOverlay& overlay, int32_t frameWidth, int32_t frameHeight, FramePlanes* planes);

class CSubtitleDvdFilter final : public IVideoFilter {
 public:
  static IVideoFilter* Create(CParamList* params);

  int32_t SetFormat(const FrameFormat* format) override;
  int32_t GetOutputFormat(FrameFormat* format) override;
  int32_t Start() override { return 0; }
  int32_t Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) override;
  // "STARTTIME" (seconds; -1 or absent keeps it), "PALETTE" (pointer to the disc's 16
  // YCrCb entries, copied; without one grey levels are guessed) and "SAMPLE" (the packet's sample).
  int32_t SetParams(CParamList* params) override;
  int32_t Destroy() override;
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override { return 0; }

  // Overlays waiting for their frames (tests).
  size_t PendingOverlays();

 private:
  CSubtitleDvdFilter() = default;
  ~CSubtitleDvdFilter() = default;

  std::mutex lock_;
  int32_t startSeconds_ = 0;
  std::array<uint32_t, 16> palette_{};
  bool hasPalette_ = false;
  std::list<SubtitleOverlay> overlays_;  // in arrival order, under lock_
  FrameFormat input_{};
  FrameFormat output_{};
};
