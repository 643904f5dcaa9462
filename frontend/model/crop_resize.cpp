#include "frontend/model/crop_resize.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "common/param_list.h"
#include "frontend/model/media_info.h"
#include "frontend/model/param_text.h"
#include "frontend/model/task.h"
#include "frontend/model/whole_file.h"

namespace {

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(
      std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

bool Across(FrameSide side) { return side == FrameSide::kLeft || side == FrameSide::kRight; }

}  // namespace

int32_t& BandOf(ScaleLayout& l, FrameSide side) {
  switch (side) {
    case FrameSide::kLeft:
      return l.leftBand;
    case FrameSide::kRight:
      return l.rightBand;
    case FrameSide::kTop:
      return l.topBand;
    default:
      return l.bottomBand;
  }
}

int32_t& PadOf(ScaleLayout& l, FrameSide side) {
  switch (side) {
    case FrameSide::kLeft:
      return l.leftPad;
    case FrameSide::kRight:
      return l.rightPad;
    case FrameSide::kTop:
      return l.topPad;
    default:
      return l.bottomPad;
  }
}

namespace {

FrameSide Opposite(FrameSide side) {
  switch (side) {
    case FrameSide::kLeft:
      return FrameSide::kRight;
    case FrameSide::kRight:
      return FrameSide::kLeft;
    case FrameSide::kTop:
      return FrameSide::kBottom;
    default:
      return FrameSide::kTop;
  }
}

// The shapes keep-ratio works with; valid only when the cropped source and
// the frame have at least one pixel each way (a source cropped to nothing has
// no shape to keep).
struct Shape {
  double cw, ch, ow, oh, x, y;
  bool valid;
};

Shape ShapeOf(const FrameGeometry& g) {
  Shape s;
  s.cw = CroppedWidth(g);
  s.ch = CroppedHeight(g);
  s.ow = g.outputWidth;
  s.oh = g.outputHeight;
  s.x = UsableAspect(g.sourceAspect);
  s.y = UsableAspect(g.outputAspect);
  s.valid = s.cw > 0 && s.ch > 0 && s.ow > 0 && s.oh > 0;
  return s;
}

// The picture height for a picture width, and the other way round, with the
// order of operations each rule states.
int64_t HeightForWidth(const Shape& s, double width) {
  return EvenUp(LayoutTruncate(s.y * (s.ch * width) / s.x / s.cw));
}
int64_t WidthForHeight(const Shape& s, double height) {
  return EvenUp(LayoutTruncate(s.x * (s.cw * height) / s.y / s.ch));
}

// A picture size kept inside 2..outer (or 0..outer for a frame narrower than 2).
int64_t FitPicture(int64_t size, int64_t outer) {
  return std::clamp<int64_t>(size, std::min<int64_t>(2, outer), outer);
}

// Centres a picture of size along an axis: first pad half the room, second the rest.
void Centre(int32_t& first, int32_t& second, int64_t outer, int64_t size) {
  const int64_t room = std::max<int64_t>(outer - size, 0);
  first = Clamp32(HalfEven(room));
  second = Clamp32(room - first);
}

// The pads across a picture of width (or down a picture of height): the first
// pad keeps its value while the room allows it.
void Split(int32_t& first, int32_t& second, int64_t outer, int64_t size) {
  const int64_t room = std::max<int64_t>(outer - size, 0);
  if (room < first) {
    second = 0;
    first = Clamp32(room);
  } else {
    second = Clamp32(room - first);
  }
}

// A pair of values (bands or pads) that must leave 2 of size pixels.
void FitPair(int32_t& first, int32_t& second, int32_t size) {
  const int64_t room = std::max<int64_t>(int64_t(size) - 2, 0);
  first = Clamp32(std::clamp<int64_t>(first, 0, room));
  second = Clamp32(std::clamp<int64_t>(second, 0, room - first));
}

}  // namespace

int32_t PictureWidth(const FrameGeometry& g) {
  return Clamp32(int64_t(g.outputWidth) - g.layout.leftPad - g.layout.rightPad);
}
int32_t PictureHeight(const FrameGeometry& g) {
  return Clamp32(int64_t(g.outputHeight) - g.layout.topPad - g.layout.bottomPad);
}
int32_t CroppedWidth(const FrameGeometry& g) {
  return Clamp32(int64_t(g.sourceWidth) - g.layout.leftBand - g.layout.rightBand);
}
int32_t CroppedHeight(const FrameGeometry& g) {
  return Clamp32(int64_t(g.sourceHeight) - g.layout.topBand - g.layout.bottomBand);
}

int32_t SetCropBand(FrameGeometry& g, FrameSide side, int32_t value, bool even) {
  const int64_t size = Across(side) ? g.sourceWidth : g.sourceHeight;
  const int64_t opposite = BandOf(g.layout, Opposite(side));
  int64_t v = std::max<int64_t>(value, 0);
  if (v + opposite >= size) v = size - opposite - 2;
  if (even) v = EvenDown(v);
  v = std::max<int64_t>(v, 0);
  return BandOf(g.layout, side) = Clamp32(v);
}

int SetPad(FrameGeometry& g, FrameSide side, int32_t value, bool keepRatio) {
  const bool across = Across(side);
  ScaleLayout& l = g.layout;
  const int64_t other = PadOf(l, Opposite(side));
  const int64_t outer = across ? g.outputWidth : g.outputHeight;
  int64_t v = std::max<int64_t>(value, 0);
  if (other + v >= outer) v = outer - other - 2;
  v = EvenDown(std::max<int64_t>(v, 0));
  int axes = across ? kAxisAcross : kAxisDown;

  const Shape s = ShapeOf(g);
  if (keepRatio && s.valid) {
    int64_t size = outer - other - v;  // the picture along this axis
    const int64_t crossOuter = across ? g.outputHeight : g.outputWidth;
    int64_t cross =
        across ? EvenUp(LayoutTruncate(s.ch * double(size) * s.y / s.x / s.cw)) : WidthForHeight(s, double(size));
    if (cross > crossOuter) {
      cross = crossOuter;
      size = across ? WidthForHeight(s, s.oh) : EvenUp(LayoutTruncate(s.ch * s.ow * s.y / s.x / s.cw));
      v = std::max<int64_t>(outer - size - other, 0);
    }
    cross = FitPicture(cross, crossOuter);
    if (across)
      Centre(l.topPad, l.bottomPad, crossOuter, cross);
    else
      Centre(l.leftPad, l.rightPad, crossOuter, cross);
    axes = kAxesBoth;
  }
  PadOf(l, side) = Clamp32(v);
  return axes;
}

namespace {

// The picture size along one axis (across: the width) set to size; with keep
// ratio the other axis follows, centred, and this one gives way when the
// other would not fit.
int SetPictureSize(FrameGeometry& g, bool across, int32_t size, bool keepRatio) {
  ScaleLayout& l = g.layout;
  const int64_t outer = std::max(across ? g.outputWidth : g.outputHeight, 0);
  const int64_t crossOuter = across ? g.outputHeight : g.outputWidth;
  int64_t v = std::min<int64_t>(std::max(size, 2), outer);
  v = std::max<int64_t>(EvenDown(v), 0);
  int axes = across ? kAxisAcross : kAxisDown;
  const Shape s = ShapeOf(g);
  if (keepRatio && s.valid) {
    int64_t cross = across ? HeightForWidth(s, double(v)) : WidthForHeight(s, double(v));
    if (cross > crossOuter) {
      cross = crossOuter;
      v = std::min<int64_t>(across ? WidthForHeight(s, s.oh) : HeightForWidth(s, s.ow), outer);
    }
    if (across)
      Centre(l.topPad, l.bottomPad, crossOuter, FitPicture(cross, crossOuter));
    else
      Centre(l.leftPad, l.rightPad, crossOuter, FitPicture(cross, crossOuter));
    axes = kAxesBoth;
  }
  if (across)
    Split(l.leftPad, l.rightPad, outer, v);
  else
    Split(l.topPad, l.bottomPad, outer, v);
  return axes;
}

}  // namespace

int SetPictureWidth(FrameGeometry& g, int32_t width, bool keepRatio) {
  return SetPictureSize(g, true, width, keepRatio);
}

int SetPictureHeight(FrameGeometry& g, int32_t height, bool keepRatio) {
  return SetPictureSize(g, false, height, keepRatio);
}

void SplitPads(FrameGeometry& g, bool across, int32_t position) {
  int32_t& first = across ? g.layout.leftPad : g.layout.topPad;
  int32_t& second = across ? g.layout.rightPad : g.layout.bottomPad;
  const int64_t sum = int64_t(first) + second;
  int64_t p = std::min<int64_t>(position, sum);
  p = std::max<int64_t>(EvenDown(p), 0);
  first = Clamp32(p);
  second = Clamp32(sum - p);
}

void FitGeometry(FrameGeometry& g) {
  g.sourceWidth = std::max(g.sourceWidth, 0);
  g.sourceHeight = std::max(g.sourceHeight, 0);
  if (g.outputWidth <= 0) g.outputWidth = g.sourceWidth;
  if (g.outputHeight <= 0) g.outputHeight = g.sourceHeight;
  ScaleLayout& l = g.layout;
  FitPair(l.leftBand, l.rightBand, g.sourceWidth);
  FitPair(l.topBand, l.bottomBand, g.sourceHeight);
  FitPair(l.leftPad, l.rightPad, g.outputWidth);
  FitPair(l.topPad, l.bottomPad, g.outputHeight);
}

void LoadVResizeText(std::string_view text, FrameGeometry& g, int32_t& scaleMode) {
  CParamList params;
  ParseParamText(params, text);
  scaleMode = params.GetInt("SCALEMODE", kScaleManual);
  g.outputWidth = params.GetInt("WIDTH", 0);
  g.outputHeight = params.GetInt("HEIGHT", 0);
  ScaleLayout& l = g.layout;
  l.leftBand = params.GetInt("LEFTBAND", 0);
  l.rightBand = params.GetInt("RIGHTBAND", 0);
  l.topBand = params.GetInt("TOPBAND", 0);
  l.bottomBand = params.GetInt("BOTTOMBAND", 0);
  l.leftPad = params.GetInt("LEFTPAD", 0);
  l.rightPad = params.GetInt("RIGHTPAD", 0);
  l.topPad = params.GetInt("TOPPAD", 0);
  l.bottomPad = params.GetInt("BOTTOMPAD", 0);
  l.padColor = static_cast<uint32_t>(params.GetInt("CRPAD", 0));
  FitGeometry(g);
}

std::string VResizeText(int32_t width, int32_t height, const ScaleLayout& layout, int32_t scaleMode) {
  CParamList text;
  text.SetInt("WIDTH", width);
  text.SetInt("HEIGHT", height);
  text.SetInt("LEFTBAND", layout.leftBand);
  text.SetInt("RIGHTBAND", layout.rightBand);
  text.SetInt("TOPBAND", layout.topBand);
  text.SetInt("BOTTOMBAND", layout.bottomBand);
  text.SetInt("LEFTPAD", layout.leftPad);
  text.SetInt("RIGHTPAD", layout.rightPad);
  text.SetInt("TOPPAD", layout.topPad);
  text.SetInt("BOTTOMPAD", layout.bottomPad);
  text.SetInt("CRPAD", static_cast<int32_t>(layout.padColor));
  text.SetInt("SCALEMODE", scaleMode);
  return ParamListText(text);
}

bool WriteSolidBitmap(const std::string& path, uint32_t colour, int32_t width, int32_t height) {
  if (width < 0 || height < 0) return false;
  const uint64_t imageBytes = uint64_t(width) * uint64_t(height) * 4;
  const uint64_t fileSize = 54 + imageBytes;
  if (fileSize > std::numeric_limits<uint32_t>::max()) return false;

  uint8_t header[54] = {'B', 'M'};
  const auto put32 = [&header](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) header[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  put32(2, uint32_t(fileSize));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(width));
  put32(22, uint32_t(-height));  // top-down rows
  header[26] = 1;                // planes
  header[28] = 32;               // bits per pixel
  std::vector<char> row(size_t(width) * 4);
  for (size_t x = 0; x < size_t(width); ++x) {
    row[x * 4 + 0] = char((colour >> 16) & 0xFF);  // blue
    row[x * 4 + 1] = char((colour >> 8) & 0xFF);   // green
    row[x * 4 + 2] = char(colour & 0xFF);          // red
  }
  return WriteWholeFileFrom(path, [&](const WholeFilePut& put) {
    if (!put(std::string_view(reinterpret_cast<const char*>(header), sizeof(header)))) return false;
    for (int32_t y = 0; y < height; ++y)
      if (!put(std::string_view(row.data(), row.size()))) return false;
    return true;
  });
}

bool BuildPreviewJob(const CTask& task, const PreviewFrameOptions& options, const std::string& outputPath,
                     FrameJob& job, std::string* message) {
  const auto fail = [message](const std::string& what) {
    if (message) *message = what;
    return false;
  };
  FrameJob out;
  out.inputs = task.job.inputs;
  std::string sourcePath;
  int32_t stream = 0;
  for (const auto& source : task.sources) {
    const MediaInfoRecord& r = source->record;
    for (int32_t i = 0; i < r.TrackCount(); ++i) {
      if (!source->chosen[i] || ParseStreamCodes(r.Track(i)).type != kStreamVideo) continue;
      sourcePath = source->path;
      stream = i;
      break;
    }
  }
  if (!SetJobText(out.sourcePath, sourcePath))
    return fail("The source path \"" + sourcePath + "\" is too long for a frame job (at most " +
                std::to_string(kJobPathField - 1) + " bytes).");
  if (!SetJobText(out.outputPath, outputPath))
    return fail("The preview path \"" + outputPath + "\" is too long for a frame job (at most " +
                std::to_string(kJobPathField - 1) + " bytes).");
  out.stream = stream;
  out.sourceMode = options.mode;
  out.frameCount = options.preframe;
  out.startSeconds = options.presec;
  job = out;
  return true;
}
