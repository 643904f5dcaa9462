#include "plugins/vresize/vresize_filter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
#include <libswscale/swscale.h>
}

#include "common/param_list.h"
#include "platform/win_types.h"

namespace {

constexpr int32_t kMaxDimension = 16384;

int32_t Half(int32_t v) { return (v + 1) / 2; }

// Fills everything of one plane outside the rectangle [x0, x1) x [y0, y1).
void FillAround(uint8_t* plane, int32_t pitch, int32_t width, int32_t rows, int32_t x0, int32_t y0, int32_t x1,
                int32_t y1, uint8_t value) {
  x1 = std::min(x1, width);
  y1 = std::min(y1, rows);
  for (int32_t r = 0; r < rows; ++r) {
    uint8_t* row = plane + size_t(r) * size_t(pitch);
    if (r < y0 || r >= y1) {
      std::memset(row, value, size_t(width));
      continue;
    }
    if (x0 > 0) std::memset(row, value, size_t(x0));
    if (x1 < width) std::memset(row + x1, value, size_t(width - x1));
  }
}

}  // namespace

int32_t ComputeVResizeGeometry(const VResizeSettings& s, int32_t srcWidth, int32_t srcHeight, VResizeGeometry* g) {
  const int32_t values[] = {s.width,      s.height,  s.leftBand, s.rightBand, s.topBand,
                            s.bottomBand, s.leftPad, s.rightPad, s.topPad,    s.bottomPad};
  for (int32_t v : values)
    if (v < 0 || v > kMaxDimension) return E_INVALIDARG;
  if (srcWidth < 1 || srcHeight < 1) return E_INVALIDARG;
  g->cropX = s.leftBand;
  g->cropY = s.topBand;
  g->cropW = srcWidth - s.leftBand - s.rightBand;
  g->cropH = srcHeight - s.topBand - s.bottomBand;
  if (g->cropW < 1 || g->cropH < 1) return E_INVALIDARG;
  g->frameWidth = s.width != 0 ? s.width : g->cropW + s.leftPad + s.rightPad;
  g->frameHeight = s.height != 0 ? s.height : g->cropH + s.topPad + s.bottomPad;
  if (g->frameWidth > kMaxDimension || g->frameHeight > kMaxDimension) return E_INVALIDARG;
  g->picX = s.leftPad;
  g->picY = s.topPad;
  g->picW = g->frameWidth - s.leftPad - s.rightPad;
  g->picH = g->frameHeight - s.topPad - s.bottomPad;
  if (g->picW < 1 || g->picH < 1) return E_INVALIDARG;
  return 0;
}

void PadColourToYuv(uint32_t colourRef, uint8_t yuv[3]) {
  const double r = double(colourRef & 0xFF);
  const double g = double((colourRef >> 8) & 0xFF);
  const double b = double((colourRef >> 16) & 0xFF);
  const double y = 16.0 + (65.481 * r + 128.553 * g + 24.966 * b) / 255.0;
  const double u = 128.0 + (-37.797 * r - 74.203 * g + 112.0 * b) / 255.0;
  const double v = 128.0 + (112.0 * r - 93.786 * g - 18.214 * b) / 255.0;
  yuv[0] = uint8_t(std::clamp(std::lround(y), 0L, 255L));
  yuv[1] = uint8_t(std::clamp(std::lround(u), 0L, 255L));
  yuv[2] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

IVideoFilter* CVResizeFilter::Create(CParamList*) { return new CVResizeFilter(); }

CVResizeFilter::~CVResizeFilter() { sws_freeContext(sws_); }

int32_t CVResizeFilter::SetFormat(const FrameFormat* format) {
  if (format->colourType != kColourYuv420) return 1;
  VResizeGeometry g;
  if (ComputeVResizeGeometry(settings_, format->width, format->height, &g) != 0) return 1;
  input_ = *format;
  hasInput_ = true;
  UpdateOutput();
  return 0;
}

int32_t CVResizeFilter::GetOutputFormat(FrameFormat* format) {
  *format = output_;
  return 0;
}

void CVResizeFilter::UpdateOutput() {
  if (!hasInput_) return;
  ComputeVResizeGeometry(settings_, input_.width, input_.height, &geometry_);
  output_ = input_;
  output_.width = geometry_.frameWidth;
  output_.height = geometry_.frameHeight;
  sws_freeContext(sws_);
  sws_ = nullptr;
}

int32_t CVResizeFilter::ApplySettings(const VResizeSettings& settings) {
  if (hasInput_) {
    VResizeGeometry g;
    const int32_t hr = ComputeVResizeGeometry(settings, input_.width, input_.height, &g);
    if (hr != 0) return hr;
  }
  settings_ = settings;
  UpdateOutput();
  return 0;
}

int32_t CVResizeFilter::SetParams(CParamList* params) {
  VResizeSettings s;
  s.width = params->GetInt("WIDTH", 0);
  s.height = params->GetInt("HEIGHT", 0);
  s.leftBand = params->GetInt("LEFTBAND", 0);
  s.rightBand = params->GetInt("RIGHTBAND", 0);
  s.topBand = params->GetInt("TOPBAND", 0);
  s.bottomBand = params->GetInt("BOTTOMBAND", 0);
  s.leftPad = params->GetInt("LEFTPAD", 0);
  s.rightPad = params->GetInt("RIGHTPAD", 0);
  s.topPad = params->GetInt("TOPPAD", 0);
  s.bottomPad = params->GetInt("BOTTOMPAD", 0);
  s.hasPadColour = params->GetType("CRPAD") != PARAM_TYPE_NONE;
  s.padColour = uint32_t(params->GetInt("CRPAD", 0));
  s.scaleMode = params->GetInt("SCALEMODE", 0);
  const int32_t hr = ApplySettings(s);
  if (hr != 0) return hr;
  // A text that keeps the frame asks the host to pass samples on untouched.
  return KeepsFrame() ? 1 : 0;
}

bool CVResizeFilter::KeepsFrame() const {
  const VResizeGeometry& g = geometry_;
  return hasInput_ && g.cropX == 0 && g.cropY == 0 && g.cropW == input_.width && g.cropH == input_.height &&
         g.picX == 0 && g.picY == 0 && g.picW == g.frameWidth && g.picH == g.frameHeight &&
         g.frameWidth == input_.width && g.frameHeight == input_.height;
}

int32_t CVResizeFilter::Start() {
  sws_freeContext(sws_);
  sws_ = nullptr;
  return 0;
}

int32_t CVResizeFilter::Destroy() {
  delete this;
  return 0;
}

int32_t CVResizeFilter::Process(int64_t*, FramePlanes* in, FramePlanes* out) {
  if (!hasInput_) return E_FAIL;
  // In place the picture is already where it belongs; a host left in place
  // by an earlier text has no frame to write a new geometry into.
  if (out->pointer[0] == nullptr || out->pointer[0] == in->pointer[0]) return KeepsFrame() ? 0 : E_FAIL;
  const VResizeGeometry& g = geometry_;
  if (sws_ == nullptr) {
    sws_ = sws_getContext(g.cropW, g.cropH, AV_PIX_FMT_YUV420P, g.picW, g.picH, AV_PIX_FMT_YUV420P, SWS_BICUBIC,
                          nullptr, nullptr, nullptr);
    if (sws_ == nullptr) return E_FAIL;
  }
  const uint8_t* src[4] = {in->pointer[0] + size_t(g.cropY) * size_t(in->pitch[0]) + size_t(g.cropX),
                           in->pointer[1] + size_t(g.cropY / 2) * size_t(in->pitch[1]) + size_t(g.cropX / 2),
                           in->pointer[2] + size_t(g.cropY / 2) * size_t(in->pitch[2]) + size_t(g.cropX / 2), nullptr};
  const int srcStride[4] = {in->pitch[0], in->pitch[1], in->pitch[2], 0};
  uint8_t* dst[4] = {out->pointer[0] + size_t(g.picY) * size_t(out->pitch[0]) + size_t(g.picX),
                     out->pointer[1] + size_t(g.picY / 2) * size_t(out->pitch[1]) + size_t(g.picX / 2),
                     out->pointer[2] + size_t(g.picY / 2) * size_t(out->pitch[2]) + size_t(g.picX / 2), nullptr};
  const int dstStride[4] = {out->pitch[0], out->pitch[1], out->pitch[2], 0};
  sws_scale(sws_, src, srcStride, 0, g.cropH, dst, dstStride);

  // Pads last: whatever the scaler touched beyond the picture is overwritten.
  uint8_t yuv[3];
  PadColourToYuv(settings_.hasPadColour ? settings_.padColour : 0, yuv);
  FillAround(out->pointer[0], out->pitch[0], g.frameWidth, g.frameHeight, g.picX, g.picY, g.picX + g.picW,
             g.picY + g.picH, yuv[0]);
  const int32_t cx = g.picX / 2, cy = g.picY / 2;
  for (int i = 1; i <= 2; ++i)
    FillAround(out->pointer[i], out->pitch[i], Half(g.frameWidth), Half(g.frameHeight), cx, cy, cx + Half(g.picW),
               cy + Half(g.picH), yuv[i]);
  return 0;
}
