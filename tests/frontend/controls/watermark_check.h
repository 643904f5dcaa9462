// Checks of a watermark preview against the engine's own "VWATERMARK" output:
// a black source and a striped mark picture, one converted frame as luma, and
// a pixel-for-pixel comparison inside the preview's frame outline.
#pragma once

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_util/e2e_job.h"

namespace watermark_check {

constexpr int kWidth = 160, kHeight = 120;

// What a pixel shows: the watermark's white or dark grey, or neither.
enum class Seen { None, White, Dark, Other };

inline Seen OfLuma(int v) {
  if (v > 180) return Seen::White;
  if (v > 30 && v < 110) return Seen::Dark;
  if (v < 30) return Seen::None;  // the black source
  return Seen::Other;
}

inline Seen OfPreview(const QColor& c) {
  if (c == QColor(255, 255, 255)) return Seen::White;
  if (c == QColor(64, 64, 64)) return Seen::Dark;
  if (c == QColor(128, 128, 128)) return Seen::None;  // the preview's field
  return Seen::Other;
}

// <folder>/black.mpg (kWidth x kHeight) and <folder>/mark.png: wider than the
// frame, so that the placement cuts it; dark lines every 7 columns and 5 rows
// show which part of it is where. False when either cannot be made.
inline bool MakeSourceAndMark(const std::string& folder, std::string* source, std::string* mark) {
  *source = folder + "/black.mpg";
  *mark = folder + "/mark.png";
  if (!RunFfmpeg("-f lavfi -i color=c=black:s=160x120:r=25:d=0.2 -c:v mpeg2video -q:v 2 " + ShellQuote(*source)))
    return false;
  QImage picture(170, 30, QImage::Format_RGB32);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x)
      picture.setPixelColor(x, y, x % 7 == 0 || y % 5 == 0 ? QColor(64, 64, 64) : QColor(255, 255, 255));
  return picture.save(QString::fromStdString(*mark), "PNG");
}

// Converts the source with the "VWATERMARK" text into <folder>/<name>.avi and
// returns its third frame as kWidth x kHeight luma; empty, with the reason in
// *error, when a step fails.
inline std::vector<uint8_t> EngineFrameLuma(const std::string& folder, const std::string& name,
                                            const std::string& source, const std::string& params, std::string* error) {
  const std::string output = folder + "/" + name + ".avi";
  *error = WriteConvertJob(
      folder, {"--source", source, "--output", output, "--acodec", "NONE", "--vcodec", "raw", "--raw-video", "YV12",
               "--vtag", "YV12", "--writer", "[FFM]AVI", "--vfilter", "VWATERMARK=" + params});
  if (!error->empty()) return {};
  const EngineRun run = RunEngine(folder, {"-m", "test"});
  if (JobResult(run) != 0) {
    *error = "the conversion failed: " + run.output;
    return {};
  }
  const std::string grey = folder + "/" + name + ".gray";
  if (!RunFfmpeg("-i " + ShellQuote(output) + " -vf 'select=eq(n\\,2)' -frames:v 1 -f rawvideo -pix_fmt gray " +
                 ShellQuote(grey))) {
    *error = "ffmpeg could not take the frame";
    return {};
  }
  std::vector<uint8_t> luma = ReadFileBytes(grey);
  if (luma.size() != size_t(kWidth * kHeight)) {
    *error = "the frame has " + std::to_string(luma.size()) + " bytes";
    return {};
  }
  return luma;
}

struct Comparison {
  int picture = 0;    // frame pixels where the engine shows the watermark
  int differ = 0;     // pixels where the preview shows something else
  std::string first;  // the first of them, "x,y"
};

// Inside the frame's outline (its border row and column left out) the two
// must agree pixel for pixel.
inline Comparison Compare(const std::vector<uint8_t>& luma, const QImage& shot, const QRect& frame) {
  Comparison c;
  for (int y = 1; y < kHeight - 1; ++y)
    for (int x = 1; x < kWidth - 1; ++x) {
      const Seen engine = OfLuma(luma[size_t(y * kWidth + x)]);
      const Seen preview = OfPreview(shot.pixelColor(frame.topLeft() + QPoint(x, y)));
      c.picture += engine != Seen::None;
      if ((engine != preview || engine == Seen::Other) && c.differ++ == 0)
        c.first = std::to_string(x) + "," + std::to_string(y);
    }
  return c;
}

}  // namespace watermark_check
