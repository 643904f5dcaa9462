#include "engine/modules/dvd/subtitle_dvd_filter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "common/param_list.h"
#include "platform/media_sample.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;
constexpr int64_t kUnitsPerMs = 10000;

// Keeps only the part of the picture that lies on a width x height frame;
// false when none does.
bool CropToFrame(DvdSubpicture* p, int32_t width, int32_t height) {
  const int32_t left = std::max(p->x, 0), top = std::max(p->y, 0);
  const int32_t right = std::min(p->x + p->width, width), bottom = std::min(p->y + p->height, height);
  if (left >= right || top >= bottom) return false;
  if (left == p->x && top == p->y && right - left == p->width && bottom - top == p->height) return true;
  std::vector<uint8_t> kept(static_cast<size_t>(right - left) * static_cast<size_t>(bottom - top));
  for (int32_t r = top; r < bottom; ++r)
    std::copy_n(p->bitmap.begin() + (r - p->y) * p->rowBytes + (left - p->x), right - left,
                kept.begin() + (r - top) * (right - left));
  p->bitmap = std::move(kept);
  p->x = left;
  p->y = top;
  p->width = p->rowBytes = right - left;
  p->height = bottom - top;
  return true;
}

uint8_t Mix(uint8_t picture, uint8_t frame, uint32_t alpha) {
  return static_cast<uint8_t>((picture * alpha + frame * (255 - alpha)) / 255);
}

}  // namespace

SubtitleOverlay MakeSubtitleOverlay(const DvdSubpicture& picture, int64_t sampleTime) {
  SubtitleOverlay o;
  o.x = picture.x;
  o.y = picture.y;
  o.width = picture.width;
  o.height = picture.height;
  const size_t pixels = static_cast<size_t>(o.width) * static_cast<size_t>(o.height);
  o.planeY.resize(pixels);
  o.planeU.resize(pixels);
  o.planeV.resize(pixels);
  o.alpha.resize(pixels);
  for (int32_t r = 0; r < o.height; ++r) {
    for (int32_t c = 0; c < o.width; ++c) {
      const uint8_t index = picture.bitmap[static_cast<size_t>(r) * static_cast<size_t>(picture.rowBytes) + c];
      const uint32_t entry = index < picture.palette.size() ? picture.palette[index] : 0;
      const int32_t red = (entry >> 16) & 0xFF, green = (entry >> 8) & 0xFF, blue = entry & 0xFF;
      const size_t at = static_cast<size_t>(r) * static_cast<size_t>(o.width) + c;
      o.planeY[at] = static_cast<uint8_t>((306 * red + 601 * green + 117 * blue + 512) >> 10);
      o.planeU[at] = static_cast<uint8_t>(((512 * blue - 339 * green - 173 * red + 511) >> 10) + 128);
      o.planeV[at] = static_cast<uint8_t>(((512 * red - 429 * green - 83 * blue + 511) >> 10) + 128);
      o.alpha[at] = (entry >> 24) != 0 ? 255 : 0;
    }
  }
  o.start = sampleTime + static_cast<int64_t>(picture.startDisplayMs) * kUnitsPerMs;
  o.end = sampleTime + static_cast<int64_t>(picture.stopDisplayMs) * kUnitsPerMs;
  return o;
}

void BlendSubtitleOverlay(const SubtitleOverlay& o, int32_t frameWidth, int32_t frameHeight, FramePlanes* planes) {
  if (!planes->pointer[0] || !planes->pointer[1] || !planes->pointer[2]) return;
  // The visible part of the picture, in picture coordinates.
  const int32_t c0 = std::max(0, -o.x), r0 = std::max(0, -o.y);
  const int32_t c1 = std::min(o.width, frameWidth - o.x), r1 = std::min(o.height, frameHeight - o.y);
  if (c0 >= c1 || r0 >= r1) return;
  for (int32_t r = r0; r < r1; ++r) {
    uint8_t* line = planes->pointer[0] + static_cast<size_t>(o.y + r) * static_cast<size_t>(planes->pitch[0]);
    const size_t base = static_cast<size_t>(r) * static_cast<size_t>(o.width);
    for (int32_t c = c0; c < c1; ++c) {
      const uint8_t a = o.alpha[base + c];
      if (a) line[o.x + c] = Mix(o.planeY[base + c], line[o.x + c], a);
    }
  }
  // Chroma from the picture's even rows and columns.
  const int32_t chromaWidth = std::min(frameWidth / 2, planes->pitch[1]);
  const int32_t chromaRows = std::min(frameHeight / 2, planes->rows[1]);
  for (int32_t r = r0 + (r0 & 1); r < r1; r += 2) {
    const int32_t cy = (o.y + r) / 2;
    if (cy >= chromaRows) break;
    uint8_t* u = planes->pointer[1] + static_cast<size_t>(cy) * static_cast<size_t>(planes->pitch[1]);
    uint8_t* v = planes->pointer[2] + static_cast<size_t>(cy) * static_cast<size_t>(planes->pitch[2]);
    const size_t base = static_cast<size_t>(r) * static_cast<size_t>(o.width);
    for (int32_t c = c0 + (c0 & 1); c < c1; c += 2) {
      const int32_t cx = (o.x + c) / 2;
      if (cx >= chromaWidth) break;
      const uint8_t a = o.alpha[base + c];
      if (!a) continue;
      u[cx] = Mix(o.planeU[base + c], u[cx], a);
      v[cx] = Mix(o.planeV[base + c], v[cx], a);
    }
  }
}

IVideoFilter* CSubtitleDvdFilter::Create(CParamList*) { return new (std::nothrow) CSubtitleDvdFilter(); }

int32_t CSubtitleDvdFilter::SetFormat(const FrameFormat* format) {
  if (!format || format->colourType != kColourYuv420) return 1;
  std::lock_guard<std::mutex> hold(lock_);
  input_ = *format;
  output_ = *format;
  return 0;
}

int32_t CSubtitleDvdFilter::GetOutputFormat(FrameFormat* format) {
  std::lock_guard<std::mutex> hold(lock_);
  *format = output_;
  return 0;
}

int32_t CSubtitleDvdFilter::SetParams(CParamList* params) {
  if (!params) return 1;
  const int32_t start = params->GetInt("STARTTIME", -1);
  if (start != -1) {
    std::lock_guard<std::mutex> hold(lock_);
    startSeconds_ = start;
  }
  if (const auto* palette = static_cast<const uint32_t*>(params->GetPtr("PALETTE", nullptr))) {
    std::lock_guard<std::mutex> hold(lock_);
    std::copy_n(palette, palette_.size(), palette_.begin());
    hasPalette_ = true;
  }
  auto* sample = static_cast<IMediaSample*>(params->GetPtr("SAMPLE", nullptr));
  if (!sample) return 1;

  REFERENCE_TIME time = 0, stop = 0;
  const HRESULT timed = sample->GetTime(&time, &stop);
  if (timed != S_OK && timed != VFW_S_NO_STOP_TIME) return 0;  // a packet without a time has no place
  BYTE* data = nullptr;
  if (sample->GetPointer(&data) != S_OK || !data) return 0;
  const LONG length = sample->GetActualDataLength();
  int32_t startSeconds;
  FrameFormat frame;
  std::array<uint32_t, 16> palette;
  bool hasPalette;
  {
    std::lock_guard<std::mutex> hold(lock_);
    startSeconds = startSeconds_;
    frame = input_;
    palette = palette_;
    hasPalette = hasPalette_;
  }
  DvdSubpicture picture;
  if (!SpuDecodeVisible(data, length, hasPalette ? palette.data() : nullptr, &picture)) return 0;
  // An area reaching past the frame (up to 4096 pixels a side) keeps only what can show.
  if (frame.width > 0 && !CropToFrame(&picture, frame.width, std::abs(frame.height))) return 0;
  SubtitleOverlay overlay = MakeSubtitleOverlay(picture, time - startSeconds * kUnitsPerSecond);
  std::lock_guard<std::mutex> hold(lock_);
  overlays_.push_back(std::move(overlay));
  return 0;
}

int32_t CSubtitleDvdFilter::Process(int64_t* startTime, FramePlanes* in, FramePlanes*) {
  if (!startTime || !in) return 0;
  const int64_t now = *startTime;
  std::lock_guard<std::mutex> hold(lock_);
  if (input_.colourType != kColourYuv420) return 0;
  for (auto it = overlays_.begin(); it != overlays_.end();) {
    if (it->end < now) {
      it = overlays_.erase(it);
      continue;
    }
    if (it->start <= now && now < it->end) BlendSubtitleOverlay(*it, input_.width, input_.height, in);
    ++it;
  }
  return 0;
}

size_t CSubtitleDvdFilter::PendingOverlays() {
  std::lock_guard<std::mutex> hold(lock_);
  return overlays_.size();
}

int32_t CSubtitleDvdFilter::Destroy() {
  delete this;
  return 0;
}
