#include "engine/modules/filters/frame_filters.h"

#include <atomic>
#include <cstring>
#include <new>

#include "common/control_block.h"
#include "common/param_list.h"
#include "engine/graph/engine_control.h"
#include "platform/diagnostics.h"

// ---- frame rate ----

IVideoFilter* CFrameRateFilter::Create(CParamList*) { return new (std::nothrow) CFrameRateFilter(); }

int32_t CFrameRateFilter::SetParams(CParamList* params) {
  const int32_t num = params->GetInt("DSTFPSNUM", 1001);
  const int32_t den = params->GetInt("DSTFPSDEN", 24000);
  if (num <= 0 || den <= 0) {
    Diag(DiagLevel::kError, "Frame rate filter: the frame duration %d/%d is not valid.", num, den);
    return E_INVALIDARG;
  }
  output_.durationNum = uint32_t(num);
  output_.durationDen = uint32_t(den);
  return kInPlaceMode;
}

int32_t CFrameRateFilter::Start() {
  frame_ = 0;
  return 0;
}

int64_t CFrameRateFilter::FrameTime(int64_t n, uint32_t num, uint32_t den) {
  if (den == 0) return 0;
  // Exact in 64 bits for any frame count a stream reaches.
  const int64_t product = n * int64_t{num};
  return product / den * 10000000 + product % den * 10000000 / den;
}

int32_t CFrameRateFilter::Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) {
  if (in != nullptr) FrameToChange(in, out);
  if (startTime != nullptr) *startTime = FrameTime(frame_, output_.durationNum, output_.durationDen);
  ++frame_;
  return 0;
}

// ---- deinterlace ----

IVideoFilter* CDeinterlaceFilter::Create(CParamList*) { return new (std::nothrow) CDeinterlaceFilter(); }

int32_t CDeinterlaceFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (input_.colourType != kColourYuv420 || in == nullptr || failed_) return 0;
  if (!deinterlacer_.IsOpen() || deinterlacer_.Width() != input_.width || deinterlacer_.Height() != input_.height) {
    const HRESULT hr = deinterlacer_.Open(input_.width, input_.height);
    if (hr != S_OK) {
      failed_ = true;
      Diag(DiagLevel::kWarning, "Deinterlace filter: cannot deinterlace %dx%d frames (0x%08X); frames pass unchanged.",
           input_.width, input_.height, unsigned(hr));
      return 0;
    }
  }
  deinterlacer_.Deinterlace(FrameToChange(in, out));
  return 0;
}

// ---- capture ----

IVideoFilter* CCaptureFilter::Create(CParamList*) { return new (std::nothrow) CCaptureFilter(); }

int64_t CCaptureFilter::CapturedBytes(const FrameFormat& f) {
  const int64_t w = f.width, h = f.height;
  if (w < 1 || h < 1) return 0;
  if (f.colourType == kColourYuv420) return w * h + 2 * (w / 2) * (h / 2);
  if (f.colourType == kColourRgb24) return 3 * w * h;
  return 0;
}

int32_t CCaptureFilter::Start() {
  size_t size = 0;
  control_ = EngineControlBlock(&size);
  if (control_ == nullptr || size < ControlBlock::kSize) {
    control_ = nullptr;
    return 0;
  }
  const int64_t bytes = CapturedBytes(input_);
  const bool fits = bytes > 0 && bytes <= int64_t(ControlBlock::kPixelBytes);
  // A frame that cannot be captured reads as no frame at all.
  BlockWord(control_, ControlBlock::kFrameWidth).store(fits ? input_.width : 0);
  BlockWord(control_, ControlBlock::kFrameHeight).store(fits ? input_.height : 0);
  BlockWord(control_, ControlBlock::kFrameLayout).store(input_.colourType == kColourRgb24 ? 1 : 0);
  if (!fits) {
    Diag(DiagLevel::kWarning, "Frame capture: %dx%d frames do not fit the preview frame area; they are not captured.",
         input_.width, input_.height);
    control_ = nullptr;
  }
  return 0;
}

int32_t CCaptureFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (in == nullptr) return 0;
  FrameToChange(in, out);
  if (control_ == nullptr) return 0;
  std::atomic_ref<int32_t> lock = BlockWord(control_, ControlBlock::kFrameLock);
  int32_t expected = 0;
  if (!lock.compare_exchange_strong(expected, 1)) return 0;  // the front end is reading: skip
  uint8_t* to = control_ + ControlBlock::kPixels;
  const int32_t w = input_.width, h = input_.height;
  if (input_.colourType == kColourRgb24) {
    if (in->pointer[0] != nullptr && in->pitch[0] >= 3 * w && in->rows[0] >= h)
      for (int32_t r = 0; r < h; ++r)
        std::memcpy(to + size_t(r) * size_t(3 * w), in->pointer[0] + size_t(r) * size_t(in->pitch[0]), size_t(3 * w));
  } else {
    // Y at w x h, then U and V at (w/2) x (h/2): the layout the front end reads.
    const int32_t widths[3] = {w, w / 2, w / 2};
    const int32_t heights[3] = {h, h / 2, h / 2};
    for (int i = 0; i < 3; ++i) {
      if (in->pointer[i] == nullptr || in->pitch[i] < widths[i] || in->rows[i] < heights[i]) break;
      for (int32_t r = 0; r < heights[i]; ++r) {
        std::memcpy(to, in->pointer[i] + size_t(r) * size_t(in->pitch[i]), size_t(widths[i]));
        to += widths[i];
      }
    }
  }
  lock.exchange(0);
  return 0;
}
