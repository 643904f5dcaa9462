#include "engine/modules/filters/watermark_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "common/param_list.h"
#include "platform/diagnostics.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kUnitsPerMs = 10000;
// A picture path fills at most 259 bytes of its 260-character field.
constexpr size_t kMaxPathBytes = 259;

}  // namespace

void WatermarkSettings::Read(CParamList* params) {
  const char* name = params->GetType("FILENAME") == PARAM_TYPE_STRING ? params->GetStringPtr("FILENAME") : "";
  file = name != nullptr ? name : "";
  const double a = params->GetDouble("ALPHA", 1.0);
  alpha = std::isfinite(a) ? std::clamp(a, 0.0, 1.0) : 1.0;
  fadeIn = std::max(params->GetInt("FADEIN", 0), 0);
  fadeOut = std::max(params->GetInt("FADEOUT", 0), 0);
  useStart = params->GetInt("BSTART", 0) != 0;
  startTime = params->GetInt("STARTTIME", 0);
  useEnd = params->GetInt("BEND", 0) != 0;
  endTime = params->GetInt("ENDTIME", 0);
  transparent = params->GetInt("BTRANS", 0) != 0;
  transColour = params->GetInt("TRANSCOLOR", 0);
  posX = params->GetInt("POSX", 0);
  posY = params->GetInt("POSY", 0);
  align = params->GetInt("ALIGN", 9);
  custom = params->GetInt("CUSTOM", 0);
}

bool WatermarkSettings::Shows(int64_t start) const {
  if (useStart && start < startTime * kUnitsPerSecond) return false;
  if (useEnd && start >= endTime * kUnitsPerSecond) return false;
  return true;
}

double WatermarkSettings::LevelAt(int64_t start) const {
  double level = alpha;
  const int64_t in = fadeIn * kUnitsPerMs;
  const int64_t e = useStart ? start - startTime * kUnitsPerSecond : start;
  if (fadeIn != 0 && e < in) {
    level = double(e) * alpha / double(in);
  } else if (fadeOut != 0 && useEnd) {
    const int64_t out = fadeOut * kUnitsPerMs;
    const int64_t r = endTime * kUnitsPerSecond - start;
    if (r < out) level = double(r) * alpha / double(out);
  }
  return std::clamp(level, 0.0, alpha);
}

IVideoFilter* CWatermarkFilter::Create(CParamList*) { return new (std::nothrow) CWatermarkFilter(); }

int32_t CWatermarkFilter::SetFormat(const FrameFormat* format) {
  const int32_t answer = CVideoFilterBase::SetFormat(format);
  if (answer != 0) return answer;
  // Pictures wait for the first format, and are made again for the other colour family.
  if (loadPending_ || (enabled_ && rgbPlanes_ != (input_.colourType != kColourYuv420)))
    Load();
  else if (enabled_)
    Place();
  return 0;
}

void CWatermarkFilter::Place() {
  const OverlayImage& first = list_.images.front();
  list_.place = PlaceOverlayByAlign(input_.width, input_.height, settings_.align, first.width, first.height,
                                    settings_.posX, settings_.posY);
}

void CWatermarkFilter::Load() {
  enabled_ = false;
  loadPending_ = false;
  list_.Free();
  if (settings_.file.empty()) return;
  if (input_.colourType == 0) {
    loadPending_ = true;  // no frame format yet
    return;
  }
  std::string reason;
  if (settings_.file.size() > kMaxPathBytes) {
    reason = "the path is longer than 259 bytes";
  } else {
    list_.transparent = settings_.transparent;
    list_.transColour = settings_.transColour;
    rgbPlanes_ = input_.colourType != kColourYuv420;
    enabled_ = LoadOverlayImages(settings_.file.c_str(), &list_, rgbPlanes_, &reason);
  }
  if (!enabled_) {
    list_.Free();
    Diag(DiagLevel::kWarning, "Watermark: cannot use the picture \"%.300s\": %s; frames pass unchanged.",
         settings_.file.c_str(), reason.c_str());
    return;
  }
  Place();
  list_.level = settings_.alpha;
}

int32_t CWatermarkFilter::SetParams(CParamList* params) {
  settings_.Read(params);
  Load();
  return kInPlaceMode;
}

int32_t CWatermarkFilter::Process(int64_t* startTime, FramePlanes* in, FramePlanes* out) {
  if (in == nullptr) return 0;
  FramePlanes* frame = FrameToChange(in, out);
  if (!enabled_ || startTime == nullptr) return 0;
  const int64_t start = *startTime;
  if (!settings_.Shows(start)) return 0;
  const int32_t index = list_.ImageAt(start);
  list_.level = settings_.LevelAt(start);
  if (input_.colourType == kColourYuv420)
    BlendOverlayYV12(frame, list_, index);
  else if (input_.colourType == kColourRgb24)
    BlendOverlayRGB24(frame, list_, index);
  return 0;
}
