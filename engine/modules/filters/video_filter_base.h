// Common ground of the engine's own video filters: the input and output
// formats copied at SetFormat, the colour types a filter accepts, and the
// operations most filters leave as they are.
// Results: the IVideoFilter answers (0 accepts / done, 1 refuses, ...).
#pragma once

#include <cstdint>
#include <initializer_list>

#include "plugin-api/video_filter.h"

class CVideoFilterBase : public IVideoFilter {
 public:
  // Copies the format as input and output format; 1 for a colour type the
  // filter does not take.
  int32_t SetFormat(const FrameFormat* format) override;
  int32_t GetOutputFormat(FrameFormat* format) override;
  int32_t Start() override { return 0; }
  int32_t Destroy() override;
  int32_t IsInline() override { return 1; }
  int32_t OnDiscontinuity() override { return 0; }

 protected:
  // The colour types SetFormat accepts; none given: any type.
  explicit CVideoFilterBase(std::initializer_list<int32_t> accepted = {});
  virtual ~CVideoFilterBase() = default;

  // The frame an in-place filter changes: the input itself, or, when a host
  // runs it copying (no SetParams came), the output after the input is copied there.
  static FramePlanes* FrameToChange(FramePlanes* in, FramePlanes* out);

  FrameFormat input_{};
  FrameFormat output_{};

 private:
  uint32_t accepted_ = 0;  // bit (type - 10) per colour type; 0 = any
};

// Answers of SetParams.
constexpr int32_t kCopyMode = 0;
constexpr int32_t kInPlaceMode = 1;

// Copies pitch x rows bytes of each plane both records have.
void CopyFramePlanes(const FramePlanes& in, FramePlanes* out);
